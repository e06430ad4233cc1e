// The one place that picks the connection service for this platform.
#include "RasService.h"

#include "SimulatedRas.h"

namespace ras {

std::unique_ptr<IRasService> CreatePlatformRasService() {
    return std::make_unique<SimulatedRas>();
}

} // namespace ras

// The one place that picks the connection service for this platform.
#include "RasService.h"

#ifdef _WIN32
#include "WindowsRas.h"
#else
#include "SimulatedRas.h"
#endif

namespace ras {

std::unique_ptr<IRasService> CreatePlatformRasService() {
#ifdef _WIN32
    return std::make_unique<WindowsRas>();
#else
    return std::make_unique<SimulatedRas>();
#endif
}

} // namespace ras

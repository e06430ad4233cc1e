// The one place that picks the connection service for this platform.
#include "RasService.h"

#if defined(TORNEVO_HAVE_NETWORKMANAGER)
#include "NetworkManagerRas.h"
#else
#include "SimulatedRas.h"
#endif

namespace ras {

std::unique_ptr<IRasService> CreatePlatformRasService() {
#if defined(TORNEVO_HAVE_NETWORKMANAGER)
    return std::make_unique<NetworkManagerRas>();
#else
    return std::make_unique<SimulatedRas>();
#endif
}

} // namespace ras

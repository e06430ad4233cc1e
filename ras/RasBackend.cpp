// The one place that picks the connection service for this platform.
#include "RasService.h"

#if defined(_WIN32)
#include "WindowsRas.h"
#elif defined(TORNEVO_HAVE_NETWORKMANAGER)
#include "NetworkManagerRas.h"
#else
#include "SimulatedRas.h"
#endif

namespace ras {

std::unique_ptr<IRasService> CreatePlatformRasService() {
#if defined(_WIN32)
    return std::make_unique<WindowsRas>();
#elif defined(TORNEVO_HAVE_NETWORKMANAGER)
    return std::make_unique<NetworkManagerRas>();
#else
    return std::make_unique<SimulatedRas>();
#endif
}

} // namespace ras

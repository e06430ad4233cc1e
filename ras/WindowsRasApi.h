#pragma once

// The rasapi32 entry points the Windows backend calls, gathered so that a test can put its own
// in their place. Brings in <windows.h> and <ras.h>: include it after the service's headers,
// whose names some of their macros shadow.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <ras.h>
#include <raserror.h>

namespace ras {

struct RasApi {
    decltype(&::RasEnumEntriesA) EnumEntries;
    decltype(&::RasEnumConnectionsA) EnumConnections;
    decltype(&::RasDialA) Dial;
    decltype(&::RasHangUpA) HangUp;
    decltype(&::RasGetErrorStringA) GetErrorString;
};

// rasapi32 itself.
const RasApi& SystemRasApi();

} // namespace ras

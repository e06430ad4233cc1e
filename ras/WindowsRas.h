#pragma once

#include "RasService.h"

namespace ras {

struct RasApi; // WindowsRasApi.h

// The connection service over the Windows Remote Access Service (rasapi32, ANSI entry points).
// Entry names, accounts and passwords pass to and from RAS as the system's ANSI code page
// bytes, untouched.
//
// Dials use a type-0 notifier, which carries no context: notifications of every dial in the
// process go to the notifier given with the latest Dial. They arrive on a thread that RAS owns,
// never before Dial has stored the new handle in Connection.
class WindowsRas final : public IRasService {
public:
    WindowsRas(); // the system's rasapi32
    // Api must outlive the service.
    explicit WindowsRas(const RasApi& Api);

    RasError EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) override;
    RasError EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) override;
    // A field longer than its RAS field, or holding a zero byte, fails with
    // ERROR_INVALID_PARAMETER before RAS is called. A dial that RAS refuses at once stores 0 in
    // Connection and releases whatever handle RAS handed out.
    RasError Dial(const RasDialParams& Params, RasDialFunc Notifier,
                  std::atomic<HRASCONN>& Connection) override;
    // A zero handle fails with ERROR_INVALID_HANDLE before RAS is called.
    RasError HangUp(HRASCONN Connection) override;
    // The system's own text in the ANSI code page; on failure Text is empty.
    RasError GetErrorString(RasError Code, std::string& Text) override;

private:
    const RasApi* FApi;
};

} // namespace ras

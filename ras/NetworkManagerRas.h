#pragma once

// The connection service over NetworkManager (Linux). Phonebook entries are NetworkManager's
// dial-up profiles (PPPoE, ADSL, mobile broadband, Bluetooth dial-up, VPN) in one stable order;
// a dial activates the profile with the typed account and password, the password handed only
// to NetworkManager by the program's secret agent and kept in memory until the dial ends.
//
// It needs a QCoreApplication: dial notifications are delivered by the event loop of the thread
// that creates the service, and every other call blocks that thread for at most a couple of
// seconds. HangUp may be called from any thread. NetworkManager absent gives an empty phonebook
// and no connections; when it stops, dials under way end as failed, and it is used again as
// soon as it is back.

#include "RasService.h"

#include <memory>

namespace ras {

namespace nm {
class Client;
}

class NetworkManagerRas final : public IRasService {
public:
    NetworkManagerRas();
    ~NetworkManagerRas() override;
    NetworkManagerRas(const NetworkManagerRas&) = delete;
    NetworkManagerRas& operator=(const NetworkManagerRas&) = delete;

    RasError EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) override;
    RasError EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) override;
    RasError Dial(const RasDialParams& Params, RasDialFunc Notifier,
                  std::atomic<HRASCONN>& Connection) override;
    RasError HangUp(HRASCONN Connection) override;
    RasError GetErrorString(RasError Code, std::string& Text) override;

private:
    std::unique_ptr<nm::Client> FClient;
};

} // namespace ras

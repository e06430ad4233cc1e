#include "NetworkManagerRas.h"

#include "nm/NmClient.h"

namespace ras {

NetworkManagerRas::NetworkManagerRas() : FClient(std::make_unique<nm::Client>()) {}

NetworkManagerRas::~NetworkManagerRas() = default;

RasError NetworkManagerRas::EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) {
    return FClient->EnumEntries(Buffer, Count);
}

RasError NetworkManagerRas::EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) {
    return FClient->EnumConnections(Buffer, Count);
}

RasError NetworkManagerRas::Dial(const RasDialParams& Params, RasDialFunc Notifier,
                                 std::atomic<HRASCONN>& Connection) {
    return FClient->Dial(Params, Notifier, Connection);
}

RasError NetworkManagerRas::HangUp(HRASCONN Connection) {
    return FClient->HangUp(Connection);
}

RasError NetworkManagerRas::GetErrorString(RasError Code, std::string& Text) {
    Text = ErrorText(Code);
    return SUCCESS;
}

} // namespace ras

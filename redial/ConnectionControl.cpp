#include "ConnectionControl.h"

#include <algorithm>
#include <string_view>

std::atomic<bool> RedialPending{false};
std::atomic<ras::HRASCONN> CurrentConnection{0};
std::vector<ras::RasConnection> ConnectionList(InitialConnectionRecords);
std::uint32_t ConnectionCount = 0;

namespace {

std::atomic<ras::IRasService*> Service{nullptr};
// Whether the last listing succeeded; a failed one says nothing about what is connected.
bool ListingOk = false;

std::string_view UpToNul(const std::string& s) {
    std::string_view v(s);
    return v.substr(0, std::min(v.find('\0'), v.size()));
}

// Longer fields than the service's would be cut or overrun: such a dial is not requested.
bool FitsDialFields(const std::string& Entry, const std::string& Account,
                    const std::string& Password) {
    return UpToNul(Entry).size() <= ras::RAS_MaxEntryName &&
           UpToNul(Account).size() <= ras::UNLEN && UpToNul(Password).size() <= ras::PWLEN;
}

} // namespace

void SetRasService(ras::IRasService* NewService) {
    Service.store(NewService);
}

ras::IRasService* GetRasService() {
    return Service.load();
}

void EnumConnections() {
    try {
        ListingOk = false;
        ras::IRasService* service = Service.load();
        if (!service) {
            ConnectionCount = 0;
            return;
        }
        if (ConnectionList.size() < InitialConnectionRecords)
            ConnectionList.resize(InitialConnectionRecords);
        std::uint32_t count = 0;
        ras::RasError error = service->EnumConnections(ConnectionList, count);
        // The table may grow between the two calls; a few retries settle it.
        for (int retry = 0; error == ras::ERROR_BUFFER_TOO_SMALL && retry < 4; ++retry) {
            ConnectionList.resize(std::max<size_t>(count, ConnectionList.size() + 1));
            count = 0;
            error = service->EnumConnections(ConnectionList, count);
        }
        if (error != ras::SUCCESS) {
            std::string text;
            service->GetErrorString(error, text);
            // A failed listing must not leave an earlier one's records to be matched.
            ConnectionCount = 0;
            return;
        }
        ConnectionCount =
            std::min<std::uint32_t>(count, static_cast<std::uint32_t>(ConnectionList.size()));
        ListingOk = true;
    } catch (...) {
        ConnectionCount = 0;
    }
}

ras::HRASCONN FindConnection(const std::string& EntryName) {
    EnumConnections();
    const std::uint32_t count =
        std::min<std::uint32_t>(ConnectionCount, static_cast<std::uint32_t>(ConnectionList.size()));
    for (std::uint32_t i = 0; i < count; ++i)
        if (ras::SameEntryName(ConnectionList[i].szEntryName, EntryName))
            return ConnectionList[i].hrasconn;
    return 0;
}

bool IsConnected(const std::string& EntryName) {
    const ras::HRASCONN handle = FindConnection(EntryName);
    CurrentConnection.store(handle);
    return handle != 0;
}

void HangUp() {
    try {
        // Taking the handle in one step means two threads never hang up the same one.
        const ras::HRASCONN handle = CurrentConnection.exchange(0);
        if (handle == 0)
            return;
        if (ras::IRasService* service = Service.load())
            service->HangUp(handle);
    } catch (...) {
    }
}

void Dial(const std::string& EntryName, const std::string& Account, const std::string& Password) {
    try {
        const ras::HRASCONN existing = FindConnection(EntryName);
        CurrentConnection.store(existing);
        if (existing != 0)
            return;
        // Without a listing the entry may well be up: dialling it again could bring up a
        // second line. The next pending tick looks again.
        if (!ListingOk)
            return;
        if (!FitsDialFields(EntryName, Account, Password))
            return;
        ras::IRasService* service = Service.load();
        if (!service)
            return;
        // Empty number and "*" callback and domain: the phonebook entry's own are used.
        ras::RasDialParams params{std::string(UpToNul(EntryName)),
                                  std::string(),
                                  std::string(1, '*'),
                                  std::string(UpToNul(Account)),
                                  std::string(UpToNul(Password)),
                                  std::string(1, '*')};
        CurrentConnection.store(0);
        service->Dial(params, &RasDialNotify, CurrentConnection);
        std::fill(params.szPassword.begin(), params.szPassword.end(), '\0');
    } catch (...) {
    }
}

void RasDialNotify(std::uint32_t /*unMsg*/, ras::RASCONNSTATE rasconnstate, std::uint32_t dwError) {
    try {
        if (rasconnstate == ras::RASCS_Connected) {
            RedialPending.store(false);
        } else if (rasconnstate == ras::RASCS_Disconnected) {
            if (ras::IRasService* service = Service.load()) {
                std::string text;
                service->GetErrorString(dwError, text);
            }
            HangUp();
        }
    } catch (...) {
    }
}

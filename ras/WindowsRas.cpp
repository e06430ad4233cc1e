#include "WindowsRas.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <type_traits>
#include <vector>

// <windows.h> and <ras.h> define several of the service's own names as macros with the same
// values. The same list of names is read once before they come in and once after, and the
// two readings must agree.
#define TORNEVO_SHARED_RAS_CODES                                                                   \
    ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_INVALID_PARAMETER, ERROR_BUFFER_TOO_SMALL,    \
        ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, ERROR_PORT_DISCONNECTED, ERROR_REMOTE_DISCONNECTION,    \
        ERROR_HARDWARE_FAILURE, ERROR_USER_DISCONNECTION, ERROR_PORT_NOT_AVAILABLE,                \
        ERROR_NO_CONNECTION, ERROR_LINE_BUSY, ERROR_NO_ANSWER, ERROR_NO_CARRIER,                   \
        ERROR_AUTHENTICATION_FAILURE, ERROR_RASMAN_CANNOT_INITIALIZE, ERROR_PPP_TIMEOUT,           \
        ERROR_DIAL_ALREADY_IN_PROGRESS, ERROR_DISCONNECTION, ERROR_PORT_ALREADY_OPEN,              \
        ERROR_DEVICE_DOES_NOT_EXIST, ERROR_UNKNOWN, ERROR_IP_CONFIGURATION
#define TORNEVO_SHARED_RAS_SIZES                                                                   \
    RAS_MaxEntryName, RAS_MaxDeviceType, RAS_MaxDeviceName, UNLEN, PWLEN
#define TORNEVO_SHARED_RAS_STATES                                                                  \
    RASCS_OpenPort, RASCS_Authenticate, RASCS_Projected, RASCS_Interactive, RASCS_PasswordExpired, \
        RASCS_Connected, RASCS_Disconnected

namespace ras {
namespace {

using ServiceDialState = RASCONNSTATE;
constexpr RasError InvalidParameter = ERROR_INVALID_PARAMETER;
constexpr RasError InvalidHandle = ERROR_INVALID_HANDLE;
constexpr RasError BufferTooSmall = ERROR_BUFFER_TOO_SMALL;

constexpr std::array<std::uint64_t, 23> ServiceCodes{TORNEVO_SHARED_RAS_CODES};
constexpr std::array<std::uint64_t, 5> ServiceSizes{TORNEVO_SHARED_RAS_SIZES};
constexpr std::array<std::uint64_t, 7> ServiceStates{TORNEVO_SHARED_RAS_STATES};
constexpr std::uint64_t ServiceDialEvent = WM_RASDIALEVENT;

} // namespace
} // namespace ras

#include "WindowsRasApi.h"

// At global scope, where the names are the system's.
static_assert(ras::ServiceCodes == std::array<std::uint64_t, 23>{TORNEVO_SHARED_RAS_CODES});
static_assert(ras::ServiceSizes == std::array<std::uint64_t, 5>{TORNEVO_SHARED_RAS_SIZES});
static_assert(ras::ServiceStates == std::array<std::uint64_t, 7>{TORNEVO_SHARED_RAS_STATES});
static_assert(ras::ServiceDialEvent == WM_RASDIALEVENT);

namespace ras {
namespace {

// A type-0 notifier has no context pointer: where notifications go is process-wide.
std::atomic<RasDialFunc> DialForward{nullptr};

// Held while RasDialA runs and its handle is published, so that a notification arriving
// early on the RAS thread waits for the handle instead of overtaking it.
std::timed_mutex DialGate;
thread_local bool DiallingHere = false;

// The enum is named by its tag: the service has a RASCONNSTATE of its own.
void WINAPI DialNotifier(UINT unMsg, ::tagRASCONNSTATE rasconnstate, DWORD dwError) {
    // Not on the dialling thread itself (that would wait on its own lock), and bounded, so
    // that a RAS which held RasDialA until a notification returned could not hang both.
    if (!DiallingHere && DialGate.try_lock_for(std::chrono::seconds(30)))
        DialGate.unlock();
    if (const RasDialFunc forward = DialForward.load())
        forward(static_cast<std::uint32_t>(unMsg), static_cast<ServiceDialState>(rasconnstate),
                static_cast<std::uint32_t>(dwError));
}

static_assert(std::is_same_v<decltype(&DialNotifier), RASDIALFUNC>);

// The text up to its zero byte, never past the field.
template <std::size_t N> std::string FieldText(const CHAR (&Field)[N]) {
    const char* begin = Field;
    return std::string(begin, std::find(begin, begin + N, '\0'));
}

// Copies Text into a zero-terminated RAS field; false when it does not fit or holds a zero
// byte, which RAS would read as the end of a different, shorter text.
template <std::size_t N> bool SetField(CHAR (&Field)[N], const std::string& Text) {
    if (Text.size() >= N || Text.find('\0') != std::string::npos)
        return false;
    std::memcpy(Field, Text.data(), Text.size());
    Field[Text.size()] = '\0';
    return true;
}

// The records a failed enumeration says it needs; always more than the buffer held.
std::uint32_t RecordsNeeded(DWORD Bytes, DWORD Records, std::size_t RecordSize, std::size_t Had) {
    const std::size_t byBytes = (static_cast<std::size_t>(Bytes) + RecordSize - 1) / RecordSize;
    return static_cast<std::uint32_t>(
        std::max({static_cast<std::size_t>(Records), byBytes, Had + 1}));
}

} // namespace

const RasApi& SystemRasApi() {
    static const RasApi api{&::RasEnumEntriesA, &::RasEnumConnectionsA, &::RasDialA, &::RasHangUpA,
                            &::RasGetErrorStringA};
    return api;
}

WindowsRas::WindowsRas() : FApi(&SystemRasApi()) {}

WindowsRas::WindowsRas(const RasApi& Api) : FApi(&Api) {}

RasError WindowsRas::EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) {
    std::vector<RASENTRYNAMEA> records(Buffer.size());
    if (!records.empty())
        records[0].dwSize = sizeof(RASENTRYNAMEA);
    DWORD bytes = static_cast<DWORD>(records.size() * sizeof(RASENTRYNAMEA));
    DWORD entries = 0;
    const DWORD result = FApi->EnumEntries(
        nullptr, nullptr, records.empty() ? nullptr : records.data(), &bytes, &entries);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        Count = RecordsNeeded(bytes, entries, sizeof(RASENTRYNAMEA), records.size());
        return BufferTooSmall;
    }
    if (result != ERROR_SUCCESS)
        return result;
    const std::size_t filled = std::min<std::size_t>(entries, records.size());
    for (std::size_t i = 0; i < filled; ++i)
        Buffer[i].szEntryName = FieldText(records[i].szEntryName);
    Count = static_cast<std::uint32_t>(filled);
    return ERROR_SUCCESS;
}

RasError WindowsRas::EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) {
    std::vector<RASCONNA> records(Buffer.size());
    if (!records.empty())
        records[0].dwSize = sizeof(RASCONNA);
    DWORD bytes = static_cast<DWORD>(records.size() * sizeof(RASCONNA));
    DWORD connections = 0;
    const DWORD result =
        FApi->EnumConnections(records.empty() ? nullptr : records.data(), &bytes, &connections);
    if (result == ERROR_BUFFER_TOO_SMALL) {
        Count = RecordsNeeded(bytes, connections, sizeof(RASCONNA), records.size());
        return BufferTooSmall;
    }
    if (result != ERROR_SUCCESS)
        return result;
    const std::size_t filled = std::min<std::size_t>(connections, records.size());
    for (std::size_t i = 0; i < filled; ++i) {
        Buffer[i].hrasconn = reinterpret_cast<HRASCONN>(records[i].hrasconn);
        Buffer[i].szEntryName = FieldText(records[i].szEntryName);
        Buffer[i].szDeviceType = FieldText(records[i].szDeviceType);
        Buffer[i].szDeviceName = FieldText(records[i].szDeviceName);
    }
    Count = static_cast<std::uint32_t>(filled);
    return ERROR_SUCCESS;
}

RasError WindowsRas::Dial(const RasDialParams& Params, RasDialFunc Notifier,
                          std::atomic<HRASCONN>& Connection) {
    RASDIALPARAMSA params{};
    params.dwSize = sizeof(RASDIALPARAMSA);
    const bool fits = SetField(params.szEntryName, Params.szEntryName) &&
                      SetField(params.szPhoneNumber, Params.szPhoneNumber) &&
                      SetField(params.szCallbackNumber, Params.szCallbackNumber) &&
                      SetField(params.szUserName, Params.szUserName) &&
                      SetField(params.szPassword, Params.szPassword) &&
                      SetField(params.szDomain, Params.szDomain);
    RasError result = InvalidParameter;
    if (!fits) {
        Connection.store(0);
    } else {
        DialForward.store(Notifier);
        // Through an integer: ISO C++ has no direct cast from a function to an object pointer.
        void* const notifier =
            reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(&DialNotifier));
        std::lock_guard gate(DialGate);
        DiallingHere = true;
        ::HRASCONN handle = nullptr;
        result = FApi->Dial(nullptr, nullptr, &params, 0, notifier, &handle);
        DiallingHere = false;
        // A handle from a dial that failed at once is still RAS's to release.
        if (result != ERROR_SUCCESS && handle != nullptr) {
            FApi->HangUp(handle);
            handle = nullptr;
        }
        Connection.store(reinterpret_cast<HRASCONN>(handle));
    }
    SecureZeroMemory(params.szPassword, sizeof(params.szPassword));
    return result;
}

RasError WindowsRas::HangUp(HRASCONN Connection) {
    if (Connection == 0)
        return InvalidHandle;
    return FApi->HangUp(reinterpret_cast<::HRASCONN>(Connection));
}

RasError WindowsRas::GetErrorString(RasError Code, std::string& Text) {
    // Longer than any RAS text; the last byte stays zero whatever RAS writes.
    CHAR buffer[1024] = {};
    const DWORD result = FApi->GetErrorString(static_cast<UINT>(Code), buffer, sizeof(buffer) - 1);
    if (result != ERROR_SUCCESS) {
        Text.clear();
        return result;
    }
    Text = FieldText(buffer);
    return ERROR_SUCCESS;
}

} // namespace ras

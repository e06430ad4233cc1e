#include "WindowsRas.h"
#include "RasService.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

// The service's names that <windows.h> and <ras.h> shadow with macros, taken before they come in.
namespace svc {
using State = ras::RASCONNSTATE;
constexpr ras::RasError Success = ras::SUCCESS;
constexpr ras::RasError InvalidParameter = ras::ERROR_INVALID_PARAMETER;
constexpr ras::RasError InvalidHandle = ras::ERROR_INVALID_HANDLE;
constexpr ras::RasError BufferTooSmall = ras::ERROR_BUFFER_TOO_SMALL;
constexpr ras::RasError NoSuchEntry = ras::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
constexpr ras::RasError AuthenticationFailure = ras::ERROR_AUTHENTICATION_FAILURE;
constexpr std::uint32_t DialEvent = ras::WM_RASDIALEVENT;
} // namespace svc

#include "WindowsRasApi.h"

namespace {

// --- a stand-in for rasapi32 that checks what the backend hands it ---------------------------

struct FakeConnection {
    ::HRASCONN Handle;
    std::string EntryName;
    std::string DeviceType;
    std::string DeviceName;
};

enum class NotifyMode { Never, OnTheDiallingThread, FromAnotherThreadDuringTheDial };

struct FakeRasState {
    std::vector<std::string> Entries;
    std::vector<FakeConnection> Connections;
    bool NeedOnlyInBytes = false; // a too-small answer that leaves the record count at 0

    DWORD DialResult = 0;
    ::HRASCONN DialHandle = nullptr;
    NotifyMode Notify = NotifyMode::Never;
    RASCONNSTATE NotifyState = RASCS_Connected;
    DWORD NotifyError = 0;
    int Dials = 0;
    std::optional<RASDIALPARAMSA> DialParams;
    bool DialHadExtensions = false;
    bool DialHadPhonebook = false;
    DWORD NotifierType = 0xFFFF;
    std::thread Notifier;

    std::vector<::HRASCONN> HungUp;

    std::string ErrorText;
    DWORD ErrorResult = 0;
    bool ErrorFillsWholeBuffer = false;
    DWORD ErrorBufferSize = 0;
};

FakeRasState Fake;

// What the service's own notifier saw.
std::mutex SeenLock;
std::condition_variable SeenChanged;
struct Notification {
    std::uint32_t Message;
    std::uint32_t State;
    std::uint32_t Error;
    ras::HRASCONN ConnectionAtTheTime;
};
std::vector<Notification> Seen;
std::atomic<ras::HRASCONN> DialConnection{0};

void RecordNotification(std::uint32_t Message, svc::State State, std::uint32_t Error) {
    std::lock_guard lock(SeenLock);
    Seen.push_back(Notification{Message, State, Error, DialConnection.load()});
    SeenChanged.notify_all();
}

template <typename Predicate> bool WaitSeen(Predicate Done, std::chrono::milliseconds Limit) {
    std::unique_lock lock(SeenLock);
    return SeenChanged.wait_for(lock, Limit, Done);
}

void CopyName(CHAR* Field, std::size_t Size, const std::string& Text) {
    ASSERT_LT(Text.size(), Size);
    std::memcpy(Field, Text.c_str(), Text.size() + 1);
}

DWORD WINAPI FakeEnumEntries(LPCSTR Reserved, LPCSTR Phonebook, LPRASENTRYNAMEA Buffer,
                             LPDWORD Bytes, LPDWORD Count) {
    if (Reserved != nullptr || Phonebook != nullptr || Bytes == nullptr || Count == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (Buffer != nullptr && Buffer->dwSize != sizeof(RASENTRYNAMEA))
        return ERROR_INVALID_SIZE;
    const DWORD needed = static_cast<DWORD>(Fake.Entries.size() * sizeof(RASENTRYNAMEA));
    if (Buffer == nullptr ? needed > 0 : *Bytes < needed) {
        *Bytes = needed;
        *Count = Fake.NeedOnlyInBytes ? 0 : static_cast<DWORD>(Fake.Entries.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < Fake.Entries.size(); ++i) {
        Buffer[i].dwSize = sizeof(RASENTRYNAMEA);
        CopyName(Buffer[i].szEntryName, sizeof(Buffer[i].szEntryName), Fake.Entries[i]);
    }
    *Bytes = needed;
    *Count = static_cast<DWORD>(Fake.Entries.size());
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeEnumConnections(LPRASCONNA Buffer, LPDWORD Bytes, LPDWORD Count) {
    if (Bytes == nullptr || Count == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (Buffer != nullptr && Buffer->dwSize != sizeof(RASCONNA))
        return ERROR_INVALID_SIZE;
    const DWORD needed = static_cast<DWORD>(Fake.Connections.size() * sizeof(RASCONNA));
    if (Buffer == nullptr ? needed > 0 : *Bytes < needed) {
        *Bytes = needed;
        *Count = Fake.NeedOnlyInBytes ? 0 : static_cast<DWORD>(Fake.Connections.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (std::size_t i = 0; i < Fake.Connections.size(); ++i) {
        const FakeConnection& c = Fake.Connections[i];
        Buffer[i].dwSize = sizeof(RASCONNA);
        Buffer[i].hrasconn = c.Handle;
        CopyName(Buffer[i].szEntryName, sizeof(Buffer[i].szEntryName), c.EntryName);
        CopyName(Buffer[i].szDeviceType, sizeof(Buffer[i].szDeviceType), c.DeviceType);
        CopyName(Buffer[i].szDeviceName, sizeof(Buffer[i].szDeviceName), c.DeviceName);
    }
    *Bytes = needed;
    *Count = static_cast<DWORD>(Fake.Connections.size());
    return ERROR_SUCCESS;
}

DWORD WINAPI FakeDial(LPRASDIALEXTENSIONS Extensions, LPCSTR Phonebook, LPRASDIALPARAMSA Params,
                      DWORD NotifierType, LPVOID Notifier, LPHRASCONN Connection) {
    ++Fake.Dials;
    Fake.DialHadExtensions = Extensions != nullptr;
    Fake.DialHadPhonebook = Phonebook != nullptr;
    Fake.NotifierType = NotifierType;
    Fake.DialParams = *Params;
    if (Notifier == nullptr)
        return ERROR_INVALID_PARAMETER; // the dial would block: the backend must never ask that
    const auto notify = reinterpret_cast<RASDIALFUNC>(reinterpret_cast<std::uintptr_t>(Notifier));
    *Connection = Fake.DialHandle;
    switch (Fake.Notify) {
    case NotifyMode::Never:
        break;
    case NotifyMode::OnTheDiallingThread:
        notify(WM_RASDIALEVENT, Fake.NotifyState, Fake.NotifyError);
        break;
    case NotifyMode::FromAnotherThreadDuringTheDial:
        Fake.Notifier =
            std::thread([notify] { notify(WM_RASDIALEVENT, Fake.NotifyState, Fake.NotifyError); });
        // Gives a notification that does not wait for the handle every chance to overtake it;
        // one that waits arrives only after this returns.
        WaitSeen([] { return !Seen.empty(); }, std::chrono::milliseconds(500));
        break;
    }
    return Fake.DialResult;
}

DWORD WINAPI FakeHangUp(::HRASCONN Connection) {
    Fake.HungUp.push_back(Connection);
    return Connection == nullptr ? ERROR_INVALID_HANDLE : ERROR_SUCCESS;
}

DWORD WINAPI FakeGetErrorString(UINT, LPSTR Buffer, DWORD Size) {
    Fake.ErrorBufferSize = Size;
    if (Fake.ErrorResult != 0)
        return Fake.ErrorResult;
    if (Fake.ErrorFillsWholeBuffer) {
        std::memset(Buffer, 'x', Size);
        return ERROR_SUCCESS;
    }
    if (Fake.ErrorText.size() >= Size)
        return ERROR_INSUFFICIENT_BUFFER;
    std::memcpy(Buffer, Fake.ErrorText.c_str(), Fake.ErrorText.size() + 1);
    return ERROR_SUCCESS;
}

const ras::RasApi FakeApi{&FakeEnumEntries, &FakeEnumConnections, &FakeDial, &FakeHangUp,
                          &FakeGetErrorString};

::HRASCONN FakeHandle(std::uintptr_t Value) {
    return reinterpret_cast<::HRASCONN>(Value);
}

// Names as the system's ANSI code page (GB2312) stores them: "宽带连接" and "用户".
const std::string WideBand = "\xBF\xED\xB4\xF8\xC1\xAC\xBD\xD3";
const std::string User = "\xD3\xC3\xBB\xA7";

class WindowsRasFake : public ::testing::Test {
protected:
    ras::WindowsRas Service{FakeApi};

    void SetUp() override {
        Fake = FakeRasState{};
        std::lock_guard lock(SeenLock);
        Seen.clear();
        DialConnection = 0x5EED;
    }
    void TearDown() override {
        if (Fake.Notifier.joinable())
            Fake.Notifier.join();
    }

    ras::RasDialParams ValidParams() const {
        return ras::RasDialParams{WideBand, "", "*", User, "pass\xC3\xDC", "*"};
    }
};

// --- enumerations ------------------------------------------------------------------------------

enum class Listing { Entries, Connections };

struct SizeCase {
    Listing Kind;
    std::size_t Records;  // what RAS holds
    std::size_t Buffer;   // what the caller offers
    bool NeedOnlyInBytes; // RAS tells the need in bytes only
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << (c.Kind == Listing::Entries ? "entries " : "connections ") << c.Records << " in "
        << c.Buffer << (c.NeedOnlyInBytes ? " (need in bytes)" : "");
}

class EnumerationSizeTest : public WindowsRasFake, public ::testing::WithParamInterface<SizeCase> {
protected:
    // Runs the listing on a buffer of Size records; returns the result and the names in it.
    ras::RasError List(std::size_t Size, std::uint32_t& Count, std::vector<std::string>& Names) {
        Names.clear();
        if (GetParam().Kind == Listing::Entries) {
            std::vector<ras::RasEntryName> buffer(Size, ras::RasEntryName{"untouched"});
            const ras::RasError result = Service.EnumEntries(buffer, Count);
            for (const auto& e : buffer)
                Names.push_back(e.szEntryName);
            return result;
        }
        std::vector<ras::RasConnection> buffer(Size, ras::RasConnection{0, "untouched", "", ""});
        const ras::RasError result = Service.EnumConnections(buffer, Count);
        for (const auto& c : buffer)
            Names.push_back(c.szEntryName);
        return result;
    }
};

TEST_P(EnumerationSizeTest, ReportsTheNeedThenListsEverythingOnRetry) {
    const SizeCase& c = GetParam();
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < c.Records; ++i) {
        expected.push_back("line " + std::to_string(i));
        Fake.Entries.push_back(expected.back());
        Fake.Connections.push_back(
            FakeConnection{FakeHandle(0x100 + i), expected.back(), "pppoe", "WAN Miniport"});
    }
    Fake.NeedOnlyInBytes = c.NeedOnlyInBytes;

    std::uint32_t count = 12345;
    std::vector<std::string> names;
    const ras::RasError first = List(c.Buffer, count, names);
    if (c.Records <= c.Buffer) {
        ASSERT_EQ(first, svc::Success);
        ASSERT_EQ(count, c.Records);
        for (std::size_t i = 0; i < c.Buffer; ++i)
            EXPECT_EQ(names[i], i < c.Records ? expected[i] : "untouched") << i;
        return;
    }
    ASSERT_EQ(first, svc::BufferTooSmall);
    EXPECT_GE(count, c.Records);
    for (const std::string& name : names)
        EXPECT_EQ(name, "untouched");

    // What every caller does: grow to the reported need and ask again.
    const ras::RasError second = List(count, count, names);
    ASSERT_EQ(second, svc::Success);
    EXPECT_EQ(count, c.Records);
    names.resize(c.Records);
    EXPECT_EQ(names, expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, EnumerationSizeTest,
                         ::testing::Values(SizeCase{Listing::Entries, 0, 0, false},
                                           SizeCase{Listing::Entries, 3, 3, false},
                                           SizeCase{Listing::Entries, 2, 16, false},
                                           SizeCase{Listing::Entries, 17, 16, false},
                                           SizeCase{Listing::Entries, 3, 0, false},
                                           SizeCase{Listing::Entries, 20, 16, true},
                                           SizeCase{Listing::Connections, 0, 0, false},
                                           SizeCase{Listing::Connections, 11, 11, false},
                                           SizeCase{Listing::Connections, 12, 11, false},
                                           SizeCase{Listing::Connections, 1, 0, false},
                                           SizeCase{Listing::Connections, 14, 11, true}));

TEST_F(WindowsRasFake, EntryNamesKeepTheirBytes) {
    const std::string longest(256, 'N');
    Fake.Entries = {WideBand, "  spaced  ", "a,b", longest};
    std::vector<ras::RasEntryName> buffer(8);
    std::uint32_t count = 0;
    ASSERT_EQ(Service.EnumEntries(buffer, count), svc::Success);
    ASSERT_EQ(count, 4u);
    EXPECT_EQ(buffer[0].szEntryName, WideBand);
    EXPECT_EQ(buffer[1].szEntryName, "  spaced  ");
    EXPECT_EQ(buffer[2].szEntryName, "a,b");
    EXPECT_EQ(buffer[3].szEntryName, longest);
}

TEST_F(WindowsRasFake, ConnectionRecordsCarryHandleNameAndDevice) {
    Fake.Connections = {FakeConnection{FakeHandle(0xABC0), WideBand, "PPPoE", "WAN Miniport"},
                        FakeConnection{FakeHandle(0xABC8), "Modem", "modem", "COM3"}};
    std::vector<ras::RasConnection> buffer(11);
    std::uint32_t count = 0;
    ASSERT_EQ(Service.EnumConnections(buffer, count), svc::Success);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(buffer[0].hrasconn, 0xABC0u);
    EXPECT_EQ(buffer[0].szEntryName, WideBand);
    EXPECT_EQ(buffer[0].szDeviceType, "PPPoE");
    EXPECT_EQ(buffer[0].szDeviceName, "WAN Miniport");
    EXPECT_EQ(buffer[1].hrasconn, 0xABC8u);
    EXPECT_EQ(buffer[1].szDeviceName, "COM3");
}

// --- dialling ----------------------------------------------------------------------------------

TEST_F(WindowsRasFake, DialHandsRasTheFieldsUntouched) {
    Fake.DialHandle = FakeHandle(0xD1A1);
    ASSERT_EQ(Service.Dial(ValidParams(), &RecordNotification, DialConnection), svc::Success);
    ASSERT_TRUE(Fake.DialParams.has_value());
    const RASDIALPARAMSA& p = *Fake.DialParams;
    EXPECT_EQ(p.dwSize, sizeof(RASDIALPARAMSA));
    EXPECT_EQ(std::string(p.szEntryName), WideBand);
    EXPECT_EQ(std::string(p.szPhoneNumber), "");
    EXPECT_EQ(std::string(p.szCallbackNumber), "*");
    EXPECT_EQ(std::string(p.szUserName), User);
    EXPECT_EQ(std::string(p.szPassword), "pass\xC3\xDC");
    EXPECT_EQ(std::string(p.szDomain), "*");
    EXPECT_EQ(Fake.NotifierType, 0u);
    EXPECT_FALSE(Fake.DialHadExtensions);
    EXPECT_FALSE(Fake.DialHadPhonebook);
    EXPECT_EQ(DialConnection.load(), 0xD1A1u);
}

enum class Field { Entry, Phone, Callback, Account, Password, Domain };

struct FieldCase {
    const char* Name;
    Field Which;
    std::string Value;
    bool Fits;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << c.Name;
}

class DialFieldTest : public WindowsRasFake, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(DialFieldTest, OnlyFieldsThatFitReachRas) {
    const FieldCase& c = GetParam();
    ras::RasDialParams params = ValidParams();
    switch (c.Which) {
    case Field::Entry:
        params.szEntryName = c.Value;
        break;
    case Field::Phone:
        params.szPhoneNumber = c.Value;
        break;
    case Field::Callback:
        params.szCallbackNumber = c.Value;
        break;
    case Field::Account:
        params.szUserName = c.Value;
        break;
    case Field::Password:
        params.szPassword = c.Value;
        break;
    case Field::Domain:
        params.szDomain = c.Value;
        break;
    }
    Fake.DialHandle = FakeHandle(0xF17);
    const ras::RasError result = Service.Dial(params, &RecordNotification, DialConnection);
    if (c.Fits) {
        EXPECT_EQ(result, svc::Success);
        EXPECT_EQ(Fake.Dials, 1);
        EXPECT_EQ(DialConnection.load(), 0xF17u);
    } else {
        EXPECT_EQ(result, svc::InvalidParameter);
        EXPECT_EQ(Fake.Dials, 0);
        EXPECT_EQ(DialConnection.load(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, DialFieldTest,
    ::testing::Values(
        FieldCase{"entry 256", Field::Entry, std::string(256, 'e'), true},
        FieldCase{"entry 257", Field::Entry, std::string(257, 'e'), false},
        FieldCase{"entry with zero byte", Field::Entry, std::string("AD\0SL", 5), false},
        FieldCase{"phone 128", Field::Phone, std::string(128, '1'), true},
        FieldCase{"phone 129", Field::Phone, std::string(129, '1'), false},
        FieldCase{"callback 129", Field::Callback, std::string(129, '1'), false},
        FieldCase{"account 256", Field::Account, std::string(256, 'u'), true},
        FieldCase{"account 257", Field::Account, std::string(257, 'u'), false},
        FieldCase{"password 256", Field::Password, std::string(256, 'p'), true},
        FieldCase{"password 257", Field::Password, std::string(257, 'p'), false},
        FieldCase{"password with zero byte", Field::Password, std::string("pa\0ss", 5), false},
        FieldCase{"domain 15", Field::Domain, std::string(15, 'd'), true},
        FieldCase{"domain 16", Field::Domain, std::string(16, 'd'), false}));

struct RefusalCase {
    const char* Name;
    DWORD Result;
    std::uintptr_t Handle; // what RAS hands out
    bool Released;
};

void PrintTo(const RefusalCase& c, std::ostream* os) {
    *os << c.Name;
}

class DialOutcomeTest : public WindowsRasFake, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(DialOutcomeTest, AHandleOfARefusedDialIsReleasedAndNotPublished) {
    const RefusalCase& c = GetParam();
    Fake.DialResult = c.Result;
    Fake.DialHandle = FakeHandle(c.Handle);
    EXPECT_EQ(Service.Dial(ValidParams(), &RecordNotification, DialConnection), c.Result);
    EXPECT_EQ(DialConnection.load(), c.Result == 0 ? c.Handle : 0u);
    if (c.Released) {
        EXPECT_EQ(Fake.HungUp, std::vector<::HRASCONN>{FakeHandle(c.Handle)});
    } else {
        EXPECT_TRUE(Fake.HungUp.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, DialOutcomeTest,
    ::testing::Values(RefusalCase{"started", 0, 0xCAFE, false},
                      RefusalCase{"refused with handle", svc::NoSuchEntry, 0xCAFE, true},
                      RefusalCase{"refused without handle", svc::NoSuchEntry, 0, false}));

TEST_F(WindowsRasFake, NotificationFromTheRasThreadNeverOvertakesTheHandle) {
    Fake.DialHandle = FakeHandle(0x4A11);
    Fake.Notify = NotifyMode::FromAnotherThreadDuringTheDial;
    Fake.NotifyState = RASCS_Connected;
    ASSERT_EQ(Service.Dial(ValidParams(), &RecordNotification, DialConnection), svc::Success);
    ASSERT_TRUE(WaitSeen([] { return !Seen.empty(); }, std::chrono::seconds(20)));
    std::lock_guard lock(SeenLock);
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen[0].State, ras::RASCS_Connected);
    EXPECT_EQ(Seen[0].ConnectionAtTheTime, 0x4A11u);
}

TEST_F(WindowsRasFake, NotificationOnTheDiallingThreadIsForwardedWhole) {
    Fake.DialHandle = FakeHandle(0x4A12);
    Fake.Notify = NotifyMode::OnTheDiallingThread;
    Fake.NotifyState = RASCS_Disconnected;
    Fake.NotifyError = svc::AuthenticationFailure;
    ASSERT_EQ(Service.Dial(ValidParams(), &RecordNotification, DialConnection), svc::Success);
    std::lock_guard lock(SeenLock);
    ASSERT_EQ(Seen.size(), 1u);
    EXPECT_EQ(Seen[0].Message, svc::DialEvent);
    EXPECT_EQ(Seen[0].State, ras::RASCS_Disconnected);
    EXPECT_EQ(Seen[0].Error, svc::AuthenticationFailure);
}

TEST_F(WindowsRasFake, NotificationsGoToTheNotifierOfTheLatestDial) {
    Fake.DialHandle = FakeHandle(0x4A13);
    Fake.Notify = NotifyMode::OnTheDiallingThread;
    ras::RasDialFunc ignore = [](std::uint32_t, auto, std::uint32_t) {};
    ASSERT_EQ(Service.Dial(ValidParams(), ignore, DialConnection), svc::Success);
    ASSERT_EQ(Service.Dial(ValidParams(), &RecordNotification, DialConnection), svc::Success);
    std::lock_guard lock(SeenLock);
    EXPECT_EQ(Seen.size(), 1u);
}

// --- hang-up and error texts -------------------------------------------------------------------

TEST_F(WindowsRasFake, HangUpPassesTheHandleAndRefusesNone) {
    EXPECT_EQ(Service.HangUp(0), svc::InvalidHandle);
    EXPECT_TRUE(Fake.HungUp.empty());
    EXPECT_EQ(Service.HangUp(0x7007), svc::Success);
    EXPECT_EQ(Fake.HungUp, std::vector<::HRASCONN>{FakeHandle(0x7007)});
}

TEST_F(WindowsRasFake, ErrorTextIsTheSystemsBytes) {
    Fake.ErrorText = "\xCF\xDF\xC2\xB7\xC3\xA6"; // "线路忙"
    std::string text = "stale";
    EXPECT_EQ(Service.GetErrorString(676, text), svc::Success);
    EXPECT_EQ(text, Fake.ErrorText);
    EXPECT_GE(Fake.ErrorBufferSize, 256u);
}

TEST_F(WindowsRasFake, FailedErrorTextLeavesNothingStale) {
    Fake.ErrorResult = ERROR_INVALID_PARAMETER;
    std::string text = "stale";
    EXPECT_EQ(Service.GetErrorString(99999, text), svc::InvalidParameter);
    EXPECT_TRUE(text.empty());
}

TEST_F(WindowsRasFake, UnterminatedErrorTextStaysInsideTheBuffer) {
    Fake.ErrorFillsWholeBuffer = true;
    std::string text;
    EXPECT_EQ(Service.GetErrorString(691, text), svc::Success);
    EXPECT_EQ(text, std::string(Fake.ErrorBufferSize, 'x'));
}

// --- the real rasapi32 (wine's on the build machine) -------------------------------------------

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(WindowsRasRecords, HaveTheLayoutRasExpects) {
    // Four-byte packing, as rasapi32 reads its records on every Windows.
    EXPECT_EQ(offsetof(RASCONNA, hrasconn), 4u);
    EXPECT_EQ(offsetof(RASCONNA, szEntryName), 4u + sizeof(::HRASCONN));
    EXPECT_EQ(offsetof(RASENTRYNAMEA, szEntryName), 4u);
    // The 1052-byte form of the dial parameters is the prefix of the current one.
    EXPECT_EQ(offsetof(RASDIALPARAMSA, szDomain) + DNLEN + 1 + 3, 1052u);
    EXPECT_EQ(offsetof(RASDIALPARAMSA, dwSubEntry), 1052u);
    EXPECT_EQ(sizeof(RASENTRYNAMEA), 532u); // the Windows 2000 and later form
#ifdef _WIN64
    // The Windows XP form, or the Windows 7 form with its correlation GUID.
    EXPECT_TRUE(sizeof(RASCONNA) == 708u || sizeof(RASCONNA) == 724u) << sizeof(RASCONNA);
#endif
}

class WindowsRasSystem : public ::testing::Test {
protected:
    std::unique_ptr<ras::IRasService> Service = ras::CreatePlatformRasService();
};

TEST_F(WindowsRasSystem, ThePlatformServiceIsTheWindowsBackend) {
    EXPECT_NE(dynamic_cast<ras::WindowsRas*>(Service.get()), nullptr);
}

TEST_F(WindowsRasSystem, PhonebookListingSettlesOnRetry) {
    std::vector<ras::RasEntryName> buffer;
    std::uint32_t count = 12345;
    ras::RasError result = Service->EnumEntries(buffer, count);
    for (int round = 0; result == svc::BufferTooSmall && round < 4; ++round) {
        ASSERT_GT(count, buffer.size());
        buffer.resize(count);
        result = Service->EnumEntries(buffer, count);
    }
    ASSERT_EQ(result, svc::Success);
    EXPECT_LE(count, buffer.size());
    if (RunningUnderWine()) {
        EXPECT_EQ(count, 0u); // wine's phonebook is empty
    }
}

TEST_F(WindowsRasSystem, ConnectionListingSettlesOnRetry) {
    std::vector<ras::RasConnection> buffer(1);
    std::uint32_t count = 12345;
    ras::RasError result = Service->EnumConnections(buffer, count);
    for (int round = 0; result == svc::BufferTooSmall && round < 4; ++round) {
        ASSERT_GT(count, buffer.size());
        buffer.resize(count);
        result = Service->EnumConnections(buffer, count);
    }
    ASSERT_EQ(result, svc::Success);
    EXPECT_LE(count, buffer.size());
    for (std::uint32_t i = 0; i < count; ++i)
        EXPECT_NE(buffer[i].hrasconn, 0u);
    if (RunningUnderWine()) {
        EXPECT_EQ(count, 0u); // wine has no connections
    }
}

TEST_F(WindowsRasSystem, DialOfAMissingEntryPublishesNoHandle) {
    std::atomic<ras::HRASCONN> connection{0x5EED};
    const ras::RasDialParams params{
        "tornevo test entry that is not in any phonebook", "", "*", "nobody", "nothing", "*"};
    EXPECT_NE(Service->Dial(params, &RecordNotification, connection), svc::Success);
    EXPECT_EQ(connection.load(), 0u);
}

TEST_F(WindowsRasSystem, OverlongEntryIsRefusedBeforeRas) {
    std::atomic<ras::HRASCONN> connection{0x5EED};
    ras::RasDialParams params{std::string(300, 'x'), "", "*", "nobody", "nothing", "*"};
    EXPECT_EQ(Service->Dial(params, &RecordNotification, connection), svc::InvalidParameter);
    EXPECT_EQ(connection.load(), 0u);
}

TEST_F(WindowsRasSystem, HangUpOfNoConnectionIsRefused) {
    EXPECT_EQ(Service->HangUp(0), svc::InvalidHandle);
}

TEST_F(WindowsRasSystem, ErrorTextIsAllOrNothing) {
    std::string text = "stale";
    const ras::RasError result = Service->GetErrorString(svc::AuthenticationFailure, text);
    // Wine has no texts for RAS codes; Windows has one for every code.
    EXPECT_EQ(result == svc::Success, !text.empty()) << result;
    EXPECT_EQ(text.find('\0'), std::string::npos);
    if (!RunningUnderWine()) {
        EXPECT_EQ(result, svc::Success);
    }
}

} // namespace

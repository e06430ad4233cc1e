// The NetworkManager connection service against a pretend NetworkManager on a private bus.

#include "NetworkManagerRas.h"
#include "ConnectionControl.h"
#include "FakeWindow.h"
#include "RedialEngine.h"
#include "nm/FakeNetworkManager.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

using tnvtest::FakeNetworkManager;
using tnvtest::PumpEvents;
using tnvtest::WaitFor;

namespace {

constexpr unsigned SecretAgentOwned = 1;

// What dial notifiers received, in order.
struct Notification {
    ras::RASCONNSTATE State;
    std::uint32_t Error;
};
std::mutex NotesLock;
std::vector<Notification> Notes;

void RecordNotify(std::uint32_t /*unMsg*/, ras::RASCONNSTATE State, std::uint32_t Error) {
    std::lock_guard lock(NotesLock);
    Notes.push_back(Notification{State, Error});
}

std::vector<Notification> TakeNotes() {
    std::lock_guard lock(NotesLock);
    return Notes;
}

int CountNotes(ras::RASCONNSTATE State) {
    const auto notes = TakeNotes();
    return static_cast<int>(std::count_if(notes.begin(), notes.end(),
                                          [&](const Notification& n) { return n.State == State; }));
}

std::optional<std::uint32_t> DisconnectError() {
    for (const Notification& n : TakeNotes())
        if (n.State == ras::RASCS_Disconnected)
            return n.Error;
    return std::nullopt;
}

ras::RasDialParams Params(const std::string& Entry, const std::string& User,
                          const std::string& Password) {
    ras::RasDialParams p;
    p.szEntryName = Entry;
    p.szCallbackNumber = "*";
    p.szUserName = User;
    p.szPassword = Password;
    p.szDomain = "*";
    return p;
}

bool AnyFileContains(const QString& Dir, const QByteArray& Text) {
    QDirIterator it(Dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(Text))
            return true;
    }
    return false;
}

class NmTest : public ::testing::Test {
protected:
    FakeNetworkManager Fake;
    std::unique_ptr<ras::NetworkManagerRas> Service;

    // Parameters the pretend service starts with.
    virtual QJsonObject StartParameters() const { return QJsonObject{{"delay_ms", 200}}; }

    void SetUp() override {
        {
            std::lock_guard lock(NotesLock);
            Notes.clear();
        }
        RedialPending = false;
        CurrentConnection = 0;
        ConnectionCount = 0;
        ASSERT_TRUE(Fake.Start(StartParameters())) << Fake.Output().toStdString();
        Service = std::make_unique<ras::NetworkManagerRas>();
    }

    void TearDown() override {
        SetRasService(nullptr);
        Service.reset();
    }

    std::vector<std::string> Entries(ras::RasError* Error = nullptr) {
        std::vector<ras::RasEntryName> buffer(16);
        std::uint32_t count = 0;
        const ras::RasError error = Service->EnumEntries(buffer, count);
        if (Error)
            *Error = error;
        std::vector<std::string> names;
        for (std::uint32_t i = 0; error == ras::SUCCESS && i < count; ++i)
            names.push_back(buffer[i].szEntryName);
        return names;
    }

    std::vector<ras::RasConnection> Connections(ras::RasError* Error = nullptr) {
        std::vector<ras::RasConnection> buffer(16);
        std::uint32_t count = 0;
        const ras::RasError error = Service->EnumConnections(buffer, count);
        if (Error)
            *Error = error;
        buffer.resize(error == ras::SUCCESS ? count : 0);
        return buffer;
    }

    // Dials and waits until the service says connected.
    ras::HRASCONN DialConnected(const std::string& Entry, const std::string& User,
                                const std::string& Password) {
        std::atomic<ras::HRASCONN> handle{0};
        EXPECT_EQ(Service->Dial(Params(Entry, User, Password), &RecordNotify, handle),
                  ras::SUCCESS);
        EXPECT_NE(handle.load(), 0u);
        EXPECT_TRUE(WaitFor([] { return CountNotes(ras::RASCS_Connected) > 0; }))
            << Fake.Output().toStdString();
        return handle.load();
    }

    // A blocking round trip to the service: every signal it sent before is then queued here.
    void SettleSignals() {
        Connections();
        QCoreApplication::processEvents();
    }
};

TEST_F(NmTest, PhonebookListsOnlyDialUpProfilesInOneStableOrder) {
    Fake.AddProfile("Wired", "802-3-ethernet");
    Fake.AddProfile("b-line", "pppoe", {{"uuid", "2"}});
    Fake.AddProfile("Home WiFi", "802-11-wireless");
    Fake.AddProfile("same", "pppoe", {{"uuid", "b"}});
    Fake.AddProfile("A-line", "adsl");
    Fake.AddProfile("Phone PAN", "bluetooth", {{"bt-type", "panu"}});
    Fake.AddProfile("Same", "pppoe", {{"uuid", "a"}});
    Fake.AddProfile("mobile", "gsm");
    Fake.AddProfile("Cdma", "cdma");
    Fake.AddProfile("Phone DUN", "bluetooth", {{"bt-type", "dun"}});
    Fake.AddProfile("Office VPN", "vpn");

    const std::vector<std::string> expected = {"A-line",     "b-line",    "Cdma", "mobile",
                                               "Office VPN", "Phone DUN", "Same", "same"};
    ras::RasError error = ras::ERROR_UNKNOWN;
    EXPECT_EQ(Entries(&error), expected);
    EXPECT_EQ(error, ras::SUCCESS);
    EXPECT_EQ(Entries(), expected);
}

TEST_F(NmTest, PhonebookLargerThanTheBufferSaysHowManyAreNeeded) {
    for (const char* name : {"one", "two", "three"})
        Fake.AddProfile(name, "pppoe");
    std::vector<ras::RasEntryName> small(2);
    std::uint32_t count = 0;
    EXPECT_EQ(Service->EnumEntries(small, count), ras::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 3u);
    std::vector<ras::RasEntryName> enough(3);
    EXPECT_EQ(Service->EnumEntries(enough, count), ras::SUCCESS);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(enough[2].szEntryName, "two");
}

TEST_F(NmTest, OnlyActivatedDialUpConnectionsAreListedWithStableHandles) {
    // Stored passwords: the service needs no agent for these.
    const QString dsl = Fake.AddProfile("DSL", "pppoe", {{"password", "x"}});
    const QString wired = Fake.AddProfile("Wired", "802-3-ethernet");
    const QString pan = Fake.AddProfile("PAN", "bluetooth", {{"bt-type", "panu"}});
    const QString dun = Fake.AddProfile("DUN", "bluetooth", {{"password", "x"}});
    const QString slow = Fake.AddProfile("Slow", "gsm", {{"password", "x"}});
    Fake.SetBehaviour({{"delay_ms", 50u}});
    QStringList up;
    for (const QString& profile : {dsl, wired, pan, dun})
        up << Fake.Activate(profile);
    ASSERT_TRUE(WaitFor([&] {
        return std::all_of(up.begin(), up.end(),
                           [&](const QString& a) { return Fake.ActiveState(a) == 2; });
    }));
    Fake.SetBehaviour({{"delay_ms", 600000u}});
    const QString activating = Fake.Activate(slow);
    ASSERT_EQ(Fake.ActiveState(activating), 1u);

    const auto first = Connections();
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].szEntryName, "DSL");
    EXPECT_EQ(first[0].szDeviceType, "PPPoE");
    EXPECT_EQ(first[1].szEntryName, "DUN");
    EXPECT_EQ(first[1].szDeviceType, "modem");
    EXPECT_NE(first[0].hrasconn, 0u);
    EXPECT_NE(first[1].hrasconn, 0u);
    EXPECT_NE(first[0].hrasconn, first[1].hrasconn);

    const auto second = Connections();
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].hrasconn, first[0].hrasconn);
    EXPECT_EQ(second[1].hrasconn, first[1].hrasconn);

    std::vector<ras::RasConnection> small(1);
    std::uint32_t count = 0;
    EXPECT_EQ(Service->EnumConnections(small, count), ras::ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(count, 2u);
}

TEST_F(NmTest, DialConnectsNotifiesAndHangsUpQuietly) {
    Fake.AddProfile("宽带连接", "pppoe", {{"username", "user"}});
    const ras::HRASCONN handle = DialConnected("宽带连接", "user", "secret");

    const auto up = Connections();
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].szEntryName, "宽带连接");
    EXPECT_EQ(up[0].hrasconn, handle);
    const auto notes = TakeNotes();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().State, ras::RASCS_Connected);
    EXPECT_EQ(CountNotes(ras::RASCS_Authenticate), 1);

    EXPECT_EQ(Service->HangUp(handle), ras::SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return Fake.ActiveConnections().isEmpty(); }));
    SettleSignals();
    // A hang-up the program asked for is not reported back as a dropped line.
    EXPECT_EQ(CountNotes(ras::RASCS_Disconnected), 0);
    EXPECT_TRUE(Connections().empty());
    EXPECT_EQ(Service->HangUp(handle), ras::SUCCESS);
}

TEST_F(NmTest, EntryNameMatchesTheProfileIdFoldingOnlyLatinLetters) {
    Fake.AddProfile("MyADSL", "pppoe");
    std::atomic<ras::HRASCONN> handle{0};
    EXPECT_EQ(Service->Dial(Params("MyADSL2", "u", "p"), &RecordNotify, handle),
              ras::ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    EXPECT_EQ(handle.load(), 0u);
    EXPECT_NE(DialConnected("myadsl", "u", "p"), 0u);
}

struct CredentialCase {
    const char* Name;
    const char* Type;
    QVariantMap Options;
};

void PrintTo(const CredentialCase& c, std::ostream* os) {
    *os << c.Name;
}

class NmCredentialTest : public NmTest, public ::testing::WithParamInterface<CredentialCase> {};

TEST_P(NmCredentialTest, TypedAccountAndPasswordAreTheOnesUsedAndNothingIsSaved) {
    const CredentialCase& c = GetParam();
    QVariantMap options = c.Options;
    options["username"] = "old-user";
    options["uuid"] = "uuid-1";
    Fake.AddProfile("Line", c.Type, options);

    DialConnected("Line", "new-user", "pa55 wörd");

    const auto received = Fake.ReceivedCredentials();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].Account, "new-user");
    EXPECT_EQ(received[0].Password, QString::fromUtf8("pa55 wörd"));
    // One update, in memory only.
    const auto updates = Fake.Updates();
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_EQ(updates[0].first, "uuid-1");
    EXPECT_EQ(updates[0].second, 0x2u);
    EXPECT_TRUE(Fake.DiskWrites().isEmpty()) << Fake.DiskWrites().join(", ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NmCredentialTest,
    ::testing::Values(CredentialCase{"pppoe", "pppoe", {}}, CredentialCase{"adsl", "adsl", {}},
                      CredentialCase{"gsm", "gsm", {}}, CredentialCase{"cdma", "cdma", {}},
                      CredentialCase{"bluetooth_dun", "bluetooth", {{"bt-type", "dun"}}},
                      CredentialCase{"vpn_user_name", "vpn", {}},
                      CredentialCase{"vpn_data_user", "vpn", {{"vpn-user-key", "user"}}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NmTest, SameAccountAndAgentOwnedPasswordNeedNoUpdate) {
    Fake.AddProfile("DSL", "pppoe", {{"username", "user"}, {"password-flags", SecretAgentOwned}});
    DialConnected("DSL", "user", "pw");
    EXPECT_TRUE(Fake.Updates().empty());
    const auto received = Fake.ReceivedCredentials();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].Password, "pw");
}

TEST_F(NmTest, PasswordGoesOnlyToNetworkManagerForTheDialledProfileAndIsNeverWritten) {
    const QByteArray password = "Xq7-secret-Zr9";
    const QString line = Fake.AddProfile("Line", "pppoe", {{"username", "u"}});
    const QString other = Fake.AddProfile("Other", "pppoe", {{"username", "u"}});
    Fake.SetBehaviour({{"delay_ms", 4000u}});
    std::atomic<ras::HRASCONN> handle{0};
    ASSERT_EQ(Service->Dial(Params("Line", "u", password.toStdString()), &RecordNotify, handle),
              ras::SUCCESS);
    ASSERT_TRUE(WaitFor([] { return CountNotes(ras::RASCS_OpenPort) > 0; }));

    const auto agents = Fake.Agents();
    ASSERT_EQ(agents.size(), 1u);
    // Another program on the bus asking the agent directly gets nothing.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        agents[0].first, "/org/freedesktop/NetworkManager/SecretAgent",
        "org.freedesktop.NetworkManager.SecretAgent", "GetSecrets");
    ask << QVariant::fromValue(QMap<QString, QVariantMap>{{"connection", {{"id", "Line"}}}})
        << QVariant::fromValue(QDBusObjectPath(line)) << QString("pppoe") << QStringList() << 1u;
    QDBusPendingCall pending = Fake.Bus().asyncCall(ask, 10000);
    ASSERT_TRUE(WaitFor([&] { return pending.isFinished(); }));
    EXPECT_TRUE(pending.isError());
    EXPECT_EQ(pending.error().name(),
              "org.freedesktop.NetworkManager.SecretAgent.PermissionDenied");

    // NetworkManager gets it for the dialled profile and setting only.
    EXPECT_FALSE(Fake.AskAgents(other, "pppoe").first);
    EXPECT_FALSE(Fake.AskAgents(line, "gsm").first);
    const auto asked = Fake.AskAgents(line, "pppoe");
    EXPECT_TRUE(asked.first);
    EXPECT_EQ(asked.second.toUtf8(), password);

    ASSERT_TRUE(WaitFor([] { return CountNotes(ras::RASCS_Connected) > 0; }, 20000));
    // Dropped when the dial ended.
    EXPECT_FALSE(Fake.AskAgents(line, "pppoe").first);

    EXPECT_TRUE(Fake.DiskWrites().isEmpty());
    EXPECT_FALSE(Fake.Output().toUtf8().contains(password));
    EXPECT_FALSE(AnyFileContains(Fake.WorkDir(), password));
}

TEST_F(NmTest, RefusedAccountChangeFailsTheDialAtOnce) {
    Fake.AddProfile("DSL", "pppoe", {{"username", "old"}});
    Fake.SetBehaviour({{"refuse_update", true}});
    std::atomic<ras::HRASCONN> handle{0};
    EXPECT_EQ(Service->Dial(Params("DSL", "new", "pw"), &RecordNotify, handle),
              ras::ERROR_ACCESS_DENIED);
    EXPECT_EQ(handle.load(), 0u);
    SettleSignals();
    EXPECT_TRUE(TakeNotes().empty());
    EXPECT_TRUE(Fake.ActiveConnections().isEmpty());
    EXPECT_TRUE(Fake.ReceivedCredentials().empty());
}

struct FailureCase {
    const char* Name;
    QVariantMap Behaviour;
    QVariantMap ProfileOptions;
    const char* Password;
    std::uint32_t Error;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
    *os << c.Name;
}

class NmFailedDialTest : public NmTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(NmFailedDialTest, EndsDisconnectedWithTheMatchingError) {
    const FailureCase& c = GetParam();
    QVariantMap options = c.ProfileOptions;
    options["username"] = "user";
    Fake.AddProfile("DSL", "pppoe", options);
    Fake.SetBehaviour(c.Behaviour);
    std::atomic<ras::HRASCONN> handle{0};
    ASSERT_EQ(Service->Dial(Params("DSL", "user", c.Password), &RecordNotify, handle),
              ras::SUCCESS);
    EXPECT_NE(handle.load(), 0u);
    ASSERT_TRUE(WaitFor([] { return DisconnectError().has_value(); }))
        << Fake.Output().toStdString();
    EXPECT_EQ(*DisconnectError(), c.Error);
    EXPECT_EQ(CountNotes(ras::RASCS_Connected), 0);
    EXPECT_TRUE(Connections().empty());
    // The failed attempt is released; hanging it up is harmless.
    EXPECT_EQ(Service->HangUp(handle.load()), ras::SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, NmFailedDialTest,
    ::testing::Values(
        FailureCase{
            "login_failed", {{"fail_reason", 10u}}, {}, "pw", ras::ERROR_AUTHENTICATION_FAILURE},
        FailureCase{"wrong_password",
                    {},
                    {{"expect-password", "right"}},
                    "wrong",
                    ras::ERROR_AUTHENTICATION_FAILURE},
        FailureCase{"no_password_typed", {}, {}, "", ras::ERROR_NO_SECRETS},
        FailureCase{"timeout", {{"fail_reason", 6u}}, {}, "pw", ras::ERROR_PPP_TIMEOUT},
        FailureCase{
            "device_removed", {{"fail_reason", 14u}}, {}, "pw", ras::ERROR_DEVICE_DOES_NOT_EXIST},
        FailureCase{"activation_refused",
                    {{"refuse_activation", "org.freedesktop.NetworkManager.PermissionDenied"}},
                    {},
                    "pw",
                    ras::ERROR_ACCESS_DENIED}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(NmTest, FailedDialThroughConnectionControlLeavesNoCurrentConnection) {
    Fake.AddProfile("DSL", "pppoe", {{"username", "user"}, {"expect-password", "right"}});
    SetRasService(Service.get());
    RedialPending = true;
    Dial("DSL", "user", "wrong");
    EXPECT_NE(CurrentConnection.load(), 0u);
    ASSERT_TRUE(WaitFor([] { return CurrentConnection.load() == 0; }));
    EXPECT_TRUE(RedialPending.load());
    EXPECT_FALSE(IsConnected("DSL"));
}

TEST_F(NmTest, DroppedLineIsReportedOnceAndItsHangUpIsNoError) {
    Fake.AddProfile("DSL", "pppoe", {{"username", "user"}});
    const ras::HRASCONN handle = DialConnected("DSL", "user", "pw");
    const QStringList active = Fake.ActiveConnections();
    ASSERT_EQ(active.size(), 1);
    Fake.DropLine(active[0], 3);
    ASSERT_TRUE(WaitFor([] { return DisconnectError().has_value(); }));
    EXPECT_EQ(*DisconnectError(), ras::ERROR_PORT_DISCONNECTED);
    EXPECT_TRUE(Connections().empty());
    EXPECT_EQ(Service->HangUp(handle), ras::SUCCESS);
    SettleSignals();
    EXPECT_EQ(CountNotes(ras::RASCS_Disconnected), 1);
}

class NmHangUpWhileDiallingTest : public NmTest, public ::testing::WithParamInterface<bool> {};

TEST_P(NmHangUpWhileDiallingTest, StopsTheDialSilentlyAndTheNextDialWorks) {
    const bool answered = GetParam();
    Fake.AddProfile("DSL", "pppoe", {{"username", "user"}});
    Fake.SetBehaviour({{"delay_ms", 3000u}});
    std::atomic<ras::HRASCONN> handle{0};
    ASSERT_EQ(Service->Dial(Params("DSL", "user", "pw"), &RecordNotify, handle), ras::SUCCESS);
    if (answered) { // the activation's answer has arrived and the dial is under way
        ASSERT_TRUE(WaitFor([] { return CountNotes(ras::RASCS_OpenPort) > 0; }));
    }
    EXPECT_EQ(Service->HangUp(handle.load()), ras::SUCCESS);
    ASSERT_TRUE(WaitFor([&] {
        return Fake.Events().filter("hung up by the program").size() == 1 &&
               Fake.ActiveConnections().isEmpty();
    })) << Fake.Output().toStdString();
    SettleSignals();
    EXPECT_EQ(CountNotes(ras::RASCS_Disconnected), 0);
    EXPECT_EQ(CountNotes(ras::RASCS_Connected), 0);

    Fake.SetBehaviour({{"delay_ms", 100u}});
    EXPECT_NE(DialConnected("DSL", "user", "pw"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Moments, NmHangUpWhileDiallingTest, ::testing::Bool(),
                         [](const auto& info) {
                             return std::string(info.param ? "while_activating" : "before_answer");
                         });

TEST_F(NmTest, HangUpFromAnotherThreadIsCarriedOut) {
    Fake.AddProfile("DSL", "pppoe", {{"username", "user"}});
    const ras::HRASCONN handle = DialConnected("DSL", "user", "pw");
    ras::RasError result = ras::ERROR_UNKNOWN;
    std::thread other([&] { result = Service->HangUp(handle); });
    other.join();
    EXPECT_EQ(result, ras::SUCCESS);
    ASSERT_TRUE(WaitFor([&] { return Fake.ActiveConnections().isEmpty(); }));
}

TEST_F(NmTest, UnansweringServiceFailsCallsInsteadOfBlockingAndRecovers) {
    Fake.AddProfile("DSL", "pppoe");
    Fake.Pause();
    ras::RasError error = ras::SUCCESS;
    EXPECT_TRUE(Entries(&error).empty());
    EXPECT_EQ(error, ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    Connections(&error);
    EXPECT_EQ(error, ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    Fake.Resume();
    EXPECT_EQ(Entries(&error), std::vector<std::string>{"DSL"});
    EXPECT_EQ(error, ras::SUCCESS) << "service running: " << Fake.Running() << "\n"
                                   << Fake.Output().toStdString();
}

// Started with its profiles, so that a restarted service has them again.
class NmRestartTest : public NmTest, public ::testing::WithParamInterface<bool> {
protected:
    QJsonObject StartParameters() const override {
        return QJsonObject{{"delay_ms", 300},
                           {"profiles", QJsonArray{QJsonObject{{"id", "DSL"}, {"type", "pppoe"}}}}};
    }
};

TEST_P(NmRestartTest, KilledServiceFailsTheDialAndIsUsedAgainWhenBack) {
    const bool connected = GetParam();
    std::atomic<ras::HRASCONN> handle{0};
    if (connected) {
        handle = DialConnected("DSL", "user", "pw");
    } else {
        Fake.SetBehaviour({{"delay_ms", 600000u}});
        ASSERT_EQ(Service->Dial(Params("DSL", "user", "pw"), &RecordNotify, handle), ras::SUCCESS);
        ASSERT_TRUE(WaitFor([] { return CountNotes(ras::RASCS_OpenPort) > 0; }));
    }
    ASSERT_TRUE(Fake.Kill());
    ASSERT_TRUE(WaitFor([] { return DisconnectError().has_value(); }));
    EXPECT_EQ(*DisconnectError(), ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    ras::RasError error = ras::SUCCESS;
    EXPECT_TRUE(Entries(&error).empty());
    EXPECT_EQ(error, ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    EXPECT_TRUE(Connections().empty());
    EXPECT_EQ(Service->HangUp(handle.load()), ras::SUCCESS);

    ASSERT_TRUE(Fake.Start(StartParameters())) << Fake.Output().toStdString();
    EXPECT_EQ(Entries(), std::vector<std::string>{"DSL"});
    {
        std::lock_guard lock(NotesLock);
        Notes.clear();
    }
    const ras::HRASCONN again = DialConnected("DSL", "user2", "pw2");
    EXPECT_NE(again, handle.load());
    // The new instance asked the program's agent, registered with it anew.
    const auto received = Fake.ReceivedCredentials();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().Account, "user2");
    EXPECT_EQ(received.back().Password, "pw2");
}

INSTANTIATE_TEST_SUITE_P(Moments, NmRestartTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "while_connected" : "while_dialling");
});

TEST_F(NmTest, RedialEngineRunsFullCyclesWithTheTypedCredentials) {
    Fake.AddProfile("宽带连接", "pppoe", {{"username", "someone-else"}});
    SetRasService(Service.get());
    FakeWindow window;
    window.Entry = "宽带连接";
    window.User = "acct";
    window.Pwd = "pw-123";
    window.Interval = "3";
    window.Pause = "1";
    window.Checked = true;
    // Time moves in real but short steps, so dials and hang-ups take place between ticks.
    window.OnSleep = [](std::int32_t ms) { PumpEvents(std::min<std::int32_t>(ms, 20)); };
    window.OnProcessMessages = [] { QCoreApplication::processEvents(); };
    TRedialEngine engine(window, window);
    engine.CheckBox1Click();

    auto connectedDials = [&] { return Fake.Events().filter(": connected").size(); };
    ASSERT_TRUE(WaitFor(
        [&] {
            engine.Timer1Timer();
            PumpEvents(30);
            return connectedDials() >= 3 && !RedialPending.load();
        },
        90000))
        << Fake.Output().toStdString();

    const auto received = Fake.ReceivedCredentials();
    ASSERT_GE(received.size(), 3u);
    for (const auto& r : received) {
        EXPECT_EQ(r.Account, "acct");
        EXPECT_EQ(r.Password, "pw-123");
    }
    EXPECT_GE(Fake.Events().filter("hung up by the program").size(), 2);
    EXPECT_TRUE(Fake.Events().filter("dial failed").isEmpty());
    EXPECT_TRUE(Fake.DiskWrites().isEmpty());
    EXPECT_TRUE(IsConnected("宽带连接"));
}

TEST(NmAbsentTest, NoServiceMeansAnEmptyPhonebookAndNoConnections) {
    ASSERT_FALSE(tnvtest::PrivateBusAddress().isEmpty());
    ras::NetworkManagerRas service;
    std::vector<ras::RasEntryName> entries(16);
    std::uint32_t count = 7;
    EXPECT_EQ(service.EnumEntries(entries, count), ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    EXPECT_EQ(count, 0u);
    std::vector<ras::RasConnection> connections(16);
    count = 7;
    EXPECT_EQ(service.EnumConnections(connections, count), ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    EXPECT_EQ(count, 0u);
    std::atomic<ras::HRASCONN> handle{5};
    EXPECT_EQ(service.Dial(Params("DSL", "u", "p"), &RecordNotify, handle),
              ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    EXPECT_EQ(handle.load(), 0u);
    EXPECT_EQ(service.HangUp(0), ras::ERROR_INVALID_HANDLE);

    SetRasService(&service);
    EXPECT_FALSE(IsConnected("DSL"));
    Dial("DSL", "u", "p");
    EXPECT_EQ(CurrentConnection.load(), 0u);
    SetRasService(nullptr);
}

} // namespace

#include "ConnectionControl.h"
#include "SimulatedRas.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class ConnectionControlTest : public ::testing::Test {
protected:
    ras::SimulatedRas Service;

    void SetUp() override {
        RedialPending = false;
        CurrentConnection = 0;
        ConnectionCount = 0;
        SetRasService(&Service);
    }
    void TearDown() override {
        Service.WaitIdle();
        SetRasService(nullptr);
    }
};

struct MatchCase {
    std::string Listed;
    std::string Wanted;
    bool Found;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << c.Listed << " / " << c.Wanted;
}

class EntryMatchTest : public ConnectionControlTest,
                       public ::testing::WithParamInterface<MatchCase> {};

TEST_P(EntryMatchTest, OnlyLatinLettersFoldCase) {
    const MatchCase& c = GetParam();
    Service.AddEntry(c.Listed);
    const ras::HRASCONN handle = Service.Connect(c.Listed);
    EXPECT_EQ(IsConnected(c.Wanted), c.Found) << c.Listed << " / " << c.Wanted;
    EXPECT_EQ(CurrentConnection.load(), c.Found ? handle : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EntryMatchTest,
    ::testing::Values(MatchCase{"MyADSL", "MyADSL", true}, MatchCase{"MyADSL", "myadsl", true},
                      MatchCase{"宽带连接", "宽带连接", true},
                      MatchCase{"MyADSL", "MyADSL ", false}, MatchCase{"MyADSL", "My", false},
                      MatchCase{"MyADSL", "ADSL", false}, MatchCase{"MyADSL", "MyADSL2", false},
                      MatchCase{"Café", "CAFÉ", false}, MatchCase{"MyADSL", "", false}));

TEST_F(ConnectionControlTest, FirstListedConnectionOfTheEntryWins) {
    Service.AddEntry("ADSL");
    const ras::HRASCONN first = Service.Connect("ADSL");
    Service.Connect("adsl");
    EXPECT_EQ(FindConnection("Adsl"), first);
}

TEST_F(ConnectionControlTest, MoreConnectionsThanTheFirstBufferAreAllSeen) {
    for (int i = 0; i < 14; ++i) {
        Service.AddEntry("line" + std::to_string(i));
        Service.Connect("line" + std::to_string(i));
    }
    EXPECT_NE(FindConnection("line13"), 0u);
    EXPECT_EQ(ConnectionCount, 14u);
}

TEST_F(ConnectionControlTest, FailedListingLeavesNoStaleRecordsToMatch) {
    Service.AddEntry("ADSL");
    Service.Connect("ADSL");
    ASSERT_NE(FindConnection("ADSL"), 0u);
    Service.SetEnumFailure(ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    EXPECT_EQ(FindConnection("ADSL"), 0u);
}

TEST_F(ConnectionControlTest, NoDialWhileTheListingFails) {
    Service.AddEntry("ADSL");
    Service.Connect("ADSL");
    Service.SetEnumFailure(ras::ERROR_RASMAN_CANNOT_INITIALIZE);
    Dial("ADSL", "user", "secret");
    EXPECT_EQ(Service.GetCounters().Dials, 0u);
    Service.SetEnumFailure(ras::SUCCESS);
    Dial("ADSL", "user", "secret");
    EXPECT_EQ(Service.GetCounters().Dials, 0u); // listed now, so known to be up
}

TEST_F(ConnectionControlTest, HangUpWithoutConnectionCallsNothing) {
    HangUp();
    EXPECT_EQ(Service.GetCounters().HangUps, 0u);
}

TEST_F(ConnectionControlTest, HangUpReleasesTheCurrentConnection) {
    Service.AddEntry("ADSL");
    Service.Connect("ADSL");
    ASSERT_TRUE(IsConnected("ADSL"));
    HangUp();
    EXPECT_EQ(CurrentConnection.load(), 0u);
    EXPECT_TRUE(Service.Connections().empty());
    HangUp();
    EXPECT_EQ(Service.GetCounters().HangUps, 1u);
}

TEST_F(ConnectionControlTest, DialOfConnectedEntryRequestsNothingAndKeepsItsHandle) {
    Service.AddEntry("ADSL");
    const ras::HRASCONN handle = Service.Connect("ADSL");
    Dial("adsl", "user", "secret");
    EXPECT_EQ(Service.GetCounters().Dials, 0u);
    EXPECT_EQ(CurrentConnection.load(), handle);
}

TEST_F(ConnectionControlTest, DialPassesEntryAccountAndPasswordAndConnects) {
    Service.AddEntry("ADSL");
    Service.SetCredentials("ADSL", "user", "secret");
    RedialPending = true;
    Dial("ADSL", "user", "secret");
    const ras::HRASCONN dialled = CurrentConnection.load();
    EXPECT_NE(dialled, 0u);
    Service.WaitIdle();
    EXPECT_FALSE(RedialPending.load());
    const auto params = Service.LastDial();
    ASSERT_TRUE(params.has_value());
    EXPECT_EQ(params->szEntryName, "ADSL");
    EXPECT_EQ(params->szUserName, "user");
    EXPECT_EQ(params->szPassword, "secret");
    EXPECT_EQ(params->szPhoneNumber, "");
    EXPECT_EQ(params->szCallbackNumber, "*");
    EXPECT_EQ(params->szDomain, "*");
    EXPECT_EQ(FindConnection("ADSL"), dialled);
}

TEST_F(ConnectionControlTest, DialReportedDisconnectedLeavesNoCurrentConnection) {
    Service.AddEntry("ADSL");
    Service.SetCredentials("ADSL", "user", "right");
    RedialPending = true;
    Dial("ADSL", "user", "wrong");
    EXPECT_EQ(Service.GetCounters().Dials, 1u);
    Service.WaitIdle();
    EXPECT_EQ(CurrentConnection.load(), 0u);
    EXPECT_TRUE(RedialPending.load());
    EXPECT_FALSE(Service.IsDialling("ADSL"));
    EXPECT_EQ(Service.GetCounters().HangUps, 1u); // the failed attempt's handle was released
}

struct LengthCase {
    size_t Entry, User, Pwd;
    bool Dialled;
};

void PrintTo(const LengthCase& c, std::ostream* os) {
    *os << c.Entry << "/" << c.User << "/" << c.Pwd;
}

class DialLengthTest : public ConnectionControlTest,
                       public ::testing::WithParamInterface<LengthCase> {};

TEST_P(DialLengthTest, FieldsLongerThan256BytesAreNeverDialled) {
    const LengthCase& c = GetParam();
    const std::string entry(c.Entry, 'e');
    Service.AddEntry(entry);
    Dial(entry, std::string(c.User, 'u'), std::string(c.Pwd, 'p'));
    EXPECT_EQ(Service.GetCounters().Dials, c.Dialled ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, DialLengthTest,
                         ::testing::Values(LengthCase{256, 256, 256, true},
                                           LengthCase{257, 1, 1, false},
                                           LengthCase{1, 257, 1, false},
                                           LengthCase{1, 1, 257, false},
                                           LengthCase{1, 1, 100000, false}));

} // namespace

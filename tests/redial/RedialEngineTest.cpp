#include "RedialEngine.h"
#include "ConnectionControl.h"
#include "FakeWindow.h"
#include "LangUnit.h"
#include "SimulatedRas.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <string>

namespace {

class RedialEngineTest : public ::testing::Test {
protected:
    LanguageUnit Lang;
    ras::SimulatedRas Service;
    FakeWindow Window;
    TRedialEngine Engine{Window, Window};

    void SetUp() override {
        RedialPending = false;
        CurrentConnection = 0;
        ConnectionCount = 0;
        SetRasService(&Service);
        Service.AddEntry("ADSL");
        Window.Entry = "ADSL";
        Window.User = "user";
        Window.Pwd = "secret";
    }
    void TearDown() override {
        Service.WaitIdle();
        SetRasService(nullptr);
    }

    void SwitchOn() {
        Window.Checked = true;
        Engine.CheckBox1Click();
    }
    // Runs ticks while the timer stays armed, as the window's timer would.
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            ASSERT_TRUE(Window.TimerEnabled) << "timer stopped before tick " << i + 1;
            Engine.Timer1Timer();
        }
    }
};

struct CountOnlyCase {
    std::string Interval;
    std::string Entry;
};

void PrintTo(const CountOnlyCase& c, std::ostream* os) {
    *os << "interval '" << c.Interval << "' entry '" << c.Entry << "'";
}

class CountOnlyTest : public RedialEngineTest,
                      public ::testing::WithParamInterface<CountOnlyCase> {};

TEST_P(CountOnlyTest, NeverHangsUpOrDials) {
    Window.Interval = GetParam().Interval;
    Window.Entry = GetParam().Entry;
    Service.Connect("ADSL");
    SwitchOn();
    Ticks(30);
    EXPECT_EQ(Window.Display, "30");
    const auto counters = Service.GetCounters();
    EXPECT_EQ(counters.HangUps, 0u);
    EXPECT_EQ(counters.Dials, 0u);
    EXPECT_EQ(counters.EnumConnections, 0u);
    EXPECT_TRUE(Window.Sleeps.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, CountOnlyTest,
                         ::testing::Values(CountOnlyCase{"0", "ADSL"}, CountOnlyCase{"1", "ADSL"},
                                           CountOnlyCase{"2", "ADSL"}, CountOnlyCase{"-7", "ADSL"},
                                           CountOnlyCase{"3 ", "ADSL"}, CountOnlyCase{"5", ""},
                                           CountOnlyCase{"5", " \t\r\n"}));

TEST_F(RedialEngineTest, IntervalThreeHangsUpOnTheFourthTickThenWaitsFiveSeconds) {
    Window.Interval = "3";
    Service.Connect("ADSL");
    SwitchOn();
    Ticks(3);
    EXPECT_EQ(Window.Display, "3");
    EXPECT_EQ(Service.GetCounters().HangUps, 0u);
    EXPECT_FALSE(RedialPending.load());

    Ticks(1);
    EXPECT_EQ(Service.GetCounters().HangUps, 1u);
    EXPECT_TRUE(Service.Connections().empty());
    EXPECT_TRUE(RedialPending.load());
    EXPECT_EQ(CurrentConnection.load(), 0u);
    EXPECT_EQ(Window.CountSleeps(100), 50); // 10 + 10 + 10 + 20 passes
    EXPECT_EQ(Window.SleptMs(), 5000);
    EXPECT_EQ(Window.MessagePasses, 50);
    EXPECT_EQ(Window.Display, "0");
    EXPECT_TRUE(Window.TimerEnabled);
}

TEST_F(RedialEngineTest, EntryNotConnectedAtCycleStartIsDialledOnTheNextTickAfterThePause) {
    Window.Interval = "3";
    Window.Pause = "4";
    SwitchOn();
    Ticks(4);
    EXPECT_EQ(Service.GetCounters().HangUps, 0u);
    EXPECT_TRUE(Window.Sleeps.empty()); // no five-second wait
    EXPECT_TRUE(RedialPending.load());
    EXPECT_EQ(Window.Display, "0");
    EXPECT_EQ(Service.GetCounters().Dials, 0u);

    Ticks(1);
    EXPECT_EQ(Window.CountSleeps(1000), 4);
    EXPECT_EQ(Window.MessagePasses, 4);
    EXPECT_EQ(Service.GetCounters().Dials, 1u);
    EXPECT_EQ(Window.Display, "1");
}

struct PauseCase {
    std::string Pause;
    int Seconds;
};

void PrintTo(const PauseCase& c, std::ostream* os) {
    *os << "pause '" << c.Pause << "'";
}

class PauseTest : public RedialEngineTest, public ::testing::WithParamInterface<PauseCase> {};

TEST_P(PauseTest, PauseIsWaitedBeforeEveryDialWhileNotConnected) {
    Window.Interval = "3";
    Window.Pause = GetParam().Pause;
    Service.SetDialFailure(ras::ERROR_NO_ANSWER);
    SwitchOn();
    Ticks(4); // cycle starts, nothing to hang up
    for (int tick = 1; tick <= 3; ++tick) {
        Window.ClearRecord();
        Ticks(1);
        Service.WaitIdle(); // the failed dial has been reported
        EXPECT_EQ(Window.CountSleeps(1000), GetParam().Seconds) << "tick " << tick;
        EXPECT_EQ(Service.GetCounters().Dials, static_cast<unsigned>(tick));
        EXPECT_TRUE(RedialPending.load());
        EXPECT_EQ(CurrentConnection.load(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, PauseTest,
                         ::testing::Values(PauseCase{"5", 5}, PauseCase{"0", 0}, PauseCase{"-3", 0},
                                           PauseCase{"junk", 0}));

TEST_F(RedialEngineTest, InputsAreReadAfterThePause) {
    Window.Interval = "3";
    Window.Pause = "2";
    Service.AddEntry("Other");
    SwitchOn();
    Ticks(4);
    Window.OnSleep = [this](std::int32_t) {
        Window.Entry = "Other";
        Window.User = "late";
    };
    Ticks(1);
    ASSERT_TRUE(Service.LastDial().has_value());
    EXPECT_EQ(Service.LastDial()->szEntryName, "Other");
    EXPECT_EQ(Service.LastDial()->szUserName, "late");
}

TEST_F(RedialEngineTest, SwitchingOffDuringTheHangUpWaitFinishesTheStepAndStopsTheTimer) {
    Window.Interval = "3";
    Service.Connect("ADSL");
    SwitchOn();
    Ticks(3);
    Window.OnProcessMessages = [this] {
        if (Window.MessagePasses == 7 && Window.Checked) {
            Window.Checked = false;
            Engine.CheckBox1Click();
            EXPECT_FALSE(Window.TimerEnabled);
            EXPECT_FALSE(RedialPending.load());
        }
    };
    Engine.Timer1Timer();
    EXPECT_EQ(Window.SleptMs(), 5000); // the wait ran to its end
    EXPECT_EQ(Engine.ElapsedSeconds(), 0);
    EXPECT_FALSE(Window.TimerEnabled);
    EXPECT_EQ(Window.Display, "0");
}

TEST_F(RedialEngineTest, SwitchingOffDuringThePauseStillDials) {
    Window.Interval = "3";
    Window.Pause = "3";
    SwitchOn();
    Ticks(4);
    Window.OnProcessMessages = [this] {
        if (Window.Checked) {
            Window.Checked = false;
            Engine.CheckBox1Click();
        }
    };
    Engine.Timer1Timer();
    EXPECT_EQ(Window.CountSleeps(1000), 3);
    EXPECT_EQ(Service.GetCounters().Dials, 1u);
    EXPECT_FALSE(Window.TimerEnabled);
}

TEST_F(RedialEngineTest, SwitchOnDuringAWaitRunsANestedTick) {
    Window.Interval = "3";
    Service.Connect("ADSL");
    SwitchOn();
    Ticks(3);
    bool nested = false;
    Window.OnProcessMessages = [&] {
        if (!nested) {
            nested = true;
            Engine.CheckBox1Click(); // still checked: counters reset, timer runs at once
            EXPECT_TRUE(Window.TimerEnabled);
            Engine.Timer1Timer(); // a whole tick inside the waiting one
            EXPECT_EQ(Window.Display, "1");
        }
    };
    Engine.Timer1Timer();
    EXPECT_EQ(Engine.ElapsedSeconds(), 0); // the waiting tick still resets after its wait
    EXPECT_TRUE(Window.TimerEnabled);
}

TEST_F(RedialEngineTest, ProductSiteOpensOnTheSixtiethTickAfterEachSwitchChange) {
    SwitchOn();
    Ticks(59);
    EXPECT_EQ(Window.SiteOpened, 0);
    Ticks(1);
    EXPECT_EQ(Window.SiteOpened, 1);
    Ticks(200);
    EXPECT_EQ(Window.SiteOpened, 1);

    Window.Checked = false;
    Engine.CheckBox1Click();
    Window.Checked = true;
    Engine.CheckBox1Click();
    Ticks(60);
    EXPECT_EQ(Window.SiteOpened, 2);
}

TEST_F(RedialEngineTest, SwitchResetsCountersAndDrivesTheTimer) {
    std::vector<std::string> order;
    Engine.SetSaveSettings([&] {
        order.push_back("save:" + Window.Display);
        EXPECT_EQ(Engine.ElapsedSeconds(), 0);
        EXPECT_FALSE(RedialPending.load());
    });
    SwitchOn();
    EXPECT_TRUE(Window.TimerEnabled);
    EXPECT_EQ(Window.Display, "0");
    Ticks(5);
    RedialPending = true;
    Window.Checked = false;
    Window.Display = "before";
    Engine.CheckBox1Click();
    EXPECT_FALSE(Window.TimerEnabled);
    EXPECT_FALSE(RedialPending.load());
    EXPECT_EQ(Engine.TickCount(), 0);
    EXPECT_EQ(Engine.ElapsedSeconds(), 0);
    EXPECT_EQ(Window.Display, "0");
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[1], "save:before"); // saved before the display is set
}

TEST_F(RedialEngineTest, DisplayAppendsTheUnitTextOfTheLookupTable) {
    SwitchOn();
    Ticks(2);
    EXPECT_EQ(Window.Display, "2");
    Language->AddText("Sec", " 秒");
    Ticks(1);
    EXPECT_EQ(Window.Display, "3 秒");
}

TEST_F(RedialEngineTest, ATickAlwaysReArmsTheTimerEvenWhenTheDisplayFails) {
    struct ThrowingDisplay : FakeWindow {
        void SetSecondsDisplay(const std::string&) override { throw std::runtime_error("paint"); }
    } window;
    window.Checked = true;
    TRedialEngine engine(window, window);
    EXPECT_THROW(engine.Timer1Timer(), std::runtime_error);
    EXPECT_TRUE(window.TimerEnabled);
}

struct DelayCase {
    std::int32_t Ms;
    int Passes;
};

void PrintTo(const DelayCase& c, std::ostream* os) {
    *os << c.Ms << " ms";
}

class DelayTest : public RedialEngineTest, public ::testing::WithParamInterface<DelayCase> {};

TEST_P(DelayTest, WaitsInHundredMillisecondPassesServingMessages) {
    Engine.Delay(GetParam().Ms);
    EXPECT_EQ(Window.CountSleeps(100), GetParam().Passes);
    EXPECT_EQ(static_cast<int>(Window.Sleeps.size()), GetParam().Passes);
    EXPECT_EQ(Window.MessagePasses, GetParam().Passes);
}

INSTANTIATE_TEST_SUITE_P(Cases, DelayTest,
                         ::testing::Values(DelayCase{1000, 10}, DelayCase{2000, 20},
                                           DelayCase{0, 1}, DelayCase{-50, 1}, DelayCase{150, 2}));

TEST_F(RedialEngineTest, DialCompletedOnTheServiceThreadClearsPendingWhileTheEngineWaits) {
    Window.Interval = "3";
    Window.Pause = "3";
    Service.SetDialDelay(std::chrono::milliseconds(20));
    SwitchOn();
    Ticks(4); // cycle starts
    Ticks(1); // pause, then dial requested
    ASSERT_EQ(Service.GetCounters().Dials, 1u);
    ASSERT_TRUE(RedialPending.load());
    bool clearedInsidePause = false;
    Window.OnSleep = [&](std::int32_t) {
        Service.WaitIdle(); // the service's own thread completes the dial now
        clearedInsidePause = clearedInsidePause || !RedialPending.load();
    };
    // The dial is not listed until it completes, so this tick waits its pause again; the
    // notification clears the flag while it waits.
    Ticks(1);
    EXPECT_TRUE(clearedInsidePause);
    EXPECT_FALSE(RedialPending.load());
    EXPECT_EQ(Service.GetCounters().Dials, 1u);
}

TEST_F(RedialEngineTest, TypicalCycleFromSwitchOnToReconnection) {
    Window.Interval = "180";
    Window.Pause = "5";
    Service.SetCredentials("ADSL", "user", "secret");
    Service.SetDialDelay(std::chrono::milliseconds(5));
    const ras::HRASCONN before = Service.Connect("ADSL");
    SwitchOn();

    Ticks(180);
    EXPECT_EQ(Window.Display, "180");
    EXPECT_EQ(Service.GetCounters().HangUps, 0u);

    Ticks(1); // tick 181: hang up, five seconds, count 0
    EXPECT_EQ(Service.GetCounters().HangUps, 1u);
    EXPECT_EQ(Window.SleptMs(), 5000);
    EXPECT_EQ(Window.Display, "0");
    EXPECT_TRUE(RedialPending.load());

    Window.ClearRecord();
    Ticks(1); // pause of five seconds, then the dial
    EXPECT_EQ(Window.CountSleeps(1000), 5);
    EXPECT_EQ(Window.Display, "1");
    EXPECT_EQ(Service.GetCounters().Dials, 1u);
    Service.WaitIdle();
    EXPECT_FALSE(RedialPending.load());
    const auto lines = Service.Connections();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].hrasconn, before);

    Window.ClearRecord();
    Ticks(179); // counting again, nothing waited
    EXPECT_EQ(Window.Display, "180");
    EXPECT_TRUE(Window.Sleeps.empty());
    EXPECT_EQ(Service.GetCounters().HangUps, 1u);
    Ticks(1); // the next cycle begins 181 ticks after the dial tick
    EXPECT_EQ(Service.GetCounters().HangUps, 2u);
}

} // namespace

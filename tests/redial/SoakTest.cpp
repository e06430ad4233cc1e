// Thousands of redial cycles against the simulated service with faults injected at random:
// the counters stay within their cycle, the service's tables stay bounded, and every cycle
// either reconnects or dials again on its next tick.
#include "ConnectionControl.h"
#include "FakeWindow.h"
#include "LangUnit.h"
#include "RedialEngine.h"
#include "SimulatedRas.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

namespace {

TEST(SoakTest, TenThousandCyclesWithRandomFaults) {
    constexpr int Cycles = 10000;
    constexpr int Interval = 3;
    // A fixed seed keeps CI repeatable; TORNEVO_SOAK_SEED explores others.
    const char* seedText = std::getenv("TORNEVO_SOAK_SEED");
    const unsigned seed =
        seedText ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10)) : 20261211u;
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };

    LanguageUnit lang;
    ras::SimulatedRas service;
    service.AddEntry("ADSL");
    service.AddEntry("Backup");
    service.Connect("Backup"); // another line that must never be touched
    SetRasService(&service);
    RedialPending = false;
    CurrentConnection = 0;

    FakeWindow window;
    window.Entry = "ADSL";
    window.Interval = std::to_string(Interval);
    window.Pause = "1";
    window.Checked = true;
    TRedialEngine engine(window, window);
    engine.CheckBox1Click();

    int cycles = 0;
    int dialsFailed = 0;
    int linesDropped = 0;
    int listingsFailed = 0;
    int reconnected = 0;
    while (cycles < Cycles) {
        const bool faultyDial = chance(30);
        service.SetDialFailure(faultyDial ? ras::ERROR_NO_ANSWER : ras::SUCCESS);
        const bool faultyListing = chance(3);
        service.SetEnumFailure(faultyListing ? ras::ERROR_RASMAN_CANNOT_INITIALIZE : ras::SUCCESS);
        if (chance(5)) {
            for (const auto& line : service.Connections())
                if (line.szEntryName == "ADSL" && service.Drop(line.hrasconn))
                    ++linesDropped;
        }

        const bool wasPending = RedialPending.load();
        const auto before = service.GetCounters();
        const bool wasUp = service.Connections().size() == 2;
        ASSERT_TRUE(window.TimerEnabled);
        engine.Timer1Timer();
        service.WaitIdle();
        const auto after = service.GetCounters();

        const int count = engine.ElapsedSeconds();
        ASSERT_GE(count, 0);
        ASSERT_LE(count, Interval);
        ASSERT_EQ(window.Display, std::to_string(count));
        ASSERT_LE(service.Connections().size(), 2u);
        ASSERT_FALSE(service.IsDialling("ADSL"));

        if (count == 0) {
            ++cycles;
            ASSERT_TRUE(RedialPending.load());
            // A connected line is hung up; a failed listing sees none and skips the hang-up.
            ASSERT_EQ(after.HangUps > before.HangUps, wasUp && !faultyListing);
        } else if (wasPending) {
            if (after.Dials > before.Dials) {
                if (faultyDial) {
                    ++dialsFailed;
                    ASSERT_TRUE(RedialPending.load()); // dials again after the next pause
                } else {
                    ++reconnected;
                    ASSERT_FALSE(RedialPending.load());
                }
            } else if (faultyListing) {
                ASSERT_TRUE(RedialPending.load()); // nothing known: look again next tick
            } else {
                // No dial: the line was found up, so the cycle is over.
                ASSERT_FALSE(RedialPending.load());
                ASSERT_TRUE(wasUp);
            }
        }
        if (faultyListing)
            listingsFailed++;
    }
    service.SetEnumFailure(0);
    ASSERT_EQ(service.Connections().front().szEntryName, "Backup");
    RecordProperty("cycles", cycles);
    RecordProperty("dials_failed", dialsFailed);
    RecordProperty("lines_dropped", linesDropped);
    RecordProperty("listings_failed", listingsFailed);
    RecordProperty("reconnected", reconnected);
    std::printf("soak: %d cycles, %d dials failed, %d lines dropped, %d listings failed, "
                "%d reconnections\n",
                cycles, dialsFailed, linesDropped, listingsFailed, reconnected);
    EXPECT_GT(reconnected, Cycles / 2);
    SetRasService(nullptr);
}

} // namespace

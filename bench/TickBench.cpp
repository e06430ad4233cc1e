// CPU cost of one tick of the redial cycle.
#include "BenchWindow.h"
#include "ConnectionControl.h"
#include "LangUnit.h"
#include "SimulatedRas.h"

#include <benchmark/benchmark.h>

namespace {

void CountingTick(benchmark::State& state) {
    LanguageUnit lang;
    BenchWindow window;
    TRedialEngine engine(window, window);
    engine.CheckBox1Click();
    for (auto _ : state) {
        engine.Timer1Timer();
        benchmark::DoNotOptimize(window.Display);
    }
}
BENCHMARK(CountingTick);

// A tick inside a cycle: the pending flag is set, so the entry is looked up in the service's
// connection table (four other lines listed before it) and found connected.
void PendingTick(benchmark::State& state) {
    LanguageUnit lang;
    ras::SimulatedRas service;
    for (const char* name : {"VPN office", "Mobile", "Modem", "Backup ADSL", "ADSL"}) {
        service.AddEntry(name);
        service.Connect(name);
    }
    SetRasService(&service);
    BenchWindow window;
    TRedialEngine engine(window, window);
    engine.CheckBox1Click();
    for (auto _ : state) {
        RedialPending = true;
        engine.Timer1Timer();
        if (RedialPending.load())
            state.SkipWithError("the connected entry was not found");
    }
    SetRasService(nullptr);
}
BENCHMARK(PendingTick);

} // namespace

BENCHMARK_MAIN();

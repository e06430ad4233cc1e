// Reaction to a connection coming up while the cycle waits in its pause: from the simulated
// service reporting the line connected to RedialPending cleared, as the pausing user-interface
// thread sees it. Prints one latency in nanoseconds per line, argv[1] of them (default 200).
#include "ConnectionControl.h"
#include "SimulatedRas.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

int main(int argc, char** argv) {
    const long rounds = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 200;
    ras::SimulatedRas service;
    service.AddEntry("ADSL");
    service.SetDialDelay(std::chrono::milliseconds(2));
    std::atomic<long long> reported{0};
    service.SetEventSink([&](const std::string& Event) {
        if (Event.rfind("connected ", 0) == 0)
            reported.store(NowNs());
    });
    SetRasService(&service);
    int status = 0;
    for (long i = 0; i < rounds; ++i) {
        reported.store(0);
        RedialPending.store(true);
        Dial("ADSL", "user", "secret");
        // The pause: the thread waits, looking at the flag as the pause's event loop would.
        const long long deadline = NowNs() + 5'000'000'000LL;
        long long cleared = 0;
        while (NowNs() < deadline) {
            if (!RedialPending.load()) {
                cleared = NowNs();
                break;
            }
        }
        service.WaitIdle();
        if (!cleared || !reported.load()) {
            std::fprintf(stderr, "reaction_bench: the connection was not reported\n");
            status = 1;
            break;
        }
        std::printf("%lld\n", cleared - reported.load());
        HangUp();
    }
    SetRasService(nullptr);
    return status;
}

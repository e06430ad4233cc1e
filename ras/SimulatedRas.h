#pragma once

#include "RasService.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ras {

// An in-process connection service: a phonebook, a connection table and a dialler thread.
// Dials complete on that thread after a configurable delay; used by the tests and the demo.
class SimulatedRas final : public IRasService {
public:
    struct Counters {
        std::uint32_t EnumEntries = 0;
        std::uint32_t EnumConnections = 0;
        std::uint32_t Dials = 0;
        std::uint32_t HangUps = 0;
    };

    // Called, outside the service's lock, for each thing the service does (for the demo).
    using EventSink = std::function<void(const std::string&)>;

    SimulatedRas();
    ~SimulatedRas() override;
    SimulatedRas(const SimulatedRas&) = delete;
    SimulatedRas& operator=(const SimulatedRas&) = delete;

    RasError EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) override;
    RasError EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) override;
    RasError Dial(const RasDialParams& Params, RasDialFunc Notifier,
                  std::atomic<HRASCONN>& Connection) override;
    RasError HangUp(HRASCONN Connection) override;
    RasError GetErrorString(RasError Code, std::string& Text) override;

    // Phonebook. Credentials, when set, are checked on dial (a mismatch fails with 691).
    void AddEntry(const std::string& Name, const std::string& DeviceType = "PPPoE",
                  const std::string& DeviceName = "WAN Miniport (PPPOE)");
    void SetCredentials(const std::string& Name, const std::string& User,
                        const std::string& Password);
    void ClearEntries();

    // Behaviour of later calls.
    void SetDialDelay(std::chrono::milliseconds Delay);
    void SetDialFailure(RasError Code); // 0: dials succeed
    void SetEnumFailure(RasError Code); // 0: enumerations succeed

    // Brings an entry up as if dialled elsewhere; returns its handle.
    HRASCONN Connect(const std::string& Name);
    // The line drops: the connection leaves the table. False if there was none.
    bool Drop(HRASCONN Connection);

    // Blocks until every dial started so far has completed and its notifier has returned.
    void WaitIdle();

    bool IsDialling(const std::string& Name) const;
    std::vector<RasConnection> Connections() const;
    std::optional<RasDialParams> LastDial() const;
    Counters GetCounters() const;
    void SetEventSink(EventSink Sink);

private:
    struct Entry {
        std::string Name;
        std::string DeviceType;
        std::string DeviceName;
        std::optional<std::pair<std::string, std::string>> Credentials;
    };
    enum class LineState { Dialling, Connected, Failed };
    struct Line {
        HRASCONN Handle;
        std::string Name;
        LineState State;
    };
    struct Job {
        std::chrono::steady_clock::time_point Due;
        HRASCONN Handle;
        RasDialFunc Notifier;
        RasError Outcome;
    };

    const Entry* FindEntry(const std::string& Name) const; // under FLock
    void Worker();
    void Emit(const std::string& Text);

    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FIdle;
    std::vector<Entry> FEntries;
    std::vector<Line> FLines; // in the order the connections came up
    std::vector<Job> FJobs;
    std::uint32_t FRunning = 0; // notifiers being called
    HRASCONN FNextHandle = 0x10000;
    std::chrono::milliseconds FDialDelay{0};
    RasError FDialFailure = 0;
    RasError FEnumFailure = 0;
    Counters FCounters;
    std::optional<RasDialParams> FLastDial;
    EventSink FSink;
    bool FStopping = false;
    std::thread FThread;
};

} // namespace ras

#include "SimulatedRas.h"

#include <algorithm>

namespace ras {

SimulatedRas::SimulatedRas() : FThread([this] { Worker(); }) {}

SimulatedRas::~SimulatedRas() {
    {
        std::lock_guard lock(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    FThread.join();
}

RasError SimulatedRas::EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) {
    std::lock_guard lock(FLock);
    ++FCounters.EnumEntries;
    if (FEnumFailure != 0)
        return FEnumFailure;
    if (FEntries.size() > Buffer.size()) {
        Count = static_cast<std::uint32_t>(FEntries.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < FEntries.size(); ++i)
        Buffer[i].szEntryName = FEntries[i].Name;
    Count = static_cast<std::uint32_t>(FEntries.size());
    return SUCCESS;
}

RasError SimulatedRas::EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) {
    std::lock_guard lock(FLock);
    ++FCounters.EnumConnections;
    if (FEnumFailure != 0)
        return FEnumFailure;
    std::vector<const Line*> up;
    for (const Line& line : FLines)
        if (line.State == LineState::Connected)
            up.push_back(&line);
    if (up.size() > Buffer.size()) {
        Count = static_cast<std::uint32_t>(up.size());
        return ERROR_BUFFER_TOO_SMALL;
    }
    for (size_t i = 0; i < up.size(); ++i) {
        const Entry* entry = FindEntry(up[i]->Name);
        Buffer[i].hrasconn = up[i]->Handle;
        Buffer[i].szEntryName = up[i]->Name;
        Buffer[i].szDeviceType = entry ? entry->DeviceType : "PPPoE";
        Buffer[i].szDeviceName = entry ? entry->DeviceName : "";
    }
    Count = static_cast<std::uint32_t>(up.size());
    return SUCCESS;
}

RasError SimulatedRas::Dial(const RasDialParams& Params, RasDialFunc Notifier,
                            std::atomic<HRASCONN>& Connection) {
    std::string event;
    RasError result = SUCCESS;
    {
        std::lock_guard lock(FLock);
        ++FCounters.Dials;
        FLastDial = Params;
        const Entry* entry = FindEntry(Params.szEntryName);
        if (!entry) {
            Connection.store(0);
            result = ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
            event = "dial " + Params.szEntryName + ": no such entry";
        } else if (std::any_of(FLines.begin(), FLines.end(), [&](const Line& l) {
                       return l.State == LineState::Dialling && SameEntryName(l.Name, entry->Name);
                   })) {
            Connection.store(0);
            result = ERROR_DIAL_ALREADY_IN_PROGRESS;
            event = "dial " + entry->Name + ": already dialling";
        } else if (std::any_of(FLines.begin(), FLines.end(), [&](const Line& l) {
                       return l.State == LineState::Connected && SameEntryName(l.Name, entry->Name);
                   })) {
            // One device carries one line.
            Connection.store(0);
            result = ERROR_PORT_ALREADY_OPEN;
            event = "dial " + entry->Name + ": already connected";
        } else {
            RasError outcome = FDialFailure;
            if (outcome == 0 && entry->Credentials &&
                (entry->Credentials->first != Params.szUserName ||
                 entry->Credentials->second != Params.szPassword))
                outcome = ERROR_AUTHENTICATION_FAILURE;
            const HRASCONN handle = FNextHandle++;
            FLines.push_back(Line{handle, entry->Name, LineState::Dialling});
            // The handle is published before the dial can report anything.
            Connection.store(handle);
            FJobs.push_back(
                Job{std::chrono::steady_clock::now() + FDialDelay, handle, Notifier, outcome});
            event = "dial " + entry->Name + " as " + Params.szUserName + ": started";
        }
    }
    FWake.notify_all();
    Emit(event);
    return result;
}

RasError SimulatedRas::HangUp(HRASCONN Connection) {
    std::string event;
    {
        std::lock_guard lock(FLock);
        ++FCounters.HangUps;
        auto it = std::find_if(FLines.begin(), FLines.end(),
                               [&](const Line& l) { return l.Handle == Connection; });
        if (it == FLines.end())
            return ERROR_INVALID_HANDLE;
        event = "hang up " + it->Name;
        FLines.erase(it);
        // A dial still under way ends with the hang-up and reports nothing more.
        std::erase_if(FJobs, [&](const Job& j) { return j.Handle == Connection; });
    }
    FIdle.notify_all();
    Emit(event);
    return SUCCESS;
}

RasError SimulatedRas::GetErrorString(RasError Code, std::string& Text) {
    Text = ErrorText(Code);
    return SUCCESS;
}

void SimulatedRas::AddEntry(const std::string& Name, const std::string& DeviceType,
                            const std::string& DeviceName) {
    std::lock_guard lock(FLock);
    FEntries.push_back(Entry{Name, DeviceType, DeviceName, std::nullopt});
}

void SimulatedRas::SetCredentials(const std::string& Name, const std::string& User,
                                  const std::string& Password) {
    std::lock_guard lock(FLock);
    for (Entry& e : FEntries)
        if (e.Name == Name)
            e.Credentials = std::make_pair(User, Password);
}

void SimulatedRas::ClearEntries() {
    std::lock_guard lock(FLock);
    FEntries.clear();
}

void SimulatedRas::SetDialDelay(std::chrono::milliseconds Delay) {
    std::lock_guard lock(FLock);
    FDialDelay = Delay;
}

void SimulatedRas::SetDialFailure(RasError Code) {
    std::lock_guard lock(FLock);
    FDialFailure = Code;
}

void SimulatedRas::SetEnumFailure(RasError Code) {
    std::lock_guard lock(FLock);
    FEnumFailure = Code;
}

HRASCONN SimulatedRas::Connect(const std::string& Name) {
    std::lock_guard lock(FLock);
    const Entry* entry = FindEntry(Name);
    const HRASCONN handle = FNextHandle++;
    FLines.push_back(Line{handle, entry ? entry->Name : Name, LineState::Connected});
    return handle;
}

bool SimulatedRas::Drop(HRASCONN Connection) {
    std::string event;
    {
        std::lock_guard lock(FLock);
        auto it = std::find_if(FLines.begin(), FLines.end(), [&](const Line& l) {
            return l.Handle == Connection && l.State == LineState::Connected;
        });
        if (it == FLines.end())
            return false;
        event = "line dropped: " + it->Name;
        FLines.erase(it);
    }
    Emit(event);
    return true;
}

void SimulatedRas::WaitIdle() {
    std::unique_lock lock(FLock);
    FIdle.wait(lock, [this] { return FJobs.empty() && FRunning == 0; });
}

bool SimulatedRas::IsDialling(const std::string& Name) const {
    std::lock_guard lock(FLock);
    return std::any_of(FLines.begin(), FLines.end(), [&](const Line& l) {
        return l.State == LineState::Dialling && SameEntryName(l.Name, Name);
    });
}

std::vector<RasConnection> SimulatedRas::Connections() const {
    std::lock_guard lock(FLock);
    std::vector<RasConnection> result;
    for (const Line& l : FLines)
        if (l.State == LineState::Connected)
            result.push_back(RasConnection{l.Handle, l.Name, "PPPoE", ""});
    return result;
}

std::optional<RasDialParams> SimulatedRas::LastDial() const {
    std::lock_guard lock(FLock);
    return FLastDial;
}

SimulatedRas::Counters SimulatedRas::GetCounters() const {
    std::lock_guard lock(FLock);
    return FCounters;
}

void SimulatedRas::SetEventSink(EventSink Sink) {
    std::lock_guard lock(FLock);
    FSink = std::move(Sink);
}

const SimulatedRas::Entry* SimulatedRas::FindEntry(const std::string& Name) const {
    for (const Entry& e : FEntries)
        if (SameEntryName(e.Name, Name))
            return &e;
    return nullptr;
}

void SimulatedRas::Emit(const std::string& Text) {
    EventSink sink;
    {
        std::lock_guard lock(FLock);
        sink = FSink;
    }
    if (sink)
        sink(Text);
}

void SimulatedRas::Worker() {
    std::unique_lock lock(FLock);
    while (!FStopping) {
        if (FJobs.empty()) {
            FWake.wait(lock);
            continue;
        }
        auto next = std::min_element(FJobs.begin(), FJobs.end(),
                                     [](const Job& a, const Job& b) { return a.Due < b.Due; });
        if (next->Due > std::chrono::steady_clock::now()) {
            FWake.wait_until(lock, next->Due);
            continue;
        }
        const Job job = *next;
        FJobs.erase(next);
        auto line = std::find_if(FLines.begin(), FLines.end(),
                                 [&](const Line& l) { return l.Handle == job.Handle; });
        std::string event;
        if (line != FLines.end()) {
            if (job.Outcome == 0) {
                line->State = LineState::Connected;
                event = "connected " + line->Name;
            } else {
                event = "dial " + line->Name + " failed: " + std::to_string(job.Outcome);
                // The failed attempt keeps its handle until the caller hangs it up.
                line->State = LineState::Failed;
            }
        }
        ++FRunning;
        EventSink sink = FSink;
        lock.unlock();
        if (sink && !event.empty())
            sink(event);
        if (job.Notifier) {
            job.Notifier(WM_RASDIALEVENT, RASCS_OpenPort, 0);
            job.Notifier(WM_RASDIALEVENT, RASCS_Authenticate, 0);
            if (job.Outcome == 0)
                job.Notifier(WM_RASDIALEVENT, RASCS_Connected, 0);
            else
                job.Notifier(WM_RASDIALEVENT, RASCS_Disconnected, job.Outcome);
        }
        lock.lock();
        --FRunning;
        FIdle.notify_all();
    }
}

} // namespace ras

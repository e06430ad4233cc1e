#pragma once

// Helper processes of the tests (Xvfb, the tray host): started with a clean environment of
// the test's choosing, ended by their process id.

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

class TChildProcess {
public:
    TChildProcess() = default;
    ~TChildProcess();
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;

    // Starts Args[0] with Args; ExtraEnv entries ("NAME=value") are added to the environment
    // ("NAME=" alone removes the variable). KeepFd, when not negative, stays open in the child;
    // OutputPath, when given, receives its standard output and error.
    bool Start(const std::vector<std::string>& Args, const std::vector<std::string>& ExtraEnv = {},
               int KeepFd = -1, const std::string& OutputPath = {});
    bool Running();
    // Sends Signal; true when it was delivered.
    bool Signal(int Signal);
    // Waits for the end up to Timeout; true when it ended (ExitStatus then holds its status).
    bool WaitExit(std::chrono::milliseconds Timeout);
    // SIGTERM, then SIGKILL if it has not ended within a few seconds.
    void Stop();
    pid_t Pid() const { return FPid; }
    int ExitStatus() const { return FStatus; }

private:
    pid_t FPid = -1;
    int FStatus = -1;
};

// An X server of its own for a test: Xvfb on the first free display.
class TXvfb {
public:
    bool Start(std::string& Error);
    // ":N"
    const std::string& Display() const { return FDisplay; }
    void Stop() { FProcess.Stop(); }

private:
    TChildProcess FProcess;
    std::string FDisplay;
};

// The processes descended from Root (children, their children, ...), found through their
// parents in /proc; Root itself not included.
std::vector<pid_t> Descendants(pid_t Root);

// Waits until Condition holds, polling every Step, for at most Timeout.
template <typename Predicate>
bool WaitFor(Predicate&& Condition, std::chrono::milliseconds Timeout,
             std::chrono::milliseconds Step = std::chrono::milliseconds(50));

#include "ChildProcess.inl"

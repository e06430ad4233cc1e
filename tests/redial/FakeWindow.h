#pragma once

// A stand-in for the main window: the six inputs as plain fields and a host whose time only
// moves through Sleep. Hooks let a test act while the engine serves messages.

#include "RedialEngine.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class FakeWindow : public IRedialInputs, public IRedialHost {
public:
    std::string Entry;
    std::string User;
    std::string Pwd;
    std::string Interval = "0";
    std::string Pause = "5";
    bool Checked = false;

    bool TimerEnabled = false;
    std::string Display;
    std::vector<std::int32_t> Sleeps;
    int MessagePasses = 0;
    int SiteOpened = 0;
    std::function<void()> OnProcessMessages;
    std::function<void(std::int32_t)> OnSleep;

    std::string EntryName() const override { return Entry; }
    std::string Account() const override { return User; }
    std::string Password() const override { return Pwd; }
    std::string IntervalText() const override { return Interval; }
    std::string PauseText() const override { return Pause; }
    bool SwitchChecked() const override { return Checked; }

    void SetTimerEnabled(bool Enabled) override { TimerEnabled = Enabled; }
    void Sleep(std::int32_t Milliseconds) override {
        Sleeps.push_back(Milliseconds);
        if (OnSleep)
            OnSleep(Milliseconds);
    }
    void ProcessMessages() override {
        ++MessagePasses;
        if (OnProcessMessages)
            OnProcessMessages();
    }
    void OpenProductSite() override { ++SiteOpened; }
    void SetSecondsDisplay(const std::string& Text) override { Display = Text; }

    std::int64_t SleptMs() const {
        std::int64_t total = 0;
        for (auto s : Sleeps)
            total += s;
        return total;
    }
    int CountSleeps(std::int32_t Milliseconds) const {
        int n = 0;
        for (auto s : Sleeps)
            n += s == Milliseconds;
        return n;
    }
    void ClearRecord() {
        Sleeps.clear();
        MessagePasses = 0;
    }
};

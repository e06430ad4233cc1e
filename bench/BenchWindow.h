#pragma once

// A window without a window system: inputs as fields, a host that does nothing, so that a
// measurement sees the engine's own cost.

#include "RedialEngine.h"

#include <string>

class BenchWindow : public IRedialInputs, public IRedialHost {
public:
    std::string Entry = "ADSL";
    std::string User = "user";
    std::string Pwd = "secret";
    std::string Interval = "2147483647"; // never reached: every tick only counts
    std::string Pause = "0";
    bool Checked = true;
    std::string Display;

    std::string EntryName() const override { return Entry; }
    std::string Account() const override { return User; }
    std::string Password() const override { return Pwd; }
    std::string IntervalText() const override { return Interval; }
    std::string PauseText() const override { return Pause; }
    bool SwitchChecked() const override { return Checked; }

    void SetTimerEnabled(bool) override {}
    void Sleep(std::int32_t) override {}
    void ProcessMessages() override {}
    void OpenProductSite() override {}
    void SetSecondsDisplay(const std::string& Text) override { Display = Text; }
};

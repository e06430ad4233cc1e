#pragma once

#include <cstdint>
#include <functional>
#include <string>

// What the cycle reads from the window, fresh on every use.
class IRedialInputs {
public:
    virtual ~IRedialInputs() = default;
    virtual std::string EntryName() const = 0;    // the selector's text, empty when none
    virtual std::string Account() const = 0;      // as typed
    virtual std::string Password() const = 0;     // as typed
    virtual std::string IntervalText() const = 0; // the interval spin edit's text
    virtual std::string PauseText() const = 0;    // the pause spin edit's text
    virtual bool SwitchChecked() const = 0;
};

// What the cycle needs of the window system. Time only passes through Sleep, so tests
// run whole cycles without waiting.
class IRedialHost {
public:
    virtual ~IRedialHost() = default;
    virtual void SetTimerEnabled(bool Enabled) = 0;
    virtual void Sleep(std::int32_t Milliseconds) = 0;
    virtual void ProcessMessages() = 0; // serve all pending window messages
    virtual void OpenProductSite() = 0;
    virtual void SetSecondsDisplay(const std::string& Text) = 0;
};

// The redial cycle: a one-second tick that counts, hangs the entry up when the interval has
// passed and dials it again after the pause.
class TRedialEngine {
public:
    TRedialEngine(IRedialInputs& Inputs, IRedialHost& Host);

    // The timer's event. A failure outside the redial step is rethrown after the timer has
    // been re-armed.
    void Timer1Timer();
    void DoRedial();
    void Delay(std::int32_t Milliseconds);
    // The switch changed, by the user or by assigning it.
    void CheckBox1Click();

    // Called by the switch after the reset and before the display shows "0".
    void SetSaveSettings(std::function<void()> Save) { FSaveSettings = std::move(Save); }

    std::int32_t ElapsedSeconds() const { return FElapsedSeconds; }
    std::int32_t TickCount() const { return FTickCount; }
    void ResetTickCount() { FTickCount = 0; }

    // The tick on which the product web site opens.
    static constexpr std::int32_t ProductSiteTick = 60;
    // The hang-up is followed by these waits, five seconds in all.
    static constexpr std::int32_t HangUpWaits[] = {1000, 1000, 1000, 2000};

private:
    IRedialInputs& FInputs;
    IRedialHost& FHost;
    std::function<void()> FSaveSettings;
    std::int32_t FElapsedSeconds = 0;
    std::int32_t FTickCount = 0;
};

// True when the name is empty or holds only characters of code 32 or below.
bool IsBlankEntryName(const std::string& Name);

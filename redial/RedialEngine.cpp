#include "RedialEngine.h"

#include "ConnectionControl.h"
#include "LangUnit.h"
#include "NumberRule.h"

#include <exception>

namespace {

// Counters wrap instead of overflowing after 68 years of ticks.
std::int32_t Next(std::int32_t Value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(Value) + 1u);
}

} // namespace

bool IsBlankEntryName(const std::string& Name) {
    for (const char c : Name)
        if (static_cast<unsigned char>(c) > 32)
            return false;
    return true;
}

TRedialEngine::TRedialEngine(IRedialInputs& Inputs, IRedialHost& Host)
    : FInputs(Inputs), FHost(Host) {}

void TRedialEngine::Timer1Timer() {
    FHost.SetTimerEnabled(false);
    std::exception_ptr failure;
    try {
        FTickCount = Next(FTickCount);
        if (FTickCount == ProductSiteTick)
            FHost.OpenProductSite();
        try {
            DoRedial();
        } catch (...) {
            // The redial step's failures are dropped; the next tick tries again.
        }
        std::string unit;
        if (Language)
            Language->Translate("Sec", unit);
        FHost.SetSecondsDisplay(std::to_string(FElapsedSeconds) + unit);
    } catch (...) {
        failure = std::current_exception();
    }
    FHost.SetTimerEnabled(FInputs.SwitchChecked());
    if (failure)
        std::rethrow_exception(failure);
}

void TRedialEngine::DoRedial() {
    FElapsedSeconds = Next(FElapsedSeconds);
    const std::int32_t interval = SpinEditValue(FInputs.IntervalText());
    if (interval <= 2)
        return;
    const std::string entry = FInputs.EntryName();
    if (IsBlankEntryName(entry))
        return;
    if (interval < FElapsedSeconds) {
        RedialPending.store(true);
        if (IsConnected(entry)) {
            HangUp();
            for (const std::int32_t wait : HangUpWaits)
                Delay(wait);
        }
        FElapsedSeconds = 0;
    } else if (RedialPending.load()) {
        const std::int32_t pause = SpinEditValue(FInputs.PauseText());
        for (std::int32_t second = 0; second < pause; ++second) {
            FHost.Sleep(1000);
            FHost.ProcessMessages();
        }
        // The inputs may have changed while the pause served messages.
        const std::string name = FInputs.EntryName();
        if (IsConnected(name))
            RedialPending.store(false);
        else
            Dial(name, FInputs.Account(), FInputs.Password());
    }
}

void TRedialEngine::Delay(std::int32_t Milliseconds) {
    std::int64_t waited = 0;
    do {
        FHost.Sleep(100);
        FHost.ProcessMessages();
        waited += 100;
    } while (waited < Milliseconds);
}

void TRedialEngine::CheckBox1Click() {
    FTickCount = 0;
    FElapsedSeconds = 0;
    const bool checked = FInputs.SwitchChecked();
    FHost.SetTimerEnabled(checked);
    RedialPending.store(false);
    if (FSaveSettings)
        FSaveSettings();
    FHost.SetSecondsDisplay("0");
}

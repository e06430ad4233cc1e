#pragma once

// The program's side of the window system: window messages posted to a window, and the
// application object's title and termination.

#include <QEvent>
#include <QEventLoop>
#include <QString>

#include <cstdint>

class QWidget;

// A window, as messages and the notification area address it.
using HWND = QWidget*;

struct TMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203; // 515
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205; // 517
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;

// A posted message travels to its window as this event.
class TMessageEvent : public QEvent {
public:
    explicit TMessageEvent(const TMessage& Message);
    static QEvent::Type EventType();

    TMessage Message;
};

// Queues a message for a window; false when there is no window.
bool PostMessage(HWND Window, std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam);
// Queues a message for every top-level window.
void BroadcastMessage(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam);
// A message number of the process' own for a name, the same for the same name (from 0xC000).
std::uint32_t RegisterWindowMessage(const QString& Name);

class TApplication {
public:
    // Before the application object exists: lay windows out at 96 pixels per inch whatever
    // the display's scaling, since the window is designed in pixels.
    static void SetPixelsPerInch96();
    // Before the application object exists: the embedded browser's sandbox cannot run as root,
    // so it is turned off for root and only for root.
    static void PrepareEmbeddedBrowser();
    // Before the application object exists: in a Wayland session with X11 beside it, run on
    // X11, where the window keeps its designed place and the update tab's browser can be
    // embedded. An explicit QT_QPA_PLATFORM wins.
    static void PreferX11();

    // The program's name in the desktop's task list.
    static QString Title();
    static void SetTitle(const QString& Title);

    // Asks the application to end: the main loop and every nested loop run by ExecNested
    // (modal showings, waits) return, and none of them starts any more.
    static void Terminate();
    static bool Terminated();
    // The main loop, until Terminate; returns at once when termination was already asked for.
    static void Run();
    // Runs a nested loop until it is quit or the application terminates; returns at once when
    // termination was already asked for.
    static void ExecNested(QEventLoop& Loop);
    // Forgets an earlier Terminate (a test that runs several programs' lives in one process).
    static void ResetTerminated();

    // Shows the text of the exception being handled in a message box, as the window system
    // does with a failure that no handler caught.
    static void HandleException();
};

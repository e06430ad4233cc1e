#pragma once

// The notification area, in the shape of the desktop shell's icon interface: an icon record,
// add and delete requests, and mouse events on the icon delivered to the icon's window as its
// callback message (first parameter the icon's identifier, second the mouse message).

#include "Forms.h"

#include <QIcon>

#include <cstddef>
#include <cstdint>

class QSystemTrayIcon;

using HICON = QIcon;

inline constexpr std::uint32_t NIM_ADD = 0;
inline constexpr std::uint32_t NIM_MODIFY = 1;
inline constexpr std::uint32_t NIM_DELETE = 2;

inline constexpr std::uint32_t NIF_MESSAGE = 1;
inline constexpr std::uint32_t NIF_ICON = 2;
inline constexpr std::uint32_t NIF_TIP = 4;

// The size the record declares in its first, 88-byte form (the only form there is here).
inline constexpr std::uint32_t NOTIFYICONDATAA_V1_SIZE = 88;

struct NOTIFYICONDATAA {
    std::uint32_t cbSize = 0;
    HWND hWnd = nullptr;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    HICON hIcon;
    char szTip[64] = {};
};

// Copies Text into the tip field: at most 63 bytes, never cutting a UTF-8 character, then a
// zero byte.
void SetTip(NOTIFYICONDATAA& Data, const QString& Text);
QString TipText(const NOTIFYICONDATAA& Data);

// NIM_ADD shows the icon (anew, when the window already has one with that identifier),
// NIM_MODIFY changes it, NIM_DELETE removes it. False when the record or the request is not
// valid, or when there is no such icon to change or remove.
bool Shell_NotifyIconA(std::uint32_t dwMessage, const NOTIFYICONDATAA* lpData);

// The mouse message a click on the icon stands for (0: none). Where the notification area
// reports no double-click of its own (StatusNotifierItem hosts report one activation), an
// activation is the double-click.
std::uint32_t TrayClickMessage(int ActivationReason, bool HostReportsDoubleClick);

// The icon shown for a window's identifier, or null (for tests and diagnostics).
QSystemTrayIcon* FindNotifyIcon(HWND Window, std::uint32_t ID);

// The message broadcast to every top-level window when a notification area (re)appears, so
// that programs add their icons again.
std::uint32_t TaskbarCreatedMessage();

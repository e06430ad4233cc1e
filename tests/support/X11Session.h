#pragma once

// A test's view of an X server: the windows a process shows, the pixels on the screen, the
// tray selection, and the close request a window manager would send.

#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

struct TX11Window {
    unsigned long Id = 0;
    std::string Name;
    int X = 0; // on the screen
    int Y = 0;
    int Width = 0;
    int Height = 0;
    bool Viewable = false;
    bool OverrideRedirect = false;
};

struct TRgb {
    int Red = 0;
    int Green = 0;
    int Blue = 0;
    bool operator==(const TRgb&) const = default;
};

class TX11Session {
public:
    TX11Session() = default;
    ~TX11Session();
    TX11Session(const TX11Session&) = delete;
    TX11Session& operator=(const TX11Session&) = delete;

    bool Open(const std::string& Display);
    // Before the server goes: Xlib ends the process when its server disappears.
    void Close();

    // Every window whose _NET_WM_PID is Pid, anywhere in the tree (embedded ones too).
    std::vector<TX11Window> WindowsOf(pid_t Pid);
    bool SelectionOwned(const std::string& Selection);
    // What a window manager sends when the close box is clicked.
    void RequestClose(unsigned long Window);
    TRgb Pixel(int X, int Y);
    // The pixels of a rectangle of the screen, row by row (empty when it cannot be read).
    std::vector<TRgb> Pixels(int X, int Y, int Width, int Height);

private:
    void Collect(unsigned long Window, unsigned long Pid, std::vector<TX11Window>& Found);

    struct _XDisplay* FDisplay = nullptr;
};

// The benchmarks' view of an X server, from outside the program:
//   xprobe start PROGRAM [ARGS...]  runs PROGRAM and prints "PID EXEC_NS MAPPED_NS" once a
//                                   top-level window of its process is mapped (CLOCK_MONOTONIC)
//   xprobe close PID                asks every viewable top-level window of PID to close, as a
//                                   window manager's close box does; prints how many
//   xprobe shown PID                prints how many top-level windows of PID are viewable
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

long long NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

long WindowPid(Display* X, Window W) {
    const Atom pidAtom = XInternAtom(X, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(X, W, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data && count == 1 && format == 32)
        pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    if (data)
        XFree(data);
    return pid;
}

std::vector<Window> ViewableWindowsOf(Display* X, long Pid) {
    std::vector<Window> found;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(X, DefaultRootWindow(X), &root, &parent, &children, &count))
        return found;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(X, children[i], &attributes) &&
            attributes.map_state == IsViewable && !attributes.override_redirect &&
            WindowPid(X, children[i]) == Pid)
            found.push_back(children[i]);
    }
    if (children)
        XFree(children);
    return found;
}

int Start(Display* X, char** Command) {
    XSelectInput(X, DefaultRootWindow(X), SubstructureNotifyMask);
    XSync(X, False);
    const long long started = NowNs();
    const pid_t pid = fork();
    if (pid < 0)
        return 1;
    if (pid == 0) {
        // The program's own output goes where errors go; stdout carries only the result.
        dup2(2, 1);
        execvp(Command[0], Command);
        _exit(127);
    }
    const long long deadline = started + 60'000'000'000LL;
    pollfd fd{ConnectionNumber(X), POLLIN, 0};
    while (NowNs() < deadline) {
        while (XPending(X)) {
            XEvent event;
            XNextEvent(X, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect &&
                WindowPid(X, event.xmap.window) == pid) {
                std::printf("%d %lld %lld\n", static_cast<int>(pid), started, NowNs());
                return 0;
            }
        }
        poll(&fd, 1, 100);
    }
    std::printf("%d %lld -1\n", static_cast<int>(pid), started);
    return 1;
}

int Close(Display* X, long Pid) {
    const Atom protocols = XInternAtom(X, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(X, "WM_DELETE_WINDOW", False);
    const std::vector<Window> windows = ViewableWindowsOf(X, Pid);
    for (Window w : windows) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(X, w, False, NoEventMask, &event);
    }
    XSync(X, False);
    std::printf("%zu\n", windows.size());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: xprobe start PROGRAM [ARGS...] | close PID | shown PID\n");
        return 2;
    }
    Display* X = XOpenDisplay(nullptr);
    if (!X) {
        std::fprintf(stderr, "xprobe: cannot open the display\n");
        return 1;
    }
    int status = 2;
    if (std::strcmp(argv[1], "start") == 0)
        status = Start(X, argv + 2);
    else if (std::strcmp(argv[1], "close") == 0)
        status = Close(X, std::atol(argv[2]));
    else if (std::strcmp(argv[1], "shown") == 0) {
        std::printf("%zu\n", ViewableWindowsOf(X, std::atol(argv[2])).size());
        status = 0;
    }
    std::fflush(stdout);
    XCloseDisplay(X);
    return status;
}

#include "X11Session.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

TX11Session::~TX11Session() {
    Close();
}

void TX11Session::Close() {
    if (FDisplay)
        XCloseDisplay(FDisplay);
    FDisplay = nullptr;
}

bool TX11Session::Open(const std::string& Display) {
    FDisplay = XOpenDisplay(Display.c_str());
    return FDisplay != nullptr;
}

namespace {

std::optional<unsigned long> CardinalProperty(Display* Dpy, Window W, Atom Property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(Dpy, W, Property, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) != Success ||
        !data)
        return std::nullopt;
    std::optional<unsigned long> value;
    if (format == 32 && count == 1)
        value = *reinterpret_cast<unsigned long*>(data);
    XFree(data);
    return value;
}

std::string WindowName(Display* Dpy, Window W) {
    const Atom netName = XInternAtom(Dpy, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(Dpy, "UTF8_STRING", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(Dpy, W, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        name.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
    }
    return name;
}

} // namespace

void TX11Session::Collect(unsigned long W, unsigned long Pid, std::vector<TX11Window>& Found) {
    const Atom pidAtom = XInternAtom(FDisplay, "_NET_WM_PID", False);
    if (CardinalProperty(FDisplay, W, pidAtom) == Pid) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(FDisplay, W, &attributes)) {
            TX11Window window;
            window.Id = W;
            window.Name = WindowName(FDisplay, W);
            Window child = None;
            XTranslateCoordinates(FDisplay, W, DefaultRootWindow(FDisplay), 0, 0, &window.X,
                                  &window.Y, &child);
            window.Width = attributes.width;
            window.Height = attributes.height;
            window.Viewable = attributes.map_state == IsViewable;
            window.OverrideRedirect = attributes.override_redirect;
            Found.push_back(window);
        }
    }
    Window root = None, parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(FDisplay, W, &root, &parent, &children, &count))
        return;
    for (unsigned int i = 0; i < count; ++i)
        Collect(children[i], Pid, Found);
    if (children)
        XFree(children);
}

std::vector<TX11Window> TX11Session::WindowsOf(pid_t Pid) {
    std::vector<TX11Window> found;
    // Windows may go while the tree is walked; such errors are not the test's concern.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    XSync(FDisplay, False);
    Collect(DefaultRootWindow(FDisplay), static_cast<unsigned long>(Pid), found);
    XSync(FDisplay, False);
    return found;
}

bool TX11Session::SelectionOwned(const std::string& Selection) {
    const Atom atom = XInternAtom(FDisplay, Selection.c_str(), False);
    return XGetSelectionOwner(FDisplay, atom) != None;
}

void TX11Session::RequestClose(unsigned long W) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.window = W;
    event.xclient.message_type = XInternAtom(FDisplay, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(FDisplay, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(FDisplay, W, False, NoEventMask, &event);
    XFlush(FDisplay);
}

TRgb TX11Session::Pixel(int X, int Y) {
    const std::vector<TRgb> pixels = Pixels(X, Y, 1, 1);
    return pixels.empty() ? TRgb{} : pixels.front();
}

std::vector<TRgb> TX11Session::Pixels(int X, int Y, int Width, int Height) {
    std::vector<TRgb> pixels;
    XImage* image =
        XGetImage(FDisplay, DefaultRootWindow(FDisplay), X, Y, static_cast<unsigned>(Width),
                  static_cast<unsigned>(Height), AllPlanes, ZPixmap);
    if (!image)
        return pixels;
    pixels.reserve(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height));
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            pixels.push_back({static_cast<int>((pixel >> 16) & 0xff),
                              static_cast<int>((pixel >> 8) & 0xff),
                              static_cast<int>(pixel & 0xff)});
        }
    XDestroyImage(image);
    return pixels;
}

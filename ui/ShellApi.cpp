#include "ShellApi.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QHash>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

struct TNotifyIcon {
    QPointer<QWidget> Window;
    std::uint32_t ID = 0;
    std::uint32_t Flags = 0;
    std::uint32_t CallbackMessage = 0;
    QSystemTrayIcon* Icon = nullptr;
};

using TIconKey = QPair<QWidget*, std::uint32_t>;

} // namespace

// The notification area as the program sees it: the icons it shows, and a watch on the area
// itself that tells every window when an area (re)appears.
class TNotifyArea : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    static TNotifyArea& Instance() {
        static QPointer<TNotifyArea> area;
        if (!area)
            area = new TNotifyArea(QCoreApplication::instance());
        return *area;
    }

    QHash<TIconKey, TNotifyIcon> Icons;

    void Apply(TNotifyIcon& Entry, const NOTIFYICONDATAA& Data) {
        Entry.Flags = Data.uFlags;
        if (Data.uFlags & NIF_MESSAGE)
            Entry.CallbackMessage = Data.uCallbackMessage;
        if (Data.uFlags & NIF_ICON)
            Entry.Icon->setIcon(Data.hIcon);
        if (Data.uFlags & NIF_TIP)
            Entry.Icon->setToolTip(TipText(Data));
    }

    void Deliver(const TIconKey& Key, QSystemTrayIcon::ActivationReason Reason) {
        auto it = Icons.find(Key);
        if (it == Icons.end() || !(it->Flags & NIF_MESSAGE) || !it->Window)
            return;
        // An icon that the area embeds as a window of ours (the XEmbed tray) has a place on
        // the screen and reports double-clicks; a StatusNotifierItem host gives neither.
        const bool reportsDoubleClick = !it->Icon->geometry().isEmpty();
        const std::uint32_t mouse = TrayClickMessage(Reason, reportsDoubleClick);
        if (mouse != 0)
            PostMessage(it->Window, it->CallbackMessage, it->ID, static_cast<std::intptr_t>(mouse));
    }

    void Remove(const TIconKey& Key) {
        auto it = Icons.find(Key);
        if (it == Icons.end())
            return;
        it->Icon->hide();
        delete it->Icon;
        Icons.erase(it);
    }

    // Also destroyed at exit, after the application object is gone.
    ~TNotifyArea() override {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }

    // A tray manager of the X11 desktop announces itself to every client with a MANAGER
    // message naming the tray selection; a restarted tray does the same.
    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override {
        if (!FX11 || FManagerAtom == XCB_ATOM_NONE || EventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(Message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto* client = static_cast<const xcb_client_message_event_t*>(Message);
        if (client->type == FManagerAtom && client->format == 32 &&
            AtomName(client->data.data32[1]).startsWith("_NET_SYSTEM_TRAY_S"))
            BroadcastMessage(TaskbarCreatedMessage(), 0, 0);
        return false;
    }

private:
    explicit TNotifyArea(QObject* Parent) : QObject(Parent) {
        auto* x11 = qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb")
                        ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                        : nullptr;
        if (x11 && x11->connection()) {
            FX11 = x11->connection();
            FManagerAtom = InternAtom("MANAGER");
            QCoreApplication::instance()->installNativeEventFilter(this);
        }
        // StatusNotifierItem hosts: the watcher service coming (back) onto the session bus.
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            auto* watcher =
                new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"), bus,
                                        QDBusServiceWatcher::WatchForRegistration, this);
            connect(watcher, &QDBusServiceWatcher::serviceRegistered, this,
                    [] { BroadcastMessage(TaskbarCreatedMessage(), 0, 0); });
        }
    }

    xcb_atom_t InternAtom(const char* Name) const {
        const auto cookie =
            xcb_intern_atom(FX11, 0, static_cast<std::uint16_t>(std::strlen(Name)), Name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(FX11, cookie, nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }

    QByteArray AtomName(xcb_atom_t Atom) const {
        xcb_get_atom_name_reply_t* reply =
            xcb_get_atom_name_reply(FX11, xcb_get_atom_name(FX11, Atom), nullptr);
        if (!reply)
            return {};
        const QByteArray name(xcb_get_atom_name_name(reply), xcb_get_atom_name_name_length(reply));
        std::free(reply);
        return name;
    }

    xcb_connection_t* FX11 = nullptr;
    xcb_atom_t FManagerAtom = XCB_ATOM_NONE;
};

void SetTip(NOTIFYICONDATAA& Data, const QString& Text) {
    const QByteArray utf8 = Text.toUtf8();
    qsizetype length = std::min<qsizetype>(utf8.size(), sizeof(Data.szTip) - 1);
    // Back off to the start of a character when the cut falls inside one.
    if (length < utf8.size())
        while (length > 0 && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80)
            --length;
    std::memset(Data.szTip, 0, sizeof(Data.szTip));
    std::memcpy(Data.szTip, utf8.constData(), static_cast<std::size_t>(length));
}

QString TipText(const NOTIFYICONDATAA& Data) {
    return QString::fromUtf8(Data.szTip,
                             static_cast<qsizetype>(strnlen(Data.szTip, sizeof(Data.szTip))));
}

std::uint32_t TrayClickMessage(int ActivationReason, bool HostReportsDoubleClick) {
    switch (ActivationReason) {
    case QSystemTrayIcon::DoubleClick:
        return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context:
        return WM_RBUTTONUP;
    case QSystemTrayIcon::Trigger:
        return HostReportsDoubleClick ? WM_LBUTTONUP : WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::MiddleClick:
        return WM_MBUTTONUP;
    default:
        return 0;
    }
}

bool Shell_NotifyIconA(std::uint32_t dwMessage, const NOTIFYICONDATAA* lpData) {
    if (!lpData || lpData->cbSize != NOTIFYICONDATAA_V1_SIZE || !lpData->hWnd ||
        !QCoreApplication::instance())
        return false;
    TNotifyArea& area = TNotifyArea::Instance();
    const TIconKey key(lpData->hWnd, lpData->uID);
    switch (dwMessage) {
    case NIM_ADD: {
        // A window adds its icon again after the area restarted: the old one is gone there.
        area.Remove(key);
        TNotifyIcon entry;
        entry.Window = lpData->hWnd;
        entry.ID = lpData->uID;
        entry.Icon = new QSystemTrayIcon(&area);
        area.Apply(entry, *lpData);
        QObject::connect(entry.Icon, &QSystemTrayIcon::activated, &area,
                         [key](QSystemTrayIcon::ActivationReason Reason) {
                             TNotifyArea::Instance().Deliver(key, Reason);
                         });
        area.Icons.insert(key, entry);
        entry.Icon->show();
        return true;
    }
    case NIM_MODIFY: {
        auto it = area.Icons.find(key);
        if (it == area.Icons.end())
            return false;
        area.Apply(*it, *lpData);
        return true;
    }
    case NIM_DELETE:
        if (!area.Icons.contains(key))
            return false;
        area.Remove(key);
        return true;
    default:
        return false;
    }
}

QSystemTrayIcon* FindNotifyIcon(HWND Window, std::uint32_t ID) {
    if (!QCoreApplication::instance())
        return nullptr;
    auto& icons = TNotifyArea::Instance().Icons;
    auto it = icons.constFind(TIconKey(Window, ID));
    return it == icons.constEnd() ? nullptr : it->Icon;
}

std::uint32_t TaskbarCreatedMessage() {
    return RegisterWindowMessage(QStringLiteral("TaskbarCreated"));
}

#include "ShellApi.moc"

#include "EmbeddedBrowser.h"

#include "Forms.h"
#include "SignalExit.h"
#include "WebBrowser.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

void Report(const QByteArray& Line) {
    std::fwrite(Line.constData(), 1, static_cast<std::size_t>(Line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

QSize ParseSize(const QString& Text) {
    const QStringList parts = Text.split(QLatin1Char('x'));
    if (parts.size() != 2)
        return {};
    bool okW = false;
    bool okH = false;
    const int w = parts[0].toInt(&okW);
    const int h = parts[1].toInt(&okH);
    return okW && okH && w > 0 && h > 0 ? QSize(w, h) : QSize();
}

// Commands from the program, a line at a time.
class TCommandReader : public QObject {
public:
    explicit TCommandReader(QWebEngineView& View) : FView(View) {
        FNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
        connect(FNotifier, &QSocketNotifier::activated, this, [this] { Read(); });
    }

private:
    void Read() {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // The program has let go of us (or is gone).
            FNotifier->setEnabled(false);
            QCoreApplication::exit(0);
            return;
        }
        for (const TBrowserLine& line : TakeBrowserLines(FPending, QByteArray(buffer, n)))
            Run(line);
    }

    void Run(const TBrowserLine& Line) {
        if (Line.Verb == "navigate") {
            const QUrl url = QUrl::fromEncoded(Line.Rest);
            if (url.isValid())
                FView.setUrl(url);
        } else if (Line.Verb == "reload") {
            FView.reload();
        } else if (Line.Verb == "size") {
            const QSize size = ParseSize(
                QString::fromLatin1(Line.Rest).replace(QLatin1Char(' '), QLatin1Char('x')));
            if (size.isValid())
                FView.resize(size);
        }
    }

    QWebEngineView& FView;
    QSocketNotifier* FNotifier;
    QByteArray FPending;
};

// Puts the view inside the program's window and ends the browser when that window goes.
class TParentWatch : public QAbstractNativeEventFilter {
public:
    bool Embed(QWidget& View, QWindow& Host) {
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        if (!x11)
            return false;
        FConnection = x11->connection();
        FParent = static_cast<xcb_window_t>(Host.winId());
        // Told of the window's end from now on, so nothing is missed after the check below.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(FConnection, FParent, XCB_CW_EVENT_MASK, &mask);
        qApp->installNativeEventFilter(this);
        View.windowHandle()->setParent(&Host);
        View.move(0, 0);
        // Answered after the reparenting: if the window still exists, ours is inside it now
        // and goes with it.
        xcb_generic_error_t* error = nullptr;
        xcb_get_geometry_reply_t* geometry =
            xcb_get_geometry_reply(FConnection, xcb_get_geometry(FConnection, FParent), &error);
        const bool exists = geometry != nullptr;
        std::free(geometry);
        std::free(error);
        return exists;
    }

    bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override {
        if (EventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(Message);
        if ((event->response_type & 0x7f) == XCB_DESTROY_NOTIFY &&
            reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window == FParent)
            QCoreApplication::exit(0);
        return false;
    }

private:
    xcb_connection_t* FConnection = nullptr;
    xcb_window_t FParent = 0;
};

} // namespace

int RunBrowser(int argc, char* argv[]) {
    TApplication::SetPixelsPerInch96();
    TApplication::PrepareEmbeddedBrowser();
    // Drawn in software: an OpenGL view would have Qt recreate the window for an OpenGL
    // surface once the page starts, and the recreated window would no longer be inside the
    // program's. A page of update notes needs no GPU either, and skipping OpenGL's set-up
    // saves a tenth of a second at start.
    qputenv("QT_QUICK_BACKEND", "software");
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    // This process is already the wall between the page and the program, and the tab shows one
    // page: the engine's renderer runs in it rather than in processes of its own, which brings
    // the first page sooner and takes less memory while shown.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--single-process"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --single-process").trimmed());
    // The engine's start-up report and the page's own console are no news to the user;
    // QT_LOGGING_RULES can bring them back.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false\njs=false"));
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    WId parent = 0;
    QSize size(800, 600);
    QUrl url;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--parent") && i + 1 < arguments.size())
            parent = arguments[++i].toULongLong();
        else if (argument == QLatin1String("--size") && i + 1 < arguments.size())
            size = ParseSize(arguments[++i]).isValid() ? ParseSize(arguments[i]) : size;
        else
            url = QUrl::fromEncoded(argument.toLatin1());
    }
    if (!url.isValid()) {
        std::fprintf(stderr, "usage: tornevo-browser [--parent WINDOW] [--size WxH] URL\n");
        return 2;
    }

    TSignalExit signalExit;
    signalExit.SetHandler([] { QCoreApplication::exit(0); });

    // Off the record: nothing of the pages is kept on disk.
    QWebEngineProfile profile;
    QWebEngineView view;
    view.setPage(new QWebEnginePage(&profile, &view));
    view.resize(size);
    QObject::connect(&view, &QWebEngineView::urlChanged,
                     [](const QUrl& Url) { Report("url " + Url.toEncoded()); });
    QObject::connect(&view, &QWebEngineView::loadFinished, [&view](bool Ok) {
        Report(QByteArray("loaded ") + (Ok ? "1 " : "0 ") + view.url().toEncoded());
    });
    TCommandReader commands(view);

    TParentWatch watch;
    if (parent) {
        QWindow* host = QWindow::fromWinId(parent);
        view.winId();
        // The program may have closed its window meanwhile; never show a stray window then.
        if (!host || !watch.Embed(view, *host)) {
            std::fprintf(stderr, "tornevo-browser: cannot embed into window %llu\n",
                         static_cast<unsigned long long>(parent));
            std::_Exit(1);
        }
    } else {
        view.setWindowTitle(QStringLiteral("官方更新"));
    }
    view.setUrl(url);
    view.show();
    const int code = QApplication::exec();
    // The engine's own shutdown can hang in a single process, and nothing here needs it: the
    // profile keeps nothing on disk, and the window goes with the connection to the X server.
    std::fflush(stdout);
    std::_Exit(code);
}

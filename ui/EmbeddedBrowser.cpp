#include "EmbeddedBrowser.h"

#include "Forms.h"
#include "SignalExit.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QWebEngineView>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

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
            QCoreApplication::quit();
            return;
        }
        FPending.append(buffer, n);
        qsizetype end;
        while ((end = FPending.indexOf('\n')) >= 0) {
            Run(FPending.left(end).trimmed());
            FPending.remove(0, end + 1);
        }
        if (FPending.size() > 64 * 1024)
            FPending.clear();
    }

    void Run(const QByteArray& Line) {
        const qsizetype space = Line.indexOf(' ');
        const QByteArray verb = space < 0 ? Line : Line.left(space);
        const QByteArray rest = space < 0 ? QByteArray() : Line.mid(space + 1);
        if (verb == "navigate") {
            const QUrl url = QUrl::fromEncoded(rest);
            if (url.isValid())
                FView.setUrl(url);
        } else if (verb == "reload") {
            FView.reload();
        } else if (verb == "size") {
            const QSize size =
                ParseSize(QString::fromLatin1(rest).replace(QLatin1Char(' '), QLatin1Char('x')));
            if (size.isValid())
                FView.resize(size);
        }
    }

    QWebEngineView& FView;
    QSocketNotifier* FNotifier;
    QByteArray FPending;
};

} // namespace

int RunBrowser(int argc, char* argv[]) {
    TApplication::SetPixelsPerInch96();
    TApplication::PrepareEmbeddedBrowser();
    // Drawn in software: an OpenGL view would have Qt recreate the window for an OpenGL
    // surface once the page starts, and the recreated window would no longer be inside the
    // program's. A page of update notes needs no GPU either.
    qputenv("QT_QUICK_BACKEND", "software");
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
    signalExit.SetHandler([] { QCoreApplication::quit(); });

    QWebEngineView view;
    view.resize(size);
    QObject::connect(&view, &QWebEngineView::urlChanged,
                     [](const QUrl& Url) { Report("url " + Url.toEncoded()); });
    QObject::connect(&view, &QWebEngineView::loadFinished, [&view](bool Ok) {
        Report(QByteArray("loaded ") + (Ok ? "1 " : "0 ") + view.url().toEncoded());
    });
    TCommandReader commands(view);

    if (parent) {
        QWindow* host = QWindow::fromWinId(parent);
        if (!host) {
            std::fprintf(stderr, "tornevo-browser: cannot embed into window %llu\n",
                         static_cast<unsigned long long>(parent));
            return 1;
        }
        view.winId();
        view.windowHandle()->setParent(host);
        view.move(0, 0);
    } else {
        view.setWindowTitle(QStringLiteral("官方更新"));
    }
    view.setUrl(url);
    view.show();
    return QApplication::exec();
}

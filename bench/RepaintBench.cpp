// The one-second display update in the real window: what one change of Label1's text repaints
// and how long the repaint and its flush to the window system take. The window shows the
// settings tab; the update tab's browser has loaded the page given as argv[1].
// Prints "MICROSECONDS WIDGETS_PAINTED" per update, argv[2] updates (default 30), and on
// stderr the painted widgets' names once.
#include "DialUpUnit.h"
#include "Forms.h"
#include "RzPageControl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QMap>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

namespace {

class PaintCounter : public QObject {
public:
    QMap<QString, int> Painted;
    bool eventFilter(QObject* Watched, QEvent* Event) override {
        if (Event->type() == QEvent::Paint)
            ++Painted[Watched->objectName().isEmpty()
                          ? QString::fromLatin1(Watched->metaObject()->className())
                          : Watched->objectName()];
        return false;
    }
};

void Spin(int Milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < Milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString site = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("about:blank");
    const int updates = argc > 2 ? std::atoi(argv[2]) : 30;
    QTemporaryDir folder;
    TDialUpFrm::TOptions options;
    options.SiteUrl = QUrl(site);
    options.SettingsPath = (folder.path() + QStringLiteral("/dialup.ini")).toStdString();
    TDialUpFrm window(options);
    window.show();
    bool loaded = false;
    QObject::connect(window.WebBrowser2, &TWebBrowser::DocumentComplete, [&] { loaded = true; });
    QElapsedTimer waited;
    waited.start();
    while (!loaded && waited.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    Spin(500);
    window.RzPageControl1->SetActivePage(window.TabSheet1);
    Spin(500);

    PaintCounter counter;
    application.installEventFilter(&counter);
    QMap<QString, int> firstPainted;
    for (int i = 1; i <= updates; ++i) {
        counter.Painted.clear();
        QElapsedTimer timer;
        timer.start();
        window.SetSecondsDisplay(std::to_string(i) + "秒");
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        const qint64 ns = timer.nsecsElapsed();
        int painted = 0;
        for (int n : counter.Painted)
            painted += n > 0;
        std::printf("%.1f %d\n", ns / 1000.0, painted);
        if (i == 1)
            firstPainted = counter.Painted;
        Spin(50);
    }
    application.removeEventFilter(&counter);
    std::fprintf(stderr, "painted by one update:");
    for (auto it = firstPainted.cbegin(); it != firstPainted.cend(); ++it)
        std::fprintf(stderr, " %s", qPrintable(it.key()));
    std::fprintf(stderr, "\n");
    return loaded ? 0 : 1;
}

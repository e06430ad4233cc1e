#include "WebBrowser.h"

#include "SiteConfig.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>

#include <csignal>
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {

// How long an ending browser may take to close by itself before it is killed.
constexpr int CloseGraceMs = 3000;
constexpr qsizetype MaxLineBytes = 64 * 1024;

} // namespace

QList<TBrowserLine> TakeBrowserLines(QByteArray& Buffer, const QByteArray& Data) {
    Buffer += Data;
    QList<TBrowserLine> lines;
    qsizetype end;
    while ((end = Buffer.indexOf('\n')) >= 0) {
        const QByteArray line = Buffer.left(end).trimmed();
        Buffer.remove(0, end + 1);
        const qsizetype space = line.indexOf(' ');
        lines.append(space < 0 ? TBrowserLine{line, {}}
                               : TBrowserLine{line.left(space), line.mid(space + 1)});
    }
    if (Buffer.size() > MaxLineBytes)
        Buffer.clear();
    return lines;
}

TWebBrowser::TWebBrowser(QWidget* Parent, const QString& Program)
    : QWidget(Parent), FProgram(Program) {
    // The browser's window goes inside this one, the only native child: the rest of the
    // window, the one-second display included, stays drawn into one surface.
    if (Embeddable()) {
        QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
        setAttribute(Qt::WA_DontCreateNativeAncestors);
        setAttribute(Qt::WA_NativeWindow);
    }
    setAutoFillBackground(true);
    QPalette blank = palette();
    blank.setColor(QPalette::Window, Qt::white);
    setPalette(blank);
    setFocusPolicy(Qt::StrongFocus);
}

TWebBrowser::~TWebBrowser() {
    const QList<QProcess*> processes = findChildren<QProcess*>(Qt::FindDirectChildrenOnly);
    for (QProcess* process : processes) {
        process->disconnect(this);
        process->closeWriteChannel();
    }
    for (QProcess* process : processes) {
        if (!process->waitForFinished(CloseGraceMs)) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

QString TWebBrowser::DefaultProgram() {
    const QString beside =
        QCoreApplication::applicationDirPath() + QStringLiteral("/tornevo-browser");
    if (QFileInfo(beside).isExecutable())
        return beside;
    return QStringLiteral(TORNEVO_BROWSER_BUILD_PATH);
}

void TWebBrowser::Navigate(const QUrl& Url) {
    FLocation = Url;
    if (FProcess)
        Send("navigate " + Url.toEncoded());
    else
        Restore();
}

void TWebBrowser::Refresh() {
    if (FProcess)
        Send("reload");
    else
        Restore();
}

void TWebBrowser::Restore() {
    if (!FProcess && FLocation.isValid() && window()->isVisible())
        Start();
}

void TWebBrowser::Prestart() {
    if (!FProcess && FLocation.isValid())
        Start();
}

bool TWebBrowser::Embeddable() {
    // Only X11 lets a window of another process live inside ours; elsewhere the browser
    // shows a window of its own.
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

void TWebBrowser::Release() {
    QProcess* process = FProcess;
    if (!process)
        return;
    FProcess = nullptr;
    FPending.clear();
    disconnect(process, &QProcess::readyReadStandardOutput, this, nullptr);
    // The end of its input tells the browser to close; one that does not is killed.
    process->closeWriteChannel();
    QTimer::singleShot(CloseGraceMs, process, [process] { process->kill(); });
}

qint64 TWebBrowser::ProcessId() const {
    return FProcess ? FProcess->processId() : 0;
}

void TWebBrowser::resizeEvent(QResizeEvent* Event) {
    QWidget::resizeEvent(Event);
    if (FProcess)
        Send(QByteArray("size ") + QByteArray::number(width()) + ' ' +
             QByteArray::number(height()));
}

void TWebBrowser::Start() {
    auto* process = new QProcess(this);
    FProcess = process;
    QStringList arguments{QStringLiteral("--size"),
                          QStringLiteral("%1x%2").arg(width()).arg(height())};
    if (Embeddable())
        arguments << QStringLiteral("--parent") << QString::number(winId());
    arguments << QString::fromLatin1(FLocation.toEncoded());
    process->setProgram(FProgram);
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
#ifdef Q_OS_LINUX
    // Should the program die without ending it, the browser ends too.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    connect(process, &QProcess::readyReadStandardOutput, this, &TWebBrowser::ReadOutput);
    connect(process, &QProcess::finished, this, [this, process] { Ended(process); });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError Error) {
        if (Error == QProcess::FailedToStart) {
            qWarning("The browser %s could not be started: %s", qPrintable(FProgram),
                     qPrintable(process->errorString()));
            Ended(process);
        }
    });
    process->start();
}

void TWebBrowser::Ended(QProcess* Process) {
    const bool current = Process == FProcess;
    if (current) {
        FProcess = nullptr;
        FPending.clear();
    }
    Process->deleteLater();
    if (current)
        emit ProcessEnded();
}

void TWebBrowser::ReadOutput() {
    if (!FProcess)
        return;
    for (const TBrowserLine& line : TakeBrowserLines(FPending, FProcess->readAllStandardOutput())) {
        if (line.Verb == "url") {
            FLocation = QUrl::fromEncoded(line.Rest);
            emit NavigateComplete(FLocation);
        } else if (line.Verb == "loaded" && !line.Rest.isEmpty()) {
            const QUrl url = QUrl::fromEncoded(line.Rest.mid(2));
            if (url.isValid())
                FLocation = url;
            emit DocumentComplete(url, line.Rest.startsWith('1'));
        }
    }
}

void TWebBrowser::Send(const QByteArray& Line) {
    FProcess->write(Line + '\n');
}

#include "Forms.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHash>
#include <QList>
#include <QMessageBox>
#include <QWidget>

#include <exception>
#include <unistd.h>

namespace {

bool TerminateRequested = false;
bool MainLoopRunning = false;
QList<QEventLoop*> NestedLoops;

} // namespace

TMessageEvent::TMessageEvent(const TMessage& AMessage) : QEvent(EventType()), Message(AMessage) {}

QEvent::Type TMessageEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool PostMessage(HWND Window, std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    if (!Window)
        return false;
    TMessage message;
    message.Msg = Msg;
    message.WParam = WParam;
    message.LParam = LParam;
    QCoreApplication::postEvent(Window, new TMessageEvent(message));
    return true;
}

void BroadcastMessage(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    for (QWidget* window : QApplication::topLevelWidgets())
        PostMessage(window, Msg, WParam, LParam);
}

std::uint32_t RegisterWindowMessage(const QString& Name) {
    static QHash<QString, std::uint32_t> registered;
    auto it = registered.constFind(Name);
    if (it != registered.constEnd())
        return *it;
    const auto number = static_cast<std::uint32_t>(0xC000 + registered.size());
    registered.insert(Name, number);
    return number;
}

void TApplication::SetPixelsPerInch96() {
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qunsetenv("QT_SCALE_FACTOR");
    qunsetenv("QT_SCREEN_SCALE_FACTORS");
    qunsetenv("QT_USE_PHYSICAL_DPI");
    qputenv("QT_FONT_DPI", "96");
}

void TApplication::PrepareEmbeddedBrowser() {
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}

void TApplication::PreferX11() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

QString TApplication::Title() {
    return QGuiApplication::applicationDisplayName();
}

void TApplication::SetTitle(const QString& Title) {
    QGuiApplication::setApplicationDisplayName(Title);
}

void TApplication::Terminate() {
    TerminateRequested = true;
    for (QEventLoop* loop : std::as_const(NestedLoops))
        loop->exit(0);
    // Qt's own exit would also keep every later loop of the process from running; it is
    // only asked for when the main loop is there to end.
    if (MainLoopRunning)
        QCoreApplication::exit(0);
}

bool TApplication::Terminated() {
    return TerminateRequested;
}

void TApplication::Run() {
    if (TerminateRequested)
        return;
    MainLoopRunning = true;
    QCoreApplication::exec();
    MainLoopRunning = false;
}

void TApplication::ExecNested(QEventLoop& Loop) {
    if (TerminateRequested)
        return;
    NestedLoops.append(&Loop);
    Loop.exec();
    NestedLoops.removeOne(&Loop);
}

void TApplication::ResetTerminated() {
    TerminateRequested = false;
}

void TApplication::HandleException() {
    QString text;
    try {
        throw;
    } catch (const std::exception& e) {
        text = QString::fromLocal8Bit(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error");
    }
    QMessageBox::critical(nullptr, Title(), text);
}

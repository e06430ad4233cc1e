#include "FakeNetworkManager.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

namespace tnvtest {

namespace {

constexpr int CallTimeoutMs = 10000;
const QString MockIface = QStringLiteral("org.freedesktop.DBus.Mock");
const QString NmService = QStringLiteral("org.freedesktop.NetworkManager");

QString BusAddress;

// The bus and the application object live for the whole test program.
class BusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "nm_tests";
        static char* argv[] = {name, nullptr};
        FApp = std::make_unique<QCoreApplication>(argc, argv);

        // A short path: unix socket names are limited to about 100 bytes.
        FDir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/tnv-XXXXXX"));
        const QString config = FDir->filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!FDir->isValid() || !file.open(QIODevice::WriteOnly))
            return;
        file.write(
            QStringLiteral(
                R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=%1</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_type="method_call"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
)")
                .arg(FDir->filePath(QStringLiteral("bus")))
                .toUtf8());
        file.close();

        FBus = std::make_unique<QProcess>();
        FBus->setProcessChannelMode(QProcess::SeparateChannels);
        FBus->start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1")});
        QDeadlineTimer deadline(10000);
        while (!FBus->canReadLine() && !deadline.hasExpired() &&
               FBus->state() != QProcess::NotRunning)
            FBus->waitForReadyRead(100);
        const QString address = QString::fromUtf8(FBus->readLine()).trimmed();
        if (!address.startsWith(QLatin1String("unix:")))
            return;
        BusAddress = address;
        // Before the first QtDBus call: the system bus address is read only once.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", BusAddress.toUtf8());
    }

    void TearDown() override {
        if (FBus) {
            FBus->kill();
            FBus->waitForFinished(5000);
        }
        FBus.reset();
        FDir.reset();
        // While the program still runs: Qt's own statics are gone once exit handlers run.
        FApp.reset();
    }

private:
    std::unique_ptr<QCoreApplication> FApp;
    std::unique_ptr<QTemporaryDir> FDir;
    std::unique_ptr<QProcess> FBus;
};

[[maybe_unused]] ::testing::Environment* const Environment =
    ::testing::AddGlobalTestEnvironment(new BusEnvironment);

std::atomic<int> ControlSerial{0};

bool NameOwned(QDBusConnection& Bus) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << NmService;
    const QDBusMessage reply = Bus.call(ask, QDBus::Block, CallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

} // namespace

QString PrivateBusAddress() {
    return BusAddress;
}

void PumpEvents(int Ms) {
    QDeadlineTimer deadline(Ms);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    } while (!deadline.hasExpired());
}

bool WaitFor(const std::function<bool()>& Condition, int TimeoutMs) {
    QDeadlineTimer deadline(TimeoutMs);
    while (!Condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

FakeNetworkManager::FakeNetworkManager()
    : FDir(QStringLiteral("/tmp/tnv-nm-XXXXXX")),
      FBus(QDBusConnection::connectToBus(BusAddress,
                                         QStringLiteral("tnv-control-%1").arg(++ControlSerial))) {}

FakeNetworkManager::~FakeNetworkManager() {
    if (FProcess && FProcess->state() != QProcess::NotRunning) {
        Resume();
        FProcess->kill();
        FProcess->waitForFinished(5000);
    }
    QDBusConnection::disconnectFromBus(FBus.name());
}

bool FakeNetworkManager::Start(const QJsonObject& Parameters) {
    if (BusAddress.isEmpty() || !FBus.isConnected())
        return false;
    FProcess = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), BusAddress);
    FProcess->setProcessEnvironment(env);
    FProcess->setProcessChannelMode(QProcess::MergedChannels);
    FProcess->setStandardOutputFile(FDir.filePath(QStringLiteral("output.txt")), QIODevice::Append);
    // Debian's own python has the dbus and gi modules; one earlier on PATH may not.
    FProcess->start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral("-m"), QStringLiteral("dbusmock"), QStringLiteral("--system"),
                     QStringLiteral("--template"), QStringLiteral(TORNEVO_NM_TEMPLATE),
                     QStringLiteral("-l"), FDir.filePath(QStringLiteral("calls.log")),
                     QStringLiteral("-p"),
                     QString::fromUtf8(QJsonDocument(Parameters).toJson(QJsonDocument::Compact))});
    if (!FProcess->waitForStarted(10000))
        return false;
    QDeadlineTimer deadline(20000);
    while (!NameOwned(FBus)) {
        if (deadline.hasExpired() || FProcess->state() == QProcess::NotRunning)
            return false;
        QThread::msleep(20);
    }
    return true;
}

bool FakeNetworkManager::Kill() {
    if (!FProcess)
        return false;
    FProcess->kill();
    FProcess->waitForFinished(10000);
    QDeadlineTimer deadline(10000);
    while (NameOwned(FBus)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    return true;
}

void FakeNetworkManager::Pause() {
    if (FProcess)
        ::kill(static_cast<pid_t>(FProcess->processId()), SIGSTOP);
}

void FakeNetworkManager::Resume() {
    if (FProcess)
        ::kill(static_cast<pid_t>(FProcess->processId()), SIGCONT);
}

bool FakeNetworkManager::Running() const {
    return FProcess && FProcess->state() == QProcess::Running;
}

QDBusMessage FakeNetworkManager::Control(const QString& Method, const QVariantList& Args) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        NmService, QStringLiteral("/org/freedesktop"), MockIface, Method);
    call.setArguments(Args);
    const QDBusMessage reply = FBus.call(call, QDBus::Block, CallTimeoutMs);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage)
        << Method.toStdString() << ": " << reply.errorMessage().toStdString();
    return reply;
}

QString FakeNetworkManager::AddProfile(const QString& Id, const QString& Type,
                                       const QVariantMap& Options) {
    return Control(QStringLiteral("AddProfile"), {Id, Type, Options})
        .arguments()
        .value(0)
        .value<QDBusObjectPath>()
        .path();
}

void FakeNetworkManager::SetBehaviour(const QVariantMap& Options) {
    Control(QStringLiteral("SetBehaviour"), {Options});
}

void FakeNetworkManager::DropLine(const QString& Active, unsigned Reason) {
    Control(QStringLiteral("DropLine"), {QVariant::fromValue(QDBusObjectPath(Active)), Reason});
}

std::pair<bool, QString> FakeNetworkManager::AskAgents(const QString& Profile,
                                                       const QString& Setting) {
    // The agent answers from this thread's event loop, so the question must not block it.
    QDBusMessage call = QDBusMessage::createMethodCall(
        NmService, QStringLiteral("/org/freedesktop"), MockIface, QStringLiteral("AskAgents"));
    call << QVariant::fromValue(QDBusObjectPath(Profile)) << Setting;
    QDBusPendingCall pending = FBus.asyncCall(call, CallTimeoutMs);
    EXPECT_TRUE(WaitFor([&] { return pending.isFinished(); }));
    const QDBusMessage reply = pending.reply();
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return {reply.arguments().value(0).toBool(), reply.arguments().value(1).toString()};
}

std::vector<Received> FakeNetworkManager::ReceivedCredentials() {
    std::vector<Received> result;
    const QDBusArgument arg =
        Control(QStringLiteral("GetReceived"), {}).arguments().value(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        Received r;
        arg.beginStructure();
        arg >> r.Id >> r.Account >> r.Password;
        arg.endStructure();
        result.push_back(r);
    }
    arg.endArray();
    return result;
}

std::vector<std::pair<QString, unsigned>> FakeNetworkManager::Updates() {
    std::vector<std::pair<QString, unsigned>> result;
    const QDBusArgument arg =
        Control(QStringLiteral("GetUpdates"), {}).arguments().value(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString uuid;
        uint flags = 0;
        arg.beginStructure();
        arg >> uuid >> flags;
        arg.endStructure();
        result.emplace_back(uuid, flags);
    }
    arg.endArray();
    return result;
}

QStringList FakeNetworkManager::DiskWrites() {
    return Control(QStringLiteral("GetDiskWrites"), {}).arguments().value(0).toStringList();
}

QStringList FakeNetworkManager::Events() {
    return Control(QStringLiteral("GetEvents"), {}).arguments().value(0).toStringList();
}

std::vector<std::pair<QString, QString>> FakeNetworkManager::Agents() {
    std::vector<std::pair<QString, QString>> result;
    const QDBusArgument arg =
        Control(QStringLiteral("GetAgents"), {}).arguments().value(0).value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QString sender;
        QString id;
        arg.beginStructure();
        arg >> sender >> id;
        arg.endStructure();
        result.emplace_back(sender, id);
    }
    arg.endArray();
    return result;
}

QString FakeNetworkManager::Activate(const QString& Profile) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(NmService, QStringLiteral("/org/freedesktop/NetworkManager"),
                                       NmService, QStringLiteral("ActivateConnection"));
    call << QVariant::fromValue(QDBusObjectPath(Profile))
         << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))
         << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    const QDBusMessage reply = FBus.call(call, QDBus::Block, CallTimeoutMs);
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    return reply.arguments().value(0).value<QDBusObjectPath>().path();
}

QStringList FakeNetworkManager::ActiveConnections() {
    QDBusMessage call = QDBusMessage::createMethodCall(
        NmService, QStringLiteral("/org/freedesktop/NetworkManager"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << NmService << QStringLiteral("ActiveConnections");
    const QDBusMessage reply = FBus.call(call, QDBus::Block, CallTimeoutMs);
    QStringList paths;
    if (reply.type() != QDBusMessage::ReplyMessage)
        return paths;
    const QDBusArgument arg =
        reply.arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusObjectPath path;
        arg >> path;
        paths << path.path();
    }
    arg.endArray();
    return paths;
}

unsigned FakeNetworkManager::ActiveState(const QString& Active) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        NmService, Active, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    call << QStringLiteral("org.freedesktop.NetworkManager.Connection.Active")
         << QStringLiteral("State");
    const QDBusMessage reply = FBus.call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return 0;
    return reply.arguments().value(0).value<QDBusVariant>().variant().toUInt();
}

QString FakeNetworkManager::Output() const {
    QString text;
    for (const QString& name : {QStringLiteral("output.txt"), QStringLiteral("calls.log")}) {
        QFile file(FDir.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            text += QString::fromUtf8(file.readAll());
    }
    return text;
}

} // namespace tnvtest

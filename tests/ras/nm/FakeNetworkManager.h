#pragma once

// The test programs' private system bus (one per process, started before the first QtDBus call,
// since the bus address is read only once) and a pretend NetworkManager on it: dbusmock's
// networkmanager template extended by tornevo_nm.py, run by Debian's own python3.

#include <QDBusConnection>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tnvtest {

// The private bus's address, or empty when it could not be started.
QString PrivateBusAddress();

// Serves the event loop for about Ms milliseconds.
void PumpEvents(int Ms);
// Serves the event loop until Condition holds; false when it did not within TimeoutMs.
bool WaitFor(const std::function<bool()>& Condition, int TimeoutMs = 15000);

struct Received {
    QString Id;
    QString Account;
    QString Password;
};

class FakeNetworkManager {
public:
    FakeNetworkManager();
    ~FakeNetworkManager();
    FakeNetworkManager(const FakeNetworkManager&) = delete;
    FakeNetworkManager& operator=(const FakeNetworkManager&) = delete;

    // Starts the service and waits until it owns its name; false (see Output()) otherwise.
    bool Start(const QJsonObject& Parameters = {});
    // SIGKILL, then waits until its name is gone from the bus.
    bool Kill();
    // SIGSTOP / SIGCONT: a service that stops answering, and recovers.
    void Pause();
    void Resume();
    bool Running() const;

    // Control methods of the template (see tornevo_nm.py).
    QString AddProfile(const QString& Id, const QString& Type, const QVariantMap& Options = {});
    void SetBehaviour(const QVariantMap& Options);
    void DropLine(const QString& Active, unsigned Reason);
    std::pair<bool, QString> AskAgents(const QString& Profile, const QString& Setting);
    std::vector<Received> ReceivedCredentials();
    std::vector<std::pair<QString, unsigned>> Updates();
    QStringList DiskWrites();
    QStringList Events();
    std::vector<std::pair<QString, QString>> Agents();

    // NetworkManager's own API, as another client would use it.
    QString Activate(const QString& Profile);
    QStringList ActiveConnections();
    unsigned ActiveState(const QString& Active);

    QDBusConnection& Bus() { return FBus; }
    // Everything the service printed and logged so far.
    QString Output() const;
    QString WorkDir() const { return FDir.path(); }

private:
    QDBusMessage Control(const QString& Method, const QVariantList& Args);

    QTemporaryDir FDir;
    std::unique_ptr<QProcess> FProcess;
    QDBusConnection FBus;
};

} // namespace tnvtest

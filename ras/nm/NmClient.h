#pragma once

// The NetworkManager side of the connection service: lists profiles and active connections,
// dials through ActivateConnection with the program as the password's secret agent, follows each
// dial's state changes and hangs up. It lives on the thread whose event loop delivers the
// service's signals (the user-interface thread), so dial notifications arrive there; every
// blocking call it makes is bounded by CallBudgetMs.

#include "NmDefs.h"
#include "NmProfiles.h"
#include "RasService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace ras::nm {

class SecretAgent;

class Client : public QObject {
    Q_OBJECT

public:
    Client();
    ~Client() override;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    RasError EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count);
    RasError EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count);
    RasError Dial(const RasDialParams& Params, RasDialFunc Notifier,
                  std::atomic<HRASCONN>& Connection);
    // Safe from any thread; off the client's thread the request is sent from its event loop.
    RasError HangUp(HRASCONN Connection);

    // The secret agent's question: the typed password for the profile being dialled, asked by
    // the NetworkManager that dials it. False with an error name otherwise.
    bool AnswerSecrets(const QString& Sender, const QString& ProfilePath, const QString& Setting,
                       unsigned Flags, SettingsMap& Secrets, QString& ErrorName);

    // The longest one operation may block the calling thread.
    static constexpr int CallBudgetMs = 2000;
    // How long an activation may take to be accepted before the dial counts as failed.
    static constexpr int ActivationTimeoutMs = 25000;
    // A state change seen only as a property change waits this long for its reason.
    static constexpr int ReasonGraceMs = 1000;

private slots:
    void OnStateChanged(const QDBusMessage& Signal);
    void OnPropertiesChanged(const QDBusMessage& Signal);
    void OnOwnerChanged(const QString& Name, const QString& OldOwner, const QString& NewOwner);

private:
    // A handle's active connection; Path stays empty until the activation is answered.
    struct Link {
        QString Path;
        QString Owner; // the NetworkManager instance (unique bus name) it belongs to
    };
    struct DialRecord {
        RasDialFunc Notifier = nullptr;
        QString Owner;
        QString ProfilePath;
        std::optional<CredentialPlace> Place;
        QString Password; // wiped when the dial ends
        bool PasswordGiven = false;
        bool PasswordRefused = false;
        bool Opened = false;
        bool Connected = false;
        bool HungUp = false; // hung up before the activation was answered
    };
    struct Note {
        RasDialFunc Notifier;
        RASCONNSTATE State;
        RasError Error;
    };
    struct EarlyState {
        QString Path;
        QString Owner;
        unsigned State;
        unsigned Reason;
    };

    bool EnsureBus();
    void Attach();
    void Detach();
    QDBusMessage Call(const QDBusMessage& Message, const QDeadlineTimer& Deadline) const;
    RasError ListProfiles(const QDeadlineTimer& Deadline, std::vector<Profile>& Profiles,
                          QString& Owner);
    void EnsureAgent(const QString& Owner, const QDeadlineTimer& Deadline);
    void OnActivated(HRASCONN Handle, QDBusPendingCallWatcher* Watcher);
    void ReadState(const QString& Path, const QString& Owner);
    // Fallback: the state came without its reason (read, or seen only as a property change).
    void ApplyState(const QString& Path, const QString& Owner, unsigned State, unsigned Reason,
                    bool Fallback);
    void EndDials(const QString& Owner, bool AllOwners, RasError Error);
    void DeactivateLater(const QString& Path, const QString& Owner);

    // Under FLock.
    HRASCONN HandleFor(const QString& Path, const QString& Owner);
    void DropPath(const QString& Path, const QString& Owner);
    void EraseDial(std::map<HRASCONN, DialRecord>::iterator Dial);

    static void Deliver(const std::vector<Note>& Notes);

    QDBusConnection FBus{QString()};
    QString FBusName;
    SecretAgent* FAgent = nullptr;
    QDBusServiceWatcher* FWatcher = nullptr;
    QString FAgentId;
    QString FAgentOwner; // the NetworkManager the agent is registered with

    mutable std::mutex FLock;
    HRASCONN FNextHandle = 1;
    std::map<HRASCONN, Link> FLinks;
    std::map<HRASCONN, DialRecord> FDials;
    std::vector<EarlyState> FEarly; // states of connections whose activation is not answered yet
};

} // namespace ras::nm

#include "NmClient.h"

#include "NmSecretAgent.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <exception>

namespace ras::nm {

namespace {

const QString NoSecretsError =
    QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.NoSecrets");
const QString AgentDeniedError =
    QStringLiteral("org.freedesktop.NetworkManager.SecretAgent.PermissionDenied");
const QString TimeoutError = QStringLiteral("org.freedesktop.DBus.Error.Timeout");

// Connections seen changing state before their activation was answered; a few suffice.
constexpr size_t EarlyStatesKept = 32;

std::atomic<unsigned> ConnectionSerial{0};

void Wipe(QString& Secret) {
    Secret.fill(QChar(u'\0'));
    Secret.clear();
}

bool Failed(const QDBusMessage& Reply) {
    return Reply.type() != QDBusMessage::ReplyMessage;
}

QList<QDBusObjectPath> PathList(const QVariant& Value) {
    return qdbus_cast<QList<QDBusObjectPath>>(Value);
}

} // namespace

Client::Client() {
    qDBusRegisterMetaType<SettingsMap>();
    qDBusRegisterMetaType<StringMap>();
    // Unique per process and per client: NetworkManager allows one agent per identifier and user.
    FAgentId = QStringLiteral("org.tornevo.Tornevo.p%1.c%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(ConnectionSerial.load() + 1);
    FAgent = new SecretAgent(*this, this);
    EnsureBus();
}

Client::~Client() {
    {
        std::lock_guard lock(FLock);
        for (auto& [handle, dial] : FDials)
            Wipe(dial.Password);
        FDials.clear();
    }
    Detach();
    if (!FBusName.isEmpty())
        QDBusConnection::disconnectFromBus(FBusName);
}

bool Client::EnsureBus() {
    if (FBus.isConnected())
        return true;
    if (!FBusName.isEmpty()) {
        // The bus went away: whatever was dialled through it is out of reach.
        Detach();
        EndDials(QString(), true, ERROR_RASMAN_CANNOT_INITIALIZE);
        QDBusConnection::disconnectFromBus(FBusName);
    }
    // A connection of its own, so that its agent object and signal matches are this client's.
    FBusName = QStringLiteral("tornevo-nm-%1").arg(++ConnectionSerial);
    FBus = QDBusConnection::connectToBus(QDBusConnection::SystemBus, FBusName);
    if (!FBus.isConnected())
        return false;
    Attach();
    return true;
}

void Client::Attach() {
    FBus.registerObject(AgentPath, FAgent, QDBusConnection::ExportAllSlots);
    // Subscribed once for every active connection, so no dial's early change is missed.
    FBus.connect(Service, QString(), ActiveIface, QStringLiteral("StateChanged"), this,
                 SLOT(OnStateChanged(QDBusMessage)));
    FBus.connect(Service, QString(), PropertiesIface, QStringLiteral("PropertiesChanged"),
                 QStringList{ActiveIface}, QString(), this,
                 SLOT(OnPropertiesChanged(QDBusMessage)));
    FWatcher =
        new QDBusServiceWatcher(Service, FBus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(FWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &Client::OnOwnerChanged);
}

void Client::Detach() {
    delete FWatcher;
    FWatcher = nullptr;
    FAgentOwner.clear();
    if (FBusName.isEmpty())
        return;
    FBus.unregisterObject(AgentPath);
    FBus.disconnect(Service, QString(), ActiveIface, QStringLiteral("StateChanged"), this,
                    SLOT(OnStateChanged(QDBusMessage)));
    FBus.disconnect(Service, QString(), PropertiesIface, QStringLiteral("PropertiesChanged"),
                    QStringList{ActiveIface}, QString(), this,
                    SLOT(OnPropertiesChanged(QDBusMessage)));
}

QDBusMessage Client::Call(const QDBusMessage& Message, const QDeadlineTimer& Deadline) const {
    const qint64 left = Deadline.remainingTime();
    if (left <= 0)
        return Message.createErrorReply(TimeoutError, QStringLiteral("Out of time"));
    return FBus.call(Message, QDBus::Block, static_cast<int>(left));
}

RasError Client::ListProfiles(const QDeadlineTimer& Deadline, std::vector<Profile>& Profiles,
                              QString& Owner) {
    const QDBusMessage list =
        Call(QDBusMessage::createMethodCall(Service, SettingsPath, SettingsIface,
                                            QStringLiteral("ListConnections")),
             Deadline);
    if (Failed(list))
        return ClassifyError(list.errorName()) == CallFailure::Denied
                   ? ERROR_ACCESS_DENIED
                   : ERROR_RASMAN_CANNOT_INITIALIZE;
    Owner = list.service();
    for (const QDBusObjectPath& path : PathList(list.arguments().value(0))) {
        const QDBusMessage got =
            Call(QDBusMessage::createMethodCall(Owner, path.path(), ProfileIface,
                                                QStringLiteral("GetSettings")),
                 Deadline);
        if (Failed(got)) {
            if (ClassifyError(got.errorName()) == CallFailure::Unavailable)
                return ERROR_RASMAN_CANNOT_INITIALIZE;
            continue; // removed meanwhile, or not visible to this user
        }
        Profile profile{path.path(), qdbus_cast<SettingsMap>(got.arguments().value(0))};
        if (IsDialUpProfile(profile.Settings))
            Profiles.push_back(std::move(profile));
    }
    SortProfiles(Profiles);
    return SUCCESS;
}

RasError Client::EnumEntries(std::span<RasEntryName> Buffer, std::uint32_t& Count) {
    const QDeadlineTimer deadline(CallBudgetMs);
    Count = 0;
    if (!EnsureBus())
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    std::vector<Profile> profiles;
    QString owner;
    if (const RasError error = ListProfiles(deadline, profiles, owner); error != SUCCESS)
        return error;
    Count = static_cast<std::uint32_t>(profiles.size());
    if (profiles.size() > Buffer.size())
        return ERROR_BUFFER_TOO_SMALL;
    for (size_t i = 0; i < profiles.size(); ++i)
        Buffer[i].szEntryName = profiles[i].Id().toStdString();
    return SUCCESS;
}

RasError Client::EnumConnections(std::span<RasConnection> Buffer, std::uint32_t& Count) {
    const QDeadlineTimer deadline(CallBudgetMs);
    Count = 0;
    if (!EnsureBus())
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    QDBusMessage get = QDBusMessage::createMethodCall(Service, ManagerPath, PropertiesIface,
                                                      QStringLiteral("Get"));
    get << ManagerIface << QStringLiteral("ActiveConnections");
    const QDBusMessage active = Call(get, deadline);
    if (Failed(active))
        return ClassifyError(active.errorName()) == CallFailure::Denied
                   ? ERROR_ACCESS_DENIED
                   : ERROR_RASMAN_CANNOT_INITIALIZE;
    const QString owner = active.service();

    struct Up {
        QString Path;
        QString Id;
        QString Type;
    };
    std::vector<Up> up;
    QSet<QString> present;
    for (const QDBusObjectPath& path :
         PathList(active.arguments().value(0).value<QDBusVariant>().variant())) {
        present.insert(path.path());
        QDBusMessage getAll = QDBusMessage::createMethodCall(owner, path.path(), PropertiesIface,
                                                             QStringLiteral("GetAll"));
        getAll << ActiveIface;
        const QDBusMessage props = Call(getAll, deadline);
        if (Failed(props)) {
            if (ClassifyError(props.errorName()) == CallFailure::Unavailable)
                return ERROR_RASMAN_CANNOT_INITIALIZE;
            continue; // gone between the listing and now: not connected
        }
        const QVariantMap p = qdbus_cast<QVariantMap>(props.arguments().value(0));
        const QString type = p.value(QStringLiteral("Type")).toString();
        if (!IsDialUpType(type) || p.value(QStringLiteral("State")).toUInt() != StateActivated)
            continue;
        if (type == QLatin1String("bluetooth")) {
            const QString profile =
                p.value(QStringLiteral("Connection")).value<QDBusObjectPath>().path();
            const QDBusMessage got =
                Call(QDBusMessage::createMethodCall(owner, profile, ProfileIface,
                                                    QStringLiteral("GetSettings")),
                     deadline);
            if (Failed(got)) {
                if (ClassifyError(got.errorName()) == CallFailure::Unavailable)
                    return ERROR_RASMAN_CANNOT_INITIALIZE;
                continue;
            }
            if (!IsDialUpProfile(qdbus_cast<SettingsMap>(got.arguments().value(0))))
                continue;
        }
        up.push_back(Up{path.path(), p.value(QStringLiteral("Id")).toString(), type});
    }

    std::vector<HRASCONN> handles;
    {
        std::lock_guard lock(FLock);
        // Handles of connections that are gone are forgotten, unless a dial still owns them.
        for (auto it = FLinks.begin(); it != FLinks.end();) {
            const bool stale = it->second.Owner != owner || !present.contains(it->second.Path);
            if (stale && !FDials.contains(it->first))
                it = FLinks.erase(it);
            else
                ++it;
        }
        for (const Up& u : up)
            handles.push_back(HandleFor(u.Path, owner));
    }
    Count = static_cast<std::uint32_t>(up.size());
    if (up.size() > Buffer.size())
        return ERROR_BUFFER_TOO_SMALL;
    for (size_t i = 0; i < up.size(); ++i) {
        Buffer[i].hrasconn = handles[i];
        Buffer[i].szEntryName = up[i].Id.toStdString();
        Buffer[i].szDeviceType = DeviceTypeOf(up[i].Type);
        Buffer[i].szDeviceName = up[i].Type.toStdString();
    }
    return SUCCESS;
}

void Client::EnsureAgent(const QString& Owner, const QDeadlineTimer& Deadline) {
    if (FAgentOwner == Owner)
        return;
    QDBusMessage reg = QDBusMessage::createMethodCall(Owner, AgentManagerPath, AgentManagerIface,
                                                      QStringLiteral("Register"));
    reg << FAgentId;
    // Without an agent the dial still goes ahead: the profile may need no password.
    if (!Failed(Call(reg, Deadline)))
        FAgentOwner = Owner;
}

RasError Client::Dial(const RasDialParams& Params, RasDialFunc Notifier,
                      std::atomic<HRASCONN>& Connection) {
    const QDeadlineTimer deadline(CallBudgetMs);
    Connection.store(0);
    if (!EnsureBus())
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    std::vector<Profile> profiles;
    QString owner;
    if (const RasError error = ListProfiles(deadline, profiles, owner); error != SUCCESS)
        return error;
    const Profile* profile = FindProfile(profiles, Params.szEntryName);
    if (!profile)
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    {
        std::lock_guard lock(FLock);
        for (const auto& [handle, dial] : FDials)
            if (dial.ProfilePath == profile->Path && dial.Owner == owner && !dial.Connected &&
                !dial.HungUp)
                return ERROR_DIAL_ALREADY_IN_PROGRESS;
    }

    QString password = QString::fromStdString(Params.szPassword);
    const std::optional<CredentialPlace> place = CredentialPlaceOf(profile->Settings);
    if (place) {
        SettingsMap settings = profile->Settings;
        if (UseTypedCredentials(settings, *place, QString::fromStdString(Params.szUserName),
                                !password.isEmpty())) {
            QDBusMessage update = QDBusMessage::createMethodCall(owner, profile->Path, ProfileIface,
                                                                 QStringLiteral("Update2"));
            update << QVariant::fromValue(settings) << QVariant::fromValue<uint>(Update2InMemory)
                   << QVariantMap();
            const QDBusMessage reply = Call(update, deadline);
            if (Failed(reply)) {
                Wipe(password);
                return ErrorFromCall(reply.errorName());
            }
        }
    }
    EnsureAgent(owner, deadline);

    HRASCONN handle = 0;
    {
        std::lock_guard lock(FLock);
        handle = FNextHandle++;
        FLinks[handle] = Link{QString(), owner};
        DialRecord& dial = FDials[handle];
        dial.Notifier = Notifier;
        dial.Owner = owner;
        dial.ProfilePath = profile->Path;
        dial.Place = place;
        dial.Password = password;
    }
    Wipe(password);
    // Published before the event loop can deliver anything about this dial.
    Connection.store(handle);

    QDBusMessage activate = QDBusMessage::createMethodCall(owner, ManagerPath, ManagerIface,
                                                           QStringLiteral("ActivateConnection"));
    activate << QVariant::fromValue(QDBusObjectPath(profile->Path))
             << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")))
             << QVariant::fromValue(QDBusObjectPath(QStringLiteral("/")));
    auto* watcher =
        new QDBusPendingCallWatcher(FBus.asyncCall(activate, ActivationTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, handle](QDBusPendingCallWatcher* w) { OnActivated(handle, w); });
    return SUCCESS;
}

void Client::OnActivated(HRASCONN Handle, QDBusPendingCallWatcher* Watcher) {
    Watcher->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *Watcher;
    std::vector<Note> notes;
    QString path;
    QString owner;
    bool follow = false;
    bool cancel = false;
    std::optional<EarlyState> early;
    {
        std::lock_guard lock(FLock);
        auto dial = FDials.find(Handle);
        if (dial == FDials.end())
            return; // ended meanwhile: the service went away
        if (reply.isError()) {
            if (!dial->second.HungUp)
                notes.push_back(Note{dial->second.Notifier, RASCS_Disconnected,
                                     ErrorFromCall(reply.error().name())});
            EraseDial(dial);
            FLinks.erase(Handle);
        } else {
            path = reply.value().path();
            owner = reply.reply().service();
            if (dial->second.HungUp) {
                EraseDial(dial);
                FLinks.erase(Handle);
                cancel = true;
            } else {
                FLinks[Handle] = Link{path, owner};
                follow = true;
                auto it = std::find_if(FEarly.begin(), FEarly.end(), [&](const EarlyState& e) {
                    return e.Path == path && e.Owner == owner;
                });
                if (it != FEarly.end()) {
                    early = *it;
                    FEarly.erase(it);
                }
            }
        }
    }
    Deliver(notes);
    if (cancel)
        DeactivateLater(path, owner);
    if (early)
        ApplyState(path, owner, early->State, early->Reason, false);
    if (follow)
        ReadState(path, owner);
}

void Client::ReadState(const QString& Path, const QString& Owner) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(Owner, Path, PropertiesIface, QStringLiteral("Get"));
    get << ActiveIface << QStringLiteral("State");
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(get, CallBudgetMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, Path, Owner](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *w;
                if (!reply.isError())
                    ApplyState(Path, Owner, reply.value().variant().toUInt(), ReasonUnknown, true);
                else if (ClassifyError(reply.error().name()) == CallFailure::Gone)
                    ApplyState(Path, Owner, StateDeactivated, ReasonUnknown, true);
            });
}

void Client::OnStateChanged(const QDBusMessage& Signal) {
    const QVariantList args = Signal.arguments();
    if (args.size() < 2)
        return;
    ApplyState(Signal.path(), Signal.service(), args.at(0).toUInt(), args.at(1).toUInt(), false);
}

void Client::OnPropertiesChanged(const QDBusMessage& Signal) {
    const QVariantList args = Signal.arguments();
    if (args.size() < 2 || args.at(0).toString() != ActiveIface)
        return;
    const QVariantMap changed = qdbus_cast<QVariantMap>(args.at(1));
    const auto state = changed.find(QStringLiteral("State"));
    if (state == changed.end())
        return;
    const QString path = Signal.path();
    const QString owner = Signal.service();
    const unsigned value = state->toUInt();
    if (value == StateActivated)
        ApplyState(path, owner, value, ReasonNone, false);
    else if (value == StateDeactivated)
        // StateChanged carries the reason and normally comes with it; this only covers its loss.
        QTimer::singleShot(ReasonGraceMs, this, [this, path, owner] {
            ApplyState(path, owner, StateDeactivated, ReasonUnknown, true);
        });
}

void Client::ApplyState(const QString& Path, const QString& Owner, unsigned State, unsigned Reason,
                        bool Fallback) {
    std::vector<Note> notes;
    {
        std::lock_guard lock(FLock);
        auto dial = FDials.end();
        bool known = false;
        for (const auto& [handle, link] : FLinks)
            if (link.Path == Path && link.Owner == Owner) {
                known = true;
                if (auto d = FDials.find(handle); d != FDials.end()) {
                    dial = d;
                    break;
                }
            }
        if (dial == FDials.end()) {
            if (State == StateDeactivated && known)
                DropPath(Path, Owner);
            else if (!known && !Fallback &&
                     (State == StateActivated || State == StateDeactivated)) {
                // Perhaps a dial whose activation has not been answered yet.
                if (FEarly.size() >= EarlyStatesKept)
                    FEarly.erase(FEarly.begin());
                FEarly.push_back(EarlyState{Path, Owner, State, Reason});
            }
            return;
        }
        DialRecord& d = dial->second;
        switch (State) {
        case StateActivating:
            if (!d.Opened) {
                d.Opened = true;
                notes.push_back(Note{d.Notifier, RASCS_OpenPort, 0});
            }
            break;
        case StateActivated:
            if (!d.Connected) {
                d.Connected = true;
                Wipe(d.Password);
                notes.push_back(Note{d.Notifier, RASCS_Connected, 0});
            }
            break;
        case StateDeactivated:
            notes.push_back(
                Note{d.Notifier, RASCS_Disconnected, ErrorFromReason(Reason, d.PasswordRefused)});
            DropPath(Path, Owner);
            break;
        default:
            break;
        }
    }
    Deliver(notes);
}

void Client::OnOwnerChanged(const QString& /*Name*/, const QString& OldOwner,
                            const QString& /*NewOwner*/) {
    if (OldOwner.isEmpty())
        return;
    // NetworkManager stopped or was replaced: its connections and dials are out of reach.
    if (FAgentOwner == OldOwner)
        FAgentOwner.clear();
    EndDials(OldOwner, false, ERROR_RASMAN_CANNOT_INITIALIZE);
}

void Client::EndDials(const QString& Owner, bool AllOwners, RasError Error) {
    std::vector<Note> notes;
    {
        std::lock_guard lock(FLock);
        for (auto it = FDials.begin(); it != FDials.end();) {
            if (AllOwners || it->second.Owner == Owner) {
                if (!it->second.HungUp)
                    notes.push_back(Note{it->second.Notifier, RASCS_Disconnected, Error});
                Wipe(it->second.Password);
                it = FDials.erase(it);
            } else {
                ++it;
            }
        }
        std::erase_if(FLinks,
                      [&](const auto& entry) { return AllOwners || entry.second.Owner == Owner; });
        std::erase_if(FEarly, [&](const EarlyState& e) { return AllOwners || e.Owner == Owner; });
    }
    Deliver(notes);
}

RasError Client::HangUp(HRASCONN Connection) {
    const bool here = QThread::currentThread() == thread();
    QString path;
    QString owner;
    {
        std::lock_guard lock(FLock);
        if (Connection == 0 || Connection >= FNextHandle)
            return ERROR_INVALID_HANDLE;
        auto link = FLinks.find(Connection);
        if (link == FLinks.end())
            return SUCCESS; // already gone
        if (link->second.Path.isEmpty()) {
            // Not answered yet: the activation is undone as soon as it is.
            if (auto dial = FDials.find(Connection); dial != FDials.end()) {
                dial->second.HungUp = true;
                Wipe(dial->second.Password);
            }
            return SUCCESS;
        }
        path = link->second.Path;
        owner = link->second.Owner;
        // From now on this connection's dial reports nothing more.
        DropPath(path, owner);
    }
    if (!here) {
        QMetaObject::invokeMethod(
            this, [this, path, owner] { DeactivateLater(path, owner); }, Qt::QueuedConnection);
        return SUCCESS;
    }
    QDBusMessage deactivate = QDBusMessage::createMethodCall(
        owner, ManagerPath, ManagerIface, QStringLiteral("DeactivateConnection"));
    deactivate << QVariant::fromValue(QDBusObjectPath(path));
    const QDBusMessage reply = Call(deactivate, QDeadlineTimer(CallBudgetMs));
    if (!Failed(reply))
        return SUCCESS;
    switch (ClassifyError(reply.errorName())) {
    case CallFailure::Gone:
        return SUCCESS;
    case CallFailure::Denied:
        return ERROR_ACCESS_DENIED;
    case CallFailure::Unavailable:
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    case CallFailure::Other:
        break;
    }
    return ERROR_UNKNOWN;
}

void Client::DeactivateLater(const QString& Path, const QString& Owner) {
    QDBusMessage deactivate = QDBusMessage::createMethodCall(
        Owner, ManagerPath, ManagerIface, QStringLiteral("DeactivateConnection"));
    deactivate << QVariant::fromValue(QDBusObjectPath(Path));
    FBus.asyncCall(deactivate, CallBudgetMs);
}

bool Client::AnswerSecrets(const QString& Sender, const QString& ProfilePath,
                           const QString& Setting, unsigned Flags, SettingsMap& Secrets,
                           QString& ErrorName) {
    std::vector<Note> notes;
    {
        std::lock_guard lock(FLock);
        auto dial = std::find_if(FDials.begin(), FDials.end(), [&](const auto& entry) {
            const DialRecord& d = entry.second;
            return d.ProfilePath == ProfilePath && !d.Connected && !d.HungUp;
        });
        if (dial == FDials.end()) {
            ErrorName = NoSecretsError;
            return false;
        }
        DialRecord& d = dial->second;
        if (Sender != d.Owner) {
            ErrorName = AgentDeniedError;
            return false;
        }
        if (!d.Place || d.Place->Setting != Setting || d.Password.isEmpty()) {
            ErrorName = NoSecretsError;
            return false;
        }
        if ((Flags & GetSecretsRequestNew) && d.PasswordGiven) {
            // The password was tried and refused; asking again would not change it.
            d.PasswordRefused = true;
            ErrorName = NoSecretsError;
            return false;
        }
        Secrets = SecretsReply(*d.Place, d.Password);
        d.PasswordGiven = true;
        notes.push_back(Note{d.Notifier, RASCS_Authenticate, 0});
    }
    Deliver(notes);
    return true;
}

HRASCONN Client::HandleFor(const QString& Path, const QString& Owner) {
    for (const auto& [handle, link] : FLinks)
        if (link.Path == Path && link.Owner == Owner)
            return handle;
    const HRASCONN handle = FNextHandle++;
    FLinks[handle] = Link{Path, Owner};
    return handle;
}

void Client::DropPath(const QString& Path, const QString& Owner) {
    for (auto it = FLinks.begin(); it != FLinks.end();) {
        if (it->second.Path == Path && it->second.Owner == Owner) {
            if (auto dial = FDials.find(it->first); dial != FDials.end())
                EraseDial(dial);
            it = FLinks.erase(it);
        } else {
            ++it;
        }
    }
}

void Client::EraseDial(std::map<HRASCONN, DialRecord>::iterator Dial) {
    Wipe(Dial->second.Password);
    FDials.erase(Dial);
}

void Client::Deliver(const std::vector<Note>& Notes) {
    for (const Note& n : Notes) {
        if (!n.Notifier)
            continue;
        try {
            n.Notifier(WM_RASDIALEVENT, n.State, n.Error);
        } catch (...) {
            // A notifier's failure must not unwind through the event loop.
        }
    }
}

} // namespace ras::nm

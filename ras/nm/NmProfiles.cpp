#include "NmProfiles.h"

#include <QDBusArgument>
#include <QDBusMetaType>

#include <algorithm>
#include <tuple>

namespace ras::nm {

namespace {

const QString KeyConnection = QStringLiteral("connection");
const QString KeyPassword = QStringLiteral("password");
const QString KeyPasswordFlags = QStringLiteral("password-flags");
const QString KeyData = QStringLiteral("data");
const QString KeySecrets = QStringLiteral("secrets");

StringMap VpnData(const QVariantMap& Vpn) {
    return qdbus_cast<StringMap>(Vpn.value(KeyData));
}

} // namespace

QString Profile::Id() const {
    return Settings.value(KeyConnection).value(QStringLiteral("id")).toString();
}

QString Profile::Uuid() const {
    return Settings.value(KeyConnection).value(QStringLiteral("uuid")).toString();
}

QString Profile::Type() const {
    return Settings.value(KeyConnection).value(QStringLiteral("type")).toString();
}

bool IsDialUpType(const QString& Type) {
    static const QStringList kinds = {QStringLiteral("pppoe"), QStringLiteral("adsl"),
                                      QStringLiteral("gsm"),   QStringLiteral("cdma"),
                                      QStringLiteral("vpn"),   QStringLiteral("bluetooth")};
    return kinds.contains(Type);
}

bool IsDialUpProfile(const SettingsMap& Settings) {
    const QString type = Settings.value(KeyConnection).value(QStringLiteral("type")).toString();
    if (type == QLatin1String("bluetooth"))
        return Settings.value(QStringLiteral("bluetooth"))
                   .value(QStringLiteral("type"))
                   .toString() == QLatin1String("dun");
    return IsDialUpType(type);
}

void SortProfiles(std::vector<Profile>& Profiles) {
    std::sort(Profiles.begin(), Profiles.end(), [](const Profile& a, const Profile& b) {
        const int byId = QString::compare(a.Id(), b.Id(), Qt::CaseInsensitive);
        if (byId != 0)
            return byId < 0;
        return std::make_tuple(a.Uuid(), a.Id(), a.Path) <
               std::make_tuple(b.Uuid(), b.Id(), b.Path);
    });
}

const Profile* FindProfile(const std::vector<Profile>& Profiles, const std::string& EntryName) {
    for (const Profile& p : Profiles)
        if (p.Id().toStdString() == EntryName)
            return &p;
    for (const Profile& p : Profiles)
        if (SameEntryName(p.Id().toStdString(), EntryName))
            return &p;
    return nullptr;
}

std::optional<CredentialPlace> CredentialPlaceOf(const SettingsMap& Settings) {
    const QString type = Settings.value(KeyConnection).value(QStringLiteral("type")).toString();
    const QString user = QStringLiteral("username");
    if (type == QLatin1String("pppoe") || type == QLatin1String("adsl") ||
        type == QLatin1String("gsm") || type == QLatin1String("cdma"))
        return CredentialPlace{type, user};
    if (type == QLatin1String("bluetooth")) {
        // Bluetooth dial-up borrows the mobile broadband setting it carries.
        for (const QString& mobile : {QStringLiteral("gsm"), QStringLiteral("cdma")})
            if (Settings.contains(mobile))
                return CredentialPlace{mobile, user};
        return std::nullopt;
    }
    if (type == QLatin1String("vpn")) {
        const StringMap data = VpnData(Settings.value(QStringLiteral("vpn")));
        for (const QString& key : {QStringLiteral("username"), QStringLiteral("user")})
            if (data.contains(key))
                return CredentialPlace{QStringLiteral("vpn"), key, true, true};
        return CredentialPlace{QStringLiteral("vpn"), QStringLiteral("user-name"), true, false};
    }
    return std::nullopt;
}

bool UseTypedCredentials(SettingsMap& Settings, const CredentialPlace& Place,
                         const QString& Account, bool HavePassword) {
    QVariantMap& setting = Settings[Place.Setting];
    bool changed = false;
    // A password NetworkManager owns would be used instead of the typed one, and one an agent
    // hands for a system-owned secret would be saved to disk: the agent must own it.
    auto wantAgent = [&](unsigned flags) {
        return HavePassword && !(flags & (SecretAgentOwned | SecretNotRequired));
    };
    if (!Place.Vpn) {
        if (!Account.isEmpty() && setting.value(Place.UserKey).toString() != Account) {
            setting[Place.UserKey] = Account;
            changed = true;
        }
        const unsigned flags = setting.value(KeyPasswordFlags).toUInt();
        if (wantAgent(flags)) {
            setting[KeyPasswordFlags] = QVariant::fromValue<uint>(flags | SecretAgentOwned);
            changed = true;
        }
        return changed;
    }
    StringMap data = VpnData(setting);
    bool dataChanged = false;
    if (!Account.isEmpty()) {
        if (Place.UserInData) {
            if (data.value(Place.UserKey) != Account) {
                data[Place.UserKey] = Account;
                dataChanged = true;
            }
        } else if (setting.value(Place.UserKey).toString() != Account) {
            setting[Place.UserKey] = Account;
            changed = true;
        }
    }
    const unsigned flags = data.value(KeyPasswordFlags).toUInt();
    if (wantAgent(flags)) {
        data[KeyPasswordFlags] = QString::number(flags | SecretAgentOwned);
        dataChanged = true;
    }
    if (dataChanged)
        setting[KeyData] = QVariant::fromValue(data);
    return changed || dataChanged;
}

SettingsMap SecretsReply(const CredentialPlace& Place, const QString& Password) {
    SettingsMap reply;
    if (Place.Vpn)
        reply[Place.Setting][KeySecrets] = QVariant::fromValue(StringMap{{KeyPassword, Password}});
    else
        reply[Place.Setting][KeyPassword] = Password;
    return reply;
}

std::string DeviceTypeOf(const QString& Type) {
    if (Type == QLatin1String("pppoe"))
        return "PPPoE";
    if (Type == QLatin1String("adsl"))
        return "ATM";
    if (Type == QLatin1String("vpn"))
        return "vpn";
    return "modem";
}

RasError ErrorFromReason(unsigned Reason, bool PasswordRefused) {
    switch (Reason) {
    case ReasonUserDisconnected:
        return ERROR_USER_DISCONNECTION;
    case ReasonIpConfigInvalid:
        return ERROR_IP_CONFIGURATION;
    case ReasonConnectTimeout:
    case ReasonServiceStartTimeout:
        return ERROR_PPP_TIMEOUT;
    case ReasonServiceStartFailed:
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    case ReasonNoSecrets:
        return PasswordRefused ? ERROR_AUTHENTICATION_FAILURE : ERROR_NO_SECRETS;
    case ReasonLoginFailed:
        return ERROR_AUTHENTICATION_FAILURE;
    case ReasonConnectionRemoved:
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    case ReasonDependencyFailed:
        return ERROR_PORT_NOT_AVAILABLE;
    case ReasonDeviceRealizeFailed:
    case ReasonDeviceRemoved:
        return ERROR_DEVICE_DOES_NOT_EXIST;
    default: // unknown, none, device disconnected, VPN service stopped
        return ERROR_PORT_DISCONNECTED;
    }
}

CallFailure ClassifyError(const QString& ErrorName) {
    static const QStringList unavailable = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
        QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
        QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
        QStringLiteral("org.freedesktop.DBus.Error.NoNetwork"),
        QStringLiteral("org.freedesktop.DBus.Error.LimitsExceeded")};
    static const QStringList gone = {
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
        QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
        QStringLiteral("org.freedesktop.NetworkManager.UnknownConnection"),
        QStringLiteral("org.freedesktop.NetworkManager.ConnectionNotActive"),
        QStringLiteral("org.freedesktop.NetworkManager.Settings.InvalidConnection")};
    if (unavailable.contains(ErrorName))
        return CallFailure::Unavailable;
    if (gone.contains(ErrorName))
        return CallFailure::Gone;
    if (ErrorName.endsWith(QLatin1String(".PermissionDenied")) ||
        ErrorName.endsWith(QLatin1String(".NotAuthorized")) ||
        ErrorName == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
        ErrorName == QLatin1String("org.freedesktop.DBus.Error.AuthFailed"))
        return CallFailure::Denied;
    return CallFailure::Other;
}

RasError ErrorFromCall(const QString& ErrorName) {
    switch (ClassifyError(ErrorName)) {
    case CallFailure::Unavailable:
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    case CallFailure::Gone:
        return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
    case CallFailure::Denied:
        return ERROR_ACCESS_DENIED;
    case CallFailure::Other:
        break;
    }
    if (ErrorName.endsWith(QLatin1String(".UnknownDevice")) ||
        ErrorName.endsWith(QLatin1String(".ConnectionNotAvailable")) ||
        ErrorName.endsWith(QLatin1String(".DependencyFailed")))
        return ERROR_PORT_NOT_AVAILABLE;
    return ERROR_UNKNOWN;
}

} // namespace ras::nm

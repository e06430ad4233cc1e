#pragma once

// NetworkManager's D-Bus names and numbers that the connection service relies on.

#include <QMap>
#include <QString>
#include <QVariantMap>

namespace ras::nm {

// A profile's settings as NetworkManager passes them: setting name -> property -> value.
using SettingsMap = QMap<QString, QVariantMap>;
// vpn.data and vpn.secrets.
using StringMap = QMap<QString, QString>;

inline const QString Service = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString ManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");
inline const QString ManagerIface = QStringLiteral("org.freedesktop.NetworkManager");
inline const QString SettingsPath = QStringLiteral("/org/freedesktop/NetworkManager/Settings");
inline const QString SettingsIface = QStringLiteral("org.freedesktop.NetworkManager.Settings");
inline const QString ProfileIface =
    QStringLiteral("org.freedesktop.NetworkManager.Settings.Connection");
inline const QString ActiveIface =
    QStringLiteral("org.freedesktop.NetworkManager.Connection.Active");
inline const QString AgentManagerPath =
    QStringLiteral("/org/freedesktop/NetworkManager/AgentManager");
inline const QString AgentManagerIface =
    QStringLiteral("org.freedesktop.NetworkManager.AgentManager");
inline const QString AgentPath = QStringLiteral("/org/freedesktop/NetworkManager/SecretAgent");
inline const QString AgentIface = QStringLiteral("org.freedesktop.NetworkManager.SecretAgent");
inline const QString PropertiesIface = QStringLiteral("org.freedesktop.DBus.Properties");

// NMActiveConnectionState
enum ActiveState : unsigned {
    StateUnknown = 0,
    StateActivating = 1,
    StateActivated = 2,
    StateDeactivating = 3,
    StateDeactivated = 4,
};

// NMActiveConnectionStateReason
enum StateReason : unsigned {
    ReasonUnknown = 0,
    ReasonNone = 1,
    ReasonUserDisconnected = 2,
    ReasonDeviceDisconnected = 3,
    ReasonServiceStopped = 4,
    ReasonIpConfigInvalid = 5,
    ReasonConnectTimeout = 6,
    ReasonServiceStartTimeout = 7,
    ReasonServiceStartFailed = 8,
    ReasonNoSecrets = 9,
    ReasonLoginFailed = 10,
    ReasonConnectionRemoved = 11,
    ReasonDependencyFailed = 12,
    ReasonDeviceRealizeFailed = 13,
    ReasonDeviceRemoved = 14,
};

// NMSettingSecretFlags
inline constexpr unsigned SecretAgentOwned = 0x1;
inline constexpr unsigned SecretNotSaved = 0x2;
inline constexpr unsigned SecretNotRequired = 0x4;

// NMSecretAgentGetSecretsFlags
inline constexpr unsigned GetSecretsRequestNew = 0x2;

// NMSettingsUpdate2Flags: the profile changes in memory only, never on disk.
inline constexpr unsigned Update2InMemory = 0x2;

} // namespace ras::nm

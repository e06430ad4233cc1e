#pragma once

// The object NetworkManager asks for passwords while the program dials. It answers only
// NetworkManager itself, only for the profile being dialled, and only until that dial ends.

#include "NmDefs.h"

#include <QDBusContext>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>

namespace ras::nm {

class Client;

class SecretAgent : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager.SecretAgent")

public:
    explicit SecretAgent(Client& Owner, QObject* Parent = nullptr);

public slots:
    QMap<QString, QVariantMap> GetSecrets(const QMap<QString, QVariantMap>& connection,
                                          const QDBusObjectPath& connection_path,
                                          const QString& setting_name, const QStringList& hints,
                                          uint flags);
    void CancelGetSecrets(const QDBusObjectPath& connection_path, const QString& setting_name);
    // Nothing is ever stored: the password lives only as long as its dial.
    void SaveSecrets(const QMap<QString, QVariantMap>& connection,
                     const QDBusObjectPath& connection_path);
    void DeleteSecrets(const QMap<QString, QVariantMap>& connection,
                       const QDBusObjectPath& connection_path);

private:
    Client& FOwner;
};

} // namespace ras::nm

#include "NmSecretAgent.h"

#include "NmClient.h"

namespace ras::nm {

SecretAgent::SecretAgent(Client& Owner, QObject* Parent) : QObject(Parent), FOwner(Owner) {}

QMap<QString, QVariantMap> SecretAgent::GetSecrets(const QMap<QString, QVariantMap>& /*connection*/,
                                                   const QDBusObjectPath& connection_path,
                                                   const QString& setting_name,
                                                   const QStringList& /*hints*/, uint flags) {
    SettingsMap secrets;
    QString errorName;
    if (FOwner.AnswerSecrets(message().service(), connection_path.path(), setting_name, flags,
                             secrets, errorName))
        return secrets;
    sendErrorReply(errorName, QStringLiteral("No secrets for this request"));
    return {};
}

void SecretAgent::CancelGetSecrets(const QDBusObjectPath& /*connection_path*/,
                                   const QString& /*setting_name*/) {}

void SecretAgent::SaveSecrets(const QMap<QString, QVariantMap>& /*connection*/,
                              const QDBusObjectPath& /*connection_path*/) {}

void SecretAgent::DeleteSecrets(const QMap<QString, QVariantMap>& /*connection*/,
                                const QDBusObjectPath& /*connection_path*/) {}

} // namespace ras::nm

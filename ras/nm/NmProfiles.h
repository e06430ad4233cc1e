#pragma once

// What the connection service needs to know about NetworkManager profiles: which are dial-ups,
// their one stable order, where they keep the account and password, and what errors mean.

#include "NmDefs.h"
#include "RasTypes.h"

#include <optional>
#include <string>
#include <vector>

namespace ras::nm {

struct Profile {
    QString Path; // the Settings.Connection object
    SettingsMap Settings;

    QString Id() const;
    QString Uuid() const;
    QString Type() const;
};

// The kinds dial-up networking covers: PPPoE, ADSL, mobile broadband, Bluetooth dial-up, VPN.
bool IsDialUpProfile(const SettingsMap& Settings);
// For an active connection's type; a Bluetooth one counts only when its profile is dial-up.
bool IsDialUpType(const QString& Type);

// NetworkManager lists profiles in no fixed order, and the saved selection is a position:
// id without regard to case, then uuid, then object path.
void SortProfiles(std::vector<Profile>& Profiles);

// The first profile whose id equals the entry name, else the first that differs from it only in
// the case of Latin letters; null when none does.
const Profile* FindProfile(const std::vector<Profile>& Profiles, const std::string& EntryName);

// Where a profile keeps its account and password.
struct CredentialPlace {
    QString Setting; // the setting NetworkManager asks the agent about ("pppoe", "gsm", "vpn", ...)
    QString UserKey; // the account's key in that setting, or in vpn.data when UserInData
    bool Vpn = false;        // flags in vpn.data, password in vpn.secrets
    bool UserInData = false; // VPN plug-ins that keep the account in vpn.data
};
std::optional<CredentialPlace> CredentialPlaceOf(const SettingsMap& Settings);

// Makes the profile dial with Account (left alone when empty) and, when a password was typed,
// ask the agent for it instead of using or storing one of its own. True when anything changed.
bool UseTypedCredentials(SettingsMap& Settings, const CredentialPlace& Place,
                         const QString& Account, bool HavePassword);

// The secret agent's answer carrying the password.
SettingsMap SecretsReply(const CredentialPlace& Place, const QString& Password);

// The device type shown for a connection type, in the RAS vocabulary.
std::string DeviceTypeOf(const QString& Type);

// The error a dial or a line ends with, from NetworkManager's reason. PasswordRefused: the agent
// handed the password and was asked for a new one, so the password was wrong.
RasError ErrorFromReason(unsigned Reason, bool PasswordRefused);

// How a D-Bus call failed.
enum class CallFailure {
    Unavailable, // NetworkManager (or the bus) not there or not answering
    Gone,        // the object or connection does not exist (any more)
    Denied,      // no permission
    Other,
};
CallFailure ClassifyError(const QString& ErrorName);

// The error a refused request (update, activation) reports.
RasError ErrorFromCall(const QString& ErrorName);

} // namespace ras::nm

#pragma once

// The connection service's vocabulary, shaped after the Remote Access Service so that every
// backend (NetworkManager, Windows RAS, the simulation) speaks the same language to the engine.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#if defined(RAS_MaxEntryName) || defined(ERROR_ACCESS_DENIED) || defined(SUCCESS)
#error "Include RasTypes.h before <windows.h> and <ras.h>: they define some of its names as macros"
#endif

namespace ras {

// A live connection; zero means none.
using HRASCONN = std::uintptr_t;

using RasError = std::uint32_t;

inline constexpr std::size_t RAS_MaxEntryName = 256;
inline constexpr std::size_t RAS_MaxDeviceType = 16;
inline constexpr std::size_t RAS_MaxDeviceName = 128;
inline constexpr std::size_t UNLEN = 256; // account
inline constexpr std::size_t PWLEN = 256; // password

enum RASCONNSTATE : std::uint32_t {
    RASCS_OpenPort = 0,
    RASCS_PortOpened = 1,
    RASCS_ConnectDevice = 2,
    RASCS_DeviceConnected = 3,
    RASCS_AllDevicesConnected = 4,
    RASCS_Authenticate = 5,
    RASCS_AuthNotify = 6,
    RASCS_AuthRetry = 7,
    RASCS_AuthCallback = 8,
    RASCS_AuthChangePassword = 9,
    RASCS_AuthProject = 10,
    RASCS_AuthLinkSpeed = 11,
    RASCS_AuthAck = 12,
    RASCS_ReAuthenticate = 13,
    RASCS_Authenticated = 14,
    RASCS_PrepareForCallback = 15,
    RASCS_WaitForModemReset = 16,
    RASCS_WaitForCallback = 17,
    RASCS_Projected = 18,
    RASCS_Interactive = 0x1000,
    RASCS_RetryAuthentication = 0x1001,
    RASCS_CallbackSetByCaller = 0x1002,
    RASCS_PasswordExpired = 0x1003,
    RASCS_Connected = 0x2000,    // 8192
    RASCS_Disconnected = 0x2001, // 8193
};

// The message a type-0 notifier receives (WM_RASDIALEVENT).
inline constexpr std::uint32_t WM_RASDIALEVENT = 0xCCCD;

// Error codes, numbered as the Remote Access Service numbers them.
enum : RasError {
    SUCCESS = 0,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_PORT_ALREADY_OPEN = 602,
    ERROR_BUFFER_TOO_SMALL = 603,
    ERROR_DEVICE_DOES_NOT_EXIST = 608,
    ERROR_PORT_DISCONNECTED = 619,
    ERROR_CANNOT_FIND_PHONEBOOK_ENTRY = 623,
    ERROR_DISCONNECTION = 628,
    ERROR_REMOTE_DISCONNECTION = 629,
    ERROR_HARDWARE_FAILURE = 630,
    ERROR_USER_DISCONNECTION = 631,
    ERROR_PORT_NOT_AVAILABLE = 633,
    ERROR_UNKNOWN = 635,
    ERROR_NO_CONNECTION = 668,
    ERROR_LINE_BUSY = 676,
    ERROR_NO_ANSWER = 678,
    ERROR_NO_CARRIER = 679,
    ERROR_AUTHENTICATION_FAILURE = 691,
    ERROR_RASMAN_CANNOT_INITIALIZE = 711,
    ERROR_IP_CONFIGURATION = 716,
    ERROR_PPP_TIMEOUT = 718,
    ERROR_DIAL_ALREADY_IN_PROGRESS = 756,
    ERROR_NO_SECRETS = 800, // the service asked for a password and none was given
};

// Entry names are equal when their bytes are, with only a-z and A-Z folded to one case; a zero
// byte ends a name.
bool SameEntryName(std::string_view A, std::string_view B);

// Text of a code in the program's language (UTF-8); never empty.
std::string ErrorText(RasError Code);

// The type-0 dial-state notifier: message, state, error code.
using RasDialFunc = void (*)(std::uint32_t unMsg, RASCONNSTATE rasconnstate, std::uint32_t dwError);

struct RasEntryName {
    std::string szEntryName;
};

struct RasConnection {
    HRASCONN hrasconn = 0;
    std::string szEntryName;
    std::string szDeviceType;
    std::string szDeviceName;
};

struct RasDialParams {
    std::string szEntryName;
    std::string szPhoneNumber;    // empty: the phonebook's number
    std::string szCallbackNumber; // "*": the phonebook's callback number
    std::string szUserName;
    std::string szPassword;
    std::string szDomain; // "*": the phonebook's domain
};

} // namespace ras

#pragma once

// The rules of the device commands: which devices may receive each command, what is sent
// to them (short frames, the binary frames older agents take, the configuration text newer
// agents take), the sentences of the audit trail and the summaries the administrator reads.
//
// Plain functions: the main window asks, loops and delegates here. Nothing in this file
// touches a socket, a widget or the configuration store.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

#include "versions.h"

namespace commands {

// ---- devices ---------------------------------------------------------------------------

// What the rules read of a device record.
struct DeviceFacts
{
    QString serial;
    QString hostname;
    QString clientVersion;
    QString firmwareVersion;
    int firmwareType = 0;
    int bootMode = 0; // 0 offline, 2 normal, 3 maintenance
    bool online = false;
    bool printServer = false;
    bool pxeServer = false;
    bool beacon = false;
    QString macAddress; // "aa:bb:cc:dd:ee:ff"
    QString ipAddress;  // dotted, the last address the device reported
    QString netmask;    // dotted
};

constexpr int BootOffline = 0;
constexpr int BootNormal = 2;
constexpr int BootMaintenance = 3;

using ::versionAtLeast;
inline int majorVersion(const QString& version)
{
    return versionMajor(version);
}

// Agents of major version 8 and later take settings as configuration text; older ones the
// binary frame of the same type.
bool takesConfigurationText(const DeviceFacts& device);
// Configuration messages to agents from 8.4.0 on are compressed.
bool takesCompressedConfiguration(const DeviceFacts& device);

// ---- eligibility -------------------------------------------------------------------------

bool canRestartMode(const DeviceFacts& device);         // normal mode, agent 8.4.0+
bool canWake(const DeviceFacts& device);                // offline, agent 8.4.5+, x86 wired, address known
bool canRebootOrPowerOff(const DeviceFacts& device);    // agent 8.2.0+
bool canSetRemoteTriggering(const DeviceFacts& device); // agent 8.0.1+, firmware 4.6.0+
// Agent 8.3.0+ and firmware 4.8.2 up to below 4.9.0, or 4.10.0+ (VNC server and beacon).
bool canSetVncServer(const DeviceFacts& device);
bool canSetBeacon(const DeviceFacts& device);
bool canSetResetState(const DeviceFacts& device); // agent 8.1.0+
// PXE server: firmware types 2, 9 and 10, and 11 with an agent of major version 8+.
bool canConfigurePxe(const DeviceFacts& device);
// Raspberry Pi models: firmware types 11 to 14.
bool isRaspberryPi(int firmwareType);

enum class Maintenance
{
    Enter,
    Exit
};
// Entering skips devices already in maintenance mode; leaving skips those in normal mode.
bool needsMaintenanceChange(Maintenance operation, const DeviceFacts& device);

// The questions asked before a device that serves others goes down, in the order print
// server, PXE boot server, beacon.
enum class Interruption
{
    Reboot,
    PowerOff,
    Maintenance
};
struct InterruptionWarning
{
    QString title;
    QString text;
    QString acknowledgement; // audit sentence when the administrator goes ahead
};
QList<InterruptionWarning> interruptionWarnings(Interruption kind, const DeviceFacts& device);

// ---- values --------------------------------------------------------------------------------

// "yes" or "no".
QByteArray yesNo(bool on);
// One configuration line: key, "=", the value as given, LF (values go through configValue
// first when they come from the administrator or a device).
QByteArray settingLine(const char* key, const QByteArray& value);

// A value for a configuration line or an lp-string: Latin-1, with line breaks, NULs and other
// control characters removed so a value can never end its line and start another setting.
QByteArray configValue(const QString& value);
// True when every character has a Latin-1 byte (passwords must arrive unchanged).
bool isLatin1(const QString& text);

// ---- frames and texts ------------------------------------------------------------------------

QByteArray refreshFrame();                   // short frame 5 (the device reports itself again)
QByteArray resetToDefaultsFrame();           // short frame 27
QByteArray restartModeFrame();               // short frame 69
QByteArray rebootFrame(bool powerOff);       // short frame 1, or 63 to power off
QByteArray maintenanceFrame(Maintenance op); // short frame 13 (enter) or 50 (exit)
// Type 57, code 0, length 1: 0 = reset to the current settings, 1 = to factory defaults.
QByteArray resetStateFrame(bool factoryDefaults);

QByteArray logLevelFrame(bool debug); // type 31, one byte: 1 debug, 0 quiet
QByteArray logLevelText(bool debug);  // "log_level=2" or "log_level=0"
QByteArray powersaveFrame(bool enabled);
QByteArray powersaveText(bool enabled);
QByteArray hostnameFrame(const QString& name); // type 28, lp-string
QByteArray hostnameText(const QString& name);
QByteArray descriptionFrame(const QString& text); // type 6, lp-string
QByteArray descriptionText(const QString& text);

// Restricted features: the MD5 of the Latin-1 password as 32 lower-case hex digits; an empty
// digest switches the password off.
QByteArray restrictedPasswordDigest(const QString& password);
QByteArray restrictedPasswordFrame(const QByteArray& digest); // type 35, lp-string
QByteArray restrictedPasswordText(const QByteArray& digest);
constexpr int RestrictedPasswordMinLength = 6;

QByteArray remoteTriggeringText(bool enabled); // category 56
QByteArray beaconText(bool enabled);           // category 67
// Category 64; the password travels as the Base64 of its Latin-1 bytes.
QByteArray vncText(bool enabled, const QString& password);
// The stored password back from its Base64 form: UTF-8 when the bytes are valid UTF-8,
// otherwise Latin-1 (what this server writes), so a stored password is never garbled.
QString vncPasswordFromStored(const QByteArray& base64);
QByteArray shadowingText(const QString& host, const QString& port, bool viewOnly); // category 66

struct PxeSettings
{
    bool enabled = false;
    bool pxeOnly = true;
    QString rangeLow, rangeHigh, subnet, netmask;
    bool diskless = false;
};
QByteArray pxeText(const PxeSettings& pxe); // category 37
// Older agents: type 37, code 2, the power-saving byte, the enabled byte and, when enabled,
// the PXE-only byte, the four addresses as lp-strings and the mode byte (0 diskless,
// 1 provision). The power-saving byte carries the device's current setting, so configuring
// the PXE server leaves power saving as it was.
QByteArray pxeLegacyFrame(const PxeSettings& pxe, bool powersave);

// Discovery method: 0 UDP broadcast, 1 auto, 2 static, 3 DHCP.
struct DiscoverySettings
{
    int mode = 1;
    QString host;
    QString port;
    QString retryInterval;
};
// The method a device uses according to its settings: the index of rvx_discovery_mode, else
// the number in rvx_server_mode, and 1 when that is not a number or above 3.
int discoveryMode(const QByteArray& discoveryModeName, const QByteArray& serverMode);
// The beacon can only run on a device that finds the server by the static method.
bool beaconAllowed(const QByteArray& discoveryModeName, const QByteArray& serverMode);
QByteArray discoveryText(const DiscoverySettings& settings); // category 30
// Older agents: type 30, code 1, the mode byte, for auto and static the host and port as
// lp-strings, then the retry interval as a 16-bit number.
QByteArray discoveryLegacyFrame(const DiscoverySettings& settings);

// USB redirection. The devices numbered for rdp ("usb_redir_devN", ":" written as "_") from
// a text holding such lines, in number order, with "_" turned back into ":".
QStringList numberedRedirections(const QByteArray& text);
// The highest N of a non-empty "usb_redir_devN" line of the text (0 when none).
int highestRedirectionNumber(const QByteArray& text);
// Category 44 text for the device's protocol: for rdp first the numbered lines (numbers from
// the new list's end up to previousHighest are sent empty), then "<protocol>_usb_redirections"
// and "<protocol>_usb_redir_denied" with the ids separated by single blanks.
QByteArray usbRedirectionText(const QByteArray& protocol, const QStringList& redirected,
                              const QStringList& denied, int previousHighest);
// Older agents: type 44, code 0, a 16-bit count of ids, then the ids as lp-strings.
QByteArray usbRedirectionLegacyFrame(const QStringList& redirected);

// Requests that make a device send lists or files.
QByteArray usbListRequest();        // short frame 43
QByteArray ssidListRequest();       // short frame 65
QByteArray resolutionListRequest(); // short frame 59
QByteArray localeListRequest();     // short frame 61
QByteArray keyboardOptionRequest(); // short frame 62
QByteArray piConfigRequest();       // short frame 68

// ---- external programs ------------------------------------------------------------------------

// The wake tool's arguments: MAC address without colons, last IPv4 address, netmask, port 9.
QStringList wakeArguments(const DeviceFacts& device);
// PuTTY: the saved session "zylos" as root on the device's address.
QStringList sshArguments(const DeviceFacts& device);

// ---- audit trail -----------------------------------------------------------------------------

// The sentence the common sender writes for a frame (by its type byte), ending with the serial
// number; nothing for the requests that change nothing.
std::optional<QString> sendCommandSentence(const QByteArray& frame, const QString& serial);

enum class Action
{
    RestartMode,
    Wake,
    Reboot,
    PowerOff,
    EnterMaintenance,
    ExitMaintenance,
    EnableRemoteTriggering,
    DisableRemoteTriggering,
    EnableBeacon,
    DisableBeacon,
    EnableVnc,
    DisableVnc,
    CustomResetState,
    FactoryResetState,
    Delete,
    Shadowing,
    PxeEnabled,
    UsbRedirection,
    Ssh,
};
QString actionSentence(Action action, const QString& serial);

// ---- summaries -------------------------------------------------------------------------------

enum class Summary
{
    RestartMode,      // only when devices were ignored
    Wake,             // only when devices were ignored
    Reboot,           // only when devices were ignored
    RemoteTriggering, // always
    VncOrBeacon,      // always
    ResetState,       // only when devices were ignored
};
// The text of the summary box; nothing when no box is shown.
std::optional<QString> summaryText(Summary kind, int sent, int ignored);
// "The command was sent to N device(s)."
QString sentText(int sent);

} // namespace commands

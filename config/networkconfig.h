#pragma once

// The network settings of one device: firewall, DNS, the wired interface (addressing,
// Wake-on-LAN, 802.1X) and the wireless interface (addressing, network name, security).
//
// Plain functions: the configuration texts (categories 36 and 29), the frames older agents
// take, validation of what the administrator entered, the version gates, the wireless
// network list an agent reports, and the audit sentences. The network dialog reads the
// device's values and hands back a NetworkSettings; nothing here touches a widget or a socket.

#include "commands.h"
#include "delivery.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace netconfig {

// ---- choices -----------------------------------------------------------------------------

// An entry of a combo box: the text shown and the configuration value behind it.
struct Choice
{
    const char* label;
    const char* value;
};

// nic_dhcp_enabled and nic_wireless_dhcp_enabled: "Static" = "no", "DHCP" = "yes",
// "DHCP with DNS override" = "yesignoredns".
inline constexpr char Static[] = "no";
inline constexpr char Dhcp[] = "yes";
inline constexpr char DhcpOwnDns[] = "yesignoredns";
QList<Choice> addressingChoices();
// nic_security: none, 802.1X with a password or a certificate, or the device's own
// supplicant configuration.
QList<Choice> wiredSecurityChoices();
// nic_wireless_security: none, WEP, WPA2 and WPA3 personal, WPA2 enterprise.
QList<Choice> wirelessSecurityChoices();

// ---- settings ------------------------------------------------------------------------------

struct NetworkSettings
{
    bool firewall = true;
    QString dns1, dns2, dsPath;

    bool wiredEnabled = true;
    QString wiredAddressing = QString::fromLatin1(Dhcp);
    QString wiredIp, wiredNetmask, wiredGateway; // kept only for static addressing
    bool wakeOnLan = false;
    QString wiredSecurity = QStringLiteral("none");
    QString wiredUser, wiredPassword;
    QString wiredCertificate; // the installed certificate bundle's file name, or empty

    bool wirelessEnabled = false;
    QString wirelessAddressing = QString::fromLatin1(Dhcp);
    QString wirelessIp, wirelessNetmask, wirelessGateway;
    QString ssid;
    QString wirelessSecurity = QStringLiteral("none");
    QString wirelessPassword, wirelessUser;
    QString wirelessCertificate;

    QString hostname; // the device's current host name, sent last so it stays as it is
};

// ---- validation ------------------------------------------------------------------------------

// A dotted IPv4 address: exactly four decimal numbers 0 to 255 separated by dots, nothing
// else (the short forms "10.1" or "192.168.1" that some parsers accept are refused, since
// the text itself goes to the device).
bool isIPv4Address(const QString& text);

// Title of the boxes that report invalid input.
QString validationTitle(); // "Input validation"
// The first thing wrong with the settings, as the text of the warning box; nothing when
// they may be sent. Addresses are checked as given (the dialog trims them).
std::optional<QString> validationError(const NetworkSettings& settings);

// The texts that travel on the wire with a name for the Latin-1 refusal ("password",
// "wireless network name", ...), in the order the dialog checks them.
QList<QPair<QString, QString>> wireTexts(const NetworkSettings& settings);

// ---- texts and frames ----------------------------------------------------------------------

// The certificate paths use the bundle's file name with its last "." replaced by "_".
QByteArray certificateStem(const QString& name);
// A name an installed file may have (ASCII letters, digits, "_", ".", ",", "-" and ":"), so
// a certificate name can never lead its paths out of the certificate folders.
bool isCertificateName(const QString& name);

QByteArray firewallText(bool enabled); // category 36
// Older agents: type 36, code 0, one byte.
QByteArray firewallLegacyFrame(bool enabled);
QString firewallSentence(bool enabled, const QString& serial);

// Category 29: DNS and search path, the wired interface, the wireless interface, and last the
// device's host name. Passwords travel as the Base64 of their Latin-1 bytes; every other
// value is one line (line breaks and control characters are dropped).
QByteArray networkText(const NetworkSettings& settings);
// Older agents: type 29, code 1: the same values as lp-strings in the same order as far as
// those agents know them (addressing of both interfaces, network name, wireless security and
// password in clear), then the wireless enterprise user name (NUL-terminated), the wireless
// certificate name (lp-string) and the host name (NUL-terminated). Wake-on-LAN and wired
// 802.1X are unknown to them.
QByteArray networkLegacyFrame(const NetworkSettings& settings);
QString networkSentence(const QString& serial);

// Firewall, then network, each as the device takes it.
QList<delivery::Message> messages(const commands::DeviceFacts& device, const NetworkSettings& settings);

// ---- device ---------------------------------------------------------------------------------

// Wake-on-LAN can be set on x86 devices (firmware types 2 to 4, 9 and 10) with agent 8.4.5
// and firmware 5.0.3 or later.
bool canSetWakeOnLan(const commands::DeviceFacts& device);
// The code of the network status request an agent understands: 1 from 8.4.6 on (the answer
// carries the search path), 0 from 8.4.0 on; older agents get none.
std::optional<quint8> networkInfoRequestCode(const QString& clientVersion);
// The wireless network list is asked for when the device's wireless interface is on.
bool wantsWirelessList(const QByteArray& wirelessEnabled);

// ---- wireless networks an agent reports ------------------------------------------------------

// One entry of the agent's list: the network name, then, separated by tabs, the channel, the
// signal quality (of 70) and the encryption ("off" or empty: an open network). An entry
// without tabs is a bare name.
struct WirelessNetwork
{
    QString ssid;
    QString channel;
    QString quality;
    bool open = false;
    bool detailed = false; // channel and quality were reported
};
// The entries worth listing: a network whose name is only "\x00" sequences (a hidden one)
// or empty is dropped; a name reported twice is listed once.
QList<WirelessNetwork> visibleNetworks(const QStringList& reported);
// The combo box text: the name padded to a column of nameWidth characters and two blanks,
// then "channel C, quality Q/70", with "open, " before it for a network without encryption;
// a bare name as it is.
QString networkLabel(const WirelessNetwork& network, int nameWidth = 32);

} // namespace netconfig

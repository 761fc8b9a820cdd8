#include "networkconfig.h"

#include "wire.h"

#include <QRegularExpression>
#include <QSet>

namespace netconfig {

namespace {

using commands::settingLine;
using commands::yesNo;

QByteArray value(const QString& text)
{
    return commands::configValue(text);
}

QByteArray password(const QString& text)
{
    return text.toLatin1().toBase64();
}

bool isStatic(const QString& addressing)
{
    return addressing == QLatin1String(Static);
}

bool sameText(const QString& a, const char* b)
{
    return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

std::optional<QString> dnsError(const NetworkSettings& s)
{
    if (s.dns1.isEmpty())
        return QStringLiteral("You must enter a value for DNS1.");
    if (!isIPv4Address(s.dns1))
        return QStringLiteral("\nYou entered an invalid IP address for DNS1.");
    if (!s.dns2.isEmpty() && !isIPv4Address(s.dns2))
        return QStringLiteral("\nYou entered an invalid IP address for DNS2.");
    return std::nullopt;
}

bool isHexadecimal(const QString& text)
{
    for (const QChar c : text) {
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const bool upper = c >= QLatin1Char('A') && c <= QLatin1Char('F');
        const bool lower = c >= QLatin1Char('a') && c <= QLatin1Char('f');
        if (!digit && !upper && !lower)
            return false;
    }
    return true;
}

// The three key and certificate paths of an installed bundle.
QByteArray certificateLines(const char* prefix, const QString& certificate)
{
    const QByteArray stem = certificateStem(certificate);
    const QByteArray p(prefix);
    return p + "_radius_privkey=/etc/ssl/private/" + stem + ".key\n" + p + "_radius_pubkey=/etc/ssl/certs/" +
           stem + ".crt\n" + p + "_radius_cacert=/etc/ssl/certs/" + stem + "-ca.crt\n";
}

QByteArray lp(const QString& text)
{
    return wire::lpString(value(text));
}

// Address, netmask and gateway as lp-strings; empty ones unless the addressing is static.
QByteArray addresses(bool fixed, const QString& ip, const QString& netmask, const QString& gateway)
{
    if (!fixed)
        return QByteArray(wire::lpString({}) + wire::lpString({}) + wire::lpString({}));
    return QByteArray(lp(ip) + lp(netmask) + lp(gateway));
}

} // namespace

// ---- choices -----------------------------------------------------------------------------

QList<Choice> addressingChoices()
{
    return {{"Static", Static}, {"DHCP", Dhcp}, {"DHCP with DNS override", DhcpOwnDns}};
}

QList<Choice> wiredSecurityChoices()
{
    return {{"None", "none"},
            {"802.1X (password)", "8021x_password"},
            {"802.1X (certificate)", "8021x_certificate"},
            {"DIY (use wpa_supplicant.conf)", "diy"}};
}

QList<Choice> wirelessSecurityChoices()
{
    return {{"None (INSECURE)", "none"},
            {"WEP (INSECURE)", "wep"},
            {"WPA / WPA2 Personal", "wpa2_personal"},
            {"WPA3 Personal", "wpa3_personal"},
            {"WPA2 Enterprise (password)", "wpa2_enterprise_password"},
            {"WPA2 Enterprise (certificate)", "wpa2_enterprise_certificate"},
            {"DIY (use wpa_supplicant.conf)", "diy"}};
}

// ---- validation ----------------------------------------------------------------------------

bool isIPv4Address(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        int number = 0;
        for (const QChar c : part) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
            number = number * 10 + (c.unicode() - '0');
        }
        if (number > 255)
            return false;
    }
    return true;
}

QString validationTitle()
{
    return QStringLiteral("Input validation");
}

std::optional<QString> validationError(const NetworkSettings& s)
{
    if (s.wiredEnabled) {
        if (isStatic(s.wiredAddressing)) {
            if (s.wiredIp.isEmpty() || s.wiredNetmask.isEmpty() || s.wiredGateway.isEmpty() ||
                s.dns1.isEmpty())
                return QStringLiteral(
                    "On the wired network, you must enter values for IP, Netmask, Gateway and DNS1.");
            if (!isIPv4Address(s.wiredIp) || !isIPv4Address(s.wiredNetmask) || !isIPv4Address(s.wiredGateway))
                return QStringLiteral("\nYou entered an invalid IP address on the wired network.");
            if (auto error = dnsError(s))
                return error;
        } else if (s.wiredAddressing == QLatin1String(DhcpOwnDns)) {
            if (auto error = dnsError(s))
                return error;
        }
        if (!sameText(s.wiredSecurity, "none")) {
            if (s.wiredUser.isEmpty())
                return QStringLiteral("\nYou must specify a username for 802.1X authentication.");
            if (s.wiredSecurity == QLatin1String("8021x_password") && s.wiredPassword.isEmpty())
                return QStringLiteral("\nYou must enter a password for 802.1X authentication.");
        }
    }

    if (s.wirelessEnabled) {
        if (isStatic(s.wirelessAddressing)) {
            if (s.wirelessIp.isEmpty() || s.wirelessNetmask.isEmpty() || s.wirelessGateway.isEmpty())
                return QStringLiteral(
                    "On the wireless network, you must enter values for IP, Netmask, Gateway and DNS1.");
            if (!isIPv4Address(s.wirelessIp) || !isIPv4Address(s.wirelessNetmask) ||
                !isIPv4Address(s.wirelessGateway))
                return QStringLiteral(
                    "You entered an invalid value for IP, Netmask, Gateway or DNS1 on the wireless network.");
            if (auto error = dnsError(s))
                return error;
        } else if (s.wirelessAddressing == QLatin1String(DhcpOwnDns)) {
            if (auto error = dnsError(s))
                return error;
        }
        const QString& security = s.wirelessSecurity;
        if (security != QLatin1String("diy") && s.ssid.isEmpty())
            return QStringLiteral("\nYou must enter or select a value for wireless SSID.");
        const bool needsPassword = security == QLatin1String("wep") ||
                                   security == QLatin1String("wpa2_personal") ||
                                   security == QLatin1String("wpa3_personal") ||
                                   security == QLatin1String("wpa2_enterprise_password");
        if (needsPassword && s.wirelessPassword.isEmpty())
            return QStringLiteral("\nYou must enter a value for wireless password.");
        if (security == QLatin1String("wep")) {
            const int length = s.wirelessPassword.size();
            if (length != 10 && length != 26)
                return QStringLiteral(
                    "\nIn WEP mode, the wireless password MUST be 10 or 26 characters long and can contain "
                    "only hexadecimal characters A-F, a-f or 0-9.");
            if (!isHexadecimal(s.wirelessPassword))
                return QStringLiteral(
                    "\nIn WEP mode, the wireless password can contain only hexadecimal characters A-F, a-f "
                    "or 0-9.");
        }
        if (security.startsWith(QLatin1String("wpa2_enterprise")) && s.wirelessUser.isEmpty())
            return QStringLiteral("\nYou must specify a username for WPA2 Enterprise authentication.");
    }
    return std::nullopt;
}

QList<QPair<QString, QString>> wireTexts(const NetworkSettings& s)
{
    QList<QPair<QString, QString>> texts;
    texts.append({QStringLiteral("DNS search path"), s.dsPath});
    if (s.wiredEnabled) {
        texts.append({QStringLiteral("802.1X username"), s.wiredUser});
        texts.append({QStringLiteral("802.1X password"), s.wiredPassword});
    }
    if (s.wirelessEnabled) {
        texts.append({QStringLiteral("wireless network name"), s.ssid});
        texts.append({QStringLiteral("wireless password"), s.wirelessPassword});
        texts.append({QStringLiteral("WPA2 Enterprise username"), s.wirelessUser});
    }
    return texts;
}

// ---- texts and frames ------------------------------------------------------------------------

QByteArray certificateStem(const QString& name)
{
    QByteArray stem = value(name);
    const int dot = stem.lastIndexOf('.');
    if (dot >= 0)
        stem[dot] = '_';
    return stem;
}

bool isCertificateName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_.,:-]+$"));
    return pattern.match(name).hasMatch();
}

QByteArray firewallText(bool enabled)
{
    return settingLine("firewall_enabled", yesNo(enabled));
}

QByteArray firewallLegacyFrame(bool enabled)
{
    return wire::frame(msg::Type::Firewall, 0, QByteArray(1, enabled ? char(1) : char(0)));
}

QString firewallSentence(bool enabled, const QString& serial)
{
    return (enabled ? QStringLiteral("enabled") : QStringLiteral("disabled")) +
           QStringLiteral(" the firewall on ") + serial;
}

QByteArray networkText(const NetworkSettings& s)
{
    QByteArray text = settingLine("dns1", value(s.dns1)) + settingLine("dns2", value(s.dns2)) +
                      settingLine("dspath", value(s.dsPath)) +
                      settingLine("nic_enabled", yesNo(s.wiredEnabled));
    if (s.wiredEnabled) {
        const bool fixed = isStatic(s.wiredAddressing);
        text += settingLine("nic_dhcp_enabled", value(s.wiredAddressing));
        text += settingLine("nic_ip", fixed ? value(s.wiredIp) : QByteArray());
        text += settingLine("nic_netmask", fixed ? value(s.wiredNetmask) : QByteArray());
        text += settingLine("nic_gateway", fixed ? value(s.wiredGateway) : QByteArray());
        text += settingLine("nic_wol_enabled", yesNo(s.wakeOnLan));
        text += settingLine("nic_security", value(s.wiredSecurity));
        if (!sameText(s.wiredSecurity, "none")) {
            text += settingLine("nic_radius_username", value(s.wiredUser));
            if (!s.wiredCertificate.contains(QLatin1Char('.')))
                text += settingLine("nic_password", password(s.wiredPassword));
            else
                text += certificateLines("nic", s.wiredCertificate);
        }
    }
    text += settingLine("nic_wireless_enabled", yesNo(s.wirelessEnabled));
    if (s.wirelessEnabled) {
        const bool fixed = isStatic(s.wirelessAddressing);
        text += settingLine("nic_wireless_dhcp_enabled", value(s.wirelessAddressing));
        text += settingLine("nic_wireless_ip", fixed ? value(s.wirelessIp) : QByteArray());
        text += settingLine("nic_wireless_netmask", fixed ? value(s.wirelessNetmask) : QByteArray());
        text += settingLine("nic_wireless_gateway", fixed ? value(s.wirelessGateway) : QByteArray());
        text += settingLine("nic_wireless_ssid", value(s.ssid));
        text += settingLine("nic_wireless_security", value(s.wirelessSecurity));
        text += settingLine("nic_wireless_password", password(s.wirelessPassword));
        text += settingLine("nic_wireless_radius_username", value(s.wirelessUser));
        if (s.wirelessCertificate.contains(QLatin1Char('.')))
            text += certificateLines("nic_wireless", s.wirelessCertificate);
    }
    text += settingLine("brd_hostname", value(s.hostname));
    return text;
}

QByteArray networkLegacyFrame(const NetworkSettings& s)
{
    QByteArray payload = lp(s.dns1) + lp(s.dns2) + lp(s.dsPath) + wire::lpString(yesNo(s.wiredEnabled));
    if (s.wiredEnabled) {
        const bool fixed = isStatic(s.wiredAddressing);
        payload += lp(s.wiredAddressing);
        payload += addresses(fixed, s.wiredIp, s.wiredNetmask, s.wiredGateway);
    }
    payload += wire::lpString(yesNo(s.wirelessEnabled));
    if (s.wirelessEnabled) {
        const bool fixed = isStatic(s.wirelessAddressing);
        payload += lp(s.wirelessAddressing);
        payload += addresses(fixed, s.wirelessIp, s.wirelessNetmask, s.wirelessGateway);
        payload += lp(s.ssid) + lp(s.wirelessSecurity);
        // In clear: these agents keep the Base64 form themselves.
        payload += wire::lpString(s.wirelessPassword.toLatin1());
    }
    payload += value(s.wirelessUser) + '\0';
    payload += lp(s.wirelessCertificate);
    payload += value(s.hostname) + '\0';
    return wire::frame(msg::Type::Network, 1, payload);
}

QString networkSentence(const QString& serial)
{
    return QStringLiteral("configured network parameters for ") + serial;
}

QList<delivery::Message> messages(const commands::DeviceFacts& device, const NetworkSettings& settings)
{
    return {delivery::choose(device, msg::Type::Firewall, firewallText(settings.firewall),
                             firewallLegacyFrame(settings.firewall),
                             firewallSentence(settings.firewall, device.serial)),
            delivery::choose(device, msg::Type::Network, networkText(settings), networkLegacyFrame(settings),
                             networkSentence(device.serial))};
}

// ---- device ------------------------------------------------------------------------------------

bool canSetWakeOnLan(const commands::DeviceFacts& device)
{
    const int t = device.firmwareType;
    const bool x86 = (t >= 2 && t <= 4) || t == 9 || t == 10;
    return x86 && commands::versionAtLeast(device.clientVersion, 8, 4, 5) &&
           commands::versionAtLeast(device.firmwareVersion, 5, 0, 3);
}

std::optional<quint8> networkInfoRequestCode(const QString& clientVersion)
{
    if (commands::versionAtLeast(clientVersion, 8, 4, 6))
        return quint8(1);
    if (commands::versionAtLeast(clientVersion, 8, 4, 0))
        return quint8(0);
    return std::nullopt;
}

bool wantsWirelessList(const QByteArray& wirelessEnabled)
{
    return wirelessEnabled == "yes";
}

// ---- wireless networks -------------------------------------------------------------------------

QList<WirelessNetwork> visibleNetworks(const QStringList& reported)
{
    static const QRegularExpression hidden(QStringLiteral("^(\\\\x00)+$"));
    QList<WirelessNetwork> networks;
    QSet<QString> seen;
    for (const QString& entry : reported) {
        const QStringList fields = entry.split(QLatin1Char('\t'));
        WirelessNetwork network;
        network.ssid = fields.value(0);
        if (network.ssid.isEmpty() || hidden.match(network.ssid).hasMatch() || seen.contains(network.ssid))
            continue;
        seen.insert(network.ssid);
        if (fields.size() >= 3) {
            network.detailed = true;
            network.channel = fields.at(1).trimmed();
            network.quality = fields.at(2).trimmed();
            const QString encryption = fields.value(3).trimmed();
            network.open =
                encryption.isEmpty() || encryption.compare(QLatin1String("off"), Qt::CaseInsensitive) == 0;
        }
        networks.append(network);
    }
    return networks;
}

QString networkLabel(const WirelessNetwork& network, int nameWidth)
{
    if (!network.detailed)
        return network.ssid;
    QString name = network.ssid.leftJustified(nameWidth) + QStringLiteral("  ");
    if (network.open)
        name += QStringLiteral("open, ");
    return QStringLiteral("%1channel %2, quality %3/70").arg(name, network.channel, network.quality);
}

} // namespace netconfig

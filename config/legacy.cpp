// Conversion of older agents' binary reports into configuration text.
//
// Payload layouts (after the frame header; lp = lp-string, u16 = 16-bit big-endian number):
//
//   4   lp time zone, lp time server
//   6   lp description
//   18  lp protocol P, lp server, byte auto-reconnect, byte auto-login,
//       code > 1: lp command-line arguments                       (code 0: ignored)
//   28  lp host name
//   29  lp dns1, lp dns2, lp dspath, lp nic_enabled,
//       nic_enabled "yes" (any case): lp dhcp, lp ip, lp netmask, lp gateway,
//       lp nic_wireless_enabled,
//       wireless "yes": lp dhcp, lp ip, lp netmask, lp gateway, lp ssid, lp security, lp password,
//       code > 0: NUL-terminated RADIUS user name, lp certificate name,
//       optional, to the end: NUL-terminated host name
//   34  lp kbd model, lp layout, lp variant, lp option, u16 layout index, u16 variant index,
//       u16 option index, u16 (unused),
//       code > 0: u16 Citrix layout index, lp Citrix layout, u16 num lock, u16 volume,
//                 u16 mouse sensitivity, u16 right-handed, lp audio port type,
//       code > 1: u16 on-screen keyboard (a single byte when only one is left)
//   36  byte firewall
//   37  byte power saving, byte PXE enabled,
//       PXE enabled: byte PXE only, lp range low, lp range high, lp subnet, lp netmask, byte mode
//
// Identification, type 5, codes 3 to 6 (every text an lp-string):
//
//   identity     serial number, MAC address, hardware model name, IPv4 address (dotted),
//                host name, firmware version, agent version, kernel version
//   description
//   application  protocol (empty: "netop"), server, command-line arguments
//   time         time server, time zone
//   discovery    RVX server host name, RVX server port
//   network      exactly as the type 29 payload up to and including the wireless group
//                (no RADIUS part, no trailing host name)
//   keyboard     model, layout, variant, option
//   switches     byte firewall, byte power saving, byte PXE enabled, byte PXE only,
//                lp range low, lp range high, lp subnet, lp netmask (PXE fields always present),
//                code 6: byte PXE mode
//   numbers      u16 boot mode, u16 discovery mode, byte auto-login, byte auto-reconnect
//
// A payload that ends before a field the layout requires is refused: nothing is converted.
// Every value is one line: a value is cut at its first CR or LF, so that a report cannot add
// lines (keys) of its own to the configuration text.

#include "legacy.h"
#include "commands.h"
#include "configlib.h"
#include "wire.h"

#include <QList>

namespace {

using commands::yesNo;

QByteArray oneLine(const QByteArray& value)
{
    int end = value.size();
    for (int i = 0; i < value.size(); ++i) {
        if (value.at(i) == '\n' || value.at(i) == '\r') {
            end = i;
            break;
        }
    }
    return value.left(end);
}

class TextBuilder
{
public:
    void line(const QByteArray& key, const QByteArray& value)
    {
        m_text.append(key);
        m_text.append('=');
        m_text.append(oneLine(value));
        m_text.append('\n');
    }
    QByteArray text() const { return m_text; }

private:
    QByteArray m_text;
};

// The RADIUS key paths: the certificate name with its last "." replaced by "_".
QByteArray certificateStem(const QByteArray& name)
{
    QByteArray stem = oneLine(name);
    const int dot = stem.lastIndexOf('.');
    if (dot >= 0)
        stem[dot] = '_';
    return stem;
}

// The network settings shared by type 29 and identification, up to the wireless group.
void readNetwork(wire::PayloadReader& in, TextBuilder& out)
{
    out.line("dns1", in.lpString());
    out.line("dns2", in.lpString());
    out.line("dspath", in.lpString());
    const QByteArray nicEnabled = in.lpString();
    out.line("nic_enabled", nicEnabled);
    if (oneLine(nicEnabled).toLower() == "yes") {
        out.line("nic_dhcp_enabled", in.lpString());
        out.line("nic_ip", in.lpString());
        out.line("nic_netmask", in.lpString());
        out.line("nic_gateway", in.lpString());
    }
    const QByteArray wirelessEnabled = in.lpString();
    out.line("nic_wireless_enabled", wirelessEnabled);
    if (oneLine(wirelessEnabled).toLower() == "yes") {
        out.line("nic_wireless_dhcp_enabled", in.lpString());
        out.line("nic_wireless_ip", in.lpString());
        out.line("nic_wireless_netmask", in.lpString());
        out.line("nic_wireless_gateway", in.lpString());
        out.line("nic_wireless_ssid", in.lpString());
        out.line("nic_wireless_security", in.lpString());
        out.line("nic_wireless_password", in.lpString().toBase64());
    }
}

// A dotted IPv4 address in host byte order; nothing unless it is four decimal numbers 0 to 255.
std::optional<quint32> parseIPv4(const QByteArray& text)
{
    const QList<QByteArray> parts = text.trimmed().split('.');
    if (parts.size() != 4)
        return std::nullopt;
    quint32 address = 0;
    for (const QByteArray& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return std::nullopt;
        for (char c : part) {
            if (c < '0' || c > '9')
                return std::nullopt;
        }
        const int value = part.toInt();
        if (value > 255)
            return std::nullopt;
        address = (address << 8) | static_cast<quint32>(value);
    }
    return address;
}

QString latin1(const QByteArray& text)
{
    return QString::fromLatin1(oneLine(text));
}

std::optional<LegacyReport> convertIdentification(quint8 code, const QByteArray& payload)
{
    wire::PayloadReader in(payload);
    LegacyReport report;
    report.category = CATEGORY_ALL;
    report.storeBlock = true;
    TextBuilder out;

    const QByteArray serial = in.lpString();
    const QByteArray mac = in.lpString();
    const QByteArray hardware = in.lpString();
    const QByteArray address = in.lpString();
    const QByteArray hostname = in.lpString();
    const QByteArray firmware = in.lpString();
    const QByteArray client = in.lpString();
    const QByteArray kernel = in.lpString();
    const QByteArray description = in.lpString();
    QByteArray protocol = oneLine(in.lpString());
    if (protocol.isEmpty())
        protocol = "netop";
    const QByteArray server = in.lpString();
    const QByteArray cmdline = in.lpString();
    const QByteArray timeServer = in.lpString();
    const QByteArray timezone = in.lpString();
    const QByteArray rvxHost = oneLine(in.lpString());
    const QByteArray rvxPort = oneLine(in.lpString());

    out.line("description", description);
    out.line("connection_type", protocol);
    out.line(protocol + "_server", server);
    out.line("time_server", timeServer);
    out.line("brd_hostname", hostname);
    out.line("timezone", timezone);
    out.line(protocol + "_cmdline_args", cmdline);
    out.line("rvx_server_hostname", rvxHost);
    out.line("rvx_server_port", rvxPort);
    out.line("rvx_server_defined", yesNo(!rvxHost.isEmpty() && !rvxPort.isEmpty()));
    readNetwork(in, out);
    out.line("kbd_model", in.lpString());
    out.line("kbd_layout", in.lpString());
    out.line("kbd_variant", in.lpString());
    out.line("kbd_option", in.lpString());
    const bool firewall = in.byte() != 0;
    const bool powersave = in.byte() != 0;
    const bool pxeEnabled = in.byte() != 0;
    const bool pxeOnly = in.byte() != 0;
    const QByteArray rangeLow = in.lpString();
    const QByteArray rangeHigh = in.lpString();
    const QByteArray subnet = in.lpString();
    const QByteArray netmask = in.lpString();
    const int pxeMode = code == 6 ? in.byte() : -1;
    const quint16 bootMode = in.u16();
    const quint16 discovery = in.u16();
    const bool autologin = in.byte() != 0;
    const bool autoReconnect = in.byte() != 0;
    if (!in.ok())
        return std::nullopt;

    out.line("firewall_enabled", yesNo(firewall));
    out.line("powersave", yesNo(powersave));
    out.line("pxe_server_enabled", yesNo(pxeEnabled));
    out.line("pxe_server_pxe_only", yesNo(pxeOnly));
    out.line("pxe_server_range_low", rangeLow);
    out.line("pxe_server_range_high", rangeHigh);
    // The message carries the PXE subnet and netmask too; they are kept so that the stored
    // configuration does not lose them.
    out.line("pxe_server_subnet", subnet);
    out.line("pxe_server_netmask", netmask);
    out.line("rvx_server_mode", QByteArray::number(discovery));
    out.line("rvx_discovery_mode", discovery < DISCOVERY_MODE_COUNT ? config_discovery_mode_name(discovery)
                                                                    : QByteArrayLiteral("auto"));
    out.line(protocol + "_autologin_enabled", yesNo(autologin));
    out.line(protocol + "_auto_reconnect", yesNo(autoReconnect));
    if (pxeMode >= 0)
        out.line("pxe_server_mode", QByteArray::number(pxeMode));
    report.text = out.text();

    report.serialNumber = latin1(serial);
    report.macAddress = latin1(mac);
    report.firmwareVersion = latin1(firmware);
    report.clientVersion = latin1(client);
    report.kernelVersion = latin1(kernel);
    report.hostname = latin1(hostname).left(39);
    report.description = latin1(description).left(63);
    const int hardwareIndex = config_hardware_index(oneLine(hardware));
    if (hardwareIndex >= 0)
        report.firmwareType = static_cast<quint8>(hardwareIndex);
    report.ipAddress = parseIPv4(oneLine(address));
    report.protocolType = static_cast<quint8>(config_protocol_index(protocol));
    report.pxeServerEnabled = pxeEnabled;
    report.bootMode = static_cast<quint8>(bootMode);
    return report;
}

} // namespace

std::optional<LegacyReport> legacy_convert(quint8 type, quint8 code, const QByteArray& payload)
{
    wire::PayloadReader in(payload);
    LegacyReport report;
    report.category = type;
    TextBuilder out;

    switch (static_cast<msg::Type>(type)) {
    case msg::Type::TimeZone:
        out.line("timezone", in.lpString());
        out.line("time_server", in.lpString());
        break;
    case msg::Type::Identification:
        if (code < 3 || code > 6)
            return std::nullopt;
        return convertIdentification(code, payload);
    case msg::Type::Description: {
        const QByteArray description = in.lpString();
        out.line("description", description);
        report.description = latin1(description).left(63);
        report.storeBlock = true;
        break;
    }
    case msg::Type::ApplicationMode: {
        if (code == 0)
            return std::nullopt;
        const QByteArray protocol = oneLine(in.lpString());
        const QByteArray server = in.lpString();
        const bool autoReconnect = in.byte() != 0;
        const bool autologin = in.byte() != 0;
        out.line("connection_type", protocol);
        out.line(protocol + "_server", server);
        out.line(protocol + "_auto_reconnect", yesNo(autoReconnect));
        out.line(protocol + "_autologin_enabled", yesNo(autologin));
        if (code > 1)
            out.line(protocol + "_cmdline_args", in.lpString());
        report.protocolType = static_cast<quint8>(config_protocol_index(protocol));
        report.storeBlock = true;
        break;
    }
    case msg::Type::Hostname: {
        const QByteArray hostname = in.lpString();
        out.line("brd_hostname", hostname);
        report.hostname = latin1(hostname).left(39);
        report.storeBlock = true;
        break;
    }
    case msg::Type::Network: {
        readNetwork(in, out);
        if (code > 0) {
            out.line("nic_wireless_radius_username", in.cString());
            const QByteArray stem = certificateStem(in.lpString());
            out.line("nic_wireless_radius_privkey", "/etc/ssl/private/" + stem + ".key");
            out.line("nic_wireless_radius_pubkey", "/etc/ssl/certs/" + stem + ".crt");
            out.line("nic_wireless_radius_cacert", "/etc/ssl/certs/" + stem + "-ca.crt");
        }
        if (in.ok() && !in.atEnd()) {
            const QByteArray hostname = oneLine(in.cString());
            if (!hostname.isEmpty()) {
                out.line("brd_hostname", hostname);
                report.hostname = QString::fromLatin1(hostname).left(39);
                report.storeBlock = true;
            }
        }
        break;
    }
    case msg::Type::Peripherals:
        out.line("kbd_model", in.lpString());
        out.line("kbd_layout", in.lpString());
        out.line("kbd_variant", in.lpString());
        out.line("kbd_option", in.lpString());
        out.line("kbd_layout_index", QByteArray::number(in.u16()));
        out.line("kbd_variant_index", QByteArray::number(in.u16()));
        out.line("kbd_option_index", QByteArray::number(in.u16()));
        in.u16(); // not used
        if (code > 0) {
            out.line("kbd_citrix_layout_index", QByteArray::number(in.u16()));
            out.line("kbd_citrix_layout", in.lpString());
            out.line("num_lock_enabled", yesNo(in.u16() != 0));
            out.line("audio_volume", QByteArray::number(in.u16()));
            out.line("mouse_sensitivity", QByteArray::number(in.u16()));
            out.line("mouse_is_righthanded", yesNo(in.u16() != 0));
            out.line("audio_port_type", in.lpString());
        }
        if (code > 1) {
            // The agents write a 16-bit number; the frame the server sends them ends with one
            // byte, so a payload with a single byte left is read that way too.
            const bool onScreenKeyboard = in.remaining() == 1 ? in.byte() != 0 : in.u16() != 0;
            out.line("on_screen_kbd_enabled", yesNo(onScreenKeyboard));
        }
        break;
    case msg::Type::Firewall:
        out.line("firewall_enabled", yesNo(in.byte() != 0));
        break;
    case msg::Type::PxeServer: {
        out.line("powersave", yesNo(in.byte() != 0));
        const bool pxeEnabled = in.byte() != 0;
        if (pxeEnabled) {
            out.line("pxe_server_enabled", "yes");
            out.line("pxe_server_pxe_only", yesNo(in.byte() != 0));
            out.line("pxe_server_range_low", in.lpString());
            out.line("pxe_server_range_high", in.lpString());
            out.line("pxe_server_subnet", in.lpString());
            out.line("pxe_server_netmask", in.lpString());
            out.line("pxe_server_mode", QByteArray::number(in.byte()));
        } else {
            out.line("pxe_server_enabled", "no");
        }
        report.pxeServerEnabled = pxeEnabled;
        report.storeBlock = true;
        break;
    }
    default:
        return std::nullopt;
    }
    if (!in.ok())
        return std::nullopt;
    report.text = out.text();
    return report;
}

QByteArray legacy_identification_encode(const LegacyIdentification& id, quint8 code)
{
    using wire::lpString;
    QByteArray out;
    auto lp = [&out](const QByteArray& text) { out.append(lpString(text)); };
    auto flag = [&out](bool on) { out.append(on ? char(1) : char(0)); };

    lp(id.serialNumber);
    lp(id.macAddress);
    lp(id.hardwareName);
    lp(id.ipAddress);
    lp(id.hostname);
    lp(id.firmwareVersion);
    lp(id.clientVersion);
    lp(id.kernelVersion);
    lp(id.description);
    lp(id.protocol);
    lp(id.server);
    lp(id.cmdlineArgs);
    lp(id.timeServer);
    lp(id.timezone);
    lp(id.rvxServerHostname);
    lp(id.rvxServerPort);
    lp(id.dns1);
    lp(id.dns2);
    lp(id.dspath);
    lp(id.nicEnabled);
    if (id.nicEnabled.toLower() == "yes") {
        lp(id.nicDhcpEnabled);
        lp(id.nicIp);
        lp(id.nicNetmask);
        lp(id.nicGateway);
    }
    lp(id.wirelessEnabled);
    if (id.wirelessEnabled.toLower() == "yes") {
        lp(id.wirelessDhcpEnabled);
        lp(id.wirelessIp);
        lp(id.wirelessNetmask);
        lp(id.wirelessGateway);
        lp(id.wirelessSsid);
        lp(id.wirelessSecurity);
        lp(id.wirelessPassword);
    }
    lp(id.kbdModel);
    lp(id.kbdLayout);
    lp(id.kbdVariant);
    lp(id.kbdOption);
    flag(id.firewall);
    flag(id.powersave);
    flag(id.pxeEnabled);
    flag(id.pxeOnly);
    lp(id.pxeRangeLow);
    lp(id.pxeRangeHigh);
    lp(id.pxeSubnet);
    lp(id.pxeNetmask);
    if (code == 6)
        out.append(static_cast<char>(id.pxeMode));
    wire::appendU16(out, id.bootMode);
    wire::appendU16(out, id.discoveryMode);
    flag(id.autologin);
    flag(id.autoReconnect);
    return out;
}

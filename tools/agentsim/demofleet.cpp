#include "demofleet.h"

#include "commands.h"
#include "configlib.h"
#include "thinclientinfo.h"

#include <QHostAddress>

#include <iterator>

namespace demo {

namespace {

// What a device is used for: its host name, comment, application mode and the mode's server.
struct Role
{
    const char* name;
    const char* comment;
    const char* protocol;
    const char* server;
};

// Cycled by index; the cycle lengths below have no common factor, so the combinations of
// role, hardware and versions vary across the fleet instead of repeating in step.
const Role kRoles[] = {
    {"office", "Open-plan office, first floor", "rdp", "ts01.example.lan"},
    {"ward", "Ward 3, nurses' station", "hdx", "apps.example.lan"},
    {"lab", "Laboratory bench", "vmview", "vdi.example.lan"},
    {"kiosk", "Visitor kiosk", "web", "https://intranet.example.lan/kiosk"},
    {"build", "Build room", "ssh", "build01.example.lan"},
    {"helpdesk", "", "vnc", "helpdesk01.example.lan:5901"},
    {"training", "Training room, row 2", "desktop", ""},
    {"canteen", "Canteen menu board", "mplayer", ""},
    {"branch", "Branch office, over the gateway", "ras", "gateway.example.lan"},
};

// The lobby screens: the signage devices.
const Role kSignage = {"lobby", "Lobby screen", "signage", ""};

struct Hardware
{
    quint8 firmwareType;
    const char* name;
    const char* arch;
};

const Hardware kHardware[] = {
    {3, "Desktop thin client, UEFI", "amd64"}, {2, "Desktop thin client, BIOS", "amd64"},
    {12, "Raspberry Pi 4 Model B", "arm64"},   {9, "NUC Celeron J4125", "amd64"},
    {4, "Compact thin client, UEFI", "amd64"}, {10, "NUC Core i5", "amd64"},
    {11, "Raspberry Pi 3 Model B+", "armhf"},  {13, "Raspberry Pi 400", "arm64"},
    {8, "ZT-410 ARM64 board", "arm64"},        {14, "Raspberry Pi 5", "arm64"},
    {7, "ZT-300 ARM board", "armhf"},
};

// Around the server's own version: older, the same, newer.
const char* const kAgentVersions[] = {"8.4.4", "8.4.2", "8.3.7", "8.4.4", "8.4.6", "8.4.0", "8.2.5"};
const char* const kFirmwareVersions[] = {"8.4.4", "8.4.1", "8.3.2", "8.4.4", "8.5.0"};

struct Locale
{
    const char* timezone;
    const char* locale;
    const char* keyboard;
};
const Locale kLocales[] = {
    {"Europe/London", "en_GB.UTF-8", "gb"},
    {"Europe/Berlin", "de_DE.UTF-8", "de"},
    {"America/New_York", "en_US.UTF-8", "us"},
    {"Europe/Paris", "fr_FR.UTF-8", "fr"},
};

template <typename T, size_t N>
const T& cycled(const T (&table)[N], int index)
{
    return table[static_cast<size_t>(index) % N];
}

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

QByteArray line(const char* key, const QByteArray& value)
{
    return QByteArray(key) + '=' + value + '\n';
}

QByteArray yesNo(bool on)
{
    return on ? QByteArrayLiteral("yes") : QByteArrayLiteral("no");
}

QByteArray address(quint32 value)
{
    return QHostAddress(value).toString().toLatin1();
}

constexpr quint32 kNetmask = 0xFFFFFF00;

} // namespace

QList<QByteArray> wirelessNetworks()
{
    return {"[ssids]", "Clinic-Staff\t6\t61\twpa2", "Clinic-Guest\t11\t48\toff", "Warehouse\t1\t27\twpa2"};
}

Device device(int index)
{
    Device d;
    d.index = index;
    // One of the first devices is in maintenance mode and one shows signage, whatever the
    // size of the fleet; after that every twelfth is a lobby screen.
    const bool signage = index % 12 == 2;
    const Role& role = signage ? kSignage : cycled(kRoles, index);
    const Hardware& hardware = signage ? kHardware[2] : cycled(kHardware, index);

    d.serial = QStringLiteral("DEMO%1").arg(index, 6, 10, QLatin1Char('0'));
    d.mac = QStringLiteral("02:d0:%1:%2:%3:%4")
                .arg((index >> 24) & 0xFF, 2, 16, QLatin1Char('0'))
                .arg((index >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                .arg((index >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                .arg(index & 0xFF, 2, 16, QLatin1Char('0'));
    d.hostname = QStringLiteral("%1-%2").arg(text(role.name)).arg(index + 1, 3, 10, QLatin1Char('0'));
    d.comment = text(role.comment);
    d.firmwareType = hardware.firmwareType;
    d.hardware = text(hardware.name);
    d.debianArch = text(hardware.arch);
    d.firmwareVersion = text(cycled(kFirmwareVersions, index));
    d.clientVersion = text(cycled(kAgentVersions, index));
    d.kernelVersion = d.debianArch == QLatin1String("amd64") ? QStringLiteral("6.1.0-28-zylos-amd64")
                                                             : QStringLiteral("6.6.51-zylos-v8");
    d.protocol = role.protocol;
    d.modeServer = text(role.server);
    // 10.20.<site>.<host>: 200 devices to a subnet.
    d.ipAddress = (10u << 24) | (20u << 16) | (static_cast<quint32>(index / 200 % 256) << 8) |
                  static_cast<quint32>(index % 200 + 20);
    d.staticAddress = index % 6 == 4;
    d.wireless = commands::isRaspberryPi(d.firmwareType) && index % 3 == 0;
    if (index % 5 == 3)
        d.basedOn = QStringLiteral("%1 profile").arg(text(role.name));
    d.resetsToCustom = index % 7 == 6;

    if (index == 1) {
        d.bootMode = ThinclientInfo::BootMaintenance;
        d.comment = QStringLiteral("Being re-imaged");
    } else if (signage) {
        d.status = QStringLiteral("Playing the lobby playlist");
        d.statusCode = 2;
    } else if (index % 10 == 7 && !d.modeServer.isEmpty()) {
        d.status = QStringLiteral("Cannot reach %1").arg(d.modeServer);
        d.statusCode = 1;
    } else if (!d.modeServer.isEmpty()) {
        d.status = QStringLiteral("Session running on %1").arg(d.modeServer);
    }

    // A few come and go, each at its own pace: about a minute on, a quarter of a minute off.
    if (index % 8 == 5) {
        d.onlineSeconds = 40 + index * 7 % 30;
        d.awaySeconds = 12 + index * 3 % 15;
    }
    return d;
}

QList<Device> fleet(int count, int firstIndex)
{
    QList<Device> devices;
    for (int i = 0; i < count; ++i)
        devices.append(device(firstIndex + i));
    return devices;
}

QByteArray deviceBlock(const Device& d)
{
    ThinclientInfo info;
    info.setFirmwareType(d.firmwareType);
    info.setBootMode(d.bootMode);
    info.setIpAddressValue(d.ipAddress);
    info.setNetmaskValue(kNetmask);
    info.setHostname(d.hostname);
    info.setMacAddress(d.mac);
    info.setFirmwareVersion(d.firmwareVersion);
    info.setKernelVersion(d.kernelVersion);
    info.setTfmVersion(QStringLiteral("2.1"));
    info.setClientVersion(d.clientVersion);
    info.setSerialNumber(d.serial);
    info.setProtocolType(static_cast<quint8>(config_protocol_index(d.protocol)));
    info.setPxeServerEnabled(d.index % 16 == 3);
    info.setResetsToCustom(d.resetsToCustom);
    info.setBasedOn(d.basedOn);
    info.setDebianArch(d.debianArch);
    info.setDebianVersion(QStringLiteral("12"));
    info.setHwName(d.hardware);
    info.setDescription(d.comment);
    return info.block();
}

QByteArray configuration(const Device& d)
{
    const Locale& locale = cycled(kLocales, d.index / 3);
    const quint32 gateway = (d.ipAddress & kNetmask) | 1u;
    QByteArray text;
    text += line("brd_hostname", d.hostname.toLatin1());
    text += line("description", d.comment.toLatin1());
    text += line("log_level", d.index % 9 == 8 ? "2" : "0");
    text += line("firewall_enabled", "yes");
    text += line("powersave", yesNo(d.index % 4 != 0));
    text += line("pxe_server_enabled", yesNo(d.index % 16 == 3));
    text += line("rvx_beacon_enabled", "no");
    text += line("rvx_discovery_mode", d.index % 5 == 0 ? "dhcp" : "auto");

    text += line("connection_type", d.protocol);
    const int protocol = config_protocol_index(d.protocol);
    if (!d.modeServer.isEmpty()) {
        if (const std::optional<QByteArray> key = config_protocol_option_key(protocol, 20))
            text += *key + '=' + d.modeServer.toLatin1() + '\n';
    }
    if (d.protocol == "signage") {
        // The lobby playlist, pulled by the device from the signage rsync service.
        text += line("ds_output1_enabled", "yes");
        text += line("ds_output1_source", "rsync://signage.example.lan/lobby");
        text += line("ds_output1_refresh", "10");
        text += line("ds_output1_resync", "10");
        text += line("ds_output1_mute", "yes");
    }

    text += line("nic_enabled", "yes");
    text += line("nic_dhcp_enabled", yesNo(!d.staticAddress));
    if (d.staticAddress) {
        text += line("nic_ip", address(d.ipAddress));
        text += line("nic_netmask", address(kNetmask));
        text += line("nic_gateway", address(gateway));
        text += line("dns1", "10.20.0.53");
        text += line("dns2", "10.20.0.54");
    }
    text += line("nic_wol_enabled", yesNo(d.firmwareType >= 2 && d.firmwareType <= 4));
    text += line("nic_wireless_enabled", yesNo(d.wireless));
    if (d.wireless) {
        text += line("nic_wireless_dhcp_enabled", "yes");
        text += line("nic_wireless_ssid", "Clinic-Staff");
        text += line("nic_wireless_security", "wpa2_personal");
    }

    text += line("timezone", locale.timezone);
    text += line("locale", locale.locale);
    text += line("time_server", "pool.ntp.example.lan");
    text += line("kbd_model", "pc105");
    text += line("kbd_layout", locale.keyboard);
    text += line("audio_volume", "80");
    text += line("video_mode", d.protocol == "signage" ? "extendr" : "clone");
    text += line("video_output1_resolution", commands::isRaspberryPi(d.firmwareType) ? "1920x1080" : "auto");
    return text;
}

} // namespace demo

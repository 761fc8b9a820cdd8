#include "tables.h"
#include "configlib.h"

#include <QList>

#include <cstring>
#include <vector>

namespace {

const char* const kProtocols[PROTOCOL_COUNT + 1] = {
    "",       "hdx",    "ssh",  "rdp",     "vnc", "x11",     "netop",  "spice",   "web",    "nx",  "telnet",
    "tn3270", "vmview", "perf", "userdef", "dsi", "mplayer", "tn5250", "desktop", "vidcon", "ras", "signage",
};

const char* const kOptions[OPTION_COUNT + 1] = {
    "",
    "auto_reconnect",     // 1
    "graphics_quality",   // 2
    "audio_quality",      // 3
    "redirect_audio",     // 4
    "redirect_mic",       // 5
    "latency",            // 6
    "security",           // 7
    "window_size",        // 8
    "redirect_video",     // 9
    "subtype",            // 10
    "redirect_usb",       // 11
    "redirect_serial",    // 12
    "com_port",           // 13
    "window_percent",     // 14
    "kiosk_mode_enabled", // 15
    "autologin_enabled",  // 16
    "autologin_userid",   // 17
    "autologin_password", // 18
    "autologin_domain",   // 19
    "server",             // 20
    "cmdline_args",       // 21
    "proxy",              // 22
    "idle_timeout",       // 23
};

// The options that apply to each protocol with their defaults, as blank-separated
// "option=default" words ("option=" applies with an empty default). Options not named do not
// apply to the protocol.
const char* const kProtocolDefaults[PROTOCOL_COUNT + 1] = {
    "",
    // hdx
    "auto_reconnect=no audio_quality=auto redirect_audio=yes redirect_mic=yes window_size=auto "
    "redirect_video=no subtype=h264 redirect_usb=auto redirect_serial=off kiosk_mode_enabled=no "
    "autologin_enabled=no idle_timeout=0 autologin_userid= autologin_password= autologin_domain= server= "
    "cmdline_args= proxy=",
    // ssh
    "auto_reconnect=no latency=auto window_size=auto redirect_video=no window_percent=80 "
    "autologin_enabled=no "
    "idle_timeout=0 autologin_userid= autologin_password= autologin_domain= server= cmdline_args=",
    // rdp
    "auto_reconnect=no graphics_quality=auto audio_quality=high redirect_audio=yes redirect_mic=yes "
    "latency=auto security=auto window_size=auto redirect_video=auto subtype=rfx redirect_usb=auto "
    "redirect_serial=off com_port=com1 window_percent=80 kiosk_mode_enabled=no autologin_enabled=no "
    "idle_timeout=0 autologin_userid= autologin_password= autologin_domain= server= cmdline_args= proxy=",
    // vnc
    "auto_reconnect=no graphics_quality=auto latency=auto security=default window_size=auto "
    "window_percent=80 "
    "autologin_enabled=no idle_timeout=0 autologin_userid= autologin_password= server= cmdline_args=",
    // x11
    "auto_reconnect=no redirect_audio=yes redirect_mic=yes window_size=auto window_percent=80 idle_timeout=0 "
    "server= cmdline_args=",
    // netop
    "auto_reconnect=no",
    // spice
    "auto_reconnect=no redirect_audio=yes redirect_mic=yes latency=auto security=default window_size=auto "
    "redirect_usb=auto window_percent=80 autologin_enabled=no idle_timeout=0 autologin_password= server= "
    "cmdline_args=",
    // web
    "auto_reconnect=no window_size=auto window_percent=80 kiosk_mode_enabled=no autologin_enabled=no "
    "idle_timeout=0 autologin_userid= autologin_password= server= cmdline_args= proxy=",
    // nx
    "auto_reconnect=no idle_timeout=0 cmdline_args=",
    // telnet
    "auto_reconnect=no window_size=auto window_percent=80 idle_timeout=0 server= cmdline_args=",
    // tn3270
    "auto_reconnect=no window_size=auto window_percent=80 idle_timeout=0 server= cmdline_args=",
    // vmview
    "auto_reconnect=no graphics_quality=high redirect_audio=yes redirect_mic=yes security=https_strict "
    "window_size=auto redirect_video=no subtype=blast redirect_usb=auto redirect_serial=auto "
    "window_percent=80 "
    "kiosk_mode_enabled=no autologin_enabled=no idle_timeout=0 autologin_userid= autologin_password= "
    "autologin_domain= server= cmdline_args=",
    // perf
    "auto_reconnect=no window_size=auto window_percent=80 cmdline_args=",
    // userdef
    "auto_reconnect=no window_size=auto window_percent=80 autologin_enabled=no idle_timeout=0 "
    "autologin_userid= "
    "autologin_password= autologin_domain= server= cmdline_args=",
    // dsi
    "auto_reconnect=no",
    // mplayer
    "auto_reconnect=no window_size=auto window_percent=80 cmdline_args=",
    // tn5250
    "auto_reconnect=no window_size=auto window_percent=80 idle_timeout=0 server= cmdline_args=",
    // desktop
    "auto_reconnect=no idle_timeout=0",
    // vidcon
    "auto_reconnect=no window_size=auto window_percent=80 server= cmdline_args=",
    // ras
    "auto_reconnect=no redirect_audio=yes redirect_mic=yes security=https window_size=auto subtype=gateway "
    "redirect_usb=off redirect_serial=off com_port=com1 window_percent=80 autologin_enabled=no "
    "idle_timeout=0 "
    "autologin_userid= autologin_password= autologin_domain= server= cmdline_args=",
    // signage
    "auto_reconnect=no",
};

const char* const kDiscoveryModes[DISCOVERY_MODE_COUNT] = {"bcast", "auto", "static", "dhcp"};

enum class Family
{
    None,
    Pc,
    Nuc,
    RPi
};

// The hardware models agents report; the names are also the firmware-type names and the
// names of the firmware-type folders. The family decides the display form.
struct HardwareModel
{
    const char* name;
    Family family;
};
const HardwareModel kHardware[HARDWARE_COUNT] = {
    {"", Family::None},
    {"", Family::None},
    {"PC Legacy BIOS", Family::Pc},
    {"PC UEFI x86-64", Family::Pc},
    {"PC UEFI Compact", Family::Pc},
    {"ZT-100 ARM", Family::None},
    {"ZT-200 ARM", Family::None},
    {"ZT-300 ARM", Family::None},
    {"ZT-410 ARM64", Family::None},
    {"ZYL NUC Celeron", Family::Nuc},
    {"ZYL NUC Core", Family::Nuc},
    {"ZYL RPi 3", Family::RPi},
    {"ZYL RPi 4", Family::RPi},
    {"ZYL RPi 400", Family::RPi},
    {"ZYL RPi 5", Family::RPi},
};
const char kPcFamilyLabel[] = "Desktop";

// Default of one option of one protocol (both indexes in range): the word "option=value" of
// the protocol's row.
std::optional<QByteArray> lookupDefault(int protocol, int option)
{
    const QByteArray row(kProtocolDefaults[protocol]);
    const QByteArray wanted = QByteArray(kOptions[option]) + '=';
    for (const QByteArray& word : row.split(' ')) {
        if (word.startsWith(wanted))
            return word.mid(wanted.size());
    }
    return std::nullopt;
}

} // namespace

namespace configtables {

std::optional<QByteArray> optionDefault(int protocol, int option)
{
    if (protocol < 1 || protocol > PROTOCOL_COUNT || option < 1 || option > OPTION_COUNT)
        return std::nullopt;
    // Computed once: 21 x 23 look-ups.
    static const auto table = [] {
        std::vector<std::optional<QByteArray>> all((PROTOCOL_COUNT + 1) * (OPTION_COUNT + 1));
        for (int p = 1; p <= PROTOCOL_COUNT; ++p) {
            for (int o = 1; o <= OPTION_COUNT; ++o)
                all[static_cast<size_t>(p * (OPTION_COUNT + 1) + o)] = lookupDefault(p, o);
        }
        return all;
    }();
    return table[static_cast<size_t>(protocol * (OPTION_COUNT + 1) + option)];
}

bool defaultsTableIsConsistent()
{
    for (int p = 1; p <= PROTOCOL_COUNT; ++p) {
        for (const QByteArray& word : QByteArray(kProtocolDefaults[p]).split(' ')) {
            const int eq = word.indexOf('=');
            if (eq <= 0)
                return false;
            bool known = false;
            for (int o = 1; o <= OPTION_COUNT && !known; ++o)
                known = word.left(eq) == kOptions[o];
            if (!known)
                return false;
        }
    }
    return true;
}

} // namespace configtables

std::optional<QByteArray> config_protocol_option_default(int protocol, int option)
{
    return configtables::optionDefault(protocol, option);
}

std::optional<QByteArray> config_protocol_option_key(int protocol, int option)
{
    if (protocol < 1 || protocol > PROTOCOL_COUNT || option < 1 || option > OPTION_COUNT)
        return std::nullopt;
    if (kProtocols[protocol][0] == '\0')
        return std::nullopt;
    return QByteArray(kProtocols[protocol]) + '_' + kOptions[option];
}

int config_protocol_index(const QByteArray& name)
{
    if (name.isEmpty())
        return 0;
    for (int i = 1; i <= PROTOCOL_COUNT; ++i) {
        if (name == kProtocols[i])
            return i;
    }
    return 0;
}

QByteArray config_protocol_name(int index)
{
    if (index < 1 || index > PROTOCOL_COUNT)
        return QByteArray();
    return QByteArray(kProtocols[index]);
}

QByteArray config_option_name(int index)
{
    if (index < 1 || index > OPTION_COUNT)
        return QByteArray();
    return QByteArray(kOptions[index]);
}

int config_discovery_mode_index(const QByteArray& name)
{
    if (name.isEmpty())
        return -1;
    for (int i = 0; i < DISCOVERY_MODE_COUNT; ++i) {
        if (name == kDiscoveryModes[i])
            return i;
    }
    return -1;
}

QByteArray config_discovery_mode_name(int index)
{
    if (index < 0 || index >= DISCOVERY_MODE_COUNT)
        return QByteArray();
    return QByteArray(kDiscoveryModes[index]);
}

int config_hardware_index(const QByteArray& name)
{
    for (int i = 0; i < HARDWARE_COUNT; ++i) {
        if (name == kHardware[i].name)
            return i;
    }
    return -1;
}

QByteArray config_hardware_name(int index)
{
    if (index < 0 || index >= HARDWARE_COUNT)
        return QByteArray();
    return QByteArray(kHardware[index].name);
}

QString config_hardware_display_name(int index)
{
    if (index < 0 || index >= HARDWARE_COUNT)
        return QString();
    const QString name = QString::fromLatin1(kHardware[index].name);
    switch (kHardware[index].family) {
    case Family::Pc:
        return QStringLiteral("ZYLOS %1 (%2)").arg(QLatin1String(kPcFamilyLabel), name.left(16));
    case Family::Nuc:
        return QStringLiteral("ZYLOS SFF (%1)").arg(name.mid(4, 17));
    case Family::RPi:
        return QStringLiteral("ZYLOS %1").arg(name.mid(4, 23));
    case Family::None:
        break;
    }
    return name;
}

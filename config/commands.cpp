#include "commands.h"

#include "configlib.h"
#include "wire.h"

#include <QCryptographicHash>
#include <QMap>
#include <QRegularExpression>
#include <QTextCodec>

namespace commands {

namespace {

// Texts carried in lp-strings stay far below the 16-bit length of their frame.
constexpr int LpTextMax = 0xFF00;

QByteArray lp(const QString& text)
{
    return wire::lpString(configValue(text).left(LpTextMax));
}

QByteArray oneByteFrame(msg::Type type, bool value)
{
    return wire::frame(type, 0, QByteArray(1, value ? char(1) : char(0)));
}

bool vncOrBeaconFirmware(const DeviceFacts& d)
{
    const bool band482 =
        versionAtLeast(d.firmwareVersion, 4, 8, 2) && !versionAtLeast(d.firmwareVersion, 4, 9, 0);
    return band482 || versionAtLeast(d.firmwareVersion, 4, 10, 0);
}

QString macWithoutColons(const QString& mac)
{
    QString out = mac;
    out.remove(QLatin1Char(':'));
    return out;
}

// A dotted IPv4 address other than 0.0.0.0.
bool usableAddress(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 value = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const uint octet = part.toUInt(&ok, 10);
        if (!ok || octet > 255 || part.isEmpty() || part.size() > 3)
            return false;
        value = (value << 8) | octet;
    }
    return value != 0;
}

} // namespace

// ---- devices ---------------------------------------------------------------------------------

bool takesConfigurationText(const DeviceFacts& device)
{
    return majorVersion(device.clientVersion) >= 8;
}

bool takesCompressedConfiguration(const DeviceFacts& device)
{
    return versionAtLeast(device.clientVersion, 8, 4, 0);
}

// ---- eligibility -------------------------------------------------------------------------------

bool canRestartMode(const DeviceFacts& device)
{
    return device.online && device.bootMode == BootNormal && versionAtLeast(device.clientVersion, 8, 4, 0);
}

bool canWake(const DeviceFacts& device)
{
    const int t = device.firmwareType;
    const bool x86 = (t >= 2 && t <= 4) || t == 9 || t == 10;
    const QString mac = macWithoutColons(device.macAddress);
    static const QRegularExpression hex12(QStringLiteral("^[0-9A-Fa-f]{12}$"));
    return !device.online && x86 && versionAtLeast(device.clientVersion, 8, 4, 5) &&
           hex12.match(mac).hasMatch() && usableAddress(device.ipAddress) && usableAddress(device.netmask);
}

bool canRebootOrPowerOff(const DeviceFacts& device)
{
    return versionAtLeast(device.clientVersion, 8, 2, 0);
}

bool canSetRemoteTriggering(const DeviceFacts& device)
{
    return versionAtLeast(device.clientVersion, 8, 0, 1) && versionAtLeast(device.firmwareVersion, 4, 6, 0);
}

bool canSetVncServer(const DeviceFacts& device)
{
    return versionAtLeast(device.clientVersion, 8, 3, 0) && vncOrBeaconFirmware(device);
}

bool canSetBeacon(const DeviceFacts& device)
{
    return canSetVncServer(device);
}

bool canSetResetState(const DeviceFacts& device)
{
    return versionAtLeast(device.clientVersion, 8, 1, 0);
}

bool canConfigurePxe(const DeviceFacts& device)
{
    const int t = device.firmwareType;
    return t == 2 || t == 9 || t == 10 || (t == 11 && majorVersion(device.clientVersion) >= 8);
}

bool isRaspberryPi(int firmwareType)
{
    return firmwareType >= 11 && firmwareType <= 14;
}

bool needsMaintenanceChange(Maintenance operation, const DeviceFacts& device)
{
    if (operation == Maintenance::Enter)
        return device.bootMode != BootMaintenance;
    return device.bootMode != BootNormal;
}

QList<InterruptionWarning> interruptionWarnings(Interruption kind, const DeviceFacts& device)
{
    QList<InterruptionWarning> list;
    const QString start = QStringLiteral("The device named ") + device.hostname;
    if (kind == Interruption::Maintenance) {
        const QString title = QStringLiteral("Reboot Devices");
        if (device.printServer)
            list.append(
                {title,
                 start + QStringLiteral(" is a print server. Rebooting this device may abort  any print "
                                        "jobs that are underway.\n\nAre you sure you want to reboot "
                                        "this device?"),
                 QStringLiteral("acknowledged print server interruption warning for ") + device.serial});
        if (device.pxeServer)
            list.append(
                {title,
                 start + QStringLiteral(" is a PXE boot server. Rebooting this device will cause devices "
                                        "that are currently using this service to freeze.\n\nAre you "
                                        "sure you want to reboot this device?"),
                 QStringLiteral("acknowledged PXE server interruption warning for ") + device.serial});
        if (device.beacon)
            list.append(
                {title,
                 start + QStringLiteral(" is a RVX beacon. While this device is down, devices in local "
                                        "IP subnet may be unable to locate a RVX server.\n\nAre you sure "
                                        "you want to reboot this device?"),
                 QStringLiteral("acknowledged beacon interruption warning for ") + device.serial});
        return list;
    }
    const QString title = QStringLiteral("Interrupt Services");
    const QString operation =
        kind == Interruption::PowerOff ? QStringLiteral("power off") : QStringLiteral("reboot");
    const QString ending =
        QStringLiteral("\n\nAre you sure you want to ") + operation + QStringLiteral(" this device?");
    if (device.printServer)
        list.append({title,
                     start +
                         QStringLiteral(" is a print server. Interrupting this device may abort any print "
                                        "jobs that are underway.") +
                         ending,
                     QStringLiteral("acknowledged print server interruption warning for ") + device.serial});
    if (device.pxeServer)
        list.append({title,
                     start +
                         QStringLiteral(" is a PXE boot server. Interrupting this device will cause devices "
                                        "that are currently using this service to freeze.") +
                         ending,
                     QStringLiteral("acknowledged PXE server interruption warning for ") + device.serial});
    if (device.beacon)
        list.append({title,
                     start +
                         QStringLiteral(" is a RVX beacon. While this device is down, devices in  its local "
                                        "IP subnet may be unable to locate a RVX server.") +
                         ending,
                     QStringLiteral("acknowledged beacon interruption warning for ") + device.serial});
    return list;
}

QByteArray yesNo(bool on)
{
    return on ? QByteArrayLiteral("yes") : QByteArrayLiteral("no");
}

QByteArray settingLine(const char* key, const QByteArray& value)
{
    return QByteArray(key) + '=' + value + '\n';
}

// ---- values ------------------------------------------------------------------------------------

QByteArray configValue(const QString& value)
{
    QByteArray out = value.toLatin1();
    out.reserve(out.size());
    int kept = 0;
    for (int i = 0; i < out.size(); ++i) {
        const uchar c = static_cast<uchar>(out.at(i));
        if (c < 0x20 || c == 0x7F)
            continue;
        out[kept++] = static_cast<char>(c);
    }
    out.truncate(kept);
    return out;
}

bool isLatin1(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    return true;
}

// ---- frames and texts ------------------------------------------------------------------------------

QByteArray refreshFrame()
{
    return wire::shortFrame(msg::Refresh);
}

QByteArray resetToDefaultsFrame()
{
    return wire::shortFrame(msg::Type::ResetToDefaults);
}

QByteArray restartModeFrame()
{
    return wire::shortFrame(msg::Type::RestartMode);
}

QByteArray rebootFrame(bool powerOff)
{
    return wire::shortFrame(powerOff ? msg::Type::PowerOff : msg::Type::Reboot);
}

QByteArray maintenanceFrame(Maintenance op)
{
    return wire::shortFrame(op == Maintenance::Enter ? msg::Type::EnterMaintenance
                                                     : msg::Type::ExitMaintenance);
}

QByteArray resetStateFrame(bool factoryDefaults)
{
    return oneByteFrame(msg::Type::ResetState, factoryDefaults);
}

QByteArray logLevelFrame(bool debug)
{
    return oneByteFrame(msg::Type::LogLevel, debug);
}

QByteArray logLevelText(bool debug)
{
    return debug ? QByteArrayLiteral("log_level=2\n") : QByteArrayLiteral("log_level=0\n");
}

QByteArray powersaveFrame(bool enabled)
{
    return oneByteFrame(msg::Type::PowerSave, enabled);
}

QByteArray powersaveText(bool enabled)
{
    return settingLine("powersave", yesNo(enabled));
}

QByteArray hostnameFrame(const QString& name)
{
    return wire::frame(msg::Type::Hostname, 0, lp(name));
}

QByteArray hostnameText(const QString& name)
{
    return settingLine("brd_hostname", configValue(name));
}

QByteArray descriptionFrame(const QString& text)
{
    return wire::frame(msg::Type::Description, 0, lp(text));
}

QByteArray descriptionText(const QString& text)
{
    return settingLine("description", configValue(text));
}

QByteArray restrictedPasswordDigest(const QString& password)
{
    return QCryptographicHash::hash(password.toLatin1(), QCryptographicHash::Md5).toHex();
}

QByteArray restrictedPasswordFrame(const QByteArray& digest)
{
    return wire::frame(msg::Type::RestrictedPassword, 0, wire::lpString(digest));
}

QByteArray restrictedPasswordText(const QByteArray& digest)
{
    return settingLine("zylconfig_password", digest);
}

QByteArray remoteTriggeringText(bool enabled)
{
    return settingLine("rrsh_enabled", yesNo(enabled));
}

QByteArray beaconText(bool enabled)
{
    return settingLine("rvx_beacon_enabled", yesNo(enabled));
}

QByteArray vncText(bool enabled, const QString& password)
{
    QByteArray text = settingLine("x11vnc_enabled", yesNo(enabled));
    if (enabled)
        text += settingLine("x11vnc_password", password.toLatin1().toBase64());
    return text;
}

QString vncPasswordFromStored(const QByteArray& base64)
{
    const QByteArray bytes = QByteArray::fromBase64(base64);
    QTextCodec* utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    const QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0 && state.remainingChars == 0)
        return text;
    return QString::fromLatin1(bytes);
}

QByteArray shadowingText(const QString& host, const QString& port, bool viewOnly)
{
    return settingLine("shadower_hostname", configValue(host)) +
           settingLine("shadower_port", configValue(port)) +
           settingLine("shadower_view_only", yesNo(viewOnly));
}

QByteArray pxeText(const PxeSettings& pxe)
{
    if (!pxe.enabled)
        return QByteArrayLiteral("pxe_server_enabled=no\npxe_server_pxe_only=yes\n");
    return settingLine("pxe_server_enabled", "yes") + settingLine("pxe_server_pxe_only", yesNo(pxe.pxeOnly)) +
           settingLine("pxe_server_range_low", configValue(pxe.rangeLow)) +
           settingLine("pxe_server_range_high", configValue(pxe.rangeHigh)) +
           settingLine("pxe_server_subnet", configValue(pxe.subnet)) +
           settingLine("pxe_server_netmask", configValue(pxe.netmask)) +
           settingLine("pxe_server_mode",
                       pxe.diskless ? QByteArrayLiteral("diskless") : QByteArrayLiteral("provision"));
}

QByteArray pxeLegacyFrame(const PxeSettings& pxe, bool powersave)
{
    QByteArray payload;
    payload.append(powersave ? char(1) : char(0));
    payload.append(pxe.enabled ? char(1) : char(0));
    if (pxe.enabled) {
        payload.append(pxe.pxeOnly ? char(1) : char(0));
        payload += lp(pxe.rangeLow) + lp(pxe.rangeHigh) + lp(pxe.subnet) + lp(pxe.netmask);
        payload.append(pxe.diskless ? char(0) : char(1));
    }
    return wire::frame(msg::Type::PxeServer, 2, payload);
}

int discoveryMode(const QByteArray& discoveryModeName, const QByteArray& serverMode)
{
    const int byName = config_discovery_mode_index(discoveryModeName);
    if (byName >= 0)
        return byName;
    bool ok = false;
    const uint number = serverMode.toUInt(&ok, 10);
    return ok && number <= 3 ? static_cast<int>(number) : 1;
}

bool beaconAllowed(const QByteArray& discoveryModeName, const QByteArray& serverMode)
{
    return discoveryMode(discoveryModeName, serverMode) == 2;
}

QByteArray discoveryText(const DiscoverySettings& settings)
{
    const int mode = settings.mode >= 0 && settings.mode <= 3 ? settings.mode : 1;
    QByteArray text = settingLine("rvx_server_mode", QByteArray::number(mode)) +
                      settingLine("rvx_discovery_mode", config_discovery_mode_name(mode));
    if (mode == 1 || mode == 2) {
        text += settingLine("rvx_server_hostname", configValue(settings.host));
        text += settingLine("rvx_server_port", configValue(settings.port));
        text += settingLine("rvx_server_defined", yesNo(mode == 2));
    } else {
        text += settingLine("rvx_server_defined", "no");
    }
    text += settingLine("rvx_retry_interval", configValue(settings.retryInterval));
    return text;
}

QByteArray discoveryLegacyFrame(const DiscoverySettings& settings)
{
    const int mode = settings.mode >= 0 && settings.mode <= 3 ? settings.mode : 1;
    QByteArray payload(1, static_cast<char>(mode));
    if (mode == 1 || mode == 2)
        payload += lp(settings.host) + lp(settings.port);
    bool ok = false;
    const uint interval = settings.retryInterval.trimmed().toUInt(&ok, 10);
    wire::appendU16(payload, static_cast<quint16>(ok ? qMin(interval, 0xFFFFu) : 3u));
    return wire::frame(msg::Type::DiscoveryMethod, 1, payload);
}

namespace {

// "usb_redir_devN=value" lines of a text, by N.
QMap<int, QByteArray> numberedLines(const QByteArray& text)
{
    static const QRegularExpression pattern(QStringLiteral("^usb_redir_dev([0-9]+)=(.*)$"));
    QMap<int, QByteArray> lines;
    for (const QByteArray& raw : text.split('\n')) {
        QByteArray l = raw;
        if (l.endsWith('\r'))
            l.chop(1);
        const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(l));
        if (!m.hasMatch())
            continue;
        bool ok = false;
        const int n = m.captured(1).toInt(&ok, 10);
        if (ok && n > 0)
            lines.insert(n, m.captured(2).toLatin1());
    }
    return lines;
}

// Ids as they go into a line: blanks separate ids, so an id keeps none; empty ones go.
QList<QByteArray> usbIds(const QStringList& ids)
{
    QList<QByteArray> out;
    for (const QString& id : ids) {
        QByteArray value = configValue(id);
        value.replace(' ', QByteArray());
        if (!value.isEmpty())
            out << value;
    }
    return out;
}

QByteArray joined(const QList<QByteArray>& ids)
{
    QByteArray out;
    for (const QByteArray& id : ids) {
        if (!out.isEmpty())
            out += ' ';
        out += id;
    }
    return out;
}

} // namespace

QStringList numberedRedirections(const QByteArray& text)
{
    QStringList ids;
    const QMap<int, QByteArray> lines = numberedLines(text);
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        if (!it.value().isEmpty())
            ids << QString::fromLatin1(it.value()).replace(QLatin1Char('_'), QLatin1Char(':'));
    }
    return ids;
}

int highestRedirectionNumber(const QByteArray& text)
{
    int highest = 0;
    const QMap<int, QByteArray> lines = numberedLines(text);
    for (auto it = lines.cbegin(); it != lines.cend(); ++it) {
        if (!it.value().isEmpty())
            highest = qMax(highest, it.key());
    }
    return highest;
}

QByteArray usbRedirectionText(const QByteArray& protocol, const QStringList& redirected,
                              const QStringList& denied, int previousHighest)
{
    QByteArray text;
    const QList<QByteArray> redirectedIds = usbIds(redirected);
    const QList<QByteArray> deniedIds = usbIds(denied);
    if (protocol == "rdp") {
        int n = 0;
        for (const QByteArray& id : redirectedIds) {
            QByteArray numbered = id;
            numbered.replace(':', '_');
            text += "usb_redir_dev" + QByteArray::number(++n) + '=' + numbered + '\n';
        }
        while (n < previousHighest)
            text += "usb_redir_dev" + QByteArray::number(++n) + "=\n";
    }
    text += protocol + "_usb_redirections=" + joined(redirectedIds) + '\n';
    text += protocol + "_usb_redir_denied=" + joined(deniedIds) + '\n';
    return text;
}

QByteArray usbRedirectionLegacyFrame(const QStringList& redirected)
{
    QByteArray payload;
    wire::appendU16(payload, static_cast<quint16>(redirected.size()));
    for (const QString& id : redirected)
        payload += lp(id);
    return wire::frame(msg::Type::UsbRedirection, 0, payload);
}

QByteArray usbListRequest()
{
    return wire::shortFrame(msg::Type::UsbList);
}

QByteArray ssidListRequest()
{
    return wire::shortFrame(msg::Type::SsidList);
}

QByteArray resolutionListRequest()
{
    return wire::shortFrame(msg::Type::ResolutionList);
}

QByteArray localeListRequest()
{
    return wire::shortFrame(msg::Type::LocaleList);
}

QByteArray keyboardOptionRequest()
{
    return wire::shortFrame(msg::Type::KeyboardOptionList);
}

QByteArray piConfigRequest()
{
    return wire::shortFrame(msg::Type::PiConfig);
}

// ---- external programs ---------------------------------------------------------------------------

QStringList wakeArguments(const DeviceFacts& device)
{
    return {macWithoutColons(device.macAddress), device.ipAddress, device.netmask, QStringLiteral("9")};
}

QStringList sshArguments(const DeviceFacts& device)
{
    return {QStringLiteral("-load"), QStringLiteral("zylos"), QStringLiteral("root@") + device.ipAddress};
}

// ---- audit trail ------------------------------------------------------------------------------------

std::optional<QString> sendCommandSentence(const QByteArray& frame, const QString& serial)
{
    if (frame.size() < 4)
        return std::nullopt;
    const int type = static_cast<uchar>(frame.at(0)) & 0x7F;
    const int headerSize = 2 + wire::lengthFieldSize(static_cast<quint8>(type));
    const QByteArray payload = frame.mid(headerSize);
    const bool firstByteSet = !payload.isEmpty() && payload.at(0) != 0;
    using msg::Type;
    switch (static_cast<Type>(type)) {
    case Type::Identification:
    case Type::ApplicationMode:
    case Type::ModeHelp:
    case Type::Gateway:
    case Type::UsbList:
    case Type::BlockDeviceList:
    case Type::PiConfig:
        return std::nullopt;
    case Type::TimeZone:
        return QStringLiteral("set time zone and language on ") + serial;
    case Type::LogRetrieval:
        return QStringLiteral("retrieved log files from ") + serial;
    case Type::ResetToDefaults:
        return QStringLiteral("reset configuration on ") + serial;
    case Type::Hostname: {
        wire::PayloadReader reader(payload);
        return QStringLiteral("set hostname to ") + QString::fromLatin1(reader.lpString()) +
               QStringLiteral(" on ") + serial;
    }
    case Type::DiscoveryMethod:
        return QStringLiteral("set RVX discovery mode to ") +
               QString::number(payload.isEmpty() ? 0 : static_cast<uchar>(payload.at(0))) +
               QStringLiteral(" on ") + serial;
    case Type::LogLevel: // the byte is 1 for Debug, 0 for Quiet
        return QStringLiteral("set client log level to ") +
               (firstByteSet ? QStringLiteral("Debug") : QStringLiteral("Quiet")) + QStringLiteral(" on ") +
               serial;
    case Type::RestrictedPassword:
        return QStringLiteral("set Restricted Feature Password on ") + serial;
    case Type::InstallFile: {
        // Kind byte, the password of kind 5 first, then the destination name.
        wire::PayloadReader reader(payload);
        const quint8 kind = reader.byte();
        if (kind == 5)
            reader.lpString();
        return QStringLiteral("installed file ") + QString::fromLatin1(reader.lpString()) +
               QStringLiteral(" on ") + serial;
    }
    case Type::PowerSave: // the byte is 1 when power saving is enabled
        return (firstByteSet ? QStringLiteral("enabled") : QStringLiteral("disabled")) +
               QStringLiteral(" power saving on ") + serial;
    case Type::SignageSync:
        return QStringLiteral("synchonized dsi content on ") + serial;
    case Type::Echo:
        return QStringLiteral("approved storage devices for ") + serial +
               QStringLiteral("; approved storage was as follows:\n") + QString::fromLatin1(payload);
    case Type::ResetState:
        return (firstByteSet ? QStringLiteral("set factory reset state on ")
                             : QStringLiteral("set a custom reset state on ")) +
               serial;
    default:
        return QStringLiteral("sent command ") + QString::number(type) + QStringLiteral(" to ") + serial;
    }
}

QString actionSentence(Action action, const QString& serial)
{
    switch (action) {
    case Action::RestartMode:
        return QStringLiteral("restarted mode on ") + serial;
    case Action::Wake:
        return QStringLiteral("sent WoL packet to ") + serial;
    case Action::Reboot:
        return QStringLiteral("rebooted ") + serial;
    case Action::PowerOff:
        return QStringLiteral("shut down ") + serial;
    case Action::EnterMaintenance:
        return QStringLiteral("put ") + serial + QStringLiteral(" into Maintenance Mode");
    case Action::ExitMaintenance:
        return QStringLiteral("took ") + serial + QStringLiteral(" out of Maintenance Mode");
    case Action::EnableRemoteTriggering:
        return QStringLiteral("enabled remote triggering on ") + serial;
    case Action::DisableRemoteTriggering:
        return QStringLiteral("disabled remote triggering on ") + serial;
    case Action::EnableBeacon:
        return QStringLiteral("enabled RVX beacon on ") + serial;
    case Action::DisableBeacon:
        return QStringLiteral("disabled RVX beacon on ") + serial;
    case Action::EnableVnc:
        return QStringLiteral("enabled VNC server on ") + serial;
    case Action::DisableVnc:
        return QStringLiteral("disabled VNC server on ") + serial;
    case Action::CustomResetState:
        return QStringLiteral("set a custom reset state on ") + serial;
    case Action::FactoryResetState:
        return QStringLiteral("set factory reset state on ") + serial;
    case Action::Delete:
        return QStringLiteral("deleted ") + serial;
    case Action::Shadowing:
        return QStringLiteral("set session shadowing defaults on ") + serial;
    case Action::PxeEnabled:
        return QStringLiteral("configured PXE boot services on ") + serial;
    case Action::UsbRedirection:
        return QStringLiteral("configured USB redirections for ") + serial;
    case Action::Ssh:
        return QStringLiteral("initiated root SSH connection to ") + serial;
    }
    return QString();
}

// ---- summaries -----------------------------------------------------------------------------------------

QString sentText(int sent)
{
    return QStringLiteral("The command was sent to %1 device(s).").arg(sent);
}

std::optional<QString> summaryText(Summary kind, int sent, int ignored)
{
    const QString m = QString::number(ignored);
    switch (kind) {
    case Summary::RestartMode:
        if (ignored == 0)
            return std::nullopt;
        return QStringLiteral("Mode applications were restarted on %1 device(s).\n\n").arg(sent) + m +
               QStringLiteral(
                   " device(s) were ignored because they are offline or in Maintenance Mode, or their "
                   "client version is too old (< 8.4.0).");
    case Summary::Wake:
        if (ignored == 0)
            return std::nullopt;
        return QStringLiteral("Wake-on-LAN packet has been sent to %1 device(s).\n\n").arg(sent) + m +
               QStringLiteral(
                   " device(s) were ignored because they are already online, are incapable of WoL, or "
                   "have a rvx_client version that is too old and does not provide the necessary data "
                   "(>= 8.4.5 required).");
    case Summary::Reboot:
        if (ignored == 0)
            return std::nullopt;
        return sentText(sent) + QStringLiteral("\n\n") + m +
               QStringLiteral(" device(s) cannot action the request because their client version is too old "
                              "(< 8.2.0).");
    case Summary::RemoteTriggering:
        if (ignored == 0)
            return sentText(sent);
        return sentText(sent) + QStringLiteral("\n\n") + m +
               QStringLiteral(
                   " device(s) were ignored because their  firmware or client version is too old (<  "
                   "4.6.0 and 8.0.1 respectively).");
    case Summary::VncOrBeacon:
        if (ignored == 0)
            return sentText(sent);
        return sentText(sent) + QStringLiteral("\n\n") + m +
               QStringLiteral(
                   " device(s) were ignored because their  firmware or client version is too old (<  "
                   "4.10.0/4.8.2 and 8.3.0 respectively).");
    case Summary::ResetState:
        if (ignored == 0)
            return std::nullopt;
        return QStringLiteral("The Set Reset State instruction was sent to %1 device(s).\n\n").arg(sent) + m +
               QStringLiteral(" device(s) were ignored because their client version is too old (< 8.1.0).");
    }
    return std::nullopt;
}

} // namespace commands

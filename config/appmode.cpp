#include "appmode.h"

#include "commands.h"
#include "configlib.h"
#include "wire.h"

namespace appmode {

namespace {

QByteArray optionKey(int protocol, int option)
{
    return config_protocol_option_key(protocol, option).value_or(QByteArray());
}

QList<Choice> yesNo()
{
    return {{QStringLiteral("yes"), QStringLiteral("Yes")}, {QStringLiteral("no"), QStringLiteral("No")}};
}

QList<Choice> quality(int protocol)
{
    if (protocol == Rdp)
        return {{QStringLiteral("medium"), QStringLiteral("Medium")},
                {QStringLiteral("high"), QStringLiteral("High")},
                {QStringLiteral("auto"), QStringLiteral("Auto")}};
    return {{QStringLiteral("medium"), QStringLiteral("Medium")},
            {QStringLiteral("high"), QStringLiteral("High")},
            {QStringLiteral("best"), QStringLiteral("Best")},
            {QStringLiteral("auto"), QStringLiteral("Auto")}};
}

QByteArray line(const QByteArray& key, const QByteArray& value)
{
    return key + '=' + value + '\n';
}

} // namespace

QList<std::pair<int, QString>> modeList()
{
    return {
        {Hdx, QStringLiteral("HDX (Citrix)")},
        {Ssh, QStringLiteral("SSH")},
        {Rdp, QStringLiteral("RDP (Microsoft)")},
        {Vnc, QStringLiteral("VNC")},
        {X11, QStringLiteral("X11")},
        {Spice, QStringLiteral("SPICE")},
        {Web, QStringLiteral("Web")},
        {Nx, QStringLiteral("NX (NoMachine)")},
        {Telnet, QStringLiteral("Telnet")},
        {Tn3270, QStringLiteral("TN3270 (IBM)")},
        {Vmview, QStringLiteral("Horizon (VMware/Omnissa)")},
        {Userdef, QStringLiteral("User Defined (Bespoke)")},
        {Dsi, QStringLiteral("Digital Signage (legacy)")},
        {Mplayer, QStringLiteral("Media Player")},
        {Tn5250, QStringLiteral("TN5250 (IBM)")},
        {Desktop, QStringLiteral("Local Desktop")},
        {Vidcon, QStringLiteral("Video Conference")},
        {Ras, QStringLiteral("RAS/2X (Parallels)")},
        {Signage, QStringLiteral("Digital Signage")},
    };
}

QString modeLabel(int protocol)
{
    for (const auto& entry : modeList()) {
        if (entry.first == protocol)
            return entry.second;
    }
    return QString::fromLatin1(config_protocol_name(protocol));
}

bool hasOption(int protocol, int option)
{
    return config_protocol_option_default(protocol, option).has_value();
}

QString optionDefault(int protocol, int option)
{
    return QString::fromLatin1(config_protocol_option_default(protocol, option).value_or(QByteArray()));
}

QList<Choice> choices(int protocol, int option)
{
    if (!hasOption(protocol, option))
        return {};
    switch (option) {
    case AutoReconnect:
        return {{QStringLiteral("no"), QStringLiteral("Prompt")},
                {QStringLiteral("yes"), QStringLiteral("Restart")},
                {QStringLiteral("shutdown"), QStringLiteral("Shutdown")}};
    case GraphicsQuality:
    case AudioQuality:
        return quality(protocol);
    case RedirectAudio:
    case RedirectMic:
        return yesNo();
    case Latency:
        return {{QStringLiteral("low"), QStringLiteral("Low (LAN)")},
                {QStringLiteral("medium"), QStringLiteral("Medium (WAN)")},
                {QStringLiteral("high"), QStringLiteral("High (Internet/VPN)")},
                {QStringLiteral("auto"), QStringLiteral("Auto")}};
    case Security:
        switch (protocol) {
        case Rdp:
            return {{QStringLiteral("auto"), QStringLiteral("Auto")},
                    {QStringLiteral("nla"), QStringLiteral("NLA")},
                    {QStringLiteral("ssl"), QStringLiteral("SSL")},
                    {QStringLiteral("rdp"), QStringLiteral("RDP")}};
        case Vmview:
            return {{QStringLiteral("https"), QStringLiteral("HTTPS")},
                    {QStringLiteral("https_strict"), QStringLiteral("HTTPS (strict validation)")}};
        case Ras:
            return {{QStringLiteral("http"), QStringLiteral("HTTP")},
                    {QStringLiteral("https"), QStringLiteral("HTTPS")}};
        default:
            return {{QStringLiteral("default"), QStringLiteral("Default")},
                    {QStringLiteral("ssl"), QStringLiteral("SSL")}};
        }
    case WindowSize:
        if (protocol == Hdx)
            return {{QStringLiteral("fullscreen"), QStringLiteral("Full screen")},
                    {QStringLiteral("windowed"), QStringLiteral("Windowed")},
                    {QStringLiteral("auto"), QStringLiteral("Auto")}};
        return {{QStringLiteral("fullscreen"), QStringLiteral("Full screen")},
                {QStringLiteral("percentage"), QStringLiteral("Percent of screen")},
                {QStringLiteral("auto"), QStringLiteral("Auto")}};
    case Subtype:
        switch (protocol) {
        case Hdx:
            return {{QStringLiteral("jpeg"), QStringLiteral("JPEG")},
                    {QStringLiteral("h264"), QStringLiteral("H.264")},
                    {QStringLiteral("h264-software"), QStringLiteral("H.264 (software only)")}};
        case Rdp:
            return {{QStringLiteral("rfx"), QStringLiteral("RemoteFX")},
                    {QStringLiteral("rfx-software"), QStringLiteral("RemoteFX (software only)")}};
        case Vmview:
            return {{QStringLiteral("blast"), QStringLiteral("BLAST")},
                    {QStringLiteral("blast_noh264"), QStringLiteral("BLAST (software only)")},
                    {QStringLiteral("pcoip"), QStringLiteral("PCoIP")}};
        case Ras:
            return {{QStringLiteral("gateway"), QStringLiteral("RAS (gateway)")},
                    {QStringLiteral("direct"), QStringLiteral("RAS (direct)")},
                    {QStringLiteral("rdp"), QStringLiteral("RDP")}};
        default:
            return {};
        }
    case RedirectUsb:
        switch (protocol) {
        case Rdp:
            return {{QStringLiteral("off"), QStringLiteral("Off")},
                    {QStringLiteral("auto"), QStringLiteral("Auto")},
                    {QStringLiteral("manual"), QStringLiteral("Manual")}};
        case Ras:
            return {{QStringLiteral("off"), QStringLiteral("Off")},
                    {QStringLiteral("manual"), QStringLiteral("Manual")}};
        case Vmview:
            return {{QStringLiteral("off"), QStringLiteral("Off")},
                    {QStringLiteral("auto"), QStringLiteral("Auto")},
                    {QStringLiteral("auto_risky"), QStringLiteral("Auto with audio redir (risky)")}};
        default:
            return {{QStringLiteral("off"), QStringLiteral("Off")},
                    {QStringLiteral("auto"), QStringLiteral("Auto")}};
        }
    case RedirectSerial:
        if (protocol == Vmview) // the remote desktop maps the device's ports itself
            return {{QStringLiteral("off"), QStringLiteral("Off")},
                    {QStringLiteral("auto"), QStringLiteral("Auto")}};
        return {{QStringLiteral("off"), QStringLiteral("Off")},
                {QStringLiteral("ttyusb0"), QStringLiteral("ttyusb0 (USB device)")},
                {QStringLiteral("ttyAMA0"), QStringLiteral("ttyAMA0 (Pi serial port)")},
                {QStringLiteral("ttyS0"), QStringLiteral("ttyS0 (first onboard port)")},
                {QStringLiteral("ttyS1"), QStringLiteral("ttyS1 (second onboard port)")},
                {QStringLiteral("ttyS2"), QStringLiteral("ttyS2 (third onboard port)")}};
    case ComPort: {
        QList<Choice> ports;
        for (int i = 1; i <= 5; ++i)
            ports.append({QStringLiteral("com%1").arg(i), QStringLiteral("COM%1").arg(i)});
        return ports;
    }
    default:
        return {};
    }
}

bool loginAppliesToProxy(int protocol)
{
    return protocol == Web;
}

bool loginNeedsUserName(int protocol)
{
    return protocol != Vnc && protocol != Spice;
}

int Settings::protocol() const
{
    return config_protocol_index(connectionType);
}

Settings loadSettings(const StoreGetter& get)
{
    Settings settings;
    settings.connectionType = get(QByteArrayLiteral("connection_type"));
    for (int p = 1; p <= ProtocolCount; ++p) {
        for (int o = 1; o <= OptionCount; ++o) {
            if (!hasOption(p, o))
                continue;
            const QByteArray stored = get(optionKey(p, o));
            if (stored.isEmpty())
                settings.value(p, o) = optionDefault(p, o);
            else if (o == AutologinPassword)
                settings.value(p, o) = commands::vncPasswordFromStored(stored);
            else
                settings.value(p, o) = QString::fromLatin1(stored);
        }
    }
    return settings;
}

void setDefaults(Settings& settings, int protocol)
{
    if (protocol < 1 || protocol > ProtocolCount)
        return;
    for (int o = 1; o <= OptionCount; ++o)
        settings.value(protocol, o) = optionDefault(protocol, o);
}

int windowPercent(const QString& stored)
{
    bool ok = false;
    const int value = stored.trimmed().toInt(&ok, 10);
    return ok && value >= 1 && value <= 100 ? value : 80;
}

bool isHostField(const QString& text)
{
    return !text.contains(QLatin1String("://"));
}

std::optional<QString> validationProblem(int protocol, const QString& server, const QString& proxy,
                                         bool autologin, const QString& user, const QString& password)
{
    if (!isHostField(server))
        return QStringLiteral(
            "\nServer/Broker[:Port] is not valid\n(hostname and optional port number only - "
            "do not enter a URL here)");
    if (!isHostField(proxy))
        return QStringLiteral(
            "\nGateway/Proxy[:Port] is not valid\n(hostname and optional port number only - "
            "do not enter a URL here)");
    if (autologin) {
        if (user.isEmpty() && loginNeedsUserName(protocol))
            return QStringLiteral("\nFor the selected access protocol, username field cannot be empty");
        if (password.isEmpty())
            return QStringLiteral("\nPassword field cannot be empty");
    }
    return std::nullopt;
}

QByteArray percentEncoded(const QString& text)
{
    static const char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const uchar b = static_cast<uchar>(c);
        out += '%';
        out += hex[b >> 4];
        out += hex[b & 0x0F];
    }
    return out;
}

QByteArray proxyUrl(const QString& host, const QString& user, const QString& password)
{
    const QByteArray hostText = commands::configValue(host);
    if (hostText.isEmpty())
        return QByteArray();
    QByteArray url = QByteArrayLiteral("http://");
    if (!user.isEmpty() && !password.isEmpty())
        url += percentEncoded(user) + ':' + percentEncoded(password) + '@';
    return url + hostText;
}

QByteArray configurationText(const Settings& settings)
{
    QByteArray text = line(QByteArrayLiteral("connection_type"),
                           commands::configValue(QString::fromLatin1(settings.connectionType)));
    for (int p = 1; p <= ProtocolCount; ++p) {
        for (int o = 1; o <= OptionCount; ++o) {
            const QString& value = settings.value(p, o);
            const QByteArray bytes =
                o == AutologinPassword ? value.toLatin1().toBase64() : commands::configValue(value);
            text += line(optionKey(p, o), bytes);
            if (p == Web && o == Proxy && !commands::configValue(value).isEmpty()) {
                const QByteArray url =
                    proxyUrl(value, settings.value(p, AutologinUserid), settings.value(p, AutologinPassword));
                text += line(QByteArrayLiteral("ftp_proxy"), url);
                text += line(QByteArrayLiteral("http_proxy"), url);
                text += line(QByteArrayLiteral("https_proxy"), url);
            }
        }
    }
    return text;
}

QByteArray legacyFrame(const Settings& settings)
{
    const int p = settings.protocol();
    auto lp = [](const QString& value) { return wire::lpString(commands::configValue(value).left(0xF000)); };
    auto flag = [&](int option) {
        return settings.value(p, option) == QLatin1String("no") || settings.value(p, option).isEmpty()
                   ? char(0)
                   : char(1);
    };
    QByteArray payload = wire::lpString(settings.connectionType.left(0xF000));
    payload += lp(settings.value(p, Server));
    payload += flag(AutoReconnect);
    payload += flag(AutologinEnabled);
    payload += lp(settings.value(p, CmdlineArgs));
    for (int o = 1; o <= OptionCount; ++o) {
        if (o == AutoReconnect || o == AutologinEnabled || o == Server || o == CmdlineArgs)
            continue;
        if (o == AutologinPassword)
            payload += wire::lpString(settings.value(p, o).toLatin1());
        else
            payload += lp(settings.value(p, o));
    }
    return wire::frame(msg::Type::ApplicationMode, 6, payload);
}

QString auditSentence(const QString& serial, const QByteArray& protocol)
{
    return QStringLiteral("configured ") + serial + QStringLiteral(" for ") + QString::fromLatin1(protocol) +
           QStringLiteral(" mode");
}

HandOff handOff(const QByteArray& protocol)
{
    if (protocol == "dsi")
        return HandOff::DsiInstead;
    if (protocol == "signage")
        return HandOff::SignageAfter;
    return HandOff::None;
}

} // namespace appmode

#pragma once

// The rules of the application mode: the program a device runs for its user (a remote
// desktop client, a terminal, a browser, a media player, digital signage ...) and the options
// of every protocol. The dialog keeps one text value per protocol and option; these functions
// load them from the device's configuration, list the choices each option offers, validate
// what the administrator entered and build what is sent: the whole category-18 text for
// agents of version 8 and later, the binary application-mode frame for older ones.
//
// Plain functions: nothing here touches a widget, a socket or the configuration store itself
// (the store is read through the getter the caller passes).

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace appmode {

constexpr int ProtocolCount = 21;
constexpr int OptionCount = 23;

// Protocol indexes of the protocol table.
enum Protocol
{
    Hdx = 1,
    Ssh = 2,
    Rdp = 3,
    Vnc = 4,
    X11 = 5,
    Netop = 6,
    Spice = 7,
    Web = 8,
    Nx = 9,
    Telnet = 10,
    Tn3270 = 11,
    Vmview = 12,
    Perf = 13,
    Userdef = 14,
    Dsi = 15,
    Mplayer = 16,
    Tn5250 = 17,
    Desktop = 18,
    Vidcon = 19,
    Ras = 20,
    Signage = 21,
};

// Option indexes of the option list.
enum Option
{
    AutoReconnect = 1,
    GraphicsQuality = 2,
    AudioQuality = 3,
    RedirectAudio = 4,
    RedirectMic = 5,
    Latency = 6,
    Security = 7,
    WindowSize = 8,
    RedirectVideo = 9,
    Subtype = 10,
    RedirectUsb = 11,
    RedirectSerial = 12,
    ComPort = 13,
    WindowPercent = 14,
    KioskMode = 15,
    AutologinEnabled = 16,
    AutologinUserid = 17,
    AutologinPassword = 18,
    AutologinDomain = 19,
    Server = 20,
    CmdlineArgs = 21,
    Proxy = 22,
    IdleTimeout = 23,
};

// One entry of a choice list: the value stored and sent, the text shown.
struct Choice
{
    QString value;
    QString label;
};

// The protocols of the "Mode" list in the order shown (value = protocol index). The two
// protocols no agent offers any more are not listed; a device that still runs one keeps it.
QList<std::pair<int, QString>> modeList();
// The label of a protocol in the "Mode" list (its name when it is not listed).
QString modeLabel(int protocol);

// True when the protocol has the option (with a default, possibly empty).
bool hasOption(int protocol, int option);
// The option's default for the protocol (empty when it has none).
QString optionDefault(int protocol, int option);
// The entries a combo box offers for the option of the protocol (empty for options shown by
// other widgets or that the protocol does not have).
QList<Choice> choices(int protocol, int option);
// "Proxy Login" instead of "Auto Login" where the login applies to the proxy.
bool loginAppliesToProxy(int protocol);
// VNC and SPICE log in with a password alone.
bool loginNeedsUserName(int protocol);

// Every protocol's option values (stored as text, the password in clear) and the chosen
// protocol. Index 0 of both arrays is unused.
struct Settings
{
    QByteArray connectionType; // the chosen protocol's name, as stored and sent
    std::array<std::array<QString, OptionCount + 1>, ProtocolCount + 1> values{};

    int protocol() const; // index of connectionType, 0 when unknown
    QString& value(int protocol, int option) { return values[protocol][option]; }
    const QString& value(int protocol, int option) const { return values[protocol][option]; }
};

using StoreGetter = std::function<QByteArray(const QByteArray& key)>;
// The device's values: for every protocol and option that applies, the stored value or, when
// that is empty, the protocol's default. The password is stored as the Base64 of its bytes and
// is decoded here. connection_type is taken as stored.
Settings loadSettings(const StoreGetter& get);
// Replaces the protocol's values by its defaults.
void setDefaults(Settings& settings, int protocol);

// The percentage box shows a stored window_percent from 1 to 100, anything else as 80.
int windowPercent(const QString& stored);

// ---- validation ---------------------------------------------------------------------------

// Host name and optional port only: no URL scheme.
bool isHostField(const QString& text);
// The warning text for what the dialog holds, in the order the dialog checks; nothing when
// it may be sent. `autologin` is the check box, user name and password the fields.
std::optional<QString> validationProblem(int protocol, const QString& server, const QString& proxy,
                                         bool autologin, const QString& user, const QString& password);

// ---- what is sent --------------------------------------------------------------------------

// Every byte of the UTF-8 text as %XX.
QByteArray percentEncoded(const QString& text);
// "http://" [user ":" password "@"] host, or empty when the host is empty. User and password
// are included (encoded) only when both are given.
QByteArray proxyUrl(const QString& host, const QString& user, const QString& password);

// connection_type, then every option of every protocol in table order (the password as the
// Base64 of its Latin-1 bytes), and after web's proxy line its ftp, http and https proxy URLs
// when a proxy host is given. Values are made safe for one line.
QByteArray configurationText(const Settings& settings);
// Agents older than version 8: type 18, code 6. The protocol name, its server, the
// auto-reconnect and auto-login bytes and the command-line arguments (the layout every older
// agent reads), then the protocol's other options in list order as lp-strings (the password
// as its Latin-1 bytes).
QByteArray legacyFrame(const Settings& settings);
// "configured <serial> for <protocol> mode"
QString auditSentence(const QString& serial, const QByteArray& protocol);

// What follows the dialog: dsi mode is configured by its signage editors instead (nothing of
// this text is sent); signage mode sends this text, then its outputs are configured.
enum class HandOff
{
    None,
    DsiInstead,
    SignageAfter,
};
HandOff handOff(const QByteArray& protocol);

} // namespace appmode

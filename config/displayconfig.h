#pragma once

// The rules of the display configuration: clone or extended desktop, the screen saver, and
// for each of up to four outputs whether it is primary, where it sits against another output,
// its rotation, mode set and resolution. Version gates, the resolution entries devices report
// ("1920x1080 (CEA 16)"), the checks made before sending, the category-51 text and the binary
// frame older agents take.
//
// Plain functions: nothing here touches a widget, a socket or the configuration store itself.

#include "signage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace displays {

constexpr int MaxOutputs = 4;

// What the dialog needs to know of the device.
struct Device
{
    QString serial;
    QString clientVersion;
    int firmwareType = 0;
    QByteArray protocol;        // connection_type (or the mode just chosen, when the mode dialog hands over)
    QString localServerAddress; // where the device reaches this server (the local rsync service's host)
};

// Four outputs from agent 8.4.5 on, three before.
int outputCount(const QString& clientVersion);
// Agents from 8.2.0 on report their resolution lists when asked.
bool requestsResolutions(const QString& clientVersion);
// The "Mode Set" column: the two Raspberry Pi types that choose between TV and monitor modes.
bool showsModeSet(int firmwareType);
// The signage column: devices in one of the two signage modes.
bool showsSignage(const QByteArray& protocol);

struct Output
{
    QString position = QStringLiteral("none"); // rightof, leftof, above, below, none
    int referent = 0;                          // 1 to 4, 0 for none
    QString orientation = QStringLiteral("normal");
    QString modeSet = QStringLiteral("auto"); // auto, cea, dmt
    QString modeNumber;
    QString resolution = QStringLiteral("auto");
    bool primary = false;
};

struct Settings
{
    bool extended = false;
    QString timeout = QStringLiteral("20");
    std::array<Output, MaxOutputs> outputs{};
    std::array<signage::OutputValues, MaxOutputs> signage{};
};

using StoreGetter = signage::StoreGetter;
// The device's values as stored; empty values keep the defaults above (an empty mode set is
// "dmt"), a non-numeric referent counts 0, an empty timeout shows 20.
Settings loadSettings(const StoreGetter& get);

// ---- widgets' lists -------------------------------------------------------------------------

QStringList defaultResolutions();
// The rotation shown for a stored orientation ("landscape" is normal, "portrait" is right),
// and the value stored for a shown one ("right" is stored as "portrait").
QString shownOrientation(const QString& stored);
QString storedOrientation(const QString& shown);

// A resolution entry as the device lists it: "1920x1080", "1920x1080 (CEA 16)", "Auto ...".
struct Resolution
{
    QString resolution; // the first word in lower case ("auto" for an automatic entry)
    QString modeSet;    // "cea" or "dmt" when the entry carries a mode reference
    QString modeNumber; // the reference's number
    bool automatic = false;
};
Resolution parseResolution(const QString& entry);
// The entry of the list that shows the stored resolution (preferring the one with the stored
// mode reference); -1 when none does.
int findResolution(const QStringList& entries, const QString& resolution, const QString& modeSet,
                   const QString& modeNumber);
// The entries a mode set (0 Auto, 1 CEA, 2 DMT) offers, with "Auto" first; empty when the
// list holds no entry with a mode reference for it.
QStringList filterForModeSet(const QStringList& entries, int modeSetIndex);

// ---- checks -----------------------------------------------------------------------------------

// The first problem, as the critical box's text, in the order the dialog checks: the timeout,
// clone resolutions, each shown output's referent and cycle, one unpositioned output in an
// extended layout, and in dsi mode each shown output's signage settings.
std::optional<QString> validationProblem(const Settings& settings, int shownOutputs,
                                         const QByteArray& protocol);
// True when following referents from the output leads back to it.
bool positionedRelativeToItself(const Settings& settings, int output);

// ---- what is sent -------------------------------------------------------------------------------

// Outputs that show signage: the first in clone mode, every shown one (up to three) in an
// extended layout.
int signageOutputs(const Settings& settings, int shownOutputs);
// Category 51: mode, timeout, then per output its eight lines and, in signage mode, its five
// signage lines.
QByteArray configurationText(const Settings& settings, const QByteArray& protocol);
// Older agents: type 51, code 1: mode and timeout as lp-strings, the number of outputs, then per
// output position, referent, orientation and resolution as lp-strings, the primary byte, mode
// set and mode number as lp-strings.
QByteArray legacyFrame(const Settings& settings);
QString auditSentence(const QString& serial); // "reconfigured displays on <serial>"

} // namespace displays

#pragma once

// Hotfixes: files in the hotfix store's folder of a firmware type, named in three or more
// "%"-separated parts (the second the firmware version they apply to, the third the name the
// administrator sees) and ending in ".bin". A hotfix that passes the upgrade-file check is
// encrypted and must carry the devices' type; one that fails it is installed only after an
// explicit warning. The devices pull the named files over their agent connections.

#include "box.h"
#include "commands.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace upgrade {

struct HotfixRow
{
    QString name; // the third part of the file name
    QString path; // absolute
};
// The rows offered for a firmware version: the "*.bin" plain files of the folder (no links),
// by name, whose name without ".bin", split at "%", has a second part equal to the version and
// a third part that is not empty.
QList<HotfixRow> hotfixRows(const QString& folder, const QString& firmwareVersion);
// The name a hotfix file shows for a firmware version (the third part of the rule above);
// nothing when the file is not offered for that version.
std::optional<QString> hotfixName(const QString& fileName, const QString& firmwareVersion);

// The firmware type and version every selected device shares.
struct HotfixTarget
{
    int firmwareType = 0;
    QString firmwareVersion;
};
struct HotfixDeviceCheck
{
    std::optional<HotfixTarget> target; // set when the command may go on
    std::optional<Box> box;             // the refusal to show (none: stop silently)
};
// The devices must share one firmware type and one firmware version text (compared with case).
// A device of type 0 or without a version among others is a mixture too, never a wildcard.
// When they all lack a type or a version the command stops without a box.
HotfixDeviceCheck checkHotfixDevices(const QList<commands::DeviceFacts>& devices);

// What one chosen file is for the devices' type.
enum class HotfixKind
{
    Encrypted,   // passes the check and carries the type: kept
    WrongType,   // passes the check for another type: dropped with a box
    Unencrypted, // fails the check: kept only when the administrator says Yes
};
HotfixKind classifyHotfix(const QString& path, int firmwareType);
Box wrongTypeHotfixBox(const QString& path, int firmwareType);
Box unencryptedHotfixQuestion(const QString& path);

// Type 26, code 2: the date strings, the type name, one byte with the number of files and the
// paths, all lp-strings.
struct HotfixMessage
{
    std::optional<QByteArray> message;
    std::optional<Box> box; // why nothing was built
};
constexpr int MaxHotfixFiles = 255;
// Refuses (with a box) more than 255 files, a path that is not Latin-1, and a message over the
// 16-bit length, so nothing is ever sent that the agent would read differently.
HotfixMessage hotfixMessage(int firmwareType, const QStringList& paths, const QDate& date);

QString hotfixSentence(const QString& path, const QString& serial);
// Warning when devices were offline at the send; nothing otherwise.
std::optional<Box> hotfixReport(int offline);

} // namespace upgrade

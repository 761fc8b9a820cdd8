#pragma once

// Storage assignment for devices waiting in maintenance mode: the devices upload lists of
// their block devices into the temporary folder, the administrator picks the ones the
// installer may overwrite (or lets each device choose), and the choice is sent back.
//
// A list holds one block device per line, five comma-separated fields: the size in 512-byte
// sectors, vendor, model, type and name. Identical lines from one or several devices are one
// entry that counts its occurrences.

#include "box.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace upgrade {

// The pattern of the uploaded lists in the temporary folder.
QString blockDeviceListPattern(); // "*_blkdev_list.lst"
QString whitelistFileName();      // "whitelist.txt"

// Line text -> occurrences. Lines are compared whole once a carriage return before their line
// feed is dropped (lists from one device may end lines with CR LF, from another with LF);
// lines with other than five fields are left out.
using BlockDeviceCounts = QMap<QString, int>;
void addBlockDeviceList(BlockDeviceCounts& counts, const QByteArray& text);
// Every list in the folder (plain files, no links).
BlockDeviceCounts readBlockDeviceLists(const QString& folder);
// Removes the lists left by an earlier run; the number removed.
int removeBlockDeviceLists(const QString& folder);

struct BlockDevice
{
    QString line;
    int occurrences = 0;
    QString sizeMb;
    QString vendor;
    QString model;
    QString type;
    QString name;
};
// One row per entry, in line order, with its fields split out.
QList<BlockDevice> blockDevices(const BlockDeviceCounts& counts);
// Sectors / 2048 rounded to the nearest integer; "0" when the field is not a number; empty
// when it is empty.
QString sizeInMegabytes(const QString& sectors);

// Writes the chosen lines, each ended by a line feed, durably (the old list stays whole when
// the write fails). False on failure, with the system's reason in *error when given.
bool writeWhitelist(const QString& folder, const QStringList& lines, QString* error = nullptr);
Box whitelistErrorBox();
Box dedicateWarning(); // Yes/No, default No

// What the devices are told: "AUTO-SELECT\n", or the whitelist file's bytes (nothing when it
// is missing or unreadable).
QByteArray approvalPayload(bool autoSelect, const QString& folder);
// Type 49, code 0: the payload without terminator. Nothing when it does not fit 16 bits.
std::optional<QByteArray> approvalMessage(const QByteArray& payload);
// Short frame 48: the devices upload their lists.
QByteArray blockDeviceListRequest();
// The wait for the uploads, in milliseconds.
constexpr int StorageWaitMs = 5000;

// ---- the command's texts --------------------------------------------------------------------

Box noMaintenanceDevicesBox();
Box storageRequestInformation();
QString approvalSentence(const QString& serial, const QByteArray& payload);

} // namespace upgrade

#pragma once

// How a device record reads in the device list, the export file and the information dialog:
// plain functions, so the rules are tested without widgets.

#include "devicecolumns.h"

#include <QString>
#include <QStringList>

class ThinclientInfo;

// The protocol name of a protocol index, upper-cased; empty when the table has none there.
QString protocolDisplayName(int protocolType);
// Last-seen text: "Unknown" for 0, else the local time as "yyyy-MM-dd hh:mm".
QString lastSeenText(qint64 seconds);
// Text of a device cell (the Status cell is set by the status rules, not here).
QString deviceColumnText(const ThinclientInfo& device, DeviceColumn column, qint64 lastSeenSeconds);
// Status text when a row is (re)built: "Offline" (boot mode 0), "In maintenance mode" (3), else empty.
QString initialStatusText(quint8 bootMode);

// Packed version: "%u.%u.%u" read as a, b, c; fewer than two numbers give 0; otherwise
// (a & 0xFF) << 16 | (b & 0xFF) << 8 | (c & 0xFF), a missing third number counting as 0.
quint32 packedVersion(const QString& version);

enum class VersionColour
{
    Black,
    Blue,
    Red
};
// Against the newest known version: behind by less than the threshold is blue, further
// behind red, up to date (or nothing known) black.
VersionColour versionColour(quint32 packed, quint32 latest, quint32 threshold);
constexpr quint32 FirmwareBlueThreshold = 0x600;
constexpr quint32 ClientBlueThreshold = 0x400;

// A device refused for a serial number that cannot name its files (empty, or holding
// characters a file name must not have): the status-bar text and the audit sentence. The
// serial number is shown with control characters written as \xNN.
QString refusedSerialStatus(const QString& serial);
QString refusedSerialSentence(const QString& serial);

// The twelve fields of a device line of the exported device list.
QStringList exportFields(const ThinclientInfo& device);

#pragma once

// The stores of firmware images and agent packages hold one folder per version; files in
// them are recognised as upgrade files by their header, which also names the firmware type
// they are for.

#include <QByteArray>
#include <QString>

namespace upgrade {

// Firmware types are 0 to 14; their names (and the names of the firmware-type folders) are
// the hardware model table's.
constexpr int FirmwareTypeCount = 15;
// Bytes of the header an upgrade file starts with.
constexpr int HeaderSize = 51;

// The version number of a folder name: "-" read as ".", each "."-separated component a
// decimal number (0 when it is not one) cut to 8 bits, packed first component first, 8 bits
// each. Fewer components pack to a smaller number whatever their values.
quint64 packedFolderVersion(const QString& name);

// The newest version folder directly in `folder`: of its sub-folders (symbolic links left
// out) in name order, the first with the highest packed version. Empty when the folder is
// empty, missing or not given.
QString newestVersionFolder(const QString& folder);

struct HeaderCheck
{
    bool accepted = false;
    int firmwareType = 0; // 0 when rejected
};
// The header of an upgrade file: the first 10 bytes are stored bitwise inverted; once
// inverted, byte 0 is 0xDE, byte 2 0x6A, byte 4 0x8F, byte 6 0x94, and byte 1 is the
// firmware type (0 to 14). Anything shorter than 51 bytes is rejected.
HeaderCheck checkHeader(const QByteArray& header);
// The check run on a file's first 51 bytes; a file that cannot be read is rejected.
HeaderCheck checkUpgradeFile(const QString& path);

// The first 51 bytes of a valid upgrade file for the type (tests and the simulator build
// images with it); the rest of the header is filled with `filler`.
QByteArray makeHeader(int firmwareType, char filler = 0);

} // namespace upgrade

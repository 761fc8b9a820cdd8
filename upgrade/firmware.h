#pragma once

// Firmware upgrade: which images of a version folder are sent, the message naming them, and
// the questions and reports of the command. The devices then pull the named files over their
// agent connections.

#include "box.h"
#include "commands.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace upgrade {

// The texts of the two-way choice between the newest version and a folder of one's own.
struct ChoiceTexts
{
    QString title;
    QString prompt;
    QString latest; // option 1, pre-selected
    QString select; // option 2
    QString chooserTitle;
};

// ---- the images of a version folder --------------------------------------------------------

enum class ImageSlot
{
    Kernel,     // "uimage.bin..."
    RootFs,     // "rfs_jffs2.img..."
    UpgradeImg, // "upgrade.img..."
};
constexpr int ImageSlotCount = 3;

struct ImageSet
{
    enum class Problem
    {
        None,
        NoImages,   // no file passed the header check
        MixedTypes, // the images carry different firmware types
    };
    Problem problem = Problem::NoImages;
    int firmwareType = -1;                     // of the accepted images (-1 when none)
    std::array<QString, ImageSlotCount> paths; // native paths; empty slots are not sent
    bool ok() const { return problem == Problem::None; }
};

// The images of a folder. Its plain files are examined by name; a file counts when its name
// starts, ignoring case, with a slot's prefix and its header passes the upgrade-file check
// for a type that has a name; a later file (by name) of the same prefix replaces an earlier
// one. The type is that of the accepted files only; a folder whose images name different
// types offers none.
ImageSet firmwareImages(const QString& folder);

// Type 3, code 1: the date strings, the type name, then the filled slots in slot order, all
// lp-strings. Nothing when the set is not usable, a path is not Latin-1, or the message does
// not fit its 16-bit length.
std::optional<QByteArray> firmwareUpgradeMessage(const ImageSet& images, const QDate& date);

// A device receives the message when it is online and of the images' type.
bool firmwareEligible(const commands::DeviceFacts& device, const ImageSet& images);

// ---- the command's texts --------------------------------------------------------------------

// Critical "Upgrade Firmware" when the devices are not all of one firmware type.
std::optional<Box> firmwareDeviceTypeBox(const QList<commands::DeviceFacts>& devices);
// No version folder for the devices' type.
Box noFirmwareFolderBox();
ChoiceTexts firmwareChoice(const QString& newestFolder);
// The Yes/No question (default Yes) before anything is sent.
Box firmwareConfirmBox();
// No usable images in the folder (also for a folder with images of different types).
Box noImagesBox(const QString& folder);
QString firmwareSentence(const QString& serial, const QString& folder);
// Information when devices were ignored (offline or of another type), a warning when nothing
// was sent, nothing when every device got it.
std::optional<Box> firmwareReport(int sent, int ignored);

} // namespace upgrade

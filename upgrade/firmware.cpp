#include "firmware.h"

#include "messages.h"
#include "paths.h"
#include "upgradefile.h"
#include "wire.h"

#include <QDir>

namespace upgrade {

namespace {

const char* const SlotPrefixes[ImageSlotCount] = {"uimage.bin", "rfs_jffs2.img", "upgrade.img"};

const QString FirmwareTitle = QStringLiteral("Upgrade Firmware");
const QString ReportTitle = QStringLiteral("Firmware Upgrade");

int slotOf(const QString& name)
{
    for (int slot = 0; slot < ImageSlotCount; ++slot) {
        if (name.startsWith(QLatin1String(SlotPrefixes[slot]), Qt::CaseInsensitive))
            return slot;
    }
    return -1;
}

} // namespace

ImageSet firmwareImages(const QString& folder)
{
    ImageSet set;
    const QString nativeFolder = QDir::toNativeSeparators(folder);
    for (const QString& name : filesByName(folder)) {
        const int slot = slotOf(name);
        if (slot < 0)
            continue;
        const HeaderCheck check = checkUpgradeFile(folder + QLatin1Char('/') + name);
        // An image for a type without a name fits no device.
        if (!check.accepted || firmwareTypeName(check.firmwareType).isEmpty())
            continue;
        if (set.firmwareType >= 0 && set.firmwareType != check.firmwareType) {
            ImageSet mixed;
            mixed.problem = ImageSet::Problem::MixedTypes;
            return mixed;
        }
        set.firmwareType = check.firmwareType;
        set.paths[static_cast<size_t>(slot)] = nativeFolder + QDir::separator() + name;
    }
    set.problem = set.firmwareType < 0 ? ImageSet::Problem::NoImages : ImageSet::Problem::None;
    return set;
}

std::optional<QByteArray> firmwareUpgradeMessage(const ImageSet& images, const QDate& date)
{
    if (!images.ok())
        return std::nullopt;
    QByteArray payload = dateStrings(date) + wire::lpString(firmwareTypeName(images.firmwareType).toLatin1());
    for (const QString& path : images.paths) {
        if (path.isEmpty())
            continue;
        if (!commands::isLatin1(path))
            return std::nullopt;
        payload += wire::lpString(path.toLatin1());
    }
    const QByteArray message = wire::frame(msg::Type::FirmwareUpgrade, 1, payload);
    if (message.isEmpty())
        return std::nullopt;
    return message;
}

bool firmwareEligible(const commands::DeviceFacts& device, const ImageSet& images)
{
    return images.ok() && device.online && device.firmwareType == images.firmwareType;
}

std::optional<Box> firmwareDeviceTypeBox(const QList<commands::DeviceFacts>& devices)
{
    for (const commands::DeviceFacts& device : devices) {
        if (device.firmwareType != devices.first().firmwareType) {
            return critical(
                FirmwareTitle,
                QStringLiteral("You have selected multiple device types.\nPlease select just one type."));
        }
    }
    return std::nullopt;
}

Box noFirmwareFolderBox()
{
    return critical(FirmwareTitle,
                    QStringLiteral("\nNo firmware upgrades were found.\n\nYou can download firmware "
                                   "upgrades by clicking on the Download button in the toolbar."));
}

ChoiceTexts firmwareChoice(const QString& newestFolder)
{
    return ChoiceTexts{QStringLiteral("Upgrade firmware"), QStringLiteral("Upgrade firmware"),
                       QStringLiteral("Install latest firmware version ") + newestFolder,
                       QStringLiteral("Let me select the firmware to install"),
                       QStringLiteral("Select Firmware Version")};
}

Box firmwareConfirmBox()
{
    return question(
        FirmwareTitle,
        QStringLiteral("\nNote: it takes 4-6 minutes to upgrade firmware on most storage\ndevices, "
                       "and 10-25 minutes on slow flash media such as SD cards.\nPlease be "
                       "patient!\n\nAre you sure you want to upgrade firmware on selected devices?"),
        true);
}

Box noImagesBox(const QString& folder)
{
    return critical(ReportTitle,
                    QStringLiteral("No upgrade files found in:\n\n") + QDir::toNativeSeparators(folder));
}

QString firmwareSentence(const QString& serial, const QString& folder)
{
    return QStringLiteral("initiated firmware upgrade on ") + serial + QStringLiteral(" from ") + folder;
}

std::optional<Box> firmwareReport(int sent, int ignored)
{
    if (ignored > 0) {
        return information(ReportTitle,
                           QStringLiteral("Firmware upgrade command has been sent to ") +
                               QString::number(sent) + QStringLiteral(" device(s).\n\n") +
                               QString::number(ignored) +
                               QStringLiteral(" device(s) were ignored because they are offline or their "
                                              "firmware type does not match the upgrade files."));
    }
    if (sent == 0) {
        return warning(ReportTitle,
                       QStringLiteral("\nFirmware upgrade command has not been sent to any devices.\n\n"));
    }
    return std::nullopt;
}

} // namespace upgrade

#include "hotfix.h"

#include "messages.h"
#include "paths.h"
#include "upgradefile.h"
#include "wire.h"

#include <QDir>
#include <QFileInfo>

namespace upgrade {

namespace {

const QString HotfixTitle = QStringLiteral("Hotfix Installation");

Box mixedTypesBox()
{
    return critical(HotfixTitle, QStringLiteral("You have selected multiple firmware types.\n\nPlease select "
                                                "devices with the same firmware type."));
}

Box mixedVersionsBox()
{
    return critical(HotfixTitle,
                    QStringLiteral("You have selected multiple firmware versions.\n\nPlease select "
                                   "devices with the same firmware version."));
}

} // namespace

QList<HotfixRow> hotfixRows(const QString& folder, const QString& firmwareVersion)
{
    QList<HotfixRow> rows;
    const QDir dir(folder);
    for (const QString& name : filesByName(folder, {QStringLiteral("*.bin")})) {
        if (const std::optional<QString> shown = hotfixName(name, firmwareVersion))
            rows.append(HotfixRow{*shown, QFileInfo(dir, name).absoluteFilePath()});
    }
    return rows;
}

std::optional<QString> hotfixName(const QString& fileName, const QString& firmwareVersion)
{
    if (!fileName.endsWith(QLatin1String(".bin"), Qt::CaseInsensitive)) // as the folder filter matches
        return std::nullopt;
    // The name without its ".bin" is what splits: x%8.4.4%Fix.bin shows "Fix".
    const QStringList parts = fileName.left(fileName.size() - 4).split(QLatin1Char('%'));
    if (parts.size() > 2 && parts.at(1) == firmwareVersion && !parts.at(2).isEmpty())
        return parts.at(2);
    return std::nullopt;
}

HotfixDeviceCheck checkHotfixDevices(const QList<commands::DeviceFacts>& devices)
{
    HotfixDeviceCheck check;
    if (devices.isEmpty())
        return check;
    const commands::DeviceFacts& first = devices.first();
    for (const commands::DeviceFacts& device : devices) {
        if (device.firmwareType != first.firmwareType) {
            check.box = mixedTypesBox();
            return check;
        }
    }
    for (const commands::DeviceFacts& device : devices) {
        if (device.firmwareVersion != first.firmwareVersion) {
            check.box = mixedVersionsBox();
            return check;
        }
    }
    if (first.firmwareType == 0 || first.firmwareVersion.isEmpty())
        return check;
    check.target = HotfixTarget{first.firmwareType, first.firmwareVersion};
    return check;
}

HotfixKind classifyHotfix(const QString& path, int firmwareType)
{
    const HeaderCheck header = checkUpgradeFile(path);
    if (!header.accepted)
        return HotfixKind::Unencrypted;
    return header.firmwareType == firmwareType ? HotfixKind::Encrypted : HotfixKind::WrongType;
}

Box wrongTypeHotfixBox(const QString& path, int firmwareType)
{
    return critical(HotfixTitle, path + QStringLiteral(" is not a valid hotfix file for ") +
                                     firmwareTypeName(firmwareType) +
                                     QStringLiteral(" devices, and will be ignored."));
}

Box unencryptedHotfixQuestion(const QString& path)
{
    return question(
        HotfixTitle,
        path + QStringLiteral(" is not an encrypted hotfix file.\n\nRVX has no way to ensure the "
                              "validity, authenticity or integrity of this update, which ZYLOS would "
                              "attempt to install using superuser privilege.\n\nAre you sure that "
                              "you want to install this hotfix on the selected device(s)?"),
        false);
}

HotfixMessage hotfixMessage(int firmwareType, const QStringList& paths, const QDate& date)
{
    HotfixMessage result;
    if (paths.size() > MaxHotfixFiles) {
        result.box =
            critical(HotfixTitle, QStringLiteral("\nYou have selected ") + QString::number(paths.size()) +
                                      QStringLiteral(" hotfix files.\n\nAt most 255 can be installed at "
                                                     "once; please select fewer."));
        return result;
    }
    if (auto box = latin1PathBox(HotfixTitle, paths)) {
        result.box = box;
        return result;
    }
    QByteArray payload = dateStrings(date) + wire::lpString(firmwareTypeName(firmwareType).toLatin1());
    payload.append(static_cast<char>(paths.size()));
    for (const QString& path : paths)
        payload += wire::lpString(path.toLatin1());
    const QByteArray message = wire::frame(msg::Type::HotfixInstall, 2, payload);
    if (message.isEmpty()) {
        result.box =
            critical(HotfixTitle, QStringLiteral("\nThe paths of the selected hotfix files are too long "
                                                 "for one message.\n\nPlease select fewer hotfix files."));
        return result;
    }
    result.message = message;
    return result;
}

QString hotfixSentence(const QString& path, const QString& serial)
{
    return QStringLiteral("installed hotfix ") + path + QStringLiteral(" on ") + serial;
}

std::optional<Box> hotfixReport(int offline)
{
    if (offline <= 0)
        return std::nullopt;
    return warning(HotfixTitle, QStringLiteral("Hotfixes were not installed on ") + QString::number(offline) +
                                    QStringLiteral(" device(s) because they are offline."));
}

} // namespace upgrade

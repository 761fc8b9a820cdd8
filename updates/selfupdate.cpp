#include "selfupdate.h"

#include "upgradefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace updates {

QString installerTypeFor(const QString& platform)
{
    if (platform == QLatin1String("windows"))
        return QStringLiteral("rvx_server_exe");
    if (platform == QLatin1String("linux_rpm"))
        return QStringLiteral("rvx_server_rpm");
    if (platform == QLatin1String("linux_deb"))
        return QStringLiteral("rvx_server_deb");
    if (platform == QLatin1String("mac"))
        return QStringLiteral("rvx_server_dmg");
    return QString();
}

bool isInstallerFor(const QString& type, const QString& platform)
{
    const QString wanted = installerTypeFor(platform);
    return !wanted.isEmpty() && type == wanted;
}

QString runningVersion()
{
    return QStringLiteral(RVX_VERSION_STRING);
}

bool isUpgrade(const QString& installerPath, const QString& running)
{
    // Only the file name: a hyphen in a folder above it says nothing about the version.
    const QString name = QFileInfo(QDir::fromNativeSeparators(installerPath)).fileName();
    const QStringList parts = name.split(QLatin1Char('-'));
    if (parts.size() != 3)
        return true;
    return upgrade::packedFolderVersion(parts.at(1)) > upgrade::packedFolderVersion(running);
}

Message selfUpdateOffer(const QString& description, bool upgrade)
{
    return {Message::Kind::Information, QStringLiteral("RVX Update"),
            upgrade
                ? description + QStringLiteral(" has been downloaded. The installation will begin when you "
                                               "exit RVX.")
                : description + QStringLiteral(" is not an upgrade for the installed version of RVX. It has "
                                               "been downloaded but will not be installed.")};
}

Message installNotice()
{
    return {Message::Kind::Information, QStringLiteral("Install RVX Update"),
            QStringLiteral("A new version of RVX has been downloaded; click OK to install it.")};
}

QUrl installerUrl(const QString& installerPath)
{
    return QUrl::fromLocalFile(QDir::fromNativeSeparators(installerPath));
}

Message installFailed(const QString& installerPath)
{
    return {Message::Kind::Warning, QStringLiteral("Install RVX Update"),
            QStringLiteral(
                "Failed to start the installer. You can install it manually by opening file manager and "
                "double clicking on file:\n\n") +
                QDir::toNativeSeparators(installerPath)};
}

const char* optionsAtStartKey()
{
    return "optionsAtNextStart";
}

void requestOptionsAtNextStart(QSettings& settings)
{
    settings.setValue(QLatin1String(optionsAtStartKey()), true);
    settings.sync();
}

bool optionsRequestedAtStart(const QSettings& settings)
{
    return settings.value(QLatin1String(optionsAtStartKey()), false).toBool();
}

void clearOptionsRequest(QSettings& settings)
{
    settings.remove(QLatin1String(optionsAtStartKey()));
}

} // namespace updates

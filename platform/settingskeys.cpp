#include "settingskeys.h"

#include <QDir>
#include <QSettings>

namespace rvx::settings {

const char* key(Folder folder)
{
    switch (folder) {
    case Folder::Working:
        return "rvxWorkingDir";
    case Folder::FirmwareImages:
        return "firmwareImageDir";
    case Folder::AgentPackages:
        return "appImageDir";
    case Folder::Hotfixes:
        return "hotfixDir";
    case Folder::Temp:
        return "tempDir";
    case Folder::Profiles:
        return "profileDir";
    case Folder::Database:
        return "databaseDir";
    case Folder::DeviceFiles:
        return "deviceFilesDir";
    case Folder::SignageContent1:
        return "signageContentDir1";
    case Folder::SignageContent2:
        return "signageContentDir2";
    case Folder::SignageContent3:
        return "signageContentDir3";
    }
    return "";
}

QString folder(const QSettings& settings, Folder which)
{
    return text(settings, key(which));
}

QString folderPath(const QSettings& settings, Folder which)
{
    return QDir::fromNativeSeparators(folder(settings, which));
}

QString text(const QSettings& settings, const char* key)
{
    return settings.value(QLatin1String(key)).toString();
}

bool flag(const QSettings& settings, const char* key, bool defaultValue)
{
    return settings.value(QLatin1String(key), defaultValue).toBool();
}

} // namespace rvx::settings

#pragma once

// Typed access to the settings store: the keys of the folders every feature reads, spelled
// out once.

#include <QString>

class QSettings;

namespace rvx::settings {

// The working folder and the seven folders below it that the Options dialog creates, and the
// three content folders of digital signage.
enum class Folder
{
    Working,        // rvxWorkingDir
    FirmwareImages, // firmwareImageDir
    AgentPackages,  // appImageDir
    Hotfixes,       // hotfixDir
    Temp,           // tempDir
    Profiles,       // profileDir
    Database,       // databaseDir
    DeviceFiles,    // deviceFilesDir
    SignageContent1,
    SignageContent2,
    SignageContent3,
};

// The settings key of a folder ("rvxWorkingDir", "firmwareImageDir", ...).
const char* key(Folder folder);
// The folder as stored (native separators, as the Options dialog writes it); empty when unset.
QString folder(const QSettings& settings, Folder folder);
// The same with "/" separators, for building paths with QDir and QFile.
QString folderPath(const QSettings& settings, Folder folder);

// A stored value as text (empty when unset).
QString text(const QSettings& settings, const char* key);
// A stored yes/no value (the default when unset).
bool flag(const QSettings& settings, const char* key, bool defaultValue = false);

} // namespace rvx::settings

#pragma once

// The server's own update: a downloaded installer for this platform is remembered, and when
// it is newer than the running server it is handed to the system as the window closes.

#include "updaterules.h"

#include <QString>
#include <QUrl>

class QSettings;

namespace updates {

// The catalogue type of the installer for a platform: "windows" -> "rvx_server_exe",
// "linux_rpm" -> "rvx_server_rpm", "linux_deb" -> "rvx_server_deb", "mac" -> "rvx_server_dmg";
// empty for any other platform name.
QString installerTypeFor(const QString& platform);
// Whether the catalogue type is the installer for that platform.
bool isInstallerFor(const QString& type, const QString& platform);

// The running server's version.
QString runningVersion();
// Whether the installer is an upgrade of `running`. Its file name (not the folders above it)
// is split at "-": unless that gives exactly three parts, it counts as an upgrade; otherwise
// the middle part is its version, packed as version folders are, and must be greater.
bool isUpgrade(const QString& installerPath, const QString& running = runningVersion());

// What is remembered of the installers a check downloaded: the last one, and whether it is
// an upgrade. Lost when the server stops other than by closing its window.
struct PendingInstall
{
    QString installer;
    bool upgrade = false;
};

// The box that tells what becomes of a downloaded installer.
Message selfUpdateOffer(const QString& description, bool upgrade);

// Closing the window with an upgrade pending: this box, then the installer is opened through
// the desktop's handler for its URL.
Message installNotice();
// The URL of a local installer (file:///C:/... on Windows, file:///tmp/... elsewhere).
QUrl installerUrl(const QString& installerPath);
// When the installer could not be opened.
Message installFailed(const QString& installerPath);

// Once the installer runs, every setting is kept for the new version; only its first start
// opens the Options dialog (in start-up mode, filled in with the kept values), as a first
// start would. Saving that dialog clears the mark.
void requestOptionsAtNextStart(QSettings& settings);
bool optionsRequestedAtStart(const QSettings& settings);
void clearOptionsRequest(QSettings& settings);
// The settings key of the mark.
const char* optionsAtStartKey();

} // namespace updates

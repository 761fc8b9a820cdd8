#pragma once

// Agent upgrade: the package store holds one folder per agent version, and a version folder
// one package per firmware type. Each device is sent the path of the package for its own
// type and pulls the file over its agent connection.

#include "box.h"
#include "commands.h"
#include "firmware.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace upgrade {

// Firmware type -> native path of its package. The plain files of the folder are examined by
// name; every file that passes the upgrade-file check is the package for the type in its
// header, and a later file (by name) of the same type replaces an earlier one.
using PackageSet = QMap<int, QString>;
PackageSet agentPackages(const QString& folder);

// The package a device is sent: the one for its type, when it is online. Empty otherwise.
QString packageFor(const commands::DeviceFacts& device, const PackageSet& packages);

// Type 12, code 1: the package path as Latin-1 with a NUL (no length prefix), then the date
// strings. Nothing when the path is empty, not Latin-1, or too long for the 16-bit length.
std::optional<QByteArray> agentUpgradeMessage(const QString& packagePath, const QDate& date);

// ---- the command's texts --------------------------------------------------------------------

Box noAgentFolderBox();
ChoiceTexts agentChoice(const QString& newestFolder);
// The chosen folder must lie inside the package store (isWithinFolder); the box when not.
std::optional<Box> agentFolderBox(const QString& folder, const QString& store);
Box noPackagesBox(const QString& folder);
QString agentSentence(const QString& serial, const QString& folder);
std::optional<Box> agentReport(int sent, int ignored);

} // namespace upgrade

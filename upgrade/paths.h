#pragma once

// Folder and path rules shared by the upgrade commands, and the pieces of their messages.

#include "box.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>

namespace upgrade {

// True when `folder` is `store` itself or lies below it. Both are resolved to their canonical
// form first (symbolic links and ".." followed), then compared component by component, so a
// store /srv/apps admits /srv/apps/8.4 but never /srv/apps-old/8.4. A folder or store that
// does not exist is never within. Case is ignored where the file system ignores it (Windows).
bool isWithinFolder(const QString& folder, const QString& store);

// The name of a firmware type (and of its folder in the firmware and hotfix stores); empty
// for the types without a name (0, 1) and out of range.
QString firmwareTypeName(int firmwareType);
// store + "/" + the type's name; empty for a type without a name, so no store root is ever
// taken for a type folder.
QString typeFolder(const QString& store, int firmwareType);

// The date the agent records with an upgrade: lp-strings of the month, the day and the year,
// decimal without padding.
QByteArray dateStrings(const QDate& date);

// The plain files of a folder, by name, without symbolic links.
QStringList filesByName(const QString& folder, const QStringList& nameFilters = QStringList());

// Paths travel to the agents as Latin-1: a path with a character outside it would arrive as
// "?" and name no file. The box refusing such a path (none when every path is Latin-1).
std::optional<Box> latin1PathBox(const QString& title, const QStringList& paths);

} // namespace upgrade

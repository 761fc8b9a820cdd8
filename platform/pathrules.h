#pragma once

// Where a path lies, compared the way the file system names things: after resolving symbolic
// links and "..", component by component (a folder /srv/x never contains /srv/x-evil), and
// without regard to case on Windows.

#include <QString>

namespace rvx::platform {

// The canonical path of an existing folder; empty for anything else (or a path with NUL).
QString canonicalFolder(const QString& folder);
// True when the canonical path is the canonical root itself or lies below it.
bool isWithin(const QString& canonicalPath, const QString& canonicalRoot);
// The same for two folders given as they are written (both must exist).
bool isFolderWithin(const QString& folder, const QString& root);

} // namespace rvx::platform

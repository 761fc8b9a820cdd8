#pragma once

#include <QString>

// Agent and firmware versions: three dot-separated decimal numbers, compared numerically.

// The first three components are read as unsigned 16-bit numbers, a missing or non-numeric
// one as 0; the result is whether the version is at least major.minor.patch.
bool versionAtLeast(const QString& version, int major, int minor, int patch);
// The first component up to the first "." as a number (0 when unreadable).
int versionMajor(const QString& version);

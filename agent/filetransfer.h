#pragma once

// Where an agent may read and write server files through the file-transfer messages.
//
// Agents read files only below the folders that exist to serve devices (the firmware, agent,
// hotfix, temporary, device-file and signage content stores, and folders the administrator
// picked in a command during this run), never below the device history or the profiles;
// they write only below the temporary folder (code 0: the path is relative to it) or, with an
// absolute path (code non-zero), below the temporary folder or a folder the administrator
// picked as a destination.
// Paths are compared after resolving symbolic links and "..", component by component, so a
// root /srv/x never admits /srv/x-evil.

#include <QString>
#include <QStringList>

class QFile;

namespace filetransfer {

struct Rules
{
    QStringList readRoots;     // folders whose files agents may read
    QStringList readFiles;     // single files agents may read (named to them in this run)
    QStringList writeRoots;    // destinations of absolute-path uploads (code non-zero)
    QString tempDir;           // destination of relative-path uploads (code 0)
    QStringList excluded;      // never readable or writable, even inside a root
    QStringList excludedFiles; // never writable (files the server itself is writing)
};

enum class Verdict
{
    Allowed, // path holds the file to open
    Missing, // the file does not exist (reads only; its folder is allowed)
    Refused, // outside the allowed folders, a link, a folder, or malformed
};

struct Resolution
{
    Verdict verdict = Verdict::Refused;
    QString path; // canonical, no symbolic link left in it (Allowed only)
};

// True when the canonical path is the canonical root itself or lies below it.
bool isWithin(const QString& canonicalPath, const QString& canonicalRoot);

// A file an agent asks to read.
Resolution resolveRead(const QString& requested, const Rules& rules);
// A file an agent asks to write; code 0 puts the relative path below tempDir.
Resolution resolveWrite(const QString& requested, quint8 code, const Rules& rules);

// Open an allowed file. The final component is never followed if it is a symbolic link, and
// only regular files are accepted; a written file is truncated only once it is known to be a
// plain file with no other hard link. Null on failure (nothing was changed).
QFile* openForReading(const QString& path);
QFile* openForWriting(const QString& path);

} // namespace filetransfer

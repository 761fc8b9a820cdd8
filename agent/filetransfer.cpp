#include "filetransfer.h"

#include "pathrules.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace filetransfer {

namespace {

using rvx::platform::canonicalFolder;

bool withinAny(const QString& canonicalPath, const QStringList& roots)
{
    for (const QString& root : roots) {
        const QString c = canonicalFolder(root);
        if (!c.isEmpty() && isWithin(canonicalPath, c))
            return true;
    }
    return false;
}

bool allowedPlace(const QString& canonicalPath, const QStringList& roots, const Rules& rules)
{
    return withinAny(canonicalPath, roots) && !withinAny(canonicalPath, rules.excluded);
}

// A file named to the agents by itself (and not in an excluded folder).
bool namedFile(const QString& canonicalPath, const QStringList& files, const Rules& rules)
{
    for (const QString& file : files) {
        const QString c = QFileInfo(QDir::fromNativeSeparators(file)).canonicalFilePath();
        if (!c.isEmpty() && c.size() == canonicalPath.size() && rvx::platform::isWithin(canonicalPath, c))
            return !withinAny(canonicalPath, rules.excluded);
    }
    return false;
}

bool badName(const QString& name)
{
    return name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..");
}

} // namespace

bool isWithin(const QString& canonicalPath, const QString& canonicalRoot)
{
    return rvx::platform::isWithin(canonicalPath, canonicalRoot);
}

Resolution resolveRead(const QString& requested, const Rules& rules)
{
    Resolution r;
    if (requested.isEmpty() || requested.contains(QChar(0)))
        return r;
    const QFileInfo info(QDir::fromNativeSeparators(requested));
    if (badName(info.fileName()))
        return r;
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) {
        if (!allowedPlace(canonical, rules.readRoots, rules) && !namedFile(canonical, rules.readFiles, rules))
            return r;
        if (!QFileInfo(canonical).isFile())
            return r;
        r.verdict = Verdict::Allowed;
        r.path = canonical;
        return r;
    }
    if (info.isSymLink()) // a dangling link
        return r;
    // The file does not exist: say so only when its folder is one the agent may read.
    const QString parent = canonicalFolder(info.absolutePath());
    if (parent.isEmpty() || !allowedPlace(parent, rules.readRoots, rules))
        return r;
    r.verdict = Verdict::Missing;
    return r;
}

Resolution resolveWrite(const QString& requested, quint8 code, const Rules& rules)
{
    Resolution r;
    if (requested.isEmpty() || requested.contains(QChar(0)))
        return r;
    const QString path = QDir::fromNativeSeparators(requested);
    QString full;
    QStringList roots;
    if (code == 0) {
        if (rules.tempDir.isEmpty() || QDir::isAbsolutePath(path))
            return r;
        full = QDir::fromNativeSeparators(rules.tempDir) + QLatin1Char('/') + path;
        roots << rules.tempDir;
    } else {
        if (!QDir::isAbsolutePath(path))
            return r;
        full = path;
        // The temporary folder is writable by relative path anyway; its absolute path is too.
        roots = rules.writeRoots;
        if (!rules.tempDir.isEmpty())
            roots << rules.tempDir;
    }
    const QFileInfo info(full);
    const QString name = info.fileName();
    if (badName(name))
        return r;
    const QString parent = canonicalFolder(info.absolutePath());
    if (parent.isEmpty() || !allowedPlace(parent, roots, rules))
        return r;
    const QString target = parent + QLatin1Char('/') + name;
    for (const QString& file : rules.excludedFiles) {
        const QFileInfo excluded(QDir::fromNativeSeparators(file));
        const QString folder = canonicalFolder(excluded.absolutePath());
        const QString protectedPath = folder + QLatin1Char('/') + excluded.fileName();
        if (!folder.isEmpty() && protectedPath.size() == target.size() &&
            rvx::platform::isWithin(target, protectedPath))
            return r;
    }
    const QFileInfo existing(target);
    if (existing.isSymLink())
        return r;
    if (existing.exists() && !existing.isFile())
        return r;
    r.verdict = Verdict::Allowed;
    r.path = target;
    return r;
}

#ifdef Q_OS_UNIX

QFile* openForReading(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto* file = new QFile;
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        delete file;
        return nullptr;
    }
    return file;
}

QFile* openForWriting(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    // No O_TRUNC here: the file is truncated only after it is known to be a plain file.
    const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink > 1 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return nullptr;
    }
    auto* file = new QFile;
    if (!file->open(fd, QIODevice::ReadWrite, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        delete file;
        return nullptr;
    }
    return file;
}

#else

QFile* openForReading(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || !info.isFile())
        return nullptr;
    auto* file = new QFile(path);
    if (!file->open(QIODevice::ReadOnly)) {
        delete file;
        return nullptr;
    }
    return file;
}

QFile* openForWriting(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile()))
        return nullptr;
    auto* file = new QFile(path);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate)) {
        delete file;
        return nullptr;
    }
    return file;
}

#endif

} // namespace filetransfer

#include "safefile.h"

#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

namespace rvx {

namespace {

std::function<bool(const QString&)>& beforeReplaceHook()
{
    static std::function<bool(const QString&)> hook;
    return hook;
}

bool mayReplace(const QString& path)
{
    const auto& hook = beforeReplaceHook();
    return !hook || hook(path);
}

std::filesystem::path nativePath(const QString& path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Renames over an existing file in one step (POSIX rename; MoveFileEx with replacing on
// Windows), which QFile::rename refuses to do.
bool replaceFile(const QString& from, const QString& to, std::error_code& error)
{
    std::filesystem::rename(nativePath(from), nativePath(to), error);
    return !error;
}

} // namespace

bool writeFileDurable(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    // Never fall back to writing the file in place: that is exactly what may not happen.
    file.setDirectWriteFallback(false);
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // The bytes are pushed out and checked before the rename: a write the file system refuses
    // at flush time (a full disk) must not replace the old file with an empty one.
    QString reason;
    if (!writeChecked(file, data, &reason))
        return fail(reason);
    if (!mayReplace(path))
        return fail(QStringLiteral("interrupted"));
    if (file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

bool writeFileAtomic(const QString& path, const QByteArray& data, QString* error)
{
    const QFileInfo target(path);
    const QString tempTemplate = target.absolutePath() + QLatin1String("/.") + target.fileName() +
                                 QLatin1String(".XXXXXX") + QLatin1String(kAtomicTempSuffix);
    QTemporaryFile temp(tempTemplate);
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!temp.open())
        return fail(temp.errorString());
    if (temp.write(data) != data.size() || !temp.flush()) {
        const QString reason = temp.errorString();
        temp.remove();
        return fail(reason);
    }
    const QString tempName = temp.fileName();
    temp.close();
    if (!mayReplace(path)) {
        temp.setAutoRemove(false); // what a crash at this point leaves behind
        return fail(QStringLiteral("interrupted"));
    }
    // A replaced file keeps its permissions; a new one stays readable by its owner only
    // (configuration texts may hold passwords), as QTemporaryFile creates it.
    if (target.exists())
        QFile::setPermissions(tempName, QFile::permissions(path));
    std::error_code renameError;
    if (!replaceFile(tempName, path, renameError))
        return fail(QString::fromStdString(renameError.message())); // the temporary file goes with `temp`
    temp.setAutoRemove(false);
    return true;
}

void setBeforeReplaceHook(std::function<bool(const QString& path)> hook)
{
    beforeReplaceHook() = std::move(hook);
}

} // namespace rvx

#include "pathrules.h"

#include <QDir>
#include <QFileInfo>

namespace rvx::platform {

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity PathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity PathCase = Qt::CaseSensitive;
#endif

} // namespace

QString canonicalFolder(const QString& folder)
{
    if (folder.isEmpty() || folder.contains(QChar(0)))
        return QString();
    const QFileInfo info(QDir::fromNativeSeparators(folder));
    if (!info.isDir())
        return QString();
    return info.canonicalFilePath();
}

bool isWithin(const QString& canonicalPath, const QString& canonicalRoot)
{
    if (canonicalPath.isEmpty() || canonicalRoot.isEmpty())
        return false;
    if (canonicalPath.compare(canonicalRoot, PathCase) == 0)
        return true;
    QString prefix = canonicalRoot;
    if (!prefix.endsWith(QLatin1Char('/')))
        prefix += QLatin1Char('/');
    return canonicalPath.startsWith(prefix, PathCase);
}

bool isFolderWithin(const QString& folder, const QString& root)
{
    return isWithin(canonicalFolder(folder), canonicalFolder(root));
}

} // namespace rvx::platform

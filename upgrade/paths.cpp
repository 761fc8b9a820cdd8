#include "paths.h"

#include "pathrules.h"

#include "commands.h"
#include "configlib.h"
#include "wire.h"

#include <QDir>
#include <QFileInfo>

namespace upgrade {

bool isWithinFolder(const QString& folder, const QString& store)
{
    return rvx::platform::isFolderWithin(folder, store);
}

QString firmwareTypeName(int firmwareType)
{
    return QString::fromLatin1(config_hardware_name(firmwareType));
}

QString typeFolder(const QString& store, int firmwareType)
{
    const QString name = firmwareTypeName(firmwareType);
    if (name.isEmpty() || store.isEmpty())
        return QString();
    return store + QLatin1Char('/') + name;
}

QByteArray dateStrings(const QDate& date)
{
    return wire::lpString(QByteArray::number(date.month())) + wire::lpString(QByteArray::number(date.day())) +
           wire::lpString(QByteArray::number(date.year()));
}

QStringList filesByName(const QString& folder, const QStringList& nameFilters)
{
    if (folder.isEmpty())
        return QStringList();
    return QDir(folder).entryList(nameFilters, QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

std::optional<Box> latin1PathBox(const QString& title, const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!commands::isLatin1(path)) {
            return critical(title, QStringLiteral("\nThe path\n\n") + QDir::toNativeSeparators(path) +
                                       QStringLiteral("\n\nholds characters outside the Latin-1 (Western "
                                                      "European) character set, which devices cannot "
                                                      "read. Please rename it."));
        }
    }
    return std::nullopt;
}

} // namespace upgrade

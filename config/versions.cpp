#include "versions.h"

#include <QStringList>

bool versionAtLeast(const QString& version, int major, int minor, int patch)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    const int wanted[3] = {major, minor, patch};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int value = i < parts.size() ? parts.at(i).toUShort(&ok, 10) : 0;
        const int number = ok ? value : 0;
        if (number != wanted[i])
            return number > wanted[i];
    }
    return true;
}

int versionMajor(const QString& version)
{
    const int dot = version.indexOf(QLatin1Char('.'));
    bool ok = false;
    const int major = (dot < 0 ? version : version.left(dot)).toInt(&ok, 10);
    return ok ? major : 0;
}

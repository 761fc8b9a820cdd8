#include "connectionlimit.h"

namespace connectionlimit {

qint64 capacity(qint64 openFileLimit)
{
    if (openFileLimit < 0)
        return -1;
    return qMax<qint64>(0, openFileLimit - Reserved);
}

QString startupNote(qint64 openFileLimit, int knownDevices)
{
    const qint64 agents = capacity(openFileLimit);
    if (agents < 0 || knownDevices <= agents)
        return QString();
    return QStringLiteral("The open-file limit (%1) lets at most %2 of the %3 known devices connect at once; "
                          "raise it to serve them all.")
        .arg(openFileLimit)
        .arg(agents)
        .arg(knownDevices);
}

QString refusedNote(qint64 openFileLimit, int connections)
{
    if (openFileLimit < 0)
        return QStringLiteral("A device connection was refused: the system is out of descriptors with %1 "
                              "connections open.")
            .arg(connections);
    return QStringLiteral("A device connection was refused: the open-file limit (%1) is reached with %2 "
                          "connections open; raise it to serve more devices.")
        .arg(openFileLimit)
        .arg(connections);
}

} // namespace connectionlimit

#pragma once

// Payloads of the answers agents send to the list requests, and of the network status.

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// A list message (types 43, 59, 61, 62, 65, 70): an entry count (16-bit when the code is
// non-zero, one byte otherwise) followed by that many lp-strings. An entry "[name]" (longer
// than two characters) opens the group "name", replacing an earlier group of that name;
// other entries go to the current group, entries before any header to "usbids".
QMap<QString, QStringList> parseGroupedList(quint8 code, const QByteArray& payload);

// The network status message (type 71).
struct NetworkStatus
{
    QString dns1, dns2, dsPath;
    QString wiredMAC, wiredIP, wiredNetmask, wiredGateway;
    QString wirelessMAC, wirelessIP, wirelessNetmask, wirelessGateway;
};
// lp-strings dns1 and dns2, lp-string dsPath when the code is above 0, a byte announcing the
// wired section (four lp-strings: MAC, address, netmask, gateway), a byte announcing the
// wireless section (the same four). Missing parts are empty.
NetworkStatus parseNetworkStatus(quint8 code, const QByteArray& payload);

// Builders of the same payloads (used by the agent simulator and tests).
QByteArray buildListPayload(quint8 code, const QList<QByteArray>& entries);
QByteArray buildNetworkStatusPayload(quint8 code, const NetworkStatus& status, bool wired, bool wireless);

#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QStringList>

namespace wol {

// The standard magic packet: six 0xFF bytes, then the six MAC bytes sixteen times (102 bytes).
QByteArray magicPacket(const QByteArray& mac);

// Twelve hexadecimal digits, optionally separated by ":" or "-" in pairs. Empty on error.
QByteArray parseMac(const QString& text);

// The directed broadcast address of a network: address | ~netmask.
QHostAddress directedBroadcast(const QHostAddress& address, const QHostAddress& netmask);

struct Request
{
    QByteArray mac;
    QHostAddress destination;
    quint16 port = 9;
};

// Parses "MAC IPv4 netmask port". On failure returns false and sets a message for the user.
bool parseArguments(const QStringList& arguments, Request* request, QString* error);

QString usage(const QString& program);

} // namespace wol

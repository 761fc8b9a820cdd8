#include "wolpacket.h"

namespace wol {

namespace {

bool parseIPv4(const QString& text, QHostAddress* out)
{
    // Strict dotted quad: four decimal numbers 0 to 255.
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    quint32 value = 0;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        bool ok = false;
        const uint n = part.toUInt(&ok, 10);
        if (!ok || n > 255)
            return false;
        value = (value << 8) | n;
    }
    *out = QHostAddress(value);
    return true;
}

bool isContiguousMask(quint32 mask)
{
    const quint32 inverted = ~mask;
    return (inverted & (inverted + 1)) == 0;
}

} // namespace

QByteArray magicPacket(const QByteArray& mac)
{
    QByteArray packet(6, '\xFF');
    for (int i = 0; i < 16; ++i)
        packet.append(mac);
    return packet;
}

QByteArray parseMac(const QString& text)
{
    QString hex = text;
    hex.remove(QLatin1Char(':'));
    hex.remove(QLatin1Char('-'));
    if (hex.size() != 12)
        return {};
    for (const QChar c : hex) {
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return {};
    }
    return QByteArray::fromHex(hex.toLatin1());
}

QHostAddress directedBroadcast(const QHostAddress& address, const QHostAddress& netmask)
{
    return QHostAddress(address.toIPv4Address() | ~netmask.toIPv4Address());
}

bool parseArguments(const QStringList& arguments, Request* request, QString* error)
{
    if (arguments.size() != 4) {
        *error = QStringLiteral("expected 4 arguments, got %1").arg(arguments.size());
        return false;
    }
    request->mac = parseMac(arguments.at(0));
    if (request->mac.isEmpty()) {
        *error = QStringLiteral("invalid MAC address \"%1\" (12 hexadecimal digits expected)")
                     .arg(arguments.at(0));
        return false;
    }
    QHostAddress address;
    if (!parseIPv4(arguments.at(1), &address)) {
        *error = QStringLiteral("invalid IPv4 address \"%1\"").arg(arguments.at(1));
        return false;
    }
    QHostAddress netmask;
    if (!parseIPv4(arguments.at(2), &netmask) || !isContiguousMask(netmask.toIPv4Address())) {
        *error = QStringLiteral("invalid netmask \"%1\"").arg(arguments.at(2));
        return false;
    }
    bool ok = false;
    const uint port = arguments.at(3).toUInt(&ok, 10);
    if (!ok || port == 0 || port > 65535) {
        *error = QStringLiteral("invalid port \"%1\"").arg(arguments.at(3));
        return false;
    }
    request->destination = directedBroadcast(address, netmask);
    request->port = static_cast<quint16>(port);
    return true;
}

QString usage(const QString& program)
{
    return QStringLiteral("Usage: %1 MAC IPV4-ADDRESS NETMASK PORT\n"
                          "Sends a wake-on-LAN magic packet for MAC (12 hexadecimal digits) by UDP to the\n"
                          "directed broadcast address of IPV4-ADDRESS/NETMASK on PORT.\n")
        .arg(program);
}

} // namespace wol

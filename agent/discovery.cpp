#include "discovery.h"

#include <QCryptographicHash>

QByteArray discoveryBroadcastKey()
{
    // Kept as separate character constants so the key does not appear as one string.
    static const char parts[] = {'k', 'Q', '7', '#', 'r', 'V', 'x', '2', 'L', 'm', '9', '@', 'p',
                                 'Z', '4', '!', 't', 'W', '8', '$', 'b', 'N', '3', '&', 'e'};
    return QByteArray(parts, static_cast<int>(sizeof parts));
}

QByteArray discoveryDatagram(const QString& address, int port)
{
    const QByteArray addressText = address.toLatin1();
    const QByteArray portText = QByteArray::number(port);
    const QByteArray digest =
        QCryptographicHash::hash(addressText + portText + discoveryBroadcastKey(), QCryptographicHash::Md5)
            .toHex();
    const QByteArray separator(" :: ");
    return addressText + separator + portText + separator + digest + separator;
}

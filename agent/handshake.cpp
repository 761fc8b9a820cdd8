#include "handshake.h"

#include "wire.h"

#include <QCryptographicHash>
#include <QList>

namespace handshake {

QByteArray deviceToken()
{
    return QByteArrayLiteral("qUiLtMaRkSpIrEpOnD");
}

QByteArray serverToken()
{
    return QByteArrayLiteral("..QuiLTmArkAdepOnTfiELdsAb");
}

QByteArray md5Hex(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

std::optional<QByteArray> agentProof(const QByteArray& identifier)
{
    const QList<QByteArray> fields = identifier.split(':');
    if (fields.size() < 6)
        return std::nullopt;
    QByteArray text;
    // Only the first six fields count; an identifier with more fields is proven by them.
    for (int i = 0; i < 6; ++i) {
        text += (i % 2 == 0) ? fields.at(i).toLower() : fields.at(i).toUpper();
        text += ':';
    }
    text += deviceToken();
    return md5Hex(text);
}

QByteArray serverProof(const QByteArray& identifier)
{
    return md5Hex(identifier + serverToken());
}

QByteArray greeting(const QByteArray& identifier, const QByteArray& proof)
{
    QByteArray out = identifier + "::" + proof;
    out = out.left(GreetingSize);
    out.append(QByteArray(GreetingSize - out.size(), '\0'));
    return out;
}

std::optional<QByteArray> checkGreeting(const QByteArray& received)
{
    const QByteArray text = wire::cText(received.left(GreetingSize));
    // Exactly one "::" separator, empty parts kept.
    const int sep = text.indexOf("::");
    if (sep < 0 || text.indexOf("::", sep + 2) >= 0)
        return std::nullopt;
    const QByteArray identifier = text.left(sep);
    const QByteArray proof = text.mid(sep + 2);
    const std::optional<QByteArray> expected = agentProof(identifier);
    if (!expected || proof != *expected)
        return std::nullopt;
    return identifier;
}

QByteArray welcomeMessage(const QDate& localDate, quint32 unixTime, const QByteArray& version)
{
    QByteArray payload;
    payload += wire::lpString(QByteArray::number(localDate.month()));
    payload += wire::lpString(QByteArray::number(localDate.day()));
    payload += wire::lpString(QByteArray::number(localDate.year()));
    payload += wire::lpString(version);
    wire::appendU32(payload, unixTime);
    return wire::frame(msg::Welcome, 2, payload);
}

} // namespace handshake

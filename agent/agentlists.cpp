#include "agentlists.h"

#include "wire.h"

QMap<QString, QStringList> parseGroupedList(quint8 code, const QByteArray& payload)
{
    wire::PayloadReader reader(payload);
    const int count = code != 0 ? reader.u16() : reader.byte();
    QMap<QString, QStringList> groups;
    QString current;
    bool haveGroup = false;
    for (int i = 0; i < count && reader.ok() && !reader.atEnd(); ++i) {
        const QByteArray entry = reader.lpString();
        if (entry.size() > 2 && entry.startsWith('[') && entry.endsWith(']')) {
            current = QString::fromLatin1(entry.mid(1, entry.size() - 2));
            groups.insert(current, QStringList());
            haveGroup = true;
            continue;
        }
        if (!haveGroup) {
            current = QStringLiteral("usbids");
            if (!groups.contains(current))
                groups.insert(current, QStringList());
            haveGroup = true;
        }
        groups[current].append(QString::fromLatin1(entry));
    }
    return groups;
}

NetworkStatus parseNetworkStatus(quint8 code, const QByteArray& payload)
{
    wire::PayloadReader reader(payload);
    auto text = [&reader]() { return QString::fromLatin1(reader.lpString()); };
    NetworkStatus s;
    s.dns1 = text();
    s.dns2 = text();
    if (code > 0)
        s.dsPath = text();
    if (reader.byte() != 0) {
        s.wiredMAC = text();
        s.wiredIP = text();
        s.wiredNetmask = text();
        s.wiredGateway = text();
    }
    if (reader.byte() != 0) {
        s.wirelessMAC = text();
        s.wirelessIP = text();
        s.wirelessNetmask = text();
        s.wirelessGateway = text();
    }
    return s;
}

QByteArray buildListPayload(quint8 code, const QList<QByteArray>& entries)
{
    QByteArray out;
    if (code != 0)
        wire::appendU16(out, static_cast<quint16>(entries.size()));
    else
        out.append(static_cast<char>(entries.size()));
    for (const QByteArray& e : entries)
        out += wire::lpString(e);
    return out;
}

QByteArray buildNetworkStatusPayload(quint8 code, const NetworkStatus& s, bool wired, bool wireless)
{
    auto lp = [](const QString& t) { return wire::lpString(t.toLatin1()); };
    QByteArray out = lp(s.dns1) + lp(s.dns2);
    if (code > 0)
        out += lp(s.dsPath);
    out.append(wired ? char(1) : char(0));
    if (wired)
        out += lp(s.wiredMAC) + lp(s.wiredIP) + lp(s.wiredNetmask) + lp(s.wiredGateway);
    out.append(wireless ? char(1) : char(0));
    if (wireless)
        out += lp(s.wirelessMAC) + lp(s.wirelessIP) + lp(s.wirelessNetmask) + lp(s.wirelessGateway);
    return out;
}

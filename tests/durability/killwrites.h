#pragma once

// What the kill loop's companion writes (tests/durability/killwriter.cpp): the files, below
// the working folder, and the bytes of each generation. Generations differ in length, so a
// file cut short or mixed from two writes is told from a whole one.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace killwrites {

// The profiles, the whitelist and the rsync configuration, in the order they are written.
inline QStringList files()
{
    return {QStringLiteral("profiles/kill-0.txt"), QStringLiteral("profiles/kill-1.txt"),
            QStringLiteral("profiles/kill-2.txt"), QStringLiteral("storage/whitelist.txt"),
            QStringLiteral("signage/rsyncd.conf")};
}

// The bytes of one generation of a file: a first line naming the generation, then lines of
// the file's kind (20 to 99 of them), every line ending in a line feed.
inline QByteArray content(const QString& file, qint64 generation)
{
    const QByteArray g = QByteArray::number(generation);
    QByteArray bytes = "# generation " + g + '\n';
    const int lines = 20 + static_cast<int>(generation % 80);
    for (int i = 0; i < lines; ++i) {
        const QByteArray n = QByteArray::number(i);
        if (file.endsWith(QLatin1String("whitelist.txt")))
            bytes += "usb:" + QByteArray::number(0x1000 + i, 16) + ':' + g.right(4) + '\n';
        else if (file.endsWith(QLatin1String(".conf")))
            bytes += "[lobby" + n + "]\n    path = /srv/signage/" + g + '/' + n + '\n';
        else
            bytes += "key_" + n + '=' + g + '\n';
    }
    return bytes;
}

// The generation a file's first line names; -1 when it names none.
inline qint64 generationOf(const QByteArray& bytes)
{
    static const QByteArray prefix = "# generation ";
    if (!bytes.startsWith(prefix))
        return -1;
    const int end = bytes.indexOf('\n');
    bool ok = false;
    const qint64 g = bytes.mid(prefix.size(), end - prefix.size()).toLongLong(&ok);
    return ok && end > 0 ? g : -1;
}

} // namespace killwrites

#include "sending.h"

#include "configlib.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QSslSocket>

bool writeFrame(ThinclientInfo* record, const QByteArray& frame)
{
    if (!record || !record->socket)
        return false;
    // A connection that has gone away fails silently; its disconnection handling cleans up.
    record->socket->write(frame);
    record->socket->flush();
    return true;
}

QByteArray statusFrame(quint8 status, const QByteArray& text)
{
    QByteArray out;
    out.append(char(7));
    out.append(static_cast<char>(status));
    if (text.isEmpty()) {
        wire::appendU16(out, 0);
    } else {
        // The text is cut so that its length field (text + NUL) still fits 16 bits.
        out.append(wire::lpString(text.left(0xFFFE)));
    }
    return out;
}

void sendStatusFrame(QSslSocket* socket, quint8 status, const QByteArray& text)
{
    if (!socket)
        return;
    socket->write(statusFrame(status, text));
    socket->flush();
}

QByteArray configurationFrame(const ThinclientInfo* record, const QByteArray& text, int category)
{
    if (!record)
        return QByteArray();
    if (category != CATEGORY_ALL && (category < 1 || category > CATEGORY_MAX))
        return QByteArray();
    QByteArray data = text;
    data.append('\0');
    if (data.size() > 0xFFFF)
        return QByteArray();
    const bool compressed = record->clientVersionAtLeast(8, 4, 0);
    if (compressed) // the 32-bit uncompressed length, then the zlib stream at level 3
        data = qCompress(data, 3);
    if (data.size() + 1 > 0xFFFF)
        return QByteArray();
    QByteArray out;
    out.reserve(5 + data.size());
    out.append(char(55));
    out.append(compressed ? char(1) : char(0));
    wire::appendU16(out, static_cast<quint16>(data.size() + 1));
    out.append(static_cast<char>(category));
    out.append(data);
    return out;
}

bool sendConfiguration(ThinclientInfo* record, const QByteArray& text, int category)
{
    if (!record || !record->socket)
        return false;
    const QByteArray frame = configurationFrame(record, text, category);
    if (frame.isEmpty())
        return false;
    return writeFrame(record, frame);
}

void queueFrame(ThinclientInfo* record, const QByteArray& frame)
{
    if (!record || frame.isEmpty())
        return;
    if (!record->pendingFrames)
        record->pendingFrames = new QList<QByteArray>;
    record->pendingFrames->append(frame);
}

QByteArray modeHelpRequest(int protocol)
{
    return wire::frame(33, 0, QByteArray(1, static_cast<char>(protocol)));
}

QByteArray networkInfoRequest(quint8 version)
{
    return wire::frame(71, version, QByteArray());
}

QByteArray audioDevicesRequest(bool forAlsa)
{
    return wire::frame(70, 0, QByteArray(1, forAlsa ? char(1) : char(0)));
}

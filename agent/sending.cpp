#include "sending.h"

#include "agentsocket.h"
#include "agentwriter.h"
#include "configlib.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QFile>

using msg::Type;

bool writeFrame(ThinclientInfo* record, const QByteArray& frame)
{
    if (!record || !record->socket)
        return false;
    // A connection that has gone away fails silently; its disconnection handling cleans up.
    AgentWriter::of(record->socket)->send(frame);
    return true;
}

bool writeFrameWithFile(ThinclientInfo* record, const QByteArray& head, const QString& path, qint64 offset,
                        qint64 length, std::shared_ptr<void> keepAlive)
{
    if (!record || !record->socket)
        return false;
    AgentWriter* writer = AgentWriter::of(record->socket);
    // The body is checked before the head goes: a head without its body would leave the
    // agent waiting for bytes that never come.
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly) || probe.size() < offset + length)
        return false;
    probe.close();
    writer->send(head);
    if (!writer->sendFile(path, offset, length, std::move(keepAlive))) {
        agentsocket::abort(record->socket); // the head promised a body
        return false;
    }
    return true;
}

QByteArray statusFrame(quint8 status, const QByteArray& text)
{
    QByteArray out;
    out.append(static_cast<char>(msg::number(Type::Status)));
    out.append(static_cast<char>(status));
    if (text.isEmpty()) {
        wire::appendU16(out, 0);
    } else {
        // The text is cut so that its length field (text + NUL) still fits 16 bits.
        out.append(wire::lpString(text.left(0xFFFE)));
    }
    return out;
}

void sendStatusFrame(ThinclientInfo* record, quint8 status, const QByteArray& text)
{
    writeFrame(record, statusFrame(status, text));
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
    out.append(static_cast<char>(msg::number(Type::Configuration)));
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

bool sendConfiguration(ThinclientInfo* record, const QByteArray& text, msg::Type type)
{
    return sendConfiguration(record, text, msg::category(type));
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
    return wire::frame(Type::ModeHelp, 0, QByteArray(1, static_cast<char>(protocol)));
}

QByteArray networkInfoRequest(quint8 version)
{
    return wire::frame(Type::NetworkStatus, version, QByteArray());
}

QByteArray audioDevicesRequest(bool forAlsa)
{
    return wire::frame(Type::AudioDeviceList, 0, QByteArray(1, forAlsa ? char(1) : char(0)));
}

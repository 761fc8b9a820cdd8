#pragma once

// Wire primitives shared by the agent protocol and the configuration conversions.
// Numbers are big-endian; texts are Latin-1 and NUL-terminated; an lp-string is a 16-bit
// count equal to the text length plus one, the text, and a NUL.

#include "messages.h"

#include <QByteArray>

namespace wire {

// Frame: type, code, 16-bit length (32-bit for the long types of the message list), payload.
// Empty when the payload is too long for its length field.
int lengthFieldSize(quint8 type);
QByteArray frame(quint8 type, quint8 code, const QByteArray& payload);
QByteArray frame(msg::Type type, quint8 code, const QByteArray& payload);
// Type, code 0, length 0: four bytes.
QByteArray shortFrame(quint8 type);
QByteArray shortFrame(msg::Type type);
// The header of a frame whose payload follows separately (a file body streamed after it).
QByteArray frameHeader(msg::Type type, quint8 code, quint32 payloadLength);
QByteArray lpString(const QByteArray& text);
void appendU16(QByteArray& out, quint16 value);
void appendU32(QByteArray& out, quint32 value);
// The NUL-terminated text starting at the offset (up to the end when there is no NUL).
QByteArray cText(const QByteArray& data, int offset = 0);
QByteArray cText(const char* data, int size);

// Reads a payload front to back. Reads past the end yield zero/empty values and clear ok().
class PayloadReader
{
public:
    explicit PayloadReader(const QByteArray& payload, int offset = 0);
    quint8 byte();
    quint16 u16();
    quint32 u32();
    // lp-string: the text up to its NUL; advances by the count plus two.
    QByteArray lpString();
    // NUL-terminated text; advances past the NUL (or to the end).
    QByteArray cString();
    QByteArray bytes(int count);
    int position() const { return m_pos; }
    int remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }
    bool ok() const { return m_ok; }

private:
    QByteArray m_data;
    int m_pos;
    bool m_ok = true;
};

} // namespace wire

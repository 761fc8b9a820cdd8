#include "wire.h"

#include <QtEndian>

#include <cstring>

namespace wire {

int lengthFieldSize(quint8 type)
{
    return msg::lengthFieldSize(type);
}

void appendU16(QByteArray& out, quint16 value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

void appendU32(QByteArray& out, quint32 value)
{
    appendU16(out, static_cast<quint16>(value >> 16));
    appendU16(out, static_cast<quint16>(value & 0xFFFF));
}

QByteArray cText(const char* data, int size)
{
    if (!data || size <= 0)
        return QByteArray();
    const void* nul = std::memchr(data, '\0', static_cast<size_t>(size));
    return QByteArray(data, nul ? static_cast<int>(static_cast<const char*>(nul) - data) : size);
}

QByteArray cText(const QByteArray& data, int offset)
{
    if (offset < 0 || offset >= data.size())
        return QByteArray();
    return cText(data.constData() + offset, data.size() - offset);
}

QByteArray frame(quint8 type, quint8 code, const QByteArray& payload)
{
    // A length the field cannot carry would desynchronise the peer's reader: nothing is built.
    if (lengthFieldSize(type) == 2 && payload.size() > 0xFFFF)
        return QByteArray();
    QByteArray out;
    out.reserve(6 + payload.size());
    out.append(static_cast<char>(type));
    out.append(static_cast<char>(code));
    if (lengthFieldSize(type) == 4)
        appendU32(out, static_cast<quint32>(payload.size()));
    else
        appendU16(out, static_cast<quint16>(payload.size()));
    out.append(payload);
    return out;
}

QByteArray shortFrame(quint8 type)
{
    return frame(type, 0, QByteArray());
}

QByteArray frame(msg::Type type, quint8 code, const QByteArray& payload)
{
    return frame(msg::number(type), code, payload);
}

QByteArray shortFrame(msg::Type type)
{
    return shortFrame(msg::number(type));
}

QByteArray frameHeader(msg::Type type, quint8 code, quint32 payloadLength)
{
    QByteArray out;
    out.append(static_cast<char>(msg::number(type)));
    out.append(static_cast<char>(code));
    if (msg::lengthFieldSize(msg::number(type)) == 4)
        appendU32(out, payloadLength);
    else
        appendU16(out, static_cast<quint16>(qMin<quint32>(payloadLength, 0xFFFF)));
    return out;
}

QByteArray lpString(const QByteArray& text)
{
    QByteArray out;
    appendU16(out, static_cast<quint16>(text.size() + 1));
    out.append(text);
    out.append('\0');
    return out;
}

PayloadReader::PayloadReader(const QByteArray& payload, int offset)
    : m_data(payload)
    , m_pos(offset)
{
}

quint8 PayloadReader::byte()
{
    if (m_pos + 1 > m_data.size()) {
        m_ok = false;
        m_pos = m_data.size();
        return 0;
    }
    return static_cast<quint8>(m_data.at(m_pos++));
}

quint16 PayloadReader::u16()
{
    if (m_pos + 2 > m_data.size()) {
        m_ok = false;
        m_pos = m_data.size();
        return 0;
    }
    const quint16 value = qFromBigEndian<quint16>(m_data.constData() + m_pos);
    m_pos += 2;
    return value;
}

quint32 PayloadReader::u32()
{
    if (m_pos + 4 > m_data.size()) {
        m_ok = false;
        m_pos = m_data.size();
        return 0;
    }
    const quint32 value = qFromBigEndian<quint32>(m_data.constData() + m_pos);
    m_pos += 4;
    return value;
}

QByteArray PayloadReader::lpString()
{
    const quint16 count = u16();
    if (!m_ok)
        return QByteArray();
    const int start = m_pos;
    const int available = m_data.size() - start;
    const int span = qMin<int>(count, available);
    if (count > available)
        m_ok = false;
    // The text runs to its NUL within the counted bytes.
    const char* begin = m_data.constData() + start;
    int length = 0;
    while (length < span && begin[length] != '\0')
        ++length;
    m_pos = start + span;
    return QByteArray(begin, length);
}

QByteArray PayloadReader::cString()
{
    if (m_pos >= m_data.size()) {
        m_ok = false;
        return QByteArray();
    }
    const int nul = m_data.indexOf('\0', m_pos);
    const int end = nul < 0 ? m_data.size() : nul;
    QByteArray text = m_data.mid(m_pos, end - m_pos);
    m_pos = nul < 0 ? m_data.size() : nul + 1;
    return text;
}

QByteArray PayloadReader::bytes(int count)
{
    if (count < 0 || m_pos + count > m_data.size()) {
        m_ok = false;
        QByteArray rest = m_data.mid(m_pos);
        m_pos = m_data.size();
        return rest;
    }
    QByteArray out = m_data.mid(m_pos, count);
    m_pos += count;
    return out;
}

} // namespace wire

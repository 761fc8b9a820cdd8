#include "framereader.h"

#include "messages.h"
#include "wire.h"

#include <QIODevice>
#include <QtEndian>

void FrameReader::reset()
{
    m_type = 0;
    m_code = 0;
    m_typeRead = false;
    m_codeRead = false;
    m_lengthRead = false;
    m_length = 0;
    m_headerSize = 0;
    m_buffer = QByteArray();
}

QByteArray FrameReader::takeFrame()
{
    QByteArray frame = m_buffer;
    reset();
    return frame;
}

FrameReader::Result FrameReader::step(QIODevice* device, bool oldAgent)
{
    if (!m_typeRead) {
        char byte = 0;
        const qint64 n = device->read(&byte, 1);
        if (n < 0)
            return Result::Error;
        if (n == 0)
            return Result::NeedMore;
        const quint8 type = static_cast<quint8>(byte) & 0x7F;
        if (type == msg::number(msg::Type::KeepAlive))
            return Result::KeepAlive;
        if (!msg::isValidType(type))
            return Result::Error;
        m_type = type;
        m_typeRead = true;
        m_buffer.clear();
        m_buffer.append(byte);
    }
    if (!m_codeRead) {
        char byte = 0;
        const qint64 n = device->read(&byte, 1);
        if (n < 0) {
            reset();
            return Result::Error;
        }
        if (n == 0)
            return Result::NeedMore;
        m_code = static_cast<quint8>(byte);
        m_codeRead = true;
        m_buffer.append(byte);
    }
    if (!m_lengthRead) {
        const int fieldSize = wire::lengthFieldSize(m_type);
        if (device->bytesAvailable() < fieldSize)
            return Result::NeedMore;
        char field[4] = {0, 0, 0, 0};
        if (device->read(field, fieldSize) != fieldSize) {
            reset();
            return Result::Error;
        }
        quint32 length = fieldSize == 4 ? qFromBigEndian<quint32>(field) : qFromBigEndian<quint16>(field);
        if (oldAgent && m_type == msg::number(msg::Type::FileReadBlock))
            length = 2;
        // 16-bit lengths cannot exceed 65535; the long types are capped before anything is
        // allocated, so an announced 4 GB frame costs nothing.
        if (length > MaxLongPayload) {
            reset();
            return Result::Error;
        }
        m_length = length;
        m_lengthRead = true;
        m_buffer.append(field, fieldSize);
        m_headerSize = m_buffer.size();
        m_buffer.reserve(m_headerSize + static_cast<int>(qMin<quint32>(m_length, InitialReserve)));
    }
    const qint64 missing = qint64(m_length) - (m_buffer.size() - m_headerSize);
    if (missing > 0) {
        const qint64 available = qMin(missing, device->bytesAvailable());
        if (available > 0) {
            const int old = m_buffer.size();
            m_buffer.resize(old + static_cast<int>(available));
            const qint64 n = device->read(m_buffer.data() + old, available);
            if (n < 0) {
                reset();
                return Result::Error;
            }
            m_buffer.resize(old + static_cast<int>(n));
        }
        if (qint64(m_length) > m_buffer.size() - m_headerSize)
            return Result::NeedMore;
    }
    return Result::Message;
}

#pragma once

// The per-connection message reader: turns the bytes an agent sends into frames.
//
// Frame: type (top bit ignored), code, big-endian length (4 bytes for types 24 and 38,
// 2 otherwise), payload. A lone type byte 0 is a keep-alive. Valid types are those of the
// message list (1 to 71).
// The reader keeps its state between calls, so a frame may arrive in any number of pieces;
// each call to step() consumes at most one frame.

#include <QByteArray>

class QIODevice;

class FrameReader
{
public:
    enum class Result
    {
        NeedMore,  // nothing complete yet; wait for more data
        KeepAlive, // a keep-alive byte was read
        Message,   // a frame is complete: take it with takeFrame()
        Error,     // the connection must be closed (bad type, oversized length, read error)
    };

    // Largest payload accepted for the 32-bit length types: larger announcements close the
    // connection before anything is allocated.
    static constexpr quint32 MaxLongPayload = 16u * 1024u * 1024u;
    // Payload buffers grow as data arrives, starting at most this large.
    static constexpr int InitialReserve = 64 * 1024;

    // Advances by at most one frame. oldAgent applies the rule of agents of version 7 and
    // older: the payload of a type 11 frame is 2 bytes whatever its length field says.
    Result step(QIODevice* device, bool oldAgent);

    // The complete frame as received: type byte (as sent), code, length field, payload.
    // Resets the reader.
    QByteArray takeFrame();

    quint8 type() const { return m_type; } // with the top bit cleared
    quint8 code() const { return m_code; }
    bool idle() const { return !m_typeRead; }
    void reset();

private:
    quint8 m_type = 0;
    quint8 m_code = 0;
    bool m_typeRead = false;
    bool m_codeRead = false;
    bool m_lengthRead = false;
    quint32 m_length = 0;
    int m_headerSize = 0;
    QByteArray m_buffer;
};

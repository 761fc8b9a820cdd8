#pragma once

// The one way bytes reach an agent: each connection has one outgoing queue, written in order.
//
// A queue item is either a complete frame or the body of a frame that ends with a file's
// bytes (a file installed on the device). Bodies are read from the file in pieces and written
// only as the connection drains, so a file of any size costs a bounded amount of memory per
// connection, the socket's write buffers stay small, and the event loop serves the other
// agents between pieces. Nothing is interleaved into a body: frames queued behind it follow
// it. A file whose size changes while it is streamed would break the length its header
// announced, so the connection is closed.

#include "agentsocketfwd.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <deque>
#include <memory>

class QFile;

class AgentWriter : public QObject
{
    Q_OBJECT

public:
    // Bytes the socket may hold unsent (Qt's socket: its plain and encrypted buffers) before
    // the writer waits for it to drain, and the size of the pieces a file body is read in.
    static constexpr qint64 SocketBudget = 256 * 1024;
    static constexpr qint64 PieceSize = 64 * 1024;

    // The socket's writer, created (as a child of the socket) on first use.
    static AgentWriter* of(AgentSocket* socket);

    // Queues a complete frame.
    void send(const QByteArray& frame);
    // Queues the bytes of a file, from offset for length bytes, as the end of the frame whose
    // earlier bytes were queued just before. The file is opened when its turn comes; whatever
    // `keepAlive` holds (a temporary file, say) lives until the body has been sent or dropped.
    // False (nothing queued) when the file cannot be read or is shorter than offset + length.
    bool sendFile(const QString& path, qint64 offset, qint64 length,
                  std::shared_ptr<void> keepAlive = nullptr);

    // Bytes queued and not yet handed to the socket (file bodies counted whole), and the
    // largest amount the socket held unsent at any time.
    qint64 queuedBytes() const;
    qint64 peakSocketBytes() const { return m_peakSocketBytes; }
    bool idle() const { return m_queue.empty(); }

signals:
    // A streamed file could not be read as announced; the connection was closed.
    void streamFailed(const QString& path);

private:
    explicit AgentWriter(AgentSocket* socket);
    ~AgentWriter() override;

    struct Item
    {
        QByteArray bytes;
        std::unique_ptr<QFile> file;
        QString path;
        qint64 offset = 0;    // next byte of the file to send
        qint64 remaining = 0; // bytes of the file still to send
        qint64 fileSize = 0;  // the size it had when queued
        std::shared_ptr<void> keepAlive;
    };

    qint64 socketBytes() const;
    void pump();
    bool writeFilePiece(Item& item, qint64 room);
    void fail(const QString& path);

    AgentSocket* m_socket;
    std::deque<Item> m_queue;
    bool m_pumping = false;
    bool m_failed = false;
    qint64 m_peakSocketBytes = 0;
};

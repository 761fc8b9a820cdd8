#pragma once

// A server-side TLS connection on OpenSSL directly, driven by the event loop.
//
// Every connection shares one TlsContext: the certificate and key are loaded and prepared
// once, not per connection (a QSslSocket builds a new context, and copies the key into it,
// for every socket). Idle connections hold no TLS record buffers (released when empty), and
// the connection keeps no buffers of its own beyond the decrypted bytes not read yet and the
// bytes not handed to the system yet: an idle identified agent costs OpenSSL's session state
// and little more.
//
// What it offers is what the agent server uses of a socket: read/bytesAvailable (QIODevice),
// write/bytesToWrite, readyRead, bytesWritten (after the bytes went to the system, from the
// event loop, never inside write()), disconnected (once, when the peer closed, an error ended
// the connection, or close()/abort() ended a connected one), the peer's address and port and
// the descriptor. The connection is in the connected state from construction, as an accepted
// QSslSocket is; its handshake starts at once and `encrypted` says when it is done. Bytes
// written before that are sent after it. TLS 1.2 or later only.

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QIODevice>
#include <QString>

#include <memory>

class QSocketNotifier;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

class TlsContext
{
public:
    // The PEM certificate (with any chain after it) and its private key; null, with the
    // reason in error, when either cannot be read or they do not belong together.
    static std::shared_ptr<TlsContext> load(const QString& certificatePath, const QString& keyPath,
                                            QString* error = nullptr);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* handle() const { return m_ctx; }

private:
    explicit TlsContext(SSL_CTX* ctx)
        : m_ctx(ctx)
    {
    }
    SSL_CTX* m_ctx;
};

class TlsConnection : public QIODevice
{
    Q_OBJECT

public:
    // Takes over an accepted descriptor (made non-blocking); closes it on failure, leaving
    // the connection unconnected (see state()).
    TlsConnection(qintptr descriptor, std::shared_ptr<TlsContext> context, QObject* parent = nullptr);
    ~TlsConnection() override; // closes the descriptor, without signals

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;
    qint64 bytesToWrite() const override;
    // Decrypted bytes held for reading at most (0: no limit); beyond it the connection is not
    // read until the reader takes some.
    void setReadBufferSize(qint64 size) { m_readLimit = size; }

    QAbstractSocket::SocketState state() const { return m_state; }
    bool isEncrypted() const { return m_encrypted; }
    // "TLSv1.3" and the like once encrypted.
    QString protocolName() const;
    qintptr socketDescriptor() const { return m_fd; }
    QHostAddress peerAddress() const { return m_peer; }
    quint16 peerPort() const { return m_peerPort; }
    QHostAddress localAddress() const { return m_local; }

    // Sends what is queued, then close_notify, then closes; disconnected follows.
    void disconnectFromHost();
    void close() override; // disconnectFromHost(), and the device is closed for reading
    // Closes at once, dropping anything unsent.
    void abort();

signals:
    void encrypted();
    void disconnected();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    void onReadable();
    void onWritable();
    void handshake();
    void fill();
    void flush();
    void wantWrite(bool on);
    void postBytesWritten();
    void fail(const QString& why);
    void finish();
    void teardown();

    std::shared_ptr<TlsContext> m_context;
    SSL* m_ssl = nullptr;
    qintptr m_fd = -1;
    QSocketNotifier* m_read = nullptr;
    QSocketNotifier* m_write = nullptr;
    QAbstractSocket::SocketState m_state = QAbstractSocket::UnconnectedState;
    bool m_encrypted = false;
    bool m_closeWhenFlushed = false;
    bool m_bytesWrittenPosted = false;
    bool m_readPaused = false; // reading stopped at the read buffer's limit
    QByteArray m_in;
    int m_inPos = 0;
    QByteArray m_out;
    int m_outPos = 0;
    qint64 m_written = 0; // handed to the system since bytesWritten was last emitted
    qint64 m_readLimit = 0;
    QHostAddress m_peer;
    QHostAddress m_local;
    quint16 m_peerPort = 0;
};

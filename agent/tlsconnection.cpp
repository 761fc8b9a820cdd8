#include "tlsconnection.h"

#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstring>
#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// Plain bytes taken from OpenSSL per call: one TLS record.
constexpr int Chunk = 16 * 1024;

QString lastError(const char* what)
{
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (!code)
        return QString::fromLatin1(what);
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLatin1(text));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool setNonBlocking(qintptr fd)
{
#ifdef Q_OS_WIN
    u_long on = 1;
    return ioctlsocket(SOCKET(fd), FIONBIO, &on) == 0;
#else
    const int flags = ::fcntl(int(fd), F_GETFL);
    return flags >= 0 && ::fcntl(int(fd), F_SETFL, flags | O_NONBLOCK) == 0;
#endif
}

void closeDescriptor(qintptr fd)
{
#ifdef Q_OS_WIN
    ::closesocket(SOCKET(fd));
#else
    ::close(int(fd));
#endif
}

void address(qintptr fd, bool peer, QHostAddress* host, quint16* port)
{
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    auto* sa = reinterpret_cast<sockaddr*>(&storage);
    const auto s = decltype(::socket(0, 0, 0))(fd);
    if ((peer ? ::getpeername(s, sa, &size) : ::getsockname(s, sa, &size)) != 0)
        return;
    host->setAddress(sa);
    if (port && sa->sa_family == AF_INET)
        *port = ntohs(reinterpret_cast<sockaddr_in*>(sa)->sin_port);
    else if (port && sa->sa_family == AF_INET6)
        *port = ntohs(reinterpret_cast<sockaddr_in6*>(sa)->sin6_port);
}

} // namespace

// ---- TlsContext ----------------------------------------------------------------------

std::shared_ptr<TlsContext> TlsContext::load(const QString& certificatePath, const QString& keyPath,
                                             QString* error)
{
    auto failed = [error](const QString& why) {
        if (error)
            *error = why;
        return std::shared_ptr<TlsContext>();
    };
    const QByteArray certificates = readFile(certificatePath);
    const QByteArray keyPem = readFile(keyPath);
    if (certificates.isEmpty())
        return failed(QStringLiteral("cannot read %1").arg(certificatePath));
    if (keyPem.isEmpty())
        return failed(QStringLiteral("cannot read %1").arg(keyPath));

    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (!ctx)
        return failed(lastError("SSL_CTX_new"));
    std::shared_ptr<TlsContext> context(new TlsContext(ctx));
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(ctx,
                        SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE | SSL_OP_NO_COMPRESSION);
    // Agents never resume a session: no cache, no tickets to make and send.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_num_tickets(ctx, 0);
    SSL_CTX_set_mode(ctx, SSL_MODE_RELEASE_BUFFERS | SSL_MODE_ENABLE_PARTIAL_WRITE |
                              SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);

    BIO* bio = BIO_new_mem_buf(certificates.constData(), certificates.size());
    X509* leaf = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    bool ok = leaf && SSL_CTX_use_certificate(ctx, leaf) == 1;
    X509_free(leaf);
    while (ok) {
        X509* more = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
        if (!more)
            break;
        ok = SSL_CTX_add0_chain_cert(ctx, more) == 1;
        if (!ok)
            X509_free(more);
    }
    BIO_free(bio);
    ERR_clear_error(); // the end of the PEM text
    if (!ok)
        return failed(QStringLiteral("no certificate in %1").arg(certificatePath));

    bio = BIO_new_mem_buf(keyPem.constData(), keyPem.size());
    EVP_PKEY* key = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!key) {
        ERR_clear_error();
        return failed(QStringLiteral("no private key in %1").arg(keyPath));
    }
    ok = SSL_CTX_use_PrivateKey(ctx, key) == 1 && SSL_CTX_check_private_key(ctx) == 1;
    EVP_PKEY_free(key);
    if (!ok)
        return failed(lastError("the key does not match the certificate"));
    return context;
}

TlsContext::~TlsContext()
{
    SSL_CTX_free(m_ctx);
}

// ---- TlsConnection -------------------------------------------------------------------

TlsConnection::TlsConnection(qintptr descriptor, std::shared_ptr<TlsContext> context, QObject* parent)
    : QIODevice(parent)
    , m_context(std::move(context))
{
    const qintptr fd = descriptor;
    if (!m_context || !setNonBlocking(fd)) {
        closeDescriptor(fd);
        setErrorString(QStringLiteral("unusable descriptor"));
        return;
    }
    m_ssl = SSL_new(m_context->handle());
    if (!m_ssl || SSL_set_fd(m_ssl, int(fd)) != 1) {
        closeDescriptor(fd);
        setErrorString(lastError("SSL_new"));
        return;
    }
    SSL_set_accept_state(m_ssl);
    m_fd = fd;
    address(fd, true, &m_peer, &m_peerPort);
    address(fd, false, &m_local, nullptr);
    m_state = QAbstractSocket::ConnectedState;
    QIODevice::open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    m_read = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_read, &QSocketNotifier::activated, this, &TlsConnection::onReadable);
    m_write = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_write->setEnabled(false);
    connect(m_write, &QSocketNotifier::activated, this, &TlsConnection::onWritable);
}

TlsConnection::~TlsConnection()
{
    teardown();
}

qint64 TlsConnection::bytesAvailable() const
{
    return (m_in.size() - m_inPos) + QIODevice::bytesAvailable();
}

qint64 TlsConnection::bytesToWrite() const
{
    return m_out.size() - m_outPos;
}

QString TlsConnection::protocolName() const
{
    return m_ssl && m_encrypted ? QString::fromLatin1(SSL_get_version(m_ssl)) : QString();
}

qint64 TlsConnection::readData(char* data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_in.size() - m_inPos);
    if (n > 0) {
        std::memcpy(data, m_in.constData() + m_inPos, size_t(n));
        m_inPos += int(n);
    }
    if (m_inPos == m_in.size()) {
        m_in = QByteArray(); // an idle connection holds no buffer
        m_inPos = 0;
    }
    // Only a pause of its own is ended here: a notifier switched off by whoever drives the
    // connection (the server parks idle ones) stays off.
    if (m_readPaused && m_state == QAbstractSocket::ConnectedState &&
        (m_readLimit <= 0 || bytesAvailable() < m_readLimit)) {
        m_readPaused = false;
        m_read->setEnabled(true);
    }
    if (n == 0 && m_state != QAbstractSocket::ConnectedState)
        return -1;
    return n;
}

qint64 TlsConnection::writeData(const char* data, qint64 size)
{
    if (m_state != QAbstractSocket::ConnectedState || m_closeWhenFlushed)
        return -1;
    if (m_outPos > 0 && m_outPos == m_out.size()) {
        m_out.clear();
        m_outPos = 0;
    }
    m_out.append(data, int(size));
    if (m_encrypted)
        flush();
    return size;
}

void TlsConnection::onReadable()
{
    if (!m_encrypted)
        handshake();
    else
        fill();
}

void TlsConnection::onWritable()
{
    if (!m_encrypted) {
        handshake();
        return;
    }
    flush();
    // A read that needed to write first (a key update) goes on now.
    if (m_state == QAbstractSocket::ConnectedState && SSL_pending(m_ssl) > 0)
        fill();
}

void TlsConnection::handshake()
{
    ERR_clear_error();
    const int r = SSL_do_handshake(m_ssl);
    if (r == 1) {
        m_encrypted = true;
        wantWrite(false);
        QPointer<TlsConnection> guard(this);
        emit encrypted();
        if (!guard || m_state != QAbstractSocket::ConnectedState)
            return;
        flush();
        if (guard && m_state == QAbstractSocket::ConnectedState)
            fill(); // what the peer sent with its last handshake flight
        return;
    }
    switch (SSL_get_error(m_ssl, r)) {
    case SSL_ERROR_WANT_READ:
        wantWrite(false);
        return;
    case SSL_ERROR_WANT_WRITE:
        wantWrite(true);
        return;
    default:
        fail(lastError("TLS handshake failed"));
    }
}

void TlsConnection::fill()
{
    bool got = false;
    bool ended = false;
    char chunk[Chunk];
    while (m_readLimit <= 0 || bytesAvailable() < m_readLimit) {
        ERR_clear_error();
        const int n = SSL_read(m_ssl, chunk, sizeof chunk);
        if (n > 0) {
            if (m_inPos > 0 && m_inPos == m_in.size()) {
                m_in.clear();
                m_inPos = 0;
            }
            m_in.append(chunk, n);
            got = true;
            continue;
        }
        const int e = SSL_get_error(m_ssl, n);
        if (e == SSL_ERROR_WANT_READ)
            break;
        if (e == SSL_ERROR_WANT_WRITE) {
            wantWrite(true);
            break;
        }
        if (e != SSL_ERROR_ZERO_RETURN)
            setErrorString(lastError("connection ended"));
        ended = true; // close_notify, end of stream or an error
        break;
    }
    if (!ended && m_readLimit > 0 && bytesAvailable() >= m_readLimit) {
        m_readPaused = true;
        m_read->setEnabled(false);
    }
    QPointer<TlsConnection> guard(this);
    if (got)
        emit readyRead();
    if (guard && ended && m_state == QAbstractSocket::ConnectedState)
        finish();
}

void TlsConnection::flush()
{
    while (m_outPos < m_out.size()) {
        ERR_clear_error();
        const int n = SSL_write(m_ssl, m_out.constData() + m_outPos, qMin(m_out.size() - m_outPos, Chunk));
        if (n > 0) {
            m_outPos += n;
            m_written += n;
            continue;
        }
        const int e = SSL_get_error(m_ssl, n);
        if (e == SSL_ERROR_WANT_WRITE || e == SSL_ERROR_WANT_READ) {
            wantWrite(true);
            break;
        }
        fail(lastError("write failed"));
        return;
    }
    if (m_outPos == m_out.size()) {
        m_out = QByteArray();
        m_outPos = 0;
        wantWrite(false);
    } else if (m_outPos > Chunk * 4 && m_outPos > m_out.size() / 2) {
        m_out.remove(0, m_outPos);
        m_outPos = 0;
    }
    if (m_written > 0)
        postBytesWritten();
    if (m_closeWhenFlushed && m_out.isEmpty()) {
        SSL_shutdown(m_ssl); // close_notify; the peer's answer is not waited for
        finish();
    }
}

void TlsConnection::wantWrite(bool on)
{
    if (m_write && m_write->isEnabled() != on)
        m_write->setEnabled(on);
}

void TlsConnection::postBytesWritten()
{
    if (m_bytesWrittenPosted)
        return;
    m_bytesWrittenPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this]() {
            m_bytesWrittenPosted = false;
            const qint64 n = m_written;
            m_written = 0;
            if (n > 0)
                emit bytesWritten(n);
        },
        Qt::QueuedConnection);
}

void TlsConnection::fail(const QString& why)
{
    setErrorString(why);
    finish();
}

void TlsConnection::disconnectFromHost()
{
    if (m_state != QAbstractSocket::ConnectedState)
        return;
    if (!m_encrypted) {
        finish();
        return;
    }
    m_closeWhenFlushed = true;
    flush(); // closes now when nothing is queued
}

void TlsConnection::close()
{
    disconnectFromHost();
    if (isOpen())
        QIODevice::close();
}

void TlsConnection::abort()
{
    if (m_state == QAbstractSocket::ConnectedState)
        finish();
}

void TlsConnection::finish()
{
    teardown();
    m_in = QByteArray();
    m_inPos = 0;
    if (isOpen())
        QIODevice::close();
    emit disconnected();
}

void TlsConnection::teardown()
{
    m_state = QAbstractSocket::UnconnectedState;
    delete m_read;
    m_read = nullptr;
    delete m_write;
    m_write = nullptr;
    if (m_ssl) {
        SSL_free(m_ssl);
        m_ssl = nullptr;
    }
    if (m_fd >= 0) {
        closeDescriptor(m_fd);
        m_fd = -1;
    }
    m_out = QByteArray();
    m_outPos = 0;
}

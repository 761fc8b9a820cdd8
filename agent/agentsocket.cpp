#include "agentsocket.h"

#include <QtDebug>

namespace agentsocket {

namespace {

QSslSocket* qt(const AgentSocket* socket)
{
    return qobject_cast<QSslSocket*>(const_cast<AgentSocket*>(socket));
}

TlsConnection* ours(const AgentSocket* socket)
{
    return qobject_cast<TlsConnection*>(const_cast<AgentSocket*>(socket));
}

// `call` with the socket as the type it is (both offer the same calls), or `otherwise` for
// no socket of either type.
template <typename Result, typename Call>
Result either(const AgentSocket* socket, Result otherwise, Call call)
{
    if (QSslSocket* s = qt(socket))
        return call(s);
    if (TlsConnection* s = ours(socket))
        return call(s);
    return otherwise;
}

template <typename Call>
void either(const AgentSocket* socket, Call call)
{
    if (QSslSocket* s = qt(socket))
        call(s);
    else if (TlsConnection* s = ours(socket))
        call(s);
}

} // namespace

Kind configured()
{
#ifdef Q_OS_WIN
    // TlsConnection's Winsock side has never been built or run.
    return Kind::Qt;
#else
    const QByteArray value = qgetenv("RVX_TLS").trimmed().toLower();
    if (value == "openssl")
        return Kind::OpenSsl;
    if (!value.isEmpty() && value != "qt")
        qWarning().noquote() << QStringLiteral("RVX_TLS=%1 is neither \"qt\" nor \"openssl\"; using qt")
                                    .arg(QString::fromLatin1(value));
    return Kind::Qt;
#endif
}

const char* name(Kind kind)
{
    return kind == Kind::OpenSsl ? "openssl" : "qt";
}

QAbstractSocket::SocketState state(const AgentSocket* socket)
{
    return either(socket, QAbstractSocket::UnconnectedState, [](auto* s) { return s->state(); });
}

qintptr descriptor(const AgentSocket* socket)
{
    return either(socket, qintptr(-1), [](auto* s) { return s->socketDescriptor(); });
}

QHostAddress peerAddress(const AgentSocket* socket)
{
    return either(socket, QHostAddress(), [](auto* s) { return s->peerAddress(); });
}

QHostAddress localAddress(const AgentSocket* socket)
{
    return either(socket, QHostAddress(), [](auto* s) { return s->localAddress(); });
}

qint64 unsentBytes(const AgentSocket* socket)
{
    if (const QSslSocket* s = qt(socket))
        return s->bytesToWrite() + s->encryptedBytesToWrite();
    return socket ? socket->bytesToWrite() : 0;
}

void setReadBufferSize(AgentSocket* socket, qint64 size)
{
    either(socket, [size](auto* s) { s->setReadBufferSize(size); });
}

void flush(AgentSocket* socket)
{
    if (QSslSocket* s = qt(socket))
        s->flush();
}

void disconnectFromHost(AgentSocket* socket)
{
    either(socket, [](auto* s) { s->disconnectFromHost(); });
}

void abort(AgentSocket* socket)
{
    either(socket, [](auto* s) { s->abort(); });
}

} // namespace agentsocket

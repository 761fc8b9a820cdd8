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
    if (const QSslSocket* s = qt(socket))
        return s->state();
    if (const TlsConnection* s = ours(socket))
        return s->state();
    return QAbstractSocket::UnconnectedState;
}

qintptr descriptor(const AgentSocket* socket)
{
    if (const QSslSocket* s = qt(socket))
        return s->socketDescriptor();
    if (const TlsConnection* s = ours(socket))
        return s->socketDescriptor();
    return -1;
}

QHostAddress peerAddress(const AgentSocket* socket)
{
    if (const QSslSocket* s = qt(socket))
        return s->peerAddress();
    if (const TlsConnection* s = ours(socket))
        return s->peerAddress();
    return QHostAddress();
}

QHostAddress localAddress(const AgentSocket* socket)
{
    if (const QSslSocket* s = qt(socket))
        return s->localAddress();
    if (const TlsConnection* s = ours(socket))
        return s->localAddress();
    return QHostAddress();
}

qint64 unsentBytes(const AgentSocket* socket)
{
    if (const QSslSocket* s = qt(socket))
        return s->bytesToWrite() + s->encryptedBytesToWrite();
    return socket ? socket->bytesToWrite() : 0;
}

void setReadBufferSize(AgentSocket* socket, qint64 size)
{
    if (QSslSocket* s = qt(socket))
        s->setReadBufferSize(size);
    else if (TlsConnection* s = ours(socket))
        s->setReadBufferSize(size);
}

void flush(AgentSocket* socket)
{
    if (QSslSocket* s = qt(socket))
        s->flush();
}

void disconnectFromHost(AgentSocket* socket)
{
    if (QSslSocket* s = qt(socket))
        s->disconnectFromHost();
    else if (TlsConnection* s = ours(socket))
        s->disconnectFromHost();
}

void abort(AgentSocket* socket)
{
    if (QSslSocket* s = qt(socket))
        s->abort();
    else if (TlsConnection* s = ours(socket))
        s->abort();
}

} // namespace agentsocket

#pragma once

// An agent's connection as the server keeps it: Qt's TLS socket (QSslSocket) or the agent
// library's own TlsConnection, chosen once when the server starts listening (RVX_TLS). Both
// are QIODevices, which is what the records, the registry, the writer and the pacer key on;
// the few calls the two types offer separately go through the functions below, which look
// at the real type.

#include <QAbstractSocket>
#include <QHostAddress>
#include <QIODevice>
#include <QObject>
#include <QSslSocket>

#include "agentsocketfwd.h"
#include "tlsconnection.h"

namespace agentsocket {

enum class Kind
{
    Qt,      // a QSslSocket per connection
    OpenSsl, // a TlsConnection per connection, one TlsContext for all
};

// RVX_TLS=openssl selects ours; unset, empty or "qt" selects Qt's (anything else too, with a
// warning). Windows always uses Qt's.
Kind configured();
// For messages: "qt" or "openssl".
const char* name(Kind kind);

QAbstractSocket::SocketState state(const AgentSocket* socket);
inline bool isConnected(const AgentSocket* socket)
{
    return state(socket) == QAbstractSocket::ConnectedState;
}
qintptr descriptor(const AgentSocket* socket);
QHostAddress peerAddress(const AgentSocket* socket);
QHostAddress localAddress(const AgentSocket* socket);
// Bytes written and not yet handed to the system: for Qt's socket its plain and its
// encrypted buffer.
qint64 unsentBytes(const AgentSocket* socket);
void setReadBufferSize(AgentSocket* socket, qint64 size);
// Hands what it can to the system now (TlsConnection does so as bytes are written).
void flush(AgentSocket* socket);
// Sends what is queued, then closes.
void disconnectFromHost(AgentSocket* socket);
// Closes at once, dropping anything unsent.
void abort(AgentSocket* socket);

// Connects the socket's disconnected signal (and, for the writer, every signal saying bytes
// left the socket) to a functor, whatever the type.
template <typename Functor>
void onDisconnected(AgentSocket* socket, const QObject* context, Functor f)
{
    if (auto* qt = qobject_cast<QSslSocket*>(socket))
        QObject::connect(qt, &QSslSocket::disconnected, context, f);
    else if (auto* ours = qobject_cast<TlsConnection*>(socket))
        QObject::connect(ours, &TlsConnection::disconnected, context, f);
}

template <typename Functor>
void onDrained(AgentSocket* socket, const QObject* context, Functor f)
{
    QObject::connect(socket, &QIODevice::bytesWritten, context, f);
    if (auto* qt = qobject_cast<QSslSocket*>(socket))
        QObject::connect(qt, &QSslSocket::encryptedBytesWritten, context, f);
}

} // namespace agentsocket

#include "sslserver.h"

#include "handshake.h"
#include "platform.h"
#include "rvxdb.h"
#include "sending.h"
#include "sslserver_p.h"
#include "thinclientinfo.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <QtDebug>

namespace {

// Decrypted bytes a connection may hold before the server reads them; the reader consumes
// them as they come, so this only bounds what a flood can make the server keep.
constexpr qint64 ReadBufferSize = 256 * 1024;
constexpr int ZombieIntervalMs = 300000;
constexpr qint64 ZombieSilenceSeconds = 900;

QSslKey readKey(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QSslKey();
    const QByteArray pem = file.readAll();
    QSslKey key(pem, QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey, QByteArray());
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec, QSsl::Pem, QSsl::PrivateKey, QByteArray());
    return key;
}

} // namespace

// ---- AgentConnection -----------------------------------------------------------------

AgentConnection::AgentConnection(SSLServer::Private* owner, QSslSocket* s)
    : QObject(s)
    , d(owner)
    , socket(s)
{
    d->connections.insert(socket, this);
}

AgentConnection::~AgentConnection()
{
    if (d)
        d->connections.remove(socket);
}

// ---- construction --------------------------------------------------------------------

SSLServer::SSLServer(QObject* parent, QSettings* settings)
    : QTcpServer(parent)
    , d(new Private(this))
    , m_settings(settings)
{
    m_db = new rvxDB(settings ? settings->value(QStringLiteral("databaseDir")).toString() : QString());
    d->zombieTimer = new QTimer(this);
    d->zombieTimer->setTimerType(Qt::VeryCoarseTimer);
    connect(d->zombieTimer, &QTimer::timeout, this, &SSLServer::zombieCheck);
    d->deadlineTimer = new QTimer(this);
    d->deadlineTimer->setTimerType(Qt::CoarseTimer);
    connect(d->deadlineTimer, &QTimer::timeout, this, [this]() { d->checkDeadlines(); });
    d->monotonic.start();
}

SSLServer::~SSLServer()
{
    close();
    d->zombieTimer->stop();
    d->deadlineTimer->stop();
    // Sockets go first, without their signals: nothing may run the disconnection handling
    // while the registry is being taken apart.
    const QList<QSslSocket*> sockets = d->connections.keys();
    for (QSslSocket* socket : sockets)
        disconnect(socket, nullptr, this, nullptr);
    QList<ThinclientInfo*> records = d->pending.values();
    records += d->devices.keys();
    for (ThinclientInfo* record : records)
        delete record; // deletes its socket
    const QList<AgentConnection*> rest = d->connections.values();
    for (AgentConnection* c : rest)
        delete c->socket;
    d->connections.clear();
    delete d;
    d = nullptr;
    delete m_db; // writes the last-seen table
    m_db = nullptr;
}

void SSLServer::setHandshakeTimeout(int milliseconds)
{
    d->handshakeTimeoutMs = qMax(1, milliseconds);
}

int SSLServer::handshakeTimeout() const
{
    return d->handshakeTimeoutMs;
}

int SSLServer::connectionCount() const
{
    return d->connections.size();
}

bool SSLServer::listenForAgents(quint16 port, const QString& certificatePath, const QString& keyPath)
{
    d->certificatePath = certificatePath;
    d->keyPath = keyPath;

    // The certificate and key are read once; when either is missing or unreadable every TLS
    // handshake fails and the connections close before they authenticate.
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    const QList<QSslCertificate> chain = QSslCertificate::fromPath(certificatePath, QSsl::Pem);
    if (!chain.isEmpty()) {
        tls.setLocalCertificate(chain.first());
        if (chain.size() > 1)
            tls.setLocalCertificateChain(chain);
    }
    const QSslKey key = readKey(keyPath);
    if (!key.isNull())
        tls.setPrivateKey(key);
    d->tls = tls;

    const QList<QByteArray> blocks = m_db->loadAllStates();
    for (const QByteArray& block : blocks) {
        auto* record = new ThinclientInfo;
        record->loadBlock(block);
        record->setBootMode(ThinclientInfo::BootOffline);
        const QString key = Private::serialKey(record->serialNumber());
        if (!rvxDB::isValidSerial(record->serialNumber()) || d->bySerial.contains(key)) {
            delete record; // a copy of a block already loaded under another file name
            continue;
        }
        d->devices.insert(record, nullptr);
        d->bySerial.insert(key, record);
        emit addDevToDept(record);
    }

    d->zombieTimer->start(ZombieIntervalMs);
    return listen(QHostAddress::Any, port);
}

// ---- registry ------------------------------------------------------------------------

QString SSLServer::Private::serialKey(const QString& serial)
{
    QString key = serial;
    for (QChar& ch : key) {
        if (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))
            ch = QChar(ch.unicode() + ('a' - 'A'));
    }
    return key;
}

ThinclientInfo* SSLServer::findBySerial(const QString& serial, QSslSocket** key) const
{
    ThinclientInfo* record = d->bySerial.value(Private::serialKey(serial));
    if (key)
        *key = record ? d->devices.value(record) : nullptr;
    return record;
}

void SSLServer::removeDevice(ThinclientInfo* record)
{
    if (!record)
        return;
    for (auto it = d->pending.begin(); it != d->pending.end();) {
        if (it.value() == record)
            it = d->pending.erase(it);
        else
            ++it;
    }
    if (d->devices.contains(record)) {
        QSslSocket* key = d->devices.take(record);
        if (key && d->online.value(key) == record)
            d->online.remove(key);
        const QString serialKey = Private::serialKey(record->serialNumber());
        if (d->bySerial.value(serialKey) == record)
            d->bySerial.remove(serialKey);
        const QString serial = record->serialNumber();
        if (rvxDB::isValidSerial(serial)) {
            m_db->deleteConfig(serial);
            m_db->deleteState(serial);
            m_db->removeLastSeen(serial);
        }
    }
    if (record->socket) {
        // The connection goes with the record; its closing needs no further handling.
        disconnect(record->socket, nullptr, this, nullptr);
        if (AgentConnection* c = d->connections.value(record->socket))
            c->closing = true;
    }
    delete record;
}

QList<ThinclientInfo*> SSLServer::devices() const
{
    return d->devices.keys();
}

int SSLServer::pendingCount() const
{
    return d->pending.size();
}

int SSLServer::deviceCount() const
{
    return d->devices.size();
}

void SSLServer::allowReadFolder(const QString& folder)
{
    if (!folder.isEmpty() && !d->readFolders.contains(folder))
        d->readFolders.append(folder);
}

void SSLServer::allowWriteFolder(const QString& folder)
{
    if (!folder.isEmpty() && !d->writeFolders.contains(folder))
        d->writeFolders.append(folder);
}

// ---- zombie check --------------------------------------------------------------------

void SSLServer::zombieCheck()
{
    const qint64 now = rvx::platform::nowSeconds();
    const QList<ThinclientInfo*> snapshot = d->online.values();
    for (ThinclientInfo* record : snapshot) {
        // Closing one connection may run the disconnection handling of another record's
        // socket only for that socket; each record is still looked up afresh.
        if (!d->devices.contains(record) || !record->socket)
            continue;
        const qint64 lastSeen = m_db->lastSeen(record->serialNumber());
        if (now < lastSeen || now - lastSeen > ZombieSilenceSeconds) {
            if (AgentConnection* c = d->connections.value(record->socket))
                d->closeConnection(c);
            else
                record->socket->close();
            emit setStatus(record, 1, "Client not responding, closing connection");
        }
    }
    // The last-seen table is written here too, so a crash loses at most one period.
    m_db->checkpoint();
}

// ---- connections ---------------------------------------------------------------------

void SSLServer::incomingConnection(qintptr socketDescriptor)
{
    auto* socket = new QSslSocket(this);
    d->lastSocket = socket;
    if (!socket->setSocketDescriptor(socketDescriptor, QAbstractSocket::ConnectedState,
                                     QIODevice::ReadWrite)) {
        delete socket;
        d->lastSocket = nullptr;
        qWarning().noquote() << QStringLiteral(
                                    "SSLServer::incomingConnection: Couldn't setSocketDescriptor(%1) "
                                    "for this connection")
                                    .arg(socketDescriptor);
        return;
    }
    new AgentConnection(d, socket);
    socket->setReadBufferSize(ReadBufferSize);
    connect(socket, &QSslSocket::readyRead, this, &SSLServer::onReadyToRead);
    connect(socket, &QSslSocket::peerVerifyError, this, &SSLServer::onPeerVerifyError);
    connect(socket, &QSslSocket::disconnected, this, &SSLServer::onDisconnected);
    connect(socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), this,
            &SSLServer::onSslErrors);
    socket->setSslConfiguration(d->tls);

    d->deadlines.push_back({d->monotonic.elapsed() + d->handshakeTimeoutMs, QPointer<QSslSocket>(socket)});
    if (!d->deadlineTimer->isActive())
        d->deadlineTimer->start(qBound(10, d->handshakeTimeoutMs / 10, 1000));

    socket->startServerEncryption();
}

void SSLServer::onSslErrors(const QList<QSslError>&) {}

void SSLServer::onPeerVerifyError(const QSslError&) {}

void SSLServer::onDisconnected()
{
    if (auto* socket = qobject_cast<QSslSocket*>(sender()))
        d->handleDisconnect(socket);
}

void SSLServer::onReadyToRead()
{
    if (auto* socket = qobject_cast<QSslSocket*>(sender()))
        d->processSocket(socket);
}

void SSLServer::Private::checkDeadlines()
{
    const qint64 now = monotonic.elapsed();
    while (!deadlines.empty() && deadlines.front().at <= now) {
        QPointer<QSslSocket> socket = deadlines.front().socket;
        deadlines.pop_front();
        if (!socket)
            continue;
        AgentConnection* c = connections.value(socket);
        if (!c || c->identified)
            continue;
        c->closing = true;
        socket->abort();
        handleDisconnect(socket);
    }
    if (deadlines.empty())
        deadlineTimer->stop();
}

void SSLServer::Private::closeConnection(AgentConnection* c)
{
    if (c->closing)
        return;
    c->closing = true;
    c->reader.reset();
    c->socket->close();
}

void SSLServer::Private::dropConnection(QSslSocket* socket)
{
    if (AgentConnection* c = connections.value(socket))
        closeConnection(c);
    else
        socket->close();
}

void SSLServer::Private::handleDisconnect(QSslSocket* socket)
{
    if (AgentConnection* c = connections.value(socket)) {
        c->closing = true;
        c->reader.reset();
    }
    bool identified = false;
    ThinclientInfo* record = pending.take(socket);
    if (!record) {
        record = online.take(socket);
        identified = record != nullptr;
    }
    socket->deleteLater();
    if (lastSocket == socket)
        lastSocket = nullptr;
    if (!record)
        return; // never authenticated, or already handled
    record->setBootMode(ThinclientInfo::BootOffline);
    record->socket = nullptr;
    closeTransfer(record);
    if (!identified) {
        record->deleteLater();
        return;
    }
    devices.insert(record, nullptr);
    emit q->updateTreeViewEntry(record, true);
}

void SSLServer::Private::touch(ThinclientInfo* record)
{
    const QString serial = record->serialNumber();
    if (rvxDB::isValidSerial(serial))
        q->m_db->setLastSeen(serial, rvx::platform::nowSeconds());
}

bool SSLServer::Private::runHandshake(AgentConnection* c)
{
    QSslSocket* socket = c->socket;
    const QByteArray received = socket->read(handshake::GreetingSize);
    if (received.size() != handshake::GreetingSize) {
        closeConnection(c);
        return false;
    }
    const std::optional<QByteArray> identifier = handshake::checkGreeting(received);
    if (!identifier) {
        closeConnection(c);
        return false;
    }
    auto* record = new ThinclientInfo;
    record->socket = socket;
    if (ThinclientInfo* old = pending.value(socket))
        delete old;
    pending.insert(socket, record);
    c->authenticated = true;

    socket->write(handshake::serverProof(*identifier));
    socket->flush();
    const qint64 now = rvx::platform::nowSeconds();
    const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
    socket->write(
        handshake::welcomeMessage(today, static_cast<quint32>(now), QByteArrayLiteral(RVX_VERSION_STRING)));
    socket->flush();
    return true;
}

void SSLServer::Private::processSocket(QSslSocket* socket)
{
    QPointer<QSslSocket> guard(socket);
    AgentConnection* c = connections.value(socket);
    if (!c)
        return;
    // Every complete message buffered is handled now: no further notification comes for
    // bytes that already arrived.
    while (guard && !c->closing) {
        if (!c->authenticated) {
            if (socket->bytesAvailable() < handshake::GreetingSize)
                return;
            if (!runHandshake(c))
                return;
            continue;
        }
        bool isPending = true;
        ThinclientInfo* record = pending.value(socket);
        if (!record) {
            isPending = false;
            record = online.value(socket);
        }
        if (!record)
            return;
        switch (c->reader.step(socket, record->isOldAgent())) {
        case FrameReader::Result::NeedMore:
            return;
        case FrameReader::Result::KeepAlive:
            touch(record);
            continue;
        case FrameReader::Result::Error:
            closeConnection(c);
            return;
        case FrameReader::Result::Message:
            dispatch(c, record, isPending, c->reader.takeFrame());
            continue;
        }
    }
}

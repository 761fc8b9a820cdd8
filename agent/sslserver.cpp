#include "sslserver.h"

#include "agentwriter.h"
#include "handshake.h"
#include "platform.h"
#include "rvxdb.h"
#include "sending.h"
#include "settingskeys.h"
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
constexpr int ZombiesPerTurn = 256;
// Connections the system queues before they are accepted. Beyond it new connections are
// dropped and their agents wait for the system's retransmissions (a second and more): a
// storm of reconnecting devices or a flood of connections must not fill it.
constexpr int ListenBacklog = 511;

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

AgentConnection::AgentConnection(SSLServer::Private* owner, AgentSocket* s)
    : PacedConnection(s)
    , d(owner)
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
    m_db =
        new rvxDB(settings ? rvx::settings::folder(*settings, rvx::settings::Folder::Database) : QString());
    d->zombieTimer = new QTimer(this);
    d->zombieTimer->setTimerType(Qt::VeryCoarseTimer);
    connect(d->zombieTimer, &QTimer::timeout, this, &SSLServer::zombieCheck);
    d->zombieTurn = new QTimer(this);
    d->zombieTurn->setSingleShot(true);
    d->zombieTurn->setInterval(0);
    connect(d->zombieTurn, &QTimer::timeout, this, [this]() { d->closeZombies(); });
    d->pacer = new ConnectionPacer(this, [this](PacedConnection* c) { d->dropConnection(c); });
}

SSLServer::~SSLServer()
{
    d->pacer->stop();
    close();
    d->zombieTimer->stop();
    d->zombieTurn->stop();
    // Sockets go first, without their signals: nothing may run the disconnection handling
    // while the registry is being taken apart.
    for (auto it = d->connections.cbegin(); it != d->connections.cend(); ++it) {
        disconnect(it.key(), nullptr, it.value(), nullptr);
        it.value()->d = nullptr;
    }
    const QList<AgentSocket*> sockets = d->connections.keys();
    d->connections.clear();
    delete d->pacer;
    d->pacer = nullptr;
    for (AgentSocket* socket : sockets) {
        // A record's socket is deleted with the record by the registry.
        if (!d->registry.pending(socket) && !d->registry.online(socket))
            delete socket;
    }
    delete d; // the registry deletes every record and its socket
    d = nullptr;
    delete m_db; // writes the last-seen table
    m_db = nullptr;
}

void SSLServer::setHandshakeTimeout(int milliseconds)
{
    d->pacer->setHandshakeTimeout(milliseconds);
}

int SSLServer::handshakeTimeout() const
{
    return d->pacer->handshakeTimeout();
}

int SSLServer::connectionCount() const
{
    return d->connections.size();
}

void SSLServer::setMaxUnauthenticated(int connections)
{
    d->pacer->setMaxUnauthenticated(connections);
}

int SSLServer::maxUnauthenticated() const
{
    return d->pacer->maxUnauthenticated();
}

int SSLServer::unauthenticatedCount() const
{
    return d->pacer->unauthenticatedCount();
}

int SSLServer::parkedCount() const
{
    return d->pacer->parkedCount();
}

bool SSLServer::listenForAgents(quint16 port, const QString& certificatePath, const QString& keyPath)
{
    d->certificatePath = certificatePath;
    d->keyPath = keyPath;
    d->kind = agentsocket::configured();

    if (d->kind == agentsocket::Kind::OpenSsl) {
        // One context for every connection of the run. A certificate or key that cannot be
        // used is refused here: listening fails as when the port is taken.
        QString error;
        d->context = TlsContext::load(certificatePath, keyPath, &error);
        if (!d->context)
            qWarning().noquote() << QStringLiteral("SSLServer::listenForAgents: %1").arg(error);
    } else {
        // The certificate and key are read once; when either is missing or unreadable every
        // TLS handshake fails and the connections close before they authenticate.
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
    }

    const QList<QByteArray> blocks = m_db->loadAllStates();
    for (const QByteArray& block : blocks) {
        auto* record = new ThinclientInfo;
        record->loadBlock(block);
        record->setBootMode(ThinclientInfo::BootOffline);
        // A copy of a block already loaded under another file name is dropped.
        if (!rvxDB::isValidSerial(record->serialNumber())) {
            delete record;
            continue;
        }
        if (d->registry.addOffline(record))
            emit addDevToDept(record);
    }

    d->zombieTimer->start(ZombieIntervalMs);
    if (d->kind == agentsocket::Kind::OpenSsl && !d->context)
        return false;
    if (!listen(QHostAddress::Any, port))
        return false;
    rvx::platform::setListenBacklog(socketDescriptor(), ListenBacklog);
    return true;
}

// ---- registry ------------------------------------------------------------------------

ThinclientInfo* SSLServer::findBySerial(const QString& serial, AgentSocket** key) const
{
    return d->registry.findBySerial(serial, key);
}

void SSLServer::removeDevice(ThinclientInfo* record)
{
    if (!record)
        return;
    if (d->registry.contains(record)) {
        const QString serial = record->serialNumber();
        if (rvxDB::isValidSerial(serial)) {
            m_db->deleteConfig(serial);
            m_db->deleteState(serial);
            m_db->removeLastSeen(serial);
        }
    }
    d->registry.remove(record);
    if (record->socket) {
        // The connection goes with the record; its closing needs no further handling.
        if (AgentConnection* c = d->connections.value(record->socket)) {
            disconnect(record->socket, nullptr, c, nullptr);
            c->closing = true;
            d->pacer->closed(c);
        }
    }
    if (d->answering == record)
        d->answering = nullptr;
    delete record; // and its socket
}

QList<ThinclientInfo*> SSLServer::devices() const
{
    return d->registry.devices();
}

int SSLServer::pendingCount() const
{
    return d->registry.pendingCount();
}

int SSLServer::deviceCount() const
{
    return d->registry.deviceCount();
}

ThinclientInfo* SSLServer::answeringDevice() const
{
    return d->answering;
}

void SSLServer::allowReadFolder(const QString& folder)
{
    if (!folder.isEmpty() && !d->readFolders.contains(folder))
        d->readFolders.append(folder);
}

void SSLServer::allowReadFile(const QString& path)
{
    if (!path.isEmpty() && !d->readFiles.contains(path))
        d->readFiles.append(path);
}

void SSLServer::setProtectedFiles(ProtectedFiles files)
{
    d->protectedFiles = std::move(files);
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
    d->zombies.clear();
    const QList<ThinclientInfo*> online = d->registry.onlineDevices();
    for (ThinclientInfo* record : online) {
        if (d->silent(record, now))
            d->zombies.push_back(QPointer<ThinclientInfo>(record));
    }
    d->closeZombies();
    // The last-seen table is written here too, so a crash loses at most one period.
    m_db->checkpoint();
}

bool SSLServer::Private::silent(ThinclientInfo* record, qint64 now) const
{
    const qint64 lastSeen = q->m_db->lastSeen(record->serialNumber());
    return now < lastSeen || now - lastSeen > ZombieSilenceSeconds;
}

void SSLServer::Private::closeZombies()
{
    // A bounded number per turn: when the network to thousands of devices failed, closing
    // them all at once would freeze the window. Each is looked at again when its turn comes
    // (closing one connection runs the disconnection handling of that socket only, and a
    // device may have been heard from since).
    const qint64 now = rvx::platform::nowSeconds();
    int closed = 0;
    while (!zombies.empty() && closed < ZombiesPerTurn) {
        const QPointer<ThinclientInfo> record = zombies.front();
        zombies.pop_front();
        if (!record || !registry.contains(record) || !record->socket || !silent(record, now))
            continue;
        if (AgentConnection* c = connections.value(record->socket))
            closeConnection(c);
        else
            record->socket->close();
        if (record)
            emit q->setStatus(record, 1, "Client not responding, closing connection");
        ++closed;
    }
    if (!zombies.empty())
        zombieTurn->start();
}

// ---- connections ---------------------------------------------------------------------

void SSLServer::incomingConnection(qintptr socketDescriptor)
{
    QSslSocket* qt = nullptr;
    AgentSocket* socket = nullptr;
    if (d->kind == agentsocket::Kind::OpenSsl) {
        // Its handshake starts at once.
        auto* ours = new TlsConnection(socketDescriptor, d->context, this);
        if (!agentsocket::isConnected(ours)) {
            qWarning().noquote() << QStringLiteral("SSLServer::incomingConnection: connection %1: %2")
                                        .arg(socketDescriptor)
                                        .arg(ours->errorString());
            delete ours;
            return;
        }
        socket = ours;
    } else {
        qt = new QSslSocket(this);
        if (!qt->setSocketDescriptor(socketDescriptor, QAbstractSocket::ConnectedState,
                                     QIODevice::ReadWrite)) {
            delete qt;
            qWarning().noquote() << QStringLiteral(
                                        "SSLServer::incomingConnection: Couldn't setSocketDescriptor(%1) "
                                        "for this connection")
                                        .arg(socketDescriptor);
            return;
        }
        socket = qt;
    }
    auto* c = new AgentConnection(d, socket);
    agentsocket::setReadBufferSize(socket, ReadBufferSize);
    AgentWriter::of(socket); // every byte to the agent goes through it
    // The handlers are told their socket directly. Found through sender(), every message
    // would walk the server's list of all its senders: four per connection.
    connect(socket, &QIODevice::readyRead, c, [this, socket]() { d->processSocket(socket); });
    agentsocket::onDisconnected(socket, c, [this, socket]() { d->handleDisconnect(socket); });
    if (qt) {
        connect(qt, &QSslSocket::peerVerifyError, c, [this](const QSslError& e) { onPeerVerifyError(e); });
        connect(qt, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), c,
                [this](const QList<QSslError>& errors) { onSslErrors(errors); });
        qt->setSslConfiguration(d->tls);
        qt->startServerEncryption();
    }
    d->pacer->accepted(c);
    // The listener counts this turn's connections in its own list (the pacer empties it).
    addPendingConnection(qt ? qt : d->pacer->placeholder());
}

void SSLServer::onSslErrors(const QList<QSslError>&) {}

void SSLServer::onPeerVerifyError(const QSslError&) {}

void SSLServer::onDisconnected()
{
    if (auto* socket = qobject_cast<AgentSocket*>(sender()))
        d->handleDisconnect(socket);
}

void SSLServer::onReadyToRead()
{
    if (auto* socket = qobject_cast<AgentSocket*>(sender()))
        d->processSocket(socket);
}

void SSLServer::Private::closeConnection(AgentConnection* c)
{
    if (c->closing)
        return;
    pacer->closed(c);
    c->closing = true;
    c->reader.reset();
    c->socket->close();
}

void SSLServer::Private::dropConnection(PacedConnection* paced)
{
    // Over the cap of unauthenticated connections, or past its deadline.
    AgentSocket* socket = paced->socket;
    paced->closing = true;
    agentsocket::abort(socket);
    handleDisconnect(socket);
}

void SSLServer::Private::handleDisconnect(AgentSocket* socket)
{
    if (AgentConnection* c = connections.value(socket)) {
        c->closing = true;
        c->reader.reset();
        pacer->closed(c);
    }
    bool identified = false;
    ThinclientInfo* record = registry.disconnect(socket, &identified);
    socket->deleteLater();
    if (!record)
        return; // never identified (a pending record is gone), or already handled
    record->setBootMode(ThinclientInfo::BootOffline);
    closeTransfer(record);
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
    AgentSocket* socket = c->socket;
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
    registry.addPending(socket);
    c->authenticated = true;
    pacer->authenticated(c);

    AgentWriter* writer = AgentWriter::of(socket);
    writer->send(handshake::serverProof(*identifier));
    const qint64 now = rvx::platform::nowSeconds();
    const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
    writer->send(
        handshake::welcomeMessage(today, static_cast<quint32>(now), QByteArrayLiteral(RVX_VERSION_STRING)));
    return true;
}

void SSLServer::Private::processSocket(AgentSocket* socket)
{
    QPointer<AgentSocket> guard(socket);
    AgentConnection* c = connections.value(socket);
    if (!c)
        return;
    pacer->wasRead(c);
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
        ThinclientInfo* record = registry.pending(socket);
        if (!record) {
            isPending = false;
            record = registry.online(socket);
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

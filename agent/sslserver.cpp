#include "sslserver.h"

#include "handshake.h"
#include "platform.h"
#include "rvxdb.h"
#include "sending.h"
#include "sslserver_p.h"
#include "thinclientinfo.h"

#include <QAbstractEventDispatcher>
#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QSocketNotifier>
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
constexpr int AcceptRetryMs = 500;
constexpr int ParkingSweepMs = 1000;
constexpr int UnparkPerTurn = 32;
constexpr int ZombiesPerTurn = 256;
// Connections accepted in one turn at most; the system queues the rest for the next turns.
constexpr int AcceptPerTurn = 32;
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

AgentConnection::AgentConnection(SSLServer::Private* owner, QSslSocket* s)
    : QObject(s)
    , d(owner)
    , socket(s)
{
    d->connections.insert(socket, this);
}

AgentConnection::~AgentConnection()
{
    if (d) {
        d->leaveQueue(this);
        d->forgetParking(this);
        d->connections.remove(socket);
    }
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
    d->zombieTurn = new QTimer(this);
    d->zombieTurn->setSingleShot(true);
    d->zombieTurn->setInterval(0);
    connect(d->zombieTurn, &QTimer::timeout, this, [this]() { d->closeZombies(); });
    d->deadlineTimer = new QTimer(this);
    d->deadlineTimer->setTimerType(Qt::CoarseTimer);
    connect(d->deadlineTimer, &QTimer::timeout, this, [this]() { d->checkDeadlines(); });
    d->monotonic.start();
    setMaxPendingConnections(AcceptPerTurn);
    d->acceptTurn = new QTimer(this);
    d->acceptTurn->setSingleShot(true);
    d->acceptTurn->setInterval(0);
    connect(d->acceptTurn, &QTimer::timeout, this, [this]() { d->endAcceptTurn(); });
    d->resumeTimer = new QTimer(this);
    d->resumeTimer->setSingleShot(true);
    connect(d->resumeTimer, &QTimer::timeout, this, &QTcpServer::resumeAccepting);
    connect(this, &QTcpServer::acceptError, this,
            [this](QAbstractSocket::SocketError error) { d->onAcceptError(error); });
    d->parking = rvx::platform::ReadinessQueue::create();
    if (d->parking) {
        d->parkingNotifier = new QSocketNotifier(d->parking->descriptor(), QSocketNotifier::Read, this);
        connect(d->parkingNotifier, &QSocketNotifier::activated, this, [this]() { d->unparkReady(); });
        // Connections are parked when the event loop has handled the turn's data.
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
            connect(
                dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this]() { d->parkMarked(); },
                Qt::DirectConnection);
        // Whatever switched a parked connection's notifier on again without data for it.
        d->parkingSweep = new QTimer(this);
        d->parkingSweep->setTimerType(Qt::CoarseTimer);
        connect(d->parkingSweep, &QTimer::timeout, this, [this]() { d->sweepParking(); });
        d->parkingSweep->start(ParkingSweepMs);
    }
}

SSLServer::~SSLServer()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        disconnect(dispatcher, nullptr, this, nullptr);
    d->endAcceptTurn(); // the listener would delete what its list still holds
    close();
    d->zombieTimer->stop();
    d->zombieTurn->stop();
    d->deadlineTimer->stop();
    // Sockets go first, without their signals: nothing may run the disconnection handling
    // while the registry is being taken apart.
    for (auto it = d->connections.cbegin(); it != d->connections.cend(); ++it)
        disconnect(it.key(), nullptr, it.value(), nullptr);
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

void SSLServer::setMaxUnauthenticated(int connections)
{
    d->maxUnauthenticated = qMax(1, connections);
    d->dropOldestBeyondCap();
}

int SSLServer::maxUnauthenticated() const
{
    return d->maxUnauthenticated;
}

int SSLServer::unauthenticatedCount() const
{
    return static_cast<int>(d->unauthenticated.size());
}

int SSLServer::parkedCount() const
{
    return d->parked.size();
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
    if (!listen(QHostAddress::Any, port))
        return false;
    rvx::platform::setListenBacklog(socketDescriptor(), ListenBacklog);
    return true;
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
        if (AgentConnection* c = d->connections.value(record->socket)) {
            disconnect(record->socket, nullptr, c, nullptr);
            c->closing = true;
        }
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
    d->zombies.clear();
    for (ThinclientInfo* record : qAsConst(d->online)) {
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
        if (!record || !devices.contains(record) || !record->socket || !silent(record, now))
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
    auto* c = new AgentConnection(d, socket);
    d->enqueue(c);
    socket->setReadBufferSize(ReadBufferSize);
    // The handlers are told their socket directly. Found through sender(), every message
    // would walk the server's list of all its senders: four per connection.
    connect(socket, &QSslSocket::readyRead, c, [this, socket]() { d->processSocket(socket); });
    connect(socket, &QSslSocket::peerVerifyError, c, [this](const QSslError& e) { onPeerVerifyError(e); });
    connect(socket, &QSslSocket::disconnected, c, [this, socket]() { d->handleDisconnect(socket); });
    connect(socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), c,
            [this](const QList<QSslError>& errors) { onSslErrors(errors); });
    socket->setSslConfiguration(d->tls);

    d->deadlines.push_back({d->monotonic.elapsed() + d->handshakeTimeoutMs, QPointer<QSslSocket>(socket)});
    if (!d->deadlineTimer->isActive())
        d->deadlineTimer->start(qBound(10, d->handshakeTimeoutMs / 10, 1000));

    socket->startServerEncryption();
    // Parked at once: what the agent sends first is read within the turn's bound.
    if (!d->park(c))
        d->markActive(c);
    d->dropOldestBeyondCap();
    // The listener's own list of new connections only counts this turn's: at its limit the
    // listener stops taking more until the turn's timers have run and emptied it.
    addPendingConnection(socket);
    if (!d->acceptTurn->isActive())
        d->acceptTurn->start();
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

void SSLServer::Private::enqueue(AgentConnection* c)
{
    unauthenticated.push_back(c);
    c->queued = std::prev(unauthenticated.end());
    c->inQueue = true;
}

void SSLServer::Private::leaveQueue(AgentConnection* c)
{
    if (!c->inQueue)
        return;
    unauthenticated.erase(c->queued);
    c->inQueue = false;
}

void SSLServer::Private::dropOldestBeyondCap()
{
    while (static_cast<int>(unauthenticated.size()) > maxUnauthenticated) {
        AgentConnection* oldest = unauthenticated.front();
        leaveQueue(oldest);
        QSslSocket* socket = oldest->socket;
        oldest->closing = true;
        socket->abort();
        handleDisconnect(socket);
    }
}

void SSLServer::Private::endAcceptTurn()
{
    acceptTurn->stop();
    while (q->hasPendingConnections())
        q->nextPendingConnection(); // the connection is set up already; this frees the list
}

void SSLServer::Private::onAcceptError(QAbstractSocket::SocketError)
{
    // The listener has stopped accepting (the process may be out of descriptors): the
    // connections waiting in the system's queue are taken once it resumes.
    if (!resumeTimer->isActive())
        resumeTimer->start(AcceptRetryMs);
}

// ---- parking ---------------------------------------------------------------------------
// A connection whose socket the event loop read this turn stays watched by the event loop
// for one more turn (more often follows at once), then is parked at the end of the turn
// after: its read notifier off, the readiness queue armed. Parking is always safe: data the
// system holds for the socket, or that arrives later, makes the queue report it.

void SSLServer::Private::markActive(AgentConnection* c)
{
    if (!parking || c->closing)
        return;
    if (c->parked)
        forgetParking(c); // its notifier is on again (Qt switches it on when reading)
    if (c->toPark)
        return;
    c->toPark = true;
    justActive.append(QPointer<AgentConnection>(c));
}

void SSLServer::Private::parkMarked()
{
    const QVector<QPointer<AgentConnection>> due = std::move(parkNext);
    parkNext = std::move(justActive);
    justActive.clear();
    for (const QPointer<AgentConnection>& c : due) {
        if (!c)
            continue;
        c->toPark = false;
        park(c);
    }
}

bool SSLServer::Private::park(AgentConnection* c)
{
    QSslSocket* socket = c->socket;
    if (!parking || c->closing || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Data the server has not read yet would wait for another byte from the agent.
    if (socket->bytesAvailable() > 0)
        return false;
    const qintptr fd = socket->socketDescriptor();
    if (fd < 0)
        return false;
    if (!c->readNotifier || c->readNotifier->socket() != fd) {
        // The notifier of the socket's system connection, created by Qt beneath the socket.
        c->readNotifier.clear();
        const QList<QSocketNotifier*> notifiers = socket->findChildren<QSocketNotifier*>();
        for (QSocketNotifier* n : notifiers) {
            if (n->type() == QSocketNotifier::Read && n->socket() == fd) {
                c->readNotifier = n;
                break;
            }
        }
        if (!c->readNotifier)
            return false;
    }
    if (!parking->watch(fd))
        return false;
    if (c->parked && c->parkedAs != fd)
        forgetParking(c);
    c->readNotifier->setEnabled(false);
    c->parked = true;
    c->parkedAs = fd;
    parked.insert(fd, c);
    return true;
}

void SSLServer::Private::unparkReady()
{
    // A bounded number per turn: thousands of agents sending at once (or all going away)
    // are served over several turns, and the window stays responsive meanwhile. The queue
    // keeps reporting the rest.
    const QVector<qintptr> ready = parking->takeReady(UnparkPerTurn);
    for (qintptr fd : ready) {
        AgentConnection* c = parked.value(fd);
        if (!c)
            continue;
        forgetParking(c);
        // The event loop reads the socket in its next turn, as any other.
        if (c->readNotifier && c->socket->socketDescriptor() == fd)
            c->readNotifier->setEnabled(true);
        markActive(c);
    }
}

void SSLServer::Private::sweepParking()
{
    // Connections left unparked (an event loop driven without waiting, as by
    // processEvents(), never ends a turn), and parked ones whose notifier Qt switched on
    // again (it does so whenever a socket is read; writing a command may).
    for (AgentConnection* c : qAsConst(connections)) {
        if (!c->closing && (!c->parked || (c->readNotifier && c->readNotifier->isEnabled())))
            park(c);
    }
}

void SSLServer::Private::forgetParking(AgentConnection* c)
{
    if (c->parkedAs >= 0 && parked.value(c->parkedAs) == c)
        parked.remove(c->parkedAs);
    c->parked = false;
    c->parkedAs = -1;
}

void SSLServer::Private::closeConnection(AgentConnection* c)
{
    if (c->closing)
        return;
    leaveQueue(c);
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
        leaveQueue(c);
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
    leaveQueue(c);

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
    markActive(c);
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

#include "connectionpacer.h"

#include "agentsocket.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int AcceptRetryMs = 500;
constexpr int ParkingSweepMs = 1000;
// Connections the sweep looks at each time: up to this many every connection every second,
// beyond it every connection once in a few seconds. Looking at all of 10,000 every second
// was a fifth of an idle server's CPU.
constexpr std::size_t ParkingSweepSlice = 1024;

} // namespace

// ---- PacedConnection -----------------------------------------------------------------

PacedConnection::PacedConnection(AgentSocket* s)
    : QObject(s)
    , socket(s)
{
}

PacedConnection::~PacedConnection()
{
    if (m_pacer)
        m_pacer->forget(this);
}

// ---- ConnectionPacer -----------------------------------------------------------------

ConnectionPacer::ConnectionPacer(QTcpServer* listener, Drop drop)
    : QObject(listener)
    , m_listener(listener)
    , m_drop(std::move(drop))
{
    m_deadlineTimer = new QTimer(this);
    m_deadlineTimer->setTimerType(Qt::CoarseTimer);
    connect(m_deadlineTimer, &QTimer::timeout, this, [this]() { checkDeadlines(); });
    m_monotonic.start();

    // The listener's own list of new connections only counts this turn's: at its limit the
    // listener stops taking more until the turn's timers have run and emptied it.
    listener->setMaxPendingConnections(AcceptPerTurn);
    m_acceptTurn = new QTimer(this);
    m_acceptTurn->setSingleShot(true);
    m_acceptTurn->setInterval(0);
    connect(m_acceptTurn, &QTimer::timeout, this, [this]() { endAcceptTurn(); });
    // The listener stops accepting when a connection cannot be accepted (the process may be
    // out of descriptors): the connections waiting in the system's queue are taken once it
    // resumes, after a pause.
    m_resumeTimer = new QTimer(this);
    m_resumeTimer->setSingleShot(true);
    connect(m_resumeTimer, &QTimer::timeout, listener, &QTcpServer::resumeAccepting);
    connect(listener, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        if (!m_resumeTimer->isActive())
            m_resumeTimer->start(AcceptRetryMs);
    });

    m_parking = rvx::platform::ReadinessQueue::create();
    if (m_parking) {
        m_parkingNotifier = new QSocketNotifier(m_parking->descriptor(), QSocketNotifier::Read, this);
        connect(m_parkingNotifier, &QSocketNotifier::activated, this, [this]() { unparkReady(); });
        // Connections are parked when the event loop has handled the turn's data.
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
            connect(
                dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this]() { parkMarked(); },
                Qt::DirectConnection);
        // Whatever switched a parked connection's notifier on again without data for it.
        m_parkingSweep = new QTimer(this);
        m_parkingSweep->setTimerType(Qt::CoarseTimer);
        connect(m_parkingSweep, &QTimer::timeout, this, [this]() { sweepParking(); });
        m_parkingSweep->start(ParkingSweepMs);
    }
}

ConnectionPacer::~ConnectionPacer()
{
    stop();
    for (PacedConnection* c : qAsConst(m_all))
        c->m_pacer = nullptr;
}

void ConnectionPacer::stop()
{
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        disconnect(dispatcher, nullptr, this, nullptr);
    endAcceptTurn(); // the listener would delete what its list still holds
    m_deadlineTimer->stop();
    m_resumeTimer->stop();
    if (m_parkingSweep)
        m_parkingSweep->stop();
}

void ConnectionPacer::setHandshakeTimeout(int milliseconds)
{
    m_handshakeTimeoutMs = qMax(1, milliseconds);
}

void ConnectionPacer::setMaxUnauthenticated(int connections)
{
    m_maxUnauthenticated = qMax(1, connections);
    dropOldestBeyondCap();
}

void ConnectionPacer::accepted(PacedConnection* c)
{
    c->m_pacer = this;
    c->m_index = m_all.size();
    m_all.push_back(c);
    m_unauthenticated.push_back(c);
    c->m_queued = std::prev(m_unauthenticated.end());
    c->m_inQueue = true;

    m_deadlines.push_back({m_monotonic.elapsed() + m_handshakeTimeoutMs, QPointer<PacedConnection>(c)});
    if (!m_deadlineTimer->isActive())
        m_deadlineTimer->start(qBound(10, m_handshakeTimeoutMs / 10, 1000));

    if (!park(c))
        wasRead(c);
    dropOldestBeyondCap();
    if (!m_acceptTurn->isActive())
        m_acceptTurn->start();
}

void ConnectionPacer::authenticated(PacedConnection* c)
{
    leaveQueue(c);
}

void ConnectionPacer::closed(PacedConnection* c)
{
    leaveQueue(c);
}

void ConnectionPacer::leaveQueue(PacedConnection* c)
{
    if (!c->m_inQueue)
        return;
    m_unauthenticated.erase(c->m_queued);
    c->m_inQueue = false;
}

void ConnectionPacer::forget(PacedConnection* c)
{
    leaveQueue(c);
    if (c->m_parkedAs >= 0 && m_parked.value(c->m_parkedAs) == c)
        m_parked.remove(c->m_parkedAs);
    c->m_parked = false;
    c->m_parkedAs = -1;
    if (c->m_index < m_all.size() && m_all[c->m_index] == c) {
        PacedConnection* last = m_all.back();
        m_all[c->m_index] = last;
        last->m_index = c->m_index;
        m_all.pop_back();
    }
    c->m_pacer = nullptr;
}

void ConnectionPacer::dropOldestBeyondCap()
{
    while (static_cast<int>(m_unauthenticated.size()) > m_maxUnauthenticated) {
        PacedConnection* oldest = m_unauthenticated.front();
        leaveQueue(oldest);
        m_drop(oldest);
    }
}

void ConnectionPacer::checkDeadlines()
{
    const qint64 now = m_monotonic.elapsed();
    while (!m_deadlines.empty() && m_deadlines.front().at <= now) {
        QPointer<PacedConnection> c = m_deadlines.front().connection;
        m_deadlines.pop_front();
        if (c && !c->identified && !c->closing)
            m_drop(c);
    }
    if (m_deadlines.empty())
        m_deadlineTimer->stop();
}

void ConnectionPacer::endAcceptTurn()
{
    m_acceptTurn->stop();
    while (m_listener->hasPendingConnections())
        m_listener->nextPendingConnection(); // the connection is set up already; this frees the list
    m_placeholdersUsed = 0;
}

QTcpSocket* ConnectionPacer::placeholder()
{
    if (m_placeholdersUsed == m_placeholders.size())
        m_placeholders.append(QPointer<QTcpSocket>());
    QPointer<QTcpSocket>& p = m_placeholders[m_placeholdersUsed++];
    if (!p)
        p = new QTcpSocket(this); // again if the listener deleted it (closing with a full list)
    return p;
}

// ---- parking ---------------------------------------------------------------------------
// A connection whose socket the event loop read this turn stays watched by the event loop
// for one more turn (more often follows at once), then is parked at the end of the turn
// after: its read notifier off, the readiness queue armed. One the queue reports is read
// there and then and parked again at once. Parking is always safe: data the system holds
// for the socket, or that arrives later, makes the queue report it.

void ConnectionPacer::wasRead(PacedConnection* c)
{
    if (!m_parking || c->closing)
        return;
    if (c->m_parked) {
        // Its notifier is on again (Qt switches it on when reading).
        if (c->m_parkedAs >= 0 && m_parked.value(c->m_parkedAs) == c)
            m_parked.remove(c->m_parkedAs);
        c->m_parked = false;
        c->m_parkedAs = -1;
    }
    if (c->m_toPark)
        return;
    c->m_toPark = true;
    m_justActive.append(QPointer<PacedConnection>(c));
}

void ConnectionPacer::parkMarked()
{
    const QVector<QPointer<PacedConnection>> due = std::move(m_parkNext);
    m_parkNext = std::move(m_justActive);
    m_justActive.clear();
    for (const QPointer<PacedConnection>& c : due) {
        if (!c || !c->m_toPark)
            continue; // gone, or parked since it was read
        c->m_toPark = false;
        park(c);
    }
}

bool ConnectionPacer::park(PacedConnection* c)
{
    AgentSocket* socket = c->socket;
    if (!m_parking || c->closing || !agentsocket::isConnected(socket))
        return false;
    // Data the server has not read yet would wait for another byte from the agent.
    if (socket->bytesAvailable() > 0)
        return false;
    const qintptr fd = agentsocket::descriptor(socket);
    if (fd < 0)
        return false;
    if (!c->m_readNotifier || c->m_readNotifier->socket() != fd) {
        // The notifier of the socket's system connection, created beneath the socket (by Qt,
        // or by TlsConnection).
        c->m_readNotifier.clear();
        const QList<QSocketNotifier*> notifiers = socket->findChildren<QSocketNotifier*>();
        for (QSocketNotifier* n : notifiers) {
            if (n->type() == QSocketNotifier::Read && n->socket() == fd) {
                c->m_readNotifier = n;
                break;
            }
        }
        if (!c->m_readNotifier)
            return false;
    }
    if (!m_parking->watch(fd))
        return false;
    if (c->m_parked && c->m_parkedAs != fd && m_parked.value(c->m_parkedAs) == c)
        m_parked.remove(c->m_parkedAs);
    c->m_readNotifier->setEnabled(false);
    c->m_parked = true;
    c->m_parkedAs = fd;
    m_parked.insert(fd, c);
    return true;
}

void ConnectionPacer::unparkReady()
{
    // A bounded number per turn: thousands of agents sending at once (or all going away)
    // are served over several turns, and the window stays responsive meanwhile. The queue
    // keeps reporting the rest.
    const QVector<qintptr> ready = m_parking->takeReady(UnparkPerTurn);
    // What an agent sent may open a window with its own event loop, in which the server can
    // be stopped and the pacer go with it.
    const QPointer<ConnectionPacer> alive(this);
    for (qintptr fd : ready) {
        QPointer<PacedConnection> c = m_parked.take(fd);
        if (!c)
            continue;
        c->m_parked = false;
        c->m_parkedAs = -1;
        QSocketNotifier* notifier = c->m_readNotifier;
        if (!notifier || agentsocket::descriptor(c->socket) != fd) {
            wasRead(c); // parked again under its new descriptor when its turn ends
            continue;
        }
        // The socket is read now, as its own notifier would have it read, rather than in a
        // later turn with the notifier switched on: an agent's keep-alive costs one wake-up
        // of the event loop, not two. What it sent is handled, and it is parked again.
        QEvent readable(QEvent::SockAct);
        QCoreApplication::sendEvent(notifier, &readable);
        if (!alive)
            return;
        if (!c || c->closing)
            continue;
        if (c->m_parked || park(c)) {
            c->m_toPark = false; // parked already when its turn in the lists comes
            continue;
        }
        // Something is left to read that new bytes must announce: watched by the event loop.
        if (c->m_readNotifier)
            c->m_readNotifier->setEnabled(true);
        wasRead(c);
    }
}

void ConnectionPacer::sweepParking()
{
    // Connections left unparked (an event loop driven without waiting, as by
    // processEvents(), never ends a turn), and parked ones whose notifier Qt switched on
    // again (it does so whenever a socket is read; writing a command may).
    // A slice at a time, going round: park() changes no list of connections.
    const std::size_t count = std::min(ParkingSweepSlice, m_all.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (m_sweepAt >= m_all.size())
            m_sweepAt = 0;
        PacedConnection* c = m_all[m_sweepAt++];
        if (!c->closing && (!c->m_parked || (c->m_readNotifier && c->m_readNotifier->isEnabled())))
            park(c);
    }
}

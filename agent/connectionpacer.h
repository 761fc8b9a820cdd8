#pragma once

// How the agent server keeps a turn of the event loop short however many agents do
// something at once, and keeps connections that never authenticate from crowding out the
// agents:
//
// - accepting: at most a bounded number of new connections per turn; accepting pauses and
//   resumes by itself when the process runs out of descriptors;
// - connections still in TLS or awaiting their greeting are capped: a new one beyond the cap
//   closes the oldest of them;
// - every connection must have identified itself within the handshake timeout (30 seconds
//   by default); deadlines are kept in arrival order and checked by one coarse timer;
// - parking: Qt's event loop looks at every socket it watches each time it waits, which with
//   thousands of agents costs milliseconds. A connection the event loop has not read for a
//   turn is parked: its read notifier is switched off and the system's readiness queue (one
//   notifier for all) watches it instead; when the queue reports it, it is read at once and
//   parked again, for a bounded number of connections per turn. Where the system has no such
//   queue nothing is parked.

#include "agentsocketfwd.h"
#include "readiness.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVector>

#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;
class QTimer;

// One accepted connection as the pacer sees it. A child of its socket, so it goes when the
// socket goes.
class PacedConnection : public QObject
{
public:
    explicit PacedConnection(AgentSocket* socket);
    ~PacedConnection() override;

    AgentSocket* const socket;
    bool authenticated = false; // passed the greeting (pending or identified)
    bool identified = false;
    bool closing = false; // closed by the server; further data is ignored

private:
    friend class ConnectionPacer;
    class ConnectionPacer* m_pacer = nullptr;
    // Its place among the connections still in TLS or awaiting their greeting.
    std::list<PacedConnection*>::iterator m_queued;
    bool m_inQueue = false;
    // Parking: the socket's own read notifier, whether it is off and the readiness queue
    // watches the socket instead, under which descriptor, and whether it waits in a turn
    // list to be parked.
    QPointer<QSocketNotifier> m_readNotifier;
    bool m_parked = false;
    // Its place in the pacer's list of all connections (which the sweep walks in slices).
    std::size_t m_index = 0;
    qintptr m_parkedAs = -1;
    bool m_toPark = false;
};

class ConnectionPacer : public QObject
{
public:
    // Closes a connection the pacer gives up on (over the cap, past its deadline).
    using Drop = std::function<void(PacedConnection*)>;

    static constexpr int AcceptPerTurn = 32;
    static constexpr int UnparkPerTurn = 16;

    ConnectionPacer(QTcpServer* listener, Drop drop);
    ~ConnectionPacer() override;

    void setHandshakeTimeout(int milliseconds);
    int handshakeTimeout() const { return m_handshakeTimeoutMs; }
    void setMaxUnauthenticated(int connections);
    int maxUnauthenticated() const { return m_maxUnauthenticated; }
    int unauthenticatedCount() const { return static_cast<int>(m_unauthenticated.size()); }
    int parkedCount() const { return m_parked.size(); }

    // A connection was set up: it joins the unauthenticated ones (the oldest beyond the cap
    // goes), gets its deadline, is parked at once (what the agent sends first is read within
    // the turn's bound), and the turn's accepting is counted.
    void accepted(PacedConnection* c);
    // It passed the greeting: it no longer counts against the cap.
    void authenticated(PacedConnection* c);
    // The event loop read it this turn.
    void wasRead(PacedConnection* c);
    // The server closed it or it went away.
    void closed(PacedConnection* c);
    // What stands for a connection that is no QTcpSocket (a TlsConnection) in the listener's
    // list of this turn's connections: that list is what ends a turn's accepting. One per
    // connection of the turn, owned by the pacer.
    QTcpSocket* placeholder();
    // Stops every timer and frees the listener's list of this turn's connections.
    void stop();

private:
    void leaveQueue(PacedConnection* c);
    void dropOldestBeyondCap();
    void checkDeadlines();
    void endAcceptTurn();
    void parkMarked();
    bool park(PacedConnection* c);
    void unparkReady();
    void sweepParking();
    void forget(PacedConnection* c);
    friend class PacedConnection;

    QTcpServer* m_listener;
    Drop m_drop;
    std::vector<PacedConnection*> m_all;
    std::size_t m_sweepAt = 0; // where the next sweep of the parking starts

    std::list<PacedConnection*> m_unauthenticated; // oldest first
    int m_maxUnauthenticated = 1024;

    struct Deadline
    {
        qint64 at;
        QPointer<PacedConnection> connection;
    };
    std::deque<Deadline> m_deadlines;
    QTimer* m_deadlineTimer = nullptr;
    QElapsedTimer m_monotonic;
    int m_handshakeTimeoutMs = 30000;

    QTimer* m_acceptTurn = nullptr;
    QVector<QPointer<QTcpSocket>> m_placeholders;
    int m_placeholdersUsed = 0;
    QTimer* m_resumeTimer = nullptr;

    std::unique_ptr<rvx::platform::ReadinessQueue> m_parking;
    QSocketNotifier* m_parkingNotifier = nullptr;
    QHash<qintptr, PacedConnection*> m_parked;       // by descriptor
    QVector<QPointer<PacedConnection>> m_justActive; // read this turn
    QVector<QPointer<PacedConnection>> m_parkNext;   // read last turn: parked when this one ends
    QTimer* m_parkingSweep = nullptr;
};

#pragma once

// Internal state of SSLServer, shared by its implementation files.

#include "filetransfer.h"
#include "framereader.h"
#include "readiness.h"
#include "sslserver.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QSslConfiguration>
#include <QStringList>

#include <deque>
#include <list>
#include <memory>

class QSocketNotifier;
class QSslSocket;
class QTimer;
class ThinclientInfo;

// One accepted connection: its reader and where it stands. A child of its socket, so it
// goes when the socket goes.
class AgentConnection : public QObject
{
public:
    AgentConnection(SSLServer::Private* d, QSslSocket* socket);
    ~AgentConnection() override;

    SSLServer::Private* d;
    QSslSocket* socket;
    FrameReader reader;
    bool authenticated = false; // passed the greeting (pending or identified)
    bool identified = false;
    bool closing = false; // closed by the server; further data is ignored
    // Its place among the connections still in TLS or awaiting their greeting.
    std::list<AgentConnection*>::iterator queued;
    bool inQueue = false;
    // Parking (see SSLServer::Private): the socket's own read notifier, whether it is off
    // and the readiness queue watches the socket instead, under which descriptor, and
    // whether it waits in a turn list to be parked.
    QPointer<QSocketNotifier> readNotifier;
    bool parked = false;
    qintptr parkedAs = -1;
    bool toPark = false;
};

struct SSLServer::Private
{
    explicit Private(SSLServer* server)
        : q(server)
    {
    }

    SSLServer* q;

    // Connections by socket (every accepted socket until it is deleted).
    QHash<QSslSocket*, AgentConnection*> connections;
    // Authenticated connections that have not identified themselves yet.
    QHash<QSslSocket*, ThinclientInfo*> pending;
    // The device table: online records by socket, and every identified record with the key
    // it is stored under (its socket, or null while offline).
    QHash<QSslSocket*, ThinclientInfo*> online;
    QHash<ThinclientInfo*, QSslSocket*> devices;
    // Identified records by serial number with ASCII letters lower-cased.
    QHash<QString, ThinclientInfo*> bySerial;

    QSslSocket* lastSocket = nullptr;
    QString certificatePath;
    QString keyPath;
    QSslConfiguration tls;

    QTimer* zombieTimer = nullptr;
    // Silent connections the last check found, closed a bounded number per turn.
    std::deque<QPointer<ThinclientInfo>> zombies;
    QTimer* zombieTurn = nullptr;

    // Connections must be identified within the handshake timeout; deadlines are kept in
    // arrival order (the timeout is the same for all) and checked by one coarse timer.
    struct Deadline
    {
        qint64 at;
        QPointer<QSslSocket> socket;
    };
    std::deque<Deadline> deadlines;
    QTimer* deadlineTimer = nullptr;
    QElapsedTimer monotonic;
    int handshakeTimeoutMs = 30000;

    // Connections still in TLS or awaiting their greeting, oldest first, and their cap.
    std::list<AgentConnection*> unauthenticated;
    int maxUnauthenticated = 1024;
    // Accepting stops when a connection cannot be accepted (no descriptor left, for
    // example); it starts again after a pause.
    QTimer* resumeTimer = nullptr;
    // Ends a turn's accepting (see incomingConnection).
    QTimer* acceptTurn = nullptr;
    // Parking. The event loop looks at every socket it watches each time it waits, which
    // with thousands of agents costs milliseconds. A connection the event loop has not read
    // for a turn is parked: its read notifier is switched off and the system's readiness
    // queue (one notifier for all) watches it instead; the first byte that arrives switches
    // the notifier on again, for a bounded number of connections per turn. So the event
    // loop watches only the connections that are busy, and a turn never serves more than
    // that many of them. Where the system has no such queue nothing is parked.
    std::unique_ptr<rvx::platform::ReadinessQueue> parking;
    QSocketNotifier* parkingNotifier = nullptr;
    QHash<qintptr, AgentConnection*> parked;       // by descriptor
    QVector<QPointer<AgentConnection>> justActive; // read this turn
    QVector<QPointer<AgentConnection>> parkNext;   // read last turn: parked when this one ends
    QTimer* parkingSweep = nullptr;

    QStringList readFolders;
    QStringList writeFolders;

    static QString serialKey(const QString& serial);

    // ---- connections (sslserver.cpp)
    void processSocket(QSslSocket* socket);
    bool runHandshake(AgentConnection* c);
    void closeConnection(AgentConnection* c);
    void dropConnection(QSslSocket* socket);
    void handleDisconnect(QSslSocket* socket);
    void checkDeadlines();
    void enqueue(AgentConnection* c);
    void leaveQueue(AgentConnection* c);
    void dropOldestBeyondCap();
    void onAcceptError(QAbstractSocket::SocketError error);
    void endAcceptTurn();
    void markActive(AgentConnection* c);
    void parkMarked();
    bool park(AgentConnection* c);
    void unparkReady();
    void sweepParking();
    void forgetParking(AgentConnection* c);
    void touch(ThinclientInfo* record);
    bool silent(ThinclientInfo* record, qint64 now) const;
    void closeZombies();

    // ---- messages (dispatch.cpp)
    void dispatch(AgentConnection* c, ThinclientInfo* record, bool pending, const QByteArray& frame);
    ThinclientInfo* identify(AgentConnection* c, ThinclientInfo* fresh);
    bool serialAcceptable(ThinclientInfo* record, bool pending, const QString& serial) const;
    void storeCategoryText(ThinclientInfo* record, const QByteArray& text, int category);
    void handleSnapshot(ThinclientInfo* record, const QByteArray& frame);
    void handleGroupedList(ThinclientInfo* record, quint8 type, quint8 code, const QByteArray& payload);

    // ---- file transfer (agentfiles.cpp)
    filetransfer::Rules transferRules() const;
    // Answers an empty request, or one while a transfer is open, and says so.
    bool refuseTransferStart(ThinclientInfo* record, const QByteArray& payload);
    void openForReading(ThinclientInfo* record, const QByteArray& payload);
    void readBlock(ThinclientInfo* record, const QByteArray& payload);
    void openForWriting(ThinclientInfo* record, quint8 code, const QByteArray& payload);
    void writeData(ThinclientInfo* record, const QByteArray& payload);
    static void closeTransfer(ThinclientInfo* record);
};

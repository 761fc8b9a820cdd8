#pragma once

// Internal state of SSLServer, shared by its implementation files.

#include "filetransfer.h"
#include "framereader.h"
#include "sslserver.h"

#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QSslConfiguration>
#include <QStringList>

#include <deque>

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
    void touch(ThinclientInfo* record);

    // ---- messages (dispatch.cpp)
    void dispatch(AgentConnection* c, ThinclientInfo* record, bool pending, const QByteArray& frame);
    ThinclientInfo* identify(AgentConnection* c, ThinclientInfo* fresh);
    bool serialAcceptable(ThinclientInfo* record, bool pending, const QString& serial) const;
    void storeCategoryText(ThinclientInfo* record, const QByteArray& text, int category);
    void handleSnapshot(ThinclientInfo* record, const QByteArray& frame);
    void handleGroupedList(ThinclientInfo* record, quint8 type, quint8 code, const QByteArray& payload);

    // ---- file transfer (agentfiles.cpp)
    filetransfer::Rules transferRules() const;
    void openForReading(ThinclientInfo* record, const QByteArray& payload);
    void readBlock(ThinclientInfo* record, const QByteArray& payload);
    void openForWriting(ThinclientInfo* record, quint8 code, const QByteArray& payload);
    void writeData(ThinclientInfo* record, const QByteArray& payload);
    static void closeTransfer(ThinclientInfo* record);
};

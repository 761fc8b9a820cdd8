#pragma once

// Internal state of SSLServer, shared by its implementation files.

#include "agentsocket.h"
#include "connectionpacer.h"
#include "deviceregistry.h"
#include "filetransfer.h"
#include "framereader.h"
#include "sslserver.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QSslConfiguration>
#include <QStringList>

#include <array>
#include <deque>
#include <memory>

class QTimer;
class ThinclientInfo;

// One accepted connection: its reader and where it stands (see PacedConnection).
class AgentConnection : public PacedConnection
{
public:
    AgentConnection(SSLServer::Private* d, AgentSocket* socket);
    ~AgentConnection() override;

    SSLServer::Private* d;
    FrameReader reader;
};

struct SSLServer::Private
{
    explicit Private(SSLServer* server)
        : q(server)
    {
    }

    SSLServer* q;

    // Connections by socket (every accepted socket until it is deleted).
    QHash<AgentSocket*, AgentConnection*> connections;
    // Pending and identified device records.
    DeviceRegistry registry;
    // Accept turns, the cap on unauthenticated connections, deadlines, parking.
    ConnectionPacer* pacer = nullptr;

    QString certificatePath;
    QString keyPath;
    // The connection type of this run (read when listening starts), and its TLS set-up.
    agentsocket::Kind kind = agentsocket::Kind::Qt;
    QSslConfiguration tls;
    std::shared_ptr<TlsContext> context;

    QTimer* zombieTimer = nullptr;
    // Silent connections the last check found, closed a bounded number per turn.
    std::deque<QPointer<ThinclientInfo>> zombies;
    QTimer* zombieTurn = nullptr;

    QStringList readFolders;
    QStringList writeFolders;
    QStringList readFiles;
    SSLServer::ProtectedFiles protectedFiles;

    // The device whose message is being handled (during the signals it causes).
    ThinclientInfo* answering = nullptr;
    // Serial numbers refused as unsafe this run (each is told once).
    QSet<QString> refusedSerials;

    // ---- connections (sslserver.cpp)
    void processSocket(AgentSocket* socket);
    bool runHandshake(AgentConnection* c);
    void closeConnection(AgentConnection* c);
    void dropConnection(PacedConnection* c);
    void handleDisconnect(AgentSocket* socket);
    void touch(ThinclientInfo* record);
    bool silent(ThinclientInfo* record, qint64 now) const;
    void closeZombies();

    // ---- messages (dispatch.cpp)
    struct Message;
    using Handler = void (Private::*)(Message&);
    // The handler of each message type; types without one only run the common steps.
    static const std::array<Handler, 128>& handlers();
    void dispatch(AgentConnection* c, ThinclientInfo* record, bool pending, const QByteArray& frame);
    void finishMessage(Message& m);
    ThinclientInfo* identify(AgentConnection* c);
    bool serialAcceptable(Message& m, const QString& serial);
    void refuseSerial(Message& m, const QString& serial);
    void storeCategoryText(ThinclientInfo* record, const QByteArray& text, int category);
    void onLegacyReport(Message& m);
    void onIdentification(Message& m);
    void onStatus(Message& m);
    void onFileReadOpen(Message& m);
    void onFileTransferEnd(Message& m);
    void onFileReadBlock(Message& m);
    void onDisconnectRequest(Message& m);
    void onFileWriteOpen(Message& m);
    void onFileWriteData(Message& m);
    void onModeHelp(Message& m);
    void onGroupedList(Message& m);
    void onEcho(Message& m);
    void onConfiguration(Message& m);
    void onPiConfig(Message& m);
    void onNetworkStatus(Message& m);

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

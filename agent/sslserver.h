#pragma once

#include "agentsocketfwd.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QMultiMap>
#include <QSslError>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <functional>

class QSettings;
class QTimer;
class ThinclientInfo;
class rvxDB;

// The server side of the agent protocol: a TLS listener, the registry of device records
// (pending and identified, DeviceRegistry), the pacing of connections (ConnectionPacer), the
// per-connection message reader and dispatch, one writer per connection (AgentWriter), the
// agent file transfer, and the periodic check that closes silent connections. Everything
// runs on the GUI thread; the window hears about devices through the signals below (direct
// connections).
class SSLServer : public QTcpServer
{
    Q_OBJECT

public:
    SSLServer(QObject* parent, QSettings* settings);
    ~SSLServer() override;

    // Loads every stored device as an offline record (emitting addDevToDept for each),
    // starts the zombie check and listens on every address. False when listening fails.
    bool listenForAgents(quint16 port, const QString& certificatePath, const QString& keyPath);

    // The identified record with this serial number (ignoring ASCII case) and the socket it
    // is stored under (null for an offline device); null when unknown.
    ThinclientInfo* findBySerial(const QString& serial, AgentSocket** key = nullptr) const;
    // Forgets a device: its table entries, stored configuration, block and last-seen time.
    void removeDevice(ThinclientInfo* record);

    rvxDB* database() const { return m_db; }
    // Every identified record (online and offline), in no particular order.
    QList<ThinclientInfo*> devices() const;
    int pendingCount() const;
    int deviceCount() const;
    // The device whose message the server is handling: valid inside the signals a message
    // causes (the list answers carry no device of their own), null otherwise.
    ThinclientInfo* answeringDevice() const;

    // Folders the administrator picked in a command during this run: agents may read files
    // below a read folder, and write files below a write folder (file transfer code non-zero).
    void allowReadFolder(const QString& folder);
    void allowWriteFolder(const QString& folder);
    // A single file agents may read, named to them by a command of this run (an image in a
    // folder the administrator picked, say).
    void allowReadFile(const QString& path);
    // Files agents may never write, whatever folder they lie in: the ones the server itself
    // is writing (a download and its ".part" file). Asked for at every write request.
    using ProtectedFiles = std::function<QStringList()>;
    void setProtectedFiles(ProtectedFiles files);

    // A connection that has not passed the greeting and identified itself within this time
    // (30 seconds by default) is closed.
    void setHandshakeTimeout(int milliseconds);
    int handshakeTimeout() const;
    // Accepted connections whose sockets still exist (authenticated or not).
    int connectionCount() const;
    // Connections still in TLS or awaiting their greeting are at most this many (1024 by
    // default): a new one beyond it closes the oldest of them, so connections that never
    // send anything cannot crowd out the agents.
    void setMaxUnauthenticated(int connections);
    int maxUnauthenticated() const;
    int unauthenticatedCount() const;
    // Idle connections that the system's readiness queue watches instead of the event loop
    // (Linux; always 0 elsewhere).
    int parkedCount() const;

public slots:
    // Closes connections silent for more than 900 seconds (runs every 5 minutes).
    void zombieCheck();

signals:
    void displayModeHelp(QString str);
    void addDevToDept(ThinclientInfo* tci);
    void configureUsbRedir(ThinclientInfo* tci, QStringList* entries);
    void configureResolutions(QMap<QString, QStringList*>* resMap);
    void configureLocale(QMap<QString, QStringList*>* l10nMap);
    void configureKeyboardOptions(QMap<QString, QStringList*>* kbdData);
    void configureSSIDList(QStringList* entries);
    void configureAudioDevs(QMap<QString, QStringList*>* portData);
    void editPiConfig(ThinclientInfo* tci, QString config);
    void updateTreeViewHeadings();
    void updateTreeViewEntry(ThinclientInfo* tci, bool isNewClient);
    void setStatus(ThinclientInfo* tci, qint8 code, const char* message);
    void applyPolicy(ThinclientInfo* tci);
    // A device identified itself with a serial number that cannot name its files (empty,
    // or holding characters a file name must not have); its connection is closed. Emitted
    // once per serial number and run.
    void serialRefused(const QString& serial);
    void updateNetworkInfo(QString dns1, QString dns2, QString dsPath, QString wiredMAC, QString wiredIP,
                           QString wiredNetmask, QString wiredGateway, QString wirelessMAC,
                           QString wirelessIP, QString wirelessNetmask, QString wirelessGateway);

protected:
    void incomingConnection(qintptr socketDescriptor) override;

private slots:
    void onReadyToRead();
    void onSslErrors(const QList<QSslError>& errors);
    void onPeerVerifyError(const QSslError& error);
    void onDisconnected();

private:
    // The agent server's own state is private to its implementation files.
    friend class AgentConnection;
    struct Private;
    Private* d = nullptr;
    QSettings* m_settings = nullptr;
    rvxDB* m_db = nullptr;
};

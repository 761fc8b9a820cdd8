#pragma once

// A real agent server on loopback with a real certificate, its settings in a private
// workspace, and a record of the signals it emits.

#include "rvxdb.h"
#include "simagent.h"
#include "sslserver.h"
#include "testsupport.h"
#include "thinclientinfo.h"

#include <QSettings>
#include <QStringList>

#include <functional>
#include <memory>

class ServerFixture
{
public:
    ServerFixture()
    {
        settings = std::make_unique<QSettings>(ws.path(QStringLiteral("settings.ini")), QSettings::IniFormat);
        ws.writeSettings(*settings, 0, 9);
    }
    ~ServerFixture() { stop(); }

    // Creates the server, records its signals and listens on a free loopback port.
    bool start(int handshakeTimeoutMs = 30000, const QString& certificate = rvx::test::testCertificatePath(),
               const QString& key = rvx::test::testKeyPath())
    {
        server = new SSLServer(nullptr, settings.get());
        server->setHandshakeTimeout(handshakeTimeoutMs);
        QObject::connect(server, &SSLServer::addDevToDept,
                         [this](ThinclientInfo* r) { events << QStringLiteral("add:") + r->serialNumber(); });
        QObject::connect(server, &SSLServer::applyPolicy, [this](ThinclientInfo* r) {
            events << QStringLiteral("policy:") + r->serialNumber();
            if (onPolicy)
                onPolicy(r);
        });
        QObject::connect(server, &SSLServer::updateTreeViewEntry, [this](ThinclientInfo* r, bool isNew) {
            events << QStringLiteral("entry:%1:%2").arg(r->serialNumber()).arg(isNew ? 1 : 0);
            if (onEntry)
                onEntry(r, isNew);
        });
        QObject::connect(server, &SSLServer::setStatus,
                         [this](ThinclientInfo* r, qint8 code, const char* text) {
                             events << QStringLiteral("status:%1:%2:%3")
                                           .arg(r->serialNumber())
                                           .arg(code)
                                           .arg(QString::fromLatin1(text));
                         });
        if (!server->listenForAgents(0, certificate, key))
            return false;
        port = server->serverPort();
        return port != 0;
    }

    void stop()
    {
        delete server;
        server = nullptr;
    }

    // A connected agent that passed the handshake and identified itself (proven by an echo).
    std::unique_ptr<SimAgent> identified(const QString& serial,
                                         const QString& version = QStringLiteral("8.4.0"),
                                         const QByteArray& mac = QByteArrayLiteral("00:11:22:33:44:55"))
    {
        auto agent = std::make_unique<SimAgent>();
        agent->setIdentifier(mac);
        if (!agent->handshake(port))
            return nullptr;
        agent->identify(SimAgent::deviceBlock(serial, version));
        if (!agent->echo())
            return nullptr;
        return agent;
    }

    rvxDB* db() const { return server->database(); }
    QByteArray storedText(const QString& serial) const
    {
        QFile f(db()->configPath(serial));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QByteArray storedBlock(const QString& serial) const
    {
        QFile f(db()->statePath(serial));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int count(const QString& event) const { return events.count(event); }

    rvx::test::Workspace ws;
    std::unique_ptr<QSettings> settings;
    SSLServer* server = nullptr;
    quint16 port = 0;
    QStringList events;
    std::function<void(ThinclientInfo*)> onPolicy;
    std::function<void(ThinclientInfo*, bool)> onEntry;
};

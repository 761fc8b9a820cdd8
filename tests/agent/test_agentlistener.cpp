// The listener end to end over real TLS on loopback: handshake, connection lifecycle, the
// registry of records and the check that closes silent connections.

#include "agentsocket.h"
#include "handshake.h"
#include "serverfixture.h"
#include "testmain.h"
#include "wire.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTcpSocket>

#include <memory>
#include <vector>
#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

using rvx::test::waitFor;

class TestAgentListener : public QObject
{
    Q_OBJECT

private slots:
    void realTlsClientConnects();
    void greetingInPieces();
    void proofs_data();
    void proofs();
    void extraBytesAfterGreetingAreTheFirstMessage();
    void welcomeMessageBytes();
    void unauthenticatedConnectionsLeaveNothing();
    void unreadableCertificateFailsHandshakes();
    void disconnectionKeepsIdentifiedRecordOffline();
    void zombieCheck_data();
    void zombieCheck();
    void offlineRecordsShareTheNullKey();
    void hostileSerialsCloseAtIdentification_data();
    void hostileSerialsCloseAtIdentification();
    void manyAgentsProgram();
    void oldestUnauthenticatedGoBeyondTheCap();
    void acceptingResumesWhenDescriptorsReturn();
    void idleConnectionsAreParked_data() { rvx::test::addConnectionTypeRows(); }
    void idleConnectionsAreParked();
    void silentFleetClosesOverSeveralTurns();
};

void TestAgentListener::realTlsClientConnects()
{
    ServerFixture f;
    QVERIFY(f.start());
    SimAgent agent;
    agent.connectToServer(f.port);
    QVERIFY(agent.waitForEncrypted());
    QVERIFY(agent.socket()->sessionProtocol() == QSsl::TlsV1_2 ||
            agent.socket()->sessionProtocol() == QSsl::TlsV1_3);
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 1; }));
    QCOMPARE(f.server->pendingCount(), 0); // no record before the greeting
}

void TestAgentListener::greetingInPieces()
{
    ServerFixture f;
    QVERIFY(f.start());
    SimAgent agent;
    agent.setIdentifier("0a:1b:2c:3d:4e:5f");
    agent.connectToServer(f.port);
    QVERIFY(agent.waitForEncrypted());
    const QByteArray greeting = agent.greetingBytes();
    agent.setChunking(7, 2);
    agent.sendRaw(greeting.left(50));
    QVERIFY(agent.waitForSent());
    QTest::qWait(150);
    QVERIFY(agent.serverProofReceived().isEmpty()); // nothing is read before 51 bytes
    QCOMPARE(f.server->pendingCount(), 0);
    agent.sendRaw(greeting.mid(50));
    QVERIFY(agent.waitForServerProof());
    QVERIFY(agent.serverProofValid());
    QCOMPARE(f.server->pendingCount(), 1);
}

void TestAgentListener::proofs_data()
{
    QTest::addColumn<QByteArray>("identifier");
    QTest::addColumn<int>("proof");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("lower-case identifier")
        << QByteArray("ab:cd:ef:ab:cd:ef") << int(SimAgent::Proof::Correct) << true;
    QTest::newRow("mixed-case identifier")
        << QByteArray("AB:CD:EF:ab:cd:ef") << int(SimAgent::Proof::Correct) << true;
    QTest::newRow("upper-case proof")
        << QByteArray("ab:cd:ef:ab:cd:ef") << int(SimAgent::Proof::UpperCase) << false;
    QTest::newRow("wrong proof") << QByteArray("ab:cd:ef:ab:cd:ef") << int(SimAgent::Proof::Wrong) << false;
    QTest::newRow("five fields") << QByteArray("ab:cd:ef:ab:cd") << int(SimAgent::Proof::Correct) << false;
}

void TestAgentListener::proofs()
{
    QFETCH(QByteArray, identifier);
    QFETCH(int, proof);
    QFETCH(bool, accepted);
    ServerFixture f;
    QVERIFY(f.start());
    SimAgent agent;
    agent.setIdentifier(identifier);
    agent.connectToServer(f.port);
    QVERIFY(agent.waitForEncrypted());
    agent.sendGreeting(static_cast<SimAgent::Proof>(proof));
    if (accepted) {
        QVERIFY(agent.waitForServerProof());
        // The server proof digests the identifier exactly as sent.
        QCOMPARE(agent.serverProofReceived(), handshake::serverProof(identifier));
        QVERIFY(agent.waitForFrames(1));
        QCOMPARE(f.server->pendingCount(), 1);
    } else {
        QVERIFY(agent.waitForDisconnected());
        QVERIFY(agent.serverProofReceived().isEmpty());
        QCOMPARE(f.server->pendingCount(), 0);
        QCOMPARE(f.server->deviceCount(), 0);
        QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
    }
}

void TestAgentListener::extraBytesAfterGreetingAreTheFirstMessage()
{
    ServerFixture f;
    QVERIFY(f.start());
    SimAgent agent;
    agent.connectToServer(f.port);
    QVERIFY(agent.waitForEncrypted());
    agent.sendRaw(agent.greetingBytes() + wire::frame(5, 7, SimAgent::deviceBlock("EXTRA-1")) +
                  wire::shortFrame(49));
    QVERIFY(agent.waitForFrameOfType(49) >= 0);
    QCOMPARE(f.server->deviceCount(), 1);
    QVERIFY(f.server->findBySerial("EXTRA-1"));
    QCOMPARE(f.events, QStringList({"add:EXTRA-1", "policy:EXTRA-1", "entry:EXTRA-1:1", "entry:EXTRA-1:0"}));
}

void TestAgentListener::welcomeMessageBytes()
{
    // Noon UTC on 7 December 2026 is 7 December in every time zone from -11 to +11.
    const qint64 noon = QDateTime(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    rvx::test::FakeClock clock(noon);
    ServerFixture f;
    QVERIFY(f.start());
    SimAgent agent;
    QVERIFY(agent.handshake(f.port));
    const SimAgent::Frame welcome = agent.frames().first();
    QCOMPARE(welcome.raw, handshake::welcomeMessage(QDateTime::fromSecsSinceEpoch(noon).date(),
                                                    static_cast<quint32>(noon), "8.4.4"));
    if (QDateTime::fromSecsSinceEpoch(noon).date() == QDate(2026, 12, 7)) {
        QCOMPARE(welcome.raw.size(), 32);
        QVERIFY(welcome.raw.startsWith(QByteArray::fromHex("0502001c000331320000023700")));
    }
    QCOMPARE(welcome.raw.right(4),
             QByteArray::fromHex(QByteArray::number(quint32(noon), 16).rightJustified(8, '0')));
}

void TestAgentListener::unauthenticatedConnectionsLeaveNothing()
{
    ServerFixture f;
    QVERIFY(f.start(300));
    // Plain TCP that never starts TLS.
    QTcpSocket plain;
    plain.connectToHost(QHostAddress::LocalHost, f.port);
    QVERIFY(plain.waitForConnected(5000));
    // TLS but no greeting.
    SimAgent silent;
    silent.connectToServer(f.port);
    QVERIFY(silent.waitForEncrypted());
    // Greeting but no identification.
    SimAgent greeted;
    QVERIFY(greeted.handshake(f.port));
    // And one that closes before authenticating.
    SimAgent quitter;
    quitter.connectToServer(f.port);
    QVERIFY(quitter.waitForEncrypted());
    quitter.abort();
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 3; }));
    QCOMPARE(f.server->pendingCount(), 1);

    QVERIFY(silent.waitForDisconnected(5000));
    QVERIFY(greeted.waitForDisconnected(5000));
    QVERIFY(waitFor([&] { return plain.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
    QCOMPARE(f.server->pendingCount(), 0);
    QCOMPARE(f.server->deviceCount(), 0);
    QVERIFY(f.events.isEmpty());
    // An identified agent is not subject to the timeout.
    auto agent = f.identified("KEEP-1");
    QVERIFY(agent);
    QTest::qWait(700);
    QVERIFY(agent->isConnected());
}

void TestAgentListener::unreadableCertificateFailsHandshakes()
{
    ServerFixture f;
    if (agentsocket::configured() == agentsocket::Kind::OpenSsl) {
        // Our connection type loads the certificate when listening starts: it does not listen.
        QVERIFY(!f.start(30000, f.ws.path("missing.crt")));
        return;
    }
    QVERIFY(f.start(30000, f.ws.path("missing.crt")));
    SimAgent agent;
    agent.connectToServer(f.port);
    QVERIFY(!agent.waitForEncrypted(5000));
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
    QCOMPARE(f.server->pendingCount(), 0);
}

void TestAgentListener::disconnectionKeepsIdentifiedRecordOffline()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("GONE-1");
    QVERIFY(agent);
    AgentSocket* key = nullptr;
    ThinclientInfo* record = f.server->findBySerial("gone-1", &key);
    QVERIFY(record && key && record->socket == key);
    QCOMPARE(record->bootMode(), quint8(2));
    f.events.clear();
    agent->disconnectFromServer();
    QVERIFY(waitFor([&] { return record->socket == nullptr; }));
    QCOMPARE(f.server->findBySerial("GONE-1", &key), record);
    QVERIFY(key == nullptr);
    QCOMPARE(record->bootMode(), quint8(0));
    QCOMPARE(f.events, QStringList({"entry:GONE-1:1"}));
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
}

void TestAgentListener::zombieCheck_data()
{
    QTest::addColumn<qint64>("lastSeenOffset"); // from the clock at the check; 1 = none
    QTest::addColumn<bool>("closed");
    QTest::newRow("900 seconds keeps") << qint64(-900) << false;
    QTest::newRow("901 seconds closes") << qint64(-901) << true;
    QTest::newRow("just now keeps") << qint64(0) << false;
    QTest::newRow("future closes") << qint64(5) << true;
    QTest::newRow("no last-seen time closes") << qint64(1) << true;
}

void TestAgentListener::zombieCheck()
{
    QFETCH(qint64, lastSeenOffset);
    QFETCH(bool, closed);
    rvx::test::FakeClock clock(1800000000);
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("ZOMBIE-1");
    QVERIFY(agent);
    auto other = f.identified("ALIVE-1");
    QVERIFY(other);
    QCOMPARE(f.db()->lastSeen("ZOMBIE-1"), qint64(1800000000));
    if (lastSeenOffset == 1)
        f.db()->removeLastSeen("ZOMBIE-1");
    else
        clock.set(1800000000 - lastSeenOffset);
    f.db()->setLastSeen("ALIVE-1", clock.now());
    f.events.clear();
    f.server->zombieCheck();
    if (closed) {
        QVERIFY(agent->waitForDisconnected());
        QVERIFY(f.events.contains("status:ZOMBIE-1:1:Client not responding, closing connection"));
        QVERIFY(waitFor([&] { return f.server->findBySerial("ZOMBIE-1")->socket == nullptr; }));
    } else {
        QTest::qWait(100);
        QVERIFY(agent->isConnected());
        QVERIFY(f.events.isEmpty());
    }
    QVERIFY(other->isConnected());
    // The check also writes the last-seen table.
    QFile csv(f.ws.path("db/last_seen.csv"));
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QVERIFY(csv.readAll().contains("ALIVE-1,"));
}

void TestAgentListener::offlineRecordsShareTheNullKey()
{
    ServerFixture f;
    {
        rvxDB db(f.ws.path("db"));
        QVERIFY(db.saveState("OFF-1", SimAgent::deviceBlock("OFF-1")));
        QVERIFY(db.saveState("off-2", SimAgent::deviceBlock("off-2").left(300)));
        QVERIFY(db.saveConfig("OFF-1", "log_level=2\n"));
        db.setLastSeen("OFF-1", 5);
    }
    QVERIFY(f.start());
    QCOMPARE(f.server->deviceCount(), 2);
    QCOMPARE(f.count("add:OFF-1") + f.count("add:off-2"), 2);
    AgentSocket* key = reinterpret_cast<AgentSocket*>(1);
    ThinclientInfo* one = f.server->findBySerial("off-1", &key);
    QVERIFY(one && !key);
    QCOMPARE(one->bootMode(), quint8(0)); // stored as online, loaded as offline
    ThinclientInfo* two = f.server->findBySerial("OFF-2", &key);
    QVERIFY(two && !key && two != one);
    QCOMPARE(two->block().mid(300), QByteArray(212, '\0'));

    f.server->removeDevice(one);
    QCOMPARE(f.server->deviceCount(), 1);
    QVERIFY(!f.server->findBySerial("OFF-1"));
    QCOMPARE(f.server->findBySerial("off-2"), two);
    QVERIFY(!QFile::exists(f.db()->statePath("OFF-1")));
    QVERIFY(!QFile::exists(f.db()->configPath("OFF-1")));
    QCOMPARE(f.db()->lastSeen("OFF-1"), qint64(0));
    QVERIFY(QFile::exists(f.db()->statePath("off-2")));

    // The remaining offline device reconnects into its record.
    auto agent = f.identified("OFF-2");
    QVERIFY(agent);
    QCOMPARE(f.server->findBySerial("off-2", &key), two);
    QVERIFY(key && key == two->socket);
    QCOMPARE(f.server->deviceCount(), 1);
}

void TestAgentListener::hostileSerialsCloseAtIdentification_data()
{
    QTest::addColumn<QString>("serial");
    QTest::newRow("empty") << "";
    QTest::newRow("slash") << "/";
    QTest::newRow("backslash") << "\\";
    QTest::newRow("dot-dot") << "..";
    QTest::newRow("dot") << ".";
    QTest::newRow("path") << "../../etc/x";
    QTest::newRow("inner dot-dot") << "AB..CD";
    QTest::newRow("control character") << QString("AB\x01"
                                                  "CD");
    QTest::newRow("space") << "AB CD";
    QTest::newRow("non-ASCII") << QString::fromLatin1("AB\xe9");
}

void TestAgentListener::hostileSerialsCloseAtIdentification()
{
    QFETCH(QString, serial);
    ServerFixture f;
    QVERIFY(f.start());
    QStringList refused;
    QObject::connect(f.server, &SSLServer::serialRefused, [&refused](const QString& s) { refused << s; });
    // The device tries again and again; the administrator is told once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        SimAgent agent;
        QVERIFY(agent.handshake(f.port));
        agent.identify(SimAgent::deviceBlock(serial));
        agent.sendConfiguration("brd_hostname=x\n", 55, false);
        QVERIFY(agent.waitForDisconnected());
    }
    QCOMPARE(refused, QStringList{serial});
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
    QCOMPARE(f.server->deviceCount(), 0);
    QCOMPARE(f.server->pendingCount(), 0);
    QVERIFY(f.events.isEmpty());
    QVERIFY(f.db()->lastSeenTable().isEmpty());
    QDirIterator it(f.ws.path("db"), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    QVERIFY2(!it.hasNext(), "nothing is stored");
}

void TestAgentListener::manyAgentsProgram()
{
    ServerFixture f;
    QVERIFY(f.start());
    int policies = 0;
    f.onPolicy = [&policies](ThinclientInfo*) { ++policies; };
    QProcess sim;
    sim.start(rvx::test::builtProgram("agentsim"), {"--port", QString::number(f.port), "--agents", "25",
                                                    "--rate", "500", "--lines", "500", "--timeout", "60"});
    QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
    QVERIFY(waitFor([&] { return sim.state() == QProcess::NotRunning; }, 90000));
    const QByteArray out = sim.readAllStandardOutput();
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY2(out.contains("agents=25 identified=25 lost=0"), out.constData());
    QCOMPARE(f.server->deviceCount(), 25);
    QCOMPARE(policies, 25);
    ThinclientInfo* r = f.server->findBySerial("SIM000024");
    QVERIFY(r);
    QCOMPARE(f.storedText("SIM000024").count('\n'), 500); // every line of the snapshot kept
}

// Connections that never send anything may not crowd out the agents: beyond the cap the
// oldest connection still in TLS or awaiting its greeting is closed.
void TestAgentListener::oldestUnauthenticatedGoBeyondTheCap()
{
    ServerFixture f;
    QVERIFY(f.start());
    f.server->setMaxUnauthenticated(3);
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    auto open = [&]() {
        silent.push_back(std::make_unique<QTcpSocket>());
        silent.back()->connectToHost(QHostAddress::LocalHost, f.port);
        return silent.back()->waitForConnected(5000);
    };
    auto closed = [&](int i) {
        return waitFor([&] { return silent.at(i)->state() == QAbstractSocket::UnconnectedState; }, 5000);
    };
    for (int i = 0; i < 3; ++i)
        QVERIFY(open());
    QVERIFY(waitFor([&] { return f.server->unauthenticatedCount() == 3; }));
    QVERIFY(open());
    QVERIFY(closed(0));
    QVERIFY(open());
    QVERIFY(closed(1));
    QTest::qWait(100);
    for (int i = 2; i < 5; ++i)
        QCOMPARE(silent.at(i)->state(), QAbstractSocket::ConnectedState);

    // A real agent gets through: while in TLS it is the newest, and it leaves the count once
    // it has greeted.
    auto agent = f.identified("CAP-1");
    QVERIFY(agent);
    QVERIFY(closed(2));
    QCOMPARE(f.server->unauthenticatedCount(), 2);
    QVERIFY(agent->isConnected());

    f.server->setMaxUnauthenticated(1);
    QVERIFY(closed(3));
    QCOMPARE(silent.at(4)->state(), QAbstractSocket::ConnectedState);
    QVERIFY(waitFor([&] {
        // Closed connections go once the event loop gets to them.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return f.server->connectionCount() == 2;
    }));
    QCOMPARE(f.server->deviceCount(), 1);
}

// Out of descriptors, the listener stops accepting; it must take the waiting connections
// once descriptors are free again, not stay deaf for the rest of the run.
void TestAgentListener::acceptingResumesWhenDescriptorsReturn()
{
#ifndef Q_OS_LINUX
    QSKIP("squeezes the descriptor limit the Linux way");
#else
    ServerFixture f;
    QVERIFY(f.start());
    int refusals = 0;
    QObject::connect(f.server, &QTcpServer::acceptError, [&refusals](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SocketResourceError)
            ++refusals;
    });
    // The clients connect first: the system completes their connections in its queue
    // without the server's help (the wait blocks on the client alone).
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, f.port);
        QVERIFY(clients.back()->waitForConnected(5000));
    }
    // The limit bounds descriptor numbers: set it to the lowest free one and the server
    // cannot accept anything, whatever holes earlier tests left in the table.
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    QVERIFY(lowestFree >= 0);
    ::close(lowestFree);
    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit squeezed = saved;
    squeezed.rlim_cur = rlim_t(lowestFree);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &squeezed), 0);
    const bool refused = waitFor([&] { return refusals > 0; }, 5000);
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
    QVERIFY(refused);
    QVERIFY(f.server->connectionCount() < 3);
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 3; }, 5000));
    auto agent = f.identified("AFTER-1");
    QVERIFY(agent);
#endif
}

// Idle agents are watched by the system's readiness queue instead of the event loop; they
// are served as before: their keep-alives and messages, the server's frames, their leaving.
void TestAgentListener::idleConnectionsAreParked()
{
#ifndef Q_OS_LINUX
    QSKIP("the readiness queue is the Linux one");
#else
    QFETCH(QByteArray, kind);
    rvx::test::TlsSelection selected(kind);
    ServerFixture f;
    QVERIFY(f.start());
    auto a = f.identified("PARK-1");
    auto b = f.identified("PARK-2");
    QVERIFY(a && b);
    QVERIFY(waitFor([&] { return f.server->parkedCount() == 2; }, 5000));

    rvx::test::FakeClock clock(1900000000);
    a->sendKeepAlive();
    QVERIFY(waitFor([&] { return f.db()->lastSeen("PARK-1") == 1900000000; }));
    // Read in the turn the queue reported it, and parked again in that same turn: a
    // keep-alive wakes the event loop once.
    QCOMPARE(f.server->parkedCount(), 2);
    QVERIFY(a->echo());
    a->sendConfiguration("brd_hostname=parked\n", 55, true);
    QVERIFY(a->echo());
    QCOMPARE(f.server->findBySerial("PARK-1")->hostname(), QString("parked"));
    QVERIFY(waitFor([&] { return f.server->parkedCount() == 2; }, 5000)); // idle again

    ThinclientInfo* record = f.server->findBySerial("PARK-2");
    const int from = b->frameCount();
    record->socket->write(wire::frame(28, 0, QByteArray("lab-2\0", 6)));
    agentsocket::flush(record->socket);
    QVERIFY(b->waitForFrames(from + 1));
    QCOMPARE(b->frames().last().type, quint8(28));
    QVERIFY(b->echo());

    b->disconnectFromServer();
    QVERIFY(waitFor([&] { return record->socket == nullptr; }));
    QVERIFY(waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return f.server->connectionCount() == 1 && f.server->parkedCount() <= 1;
    }));
    QVERIFY(a->echo());
#endif
}

// After the network to a whole fleet failed, the check closes the silent connections a
// bounded number at a time, and all of them in the end.
void TestAgentListener::silentFleetClosesOverSeveralTurns()
{
    rvx::test::FakeClock clock(1800000000);
    ServerFixture f;
    QVERIFY(f.start());
    QProcess sim;
    sim.start(rvx::test::builtProgram("agentsim"),
              {"--port", QString::number(f.port), "--agents", "300", "--rate", "0", "--window", "64",
               "--keepalive", "1000000", "--duration", "120", "--timeout", "60"});
    QVERIFY2(sim.waitForStarted(), qPrintable(sim.errorString()));
    auto online = [&f]() {
        int n = 0;
        for (ThinclientInfo* d : f.server->devices())
            n += d->socket != nullptr;
        return n;
    };
    // Every agent's last message answered: nothing is heard from them after this.
    QByteArray out;
    QVERIFY(waitFor(
        [&] {
            out += sim.readAllStandardOutput();
            return out.contains("agents=300 identified=300");
        },
        60000));
    QCOMPARE(online(), 300);
    f.events.clear();
    clock.advance(901);
    f.server->zombieCheck();
    QCOMPARE(f.events.filter("status:").size(), 256);
    QVERIFY2(
        waitFor([&] { return f.events.filter("status:").size() == 300 && online() == 0; }),
        qPrintable(
            QStringLiteral("%1 closed, %2 online").arg(f.events.filter("status:").size()).arg(online())));
    QCOMPARE(f.events.filter(QRegularExpression(":Client not responding, closing connection$")).size(), 300);
    sim.kill();
    sim.waitForFinished();
}

RVX_TEST_MAIN(TestAgentListener)
#include "test_agentlistener.moc"

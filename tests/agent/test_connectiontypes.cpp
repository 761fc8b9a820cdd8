// The agent server with either connection type (RVX_TLS): Qt's TLS socket or our own
// TlsConnection. The rest of the suite runs with whichever type the environment selects;
// these cases select each in turn and show where the two differ: the certificate and key are
// checked when listening starts with ours, and only at the handshakes with Qt's.

#include "agentsocket.h"
#include "certificates.h"
#include "rawtlsclient.h"
#include "serverfixture.h"
#include "testmain.h"

#include <QFile>
#include <QSslSocket>

using rvx::test::waitFor;

namespace {

void addKindColumn()
{
    QTest::addColumn<QByteArray>("kind");
}

} // namespace

class TestConnectionTypes : public QObject
{
    Q_OBJECT

private slots:
    void certificateAndKey_data();
    void certificateAndKey();
    void certificateReadOnceAtListen_data();
    void certificateReadOnceAtListen();
    void protocolVersions_data();
    void protocolVersions();
};

void TestConnectionTypes::certificateAndKey_data()
{
    addKindColumn();
    QTest::addColumn<QString>("certificate"); // "" is the usable test certificate
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("listens");
    QTest::addColumn<bool>("handshakes");
    const QString other = QStringLiteral("other.key");
    const QString missing = QStringLiteral("missing.pem");
    for (const char* kind : {"qt", "openssl"}) {
        const bool qt = qstrcmp(kind, "qt") == 0;
        QTest::addRow("%s, usable pair", kind) << QByteArray(kind) << QString() << QString() << true << true;
        QTest::addRow("%s, missing certificate", kind)
            << QByteArray(kind) << missing << QString() << qt << false;
        QTest::addRow("%s, missing key", kind) << QByteArray(kind) << QString() << missing << qt << false;
        QTest::addRow("%s, key of another certificate", kind)
            << QByteArray(kind) << QString() << other << qt << false;
    }
}

void TestConnectionTypes::certificateAndKey()
{
    QFETCH(QByteArray, kind);
    QFETCH(QString, certificate);
    QFETCH(QString, key);
    QFETCH(bool, listens);
    QFETCH(bool, handshakes);
    rvx::test::TlsSelection selected(kind);
    ServerFixture f;
    if (key == QLatin1String("other.key"))
        QVERIFY(generateSelfSignedCertificate(f.ws.path(QStringLiteral("other.crt")), f.ws.path(key),
                                              QStringLiteral("other")));
    const QString certificatePath =
        certificate.isEmpty() ? rvx::test::testCertificatePath() : f.ws.path(certificate);
    const QString keyPath = key.isEmpty() ? rvx::test::testKeyPath() : f.ws.path(key);
    // Qt's socket leaves a connection whose handshake could not start to the deadline.
    QCOMPARE(f.start(2000, certificatePath, keyPath), listens);
    if (!listens) {
        QVERIFY(!f.server->isListening());
        return;
    }
    SimAgent agent;
    agent.connectToServer(f.port);
    QCOMPARE(agent.waitForEncrypted(handshakes ? 10000 : 3000), handshakes);
    if (!handshakes)
        QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
}

void TestConnectionTypes::certificateReadOnceAtListen_data()
{
    rvx::test::addConnectionTypeRows();
}

void TestConnectionTypes::certificateReadOnceAtListen()
{
    // The files are read when listening starts and not per connection: once they are gone,
    // agents still connect and identify. The connections are of the selected type.
    QFETCH(QByteArray, kind);
    rvx::test::TlsSelection selected(kind);
    ServerFixture f;
    const QString certificate = f.ws.path(QStringLiteral("rvx.crt"));
    const QString key = f.ws.path(QStringLiteral("rvx.key"));
    QVERIFY(QFile::copy(rvx::test::testCertificatePath(), certificate));
    QVERIFY(QFile::copy(rvx::test::testKeyPath(), key));
    QVERIFY(f.start(30000, certificate, key));
    QVERIFY(QFile::remove(certificate) && QFile::remove(key));
    auto first = f.identified(QStringLiteral("ONCE-1"));
    auto second = f.identified(QStringLiteral("ONCE-2"), QStringLiteral("8.4.0"), "00:11:22:33:44:66");
    QVERIFY(first && second);
    for (const char* serial : {"ONCE-1", "ONCE-2"}) {
        ThinclientInfo* record = f.server->findBySerial(QLatin1String(serial));
        QVERIFY(record && record->socket);
        const bool ours = qobject_cast<TlsConnection*>(record->socket) != nullptr;
        const bool qt = qobject_cast<QSslSocket*>(record->socket) != nullptr;
        QCOMPARE(ours, kind == "openssl");
        QCOMPARE(qt, kind == "qt");
        QVERIFY(agentsocket::isConnected(record->socket));
        QVERIFY(agentsocket::peerAddress(record->socket).isLoopback());
        QVERIFY(!agentsocket::localAddress(record->socket).isNull());
    }
}

void TestConnectionTypes::protocolVersions_data()
{
    addKindColumn();
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("accepted");
    for (const char* kind : {"qt", "openssl"}) {
        QTest::addRow("%s, TLS 1.0", kind) << QByteArray(kind) << TLS1_VERSION << false;
        QTest::addRow("%s, TLS 1.1", kind) << QByteArray(kind) << TLS1_1_VERSION << false;
        QTest::addRow("%s, TLS 1.2", kind) << QByteArray(kind) << TLS1_2_VERSION << true;
        QTest::addRow("%s, TLS 1.3", kind) << QByteArray(kind) << TLS1_3_VERSION << true;
    }
}

void TestConnectionTypes::protocolVersions()
{
    QFETCH(QByteArray, kind);
    QFETCH(int, version);
    QFETCH(bool, accepted);
    rvx::test::TlsSelection selected(kind);
    ServerFixture f;
    QVERIFY(f.start());
    {
        RawClient client(f.port, version, version);
        QVERIFY(waitFor([&] { return client.result != 0; }));
        QCOMPARE(client.result == 1, accepted);
    }
    // The client has gone either way: nothing is left behind.
    QVERIFY(waitFor([&] { return f.server->connectionCount() == 0; }));
}

RVX_TEST_MAIN(TestConnectionTypes)
#include "test_connectiontypes.moc"

// The agent library's own TLS connection type, against Qt's TLS client and a plain OpenSSL
// client: bytes both ways intact and in order, the socket signals as the agent server relies
// on them, closing with and without queued bytes, the read bound, and protocol versions.

#include "certificates.h"
#include "rawtlsclient.h"
#include "testmain.h"
#include "tlsconnection.h"

#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>

#include <openssl/ssl.h>

#include <arpa/inet.h>
#include <atomic>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Hands every accepted descriptor to a TlsConnection and counts its signals.
class Listener : public QTcpServer
{
public:
    struct Seen
    {
        TlsConnection* connection = nullptr;
        int encrypted = 0;
        int disconnected = 0;
        qint64 written = 0;
        bool insideWrite = false;
        bool writtenInsideWrite = false;
        QByteArray received;
        bool readOnSignal = true;
    };

    explicit Listener(std::shared_ptr<TlsContext> context)
        : m_context(std::move(context))
    {
        listen(QHostAddress::LocalHost, 0);
    }

    std::vector<std::shared_ptr<Seen>> seen;
    bool readOnSignal = true;
    QByteArray writeAtOnce; // written as soon as the connection exists, before its handshake

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto s = std::make_shared<Seen>();
        s->readOnSignal = readOnSignal;
        auto* c = new TlsConnection(descriptor, m_context, this);
        s->connection = c;
        seen.push_back(s);
        connect(c, &TlsConnection::encrypted, this, [s]() { ++s->encrypted; });
        connect(c, &TlsConnection::disconnected, this, [s]() { ++s->disconnected; });
        connect(c, &QIODevice::bytesWritten, this, [s](qint64 n) {
            s->written += n;
            s->writtenInsideWrite = s->writtenInsideWrite || s->insideWrite;
        });
        connect(c, &QIODevice::readyRead, this, [s]() {
            if (s->readOnSignal)
                s->received += s->connection->readAll();
        });
        if (!writeAtOnce.isEmpty()) {
            s->insideWrite = true;
            c->write(writeAtOnce);
            s->insideWrite = false;
        }
    }

private:
    std::shared_ptr<TlsContext> m_context;
};

QByteArray pattern(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 977) & 0xFF);
    return bytes;
}

std::unique_ptr<QSslSocket> connectClient(quint16 port)
{
    auto client = std::make_unique<QSslSocket>();
    client->setPeerVerifyMode(QSslSocket::VerifyNone);
    client->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    return client;
}

} // namespace

class TestTlsConnection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void contextRefusesWhatCannotServe();
    void bytesBothWaysWithSocketSignals();
    void closingSendsQueuedBytesFirst();
    void peerAndAbortEndTheConnectionOnce();
    void readingIsBounded();
    void protocolVersions_data();
    void protocolVersions();

private:
    std::shared_ptr<TlsContext> m_context;
};

void TestTlsConnection::initTestCase()
{
    QString error;
    m_context = TlsContext::load(rvx::test::testCertificatePath(), rvx::test::testKeyPath(), &error);
    QVERIFY2(m_context, qPrintable(error));
}

void TestTlsConnection::contextRefusesWhatCannotServe()
{
    QTemporaryDir dir;
    const QString otherCert = dir.filePath(QStringLiteral("other.crt"));
    const QString otherKey = dir.filePath(QStringLiteral("other.key"));
    QVERIFY(generateSelfSignedCertificate(otherCert, otherKey, QStringLiteral("other")));
    QString error;
    QVERIFY(!TlsContext::load(dir.filePath(QStringLiteral("missing.crt")), otherKey, &error));
    QVERIFY(error.contains(QLatin1String("missing.crt")));
    QVERIFY(!TlsContext::load(otherCert, dir.filePath(QStringLiteral("missing.key")), &error));
    // A key that is not the certificate's.
    QVERIFY(!TlsContext::load(otherCert, rvx::test::testKeyPath(), &error));
    QVERIFY(error.contains(QLatin1String("does not match")));
    // The key where the certificate should be.
    QVERIFY(!TlsContext::load(otherKey, otherKey, &error));
    QVERIFY(TlsContext::load(otherCert, otherKey, &error));
}

void TestTlsConnection::bytesBothWaysWithSocketSignals()
{
    Listener listener(m_context);
    // Queued before the handshake: sent after it, and told by bytesWritten from the event
    // loop, not from inside write().
    const QByteArray early = pattern(3 * 1024 * 1024 + 17);
    listener.writeAtOnce = early;
    auto client = connectClient(listener.serverPort());
    QVERIFY(
        rvx::test::waitFor([&]() { return listener.seen.size() == 1 && listener.seen[0]->encrypted == 1; }));
    Listener::Seen& s = *listener.seen[0];
    TlsConnection* c = s.connection;
    QCOMPARE(c->protocolName(), QStringLiteral("TLSv1.3"));
    QCOMPARE(c->peerAddress(), QHostAddress(QHostAddress::LocalHost));
    QCOMPARE(c->peerPort(), client->localPort());
    QCOMPARE(c->state(), QAbstractSocket::ConnectedState);
    QVERIFY(c->socketDescriptor() >= 0);

    QByteArray atClient;
    QVERIFY(rvx::test::waitFor(
        [&]() {
            atClient += client->readAll();
            return atClient.size() >= early.size();
        },
        20000));
    QVERIFY(atClient == early);
    QVERIFY(rvx::test::waitFor([&]() { return s.written == early.size(); }));
    QCOMPARE(c->bytesToWrite(), 0);
    QVERIFY(!s.writtenInsideWrite);

    // The other way, in pieces of every size.
    QByteArray sent;
    for (int size : {1, 50, 16383, 16384, 16385, 300000}) {
        const QByteArray piece = pattern(size + sent.size()).right(size);
        client->write(piece);
        sent += piece;
    }
    QVERIFY(rvx::test::waitFor([&]() { return s.received.size() >= sent.size(); }, 20000));
    QVERIFY(s.received == sent);
    QCOMPARE(c->bytesAvailable(), 0);
    QCOMPARE(s.disconnected, 0);
}

void TestTlsConnection::closingSendsQueuedBytesFirst()
{
    Listener listener(m_context);
    auto client = connectClient(listener.serverPort());
    QVERIFY(
        rvx::test::waitFor([&]() { return listener.seen.size() == 1 && listener.seen[0]->encrypted == 1; }));
    Listener::Seen& s = *listener.seen[0];
    const QByteArray bytes = pattern(4 * 1024 * 1024);
    s.connection->write(bytes);
    s.connection->close();
    QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (TlsConnection): device not open");
    QCOMPARE(s.connection->write("late"), qint64(-1));
    QByteArray atClient;
    bool clientSawClose = false;
    connect(client.get(), &QSslSocket::disconnected, this, [&]() { clientSawClose = true; });
    QVERIFY(rvx::test::waitFor(
        [&]() {
            atClient += client->readAll();
            return clientSawClose;
        },
        20000));
    atClient += client->readAll();
    QCOMPARE(atClient.size(), bytes.size());
    QVERIFY(atClient == bytes);
    QCOMPARE(s.disconnected, 1);
    QCOMPARE(s.connection->state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(s.connection->socketDescriptor(), qintptr(-1));
}

void TestTlsConnection::peerAndAbortEndTheConnectionOnce()
{
    Listener listener(m_context);
    auto first = connectClient(listener.serverPort());
    auto second = connectClient(listener.serverPort());
    QVERIFY(rvx::test::waitFor([&]() {
        return listener.seen.size() == 2 && listener.seen[0]->encrypted == 1 &&
               listener.seen[1]->encrypted == 1;
    }));

    // The peer sends its last bytes and closes: they are read before the disconnection.
    Listener::Seen& a = *listener.seen[0];
    Listener::Seen& b = *listener.seen[1];
    Listener::Seen& fromFirst = a.connection->peerPort() == first->localPort() ? a : b;
    Listener::Seen& fromSecond = &fromFirst == &a ? b : a;
    first->write("last words");
    first->disconnectFromHost();
    QVERIFY(rvx::test::waitFor([&]() { return fromFirst.disconnected == 1; }));
    QCOMPARE(fromFirst.received, QByteArray("last words"));
    QCOMPARE(fromFirst.connection->state(), QAbstractSocket::UnconnectedState);

    // Aborting drops what is unsent, tells the disconnection once, and the peer sees it.
    fromSecond.connection->write(pattern(8 * 1024 * 1024));
    fromSecond.connection->abort();
    QCOMPARE(fromSecond.disconnected, 1);
    QCOMPARE(fromSecond.connection->bytesToWrite(), 0);
    fromSecond.connection->abort();
    fromSecond.connection->close();
    QVERIFY(rvx::test::waitFor([&]() { return second->state() == QAbstractSocket::UnconnectedState; }));
    QCOMPARE(fromSecond.disconnected, 1);
    QCOMPARE(fromFirst.disconnected, 1);
}

void TestTlsConnection::readingIsBounded()
{
    Listener listener(m_context);
    listener.readOnSignal = false;
    auto client = connectClient(listener.serverPort());
    QVERIFY(
        rvx::test::waitFor([&]() { return listener.seen.size() == 1 && listener.seen[0]->encrypted == 1; }));
    TlsConnection* c = listener.seen[0]->connection;
    constexpr qint64 Limit = 64 * 1024;
    c->setReadBufferSize(Limit);
    const QByteArray bytes = pattern(2 * 1024 * 1024);
    client->write(bytes);
    // The connection stops reading near the bound (at most one record beyond it) ...
    QVERIFY(rvx::test::waitFor([&]() { return c->bytesAvailable() >= Limit; }));
    QTest::qWait(200);
    QVERIFY2(c->bytesAvailable() <= Limit + 16 * 1024, QByteArray::number(c->bytesAvailable()));
    // ... and resumes as the reader takes bytes; nothing is lost.
    QByteArray got;
    QVERIFY(rvx::test::waitFor(
        [&]() {
            got += c->readAll();
            return got.size() >= bytes.size();
        },
        20000));
    QVERIFY(got == bytes);
}

void TestTlsConnection::protocolVersions_data()
{
    QTest::addColumn<int>("minVersion");
    QTest::addColumn<int>("maxVersion");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("TLS 1.0 only") << TLS1_VERSION << TLS1_VERSION << false;
    QTest::newRow("TLS 1.1 only") << TLS1_1_VERSION << TLS1_1_VERSION << false;
    QTest::newRow("TLS 1.2 only") << TLS1_2_VERSION << TLS1_2_VERSION << true;
    QTest::newRow("TLS 1.3 only") << TLS1_3_VERSION << TLS1_3_VERSION << true;
}

void TestTlsConnection::protocolVersions()
{
    QFETCH(int, minVersion);
    QFETCH(int, maxVersion);
    QFETCH(bool, accepted);
    Listener listener(m_context);
    RawClient client(listener.serverPort(), minVersion, maxVersion);
    QVERIFY(rvx::test::waitFor([&]() { return client.result != 0; }));
    QCOMPARE(client.result == 1, accepted);
    QVERIFY(rvx::test::waitFor([&]() { return listener.seen.size() == 1; }));
    Listener::Seen& s = *listener.seen[0];
    if (accepted) {
        QVERIFY(rvx::test::waitFor([&]() { return s.encrypted == 1; }));
    } else {
        // The server refused the hello itself (the client did offer the old protocol).
        QVERIFY(rvx::test::waitFor([&]() { return s.disconnected == 1; }));
        QCOMPARE(s.encrypted, 0);
        QVERIFY2(s.connection->errorString().contains(QLatin1String("protocol")),
                 qPrintable(s.connection->errorString()));
    }
}

RVX_TEST_MAIN(TestTlsConnection)
#include "test_tlsconnection.moc"

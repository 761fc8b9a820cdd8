// Agents that go wrong part-way over real TLS: one that vanishes in the middle of a frame,
// one that stops or vanishes in the middle of the TLS handshake, one that vanishes while
// pulling a file or pushing one, and one that vanishes while the server streams an install
// file to it. Each time another agent keeps being served, a new agent can still connect,
// and the server's connections and open files are back to what they were.

#include "agentwriter.h"
#include "sending.h"
#include "serverfixture.h"
#include "testmain.h"
#include "wire.h"

#include <QDir>
#include <QFile>
#include <QTcpSocket>

using rvx::test::waitFor;

namespace {

// Descriptors this process holds (-1 where that cannot be told).
int openDescriptors()
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return fds.exists() ? static_cast<int>(fds.entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size())
                        : -1;
}

// The head of an install-file message for a body of `size` bytes: kind, name, size.
QByteArray installHead(const QByteArray& name, qint64 size)
{
    QByteArray inner(1, char(4));
    inner += wire::lpString(name);
    wire::appendU32(inner, static_cast<quint32>(size));
    return wire::frameHeader(msg::Type::InstallFile, 1, static_cast<quint32>(inner.size() + size)) + inner;
}

// The first bytes of a TLS client hello that announces far more than it sends.
QByteArray partialClientHello()
{
    QByteArray hello("\x16\x03\x01\x00\xc8\x01\x00\x00\xc4\x03\x03", 11);
    hello += QByteArray(20, 'r');
    return hello;
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

private slots:
    void othersKeepBeingServed_data();
    void othersKeepBeingServed();
};

void TestFaults::othersKeepBeingServed_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : {"mid-frame header", "mid-frame payload", "mid-frame large payload",
                              "TLS handshake abandoned", "TLS handshake stalled", "TLS hello then silence",
                              "greeting cut short", "file pull", "file push", "install stream"})
        QTest::newRow(fault) << QString::fromLatin1(fault);
}

void TestFaults::othersKeepBeingServed()
{
    QFETCH(QString, fault);
    ServerFixture f;
    QVERIFY(f.start(1500));
    const QString store = f.ws.path(QStringLiteral("store"));
    QVERIFY(QDir().mkpath(store));
    const QByteArray fileData(2 * 1024 * 1024, 'p');
    rvx::test::writeRaw(store + QStringLiteral("/image.bin"), fileData);
    f.server->allowReadFolder(store);
    f.server->allowWriteFolder(store);

    auto bystander = f.identified(QStringLiteral("FA-0"), QStringLiteral("8.4.0"), "00:11:22:33:44:f0");
    QVERIFY(bystander);
    QCOMPARE(f.server->connectionCount(), 1);
    const int descriptorsBefore = openDescriptors();

    {
        std::unique_ptr<SimAgent> faulty;
        std::unique_ptr<QTcpSocket> raw;
        if (fault.startsWith(QLatin1String("mid-")) || fault.startsWith(QLatin1String("file")) ||
            fault == QLatin1String("install stream")) {
            faulty = f.identified(QStringLiteral("FA-1"), QStringLiteral("8.4.0"), "00:11:22:33:44:f1");
            QVERIFY(faulty);
        }
        if (fault == QLatin1String("mid-frame header")) {
            faulty->sendRaw(QByteArray("\x37\x00", 2));
        } else if (fault == QLatin1String("mid-frame payload")) {
            faulty->sendRaw(wire::frame(55, 0, QByteArray(5000, 'c')).left(105));
        } else if (fault == QLatin1String("mid-frame large payload")) {
            faulty->sendRaw(wire::frame(55, 1, QByteArray(60000, 'l')).left(30000));
        } else if (fault == QLatin1String("file pull")) {
            QCOMPARE(faulty->openRead(QDir::toNativeSeparators(store + QStringLiteral("/image.bin"))), 0);
            for (int i = 0; i < 3; ++i)
                QVERIFY(faulty->readBlock(4096));
            faulty->sendFrame(11, 0, QByteArray("\x10\x00", 2)); // asks for the next block, then goes
        } else if (fault == QLatin1String("file push")) {
            QCOMPARE(faulty->openWrite(QDir::toNativeSeparators(store + QStringLiteral("/pushed.bin")), 1),
                     0);
            faulty->sendRaw(wire::frame(23, 0, QByteArray(4000, 'w')).left(1000));
        } else if (fault == QLatin1String("install stream")) {
            faulty->setStreamedBodies(1024);
            const qint64 size = 64ll * 1024 * 1024;
            const QString path = f.ws.path(QStringLiteral("temp/big.bin"));
            QFile big(path);
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(size));
            big.close();
            QVERIFY(writeFrameWithFile(f.server->findBySerial(QStringLiteral("FA-1")),
                                       installHead("big.bin", size), path, 0, size));
            QVERIFY(waitFor([&] { return faulty->streamedSoFar() > 4 * 1024 * 1024; }, 30000));
        } else {
            raw = std::make_unique<QTcpSocket>();
            raw->connectToHost(QHostAddress::LocalHost, f.port);
            QVERIFY(raw->waitForConnected(5000));
            if (fault == QLatin1String("TLS handshake abandoned") ||
                fault == QLatin1String("TLS hello then silence"))
                raw->write(partialClientHello());
            if (fault == QLatin1String("greeting cut short")) {
                // A TLS session that ends halfway through its greeting.
                faulty = std::make_unique<SimAgent>();
                faulty->connectToServer(f.port);
                QVERIFY(faulty->waitForEncrypted());
                faulty->sendRaw(faulty->greetingBytes().left(5));
                QVERIFY(faulty->waitForSent());
                raw.reset();
            } else {
                QVERIFY(raw->waitForBytesWritten(5000) || raw->bytesToWrite() == 0);
            }
            QVERIFY(waitFor([&] { return f.server->connectionCount() == 2; }, 5000));
        }
        // The stalled ones are closed by the server's handshake timeout; the others vanish.
        const bool stalls = fault == QLatin1String("TLS handshake stalled") ||
                            fault == QLatin1String("TLS hello then silence");
        if (!stalls) {
            QTest::qWait(50);
            if (faulty)
                faulty->abort();
            if (raw)
                raw->abort();
        }
        QVERIFY2(waitFor([&] { return f.server->connectionCount() == 1; }, 10000),
                 qPrintable(QString::number(f.server->connectionCount())));
        if (ThinclientInfo* record = f.server->findBySerial(QStringLiteral("FA-1")))
            QVERIFY(waitFor([&] { return !record->isOnline(); }));
    }

    // The agent that stayed is answered, and sends and receives as before.
    QVERIFY(bystander->echo());
    bystander->sendConfiguration("brd_hostname=still-here\n", 55, true);
    QVERIFY(bystander->echo());
    QVERIFY(f.storedText(QStringLiteral("FA-0")).contains("still-here"));
    // A new agent is taken in, and then everything it held is given back.
    {
        auto newcomer = f.identified(QStringLiteral("FA-2"), QStringLiteral("8.4.0"), "00:11:22:33:44:f2");
        QVERIFY(newcomer);
        newcomer->disconnectFromServer();
        QVERIFY(waitFor([&] { return f.server->connectionCount() == 1; }));
    }
    if (descriptorsBefore >= 0)
        QVERIFY2(
            waitFor([&] { return openDescriptors() <= descriptorsBefore; }, 5000),
            qPrintable(
                QStringLiteral("%1 descriptors, %2 before").arg(openDescriptors()).arg(descriptorsBefore)));
}

RVX_TEST_MAIN(TestFaults)
#include "test_faults.moc"

#include "testmain.h"
#include "wolpacket.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QUdpSocket>

class TestWolcmd : public QObject
{
    Q_OBJECT

private:
    struct Run
    {
        int exitCode;
        QString out;
        QString err;
    };

    Run run(const QStringList& arguments)
    {
        QProcess process;
        process.start(rvx::test::builtProgram(QStringLiteral("wolcmd")), arguments);
        if (!process.waitForFinished(10000))
            return {-99, {}, {}};
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void packetLayout()
    {
        const QByteArray mac = QByteArray::fromHex("0011223344aa");
        const QByteArray packet = wol::magicPacket(mac);
        QCOMPARE(packet.size(), 102);
        QCOMPARE(packet.left(6), QByteArray(6, '\xFF'));
        for (int i = 0; i < 16; ++i)
            QCOMPARE(packet.mid(6 + 6 * i, 6), mac);
    }

    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("destination");
        QTest::newRow("server form") << QStringList{"0011223344AA", "10.77.0.2", "255.255.255.0", "9"} << true
                                     << "10.77.0.255";
        QTest::newRow("colons accepted")
            << QStringList{"00:11:22:33:44:aa", "192.168.1.10", "255.255.0.0", "7"} << true
            << "192.168.255.255";
        QTest::newRow("/30 network") << QStringList{"0011223344aa", "10.0.0.5", "255.255.255.252", "9"}
                                     << true << "10.0.0.7";
        QTest::newRow("short mac") << QStringList{"0011223344", "10.77.0.2", "255.255.255.0", "9"} << false
                                   << "";
        QTest::newRow("non-hex mac") << QStringList{"00112233445G", "10.77.0.2", "255.255.255.0", "9"}
                                     << false << "";
        QTest::newRow("bad address") << QStringList{"0011223344aa", "10.77.0", "255.255.255.0", "9"} << false
                                     << "";
        QTest::newRow("octet too big")
            << QStringList{"0011223344aa", "10.77.0.256", "255.255.255.0", "9"} << false << "";
        QTest::newRow("holey netmask")
            << QStringList{"0011223344aa", "10.77.0.2", "255.0.255.0", "9"} << false << "";
        QTest::newRow("port zero") << QStringList{"0011223344aa", "10.77.0.2", "255.255.255.0", "0"} << false
                                   << "";
        QTest::newRow("port text") << QStringList{"0011223344aa", "10.77.0.2", "255.255.255.0", "nine"}
                                   << false << "";
        QTest::newRow("too few") << QStringList{"0011223344aa", "10.77.0.2"} << false << "";
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, valid);
        QFETCH(QString, destination);
        wol::Request request;
        QString error;
        QCOMPARE(wol::parseArguments(arguments, &request, &error), valid);
        if (valid)
            QCOMPARE(request.destination.toString(), destination);
        else
            QVERIFY(!error.isEmpty());
    }

    void noArgumentsPrintsUsageAndSucceeds()
    {
        const Run result = run({});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(result.out.startsWith(QStringLiteral("Usage: wolcmd")));
    }

    void badArgumentsFailWithAMessage()
    {
        const Run result = run({"zz", "10.77.0.2", "255.255.255.0", "9"});
        QVERIFY(result.exitCode != 0);
        QVERIFY(result.err.contains(QStringLiteral("invalid MAC address")));
    }

    // Inside the test namespace: the packet goes to 10.77.0.255 and reaches a listener.
    void packetArrivesOnTheWire()
    {
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QUdpSocket::ShareAddress));
        const QString port = QString::number(listener.localPort());
        const Run result = run({"0011223344AA", "10.77.0.2", "255.255.255.0", port});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(rvx::test::waitFor([&] { return listener.hasPendingDatagrams(); }, 5000));
        const QNetworkDatagram datagram = listener.receiveDatagram();
        QCOMPARE(datagram.data(), wol::magicPacket(QByteArray::fromHex("0011223344aa")));
        QCOMPARE(datagram.destinationAddress().toString(), QStringLiteral("10.77.0.255"));
    }
};

RVX_TEST_MAIN(TestWolcmd)
#include "test_wolcmd.moc"

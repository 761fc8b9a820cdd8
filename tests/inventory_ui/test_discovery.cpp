// The discovery broadcast, caught inside the test network namespace (rvx0 10.77.0.1/24 and
// rvx1 10.77.0.2/24, both up): one datagram per IPv4 address of every interface that is up
// and not a loopback interface, with the exact announcement and its digest.

#include "windowfixture.h"

#include "discovery.h"
#include "platform.h"

#include <QAction>
#include <QCryptographicHash>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

using namespace rvx::test;
namespace platform = rvx::platform;

namespace {

// The distinct datagrams the listener receives within the time, in order of arrival.
QList<QByteArray> receive(QUdpSocket& listener, int expected, int timeoutMs = 3000)
{
    QList<QByteArray> received;
    waitFor(
        [&] {
            while (listener.hasPendingDatagrams()) {
                const QByteArray data = listener.receiveDatagram().data();
                if (!received.contains(data))
                    received << data;
            }
            return received.size() >= expected;
        },
        timeoutMs);
    QTest::qWait(100); // nothing more arrives
    while (listener.hasPendingDatagrams()) {
        const QByteArray data = listener.receiveDatagram().data();
        if (!received.contains(data))
            received << data;
    }
    return received;
}

QByteArray announcement(const QByteArray& address, int port)
{
    const QByteArray portText = QByteArray::number(port);
    const QByteArray digest =
        QCryptographicHash::hash(address + portText + discoveryBroadcastKey(), QCryptographicHash::Md5)
            .toHex();
    return address + " :: " + portText + " :: " + digest + " :: ";
}

QNetworkAddressEntry entry(const QString& ip, const QString& broadcast)
{
    QNetworkAddressEntry e;
    e.setIp(QHostAddress(ip));
    if (!broadcast.isEmpty())
        e.setBroadcast(QHostAddress(broadcast));
    return e;
}

} // namespace

class TestDiscovery : public QObject
{
    Q_OBJECT

private slots:
    void init() { rvx::Ask::setTestMode(true); }
    void cleanup() { platform::setInterfaceProvider({}); }

    void theDatagramFormat()
    {
        const QByteArray datagram = discoveryDatagram("192.168.1.5", 8085);
        QCOMPARE(datagram.size(), 59);
        QCOMPARE(datagram, announcement("192.168.1.5", 8085));
        QCOMPARE(discoveryBroadcastKey().size(), 25);
    }

    void onePerAddressOnEveryNetwork()
    {
        const quint16 udpPort = freeUdpPort();
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), udpPort, QUdpSocket::ShareAddress));
        WindowFixture f(udpPort, true);
        MainWindow* w = f.start();
        QVERIFY(w->broadcastEnabled());
        QVERIFY(w->broadcastTimer()->isActive());
        QCOMPARE(w->broadcastTimer()->interval(), 5000);

        // Start-up sent one pass: one announcement for each address of the namespace.
        QList<QByteArray> received = receive(listener, 2);
        std::sort(received.begin(), received.end());
        QCOMPARE(received,
                 QList<QByteArray>({announcement("10.77.0.1", f.port), announcement("10.77.0.2", f.port)}));

        // A changed port is announced from the next pass on.
        w->settings()->setValue("SSLPort", 9443);
        w->sendDiscoveryBroadcast();
        received = receive(listener, 2);
        std::sort(received.begin(), received.end());
        QCOMPARE(received,
                 QList<QByteArray>({announcement("10.77.0.1", 9443), announcement("10.77.0.2", 9443)}));

        // Off: nothing is sent; on again: a pass at once.
        w->on_toggle_broadcast_triggered();
        QVERIFY(!w->broadcastTimer()->isActive());
        QVERIFY(!w->settings()->value("discoveryState").toBool());
        QVERIFY(receive(listener, 1, 300).isEmpty());
        w->on_toggle_broadcast_triggered();
        QCOMPARE(receive(listener, 2).size(), 2);
    }

    // Down and loopback interfaces, IPv6 entries and entries without a broadcast address send
    // nothing; two addresses on one interface send two datagrams, each announcing its own.
    void whichInterfacesAnnounce()
    {
        const quint16 udpPort = freeUdpPort();
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), udpPort, QUdpSocket::ShareAddress));
        WindowFixture f(udpPort, false);
        MainWindow* w = f.start();

        platform::InterfaceInfo loopback{"lo", true, true, {entry("127.0.0.1", "127.255.255.255")}};
        platform::InterfaceInfo down{"eth1", false, false, {entry("10.77.0.3", "10.77.0.255")}};
        platform::InterfaceInfo two{"eth0",
                                    true,
                                    false,
                                    {entry("fe80::1", QString()), entry("10.77.0.1", "10.77.0.255"),
                                     entry("10.77.0.5", QString()), entry("10.77.0.4", "10.77.0.255")}};
        platform::setInterfaceProvider([&] { return QList<platform::InterfaceInfo>{loopback, down, two}; });
        w->sendDiscoveryBroadcast();
        const QList<QByteArray> received = receive(listener, 2);
        QCOMPARE(received,
                 QList<QByteArray>({announcement("10.77.0.1", f.port), announcement("10.77.0.4", f.port)}));
    }
};

RVX_GUI_TEST_MAIN(TestDiscovery)
#include "test_discovery.moc"

#include "commands.h"
#include "configlib.h"
#include "demofleet.h"
#include "demorun.h"
#include "serverfixture.h"
#include "testmain.h"
#include "thinclientinfo.h"
#include "versions.h"

#include <QSet>

// The demonstration fleet: what a newcomer sees must look like a real, varied site, and
// every device must say about itself what a real agent would (a block and a configuration the
// server accepts and that agree with each other).
class TestDemoFleet : public QObject
{
    Q_OBJECT

private:
    static bool older(const QString& version) { return !versionAtLeast(version, 8, 4, 4); }
    static bool newer(const QString& version) { return versionAtLeast(version, 8, 4, 5); }

private slots:
    void variety_data()
    {
        QTest::addColumn<int>("count");
        QTest::newRow("small") << 12;
        QTest::newRow("screenshots") << 40;
        QTest::newRow("large") << 500;
    }

    void variety()
    {
        QFETCH(int, count);
        const QList<demo::Device> fleet = demo::fleet(count);
        QCOMPARE(fleet.size(), count);

        QSet<int> firmwareTypes, raspberryPis;
        QSet<QByteArray> modes;
        int maintenance = 0, signage = 0, comeAndGo = 0, olderAgents = 0, newerAgents = 0, olderFirmware = 0,
            newerFirmware = 0, staticAddresses = 0, withComment = 0, withStatus = 0;
        for (const demo::Device& d : fleet) {
            firmwareTypes.insert(d.firmwareType);
            if (commands::isRaspberryPi(d.firmwareType))
                raspberryPis.insert(d.firmwareType);
            QVERIFY2(!config_hardware_name(d.firmwareType).isEmpty(), qPrintable(d.serial));
            QVERIFY2(config_protocol_index(d.protocol) > 0, d.protocol.constData());
            modes.insert(d.protocol);
            maintenance += d.bootMode == ThinclientInfo::BootMaintenance ? 1 : 0;
            signage += d.protocol == "signage" ? 1 : 0;
            comeAndGo += d.onlineSeconds > 0 ? 1 : 0;
            QVERIFY(d.onlineSeconds == 0 || d.awaySeconds > 0);
            olderAgents += older(d.clientVersion) ? 1 : 0;
            newerAgents += newer(d.clientVersion) ? 1 : 0;
            olderFirmware += older(d.firmwareVersion) ? 1 : 0;
            newerFirmware += newer(d.firmwareVersion) ? 1 : 0;
            staticAddresses += d.staticAddress ? 1 : 0;
            withComment += d.comment.isEmpty() ? 0 : 1;
            withStatus += d.status.isEmpty() ? 0 : 1;
        }
        QVERIFY(firmwareTypes.size() >= 6);
        QVERIFY(raspberryPis.size() >= 2);
        QVERIFY(modes.size() >= 8);
        QCOMPARE(maintenance, 1);
        QVERIFY(signage >= 1 && signage <= count / 6 + 1);
        QVERIFY(comeAndGo >= 1 && comeAndGo <= count / 4);
        QVERIFY(olderAgents > 0 && newerAgents > 0 && olderAgents + newerAgents < count);
        QVERIFY(olderFirmware > 0 && newerFirmware > 0);
        QVERIFY(staticAddresses > 0 && staticAddresses < count);
        QVERIFY(withComment > count / 2 && withComment < count);
        QVERIFY(withStatus > 0);
    }

    // Even the smallest demo shows the maintenance device and a signage screen.
    void smallFleetHasTheSpecialDevices()
    {
        const QList<demo::Device> fleet = demo::fleet(3);
        QCOMPARE(fleet.at(1).bootMode, quint8(ThinclientInfo::BootMaintenance));
        QCOMPARE(fleet.at(2).protocol, QByteArray("signage"));
        QCOMPARE(fleet.at(0).bootMode, quint8(ThinclientInfo::BootNormal));
    }

    // Identities never collide, and a device is the same in every run (the server finds the
    // devices it saw before).
    void identitiesAreUniqueAndStable()
    {
        const QList<demo::Device> fleet = demo::fleet(2000);
        QSet<QString> serials, macs, hostnames;
        QSet<quint32> addresses;
        for (const demo::Device& d : fleet) {
            serials.insert(d.serial);
            macs.insert(d.mac);
            hostnames.insert(d.hostname);
            addresses.insert(d.ipAddress);
            QVERIFY(d.mac.startsWith(QLatin1String("02:")));
        }
        QCOMPARE(serials.size(), fleet.size());
        QCOMPARE(macs.size(), fleet.size());
        QCOMPARE(hostnames.size(), fleet.size());
        QCOMPARE(addresses.size(), fleet.size());

        const QList<demo::Device> later = demo::fleet(5, 1998);
        QCOMPARE(later.first().serial, fleet.at(1998).serial);
        QCOMPARE(demo::deviceBlock(later.first()), demo::deviceBlock(fleet.at(1998)));
        QCOMPARE(demo::configuration(later.at(1)), demo::configuration(fleet.at(1999)));
    }

    // The block and the configuration agree, and the server keeps every configuration line.
    void blockAndConfigurationAgree()
    {
        for (const demo::Device& d : demo::fleet(48)) {
            ThinclientInfo info;
            info.loadBlock(demo::deviceBlock(d));
            QCOMPARE(info.serialNumber(), d.serial);
            QCOMPARE(info.hostname(), d.hostname);
            QCOMPARE(info.macAddress(), d.mac);
            QCOMPARE(int(info.firmwareType()), int(d.firmwareType));
            QCOMPARE(info.bootMode(), d.bootMode);
            QCOMPARE(info.clientVersion(), d.clientVersion);
            QCOMPARE(info.description(), d.comment);
            QCOMPARE(int(info.protocolType()), config_protocol_index(d.protocol));

            const QByteArray text = demo::configuration(d);
            QVERIFY(text.endsWith('\n'));
            for (const QByteArray& line : text.split('\n')) {
                if (!line.isEmpty())
                    QVERIFY2(config_line_category(line) >= 0, line.constData());
            }
            QCOMPARE(config_text_get_value("brd_hostname", text), d.hostname.toLatin1());
            QCOMPARE(config_text_get_value("connection_type", text), d.protocol);
            QCOMPARE(config_text_get_value("nic_dhcp_enabled", text),
                     QByteArray(d.staticAddress ? "no" : "yes"));
            if (d.protocol == "signage")
                QVERIFY(config_text_get_value("ds_output1_source", text).startsWith("rsync://"));
            if (!d.modeServer.isEmpty()) {
                const QByteArray key = *config_protocol_option_key(config_protocol_index(d.protocol), 20);
                QCOMPARE(config_text_get_value(key, text), d.modeServer.toLatin1());
            }
        }
    }

    // The fleet against a real server: started before the server, every device still arrives,
    // reports its configuration and status, and one that comes and goes comes back.
    void runAgainstServer()
    {
        ServerFixture fixture;
        const quint16 port = rvx::test::freeTcpPort();
        QList<demo::Device> devices = demo::fleet(6);
        devices[5].onlineSeconds = 1;
        devices[5].awaySeconds = 1;
        DemoRun run(devices, QHostAddress::LocalHost, port);
        run.setRetryMs(200);
        run.start();
        QTest::qWait(300);

        fixture.server = new SSLServer(nullptr, fixture.settings.get());
        QVERIFY(fixture.server->listenForAgents(port, rvx::test::testCertificatePath(),
                                                rvx::test::testKeyPath()));
        fixture.port = port;
        QVERIFY(rvx::test::waitFor([&] { return run.identifiedCount() == devices.size(); }, 20000));
        for (const demo::Device& d : devices) {
            QVERIFY(rvx::test::waitFor([&] { return !fixture.storedText(d.serial).isEmpty(); }));
            QCOMPARE(config_text_get_value("brd_hostname", fixture.storedText(d.serial)),
                     d.hostname.toLatin1());
        }
        QVERIFY(rvx::test::waitFor([&] { return run.identifications() > devices.size(); }, 10000));
    }
};

RVX_TEST_MAIN(TestDemoFleet)
#include "test_demofleet.moc"

// The configuration dialogs through the window, end to end: a simulated agent is asked for
// its lists, its answers fill the open dialog while another device's do not, and OK sends the
// device exactly the category its agent takes.

#include "windowtest.h"

#include "dlgconfiguredisplays.h"
#include "dlgconnectiontype.h"
#include "dlglocale.h"
#include "dlgnetwork.h"
#include "dlgperipherals.h"

#include "configlib.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>

using rvx::test::AgentSetup;
using rvx::test::auditSentences;
using rvx::test::waitFor;
using rvx::test::WindowFixture;
using rvx::test::WindowTest;

namespace {

// The configuration categories of the configuration messages among the frames, and the
// types of the other frames ("55/36" for a configuration message of category 36).
QStringList kinds(const QList<SimAgent::Frame>& frames)
{
    QStringList out;
    for (const SimAgent::Frame& f : frames)
        out << (f.type == 55 && f.payload.size() > 0 ? QStringLiteral("55/%1").arg(uchar(f.payload.at(0)))
                                                     : QString::number(f.type));
    return out;
}

bool comboHolds(QComboBox* box, const QString& text)
{
    for (int i = 0; i < box->count(); ++i) {
        if (box->itemText(i).contains(text) || box->itemData(i).toString() == text)
            return true;
    }
    return false;
}

} // namespace

class TestDialogCommands : public WindowTest
{
    Q_OBJECT

private slots:

    void networkListsFromTheDeviceAsked();
    void localeAndPeripheralsByAgentGeneration_data();
    void localeAndPeripheralsByAgentGeneration();
    void displaysWithTheDevicesResolutions();
    void applicationModeAndSignageSync();
    void signageFoldersSynchronised();
};

void TestDialogCommands::networkListsFromTheDeviceAsked()
{
    AgentSetup wireless{"NW-1", "8.4.6"};
    wireless.configuration =
        "nic_enabled=yes\nnic_dhcp_enabled=yes\nnic_wireless_enabled=yes\n"
        "nic_wireless_dhcp_enabled=yes\nnic_wireless_ssid=Office\nfirewall_enabled=yes\n";
    SimAgent* asked = f->connect(wireless);
    SimAgent* other = f->connect(AgentSetup{"NW-2", "8.4.6"});
    QVERIFY(asked && other);
    asked->setListAnswer(65, 1, {"[ssids]", "Office\t6\t55\ton", "Lab\t11\t40\toff"});
    f->selectSerials({"NW-1"});
    QStringList listed;
    bool rogue = true;
    Ask::scriptNext([&](QDialog* d) {
        auto* ssids = rvx::test::child<QComboBox>(*d, "cmbxSsid");
        // Another device's list arrives while the dialog is open: it is not this device's.
        other->sendList(65, 1, {"[ssids]", "Rogue\t1\t99\toff"});
        QVERIFY(other->echo());
        QVERIFY(waitFor([&] { return comboHolds(ssids, "Lab"); }));
        rogue = comboHolds(ssids, "Rogue");
        for (int i = 0; i < ssids->count(); ++i)
            listed << ssids->itemData(i).toString();
        QMetaObject::invokeMethod(d, "accept");
    });
    f->window->on_configure_network_triggered();
    QVERIFY(!rogue);
    QVERIFY(listed.contains("Lab"));
    // The requests (the wireless list, the network information with the code of an 8.4.6
    // agent), then the firewall and the network settings.
    const QList<SimAgent::Frame> frames = WindowFixture::received(asked);
    QCOMPARE(kinds(frames), (QStringList{"65", "71", "55/36", "55/29"}));
    QCOMPARE(frames.at(1).code, quint8(1));
    QCOMPARE(kinds(WindowFixture::received(other)), QStringList{"49"}); // its own echo
    QCOMPARE(auditSentences(),
             (QStringList{"enabled the firewall on NW-1", "configured network parameters for NW-1"}));
}

void TestDialogCommands::localeAndPeripheralsByAgentGeneration_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QStringList>("locale");
    QTest::addColumn<QStringList>("peripherals");
    QTest::newRow("8.4.0: lists asked, text sent")
        << "8.4.0" << QStringList{"61", "55/4"} << QStringList{"62", "70", "55/34"};
    QTest::newRow("8.1.0: no lists, text sent") << "8.1.0" << QStringList{"55/4"} << QStringList{"55/34"};
    QTest::newRow("7.5.0: the older frames") << "7.5.0" << QStringList{"4"} << QStringList{"34"};
}

void TestDialogCommands::localeAndPeripheralsByAgentGeneration()
{
    QFETCH(QString, client);
    QFETCH(QStringList, locale);
    QFETCH(QStringList, peripherals);
    AgentSetup setup{"LP-1", client};
    setup.firmwareVersion = "4.11.0"; // chooses its audio devices
    setup.configuration = "timezone=Europe/Berlin\ntime_server=pool.ntp.org\nlocale=de_DE.UTF-8\n";
    SimAgent* agent = f->connect(setup);
    QVERIFY(agent);
    agent->setListAnswer(61, 1, {"[timezones]", "Antarctica/Troll", "[locales]", "de_DE.UTF-8 UTF-8"});
    f->selectSerials({"LP-1"});
    bool troll = false;
    Ask::scriptNext([&](QDialog* d) {
        if (locale.first() == "61") {
            QVERIFY(waitFor(
                [&] { return comboHolds(rvx::test::child<QComboBox>(*d, "cmbxRegion"), "Antarctica"); }));
            troll = true;
        }
        QMetaObject::invokeMethod(d, "accept");
    });
    f->window->on_set_locale_triggered();
    QCOMPARE(troll, locale.first() == "61");
    QCOMPARE(kinds(WindowFixture::received(agent)), locale);
    QCOMPARE(auditSentences(), QStringList{"set time zone and language on LP-1"});

    rvx::test::clearAudit();
    DlgPeripherals::resetAlsaWarningForTesting();
    Ask::scriptNext([](QDialog* d) { QMetaObject::invokeMethod(d, "accept"); });
    f->window->on_configure_periphs_triggered();
    QCOMPARE(kinds(WindowFixture::received(agent)), peripherals);
    QCOMPARE(auditSentences(), QStringList{"configured peripheral options for LP-1"});
}

void TestDialogCommands::displaysWithTheDevicesResolutions()
{
    SimAgent* agent = f->connect(AgentSetup{"DP-1", "8.4.5"});
    SimAgent* other = f->connect(AgentSetup{"DP-2", "8.4.5"});
    QVERIFY(agent && other);
    QList<QByteArray> lists;
    for (const char* output : {"[1]", "[2]", "[3]", "[4]"})
        lists << output << "2560x1440 (DMT 82)"
              << "1920x1080 (CEA 16)";
    agent->setListAnswer(59, 1, lists);
    f->selectSerials({"DP-1"});
    QStringList offered;
    Ask::scriptNext([&](QDialog* d) {
        auto* dialog = qobject_cast<DlgConfigureDisplays*>(d);
        other->sendList(59, 1, {"[1]", "640x480 (DMT 4)"});
        QVERIFY(other->echo());
        QVERIFY(waitFor([&] { return dialog->resolutionEntries(1).join(' ').contains("2560x1440"); }));
        offered = dialog->resolutionEntries(1);
        QMetaObject::invokeMethod(d, "accept");
    });
    f->window->on_configure_displays_triggered();
    QVERIFY(!offered.join(' ').contains("640x480"));
    QCOMPARE(kinds(WindowFixture::received(agent)), (QStringList{"59", "55/51"}));
    QCOMPARE(auditSentences(), QStringList{"reconfigured displays on DP-1"});
}

void TestDialogCommands::applicationModeAndSignageSync()
{
    AgentSetup setup{"AM-1", "8.4.0"};
    setup.configuration = "connection_type=rdp\nrdp_server=terminal.lab\n";
    SimAgent* agent = f->connect(setup);
    QVERIFY(agent);
    f->selectSerials({"AM-1"});
    Ask::scriptNext([](QDialog* d) { QMetaObject::invokeMethod(d, "accept"); });
    f->window->on_set_app_mode_triggered();
    const QList<SimAgent::Frame> frames = WindowFixture::received(agent);
    QCOMPARE(kinds(frames), QStringList{"55/18"});
    QCOMPARE(auditSentences().size(), 1);
    // Not in a signage mode: synchronising is refused and nothing is sent.
    f->window->on_sync_dsi_folders_triggered();
    QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Warning);
    QVERIFY(WindowFixture::received(agent).isEmpty());
}

void TestDialogCommands::signageFoldersSynchronised()
{
    const QString content = f->ws.path("signage1");
    rvx::test::writeRaw(content + "/clips/intro.mp4", QByteArray(5000, 'v'));
    rvx::test::writeRaw(content + "/slide.png", "png");
    const QString elsewhere = f->ws.path("private");
    rvx::test::writeRaw(elsewhere + "/secret.txt", "secret");
    f->window->settings()->setValue("signageContentDir1", QDir::toNativeSeparators(content));
    AgentSetup setup{"SG-1", "8.4.0"};
    setup.configuration = "connection_type=dsi\nds_output1_enabled=yes\nds_output1_action=movies\n"
                          "ds_output1_source=" +
                          QDir::toNativeSeparators(content).toLatin1() +
                          "\nds_output2_enabled=yes\nds_output2_action=movies\nds_output2_source=" +
                          QDir::toNativeSeparators(elsewhere).toLatin1() + "\n";
    SimAgent* agent = f->connect(setup);
    QVERIFY(agent);
    f->selectSerials({"SG-1"});
    // The folder the device names for output 2 was never configured: the administrator is
    // asked, and says No.
    Ask::answerNext(QMessageBox::No);
    f->window->on_sync_dsi_folders_triggered();
    const QList<SimAgent::Frame> frames = WindowFixture::received(agent);
    QCOMPARE(kinds(frames), QStringList{"55/45"});
    QCOMPARE(auditSentences(), QStringList{"synchonized dsi content on SG-1"});
    const QByteArray text = qUncompress(frames.first().payload.mid(1));
    const QByteArray list = config_text_get_value("dsi_output1_source_index", text);
    QVERIFY(!list.isEmpty());
    QVERIFY(config_text_get_value("dsi_output2_source", text).isEmpty());
    // The device pulls the list, then every file it names, with the digests it gives.
    const std::optional<QByteArray> pulled = agent->pullFile(QString::fromLatin1(list));
    QVERIFY(pulled);
    int files = 0;
    for (const QByteArray& line : pulled->split('\n')) {
        if (!line.startsWith("file="))
            continue;
        const int mark = line.lastIndexOf(" md5sum=");
        const std::optional<QByteArray> bytes = agent->pullFile(QString::fromLatin1(line.mid(5, mark - 5)));
        QVERIFY(bytes);
        QCOMPARE(QCryptographicHash::hash(*bytes, QCryptographicHash::Md5).toHex(), line.mid(mark + 8));
        ++files;
    }
    QCOMPARE(files, 2);
    QCOMPARE(agent->openRead(QDir::toNativeSeparators(elsewhere + "/secret.txt")), 3);
}

RVX_GUI_TEST_MAIN(TestDialogCommands)
#include "test_dialogcommands.moc"

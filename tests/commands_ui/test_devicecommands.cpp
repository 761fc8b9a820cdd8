// The device commands driven through the real main window: simulated agents of chosen
// versions, the prompts answered through the Ask seam, and what every agent received checked
// byte by byte, with the audit sentences and summaries the administrator sees.

#include "windowfixture.h"

#include "dlgusbredirection.h"
#include "wire.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QRadioButton>
#include <QUdpSocket>

namespace platform = rvx::platform;

using rvx::test::AgentSetup;
using rvx::test::WindowFixture;

namespace {

using rvx::test::bytes;

QByteArray lp(const QByteArray& text)
{
    return wire::lpString(text);
}

void scriptChoice(int option)
{
    Ask::scriptNext([option](QDialog* d) {
        d->findChild<QRadioButton*>(QStringLiteral("rdbtnChoice%1").arg(option))->setChecked(true);
        QMetaObject::invokeMethod(d, "accept");
    });
}

void scriptText(const QString& text)
{
    Ask::scriptNext([text](QDialog* d) {
        d->findChild<QLineEdit*>(QStringLiteral("tbxText"))->setText(text);
        QMetaObject::invokeMethod(d, "accept");
    });
}

// The optional-service dialog switched on with a password typed twice.
void scriptService(const QString& password)
{
    Ask::scriptNext([password](QDialog* d) {
        d->findChild<QGroupBox*>(QStringLiteral("grbxService"))->setChecked(true);
        d->findChild<QLineEdit*>(QStringLiteral("tbxPassword"))->setText(password);
        d->findChild<QLineEdit*>(QStringLiteral("tbxConfirm"))->setText(password);
        QMetaObject::invokeMethod(d, "accept");
    });
}

QList<Ask::Record> recordsOf(Ask::Kind kind)
{
    QList<Ask::Record> list;
    for (const Ask::Record& r : Ask::records()) {
        if (r.kind == kind)
            list << r;
    }
    return list;
}

} // namespace

class TestDeviceCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    SimAgent* agent(const QString& serial, const QString& client = QStringLiteral("8.4.0"),
                    const QString& firmware = QStringLiteral("4.10.0"))
    {
        AgentSetup setup;
        setup.serial = serial;
        setup.clientVersion = client;
        setup.firmwareVersion = firmware;
        return f->connect(setup);
    }

private slots:
    void init()
    {
        Ask::setTestMode(true);
        rvx::test::clearAudit();
        rvx::test::clearProcessCalls();
        rvx::test::setProcessHandler({});
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->start());
        Ask::clearRecords();
    }

    void cleanup()
    {
        f.reset();
        QCOMPARE(Ask::pendingAnswers(), 0);
    }

    void withoutSelectionNothingIsSent()
    {
        SimAgent* a = agent("S1");
        SimAgent* b = agent("S2");
        QVERIFY(a && b);

        // An "online" action names itself; the common sender's actions say "Send Command",
        // before any prompt.
        f->window->on_configure_x11vnc_triggered();
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("VNC Server"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("\nNo online devices selected! You must select at least one device."));
        for (auto slot : {&MainWindow::on_change_hostname_triggered, &MainWindow::on_set_log_level_triggered,
                          &MainWindow::on_reset_device_triggered}) {
            Ask::clearRecords();
            (f->window.get()->*slot)();
            QCOMPARE(Ask::records().size(), 1);
            QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Warning);
            QCOMPARE(Ask::lastMessage().title, QString("Send Command"));
            QCOMPARE(Ask::lastMessage().text,
                     QString("\nCommand was not sent because no online devices are selected."));
        }
        QCOMPARE(f->window->sendCommand(bytes({27, 0, 0, 0}), 4, QByteArray()), -1);

        // Two devices for a single-device action.
        f->selectSerials({"S1", "S2"});
        f->window->on_configure_shadowing_triggered();
        QCOMPARE(Ask::lastMessage().title, QString("Configure Session Shadowing"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("Multiple devices selected. Please select just one device."));
        f->window->on_configure_pxe_triggered();
        QCOMPARE(Ask::lastMessage().title, QString("Configure PXE Server"));

        QVERIFY(WindowFixture::received(a).isEmpty());
        QVERIFY(WindowFixture::received(b).isEmpty());
        QVERIFY(rvx::test::auditSentences().isEmpty());
    }

    void vncServerGatesAndCounts()
    {
        SimAgent* a = agent("S1", "8.3.0", "4.10.0");
        SimAgent* b = agent("S2", "8.3.1", "4.8.2");
        SimAgent* old = agent("S3", "8.2.5", "4.10.0");
        QVERIFY(a && b && old);
        f->selectSerials({"S1", "S2", "S3"});
        scriptService("s3cret");
        Ask::answerNext(QMessageBox::Yes); // the disclaimer
        f->window->on_configure_x11vnc_triggered();

        const QList<Ask::Record> questions = recordsOf(Ask::Kind::Question);
        QCOMPARE(questions.size(), 1);
        QCOMPARE(questions.first().defaultButton, QMessageBox::No);
        const QByteArray expected =
            WindowFixture::plainConfig(64, "x11vnc_enabled=yes\nx11vnc_password=czNjcmV0\n");
        QCOMPARE(WindowFixture::receivedRaw(a), QList<QByteArray>{expected});
        QCOMPARE(WindowFixture::receivedRaw(b), QList<QByteArray>{expected});
        QVERIFY(WindowFixture::received(old).isEmpty());
        QCOMPARE(Ask::lastMessage().title, QString("VNC Server"));
        QCOMPARE(
            Ask::lastMessage().text,
            QString(
                "The command was sent to 2 device(s).\n\n1 device(s) were ignored because their  firmware "
                "or client version is too old (<  4.10.0/4.8.2 and 8.3.0 respectively)."));
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"acknowledged VNC server disclaimer", "enabled VNC server on S1",
                              "enabled VNC server on S2"}));

        // Declining the disclaimer sends nothing.
        rvx::test::clearAudit();
        scriptService(QString());
        Ask::answerNext(QMessageBox::No);
        f->window->on_configure_x11vnc_triggered();
        QVERIFY(WindowFixture::received(a).isEmpty());
        QVERIFY(rvx::test::auditSentences().isEmpty());
    }

    void beaconNeedsTheStaticMethodOfTheStoredDevice()
    {
        AgentSetup bcast{"B1", "8.3.0", "4.10.0"};
        bcast.configuration = "rvx_server_mode=0\nrvx_discovery_mode=bcast\nrvx_beacon_enabled=no\n";
        AgentSetup fixed{"B2", "8.3.0", "4.10.0"};
        fixed.configuration = "rvx_server_mode=2\nrvx_discovery_mode=static\nrvx_beacon_enabled=no\n";
        SimAgent* a = f->connect(bcast);
        SimAgent* b = f->connect(fixed);
        QVERIFY(a && b);

        // The store holds the broadcast device; the other selected device is static.
        f->selectSerials({"B1"});
        f->selectSerials({"B1", "B2"});
        scriptChoice(1);
        f->window->on_configure_beacon_triggered();
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("RVX Beacon"));
        QVERIFY(Ask::lastMessage().text.startsWith("\nThe RVX beacon feature can only be enabled on a device "
                                                   "configured to use the \"Static\" RVX discovery method."));
        QVERIFY(WindowFixture::received(a).isEmpty());
        QVERIFY(WindowFixture::received(b).isEmpty());

        // With the static device in the store both get it; switching off needs no method.
        f->selectSerials({"B2"});
        f->selectSerials({"B1", "B2"});
        scriptChoice(1);
        f->window->on_configure_beacon_triggered();
        const QByteArray on = WindowFixture::plainConfig(67, "rvx_beacon_enabled=yes\n");
        QCOMPARE(WindowFixture::receivedRaw(a), QList<QByteArray>{on});
        QCOMPARE(WindowFixture::receivedRaw(b), QList<QByteArray>{on});
        QCOMPARE(Ask::lastMessage().text, QString("The command was sent to 2 device(s)."));
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"enabled RVX beacon on B1", "enabled RVX beacon on B2"}));
    }

    void rebootGatesAndInterruptionWarnings()
    {
        SimAgent* a = agent("R1", "8.2.0");
        SimAgent* old = agent("R2", "8.1.9");
        AgentSetup printer{"R3", "8.4.0"};
        printer.printServer = true;
        printer.hostname = "printer-1";
        SimAgent* p = f->connect(printer);
        QVERIFY(a && old && p);
        f->selectSerials({"R1", "R2", "R3"});

        scriptChoice(2);                   // Power Off
        Ask::answerNext(QMessageBox::Yes); // "Are you sure..."
        Ask::answerNext(QMessageBox::No);  // keep the print server running
        f->window->on_reboot_shutdown_triggered();
        const QList<Ask::Record> questions = recordsOf(Ask::Kind::Question);
        QCOMPARE(questions.size(), 2);
        QCOMPARE(questions.at(0).text, QString("Are you sure you want to power off selected devices?"));
        QCOMPARE(questions.at(1).title, QString("Interrupt Services"));
        QVERIFY(questions.at(1).text.startsWith("The device named printer-1 is a print server."));
        QCOMPARE(WindowFixture::receivedRaw(a), QList<QByteArray>{bytes({63, 0, 0, 0})});
        QVERIFY(WindowFixture::received(old).isEmpty());
        QVERIFY(WindowFixture::received(p).isEmpty());
        QCOMPARE(Ask::lastMessage().title, QString("Reboot/Shutdown"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("The command was sent to 1 device(s).\n\n1 device(s) cannot action "
                         "the request because their client version is too old (< 8.2.0)."));
        QCOMPARE(rvx::test::auditSentences(), QStringList{"shut down R1"});

        // Reboot, going ahead with the print server.
        rvx::test::clearAudit();
        f->selectSerials({"R1", "R3"});
        scriptChoice(1);
        Ask::answerNext(QMessageBox::Yes);
        Ask::answerNext(QMessageBox::Yes);
        Ask::clearRecords();
        f->window->on_reboot_shutdown_triggered();
        QCOMPARE(WindowFixture::receivedRaw(a), QList<QByteArray>{bytes({1, 0, 0, 0})});
        QCOMPARE(WindowFixture::receivedRaw(p), QList<QByteArray>{bytes({1, 0, 0, 0})});
        QVERIFY(recordsOf(Ask::Kind::Information).isEmpty()); // nobody was too old
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"rebooted R1", "acknowledged print server interruption warning for R3",
                              "rebooted R3"}));
    }

    void maintenanceModeSkipsDevicesAlreadyThere()
    {
        SimAgent* normal = agent("M1");
        AgentSetup inMaintenance{"M2"};
        inMaintenance.bootMode = ThinclientInfo::BootMaintenance;
        SimAgent* maint = f->connect(inMaintenance);
        QVERIFY(normal && maint);
        f->selectSerials({"M1", "M2"});

        scriptChoice(1);
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_maint_mode_triggered();
        QCOMPARE(Ask::lastMessage().title, QString("Enter Maintenance Mode"));
        QCOMPARE(Ask::lastMessage().text, QString("Are you sure you want selected devices to enter firmware "
                                                  "maintenance mode?"));
        QCOMPARE(WindowFixture::receivedRaw(normal), QList<QByteArray>{bytes({13, 0, 0, 0})});
        QVERIFY(WindowFixture::received(maint).isEmpty());

        scriptChoice(2);
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_maint_mode_triggered();
        QVERIFY(WindowFixture::received(normal).isEmpty());
        QCOMPARE(WindowFixture::receivedRaw(maint), QList<QByteArray>{bytes({50, 0, 0, 0})});
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"put M1 into Maintenance Mode", "took M2 out of Maintenance Mode"}));
    }

    void resetStateChoices()
    {
        SimAgent* a = agent("T1", "8.1.0");
        SimAgent* old = agent("T2", "8.0.9");
        QVERIFY(a && old);
        f->selectSerials({"T1", "T2"});

        scriptChoice(2); // keep the existing saved state: nothing to send
        f->window->on_set_reset_state_triggered();
        QVERIFY(WindowFixture::received(a).isEmpty());
        QVERIFY(recordsOf(Ask::Kind::Information).isEmpty());

        scriptChoice(3);
        f->window->on_set_reset_state_triggered();
        QCOMPARE(WindowFixture::receivedRaw(a), QList<QByteArray>{bytes({57, 0, 0, 1, 1})});
        QVERIFY(WindowFixture::received(old).isEmpty());
        QCOMPARE(Ask::lastMessage().title, QString("Status Update"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("The Set Reset State instruction was sent to 1 device(s).\n\n1 "
                         "device(s) were ignored because their client version is too old "
                         "(< 8.1.0)."));

        scriptChoice(1);
        f->window->on_set_reset_state_triggered();
        QCOMPARE(WindowFixture::receivedRaw(a), QList<QByteArray>{bytes({57, 0, 0, 1, 0})});
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"set factory reset state on T1", "set a custom reset state on T1"}));
    }

    void restrictedFeaturePassword()
    {
        SimAgent* modern = agent("P1", "8.4.0");
        SimAgent* legacy = agent("P2", "7.5.0");
        QVERIFY(modern && legacy);
        f->selectSerials({"P1", "P2"});

        scriptService("abcde");
        f->window->on_set_zylconfig_password_triggered();
        QCOMPARE(Ask::lastMessage().title, QString("Set Restricted Feature Password"));
        QCOMPARE(Ask::lastMessage().text, QString("\nPassword must be at least 6 characters long!"));
        QVERIFY(WindowFixture::received(modern).isEmpty());
        QVERIFY(WindowFixture::received(legacy).isEmpty());

        scriptService("abcdef");
        f->window->on_set_zylconfig_password_triggered();
        const QByteArray digest = "e80b5017098950fc58aad83c8c14978e";
        const QList<QByteArray> toModern = WindowFixture::receivedRaw(modern);
        QCOMPARE(toModern.size(), 1);
        QVERIFY(
            WindowFixture::isCompressedConfig(toModern.first(), 35, "zylconfig_password=" + digest + "\n"));
        QCOMPARE(WindowFixture::receivedRaw(legacy), QList<QByteArray>{bytes({35, 0, 0, 35}) + lp(digest)});
        QCOMPARE(rvx::test::auditSentences(), (QStringList{"set Restricted Feature Password on P1",
                                                           "set Restricted Feature Password on P2"}));
    }

    void hostnameInBothTransports()
    {
        SimAgent* modern = agent("H1", "8.3.0");
        SimAgent* legacy = agent("H2", "7.0.0");
        QVERIFY(modern && legacy);
        f->selectSerials({"H1", "H2"});

        scriptText(QString()); // refused by the dialog itself
        f->window->on_change_hostname_triggered();
        scriptText("   ");
        f->window->on_change_hostname_triggered();
        QVERIFY(WindowFixture::received(modern).isEmpty());
        QVERIFY(WindowFixture::received(legacy).isEmpty());

        scriptText("lab-9");
        f->window->on_change_hostname_triggered();
        QCOMPARE(WindowFixture::receivedRaw(modern),
                 QList<QByteArray>{WindowFixture::plainConfig(28, "brd_hostname=lab-9\n")});
        QCOMPARE(WindowFixture::receivedRaw(legacy), QList<QByteArray>{bytes({28, 0, 0, 8}) + lp("lab-9")});
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"set hostname to lab-9 on H1", "set hostname to lab-9 on H2"}));
    }

    void discoveryMethodForEveryAgentGeneration()
    {
        SimAgent* legacy = agent("D7", "7.5.0");
        SimAgent* plain = agent("D8", "8.3.9");
        SimAgent* packed = agent("D9", "8.4.0");
        QVERIFY(legacy && plain && packed);
        f->selectSerials({"D7", "D8", "D9"});
        Ask::scriptNext([](QDialog* d) {
            d->findChild<QRadioButton*>("rdbtnStatic")->click();
            d->findChild<QLineEdit*>("tbxHostname")->setText("rvx.lab");
            d->findChild<QLineEdit*>("tbxPort")->setText("8085");
            d->findChild<QLineEdit*>("tbxRetryInt")->setText("5");
            QMetaObject::invokeMethod(d, "accept");
        });
        f->window->on_configure_rvx_discovery_triggered();
        const QByteArray text = "rvx_server_mode=2\nrvx_discovery_mode=static\nrvx_server_hostname=rvx.lab\n"
                                "rvx_server_port=8085\nrvx_server_defined=yes\nrvx_retry_interval=5\n";
        QCOMPARE(WindowFixture::receivedRaw(legacy),
                 QList<QByteArray>{bytes({30, 1, 0, 20, 2}) + lp("rvx.lab") + lp("8085") + bytes({0, 5})});
        QCOMPARE(WindowFixture::receivedRaw(plain), QList<QByteArray>{WindowFixture::plainConfig(30, text)});
        const QList<QByteArray> toPacked = WindowFixture::receivedRaw(packed);
        QCOMPARE(toPacked.size(), 1);
        QVERIFY(WindowFixture::isCompressedConfig(toPacked.first(), 30, text));
        QCOMPARE(rvx::test::auditSentences().size(), 3);
        QCOMPARE(rvx::test::auditSentences().first(), QString("set RVX discovery mode to 2 on D7"));
    }

    void pxeServerForAnOlderAgentKeepsPowerSaving()
    {
        AgentSetup setup{"X7", "7.5.0", "4.0.0", 2};
        setup.configuration = "powersave=yes\npxe_server_enabled=no\n";
        SimAgent* legacy = f->connect(setup);
        QVERIFY(legacy);
        f->selectSerials({"X7"});
        Ask::scriptNext([](QDialog* d) {
            d->findChild<QGroupBox*>("grbxEnableServerCap")->setChecked(true);
            d->findChild<QLineEdit*>("tbxSubnet")->setText("10.77.0.0");
            d->findChild<QLineEdit*>("tbxNetmask")->setText("255.255.255.0");
            d->findChild<QLineEdit*>("tbxDhcpStart")->setText("10.77.0.100");
            d->findChild<QLineEdit*>("tbxDhcpEnd")->setText("10.77.0.200");
            d->findChild<QRadioButton*>("rdbtnPxeOnly")->setChecked(true);
            d->findChild<QRadioButton*>("rdbtnProvision")->setChecked(true);
            QMetaObject::invokeMethod(d, "accept");
        });
        f->window->on_configure_pxe_triggered();
        const QByteArray payload = bytes({1, 1, 1}) + lp("10.77.0.100") + lp("10.77.0.200") +
                                   lp("10.77.0.0") + lp("255.255.255.0") + bytes({1});
        QCOMPARE(WindowFixture::receivedRaw(legacy),
                 QList<QByteArray>{bytes({37, 2, 0, int(payload.size())}) + payload});
        QCOMPARE(rvx::test::auditSentences(), QStringList{"configured PXE boot services on X7"});

        // A firmware type without the capability is refused before the dialog.
        SimAgent* other = f->connect(AgentSetup{"X3", "8.4.0", "4.10.0", 3});
        QVERIFY(other);
        f->selectSerials({"X3"});
        f->window->on_configure_pxe_triggered();
        QCOMPARE(Ask::lastMessage().text,
                 QString("PXE boot server capability is not supported on devices with this firmware type."));
        QVERIFY(recordsOf(Ask::Kind::Dialog).size() == 1);
    }

    void usbRedirectionsForBothGenerations()
    {
        const QList<QByteArray> attached{"U: 0781:5567 SanDisk Cruzer", "U: 046d:c52b Logitech Receiver"};
        AgentSetup legacySpec{"U7", "7.5.0"};
        legacySpec.protocolType = 3; // rdp
        SimAgent* legacy = f->connect(legacySpec);
        AgentSetup modernSpec{"U8", "8.4.0"};
        modernSpec.configuration = "connection_type=rdp\nusb_redir_dev1=1234_0001\nusb_redir_dev2=046d_c52b\n"
                                   "rdp_usb_redirections=1234:0001 046d:c52b\n";
        SimAgent* modern = f->connect(modernSpec);
        QVERIFY(legacy && modern);
        legacy->setListAnswer(43, 0, attached);
        modern->setListAnswer(43, 0, attached);

        // The older agent takes only the redirected devices: no "No" choice is offered.
        f->selectSerials({"U7"});
        QStringList offered;
        Ask::scriptNext([&offered](QDialog* d) {
            auto* dialog = qobject_cast<DlgUsbRedirection*>(d);
            for (int i = 0; i < dialog->choiceBox(0)->count(); ++i)
                offered << dialog->choiceBox(0)->itemText(i);
            dialog->choiceBox(0)->setCurrentIndex(DlgUsbRedirection::Yes);
            QMetaObject::invokeMethod(d, "accept");
        });
        f->window->enumerateUsb();
        QVERIFY(rvx::test::waitFor([] { return Ask::pendingAnswers() == 0; }));
        QCOMPARE(offered, (QStringList{"Policy Default", "Yes"}));
        const QList<QByteArray> toLegacy = WindowFixture::receivedRaw(legacy);
        QCOMPARE(toLegacy.size(), 2); // the request, then the setting
        QCOMPARE(toLegacy.at(0), bytes({43, 0, 0, 0}));
        QCOMPARE(toLegacy.at(1), bytes({44, 0, 0, 14, 0, 1}) + lp("0781:5567"));

        // rdp on a newer agent: numbered lines, the number no longer used sent empty.
        f->selectSerials({"U8"});
        Ask::scriptNext([](QDialog* d) {
            auto* dialog = qobject_cast<DlgUsbRedirection*>(d);
            const QStringList ids = dialog->rowIds();
            dialog->choiceBox(ids.indexOf("0781:5567"))->setCurrentIndex(DlgUsbRedirection::Yes);
            dialog->choiceBox(ids.indexOf("046d:c52b"))->setCurrentIndex(DlgUsbRedirection::No);
            dialog->choiceBox(ids.indexOf("1234:0001"))->setCurrentIndex(DlgUsbRedirection::PolicyDefault);
            QMetaObject::invokeMethod(d, "accept");
        });
        f->window->enumerateUsb();
        QVERIFY(rvx::test::waitFor([] { return Ask::pendingAnswers() == 0; }));
        const QList<QByteArray> toModern = WindowFixture::receivedRaw(modern);
        QCOMPARE(toModern.size(), 2);
        QVERIFY(WindowFixture::isCompressedConfig(
            toModern.at(1), 44,
            "usb_redir_dev1=0781_5567\nusb_redir_dev2=\n"
            "rdp_usb_redirections=0781:5567\nrdp_usb_redir_denied=046d:c52b\n"));
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"configured USB redirections for U7", "configured USB redirections for U8"}));
    }

    void answersOnlyFromTheDeviceAsked()
    {
        const QList<QByteArray> attached{"U: 0781:5567 SanDisk Cruzer"};
        AgentSetup rdp{"UA", "8.4.0"};
        rdp.protocolType = 3;
        SimAgent* asked = f->connect(rdp);
        rdp.serial = "UB";
        SimAgent* other = f->connect(rdp);
        QVERIFY(asked && other);
        // A list nobody asked for opens no editor.
        other->sendList(43, 0, attached);
        QVERIFY(other->echo());
        QCoreApplication::processEvents();
        QVERIFY(recordsOf(Ask::Kind::Dialog).isEmpty());
        // Asked of one device: another device's list is dropped, the device's own opens it once.
        f->selectSerials({"UA"});
        f->window->enumerateUsb();
        other->sendList(43, 0, attached);
        QVERIFY(other->echo());
        QCoreApplication::processEvents();
        QVERIFY(recordsOf(Ask::Kind::Dialog).isEmpty());
        asked->sendList(43, 0, attached);
        QVERIFY(asked->echo());
        QVERIFY(rvx::test::waitFor([] { return recordsOf(Ask::Kind::Dialog).size() == 1; }));
        asked->sendList(43, 0, attached); // a second, late answer
        QVERIFY(asked->echo());
        QCoreApplication::processEvents();
        QCOMPARE(recordsOf(Ask::Kind::Dialog).size(), 1);
    }

    void wakeDevices()
    {
        SimAgent* sleeper = agent("W1", "8.4.5");
        SimAgent* awake = agent("W2", "8.4.5");
        AgentSetup pi{"W3", "8.4.5", "4.10.0", 11};
        SimAgent* raspberry = f->connect(pi);
        QVERIFY(sleeper && awake && raspberry);
        for (SimAgent* a : {sleeper, raspberry})
            a->disconnectFromServer();
        QVERIFY(rvx::test::waitFor(
            [this] { return !f->record("W1")->isOnline() && !f->record("W3")->isOnline(); }));
        const QString mac = f->record("W1")->macAddress().remove(':');

        // Offline devices are selected too; only the offline x86 one is woken.
        f->selectSerials({"W1", "W2", "W3"});
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_wake_device_triggered();
        const QString tool = platform::toolPath(platform::Tool::Wake);
        const QList<platform::ProcessCall> calls = rvx::test::processCalls();
        QCOMPARE(calls.size(), 2);
        QCOMPARE(calls.at(0).program, tool);
        QVERIFY(calls.at(0).arguments.isEmpty());
        QVERIFY(!calls.at(0).detached);
        QCOMPARE(calls.at(1).arguments, (QStringList{mac, "10.77.0.2", "255.255.255.0", "9"}));
        QVERIFY(calls.at(1).detached);
        QCOMPARE(Ask::lastMessage().title, QString("Wake Device(s)"));
        QVERIFY(Ask::lastMessage().text.startsWith(
            "Wake-on-LAN packet has been sent to 1 device(s).\n\n2 device(s) "
            "were ignored because they are already online"));
        QCOMPARE(rvx::test::auditSentences(), QStringList{"sent WoL packet to W1"});
        QVERIFY(WindowFixture::received(awake).isEmpty());

        // A wake tool that cannot run is reported before anything is asked.
        rvx::test::clearProcessCalls();
        rvx::test::setProcessHandler([](const platform::ProcessCall&) { return platform::ProcessResult{}; });
        Ask::clearRecords();
        f->window->on_wake_device_triggered();
        QCOMPARE(Ask::records().size(), 1);
        QCOMPARE(Ask::lastMessage().title, QString("Wake Device(s)"));
        QCOMPARE(Ask::lastMessage().text, "Cannot execute " + QDir::toNativeSeparators(tool) +
                                              ", please ensure that this is installed.");
        QCOMPARE(rvx::test::processCalls().size(), 1);
    }

    // The recorded command run for real inside the test namespace puts the magic packet on
    // the device's subnet.
    void wakePacketReachesTheSubnet()
    {
        SimAgent* sleeper = agent("W1", "8.4.5");
        QVERIFY(sleeper);
        sleeper->disconnectFromServer();
        QVERIFY(rvx::test::waitFor([this] { return !f->record("W1")->isOnline(); }));
        f->selectSerials({"W1"});

        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(rvx::test::binaryDir() + "/bin") + ":" + path);
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), 9, QUdpSocket::ShareAddress));
        rvx::test::runProcessesForReal();
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_wake_device_triggered();
        rvx::test::setProcessHandler({});
        qputenv("PATH", path);

        QVERIFY(rvx::test::waitFor([&] { return listener.hasPendingDatagrams(); }, 5000));
        const QNetworkDatagram datagram = listener.receiveDatagram();
        const QByteArray mac = QByteArray::fromHex(f->record("W1")->macAddress().remove(':').toLatin1());
        QByteArray magic(6, '\xFF');
        for (int i = 0; i < 16; ++i)
            magic += mac;
        QCOMPARE(datagram.data(), magic);
        QCOMPARE(datagram.destinationAddress().toString(), QString("10.77.0.255"));
    }

    void deleteWithAnOnlineDeviceInTheSelection()
    {
        SimAgent* online = agent("Z1");
        SimAgent* gone = agent("Z2");
        QVERIFY(online && gone);
        gone->disconnectFromServer();
        QVERIFY(rvx::test::waitFor([this] { return !f->record("Z2")->isOnline(); }));
        DeptInfo* orphans = f->window->departments().findById(0);
        QVERIFY(orphans->hasMember("z1") && orphans->hasMember("z2"));

        f->selectSerials({"Z1", "Z2"});
        Ask::answerNext(QMessageBox::No);
        f->window->on_delete_device_triggered();
        QCOMPARE(Ask::lastMessage().defaultButton, QMessageBox::No);
        QVERIFY(f->record("Z1") && f->record("Z2"));

        Ask::answerNext(QMessageBox::Yes);
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_delete_device_triggered();
        QVERIFY(!f->record("Z1"));
        QVERIFY(!f->record("Z2"));
        QVERIFY(!orphans->hasMember("z1") && !orphans->hasMember("z2"));
        QVERIFY(orphans->devices.isEmpty());
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"acknowledged online device deletion warning", "deleted Z1", "deleted Z2"}));
        QCOMPARE(f->window->flushDepartments(), 0);
        QFile file(f->window->departmentsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(!file.readAll().toLower().contains("z1"));
    }

    void sshSession()
    {
        QVERIFY(agent("Q1"));
        f->selectSerials({"Q1"});
        f->window->sshToDevice();
        QCOMPARE(rvx::test::processCalls().size(), 1);
        QCOMPARE(rvx::test::processCalls().first().arguments,
                 (QStringList{"-load", "zylos", "root@10.77.0.2"}));
        QVERIFY(rvx::test::processCalls().first().detached);

        rvx::test::setProcessHandler([](const platform::ProcessCall&) { return platform::ProcessResult{}; });
        f->window->sshToDevice();
        QCOMPARE(Ask::lastMessage().title, QString("PuTTY Launch Failed"));
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"initiated root SSH connection to Q1", "initiated root SSH connection to Q1"}));
    }
};

RVX_GUI_TEST_MAIN(TestDeviceCommands)
#include "test_devicecommands.moc"

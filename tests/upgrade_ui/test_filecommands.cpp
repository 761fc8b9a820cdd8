// Installing files, collecting logs, editing a Raspberry Pi's config.txt and assigning
// storage, end to end: the offscreen window and simulated agents over real TLS that receive,
// upload and answer for real.

#include "windowtest.h"

#include "dlgeditwhitelist.h"
#include "dlginstallondevice.h"
#include "dlgtextviewer.h"
#include "wire.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTimer>

using rvx::test::AgentSetup;
using rvx::test::auditSentences;
using rvx::test::WindowFixture;
using rvx::test::WindowTest;
using rvx::test::writeRaw;

namespace {

QByteArray lp(const QByteArray& text)
{
    return wire::lpString(text);
}

QByteArray installFrame(int kind, const QByteArray& password, const QByteArray& name, const QByteArray& body)
{
    QByteArray inner(1, static_cast<char>(kind));
    if (!password.isEmpty())
        inner += lp(password);
    inner += lp(name);
    wire::appendU32(inner, static_cast<quint32>(body.size()));
    QByteArray out;
    out.append(char(38));
    out.append(char(1));
    wire::appendU32(out, static_cast<quint32>(inner.size() + body.size()));
    return out + inner + body;
}

// Fills the next install dialog and presses OK.
void scriptInstall(int kind, const QString& path, const QString& password = QString())
{
    Ask::scriptNext([kind, path, password](QDialog* d) {
        rvx::test::child<QComboBox>(*d, "cmbFileType")->setCurrentIndex(kind - 1);
        rvx::test::child<QLineEdit>(*d, "tbxFilePath")->setText(path);
        rvx::test::child<QLineEdit>(*d, "tbxPassword")->setText(password);
        QMetaObject::invokeMethod(d, "accept");
    });
}

// The storage approvals an agent received (type 49 with a payload; the echo answers have
// none), once they have arrived.
QList<QByteArray> approvalsTo(SimAgent* agent)
{
    auto approvals = [agent] {
        QList<QByteArray> out;
        for (const SimAgent::Frame& frame : agent->frames()) {
            if (frame.type == 49 && !frame.payload.isEmpty())
                out << frame.raw;
        }
        return out;
    };
    rvx::test::waitFor([&] { return !approvals().isEmpty(); }, 5000);
    const QList<QByteArray> out = approvals();
    agent->clearFrames();
    return out;
}

// The install-file messages an agent received.
QList<QByteArray> installsTo(SimAgent* agent)
{
    QList<QByteArray> out;
    for (const QByteArray& frame : WindowFixture::receivedRaw(agent)) {
        if (frame.startsWith(char(38)))
            out << frame;
    }
    return out;
}

} // namespace

class TestFileCommands : public WindowTest
{
    Q_OBJECT

private slots:

    void installedFilesOnTheWire_data();
    void installedFilesOnTheWire();
    void certificateForTheNetworkDialog();
    void logsUploadedIntoTheChosenFolder();
    void raspberryPiConfiguration();
    void storageAssignment();
    void storageNeedsMaintenanceMode();
};

void TestFileCommands::installedFilesOnTheWire_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("sent");
    QTest::newRow("certificate bundle with its password")
        << 5 << "corp.p12" << QByteArray("\x30\x82\x01\x00 bundle", 11) << "s3cret" << QByteArray();
    QTest::newRow("wallpaper without one") << 4 << "desk.png" << QByteArray(70000, 'p') << "" << QByteArray();
    QTest::newRow("ssh key with windows line ends")
        << 3 << "admin.pub" << QByteArray("ssh-ed25519 AAAA admin@lab\r\nssh-rsa BBBB\r\nlast") << ""
        << QByteArray("ssh-ed25519 AAAA admin@lab\nssh-rsa BBBB\nlast\n");
}

void TestFileCommands::installedFilesOnTheWire()
{
    QFETCH(int, kind);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, password);
    QFETCH(QByteArray, sent);
    const QString path = f->ws.path("files/" + name);
    writeRaw(path, content);
    SimAgent* a = f->connect(AgentSetup{"IN-1"});
    SimAgent* b = f->connect(AgentSetup{"IN-2"});
    QVERIFY(a && b);
    f->selectSerials({"IN-1", "IN-2"});
    scriptInstall(kind, path, password);
    f->window->on_install_file_triggered();

    for (SimAgent* agent : {a, b}) {
        const QList<QByteArray> frames = WindowFixture::receivedRaw(agent);
        QCOMPARE(frames.size(), 1);
        if (sent.isEmpty()) {
            QCOMPARE(frames.first(), installFrame(kind, password.toLatin1(), name.toLatin1(), content));
            continue;
        }
        // The key goes under the name of the normalised copy, with only line feeds.
        QVERIFY(frames.first().endsWith(sent));
        QCOMPARE(frames.first().at(6), char(kind));
    }
    const QStringList audit = auditSentences();
    QCOMPARE(audit.size(), 2);
    if (sent.isEmpty())
        QCOMPARE(audit.first(), "installed file " + name + " on IN-1");
    // The temporary copy of a key goes once every stream has ended.
    const QStringList copies = QDir(f->ws.path("temp")).entryList({"sshkey_*"}, QDir::Files);
    QVERIFY2(copies.isEmpty(), qPrintable(copies.join(' ')));
}

void TestFileCommands::certificateForTheNetworkDialog()
{
    const QString path = f->ws.path("files/corp.cert.pfx");
    writeRaw(path, "bundle");
    SimAgent* agent = f->connect(AgentSetup{"CE-1"});
    QVERIFY(agent);
    f->selectSerials({"CE-1"});
    // The dialog opens on the certificate bundle; the name installed is told back.
    int openedOn = -1;
    Ask::scriptNext([&openedOn, path](QDialog* d) {
        openedOn = rvx::test::child<QComboBox>(*d, "cmbFileType")->currentIndex();
        rvx::test::child<QLineEdit>(*d, "tbxFilePath")->setText(path);
        rvx::test::child<QLineEdit>(*d, "tbxPassword")->setText("pw");
        QMetaObject::invokeMethod(d, "accept");
    });
    QString installed;
    f->window->onInstallCertificate(&installed);
    QCOMPARE(openedOn, 4);
    QCOMPARE(installed, QString("corp.cert.pfx"));
    QCOMPARE(WindowFixture::receivedRaw(agent),
             QList<QByteArray>{installFrame(5, "pw", "corp.cert.pfx", "bundle")});
}

void TestFileCommands::logsUploadedIntoTheChosenFolder()
{
    SimAgent* agent = f->connect(AgentSetup{"LG-1", "8.4.0"});
    QVERIFY(agent);
    f->selectSerials({"LG-1"});
    const QString folder = f->ws.path("logs-in");
    QVERIFY(QDir().mkpath(folder));
    Ask::answerNext(QMessageBox::No); // no session restart
    Ask::chooseNext(folder);
    f->window->on_get_logs_triggered();
    const QByteArray native = QDir::toNativeSeparators(folder).toLatin1();
    QCOMPARE(WindowFixture::receivedRaw(agent), QList<QByteArray>{wire::frame(21, 1, lp(native))});
    QCOMPARE(auditSentences(), QStringList{"retrieved log files from LG-1"});

    // The device writes its logs there; outside the folder nothing is written.
    QVERIFY(agent->pushFile(QString::fromLatin1(native) + "/syslog", 1, "kernel: up"));
    QVERIFY(agent->pushFile(QString::fromLatin1(native) + "/rvx_client.log", 1, QByteArray(9000, 'l')));
    QVERIFY(agent->echo()); // the end of the transfer was handled
    QCOMPARE(rvx::test::readRaw(folder + "/syslog"), QByteArray("kernel: up"));
    QCOMPARE(rvx::test::readRaw(folder + "/rvx_client.log").size(), 9000);
    writeRaw(f->ws.path("logs-out/victim.txt"), "victim");
    QCOMPARE(agent->openWrite(QDir::toNativeSeparators(f->ws.path("logs-out/victim.txt")), 1), 3);
    QCOMPARE(rvx::test::readRaw(f->ws.path("logs-out/victim.txt")), QByteArray("victim"));
}

void TestFileCommands::raspberryPiConfiguration()
{
    SimAgent* pi = f->connect(AgentSetup{"PI-1", "8.4.0", "4.10.0", 11});
    SimAgent* pc = f->connect(AgentSetup{"PC-1", "8.4.0", "4.10.0", 10});
    QVERIFY(pi && pc);
    // Not a Raspberry Pi: nothing is asked.
    f->selectSerials({"PC-1"});
    f->window->on_edit_pi_config_triggered();
    QCOMPARE(Ask::lastMessage().text, QString("This device is not a Raspberry Pi."));
    QVERIFY(WindowFixture::receivedRaw(pc).isEmpty());
    // A config.txt nobody asked for opens nothing.
    pc->sendFrame(68, 0, QByteArray("gpu_mem=64\0", 11));
    QVERIFY(pc->echo());
    QCoreApplication::processEvents();
    QVERIFY(WindowFixture::lastOf(Ask::Kind::Dialog).title.isEmpty());

    f->selectSerials({"PI-1"});
    f->window->on_edit_pi_config_triggered();
    QCOMPARE(WindowFixture::receivedRaw(pi), QList<QByteArray>{wire::shortFrame(68)});
    QString shown;
    Ask::scriptNext([&shown](QDialog* d) {
        auto* edit = d->findChild<QPlainTextEdit*>();
        shown = edit->toPlainText();
        edit->setPlainText("gpu_mem=128\nhdmi_force_hotplug=1\n");
        QMetaObject::invokeMethod(d, "accept");
    });
    Ask::answerNext(QMessageBox::Yes);
    pi->sendFrame(68, 0, QByteArray("gpu_mem=64\n\0", 12));
    QVERIFY(pi->echo());
    QVERIFY(rvx::test::waitFor([] { return Ask::pendingAnswers() == 0; }));
    QCOMPARE(shown, QString("gpu_mem=64\n"));
    QCOMPARE(installsTo(pi),
             QList<QByteArray>{installFrame(10, {}, "config.txt", "gpu_mem=128\nhdmi_force_hotplug=1\n")});
    QCOMPARE(auditSentences(), QStringList{"installed modified config.txt on PI-1"});
}

void TestFileCommands::storageAssignment()
{
    AgentSetup maintenance{"ST-1"};
    maintenance.bootMode = ThinclientInfo::BootMaintenance;
    SimAgent* first = f->connect(maintenance);
    maintenance.serial = "ST-2";
    SimAgent* second = f->connect(maintenance);
    SimAgent* normal = f->connect(AgentSetup{"ST-3"});
    QVERIFY(first && second && normal);
    writeRaw(f->ws.path("temp/old_blkdev_list.lst"), "1,a,b,c,d\n"); // an earlier run's
    f->selectSerials({"ST-1", "ST-2"});
    f->window->on_assign_storage_triggered();
    QCOMPARE(Ask::lastMessage().title, QString("Assign Storage"));
    QVERIFY(f->window->storageTimer()->isActive());
    QVERIFY(!QFile::exists(f->ws.path("temp/old_blkdev_list.lst")));
    QCOMPARE(WindowFixture::receivedRaw(first), QList<QByteArray>{wire::shortFrame(48)});
    // The devices upload their lists into the temporary folder, one with CR LF.
    QVERIFY(first->pushFile("ST-1_blkdev_list.lst", 0,
                            "1953525168,ATA,Disk,disk,sda\r\n8,USB,Stick,usb,sdb\r\n"));
    QVERIFY(second->pushFile("ST-2_blkdev_list.lst", 0, "1953525168,ATA,Disk,disk,sda\nbad,line\n"));

    // Five seconds later the selection has changed: the approval still goes to those asked.
    f->selectSerials({"ST-3"});
    QStringList rows;
    Ask::scriptNext([&rows](QDialog* d) {
        auto* table = d->findChild<QTableWidget*>("tblDevices");
        for (int r = 0; r < table->rowCount(); ++r)
            rows << table->item(r, 0)->text() + "|" + table->item(r, table->columnCount() - 1)->text();
        d->findChild<QCheckBox*>("chkAutoSelect")->setChecked(false);
        for (int r = 0; r < table->rowCount(); ++r) {
            if (table->item(r, 0)->text() == "953870")
                table->selectRow(r);
        }
        QMetaObject::invokeMethod(d, "accept");
    });
    Ask::answerNext(QMessageBox::Yes); // dedicate the devices
    f->window->configureStorage();
    QVERIFY(!f->window->storageTimer()->isActive());
    QCOMPARE(rows.size(), 2);
    QVERIFY(rows.contains("953870|2"));
    const QByteArray payload = "1953525168,ATA,Disk,disk,sda\n";
    QCOMPARE(rvx::test::readRaw(f->ws.path("temp/whitelist.txt")), payload);
    for (SimAgent* agent : {first, second})
        QCOMPARE(approvalsTo(agent), QList<QByteArray>{wire::frame(49, 0, payload)});
    QVERIFY(WindowFixture::receivedRaw(normal).isEmpty());
    QCOMPARE(auditSentences().size(), 2);
    QCOMPARE(auditSentences().first(),
             "approved storage devices for ST-1; approved storage was as follows:\n" +
                 QString::fromLatin1(payload));

    // Letting each device choose sends exactly AUTO-SELECT, whatever the whitelist holds.
    f->selectSerials({"ST-1"});
    f->window->on_assign_storage_triggered();
    Ask::scriptNext([](QDialog* d) { QMetaObject::invokeMethod(d, "accept"); });
    Ask::answerNext(QMessageBox::Yes);
    f->window->configureStorage();
    QCOMPARE(approvalsTo(first), QList<QByteArray>{wire::frame(49, 0, "AUTO-SELECT\n")});
}

void TestFileCommands::storageNeedsMaintenanceMode()
{
    QVERIFY(f->connect(AgentSetup{"SN-1"}));
    f->selectSerials({"SN-1"});
    f->window->on_assign_storage_triggered();
    QCOMPARE(
        Ask::lastMessage().text,
        QString("This command is only useful for partially installed devices in Maintenance Mode.  None of "
                "the selected devices are in Maintenance Mode."));
    QVERIFY(!f->window->storageTimer()->isActive());
}

RVX_GUI_TEST_MAIN(TestFileCommands)
#include "test_filecommands.moc"

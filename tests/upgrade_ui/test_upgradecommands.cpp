// Firmware, agent and hotfix upgrades end to end: the offscreen window with simulated agents
// over real TLS receives exactly the message, and each agent then pulls the files it names
// through the file transfer, which refuses anything it was not told about.

#include "windowtest.h"

#include "configlib.h"
#include "dlgmultichoice.h"
#include "dlgselecthotfixes.h"
#include "upgradefile.h"
#include "wire.h"

#include <QDate>
#include <QDir>
#include <QRadioButton>
#include <QTableWidget>

using rvx::test::AgentSetup;
using rvx::test::auditSentences;
using rvx::test::WindowFixture;
using rvx::test::WindowTest;
using rvx::test::writeRaw;

namespace {

QByteArray lp(const QString& text)
{
    return wire::lpString(text.toLatin1());
}

// Month, day and year as the upgrade messages carry them.
QByteArray today()
{
    const QDate d = QDate::currentDate();
    return lp(QString::number(d.month())) + lp(QString::number(d.day())) + lp(QString::number(d.year()));
}

QByteArray header(int type, int code, const QByteArray& payload)
{
    QByteArray out;
    out.append(static_cast<char>(type));
    out.append(static_cast<char>(code));
    wire::appendU16(out, static_cast<quint16>(payload.size()));
    return out + payload;
}

// Picks an option of the next multiple-choice dialog.
void chooseOption(int option)
{
    Ask::scriptNext([option](QDialog* d) {
        auto* dialog = qobject_cast<DlgMultiChoice*>(d);
        QVERIFY(dialog);
        dialog->findChild<QRadioButton*>(QStringLiteral("rdbtnChoice%1").arg(option))->setChecked(true);
        QMetaObject::invokeMethod(d, "accept");
    });
}

QString typeName(int type)
{
    return QString::fromLatin1(config_hardware_name(type));
}

} // namespace

class TestUpgradeCommands : public WindowTest
{
    Q_OBJECT

    QString store(const char* sub) const { return f->ws.path(QString::fromLatin1(sub)); }
    // An image file: a valid header for the type, then the content.
    QString image(const QString& path, int type, const QByteArray& content)
    {
        writeRaw(path, upgrade::makeHeader(type) + content);
        return path;
    }
    static QByteArray contentOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:

    void firmwareMessage_data();
    void firmwareMessage();
    void firmwareRefusals();
    void agentPackagesByType();
    void agentFolderMustBeInTheStore();
    void hotfixes();
    void hotfixMixedDevices();
};

void TestUpgradeCommands::firmwareMessage_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("sent"); // in slot order
    QTest::newRow("three images") << QStringList{"upgrade.img", "UIMAGE.BIN", "rfs_jffs2.img"}
                                  << QStringList{"UIMAGE.BIN", "rfs_jffs2.img", "upgrade.img"};
    QTest::newRow("upgrade image only")
        << QStringList{"upgrade.img", "notes.txt"} << QStringList{"upgrade.img"};
}

void TestUpgradeCommands::firmwareMessage()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, sent);
    const QString versionDir = store("firmware") + "/" + typeName(2) + "/8.4.7";
    QDir().mkpath(store("firmware") + "/" + typeName(2) + "/8.4.6");
    for (const QString& name : files)
        image(versionDir + "/" + name, 2, name.toLatin1().repeated(300));
    SimAgent* fitting = f->connect(AgentSetup{"FW-1"});
    SimAgent* other = f->connect(AgentSetup{"FW-2"});
    QVERIFY(fitting && other);
    f->selectSerials({"FW-1"});

    chooseOption(1); // the newest version
    Ask::answerNext(QMessageBox::Yes);
    f->window->on_upgrade_firmware_triggered();
    QCOMPARE(WindowFixture::lastOf(Ask::Kind::Question).title, QString("Upgrade Firmware"));

    const QString native = QDir::toNativeSeparators(versionDir);
    QByteArray payload = today() + lp(typeName(2));
    for (const QString& name : sent)
        payload += lp(native + QDir::separator() + name);
    const QList<QByteArray> frames = WindowFixture::receivedRaw(fitting);
    QCOMPARE(frames, QList<QByteArray>{header(3, 1, payload)});
    QVERIFY(WindowFixture::receivedRaw(other).isEmpty());
    QCOMPARE(auditSentences(), QStringList{"initiated firmware upgrade on FW-1 from " + native});
    // Every device reached: no report.
    QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).title, QString());

    // The device pulls each named image and receives exactly its bytes.
    for (const QString& name : sent) {
        const std::optional<QByteArray> pulled = fitting->pullFile(native + QDir::separator() + name);
        QVERIFY(pulled);
        QCOMPARE(*pulled, contentOf(versionDir + "/" + name));
    }
    // What it was not told about stays closed.
    writeRaw(f->ws.path("outside/secret.bin"), "secret");
    QCOMPARE(fitting->openRead(QDir::toNativeSeparators(f->ws.path("outside/secret.bin"))), 3);
    QCOMPARE(fitting->openRead(QDir::toNativeSeparators(f->ws.path("db/last_seen.csv"))), 3);
}

void TestUpgradeCommands::firmwareRefusals()
{
    SimAgent* a = f->connect(AgentSetup{"FR-1", "8.4.0", "4.10.0", 2});
    SimAgent* b = f->connect(AgentSetup{"FR-2", "8.4.0", "4.10.0", 5});
    QVERIFY(a && b);
    // Two firmware types: refused before any folder is looked at.
    f->selectSerials({"FR-1", "FR-2"});
    f->window->on_upgrade_firmware_triggered();
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(Ask::lastMessage().text,
             QString("You have selected multiple device types.\nPlease select just one type."));

    // No version folder.
    f->selectSerials({"FR-1"});
    f->window->on_upgrade_firmware_triggered();
    QCOMPARE(Ask::lastMessage().title, QString("Upgrade Firmware"));
    QVERIFY(Ask::lastMessage().text.startsWith("\nNo firmware upgrades were found."));

    // A picked folder whose last file is not an image still offers the images before it,
    // and one whose images name two types offers none.
    const QString own = f->ws.path("elsewhere/8.4.9");
    image(own + "/upgrade.img", 2, "good");
    writeRaw(own + "/upgrade.img.zzz", "not an image");
    QDir().mkpath(store("firmware") + "/" + typeName(2) + "/8.4.1");
    Ask::clearRecords();
    chooseOption(2);
    Ask::chooseNext(own);
    Ask::answerNext(QMessageBox::Yes);
    f->window->on_upgrade_firmware_triggered();
    const QList<QByteArray> frames = WindowFixture::receivedRaw(a);
    QCOMPARE(frames.size(), 1);
    QVERIFY(frames.first().contains(QDir::toNativeSeparators(own + "/upgrade.img").toLatin1()));
    // Outside the store, exactly the named file may be pulled, nothing beside it.
    QCOMPARE(*a->pullFile(QDir::toNativeSeparators(own + "/upgrade.img")), contentOf(own + "/upgrade.img"));
    QCOMPARE(a->openRead(QDir::toNativeSeparators(own + "/upgrade.img.zzz")), 3);

    a->clearFrames();
    image(own + "/uimage.bin", 5, "other type");
    chooseOption(2);
    Ask::chooseNext(own);
    Ask::answerNext(QMessageBox::Yes);
    f->window->on_upgrade_firmware_triggered();
    QCOMPARE(Ask::lastMessage().title, QString("Firmware Upgrade"));
    QCOMPARE(Ask::lastMessage().text, "No upgrade files found in:\n\n" + QDir::toNativeSeparators(own));
    QVERIFY(WindowFixture::receivedRaw(a).isEmpty());
}

void TestUpgradeCommands::agentPackagesByType()
{
    const QString folder = store("rvxclient") + "/8.4.6";
    QDir().mkpath(store("rvxclient") + "/8.4.5");
    const QString pkg5 = image(folder + "/client-5.deb", 5, "five");
    const QString pkg11 = image(folder + "/client-11.deb", 11, "eleven");
    SimAgent* five = f->connect(AgentSetup{"AG-5", "8.4.0", "4.10.0", 5});
    SimAgent* eleven = f->connect(AgentSetup{"AG-11", "8.4.0", "4.10.0", 11});
    SimAgent* two = f->connect(AgentSetup{"AG-2", "8.4.0", "4.10.0", 2});
    QVERIFY(five && eleven && two);
    // The three devices are in three groups of the list: select them all.
    f->window->selectAllInDept();

    chooseOption(1);
    f->window->on_upgrade_client_triggered();
    const QString native = QDir::toNativeSeparators(folder);
    const QByteArray path5 = QDir::toNativeSeparators(pkg5).toLatin1();
    QCOMPARE(WindowFixture::receivedRaw(five), QList<QByteArray>{header(12, 1, path5 + '\0' + today())});
    QCOMPARE(WindowFixture::receivedRaw(eleven).size(), 1);
    QVERIFY(WindowFixture::receivedRaw(two).isEmpty());
    QCOMPARE(
        Ask::lastMessage().text,
        QString("Upgrade command has been sent to 2 device(s).\n\n1 device(s) were ignored because they are "
                "offline or have a firmware type that the update does not support."));
    QVERIFY(auditSentences().contains("upgraded rvx_client on AG-5 from " + native));
    QVERIFY(auditSentences().contains("upgraded rvx_client on AG-11 from " + native));
    QCOMPARE(*eleven->pullFile(QDir::toNativeSeparators(pkg11)), contentOf(pkg11));
}

void TestUpgradeCommands::agentFolderMustBeInTheStore()
{
    QDir().mkpath(store("rvxclient") + "/8.4.0");
    const QString sub = store("rvxclient") + "/beta/8.5.0";
    image(sub + "/client.deb", 2, "beta");
    const QString lookAlike = f->ws.path("rvxclient-old/8.5.0");
    image(lookAlike + "/client.deb", 2, "old");
    SimAgent* agent = f->connect(AgentSetup{"AS-1"});
    QVERIFY(agent);
    f->selectSerials({"AS-1"});

    // A folder whose path merely starts like the store is outside it.
    chooseOption(2);
    Ask::chooseNext(lookAlike);
    f->window->on_upgrade_client_triggered();
    QCOMPARE(Ask::lastMessage().title, QString("Wrong Folder Selected"));
    QVERIFY(WindowFixture::receivedRaw(agent).isEmpty());

    // A sub-folder of the store is accepted.
    chooseOption(2);
    Ask::chooseNext(sub);
    f->window->on_upgrade_client_triggered();
    QCOMPARE(WindowFixture::receivedRaw(agent).size(), 1);
    QCOMPARE(auditSentences(),
             QStringList{"upgraded rvx_client on AS-1 from " + QDir::toNativeSeparators(sub)});
}

void TestUpgradeCommands::hotfixes()
{
    const QString folder = store("hotfix") + "/" + typeName(2);
    const QString fix = image(folder + "/a%8.4.0%Fix.bin", 2, "encrypted fix");
    const QString plain = folder + "/b%8.4.0%Plain.bin";
    writeRaw(plain, "no header");
    const QString second = folder + "/c%8.4.0%Second.bin";
    writeRaw(second, "no header either");
    writeRaw(folder + "/d%8.4.3%Other.bin", "another version");
    SimAgent* agent = f->connect(AgentSetup{"HF-1", "8.4.0", "8.4.0", 2});
    QVERIFY(agent);
    f->selectSerials({"HF-1"});

    QStringList rows;
    Ask::scriptNext([&rows](QDialog* d) {
        auto* table = d->findChild<QTableWidget*>("tblHotfixes");
        for (int r = 0; r < table->rowCount(); ++r)
            rows << table->item(r, 0)->text();
        table->selectAll();
        QMetaObject::invokeMethod(d, "accept");
    });
    // The first unencrypted file is declined, the second kept.
    Ask::answerNext(QMessageBox::No);
    Ask::answerNext(QMessageBox::Yes);
    f->window->on_install_hotfix_triggered();
    QCOMPARE(rows, (QStringList{"Fix", "Plain", "Second"}));
    QByteArray payload = today() + lp(typeName(2));
    payload.append(char(2));
    payload += lp(QFileInfo(fix).absoluteFilePath()) + lp(QFileInfo(second).absoluteFilePath());
    QCOMPARE(WindowFixture::receivedRaw(agent), QList<QByteArray>{header(26, 2, payload)});
    QCOMPARE(auditSentences(),
             (QStringList{"installed hotfix " + QFileInfo(fix).absoluteFilePath() + " on HF-1",
                          "installed hotfix " + QFileInfo(second).absoluteFilePath() + " on HF-1"}));
    QCOMPARE(*agent->pullFile(QFileInfo(fix).absoluteFilePath()), contentOf(fix));
    // The declined file was never named, so it is not served.
    QCOMPARE(agent->openRead(QDir::toNativeSeparators(f->ws.path("outside.bin"))), 3);
}

void TestUpgradeCommands::hotfixMixedDevices()
{
    QVERIFY(f->connect(AgentSetup{"HM-1", "8.4.0", "8.4.0", 2}));
    QVERIFY(f->connect(AgentSetup{"HM-2", "8.4.0", "8.4.1", 2}));
    f->selectSerials({"HM-1", "HM-2"});
    f->window->on_install_hotfix_triggered();
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(Ask::lastMessage().text,
             QString("You have selected multiple firmware versions.\n\nPlease select "
                     "devices with the same firmware version."));
}

RVX_GUI_TEST_MAIN(TestUpgradeCommands)
#include "test_upgradecommands.moc"

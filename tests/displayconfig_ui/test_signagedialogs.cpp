#include "ask.h"
#include "dlgdigitalsignage.h"
#include "dlgsignage.h"
#include "guisupport.h"
#include "platform.h"
#include "signageflow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTemporaryDir>

using rvx::Ask;

namespace {

using rvx::test::child;

void write(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A real rsync daemon on loopback with its own configuration, stopped by its process id.
class RsyncDaemon
{
public:
    bool start(const QString& config)
    {
        port = rvx::test::freeTcpPort();
        process.start(QStringLiteral("rsync"), {"--daemon", "--no-detach", "--config=" + config,
                                                "--address=127.0.0.1", "--port=" + QString::number(port)});
        if (!process.waitForStarted(5000))
            return false;
        return rvx::test::waitFor(
            [this] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.waitForConnected(200);
            },
            10000);
    }
    ~RsyncDaemon()
    {
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(2000);
        }
    }
    QString server() const { return QStringLiteral("127.0.0.1:%1").arg(port); }

    QProcess process;
    quint16 port = 0;
};

} // namespace

class TestSignageDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dsiEditor_data();
    void dsiEditor();
    void dsiEditorRefusesFolderWithLineBreak();
    void addAndRemovePlaylists();
    void addRefusesNames_data();
    void addRefusesNames();
    void unwritableConfiguration();
    void listAgainstRealDaemon();
    void listFailures();
    void okNeedsServerAndPlaylist();
    void synchronize();

private:
    QTemporaryDir m_dir;
    QString m_config;
    signage::OutputValues m_values;
};

void TestSignageDialogs::init()
{
    Ask::clearRecords();
    rvx::test::clearProcessCalls();
    rvx::test::setProcessHandler({});
    m_config = m_dir.filePath("rsyncd.conf");
    QFile::remove(m_config);
    rvx::platform::setRsyncdConfigPath(m_config);
    m_values = signage::OutputValues();
}

void TestSignageDialogs::cleanup()
{
    rvx::platform::setRsyncdConfigPath(QString());
}

void TestSignageDialogs::dsiEditor_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("duration");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("message");
    QTest::newRow("images") << "rdbtnImage"
                            << "8"
                            << "" << true << "";
    QTest::newRow("images without folder")
        << "rdbtnImage"
        << "8"
        << "" << false
        << "Content Folder cannot be empty unless displaying web content with a "
           "remote URL.";
    QTest::newRow("bad cycle time") << "rdbtnImage"
                                    << "8s"
                                    << "" << true << "\nCycle Time is not a valid number";
    QTest::newRow("video") << "rdbtnMovies"
                           << ""
                           << "" << true << "";
    QTest::newRow("remote web") << "rdbtnBrowser"
                                << "20"
                                << "https://intranet/menu" << false << "";
    QTest::newRow("web without url") << "rdbtnBrowser"
                                     << "20"
                                     << "" << false << "\nYou must provide a valid URL for web content";
}

void TestSignageDialogs::dsiEditor()
{
    QFETCH(QString, button);
    QFETCH(QString, duration);
    QFETCH(QString, url);
    QFETCH(bool, folder);
    QFETCH(QString, message);
    DlgDigitalSignage dialog(nullptr, 2, m_values);
    QCOMPARE(child<QGroupBox>(dialog, "grbxOutput")->title(), QString("Output 2"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxUrl")->text(),
             QString("file:///home/zyl/dsi_root/output2/index.html"));
    child<QRadioButton>(dialog, button.toLatin1().constData())->setChecked(true);
    QCOMPARE(child<QLineEdit>(dialog, "tbxDuration")->isEnabled(), button != "rdbtnMovies");
    child<QLineEdit>(dialog, "tbxDuration")->setText(duration);
    child<QLineEdit>(dialog, "tbxUrl")->setText(url);
    QCOMPARE(child<QLineEdit>(dialog, "tbxContentDir")->isEnabled(), button != "rdbtnBrowser");
    child<QLineEdit>(dialog, "tbxContentDir")->setText(folder ? m_dir.path() : QString());
    dialog.accept();
    if (!message.isEmpty()) {
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Ask::lastMessage().title, QString("Invalid Configuration"));
        QCOMPARE(Ask::lastMessage().text, message);
        QCOMPARE(m_values.action, QString());
        return;
    }
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_values.action, dialog.action());
    if (folder)
        QCOMPARE(m_values.source, QDir::toNativeSeparators(m_dir.path()));
}

void TestSignageDialogs::dsiEditorRefusesFolderWithLineBreak()
{
    const QString evil = m_dir.filePath("lobby\n[all]\npath = /");
    QVERIFY(QDir().mkpath(evil));
    DlgDigitalSignage dialog(nullptr, 1, m_values);
    QStringList picked;
    connect(&dialog, &DlgDigitalSignage::folderPicked, [&](const QString& f) { picked << f; });
    Ask::chooseNext(evil);
    child<QPushButton>(dialog, "btnBrowse")->click();
    QCOMPARE(Ask::lastMessage().title, QString("Invalid Folder"));
    QVERIFY(child<QLineEdit>(dialog, "tbxContentDir")->text().isEmpty());
    QVERIFY(picked.isEmpty());
    Ask::chooseNext(m_dir.path());
    child<QPushButton>(dialog, "btnBrowse")->click();
    QCOMPARE(picked, QStringList({m_dir.path()}));
}

void TestSignageDialogs::addAndRemovePlaylists()
{
    const QByteArray original = "use chroot = no\n[global]\nread only = yes\n\n[lobby]\npath = /srv/lobby\n\n"
                                "[menu]\npath = /srv/menu\n";
    write(m_config, original);
    QFile::setPermissions(m_config,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup);
    const QFileDevice::Permissions mode = QFileInfo(m_config).permissions();
    const QString content = m_dir.filePath("signage/foyer");
    QVERIFY(QDir().mkpath(content));

    DlgSignage dialog(nullptr, 1, m_values, "10.77.0.1");
    QCOMPARE(child<QComboBox>(dialog, "cmbxRsyncModule")->currentText(), QString("(Press the List button)"));
    QVERIFY(child<QCheckBox>(dialog, "chbxUseBundledRsync")->isChecked());
    child<QPushButton>(dialog, "btnListModules")->click();
    QCOMPARE(dialog.listedPlaylists(), QStringList({"lobby", "menu"}));

    Ask::chooseNext(content);
    Ask::scriptNext([](QDialog* d) {
        d->findChild<QLineEdit*>()->setText("globalx");
        QMetaObject::invokeMethod(d, "accept");
    });
    child<QPushButton>(dialog, "btnAddModule")->click();
    QCOMPARE(Ask::records().at(0).title,
             QString("Select the folder containing Digital Signage content for the new "
                     "playlist."));
    QCOMPARE(read(m_config), original + "[globalx]\npath = " + content.toUtf8() + "\n\n");
    QCOMPARE(QFileInfo(m_config).permissions(), mode);
    QCOMPARE(dialog.listedPlaylists(), QStringList({"lobby", "menu", "globalx"}));

    // Remove asks, then takes out that section alone.
    child<QComboBox>(dialog, "cmbxRsyncModule")->setCurrentText("lobby");
    Ask::answerNext(QMessageBox::Yes);
    child<QPushButton>(dialog, "btnRemoveModule")->click();
    QCOMPARE(Ask::lastMessage().title, QString("Remove Playlist"));
    QCOMPARE(Ask::lastMessage().text,
             QString("Are you sure that you want to remove the currently selected playlist "
                     "(lobby)?\n\n(only the definition will be removed, no files will be "
                     "deleted)"));
    QCOMPARE(read(m_config),
             QByteArray("use chroot = no\n[global]\nread only = yes\n\n[menu]\npath = /srv/menu\n"
                        "[globalx]\npath = ") +
                 content.toUtf8() + "\n\n");
    QCOMPARE(dialog.listedPlaylists(), QStringList({"menu", "globalx"}));
    QVERIFY(QFileInfo(content).isDir());

    // No keeps everything.
    Ask::answerNext(QMessageBox::No);
    child<QPushButton>(dialog, "btnRemoveModule")->click();
    QCOMPARE(dialog.listedPlaylists(), QStringList({"menu", "globalx"}));

    dialog.accept();
    QCOMPARE(m_values.source,
             QString("rsync://10.77.0.1/") + child<QComboBox>(dialog, "cmbxRsyncModule")->currentText());
}

void TestSignageDialogs::addRefusesNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("global") << "global"
                            << "The playlist cannot be named \"global\" (this is a reserved word).";
    QTest::newRow("duplicate") << "menu"
                               << "A playlist named \"menu\" already exists.";
}

void TestSignageDialogs::addRefusesNames()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    const QByteArray original = "[menu]\npath = /srv/menu\n";
    write(m_config, original);
    DlgSignage dialog(nullptr, 1, m_values, "10.77.0.1");
    Ask::chooseNext(m_dir.path());
    Ask::scriptNext([name](QDialog* d) {
        d->findChild<QLineEdit*>()->setText(name);
        QMetaObject::invokeMethod(d, "accept");
    });
    child<QPushButton>(dialog, "btnAddModule")->click();
    QCOMPARE(Ask::lastMessage().title, QString("Invalid Name"));
    QCOMPARE(Ask::lastMessage().text, message);
    QCOMPARE(read(m_config), original);

    // A folder whose name breaks a line is refused before a name is asked.
    const QString evil = m_dir.filePath("x\n[all]\npath = ");
    QVERIFY(QDir().mkpath(evil));
    Ask::chooseNext(evil);
    child<QPushButton>(dialog, "btnAddModule")->click();
    QCOMPARE(Ask::lastMessage().title, QString("Invalid Folder"));
    QCOMPARE(read(m_config), original);
}

void TestSignageDialogs::unwritableConfiguration()
{
    rvx::platform::setRsyncdConfigPath(m_dir.filePath("no/such/folder/rsyncd.conf"));
    DlgSignage dialog(nullptr, 1, m_values, "10.77.0.1");
    child<QPushButton>(dialog, "btnAddModule")->click();
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(Ask::lastMessage().title, QString("Rsyncd Configuration Unwritable"));
    QVERIFY(Ask::lastMessage().text.startsWith("RVX does not have write access to "));
}

void TestSignageDialogs::listAgainstRealDaemon()
{
    rvx::test::runProcessesForReal();
    const QString served = m_dir.filePath("served");
    QVERIFY(QDir().mkpath(served));
    write(m_dir.filePath("motd"), "Welcome\tto the signage server\n");
    write(m_dir.filePath("daemon.conf"),
          "use chroot = no\nmotd file = " + m_dir.filePath("motd").toUtf8() + "\n[lobby]\npath = " +
              served.toUtf8() + "\ncomment = Lobby screens\n[menu]\npath = " + served.toUtf8() + "\n");
    RsyncDaemon daemon;
    QVERIFY(daemon.start(m_dir.filePath("daemon.conf")));

    DlgSignage dialog(nullptr, 2, m_values, "10.77.0.1");
    child<QCheckBox>(dialog, "chbxUseBundledRsync")->setChecked(false);
    QVERIFY(!child<QPushButton>(dialog, "btnAddModule")->isEnabled());
    child<QLineEdit>(dialog, "tbxRsyncServer")->setText(daemon.server());
    child<QPushButton>(dialog, "btnListModules")->click();
    QVERIFY2(Ask::records().isEmpty(), qPrintable(Ask::lastMessage().text));
    QCOMPARE(dialog.listedPlaylists(), QStringList({"lobby", "menu"}));
    const QList<rvx::platform::ProcessCall> calls = rvx::test::processCalls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.first().arguments.last(), "rsync://" + daemon.server() + "/");

    child<QComboBox>(dialog, "cmbxRsyncModule")->setCurrentText("menu");
    child<QSpinBox>(dialog, "sboxRefreshInterval")->setValue(3);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(m_values.source, "rsync://" + daemon.server() + "/menu");
    QCOMPARE(m_values.refresh, QString("3"));
    QCOMPARE(m_values.mute, QString("no"));

    // A daemon without modules: the warning, with what rsync said (nothing here).
    write(m_dir.filePath("empty.conf"), "use chroot = no\n");
    RsyncDaemon empty;
    QVERIFY(empty.start(m_dir.filePath("empty.conf")));
    DlgSignage other(nullptr, 1, m_values, "10.77.0.1");
    child<QCheckBox>(other, "chbxUseBundledRsync")->setChecked(false);
    child<QLineEdit>(other, "tbxRsyncServer")->setText(empty.server());
    child<QPushButton>(other, "btnListModules")->click();
    QCOMPARE(Ask::lastMessage().title, QString("No Playlists Detected"));
    QCOMPARE(Ask::lastMessage().text,
             "The query to rsync server " + empty.server() +
                 " yielded no results.\n\nPlease note that the server must be an rsync daemon providing "
                 "unencrypted access to content via a TCP port (usually 873), not an SSH server.\n\nError "
                 "messages "
                 "were as follows:\n\n");

    // Nothing listening: rsync's own error text reaches the box.
    const QString closed = QStringLiteral("127.0.0.1:%1").arg(rvx::test::freeTcpPort());
    child<QLineEdit>(other, "tbxRsyncServer")->setText(closed);
    child<QPushButton>(other, "btnListModules")->click();
    QCOMPARE(Ask::lastMessage().title, QString("No Playlists Detected"));
    QVERIFY2(Ask::lastMessage().text.contains("Connection refused"), qPrintable(Ask::lastMessage().text));
}

void TestSignageDialogs::listFailures()
{
    rvx::test::setProcessHandler(
        [](const rvx::platform::ProcessCall&) { return rvx::platform::ProcessResult(); });
    DlgSignage dialog(nullptr, 1, m_values, "10.77.0.1");
    child<QCheckBox>(dialog, "chbxUseBundledRsync")->setChecked(false);
    child<QPushButton>(dialog, "btnListModules")->click();
    QCOMPARE(Ask::lastMessage().title, QString("No Server Selected"));
    QVERIFY(rvx::test::processCalls().isEmpty());
    child<QLineEdit>(dialog, "tbxRsyncServer")->setText("media.example.lan");
    child<QPushButton>(dialog, "btnListModules")->click();
    QCOMPARE(Ask::lastMessage().title, QString("List Playlists"));
    QCOMPARE(Ask::lastMessage().text, QString("Unable to start rsync (is it installed?)."));
    QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Critical));

    // The local service's file cannot be read (here: the path names a folder).
    rvx::platform::setRsyncdConfigPath(m_dir.path());
    child<QCheckBox>(dialog, "chbxUseBundledRsync")->setChecked(true);
    child<QPushButton>(dialog, "btnListModules")->click();
    QCOMPARE(Ask::lastMessage().title, QString("Rsyncd Configuration Unreadable"));
    QCOMPARE(Ask::lastMessage().text, "Unable to read " + QDir::toNativeSeparators(m_dir.path()));
}

void TestSignageDialogs::okNeedsServerAndPlaylist()
{
    DlgSignage dialog(nullptr, 1, m_values, "10.77.0.1");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().title, QString("No Playlist Selected"));
    child<QCheckBox>(dialog, "chbxUseBundledRsync")->setChecked(false);
    dialog.accept();
    QCOMPARE(Ask::lastMessage().title, QString("No Server Selected"));
    QCOMPARE(
        Ask::lastMessage().text,
        QString("A valid rsync server address must be specified if you choose not to use the local "
                "RVX-managed rsync service.  This must be an rsync daemon providing unencrypted access to "
                "content via a TCP port (usually 873), not an SSH server."));
    child<QLineEdit>(dialog, "tbxRsyncServer")->setText("rsync://media/");
    dialog.accept();
    QCOMPARE(Ask::lastMessage().title, QString("No Server Selected"));
    QCOMPARE(m_values.source, QString());
}

void TestSignageDialogs::synchronize()
{
    signageflow::Outputs outputs{};
    signageflow::Folders folders;
    folders.tempDir = m_dir.filePath("temp");
    QVERIFY(QDir().mkpath(folders.tempDir));

    const signageflow::Sync other = signageflow::prepareSync(nullptr, "rdp", outputs, folders);
    QCOMPARE(int(other.action), int(signageflow::SyncAction::NotInSignageMode));
    QCOMPARE(Ask::lastMessage().title, QString("Synchronize Digital Signage Folders"));
    QCOMPARE(Ask::lastMessage().text, QString("The selected device is not in Digital Signage mode."));
    QVERIFY(other.text.isEmpty() && other.legacyFrame.isEmpty());
    QCOMPARE(int(signageflow::prepareSync(nullptr, "signage", outputs, folders).action),
             int(signageflow::SyncAction::RestartMode));

    const QString configured = m_dir.filePath("content1");
    const QString reported = m_dir.filePath("elsewhere");
    write(configured + "/a.png", "a");
    write(reported + "/b.png", "b");
    folders.configured[0] = configured;
    outputs[0] = {true, "images", "10", "", "", "", "", "", ""}; // no source: the configured folder
    outputs[1] = {true, "images", "10", "", reported, "", "", "", ""};
    outputs[2] = {true, "browser", "10", "https://intranet/", "", "", "", "", ""};

    Ask::clearRecords();
    Ask::answerNext(QMessageBox::No);
    signageflow::Sync sync = signageflow::prepareSync(nullptr, "dsi", outputs, folders);
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(Ask::lastMessage().defaultButton, QMessageBox::No);
    QVERIFY(Ask::lastMessage().text.contains(QDir::toNativeSeparators(reported)));
    QCOMPARE(sync.outputs.size(), 1);
    QCOMPARE(sync.servedFolders, QStringList({configured}));
    const QString list1 = QDir(folders.tempDir).filePath("dsi_file_list_op1.txt");
    QCOMPARE(sync.text, "dsi_output1_source=" + QDir::toNativeSeparators(configured).toLatin1() +
                            "\ndsi_output1_source_index=" + QDir::toNativeSeparators(list1).toLatin1() +
                            "\n");
    QVERIFY(read(list1).startsWith("file=" + QDir::toNativeSeparators(configured + "/a.png").toLatin1()));
    QVERIFY(!QFile::exists(QDir(folders.tempDir).filePath("dsi_file_list_op2.txt")));

    Ask::answerNext(QMessageBox::Yes);
    sync = signageflow::prepareSync(nullptr, "dsi", outputs, folders);
    QCOMPARE(sync.servedFolders, QStringList({configured, reported}));
    QCOMPARE(sync.legacyFrame.at(0), char(45));

    // A folder chosen in this run is served without a question.
    folders.chosen << reported;
    Ask::clearRecords();
    sync = signageflow::prepareSync(nullptr, "dsi", outputs, folders);
    QVERIFY(Ask::records().isEmpty());
    QCOMPARE(sync.outputs.size(), 2);
}

RVX_GUI_TEST_MAIN(TestSignageDialogs)
#include "test_signagedialogs.moc"

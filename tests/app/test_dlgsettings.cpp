// The Options dialog: what it shows for a complete and an incomplete store, the order and
// texts of its validation, what Save stores, the working folder tree, the proxy fields, the
// column chooser, and start-up mode where only Save leaves the dialog.

#include "guisupport.h"

#include "ask.h"
#include "devicecolumns.h"
#include "dlgsettings.h"
#include "platform.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>

#include <memory>

using rvx::Ask;
namespace platform = rvx::platform;

class TestDlgSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<QSettings> m_settings;
    std::unique_ptr<rvx::test::Workspace> m_workspace;

    template <typename T>
    static T* field(QDialog& d, const char* name)
    {
        T* w = d.findChild<T*>(QLatin1String(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    static QLineEdit* edit(QDialog& d, const char* name) { return field<QLineEdit>(d, name); }

    // A complete store (nothing forced) with the given agent port.
    void writeCompleteSettings(quint16 sslPort = 8085)
    {
        m_workspace->writeSettings(*m_settings, sslPort, 9097);
        rvx::columns::writeDefaultsIfMissing(*m_settings);
    }

    static QStringList listKeys(QDialog& d)
    {
        QStringList keys;
        auto* list = field<QListWidget>(d, "lstColumns");
        for (int i = 0; i < list->count(); ++i)
            keys << list->item(i)->data(Qt::UserRole).toString();
        return keys;
    }

    static QListWidgetItem* columnItem(QDialog& d, const QString& key)
    {
        auto* list = field<QListWidget>(d, "lstColumns");
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->data(Qt::UserRole).toString() == key)
                return list->item(i);
        }
        return nullptr;
    }

private slots:
    void init()
    {
        m_settings.reset(platform::createSettings());
        m_settings->clear();
        m_workspace = std::make_unique<rvx::test::Workspace>();
        Ask::setTestMode(true);
    }

    void cleanup()
    {
        m_settings->clear();
        m_settings->sync();
        m_settings.reset();
        m_workspace.reset();
    }

    void firstStartProposals()
    {
        rvx::columns::writeDefaultsIfMissing(*m_settings);
        DlgSettings d(nullptr, m_settings.get(), true);
        QVERIFY(!d.settingsValid());
        QVERIFY(d.startupMode());
        QCOMPARE(d.windowTitle(), QString("RVX Preferences"));
        QCOMPARE(edit(d, "tbxWorkingDir")->text(), platform::defaultWorkingDir());
        QVERIFY(edit(d, "tbxWorkingDir")->isReadOnly());
        QCOMPARE(edit(d, "tbxSslPort")->text(), QString("8085"));
        QCOMPARE(edit(d, "tbxUdpPort")->text(), QString("9097"));
        QCOMPARE(edit(d, "tbxUdpFreq")->text(), QString("5"));
        QCOMPARE(edit(d, "tbxUpdateServer")->text(), QString("https://downloads.orbenium.com/downloads/"));
        QVERIFY(QUrl(edit(d, "tbxUpdateServer")->text()).path() == QLatin1String("/downloads/"));
        QVERIFY(field<QRadioButton>(d, "rdbtnStartup")->isChecked());
        QVERIFY(!field<QGroupBox>(d, "grbxProxy")->isChecked());
        QVERIFY(!edit(d, "tbxProxyUser")->isEnabled());
        QVERIFY(!edit(d, "tbxProxyPassword")->isEnabled());
        QCOMPARE(edit(d, "tbxProxyPassword")->echoMode(), QLineEdit::Password);
        QCOMPARE(edit(d, "tbxProxyHost")->placeholderText(), QString("Hostname or IP"));
        QCOMPARE(edit(d, "tbxProxyPort")->placeholderText(), QString("Port"));
        QCOMPARE(edit(d, "tbxProxyUser")->placeholderText(), QString("Username"));
        QCOMPARE(edit(d, "tbxProxyPassword")->placeholderText(), QString("Password"));
        // Nothing is shown while the dialog fills itself, and no folder is made yet.
        QVERIFY(Ask::records().isEmpty());
        QVERIFY(!m_settings->contains("rvxWorkingDir"));
    }

    void completeStoreIsShownAndValid()
    {
        writeCompleteSettings(8123);
        m_settings->setValue("rvxProxyServerEnabled", true);
        m_settings->setValue("rvxProxyServerIP", "proxy.lan");
        m_settings->setValue("rvxProxyServerPort", "3128");
        m_settings->setValue("rvxProxyServerNeedsCreds", true);
        m_settings->setValue("rvxProxyServerUsername", "ann");
        m_settings->setValue("rvxProxyServerPassword", "s3cret");
        DlgSettings d(nullptr, m_settings.get(), true);
        QVERIFY(d.settingsValid());
        QCOMPARE(edit(d, "tbxWorkingDir")->text(), QDir::toNativeSeparators(m_workspace->root()));
        QCOMPARE(edit(d, "tbxSslPort")->text(), QString("8123"));
        QVERIFY(field<QRadioButton>(d, "rdbtnManual")->isChecked());
        QVERIFY(field<QGroupBox>(d, "grbxProxy")->isChecked());
        QCOMPARE(edit(d, "tbxProxyHost")->text(), QString("proxy.lan"));
        QVERIFY(field<QCheckBox>(d, "chbxProxyAuth")->isChecked());
        QVERIFY(edit(d, "tbxProxyUser")->isEnabled());
        QCOMPARE(edit(d, "tbxProxyUser")->text(), QString("ann"));
        QCOMPARE(edit(d, "tbxProxyPassword")->text(), QString("s3cret"));
        QVERIFY(Ask::records().isEmpty());
    }

    void incompleteStore_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value"); // invalid = remove the key
        for (const char* key :
             {"rvxWorkingDir", "SSLPort", "UDPPort", "UDPFrequency", "rvxProxyServerEnabled",
              "rvxProxyServerIP", "rvxProxyServerPort", "rvxProxyServerNeedsCreds", "rvxProxyServerUsername",
              "rvxProxyServerPassword", "updateServer", "updateFrequency"})
            QTest::newRow(key) << QString(key) << QVariant();
        // An agent port the listener cannot use counts as missing.
        QTest::newRow("SSLPort 0") << QString("SSLPort") << QVariant(0);
        QTest::newRow("SSLPort 70000") << QString("SSLPort") << QVariant(70000);
    }

    void incompleteStore()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        writeCompleteSettings();
        if (value.isValid())
            m_settings->setValue(key, value);
        else
            m_settings->remove(key);
        DlgSettings d(nullptr, m_settings.get(), true);
        QVERIFY(!d.settingsValid());
    }

    void updateFrequencyShown_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("radio");
        QTest::newRow("manual") << "manual"
                                << "rdbtnManual";
        QTest::newRow("daily") << "daily"
                               << "rdbtnDaily";
        QTest::newRow("startup") << "startup"
                                 << "rdbtnStartup";
        QTest::newRow("other") << "Daily"
                               << "rdbtnStartup";
    }

    void updateFrequencyShown()
    {
        QFETCH(QString, stored);
        QFETCH(QString, radio);
        writeCompleteSettings();
        m_settings->setValue("updateFrequency", stored);
        DlgSettings d(nullptr, m_settings.get(), false);
        QVERIFY(field<QRadioButton>(d, radio.toLatin1().constData())->isChecked());
    }

    void validationOrder_data()
    {
        QTest::addColumn<QStringList>("cleared");
        QTest::addColumn<QString>("message");
        QTest::newRow("folder") << QStringList{"tbxWorkingDir", "tbxSslPort", "tbxUpdateServer"}
                                << "You must specify a folder where RVX can store files";
        QTest::newRow("ssl port") << QStringList{"tbxSslPort", "tbxUdpPort"}
                                  << "You must enter a value for SSL port number";
        QTest::newRow("udp port") << QStringList{"tbxUdpPort", "tbxUdpFreq"}
                                  << "You must enter a value for UDP port number";
        QTest::newRow("frequency") << QStringList{"tbxUdpFreq", "tbxUpdateServer"}
                                   << "You must enter a value for UDP broadcast frequency";
        QTest::newRow("update server")
            << QStringList{"tbxUpdateServer"} << "You must enter an update server URL";
    }

    void validationOrder()
    {
        QFETCH(QStringList, cleared);
        QFETCH(QString, message);
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), false);
        QSignalSpy finished(&d, &QDialog::finished);
        for (const QString& name : cleared)
            edit(d, name.toLatin1().constData())->clear();
        m_settings->setValue("SSLPort", 1111);
        d.accept();
        QCOMPARE(Ask::records().size(), 1);
        const Ask::Record r = Ask::lastMessage();
        QCOMPARE(r.kind, Ask::Kind::Information);
        QCOMPARE(r.title, QString("Input Validation"));
        QCOMPARE(r.text, message);
        QVERIFY(!r.parented);
        QCOMPARE(finished.count(), 0);
        // Nothing was stored.
        QCOMPARE(m_settings->value("SSLPort").toInt(), 1111);
    }

    void saveStoresSettingsAndFolders()
    {
        const QString root = m_workspace->path("new/rvx home");
        rvx::columns::writeDefaultsIfMissing(*m_settings);
        DlgSettings d(nullptr, m_settings.get(), true);
        QSignalSpy finished(&d, &QDialog::finished);
        edit(d, "tbxWorkingDir")->setText(QDir::toNativeSeparators(root));
        edit(d, "tbxSslPort")->setText("80a");
        edit(d, "tbxUdpPort")->setText("9100");
        edit(d, "tbxUdpFreq")->setText("seven");
        edit(d, "tbxUpdateServer")->setText("https://mirror.lan/downloads/");
        field<QRadioButton>(d, "rdbtnDaily")->setChecked(true);
        d.accept();

        QCOMPARE(finished.count(), 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(m_settings->value("rvxWorkingDir").toString(), QDir::toNativeSeparators(root));
        QCOMPARE(m_settings->value("SSLPort").toString(), QString("0"));
        QCOMPARE(m_settings->value("UDPPort").toInt(), 9100);
        QCOMPARE(m_settings->value("UDPFrequency").toString(), QString("0"));
        QCOMPARE(m_settings->value("updateServer").toString(), QString("https://mirror.lan/downloads/"));
        QCOMPARE(m_settings->value("updateFrequency").toString(), QString("daily"));
        QCOMPARE(m_settings->value("rvxProxyServerEnabled").toBool(), false);
        QCOMPARE(m_settings->value("rvxProxyServerIP").toString(), QString());
        QCOMPARE(m_settings->value("rvxProxyServerPort").toString(), QString());
        QVERIFY(m_settings->contains("rvxProxyServerPassword"));

        const QStringList keys = {"firmwareImageDir", "appImageDir", "hotfixDir",     "tempDir",
                                  "profileDir",       "databaseDir", "deviceFilesDir"};
        const QStringList folders = {"firmware", "rvxclient", "hotfix",   "temp",
                                     "profiles", "db",        "filestore"};
        for (int i = 0; i < keys.size(); ++i) {
            const QString expected = QDir::toNativeSeparators(root + "/" + folders.at(i));
            QCOMPARE(m_settings->value(keys.at(i)).toString(), expected);
            QVERIFY2(QFileInfo(root + "/" + folders.at(i)).isDir(), qPrintable(folders.at(i)));
        }

        const Ask::Record r = Ask::lastMessage();
        QCOMPARE(r.kind, Ask::Kind::Information);
        QCOMPARE(r.title, QString("Save settings"));
        QCOMPARE(r.text, QString("If you have changed HTTP proxy server settings, you need to restart RVX"));

        // The store reaches its file at once.
        QSettings reread(QSettings::NativeFormat, QSettings::UserScope, "Orbenium", "RVX");
        QCOMPARE(reread.value("UDPPort").toInt(), 9100);
    }

    void settingsFileIsOwnerOnly()
    {
#ifdef Q_OS_UNIX
        writeCompleteSettings();
        m_settings->sync();
        const QString file = m_settings->fileName();
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ReadGroup | QFileDevice::ReadOther));
        DlgSettings d(nullptr, m_settings.get(), false);
        field<QGroupBox>(d, "grbxProxy")->setChecked(true);
        edit(d, "tbxProxyHost")->setText("proxy.lan");
        edit(d, "tbxProxyPort")->setText("3128");
        field<QCheckBox>(d, "chbxProxyAuth")->click();
        edit(d, "tbxProxyUser")->setText("ann");
        edit(d, "tbxProxyPassword")->setText("pa ss");
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(m_settings->value("rvxProxyServerPassword").toString(), QString("pa ss"));
        const QFileDevice::Permissions mode = QFileInfo(file).permissions();
        QVERIFY(mode.testFlag(QFileDevice::ReadOwner) && mode.testFlag(QFileDevice::WriteOwner));
        const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::WriteOther | QFileDevice::ExeOther;
        QVERIFY(!(mode & others));
#else
        QSKIP("owner-only files are a Unix matter");
#endif
    }

    void folderThatCannotBeCreated()
    {
        // A regular file where the working folder should go.
        const QString blocker = m_workspace->path("plainfile");
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        writeCompleteSettings();
        const QString folder = QDir::toNativeSeparators(blocker + "/rvx");
        m_settings->setValue("rvxWorkingDir", folder);
        DlgSettings d(nullptr, m_settings.get(), false);
        QVERIFY(!d.settingsValid());
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("Creating Folder"));
        QCOMPARE(Ask::lastMessage().text, "Unable to create folder\n\n" + folder);
        QVERIFY(Ask::lastMessage().parented);

        // Saving it keeps the dialog open; the values before the folders are stored anyway.
        Ask::clearRecords();
        QSignalSpy finished(&d, &QDialog::finished);
        edit(d, "tbxUdpPort")->setText("9200");
        d.accept();
        QCOMPARE(finished.count(), 0);
        QCOMPARE(Ask::lastMessage().title, QString("Creating Folder"));
        QCOMPARE(m_settings->value("UDPPort").toInt(), 9200);
    }

    void subFolderThatCannotBeCreated()
    {
        writeCompleteSettings();
        QDir(m_workspace->path("db")).removeRecursively();
        QFile f(m_workspace->path("db"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        DlgSettings d(nullptr, m_settings.get(), true);
        QVERIFY(!d.settingsValid());
        QCOMPARE(Ask::lastMessage().title, QString("Creating Folder"));
        QCOMPARE(Ask::lastMessage().text, "Unable to create folder\n\n" +
                                              QDir::toNativeSeparators(m_workspace->root()) +
                                              QDir::toNativeSeparators("/db"));
    }

    void proxyUncheckedAcceptsEmptyFields()
    {
        writeCompleteSettings();
        m_settings->setValue("rvxProxyServerIP", "old.host");
        DlgSettings d(nullptr, m_settings.get(), false);
        edit(d, "tbxProxyHost")->clear();
        edit(d, "tbxProxyPort")->clear();
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(m_settings->value("rvxProxyServerEnabled").toBool(), false);
        QCOMPARE(m_settings->value("rvxProxyServerIP").toString(), QString());
        QCOMPARE(m_settings->value("rvxProxyServerPort").toString(), QString());
        QCOMPARE(m_settings->value("rvxProxyServerNeedsCreds").toBool(), false);
    }

    void proxyValidation_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("auth");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("no host") << ""
                                 << "" << true << ""
                                 << ""
                                 << "You must enter a value for Proxy server hostname/IP";
        QTest::newRow("no port") << "proxy"
                                 << "" << false << ""
                                 << ""
                                 << "You must enter a value for Proxy server port";
        QTest::newRow("port not a number") << "proxy"
                                           << "31x8" << true << ""
                                           << ""
                                           << "You must enter a valid value for Proxy server port";
        QTest::newRow("no user") << "proxy"
                                 << "3128" << true << ""
                                 << "pw"
                                 << "You must enter a value for Proxy server username";
        QTest::newRow("no password") << "proxy"
                                     << "3128" << true << "ann"
                                     << ""
                                     << "You must enter a value for Proxy server password";
    }

    void proxyValidation()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(bool, auth);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QString, message);
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), false);
        QSignalSpy finished(&d, &QDialog::finished);
        field<QGroupBox>(d, "grbxProxy")->setChecked(true);
        edit(d, "tbxProxyHost")->setText(host);
        edit(d, "tbxProxyPort")->setText(port);
        if (auth)
            field<QCheckBox>(d, "chbxProxyAuth")->click();
        edit(d, "tbxProxyUser")->setText(user);
        edit(d, "tbxProxyPassword")->setText(password);
        edit(d, "tbxSslPort")->setText("8200");
        d.accept();
        QCOMPARE(finished.count(), 0);
        const Ask::Record r = Ask::lastMessage();
        QCOMPARE(r.kind, Ask::Kind::Warning);
        QCOMPARE(r.title, QString("Proxy server settings"));
        QCOMPARE(r.text, message);
        QVERIFY(r.parented);
        // What came before the proxy is stored; the proxy is not.
        QCOMPARE(m_settings->value("SSLPort").toInt(), 8200);
        QCOMPARE(m_settings->value("rvxProxyServerEnabled").toBool(), false);
    }

    void authenticationUncheckClearsCredentials()
    {
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), false);
        field<QGroupBox>(d, "grbxProxy")->setChecked(true);
        auto* auth = field<QCheckBox>(d, "chbxProxyAuth");
        auth->click();
        QVERIFY(edit(d, "tbxProxyUser")->isEnabled());
        edit(d, "tbxProxyUser")->setText("ann");
        edit(d, "tbxProxyPassword")->setText("pw");
        auth->click();
        QVERIFY(!edit(d, "tbxProxyUser")->isEnabled());
        QVERIFY(!edit(d, "tbxProxyPassword")->isEnabled());
        QCOMPARE(edit(d, "tbxProxyUser")->text(), QString());
        QCOMPARE(edit(d, "tbxProxyPassword")->text(), QString());
    }

    void startupModeOnlySaveLeaves()
    {
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), true);
        QSignalSpy finished(&d, &QDialog::finished);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));

        d.reject();
        field<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        QTest::keyClick(&d, Qt::Key_Escape);
        d.close(); // the window's close button
        QCOMPARE(finished.count(), 0);
        QVERIFY(d.isVisible());
        QCOMPARE(Ask::records().size(), 4);
        for (const Ask::Record& r : Ask::records()) {
            QCOMPARE(r.kind, Ask::Kind::Warning);
            QCOMPARE(r.title, QString("Invalid input"));
            QCOMPARE(r.text, QString("\nClick on 'Save settings' to close this dialog box"));
        }

        field<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Save)->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QVERIFY(!d.isVisible());
    }

    void optionsModeCancelCloses()
    {
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), false);
        QSignalSpy finished(&d, &QDialog::finished);
        edit(d, "tbxSslPort")->setText("9999");
        field<QDialogButtonBox>(d, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(finished.count(), 1);
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(Ask::records().isEmpty());
        QCOMPARE(m_settings->value("SSLPort").toInt(), 8085);
    }

    void browseForFolder()
    {
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), false);
        auto* folder = edit(d, "tbxWorkingDir");
        const QString before = folder->text();
        auto* browse = field<QPushButton>(d, "btnWorkingDir");
        QCOMPARE(browse->text(), QString("RVX Folder"));

        Ask::chooseNext(QString()); // cancelled
        browse->click();
        QCOMPARE(folder->text(), before);
        QCOMPARE(Ask::records().last().kind, Ask::Kind::Directory);
        QCOMPARE(Ask::records().last().title, QString("Select RVX Folder"));
        QCOMPARE(Ask::records().last().text, before);

        Ask::chooseNext("/srv/rvx data");
        browse->click();
        QCOMPARE(folder->text(), QDir::toNativeSeparators("/srv/rvx data"));

        folder->clear();
        browse->click();
        QCOMPARE(Ask::records().last().text, QDir::toNativeSeparators(QDir::rootPath()));
    }

    void columnChooserShowsLayout()
    {
        writeCompleteSettings();
        m_settings->setValue("colStatus", 12); // a gap: renumbered at once
        DlgSettings d(nullptr, m_settings.get(), false);
        const QStringList keys = listKeys(d);
        QCOMPARE(keys.size(), 18);
        QCOMPARE(keys.mid(0, 7), QStringList({"colFwType", "colHostname", "colIpAddress", "colProtocolType",
                                              "colFirmwareVersion", "colClientVersion", "colStatus"}));
        QCOMPARE(keys.at(7), QString("colMacAddress"));
        QCOMPARE(keys.last(), QString("colProfile")); // not in the stored layout: hidden, at the end
        QCOMPARE(columnItem(d, "colDescription")->text(), QString("Comment"));
        for (const char* fixed : {"colFwType", "colHostname", "colStatus"}) {
            QListWidgetItem* item = columnItem(d, fixed);
            QCOMPARE(item->checkState(), Qt::Checked);
            QVERIFY(!(item->flags() & Qt::ItemIsEnabled));
        }
        QVERIFY(columnItem(d, "colMacAddress")->flags() & Qt::ItemIsUserCheckable);
        QVERIFY(columnItem(d, "colMacAddress")->flags() & Qt::ItemIsEnabled);
        QCOMPARE(columnItem(d, "colMacAddress")->checkState(), Qt::Unchecked);
        QCOMPARE(field<QListWidget>(d, "lstColumns")->dragDropMode(), QAbstractItemView::InternalMove);
        // Written back on opening, before any Save.
        QCOMPARE(m_settings->value("colStatus").toInt(), 6);
    }

    void columnChooserReorderIsSaved()
    {
        writeCompleteSettings();
        DlgSettings d(nullptr, m_settings.get(), false);
        auto* list = field<QListWidget>(d, "lstColumns");
        QListWidgetItem* serial = columnItem(d, "colSerialNumber");
        serial->setCheckState(Qt::Checked);
        list->insertItem(1, list->takeItem(list->row(serial)));
        columnItem(d, "colIpAddress")->setCheckState(Qt::Unchecked);
        d.accept();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(m_settings->value("colFwType").toInt(), 0);
        QCOMPARE(m_settings->value("colSerialNumber").toInt(), 1);
        QCOMPARE(m_settings->value("colHostname").toInt(), 2);
        QCOMPARE(m_settings->value("colIpAddress").toInt(), -1);
        QCOMPARE(m_settings->value("colStatus").toInt(), 6);
        QCOMPARE(m_settings->value("colText1").toString(), QString("Serial Number"));
        QCOMPARE(m_settings->value("colText3").toString(), QString("Mode"));
        QCOMPARE(m_settings->value("colText6").toString(), QString("Status"));
        QCOMPARE(m_settings->value("colText7").toString(), QString());

        // The next opening shows the saved order.
        DlgSettings again(nullptr, m_settings.get(), false);
        QCOMPARE(listKeys(again).mid(0, 3), QStringList({"colFwType", "colSerialNumber", "colHostname"}));
    }
};

RVX_GUI_TEST_MAIN(TestDlgSettings)
#include "test_dlgsettings.moc"

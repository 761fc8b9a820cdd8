// The main window: start-up in its order and its failures, the first start with the
// Options dialog, menus and tool-bar, enabling of the device actions, discovery switching,
// the proxy and update timers, closing, and "Reset RVX Options".

#include "guisupport.h"

#include "ask.h"
#include "dlgsettings.h"
#include "mainwindow.h"
#include "platform.h"
#include "sslserver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QNetworkProxy>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSplitter>
#include <QTcpServer>
#include <QTimer>
#include <QToolBar>

#include <memory>

using rvx::Ask;
namespace platform = rvx::platform;

namespace {

QSettings* openStore()
{
    return new QSettings(QSettings::NativeFormat, QSettings::UserScope, "Orbenium", "RVX");
}

const char* const NoNetworkText =
    "No network was detected. RVX will now close.\n\nFix your network, then restart RVX";

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<rvx::test::Workspace> m_ws;
    QList<int> m_quits;
    QList<QUrl> m_urls;
    quint16 m_port = 0;

    // A working folder with complete settings (so no Options dialog appears) and, unless
    // asked otherwise, a certificate already in the working folder.
    void prepare(bool withCertificate = true)
    {
        m_ws = std::make_unique<rvx::test::Workspace>();
        m_port = rvx::test::freeTcpPort();
        std::unique_ptr<QSettings> s(openStore());
        s->clear();
        m_ws->writeSettings(*s, m_port);
        if (withCertificate) {
            QVERIFY(QFile::copy(rvx::test::testCertificatePath(), m_ws->path("rvx.crt")));
            QVERIFY(QFile::copy(rvx::test::testKeyPath(), m_ws->path("rvx.key")));
        }
    }

    void setStored(const QString& key, const QVariant& value)
    {
        std::unique_ptr<QSettings> s(openStore());
        if (value.isValid())
            s->setValue(key, value);
        else
            s->remove(key);
    }

    static QAction* action(QWidget* w, const QString& name)
    {
        auto* a = w->findChild<QAction*>(name);
        if (!a)
            qFatal("no action %s", qPrintable(name));
        return a;
    }

    static QStringList entries(QMenu* menu)
    {
        QStringList list;
        const auto actions = menu->actions();
        for (QAction* a : actions)
            list << (a->isSeparator() ? QString("-") : a->menu() ? a->menu()->objectName() : a->objectName());
        return list;
    }

    static QList<Ask::Record> recordsOf(Ask::Kind kind)
    {
        QList<Ask::Record> list;
        for (const Ask::Record& r : Ask::records()) {
            if (r.kind == kind)
                list << r;
        }
        return list;
    }

    // The actions that need one or more / exactly one online device selected.
    static QStringList needOneOrMore()
    {
        return {"get_logs",         "install_file",     "load_config",     "install_hotfix",
                "upgrade_firmware", "upgrade_client",   "btnRebootDevice", "btnUpdateFirmware",
                "btnInstallFile",   "btnConfigStorage", "btnRefresh"};
    }
    static QStringList needOne()
    {
        return {"save_config",      "sync_dsi_folders", "set_app_mode",     "btnChangeName",  "btnSetMode",
                "btnConfigDisplay", "btnSetTimezone",   "btnConfigNetwork", "btnConfigPeriph"};
    }
    static QStringList alwaysEnabled()
    {
        return {"export_device_list", "exit",
                "refresh_device",     "maint_mode",
                "reset_device",       "change_hostname",
                "configure_pxe",      "delete_device",
                "wake_device",        "options",
                "reset_options",      "download_updates",
                "unread_news",        "toggle_broadcast",
                "offline_help",       "about_rvx",
                "btnBroadcast",       "btnDownloadUpdates"};
    }

    static void checkEnabled(QWidget* w, const QStringList& names, bool enabled)
    {
        for (const QString& name : names)
            QVERIFY2(action(w, name)->isEnabled() == enabled, qPrintable(name));
    }
    static void checkMenuEnabled(QWidget* w, const QStringList& menus, bool enabled)
    {
        for (const QString& name : menus)
            QVERIFY2(w->findChild<QMenu*>(name)->menuAction()->isEnabled() == enabled, qPrintable(name));
    }

private slots:
    void initTestCase()
    {
        MainWindow::setQuitScheduler([this](int ms) { m_quits << ms; });
        MainWindow::setUrlOpener([this](const QUrl& url) {
            m_urls << url;
            return true;
        });
    }

    void init()
    {
        Ask::setTestMode(true);
        m_quits.clear();
        m_urls.clear();
    }

    void cleanup()
    {
        platform::setInterfaceProvider({});
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::DefaultProxy));
        std::unique_ptr<QSettings> s(openStore());
        s->clear();
        m_ws.reset();
    }

    void startsWithCompleteSettings()
    {
        prepare();
        MainWindow w;
        QVERIFY(recordsOf(Ask::Kind::Dialog).isEmpty());
        QVERIFY2(Ask::records().isEmpty(), qPrintable(Ask::lastMessage().text));
        QVERIFY(m_quits.isEmpty());
        QVERIFY(!w.shutdownWithoutSaving());
        QCOMPARE(w.windowTitle(), QString("Orbenium Management Software"));
        QCOMPARE(w.size(), QSize(1280, 800));
        QVERIFY(!w.windowIcon().isNull());
        QCOMPARE(w.settings()->value("platform").toString(), platform::platformName());
        QVERIFY(w.server());
        QVERIFY(w.server()->isListening());
        QCOMPARE(w.server()->serverPort(), m_port);
        QVERIFY(w.statusLabel());
        QVERIFY(w.statusLabel()->text().isEmpty());
        QVERIFY(w.storageTimer());
        QVERIFY(!w.storageTimer()->isActive());
        QVERIFY(!w.dailyUpdateTimer());
        QCOMPARE(w.updateServer(), QString("https://updates.invalid/downloads/"));
        QVERIFY(w.splitter());
        QCOMPARE(w.centralWidget(), static_cast<QWidget*>(w.splitter()));
        QVERIFY(!w.splitter()->childrenCollapsible());
        QVERIFY(!w.departments().isEmpty());
        QCOMPARE(w.shownDepartment(), w.departments().at(0));
        QCOMPARE(w.latestFirmwareVersions().at(0), 0u);
        QCOMPARE(w.latestClientVersions().at(14), 0u);
        // The first-run column layout was written; the default departments are not.
        QCOMPARE(w.settings()->value("colStatus").toInt(), 6);
        QVERIFY(!QFileInfo::exists(m_ws->path("departments.ini")));
    }

    void menus()
    {
        prepare();
        MainWindow w;
        QStringList bar;
        QStringList titles;
        for (QAction* a : w.menuBar()->actions()) {
            bar << a->menu()->objectName();
            titles << a->text();
        }
        QCOMPARE(bar, QStringList({"menuFile", "menuDevice", "menuTools", "menuHelp"}));
        QCOMPARE(titles, QStringList({"&File", "&Device", "&Tools", "&Help"}));

        const auto menu = [&w](const char* name) { return w.findChild<QMenu*>(name); };
        QCOMPARE(entries(menu("menuFile")),
                 QStringList({"get_logs", "install_file", "load_config", "save_config", "-",
                              "export_device_list", "-", "exit"}));
        QCOMPARE(entries(menu("menuDevice")),
                 QStringList({"menuBootstrap", "menuCommands", "menuUpdate", "-", "menuLocalConf",
                              "menuNetConf", "-", "delete_device", "set_app_mode", "wake_device"}));
        QCOMPARE(entries(menu("menuBootstrap")), QStringList({"assign_storage"}));
        QCOMPARE(entries(menu("menuCommands")),
                 QStringList({"refresh_device", "maint_mode", "reboot_shutdown", "reset_device",
                              "set_reset_state", "restart_mode", "sync_dsi_folders"}));
        QCOMPARE(entries(menu("menuUpdate")),
                 QStringList({"install_hotfix", "upgrade_firmware", "upgrade_client"}));
        QCOMPARE(entries(menu("menuLocalConf")),
                 QStringList({"change_hostname", "configure_displays", "configure_periphs", "edit_pi_config",
                              "enter_comment", "set_log_level", "set_powersave_mode",
                              "set_zylconfig_password", "set_locale"}));
        QCOMPARE(entries(menu("menuNetConf")),
                 QStringList({"configure_network", "configure_shadowing", "configure_rvx_discovery", "-",
                              "menuOptionalSvcs"}));
        QCOMPARE(entries(menu("menuOptionalSvcs")),
                 QStringList({"configure_pxe", "configure_rrsh", "configure_beacon", "configure_x11vnc"}));
        QCOMPARE(entries(menu("menuTools")), QStringList({"options", "reset_options", "-", "download_updates",
                                                          "-", "unread_news", "-", "toggle_broadcast"}));
        QCOMPARE(entries(menu("menuHelp")), QStringList({"offline_help", "-", "about_rvx"}));

        const QStringList submenuTitles = {
            "Bootstrap",        "Commands", "Update", "Local Configuration", "Network Configuration",
            "Optional Services"};
        const QStringList submenus = {"menuBootstrap", "menuCommands", "menuUpdate",
                                      "menuLocalConf", "menuNetConf",  "menuOptionalSvcs"};
        for (int i = 0; i < submenus.size(); ++i)
            QCOMPARE(menu(submenus.at(i).toLatin1().constData())->title(), submenuTitles.at(i));

        const struct
        {
            const char* name;
            const char* text;
            const char* shortcut;
        } table[] = {
            {"get_logs", "Get Log Files", "Ctrl+G"},
            {"install_file", "Install File", "Ctrl+I"},
            {"load_config", "Load Configuration", "Ctrl+L"},
            {"save_config", "Save Configuration", "Ctrl+S"},
            {"export_device_list", "Export Device List", "Ctrl+E"},
            {"exit", "Exit", "Ctrl+X"},
            {"assign_storage", "Assign Storage", "Ctrl+Alt+A"},
            {"refresh_device", "Refresh Information", "Ctrl+Alt+I"},
            {"maint_mode", "Enter/Exit Maintenance Mode", "Ctrl+Alt+E"},
            {"reboot_shutdown", "Reboot/Power Off Device", "Ctrl+Alt+P"},
            {"reset_device", "Reset to Defaults", "Ctrl+Alt+D"},
            {"set_reset_state", "Set Reset State", "Ctrl+Alt+R"},
            {"restart_mode", "Restart Mode Applications", "Ctrl+Alt+M"},
            {"sync_dsi_folders", "Synchronize Digital Signage Folders", "Ctrl+Alt+S"},
            {"install_hotfix", "Install Hotfix", "Ctrl+Alt+H"},
            {"upgrade_firmware", "Upgrade Firmware", "Ctrl+Alt+F"},
            {"upgrade_client", "Upgrade RVX Client", "Ctrl+Alt+C"},
            {"change_hostname", "Change Hostname", "Ctrl+Shift+H"},
            {"configure_displays", "Configure Displays", "Ctrl+Shift+D"},
            {"configure_periphs", "Configure Peripherals", "Ctrl+Shift+P"},
            {"edit_pi_config", "Edit Raspberry Pi Configuration", "Ctrl+Shift+E"},
            {"enter_comment", "Enter Comment", "Ctrl+Shift+C"},
            {"set_log_level", "Set Client Log Level", "Ctrl+Shift+L"},
            {"set_powersave_mode", "Set Power Saving", "Ctrl+Shift+S"},
            {"set_zylconfig_password", "Set Restricted Feature Password", "Ctrl+Shift+R"},
            {"set_locale", "Set Time Zone and Language", "Ctrl+Shift+Z"},
            {"configure_network", "Configure Network", "Ctrl+Shift+N"},
            {"configure_shadowing", "Configure Session Shadowing", "Ctrl+Alt+Shift+S"},
            {"configure_rvx_discovery", "Configure RVX Discovery", "Ctrl+Shift+T"},
            {"configure_pxe", "Configure PXE Server", "Ctrl+Alt+Shift+P"},
            {"configure_rrsh", "Configure Remote Triggering", "Ctrl+Alt+Shift+T"},
            {"configure_beacon", "Configure RVX Beacon", "Ctrl+Shift+B"},
            {"configure_x11vnc", "Configure VNC Server", "Ctrl+Alt+Shift+V"},
            {"delete_device", "Delete Device", "Ctrl+D"},
            {"set_app_mode", "Set Application Mode", "Ctrl+M"},
            {"wake_device", "Wake Device", "Ctrl+W"},
            {"options", "Options", "Ctrl+O"},
            {"reset_options", "Reset RVX Options", "Ctrl+R"},
            {"download_updates", "Download Updates", "Ctrl+U"},
            {"unread_news", "Mark News as Unread", "Ctrl+N"},
            {"toggle_broadcast", "Toggle Discovery", "Ctrl+T"},
            {"offline_help", "Online Help", "Ctrl+H"},
            {"about_rvx", "About RVX ...", "Ctrl+A"},
        };
        QSet<QString> seen;
        for (const auto& row : table) {
            QAction* a = action(&w, row.name);
            QCOMPARE(a->text(), QString(row.text));
            QCOMPARE(a->shortcut(), QKeySequence(QString(row.shortcut)));
            // No two actions share a shortcut (an ambiguous one would trigger neither).
            QVERIFY2(!seen.contains(a->shortcut().toString()), row.shortcut);
            seen.insert(a->shortcut().toString());
        }
    }

    void toolBar()
    {
        prepare();
        MainWindow w;
        auto* bar = w.findChild<QToolBar*>("mainToolBar");
        QVERIFY(bar);
        QCOMPARE(w.toolBarArea(bar), Qt::TopToolBarArea);
        QCOMPARE(bar->allowedAreas(), Qt::AllToolBarAreas);
        QVERIFY(!bar->isFloatable());
        QCOMPARE(bar->iconSize(), QSize(48, 48));
        QCOMPARE(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

        const struct
        {
            const char* name;
            const char* text;
            const char* tip;
        } table[] = {
            {"btnBroadcast", "Discover", "Discover thin clients"},
            {"btnChangeName", "Name", "Change device hostname"},
            {"btnSetMode", "Mode", "Set application mode (RDP, HDX, VNC etc)"},
            {"btnConfigDisplay", "Displays", "Configure displays"},
            {"btnRebootDevice", "Reboot", "Reboot/Power Off device"},
            {"btnSetTimezone", "Locale", "Set time zone and language"},
            {"btnUpdateFirmware", "Upgrade",
             "Update firmware\n\nThe device must be in maintenance mode for a firmware upgrade to occur"},
            {"btnConfigNetwork", "Network", "Configure network"},
            {"btnConfigPeriph", "Peripherals", "Configure keyboard, mouse and audio"},
            {"btnInstallFile", "Upload", "Install files on device"},
            {"btnDownloadUpdates", "Download", "Download updates from website"},
            {"btnConfigStorage", "Storage", "Assign ZYLOS storage devices"},
            {"btnRefresh", "Refresh", "Refresh device information"},
        };
        const auto actions = bar->actions();
        QVERIFY(actions.size() >= 13);
        for (int i = 0; i < 13; ++i) {
            QAction* a = actions.at(i);
            QCOMPARE(a->objectName(), QString(table[i].name));
            QCOMPARE(a->text(), QString(table[i].text));
            QCOMPARE(a->toolTip(), QString(table[i].tip));
            QVERIFY2(!a->icon().pixmap(48, 48).isNull(), table[i].name);
        }

        // Discover shows its state: different images when on and off.
        QAction* discover = actions.at(0);
        QVERIFY(discover->isCheckable());
        const QImage on = discover->icon().pixmap(QSize(48, 48), QIcon::Normal, QIcon::On).toImage();
        const QImage off = discover->icon().pixmap(QSize(48, 48), QIcon::Normal, QIcon::Off).toImage();
        QVERIFY(!on.isNull() && !off.isNull());
        QVERIFY(on != off);

        // The flat logo button opens the web site.
        auto* logo = bar->findChild<QPushButton*>("btnLogo");
        QVERIFY(logo);
        QVERIFY(logo->isFlat());
        QVERIFY(!logo->icon().isNull());
        logo->click();
        QCOMPARE(m_urls, QList<QUrl>({QUrl(MainWindow::websiteUrl())}));
    }

    void deviceActionsFollowSelection()
    {
        prepare();
        MainWindow w;
        const QStringList oneOrMoreMenus = {"menuBootstrap", "menuCommands"};
        const QStringList oneMenus = {"menuLocalConf", "menuNetConf"};
        // Nothing is selected at start-up.
        checkEnabled(&w, needOneOrMore(), false);
        checkEnabled(&w, needOne(), false);
        checkMenuEnabled(&w, oneOrMoreMenus + oneMenus, false);
        checkEnabled(&w, alwaysEnabled(), true);
        checkMenuEnabled(&w, {"menuUpdate", "menuOptionalSvcs"}, true);

        w.applyActionRules(1);
        checkEnabled(&w, needOneOrMore() + needOne(), true);
        checkMenuEnabled(&w, oneOrMoreMenus + oneMenus, true);

        w.applyActionRules(3);
        checkEnabled(&w, needOneOrMore(), true);
        checkEnabled(&w, needOne(), false);
        checkMenuEnabled(&w, oneOrMoreMenus, true);
        checkMenuEnabled(&w, oneMenus, false);
        checkEnabled(&w, alwaysEnabled(), true);

        // With no device list rows nothing is selected.
        w.updateActionState();
        checkEnabled(&w, needOneOrMore() + needOne(), false);
    }

    void firstStartShowsOptionsDialog()
    {
        m_ws = std::make_unique<rvx::test::Workspace>();
        const QString folder = m_ws->path("first start");
        const quint16 port = rvx::test::freeTcpPort();
        const quint16 udpPort = rvx::test::freeUdpPort();
        bool checked = false;
        Ask::scriptNext([&](QDialog* d) {
            auto* dialog = qobject_cast<DlgSettings*>(d);
            QVERIFY(dialog);
            QVERIFY(dialog->startupMode());
            QVERIFY(!dialog->settingsValid());
            QCOMPARE(d->windowTitle(), QString("RVX Preferences"));
            QSignalSpy finished(d, &QDialog::finished);
            d->reject(); // Cancel: a warning, and the dialog stays
            QCOMPARE(finished.count(), 0);
            QCOMPARE(Ask::lastMessage().title, QString("Invalid input"));
            d->findChild<QLineEdit*>("tbxWorkingDir")->setText(QDir::toNativeSeparators(folder));
            d->findChild<QLineEdit*>("tbxSslPort")->setText(QString::number(port));
            d->findChild<QLineEdit*>("tbxUdpPort")->setText(QString::number(udpPort));
            d->findChild<QRadioButton*>("rdbtnManual")->setChecked(true);
            d->accept();
            checked = true;
        });
        MainWindow w;
        QVERIFY(checked);
        QCOMPARE(Ask::pendingAnswers(), 0);
        QCOMPARE(recordsOf(Ask::Kind::Dialog).size(), 1);
        const Ask::Record saved = recordsOf(Ask::Kind::Information).value(0);
        QCOMPARE(saved.title, QString("Save settings"));
        QVERIFY(saved.parented);

        QVERIFY(!w.shutdownWithoutSaving());
        QVERIFY(w.server() && w.server()->isListening());
        QCOMPARE(w.server()->serverPort(), port);
        for (const char* sub : {"firmware", "rvxclient", "hotfix", "temp", "profiles", "db", "filestore"})
            QVERIFY2(QFileInfo(folder + "/" + sub).isDir(), sub);
        QCOMPARE(w.settings()->value("databaseDir").toString(), QDir::toNativeSeparators(folder + "/db"));
        // Discovery was never set: it starts switched on.
        QCOMPARE(w.settings()->value("discoveryState").toBool(), true);
        QVERIFY(w.broadcastEnabled());

        // No certificate anywhere yet: one is made in the working folder, and the status bar
        // says so.
        QVERIFY(QFileInfo(folder + "/rvx.crt").isFile());
        QVERIFY(QFileInfo(folder + "/rvx.key").isFile());
        QVERIFY(w.statusLabel());
        QCOMPARE(w.statusLabel()->text(),
                 QString("Generated a self-signed certificate in %1").arg(QDir::toNativeSeparators(folder)));
    }

    void firstStartWithoutSaveEndsStartup()
    {
        // Only a dialog that ends without Save can leave start-up mode (never in normal use).
        MainWindow w;
        QCOMPARE(recordsOf(Ask::Kind::Dialog).size(), 1);
        QVERIFY(w.shutdownWithoutSaving());
        QVERIFY(!w.server());
        QCOMPARE(m_quits, QList<int>({5}));
    }

    void unusableAgentPortAsksAgain()
    {
        prepare();
        setStored("SSLPort", 0);
        MainWindow w;
        QCOMPARE(recordsOf(Ask::Kind::Dialog).size(), 1);
        QCOMPARE(recordsOf(Ask::Kind::Dialog).at(0).title, QString("RVX Preferences"));
    }

    void resetOptions()
    {
        prepare();
        {
            MainWindow w;
            Ask::answerNext(QMessageBox::No);
            action(&w, "reset_options")->trigger();
            QVERIFY(!w.shutdownWithoutSaving());
            QVERIFY(!w.settings()->allKeys().isEmpty());

            action(&w, "reset_options")->trigger(); // unanswered: the default, Yes
            const Ask::Record r = Ask::lastMessage();
            QCOMPARE(r.kind, Ask::Kind::Question);
            QCOMPARE(r.title, QString("Reset Options"));
            QCOMPARE(r.text,
                     QString("Are you sure you want to reset RVX settings to default values?\n\nIf you "
                             "click on Yes, all settings will be reset and RVX will exit."));
            QCOMPARE(r.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(r.defaultButton, QMessageBox::Yes);
            QVERIFY(w.shutdownWithoutSaving());
            QVERIFY(w.settings()->allKeys().isEmpty());
        }
        // Closing and tearing down wrote nothing back.
        std::unique_ptr<QSettings> s(openStore());
        QVERIFY2(s->allKeys().isEmpty(), qPrintable(s->allKeys().join(",")));

        // The next start is a first start.
        Ask::clearRecords();
        MainWindow next;
        QCOMPARE(recordsOf(Ask::Kind::Dialog).size(), 1);
        QCOMPARE(recordsOf(Ask::Kind::Dialog).at(0).text, QString("DlgSettings"));
    }

    void departmentsFileMigration()
    {
        prepare();
        const QByteArray old = "[department]\nid=0\nname=Orphans\n[department]\nid=4\nname=Lab\n";
        {
            QFile f(m_ws->path("temp/RVXServer.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        MainWindow w;
        QVERIFY(!QFileInfo::exists(m_ws->path("temp/RVXServer.ini")));
        QFile moved(m_ws->path("departments.ini"));
        QVERIFY(moved.open(QIODevice::ReadOnly));
        QCOMPARE(moved.readAll(), old);
        QCOMPARE(w.departments().size(), 2);
        QCOMPARE(w.departments().at(1)->name, QString("Lab"));
    }

    void currentDepartmentsFileWins()
    {
        prepare();
        const QByteArray current = "[department]\nid=0\nname=Orphans\n";
        const QByteArray old = "[department]\nid=0\nname=Orphans\n[department]\nid=4\nname=Lab\n";
        for (const auto& [path, data] : {std::make_pair(m_ws->path("departments.ini"), current),
                                         std::make_pair(m_ws->path("temp/RVXServer.ini"), old)}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        }
        MainWindow w;
        QVERIFY(QFileInfo::exists(m_ws->path("temp/RVXServer.ini")));
        QCOMPARE(w.departments().size(), 1);
    }

    void noNetwork()
    {
        prepare();
        platform::setInterfaceProvider([] {
            platform::InterfaceInfo loopback;
            loopback.name = "lo";
            loopback.up = true;
            loopback.loopback = true;
            QNetworkAddressEntry local;
            local.setIp(QHostAddress("127.0.0.1"));
            loopback.entries << local;
            platform::InterfaceInfo down;
            down.name = "eth0";
            QNetworkAddressEntry lan;
            lan.setIp(QHostAddress("10.77.0.9"));
            down.entries << lan;
            platform::InterfaceInfo v6;
            v6.name = "eth1";
            v6.up = true;
            QNetworkAddressEntry six;
            six.setIp(QHostAddress("fd00::5"));
            v6.entries << six;
            return QList<platform::InterfaceInfo>{loopback, down, v6};
        });
        MainWindow w;
        const Ask::Record r = Ask::lastMessage();
        QCOMPARE(r.kind, Ask::Kind::Critical);
        QCOMPARE(r.title, QString());
        QCOMPARE(r.text, QString(NoNetworkText));
        QCOMPARE(m_quits, QList<int>({1000}));
        // Nothing of the agent side exists; the window itself was built.
        QVERIFY(!w.server());
        QVERIFY(!w.broadcastTimer());
        QVERIFY(w.splitter());
        action(&w, "toggle_broadcast")->trigger();
        QVERIFY(!w.broadcastTimer());
    }

    void portTaken()
    {
        prepare();
        QTcpServer blocker;
        QVERIFY(blocker.listen(QHostAddress::Any, m_port));
        MainWindow w;
        const Ask::Record r = Ask::lastMessage();
        QCOMPARE(r.kind, Ask::Kind::Critical);
        QCOMPARE(r.title, QString("Cannot Listen on Port"));
        QCOMPARE(r.text, QString("Bind to TCP port %1 failed.\n\nIs another instance of RVX already running?")
                             .arg(m_port));
        QCOMPARE(m_quits, QList<int>({5}));
        QVERIFY(w.shutdownWithoutSaving());
        QVERIFY(!w.statusLabel());
        w.close();
        QVERIFY(!w.settings()->contains("geometry"));
        QVERIFY(!w.settings()->contains("split"));
    }

    void certificateFoundIsUsed()
    {
        prepare(true);
        const QByteArray before = [this] {
            QFile f(m_ws->path("rvx.crt"));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        MainWindow w;
        QVERIFY(w.server()->isListening());
        QVERIFY(w.statusLabel()->text().isEmpty());
        QFile f(m_ws->path("rvx.crt"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void discoverySwitching()
    {
        prepare();
        setStored("UDPFrequency", 7);
        MainWindow w;
        QAction* button = action(&w, "btnBroadcast");
        QVERIFY(!button->isChecked());
        QVERIFY(w.broadcastTimer());
        QVERIFY(!w.broadcastTimer()->isActive());

        // The menu entry flips the state.
        action(&w, "toggle_broadcast")->trigger();
        QVERIFY(button->isChecked());
        QVERIFY(w.broadcastTimer()->isActive());
        QCOMPARE(w.broadcastTimer()->interval(), 7000);
        QCOMPARE(w.settings()->value("discoveryState").toBool(), true);

        // The button has flipped itself when its handler runs.
        button->trigger();
        QVERIFY(!button->isChecked());
        QVERIFY(!w.broadcastTimer()->isActive());
        QCOMPARE(w.settings()->value("discoveryState").toBool(), false);

        // The interval is read each time discovery is switched on, and never below a second.
        w.settings()->setValue("UDPFrequency", 0);
        button->trigger();
        QVERIFY(w.broadcastTimer()->isActive());
        QCOMPARE(w.broadcastTimer()->interval(), 1000);
        action(&w, "toggle_broadcast")->trigger();
        QVERIFY(!w.broadcastTimer()->isActive());
    }

    void discoveryOnWhenNeverSet()
    {
        prepare();
        setStored("discoveryState", QVariant());
        MainWindow w;
        QCOMPARE(w.settings()->value("discoveryState").toBool(), true);
        QVERIFY(action(&w, "btnBroadcast")->isChecked());
        QVERIFY(w.broadcastTimer()->isActive());
        QCOMPARE(w.broadcastTimer()->interval(), 5000);
    }

    void proxyInstalled_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("credentials");
        QTest::newRow("off") << false << true;
        QTest::newRow("on") << true << false;
        QTest::newRow("on with credentials") << true << true;
    }

    void proxyInstalled()
    {
        QFETCH(bool, enabled);
        QFETCH(bool, credentials);
        prepare();
        setStored("rvxProxyServerEnabled", enabled);
        setStored("rvxProxyServerIP", "proxy.lan");
        setStored("rvxProxyServerPort", "3128");
        setStored("rvxProxyServerNeedsCreds", credentials);
        setStored("rvxProxyServerUsername", "ann");
        setStored("rvxProxyServerPassword", "pw");
        MainWindow w;
        const QNetworkProxy proxy = QNetworkProxy::applicationProxy();
        if (!enabled) {
            QVERIFY(proxy.type() != QNetworkProxy::HttpProxy);
            return;
        }
        QCOMPARE(proxy.type(), QNetworkProxy::HttpProxy);
        QCOMPARE(proxy.hostName(), QString("proxy.lan"));
        QCOMPARE(proxy.port(), quint16(3128));
        QCOMPARE(proxy.user(), credentials ? QString("ann") : QString());
        QCOMPARE(proxy.password(), credentials ? QString("pw") : QString());
    }

    void updateChecks_data()
    {
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<bool>("dailyTimer");
        QTest::newRow("daily") << "daily" << true;
        QTest::newRow("manual") << "manual" << false;
        QTest::newRow("startup") << "startup" << false;
        QTest::newRow("case matters") << "Daily" << false;
    }

    void updateChecks()
    {
        QFETCH(QString, frequency);
        QFETCH(bool, dailyTimer);
        prepare();
        setStored("updateFrequency", frequency);
        MainWindow w;
        QCOMPARE(w.dailyUpdateTimer() != nullptr, dailyTimer);
        if (dailyTimer) {
            QVERIFY(w.dailyUpdateTimer()->isActive());
            QCOMPARE(w.dailyUpdateTimer()->interval(), 86400000);
        }
    }

    void closeSavesWindowState()
    {
        prepare();
        {
            MainWindow w;
            w.resize(900, 640);
            action(&w, "exit")->trigger();
            QVERIFY(w.settings()->contains("geometry"));
            QVERIFY(!w.settings()->value("geometry").toByteArray().isEmpty());
            QVERIFY(!w.settings()->value("split").toByteArray().isEmpty());
        }
        std::unique_ptr<QSettings> s(openStore());
        QVERIFY(s->contains("geometry"));
        s.reset();
        MainWindow again;
        QCOMPARE(again.size(), QSize(900, 640));
    }

    void optionsDialog()
    {
        prepare();
        MainWindow w;
        Ask::scriptNext([](QDialog* d) {
            auto* dialog = qobject_cast<DlgSettings*>(d);
            QVERIFY(dialog);
            QVERIFY(!dialog->startupMode());
            QVERIFY(dialog->settingsValid());
            d->findChild<QLineEdit*>("tbxUdpFreq")->setText("12");
            d->accept();
        });
        action(&w, "options")->trigger();
        QCOMPARE(Ask::pendingAnswers(), 0);
        QCOMPARE(w.settings()->value("UDPFrequency").toInt(), 12);
        const Ask::Record saved = Ask::lastMessage();
        QCOMPARE(saved.title, QString("Save settings"));
        QVERIFY(saved.parented);

        // Unscripted, the dialog is cancelled and changes nothing.
        action(&w, "options")->trigger();
        QCOMPARE(recordsOf(Ask::Kind::Dialog).size(), 2);
        QCOMPARE(w.settings()->value("UDPFrequency").toInt(), 12);
    }

    void helpAndAbout()
    {
        prepare();
        MainWindow w;
        action(&w, "offline_help")->trigger();
        QCOMPARE(m_urls.size(), 1);
        QCOMPARE(m_urls.at(0).fileName(), QString("rvx-user-manual.pdf"));
        QCOMPARE(m_urls.at(0).scheme(), QString("https"));

        Ask::scriptNext([](QDialog* d) {
            QCOMPARE(d->windowTitle(), QString("About RVX"));
            auto* product = d->findChild<QLabel*>("lblProduct");
            QVERIFY(product);
            QVERIFY(product->text().contains("8.4.4"));
            QVERIFY(product->text().contains("RVX"));
            auto* logo = d->findChild<QLabel*>("lblLogo");
            QVERIFY(logo);
#if QT_VERSION >= QT_VERSION_CHECK(5, 15, 0)
            QVERIFY(!logo->pixmap(Qt::ReturnByValue).isNull());
#else
            QVERIFY(logo->pixmap() && !logo->pixmap()->isNull());
#endif
            d->findChild<QPushButton*>("btnOnlineHelp")->click();
            QCOMPARE(d->findChild<QPushButton*>("btnClose")->text(), QString("Close"));
            d->findChild<QPushButton*>("btnClose")->click();
        });
        action(&w, "about_rvx")->trigger();
        QCOMPARE(Ask::pendingAnswers(), 0);
        QCOMPARE(m_urls.size(), 2);
        QCOMPARE(m_urls.at(1), m_urls.at(0));
    }

    void noDevicesSelectedMessage()
    {
        prepare();
        MainWindow w;
        QVERIFY(w.noDevicesSelected({}, QString()));
        QVERIFY(Ask::records().isEmpty());
        QVERIFY(w.noDevicesSelected({}, "Change Hostname"));
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("Change Hostname"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("\nNo online devices selected! You must select at least one device."));
        QVERIFY(!w.singleSelectedDevice("Wake Device"));
        QCOMPARE(Ask::lastMessage().title, QString("Wake Device"));
    }

    void imagesLoad()
    {
        prepare();
        MainWindow w; // loads the compiled-in images
        const QDir icons(":/images/resources/icons");
        const QStringList files = icons.entryList(QDir::Files);
        QVERIFY(files.size() >= 16);
        for (const QString& name : files) {
            QImageReader reader(icons.filePath(name));
            reader.setScaledSize(QSize(48, 48));
            const QImage image = reader.read();
            QVERIFY2(!image.isNull(), qPrintable(name + ": " + reader.errorString()));
        }
        QImageReader drag(":/images/resources/images/thinclient.png");
        QCOMPARE(drag.format(), QByteArray("png"));
        QVERIFY(!drag.read().isNull());
    }
};

RVX_GUI_TEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

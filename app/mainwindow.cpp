// Construction, shutdown and the window's own small actions (options, reset, help, about,
// exit). The features live in the mainwindow_*.cpp files.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "ask.h"
#include "certificates.h"
#include "columnsettings.h"
#include "connectionlimit.h"
#include "dlgsettings.h"
#include "platform.h"
#include "sslserver.h"
#include "thinclientinfo.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QUdpSocket>

// The images are compiled into a static library; this pulls them into every program that
// builds a window.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

using rvx::Ask;
namespace platform = rvx::platform;

namespace {

MainWindow::UrlOpener& urlOpener()
{
    static MainWindow::UrlOpener opener;
    return opener;
}

MainWindow::QuitScheduler& quitScheduler()
{
    static MainWindow::QuitScheduler scheduler;
    return scheduler;
}

// Messages about the departments file have no parent, like the other start-up messages.
void reportWithoutParent(const QString& title, const QString& text)
{
    Ask::critical(nullptr, title, text);
}

const char* const LogoIcon = ":/images/resources/icons/logo.svg";

} // namespace

// ---------------------------------------------------------------------------------------
// Start-up

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    initResources();
    m_openFileLimit = platform::raiseOpenFileLimit(); // thousands of agents, one socket each
    ThinclientInfo::setVersionNotifier(
        [](const QString& title, const QString& text) { Ask::critical(nullptr, title, text); });

    // The user interface, then the tool-bar buttons that share the menu handlers.
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Orbenium Management Software"));
    setUpToolBar();
    applyActionRules(0); // no device is selected before the device lists exist

    // Plugins shipped beside the program (image formats, TLS backends).
    QCoreApplication::addLibraryPath(platform::besideExecutable(QStringLiteral("plugins")));

    // The settings store, the column layout of a first start, and the Options dialog while
    // the store is incomplete (in start-up mode it can only be left through Save).
    m_settings = platform::createSettings();
    rvx::columns::writeDefaultsIfMissing(*m_settings);
    {
        DlgSettings dialog(this, m_settings, true);
        if (!dialog.settingsValid() && Ask::exec(&dialog) != QDialog::Accepted) {
            // Only a dialog ended without Save gets here; nothing can run without settings.
            failStartup(5);
            return;
        }
    }

    restoreGeometry(m_settings->value(QStringLiteral("geometry")).toByteArray());
    m_settings->setValue(QStringLiteral("platform"), platform::platformName());

    loadCachedCatalogue();

    // Departments: the file of older releases moves to its current name first.
    migrateLegacyDepartmentsFile();
    m_departments = readDepartments(departmentsPath(), reportWithoutParent);

    // The logo, the department panel and the device lists.
    createLogoButton();
    buildDepartmentPanel();

    if (!networkAvailable()) {
        Ask::critical(this, QString(),
                      QStringLiteral("No network was detected. RVX will now close.\n\nFix your network, then "
                                     "restart RVX"));
        failStartup(1000);
        return;
    }

    createAgentServer();
    if (!startListening())
        return;
    createDownloadManager();

    m_updateServer = m_settings->value(QStringLiteral("updateServer")).toString();
    noteOpenFileLimit();
    createStatusBar();

    m_storageTimer = new QTimer(this);
    connect(m_storageTimer, &QTimer::timeout, this, &MainWindow::configureStorage);

    startDiscovery();
    installProxy();
    scheduleUpdateChecks();

    platform::sleepSeconds(1);
    setFocus();
}

void MainWindow::setUpToolBar()
{
    // Each tool-bar button runs the handler of its menu entry; the Discover button has a slot
    // of its own (connected by name) because it toggles without flipping.
    const struct
    {
        QAction* button;
        void (MainWindow::*slot)();
    } shared[] = {
        {ui->btnChangeName, &MainWindow::on_change_hostname_triggered},
        {ui->btnSetMode, &MainWindow::on_set_app_mode_triggered},
        {ui->btnConfigDisplay, &MainWindow::on_configure_displays_triggered},
        {ui->btnRebootDevice, &MainWindow::on_reboot_shutdown_triggered},
        {ui->btnSetTimezone, &MainWindow::on_set_locale_triggered},
        {ui->btnUpdateFirmware, &MainWindow::on_upgrade_firmware_triggered},
        {ui->btnConfigNetwork, &MainWindow::on_configure_network_triggered},
        {ui->btnConfigPeriph, &MainWindow::on_configure_periphs_triggered},
        {ui->btnInstallFile, &MainWindow::on_install_file_triggered},
        {ui->btnDownloadUpdates, &MainWindow::on_download_updates_triggered},
        {ui->btnConfigStorage, &MainWindow::on_assign_storage_triggered},
        {ui->btnRefresh, &MainWindow::on_refresh_device_triggered},
    };
    for (const auto& entry : shared)
        connect(entry.button, &QAction::triggered, this, entry.slot);
    ui->mainToolBar->setFloatable(false);
    ui->mainToolBar->setAllowedAreas(Qt::AllToolBarAreas);
}

void MainWindow::createLogoButton()
{
    // The logo sits at the far end of the tool-bar.
    auto* spacer = new QWidget(ui->mainToolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    ui->mainToolBar->addWidget(spacer);
    m_logoButton = new QPushButton(ui->mainToolBar);
    m_logoButton->setObjectName(QStringLiteral("btnLogo"));
    m_logoButton->setFlat(true);
    m_logoButton->setIcon(QIcon(QString::fromLatin1(LogoIcon)));
    m_logoButton->setIconSize(QSize(120, 40));
    m_logoButton->setCursor(Qt::PointingHandCursor);
    m_logoButton->setToolTip(websiteUrl());
    connect(m_logoButton, &QPushButton::clicked, this, &MainWindow::onLogoClicked);
    ui->mainToolBar->addWidget(m_logoButton);
}

QString MainWindow::departmentsPath() const
{
    const QString workingDir =
        QDir::fromNativeSeparators(m_settings->value(QStringLiteral("rvxWorkingDir")).toString());
    return workingDir + QStringLiteral("/departments.ini");
}

void MainWindow::migrateLegacyDepartmentsFile()
{
    // Older releases kept the departments in "RVXServer.ini" in the temporary folder.
    const QString path = departmentsPath();
    if (QFileInfo::exists(path))
        return;
    const QString tempDir =
        QDir::fromNativeSeparators(m_settings->value(QStringLiteral("tempDir")).toString());
    if (tempDir.isEmpty())
        return;
    const QString legacy = QDir(tempDir).filePath(QStringLiteral("RVXServer.ini"));
    if (QFileInfo(legacy).isFile())
        QFile::rename(legacy, path);
}

bool MainWindow::networkAvailable()
{
    return !platform::usableIPv4Entries().isEmpty();
}

void MainWindow::createAgentServer()
{
    m_udpSocket = new QUdpSocket(this);
    m_broadcastTimer = new QTimer(this);
    connect(m_broadcastTimer, &QTimer::timeout, this, &MainWindow::onBroadcastTimerFired);

    // The server reports inside its own handlers: every connection is direct.
    m_server = new SSLServer(this, m_settings);
    const auto direct = Qt::DirectConnection;
    connect(m_server, &SSLServer::addDevToDept, this, &MainWindow::addDevToDept, direct);
    connect(m_server, &SSLServer::displayModeHelp, this, &MainWindow::displayModeHelp, direct);
    connect(m_server, &SSLServer::configureUsbRedir, this, &MainWindow::configureUsbRedir, direct);
    connect(m_server, &SSLServer::configureResolutions, this, &MainWindow::configureResolutions, direct);
    connect(m_server, &SSLServer::configureLocale, this, &MainWindow::configureLocale, direct);
    connect(m_server, &SSLServer::configureKeyboardOptions, this, &MainWindow::configureKeyboardOptions,
            direct);
    connect(m_server, &SSLServer::configureSSIDList, this, &MainWindow::configureSSIDList, direct);
    connect(m_server, &SSLServer::configureAudioDevs, this, &MainWindow::configureAudioDevs, direct);
    connect(m_server, &SSLServer::editPiConfig, this, &MainWindow::editPiConfig, direct);
    connect(m_server, &SSLServer::updateTreeViewEntry, this, &MainWindow::updateTreeViewEntry, direct);
    connect(m_server, &SSLServer::setStatus, this, &MainWindow::setStatus, direct);
    connect(m_server, &SSLServer::applyPolicy, this, &MainWindow::applyDevicePolicy, direct);
    connect(m_server, &SSLServer::updateNetworkInfo, this, &MainWindow::updateNetworkInfo, direct);
    // A connection the listener could not accept: without descriptors left, the open-file
    // limit is what keeps devices out.
    connect(m_server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SocketResourceError)
            showStatusText(connectionlimit::refusedNote(m_openFileLimit, m_server->connectionCount()));
    });
}

void MainWindow::noteOpenFileLimit()
{
    const QString note = connectionlimit::startupNote(m_openFileLimit, m_server->deviceCount());
    if (note.isEmpty())
        return;
    m_pendingStatusText =
        m_pendingStatusText.isEmpty() ? note : m_pendingStatusText + QStringLiteral("  ") + note;
}

bool MainWindow::startListening()
{
    const QString portText = m_settings->value(QStringLiteral("SSLPort")).toString();
    const int port = DlgSettings::agentPort(portText);

    // The listener's certificate and key: beside the program, else in the working folder,
    // else a new self-signed pair generated into the working folder.
    const QString workingDir =
        QDir::fromNativeSeparators(m_settings->value(QStringLiteral("rvxWorkingDir")).toString());
    const CertificateFiles files = locateCertificate(platform::applicationDir(), workingDir);
    if (files.generated) {
        m_pendingStatusText =
            QStringLiteral("Generated a self-signed certificate in %1")
                .arg(QDir::toNativeSeparators(QFileInfo(files.certificatePath).absolutePath()));
    } else if (!files.ok) {
        Ask::warning(
            this, QStringLiteral("Server Certificate"),
            QStringLiteral("No certificate (rvx.crt) and key (rvx.key) were found beside the program or "
                           "in the working folder, and a new pair could not be made:\n\n%1\n\nDevices "
                           "cannot connect until both files exist.")
                .arg(files.error));
    }

    // A port that is not a TCP port (0 stands for a non-number typed in Options) would
    // listen somewhere no agent looks; it is refused like a port that is taken.
    if (port <= 0 ||
        !m_server->listenForAgents(static_cast<quint16>(port), files.certificatePath, files.keyPath)) {
        Ask::critical(this, QStringLiteral("Cannot Listen on Port"),
                      QStringLiteral("Bind to TCP port ") + portText +
                          QStringLiteral(" failed.\n\nIs another instance of RVX already running?"));
        failStartup(5);
        return false;
    }
    return true;
}

void MainWindow::createStatusBar()
{
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("lblStatus"));
    statusBar()->addPermanentWidget(m_statusLabel, 100);
    if (!m_pendingStatusText.isEmpty())
        showStatusText(m_pendingStatusText);
    m_pendingStatusText.clear();
}

void MainWindow::showStatusText(const QString& text)
{
    if (m_statusLabel)
        m_statusLabel->setText(text);
    else
        m_pendingStatusText = text;
}

void MainWindow::installProxy()
{
    if (!m_settings->value(QStringLiteral("rvxProxyServerEnabled"), false).toBool())
        return;
    QNetworkProxy proxy(QNetworkProxy::HttpProxy);
    proxy.setHostName(m_settings->value(QStringLiteral("rvxProxyServerIP")).toString());
    proxy.setPort(m_settings->value(QStringLiteral("rvxProxyServerPort")).toString().toUShort(nullptr, 10));
    if (m_settings->value(QStringLiteral("rvxProxyServerNeedsCreds"), false).toBool()) {
        proxy.setUser(m_settings->value(QStringLiteral("rvxProxyServerUsername")).toString());
        proxy.setPassword(m_settings->value(QStringLiteral("rvxProxyServerPassword")).toString());
    }
    QNetworkProxy::setApplicationProxy(proxy);
}

void MainWindow::scheduleUpdateChecks()
{
    const QString frequency = m_settings->value(QStringLiteral("updateFrequency")).toString();
    if (frequency == QLatin1String("startup")) {
        downloadUpdates(false);
    } else if (frequency == QLatin1String("daily")) {
        m_dailyUpdateTimer = new QTimer(this);
        m_dailyUpdateTimer->setInterval(86400000);
        connect(m_dailyUpdateTimer, &QTimer::timeout, this, &MainWindow::onDailyUpdateCheck);
        m_dailyUpdateTimer->start();
    }
}

void MainWindow::failStartup(int quitDelayMs)
{
    m_shutdownWithoutSaving = true;
    if (quitScheduler())
        quitScheduler()(quitDelayMs);
    else
        QTimer::singleShot(quitDelayMs, qApp, &QCoreApplication::quit);
}

void MainWindow::setQuitScheduler(QuitScheduler scheduler)
{
    quitScheduler() = std::move(scheduler);
}

// ---------------------------------------------------------------------------------------
// Shutdown

void MainWindow::closeEvent(QCloseEvent* event)
{
    flushDepartments(); // a department change of this turn is not left behind
    if (!m_shutdownWithoutSaving && m_settings) {
        m_settings->setValue(QStringLiteral("geometry"), saveGeometry());
        if (m_splitter)
            m_settings->setValue(QStringLiteral("split"), m_splitter->saveState());
        if (QHeaderView* header = shownHeader()) {
            const int sections = qMin(header->count(), rvx::columns::Count);
            for (int i = 0; i < sections; ++i)
                m_settings->setValue(rvx::columns::sizeKey(i), header->sectionSize(i));
            for (int i = sections; i < rvx::columns::Count; ++i)
                m_settings->setValue(rvx::columns::sizeKey(i), -1);
        }
        m_settings->sync();
    }
    handOverPendingInstaller();
    event->accept();
}

MainWindow::~MainWindow()
{
    flushDepartments();
    delete ui;
    ui = nullptr;
    if (m_server) {
        // No report of the closing connections may reach a window being torn down.
        m_server->disconnect(this);
        delete m_server;
        m_server = nullptr;
    }
    delete m_udpSocket;
    m_udpSocket = nullptr;
    delete m_broadcastTimer;
    m_broadcastTimer = nullptr;
    if (findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        m_statusLabel = nullptr;
        setStatusBar(nullptr);
    }
    clearDepartmentLabels();
    destroyDownloadManager();
    delete m_settings;
    m_settings = nullptr;
}

// ---------------------------------------------------------------------------------------
// Actions of the window itself

void MainWindow::on_exit_triggered()
{
    close();
}

void MainWindow::on_options_triggered()
{
    DlgSettings dialog(this, m_settings, false);
    Ask::exec(&dialog);
}

void MainWindow::on_reset_options_triggered()
{
    const auto answer = Ask::question(
        this, QStringLiteral("Reset Options"),
        QStringLiteral(
            "Are you sure you want to reset RVX settings to default values?\n\nIf you click on Yes, all "
            "settings will be reset and RVX will exit."),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (answer != QMessageBox::Yes)
        return;
    m_settings->clear();
    m_settings->sync();
    m_shutdownWithoutSaving = true;
    close();
}

void MainWindow::on_offline_help_triggered()
{
    openUrl(QUrl(manualUrl()));
}

void MainWindow::on_about_rvx_triggered()
{
    AboutDialog dialog(this);
    connect(&dialog, &AboutDialog::onlineHelpRequested, this, &MainWindow::on_offline_help_triggered);
    Ask::exec(&dialog);
}

void MainWindow::onLogoClicked()
{
    openUrl(QUrl(websiteUrl()));
}

QString MainWindow::manualUrl()
{
    return QStringLiteral("https://www.orbenium.com/docs/rvx-user-manual.pdf");
}

QString MainWindow::websiteUrl()
{
    return QStringLiteral("https://www.orbenium.com/");
}

void MainWindow::setUrlOpener(UrlOpener opener)
{
    urlOpener() = std::move(opener);
}

bool MainWindow::openUrl(const QUrl& url)
{
    if (urlOpener())
        return urlOpener()(url);
    if (Ask::testMode())
        return false; // a scripted run never starts the desktop's browser
    return QDesktopServices::openUrl(url);
}

// ---------------------------------------------------------------------------------------
// Enabling of the device actions

QList<QAction*> MainWindow::deviceActionsNeedingOneOrMore() const
{
    return {ui->get_logs,
            ui->install_file,
            ui->load_config,
            ui->menuBootstrap->menuAction(),
            ui->menuCommands->menuAction(),
            ui->install_hotfix,
            ui->upgrade_firmware,
            ui->upgrade_client,
            ui->btnRebootDevice,
            ui->btnUpdateFirmware,
            ui->btnInstallFile,
            ui->btnConfigStorage,
            ui->btnRefresh};
}

QList<QAction*> MainWindow::deviceActionsNeedingOne() const
{
    return {ui->save_config,
            ui->sync_dsi_folders,
            ui->menuLocalConf->menuAction(),
            ui->menuNetConf->menuAction(),
            ui->set_app_mode,
            ui->btnChangeName,
            ui->btnSetMode,
            ui->btnConfigDisplay,
            ui->btnSetTimezone,
            ui->btnConfigNetwork,
            ui->btnConfigPeriph};
}

void MainWindow::applyActionRules(int onlineSelected)
{
    if (!ui)
        return;
    const auto oneOrMore = deviceActionsNeedingOneOrMore();
    for (QAction* action : oneOrMore)
        action->setEnabled(onlineSelected >= 1);
    const auto exactlyOne = deviceActionsNeedingOne();
    for (QAction* action : exactlyOne)
        action->setEnabled(onlineSelected == 1);
}

// Construction, shutdown and the window's own small actions (options, reset, help, about,
// exit), and the enabling of the device actions. The slots are in mainwindow_slots.cpp.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "aboutdialog.h"
#include "ask.h"
#include "audit.h"
#include "configdialogs.h"
#include "configlib.h"
#include "connectionlimit.h"
#include "departmentpanel.h"
#include "deviceanswers.h"
#include "devicecolumns.h"
#include "devicecommands.h"
#include "devicelists.h"
#include "devicesearch.h"
#include "driftcache.h"
#include "deviceselection.h"
#include "devicetext.h"
#include "discoverybroadcast.h"
#include "dlgsettings.h"
#include "filecommands.h"
#include "platform.h"
#include "profilecommands.h"
#include "rvxdb.h"
#include "savefailures.h"
#include "settingskeys.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "upgradecommands.h"
#include "windowsetup.h"
#include "windowupdates.h"
#include "zyltreeview.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

// The images are compiled into a static library; this pulls them into every program that
// builds a window.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

using rvx::Ask;
namespace platform = rvx::platform;

namespace {

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
    windowsetup::connectToolBar(ui, this);
    applyActionRules(0); // no device is selected before the device lists exist

    // Plugins shipped beside the program (image formats, TLS backends).
    QCoreApplication::addLibraryPath(platform::besideExecutable(QStringLiteral("plugins")));

    if (!openSettings())
        return;
    // Files that could not be saved are told on the status bar, once per kind.
    rvx::saves::reset();
    rvx::saves::setStatusSink([this](const QString& text) { showStatusText(text); });
    // A change still waiting for its write is not left behind when the program is asked to
    // quit (the session ends, a termination signal) without the window being closed.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { flushDepartments(); });
    m_context.window = this;
    m_context.settings = m_settings;
    m_updates = new WindowUpdates(m_context, {ui->download_updates, ui->btnDownloadUpdates}, m_latestFirmware,
                                  m_latestClient, this);
    m_updates->loadCachedCatalogue();

    // Departments: the file of older releases moves to its current name first.
    windowsetup::migrateLegacyDepartmentsFile(*m_settings, departmentsPath());
    m_departments = readDepartments(departmentsPath(), reportWithoutParent);

    // The logo, the department panel, the device lists and the features.
    m_logoButton = windowsetup::addLogoButton(ui->mainToolBar, websiteUrl());
    connect(m_logoButton, &QPushButton::clicked, this, &MainWindow::onLogoClicked);
    createFeatures();

    if (!networkAvailable()) {
        Ask::critical(this, QString(),
                      QStringLiteral("No network was detected. RVX will now close.\n\nFix your network, then "
                                     "restart RVX"));
        failStartup(1000);
        return;
    }
    if (startAgentSide())
        finishStartup();
}

bool MainWindow::openSettings()
{
    // The settings store, the column layout of a first start, and the Options dialog while
    // the store is incomplete (in start-up mode it can only be left through Save).
    m_settings = platform::createSettings();
    rvx::columns::writeDefaultsIfMissing(*m_settings);
    DlgSettings dialog(this, m_settings, true);
    if (!dialog.settingsValid() && Ask::exec(&dialog) != QDialog::Accepted) {
        // Only a dialog ended without Save gets here; nothing can run without settings.
        failStartup(5);
        return false;
    }
    restoreGeometry(m_settings->value(QStringLiteral("geometry")).toByteArray());
    m_settings->setValue(QStringLiteral("platform"), platform::platformName());
    return true;
}

bool MainWindow::startAgentSide()
{
    createAgentServer();
    connectAgentServer();
    if (!startListening())
        return false;
    m_updates->createDownloadManager();
    noteOpenFileLimit();
    createStatusBar();
    return true;
}

void MainWindow::finishStartup()
{
    m_storageTimer = new QTimer(this);
    connect(m_storageTimer, &QTimer::timeout, this, &MainWindow::configureStorage);
    m_discovery->start();
    windowsetup::installProxy(*m_settings);
    scheduleUpdateChecks();
    platform::sleepSeconds(1);
    setFocus();
}

QString MainWindow::departmentsPath() const
{
    return rvx::settings::folderPath(*m_settings, rvx::settings::Folder::Working) +
           QStringLiteral("/departments.ini");
}

void MainWindow::createFeatures()
{
    m_context.window = this;
    m_context.settings = m_settings;
    m_context.departments = &m_departments;
    m_context.showStatus = [this](const QString& text) { showStatusText(text); };
    m_selection = new DeviceSelection(this);
    m_context.selection = m_selection;
    connect(m_selection, &DeviceSelection::applied, this, [this](int onlineSelected, ThinclientInfo* single) {
        applyActionRules(onlineSelected);
        if (single)
            reloadConfigStore(single);
    });
    connect(m_selection, &DeviceSelection::singleRefreshed, this, &MainWindow::reloadConfigStore);
    m_panel = new DepartmentPanel(this, m_departments, m_selection, m_settings, departmentsPath());
    m_context.panel = m_panel;
    m_lists = new DeviceLists(m_departments, m_panel, m_selection, this);
    m_lists->setLatest(m_latestFirmware.data(), m_latestClient.data(), FirmwareTypeCount);
    m_context.lists = m_lists;
    m_search = new DeviceSearch(m_departments, this);
    m_lists->setSearch(m_search);
    m_commands = std::make_unique<DeviceCommands>(m_context);
    m_profiles = std::make_unique<ProfileCommands>(m_context, *m_commands);
    m_answers = std::make_unique<DeviceAnswers>(m_context, *m_commands);
    m_upgrades = std::make_unique<UpgradeCommands>(m_context);
    m_files = std::make_unique<FileCommands>(m_context, *m_commands, *m_answers);
    m_dialogs = std::make_unique<ConfigDialogs>(m_context, *m_commands, *m_answers, *m_files);
    m_panel->build();
    setCentralWidget(m_panel->splitter());
    windowsetup::addSearchBar(this, m_search->createBox(this));
    windowsetup::connectPanel(m_panel, this);
}

void MainWindow::reloadConfigStore(ThinclientInfo* device)
{
    if (!device || !m_context.server || !m_context.server->database())
        return;
    config_store_clear();
    config_store_load_text(m_context.server->database()->loadConfig(device->serialNumber()), CATEGORY_ALL);
}

bool MainWindow::networkAvailable()
{
    return !platform::usableIPv4Entries().isEmpty();
}

void MainWindow::createAgentServer()
{
    m_discovery = new DiscoveryBroadcast(m_settings, ui->btnBroadcast, this);
    m_context.server = new SSLServer(this, m_settings);
    m_lists->setHistory(m_context.server->database());
    m_lists->setDrift(new DriftCache(m_context.server->database(), this));
}

void MainWindow::connectAgentServer()
{
    windowsetup::connectAgentServer(m_context.server, this);
    // A device refused for its serial number is closed on every attempt: told once.
    connect(server(), &SSLServer::serialRefused, this, [this](const QString& serial) {
        showStatusText(refusedSerialStatus(serial));
        logEvent(refusedSerialSentence(serial));
    });
    // A connection the listener could not accept: without descriptors left, the open-file
    // limit is what keeps devices out.
    connect(server(), &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::SocketResourceError)
            showStatusText(connectionlimit::refusedNote(m_openFileLimit, server()->connectionCount()));
    });
}

void MainWindow::noteOpenFileLimit()
{
    const QString note = connectionlimit::startupNote(m_openFileLimit, m_context.server->deviceCount());
    if (note.isEmpty())
        return;
    m_pendingStatusText =
        m_pendingStatusText.isEmpty() ? note : m_pendingStatusText + QStringLiteral("  ") + note;
}

bool MainWindow::startListening()
{
    QString note;
    const bool listening = windowsetup::listen(this, *m_settings, m_context.server, &note);
    if (!note.isEmpty())
        m_pendingStatusText = note;
    if (!listening)
        failStartup(5);
    return listening;
}

void MainWindow::createStatusBar()
{
    if (m_updates)
        m_updates->addProgressBar(statusBar());
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName(QStringLiteral("lblStatus"));
    m_statusLabel->setTextFormat(Qt::PlainText); // status texts carry host names and paths
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

void MainWindow::scheduleUpdateChecks()
{
    const QString frequency = m_settings->value(QStringLiteral("updateFrequency")).toString();
    if (frequency == QLatin1String("startup")) {
        onDailyUpdateCheck();
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
    if (m_panel)
        m_panel->setSavingAllowed(false);
    if (quitScheduler())
        quitScheduler()(quitDelayMs);
    else
        QTimer::singleShot(quitDelayMs, qApp, &QCoreApplication::quit);
}

void MainWindow::setQuitScheduler(QuitScheduler scheduler)
{
    quitScheduler() = std::move(scheduler);
}

void MainWindow::setUrlOpener(UrlOpener opener)
{
    windowsetup::setUrlOpener(std::move(opener));
}

// ---------------------------------------------------------------------------------------
// Shutdown

void MainWindow::closeEvent(QCloseEvent* event)
{
    // A department change still waiting is written now; when it cannot be (a full disk),
    // this is the administrator's last chance to hear that it is lost.
    if (flushDepartments() != 0)
        Ask::critical(
            nullptr, QStringLiteral("Saving configuration file"),
            QStringLiteral("Error opening configuration file. Configuration data will not be saved"));
    if (!m_shutdownWithoutSaving && m_settings)
        saveWindowState();
    if (m_updates && !m_shutdownWithoutSaving)
        m_updates->handOverAtClose();
    event->accept();
}

void MainWindow::saveWindowState()
{
    m_settings->setValue(QStringLiteral("geometry"), saveGeometry());
    if (QSplitter* split = splitter())
        m_settings->setValue(QStringLiteral("split"), split->saveState());
    if (QHeaderView* header = shownHeader()) {
        QList<int> widths;
        for (int i = 0; i < header->count(); ++i)
            widths << header->sectionSize(i);
        rvx::columns::writeWidths(*m_settings, widths);
    }
    m_settings->sync();
}

MainWindow::~MainWindow()
{
    rvx::saves::setStatusSink({});
    flushDepartments();
    delete ui;
    ui = nullptr;
    if (m_context.server) {
        // No report of the closing connections may reach a window being torn down.
        m_context.server->disconnect(this);
        delete m_context.server;
        m_context.server = nullptr;
    }
    delete m_discovery;
    m_discovery = nullptr;
    if (findChild<QStatusBar*>(QString(), Qt::FindDirectChildrenOnly)) {
        m_statusLabel = nullptr;
        setStatusBar(nullptr);
    }
    if (m_panel)
        m_panel->clearLabels();
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
    if (m_panel)
        m_panel->setSavingAllowed(false);
    close();
}

void MainWindow::on_offline_help_triggered()
{
    windowsetup::openUrl(QUrl(manualUrl()));
}

void MainWindow::on_about_rvx_triggered()
{
    AboutDialog dialog(this);
    connect(&dialog, &AboutDialog::onlineHelpRequested, this, &MainWindow::on_offline_help_triggered);
    Ask::exec(&dialog);
}

void MainWindow::onLogoClicked()
{
    windowsetup::openUrl(QUrl(websiteUrl()));
}

// ---------------------------------------------------------------------------------------
// Enabling of the device actions

void MainWindow::applyActionRules(int onlineSelected)
{
    if (!ui)
        return;
    for (QAction* action : windowsetup::actionsNeedingOneOrMore(ui))
        action->setEnabled(onlineSelected >= 1);
    for (QAction* action : windowsetup::actionsNeedingOne(ui))
        action->setEnabled(onlineSelected == 1);
}

#include "windowsetup.h"
#include "ui_mainwindow.h"

#include "ask.h"
#include "certificates.h"
#include "departmentpanel.h"
#include "dlgsettings.h"
#include "mainwindow.h"
#include "platform.h"
#include "settingskeys.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QMainWindow>
#include <QNetworkProxy>
#include <QPushButton>
#include <QSettings>
#include <QToolBar>
#include <QUrl>

using rvx::Ask;
using rvx::settings::Folder;

namespace windowsetup {

void migrateLegacyDepartmentsFile(const QSettings& settings, const QString& departmentsPath)
{
    if (QFileInfo::exists(departmentsPath))
        return;
    const QString tempDir = rvx::settings::folderPath(settings, Folder::Temp);
    if (tempDir.isEmpty())
        return;
    const QString legacy = QDir(tempDir).filePath(QStringLiteral("RVXServer.ini"));
    if (QFileInfo(legacy).isFile())
        QFile::rename(legacy, departmentsPath);
}

bool listen(QWidget* parent, const QSettings& settings, SSLServer* server, QString* note)
{
    const QString portText = rvx::settings::text(settings, "SSLPort");
    const int port = DlgSettings::agentPort(portText);
    const QString workingDir = rvx::settings::folderPath(settings, Folder::Working);
    const CertificateFiles files = locateCertificate(rvx::platform::applicationDir(), workingDir);
    if (files.generated) {
        *note = QStringLiteral("Generated a self-signed certificate in %1")
                    .arg(QDir::toNativeSeparators(QFileInfo(files.certificatePath).absolutePath()));
    } else if (!files.ok) {
        Ask::warning(
            parent, QStringLiteral("Server Certificate"),
            QStringLiteral("No certificate (rvx.crt) and key (rvx.key) were found beside the program or "
                           "in the working folder, and a new pair could not be made:\n\n%1\n\nDevices "
                           "cannot connect until both files exist.")
                .arg(files.error));
    }
    // A port that is not a TCP port (0 stands for a non-number typed in Options) would
    // listen somewhere no agent looks; it is refused like a port that is taken.
    if (port > 0 && server->listenForAgents(static_cast<quint16>(port), files.certificatePath, files.keyPath))
        return true;
    Ask::critical(parent, QStringLiteral("Cannot Listen on Port"),
                  QStringLiteral("Bind to TCP port ") + portText +
                      QStringLiteral(" failed.\n\nIs another instance of RVX already running?"));
    return false;
}

void installProxy(const QSettings& settings)
{
    if (!rvx::settings::flag(settings, "rvxProxyServerEnabled"))
        return;
    QNetworkProxy proxy(QNetworkProxy::HttpProxy);
    proxy.setHostName(rvx::settings::text(settings, "rvxProxyServerIP"));
    proxy.setPort(rvx::settings::text(settings, "rvxProxyServerPort").toUShort(nullptr, 10));
    if (rvx::settings::flag(settings, "rvxProxyServerNeedsCreds")) {
        proxy.setUser(rvx::settings::text(settings, "rvxProxyServerUsername"));
        proxy.setPassword(rvx::settings::text(settings, "rvxProxyServerPassword"));
    }
    QNetworkProxy::setApplicationProxy(proxy);
}

QList<QAction*> actionsNeedingOneOrMore(const Ui::MainWindow* ui)
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

QList<QAction*> actionsNeedingOne(const Ui::MainWindow* ui)
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

void connectToolBar(Ui::MainWindow* ui, MainWindow* window)
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
        QObject::connect(entry.button, &QAction::triggered, window, entry.slot);
    ui->mainToolBar->setFloatable(false);
    ui->mainToolBar->setAllowedAreas(Qt::AllToolBarAreas);
}

void connectPanel(DepartmentPanel* p, MainWindow* window)
{
    QObject::connect(p, &DepartmentPanel::newDepartmentRequested, window, &MainWindow::onNewDepartment);
    QObject::connect(p, &DepartmentPanel::departmentSelected, window, &MainWindow::onDepartmentSelected);
    QObject::connect(p, &DepartmentPanel::renameRequested, window, &MainWindow::onDepartmentRename);
    QObject::connect(p, &DepartmentPanel::deleteRequested, window, &MainWindow::onDepartmentDelete);
    QObject::connect(p, &DepartmentPanel::linkProfileRequested, window, &MainWindow::onDepartmentLinkProfile);
    QObject::connect(p, &DepartmentPanel::unlinkProfileRequested, window,
                     &MainWindow::onDepartmentUnlinkProfile);
    QObject::connect(p, &DepartmentPanel::departmentDragged, window, &MainWindow::onDepartmentDragged);
    QObject::connect(p, &DepartmentPanel::devicesDropped, window, &MainWindow::onDeviceDropped);
    QObject::connect(p, &DepartmentPanel::deviceDragEnter, window, &MainWindow::onDragEnter);
    QObject::connect(p, &DepartmentPanel::rowClicked, window, &MainWindow::onTreeViewClicked);
    QObject::connect(p, &DepartmentPanel::rowActivated, window, &MainWindow::onTreeViewDoubleClicked);
    QObject::connect(p, &DepartmentPanel::rowMenuRequested, window, &MainWindow::onTreeViewRightClicked);
}

void connectAgentServer(SSLServer* server, MainWindow* window)
{
    // The server reports inside its own handlers: every connection is direct.
    const auto direct = Qt::DirectConnection;
    QObject::connect(server, &SSLServer::addDevToDept, window, &MainWindow::addDevToDept, direct);
    QObject::connect(server, &SSLServer::displayModeHelp, window, &MainWindow::displayModeHelp, direct);
    QObject::connect(server, &SSLServer::configureUsbRedir, window, &MainWindow::configureUsbRedir, direct);
    QObject::connect(server, &SSLServer::configureResolutions, window, &MainWindow::configureResolutions,
                     direct);
    QObject::connect(server, &SSLServer::configureLocale, window, &MainWindow::configureLocale, direct);
    QObject::connect(server, &SSLServer::configureKeyboardOptions, window,
                     &MainWindow::configureKeyboardOptions, direct);
    QObject::connect(server, &SSLServer::configureSSIDList, window, &MainWindow::configureSSIDList, direct);
    QObject::connect(server, &SSLServer::configureAudioDevs, window, &MainWindow::configureAudioDevs, direct);
    QObject::connect(server, &SSLServer::editPiConfig, window, &MainWindow::editPiConfig, direct);
    QObject::connect(server, &SSLServer::updateTreeViewEntry, window, &MainWindow::updateTreeViewEntry,
                     direct);
    QObject::connect(server, &SSLServer::setStatus, window, &MainWindow::setStatus, direct);
    QObject::connect(server, &SSLServer::applyPolicy, window, &MainWindow::applyDevicePolicy, direct);
    QObject::connect(server, &SSLServer::updateNetworkInfo, window, &MainWindow::updateNetworkInfo, direct);
}

namespace {

std::function<bool(const QUrl&)>& urlOpener()
{
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

} // namespace

QPushButton* addLogoButton(QToolBar* toolBar, const QString& toolTip)
{
    // The logo sits at the far end of the tool-bar.
    auto* spacer = new QWidget(toolBar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolBar->addWidget(spacer);
    auto* logo = new QPushButton(toolBar);
    logo->setObjectName(QStringLiteral("btnLogo"));
    logo->setFlat(true);
    logo->setIcon(QIcon(QStringLiteral(":/images/resources/icons/logo.svg")));
    logo->setIconSize(QSize(120, 40));
    logo->setCursor(Qt::PointingHandCursor);
    logo->setToolTip(toolTip);
    toolBar->addWidget(logo);
    return logo;
}

void addSearchBar(QMainWindow* window, QLineEdit* box)
{
    window->addToolBarBreak(Qt::TopToolBarArea);
    auto* bar = new QToolBar(QStringLiteral("Search"), window);
    bar->setObjectName(QStringLiteral("searchBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    box->setMaximumWidth(320);
    box->setMinimumWidth(200);
    bar->addWidget(box);
    window->addToolBar(Qt::TopToolBarArea, bar);
}

void setUrlOpener(std::function<bool(const QUrl&)> opener)
{
    urlOpener() = std::move(opener);
}

bool openUrl(const QUrl& url)
{
    if (urlOpener())
        return urlOpener()(url);
    if (Ask::testMode())
        return false; // a scripted run never starts the desktop's browser
    return QDesktopServices::openUrl(url);
}

} // namespace windowsetup

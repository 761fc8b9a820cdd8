#pragma once

#include "departmentpanel.h"
#include "departments.h"
#include "discoverybroadcast.h"
#include "windowcontext.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QModelIndex>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>

class DepartmentView;
class ConfigDialogs;
class DeviceAnswers;
class DeviceCommands;
class DeviceLists;
class DeviceSearch;
class DeviceSelection;
class FileCommands;
class ProfileCommands;
class UpgradeCommands;
class WindowUpdates;
class QAction;
class QCloseEvent;
class QHeaderView;
class QLabel;
class QPushButton;
class QSettings;
class QSplitter;
class QTimer;
class SSLServer;
class ThinclientInfo;
class ZylTreeView;

namespace Ui {
class MainWindow;
}

// The one main window: menus and tool-bar, the department panel and the device list of the
// shown department, and the owner of the settings store, the agent server, the discovery
// broadcast and every timer.
//
// The window is a switchboard. Construction and shutdown live in mainwindow.cpp; every slot
// (mainwindow_slots.cpp, mainwindow_dialogs.cpp) is a few lines that call a feature class:
// the department panel, device lists and selection (inventory/ui), and the device commands,
// profiles, device answers, upgrades, file commands, configuration dialogs, updates and
// discovery broadcast (app/).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // ---- accessors (also used by tests) ----------------------------------------------
    SSLServer* server() const { return m_context.server; }
    QSettings* settings() const { return m_settings; }
    DepartmentList& departments() { return m_departments; }
    DeptInfo* shownDepartment() const { return m_panel ? m_panel->shown() : nullptr; }
    QLabel* statusLabel() const { return m_statusLabel; }
    bool shutdownWithoutSaving() const { return m_shutdownWithoutSaving; }
    QSplitter* splitter() const { return m_panel ? m_panel->splitter() : nullptr; }
    QTimer* broadcastTimer() const { return m_discovery ? m_discovery->timer() : nullptr; }
    QTimer* storageTimer() const { return m_storageTimer; }
    QTimer* dailyUpdateTimer() const { return m_dailyUpdateTimer; }
    QString updateServer() const;
    // The departments file: the working folder + "/departments.ini".
    QString departmentsPath() const;
    // The feature classes.
    WindowContext& context() { return m_context; }
    DeviceSearch* search() const { return m_search; }
    DeviceAnswers* answers() const { return m_answers.get(); }
    WindowUpdates* updates() const { return m_updates; }

    // Newest firmware and agent versions known per firmware type (packed a.b.c, 8 bits
    // each; 0 = unknown). Filled from the update catalogue.
    static constexpr int FirmwareTypeCount = 15;
    using VersionTable = std::array<quint32, FirmwareTypeCount>;
    VersionTable& latestFirmwareVersions() { return m_latestFirmware; }
    VersionTable& latestClientVersions() { return m_latestClient; }

    // ---- hooks -----------------------------------------------------------------------
    // How the window opens a web address (the manual, the web site). The default hands it
    // to the desktop, except in the scripted test mode of the message seam, where nothing
    // is opened. An empty opener restores the default.
    using UrlOpener = std::function<bool(const QUrl&)>;
    static void setUrlOpener(UrlOpener opener);
    // How a failed start-up ends the program: by default QCoreApplication::quit() after
    // the delay. Tests record the delay instead. An empty scheduler restores the default.
    using QuitScheduler = std::function<void(int delayMs)>;
    static void setQuitScheduler(QuitScheduler scheduler);

    static QString manualUrl() { return QStringLiteral("https://www.orbenium.com/docs/rvx-user-manual.pdf"); }
    static QString websiteUrl() { return QStringLiteral("https://www.orbenium.com/"); }

public slots:
    // ---- device list --------------------------------------------------------------------
    void createDepartmentView(DeptInfo* dept);
    void addDeviceRow(DeptInfo* dept, ThinclientInfo* device);
    void removeDeviceRow(DeptInfo* dept, ThinclientInfo* device);
    // The devices of the selected rows of the shown department, each once.
    QList<ThinclientInfo*> selectedDevices(bool onlineOnly) { return m_context.selectedDevices(onlineOnly); }
    // True (after telling the administrator when a title is given) when the list is empty.
    bool noDevicesSelected(const QList<ThinclientInfo*>& devices, const QString& title)
    {
        return m_context.noDevicesSelected(devices, title);
    }
    // The header of the shown department's device list; null when there is none.
    QHeaderView* shownHeader() const;
    // Enables and disables the device actions for the current selection.
    void updateActionState();
    // The enabling rules for a given number of selected online devices: actions that need
    // one or more devices are enabled for n >= 1, those that need exactly one for n == 1.
    void applyActionRules(int onlineSelected);
    DepartmentView* shownView() const { return m_panel ? m_panel->shownView() : nullptr; }

    // ---- departments --------------------------------------------------------------------
    void rebuildDepartmentLabels(int selectedIndex);
    void clearDepartmentLabels();
    // Records a change of the department list: the whole file is written once at the end
    // of the event-loop turn (and at close), however many changes the turn made. Returns 0.
    int saveDepartments();
    // Writes the departments file now when a change is pending; 0 on success (or nothing to
    // write), -1 after telling the administrator ("Saving configuration file").
    int flushDepartments() { return m_panel ? m_panel->flush() : 0; }
    bool departmentsDirty() const { return m_panel && m_panel->isDirty(); }

    // ---- discovery ------------------------------------------------------------------------
    void sendDiscoveryBroadcast();
    // Switches discovery on or off following the Discover button's check state, flipping
    // that state first when `flip` is true.
    void setBroadcastEnabled(bool flip);
    bool broadcastEnabled() const;

    // ---- commands ---------------------------------------------------------------------------
    ThinclientInfo* singleSelectedDevice(const QString& title)
    {
        return m_context.singleSelectedDevice(title);
    }
    int sendCommand(const QByteArray& frame, int length, const QByteArray& text);
    // Restarts the current mode's applications on the selected online devices; see
    // DeviceCommands::restartMode.
    int restartMode(bool fromMenu);
    // List requests of the configuration dialogs for the one selected device.
    void getResolutionLists();
    void getLocaleLists();
    void getKeyboardOptionLists();

    // ---- menu actions (connected by name) ----------------------------------------------
    // File
    void on_get_logs_triggered();
    void on_install_file_triggered();
    void on_load_config_triggered();
    void on_save_config_triggered();
    void on_export_device_list_triggered();
    void on_exit_triggered();
    // Device
    void on_assign_storage_triggered();
    void on_refresh_device_triggered();
    void on_maint_mode_triggered();
    void on_reboot_shutdown_triggered();
    void on_reset_device_triggered();
    void on_set_reset_state_triggered();
    void on_restart_mode_triggered();
    void on_sync_dsi_folders_triggered();
    void on_install_hotfix_triggered();
    void on_upgrade_firmware_triggered();
    void on_upgrade_client_triggered();
    void on_change_hostname_triggered();
    void on_configure_displays_triggered();
    void on_configure_periphs_triggered();
    void on_edit_pi_config_triggered();
    void on_enter_comment_triggered();
    void on_set_log_level_triggered();
    void on_set_powersave_mode_triggered();
    void on_set_zylconfig_password_triggered();
    void on_set_locale_triggered();
    void on_configure_network_triggered();
    void on_configure_shadowing_triggered();
    void on_configure_rvx_discovery_triggered();
    void on_configure_pxe_triggered();
    void on_configure_rrsh_triggered();
    void on_configure_beacon_triggered();
    void on_configure_x11vnc_triggered();
    void on_delete_device_triggered();
    void on_set_app_mode_triggered();
    void on_wake_device_triggered();
    // Tools
    void on_options_triggered();
    void on_reset_options_triggered();
    void on_download_updates_triggered();
    void on_unread_news_triggered();
    void on_toggle_broadcast_triggered();
    // Help
    void on_offline_help_triggered();
    void on_about_rvx_triggered();
    // Tool-bar
    void on_btnBroadcast_triggered();
    void onLogoClicked();

    // ---- agent server signals ------------------------------------------------------------
    void addDevToDept(ThinclientInfo* tci);
    void displayModeHelp(QString str);
    void configureUsbRedir(ThinclientInfo* tci, QStringList* entries);
    void configureResolutions(QMap<QString, QStringList*>* resMap);
    void configureLocale(QMap<QString, QStringList*>* l10nMap);
    void configureKeyboardOptions(QMap<QString, QStringList*>* kbdData);
    void configureSSIDList(QStringList* entries);
    void configureAudioDevs(QMap<QString, QStringList*>* portData);
    void editPiConfig(ThinclientInfo* tci, QString config);
    void updateTreeViewEntry(ThinclientInfo* tci, bool isNewClient);
    void setStatus(ThinclientInfo* tci, qint8 code, const char* message);
    void applyDevicePolicy(ThinclientInfo* tci);
    void updateNetworkInfo(QString dns1, QString dns2, QString dsPath, QString wiredMAC, QString wiredIP,
                           QString wiredNetmask, QString wiredGateway, QString wirelessMAC,
                           QString wirelessIP, QString wirelessNetmask, QString wirelessGateway);

    // ---- device list ---------------------------------------------------------------------
    void removeDevFromDept(ThinclientInfo* tci);
    void selectAllInGroup(const QModelIndex& index);
    void selectAllInDept();
    void onTreeViewClicked(const QModelIndex& index);
    void onTreeViewDoubleClicked(const QModelIndex& index);
    void onTreeViewRightClicked(const QPoint& pos);

    // ---- department panel ----------------------------------------------------------------
    void onNewDepartment();
    void onDepartmentSelected(void* dept);
    void onDepartmentRename(void* dept);
    void onDepartmentDelete(void* dept);
    void onDepartmentDragged(void* dept, QPoint pos, bool dropped);
    void onDeviceDropped(void* dept, ZylTreeView* sourceView);
    void onDragEnter(void* dept, QPoint pos);
    void onScrollTimerFired();
    void onSetDeptScrollPos();
    void onDepartmentLinkProfile(void* dept);
    void onDepartmentUnlinkProfile(void* dept);

    // ---- discovery -----------------------------------------------------------------------
    void onBroadcastTimerFired();

    // ---- commands and device list requests -------------------------------------------------
    void sshToDevice();
    void getModeHelp(int protocol);
    void enumerateUsb();
    void getSSIDList();
    void getNetworkInfo(uchar interfaceKind);
    void getAudioDevices(bool output);
    // The network dialog's certificate upload: a certificate bundle installed on the device,
    // its destination name stored in *filename.
    void onInstallCertificate(QString* filename);

    // ---- storage and updates --------------------------------------------------------------------
    void configureStorage();
    void onDailyUpdateCheck();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Start-up steps that are more than a few lines.
    bool openSettings();
    bool startAgentSide();
    void finishStartup();
    void createFeatures();
    bool networkAvailable();
    void createAgentServer();
    void connectAgentServer();
    bool startListening();
    void createStatusBar();
    // The status-bar note when the open-file limit caps the number of devices.
    void noteOpenFileLimit();
    void scheduleUpdateChecks();
    void failStartup(int quitDelayMs);
    void showStatusText(const QString& text);
    void saveWindowState();
    // The configuration store holds the one selected device's configuration.
    void reloadConfigStore(ThinclientInfo* device);

    Ui::MainWindow* ui = nullptr;
    QSettings* m_settings = nullptr; // owned, deleted last

    // Departments, their panel and lists, the selection, and the feature classes.
    DepartmentList m_departments;
    WindowContext m_context;
    DeviceSelection* m_selection = nullptr;
    DepartmentPanel* m_panel = nullptr;
    DeviceLists* m_lists = nullptr;
    DeviceSearch* m_search = nullptr;
    std::unique_ptr<DeviceCommands> m_commands;
    std::unique_ptr<ProfileCommands> m_profiles;
    std::unique_ptr<DeviceAnswers> m_answers;
    std::unique_ptr<UpgradeCommands> m_upgrades;
    std::unique_ptr<FileCommands> m_files;
    std::unique_ptr<ConfigDialogs> m_dialogs;
    DiscoveryBroadcast* m_discovery = nullptr;

    // Later features.
    QTimer* m_storageTimer = nullptr;
    QTimer* m_dailyUpdateTimer = nullptr;
    WindowUpdates* m_updates = nullptr;
    VersionTable m_latestFirmware{};
    VersionTable m_latestClient{};

    QPushButton* m_logoButton = nullptr;
    QLabel* m_statusLabel = nullptr;
    QString m_pendingStatusText; // shown once the status bar exists
    qint64 m_openFileLimit = -1; // descriptors this process may hold; -1 when unlimited
    bool m_shutdownWithoutSaving = false;
};

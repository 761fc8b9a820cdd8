// The window's slots: each passes the work to the feature class that does it.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "ask.h"
#include "departmentpanel.h"
#include "departmentview.h"
#include "deviceanswers.h"
#include "devicecommands.h"
#include "devicelists.h"
#include "deviceselection.h"
#include "discoverybroadcast.h"
#include "dlgshowdevinfo.h"
#include "driftcache.h"
#include "exportlist.h"
#include "filecommands.h"
#include "popupmenu.h"
#include "profilecommands.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "upgradecommands.h"
#include "windowupdates.h"
#include "zyltreeview.h"

#include <QMenu>
#include <QSplitter>
#include <QStandardItemModel>

using rvx::Ask;

namespace {

DeptInfo* asDepartment(void* dept)
{
    return static_cast<DeptInfo*>(dept);
}

} // namespace

// ---- accessors ---------------------------------------------------------------------------

QHeaderView* MainWindow::shownHeader() const
{
    DepartmentView* list = shownView();
    return list ? list->header() : nullptr;
}

// ---- device list ---------------------------------------------------------------------------

void MainWindow::createDepartmentView(DeptInfo* dept)
{
    m_panel->ensureView(dept);
}

void MainWindow::addDeviceRow(DeptInfo* dept, ThinclientInfo* device)
{
    m_lists->addRow(dept, device);
}

void MainWindow::removeDeviceRow(DeptInfo* dept, ThinclientInfo* device)
{
    m_lists->removeRow(dept, device);
}

void MainWindow::updateActionState()
{
    m_selection->update();
}

void MainWindow::addDevToDept(ThinclientInfo* tci)
{
    m_lists->place(tci);
}

void MainWindow::removeDevFromDept(ThinclientInfo* tci)
{
    m_lists->remove(tci);
}

void MainWindow::updateTreeViewEntry(ThinclientInfo* tci, bool isNewClient)
{
    m_lists->refresh(tci, isNewClient);
}

void MainWindow::setStatus(ThinclientInfo* tci, qint8 code, const char* message)
{
    m_lists->setStatus(tci, code, message);
}

void MainWindow::selectAllInGroup(const QModelIndex& index)
{
    m_selection->selectGroup(index);
}

void MainWindow::selectAllInDept()
{
    m_selection->selectAll();
    onTreeViewClicked(QModelIndex());
}

void MainWindow::onTreeViewClicked(const QModelIndex& index)
{
    m_selection->clicked(index);
}

void MainWindow::onTreeViewDoubleClicked(const QModelIndex& index)
{
    // Group rows have no parent and open nothing.
    ThinclientInfo* device = index.parent().isValid() ? DepartmentView::deviceOf(index) : nullptr;
    if (!device)
        return;
    DlgShowDevInfo dialog(this, device, server() ? server()->database() : nullptr);
    const DeptInfo* dept = m_departments.departmentOfDevice(device);
    if (dept && !dept->profile.isEmpty() && m_lists->drift())
        dialog.showDrift(dept->profile, m_lists->drift()->differences(device->serialNumber(), dept->profile));
    Ask::exec(&dialog);
}

void MainWindow::onTreeViewRightClicked(const QPoint& pos)
{
    DepartmentView* list = shownView();
    if (!list)
        return;
    const QModelIndex index = list->view()->indexAt(pos);
    list->contextItem = index.isValid() ? list->model()->itemFromIndex(index) : nullptr;
    if (!index.parent().isValid() || list->view()->selectionModel()->selectedRows().size() != 1)
        return;
    QMenu menu(this);
    connect(menu.addAction(QStringLiteral("SSH to Device")), &QAction::triggered, this,
            &MainWindow::sshToDevice);
    rvx::ui::runMenu(menu, list->view()->viewport()->mapToGlobal(pos));
}

// ---- department panel ------------------------------------------------------------------------

void MainWindow::rebuildDepartmentLabels(int selectedIndex)
{
    m_panel->rebuildLabels(selectedIndex);
}

void MainWindow::clearDepartmentLabels()
{
    m_panel->clearLabels();
}

int MainWindow::saveDepartments()
{
    return m_panel->save();
}

void MainWindow::onNewDepartment()
{
    m_panel->create();
}

void MainWindow::onDepartmentSelected(void* dept)
{
    m_panel->select(asDepartment(dept));
}

void MainWindow::onDepartmentRename(void* dept)
{
    m_panel->rename(asDepartment(dept));
}

void MainWindow::onDepartmentDelete(void* dept)
{
    m_panel->remove(asDepartment(dept));
}

void MainWindow::onDepartmentDragged(void* dept, QPoint pos, bool dropped)
{
    m_panel->drag(asDepartment(dept), pos, dropped);
}

void MainWindow::onDeviceDropped(void* dept, ZylTreeView* sourceView)
{
    m_lists->dropSelected(asDepartment(dept), sourceView);
}

void MainWindow::onDragEnter(void* dept, QPoint pos)
{
    Q_UNUSED(dept)
    Q_UNUSED(pos)
    m_panel->deviceDragEntered();
}

void MainWindow::onScrollTimerFired()
{
    m_panel->scrollWhileDragging();
}

void MainWindow::onSetDeptScrollPos()
{
    m_panel->restoreScrollPosition();
}

void MainWindow::onDepartmentLinkProfile(void* dept)
{
    m_profiles->link(asDepartment(dept));
}

void MainWindow::onDepartmentUnlinkProfile(void* dept)
{
    m_profiles->unlink(asDepartment(dept));
}

// ---- discovery ---------------------------------------------------------------------------------

void MainWindow::sendDiscoveryBroadcast()
{
    if (m_discovery)
        m_discovery->broadcast();
}

void MainWindow::setBroadcastEnabled(bool flip)
{
    // Discovery exists only once the agent side has been set up.
    if (m_discovery && m_context.server)
        m_discovery->setEnabled(flip);
}

bool MainWindow::broadcastEnabled() const
{
    return m_discovery && m_discovery->isEnabled();
}

void MainWindow::on_toggle_broadcast_triggered()
{
    setBroadcastEnabled(true);
}

void MainWindow::on_btnBroadcast_triggered()
{
    // The button has already changed its own check state.
    setBroadcastEnabled(false);
}

void MainWindow::onBroadcastTimerFired()
{
    sendDiscoveryBroadcast();
}

// ---- commands ------------------------------------------------------------------------------------

int MainWindow::sendCommand(const QByteArray& frame, int length, const QByteArray& text)
{
    return m_commands->sendCommand(frame, length, text);
}

int MainWindow::restartMode(bool fromMenu)
{
    return m_commands->restartMode(fromMenu);
}

void MainWindow::on_refresh_device_triggered()
{
    m_commands->refresh();
}

void MainWindow::on_reset_device_triggered()
{
    m_commands->resetToDefaults();
}

void MainWindow::on_restart_mode_triggered()
{
    m_commands->restartMode(true);
}

void MainWindow::on_wake_device_triggered()
{
    m_commands->wake();
}

void MainWindow::on_reboot_shutdown_triggered()
{
    m_commands->rebootOrPowerOff();
}

void MainWindow::on_maint_mode_triggered()
{
    m_commands->maintenance();
}

void MainWindow::on_set_reset_state_triggered()
{
    m_commands->resetState();
}

void MainWindow::on_set_log_level_triggered()
{
    m_commands->logLevel();
}

void MainWindow::on_set_powersave_mode_triggered()
{
    m_commands->powersave();
}

void MainWindow::on_change_hostname_triggered()
{
    m_commands->hostname();
}

void MainWindow::on_enter_comment_triggered()
{
    m_commands->comment();
}

void MainWindow::on_set_zylconfig_password_triggered()
{
    m_commands->restrictedPassword();
}

void MainWindow::on_configure_rvx_discovery_triggered()
{
    m_commands->discoveryMethod();
}

void MainWindow::on_configure_rrsh_triggered()
{
    m_commands->remoteTriggering();
}

void MainWindow::on_configure_beacon_triggered()
{
    m_commands->beacon();
}

void MainWindow::on_configure_x11vnc_triggered()
{
    m_commands->vncServer();
}

void MainWindow::on_configure_shadowing_triggered()
{
    m_commands->shadowing();
}

void MainWindow::on_configure_pxe_triggered()
{
    m_commands->pxeServer();
}

void MainWindow::on_delete_device_triggered()
{
    m_commands->deleteDevices();
}

void MainWindow::sshToDevice()
{
    m_commands->ssh();
}

// ---- profiles --------------------------------------------------------------------------------------

void MainWindow::on_save_config_triggered()
{
    m_profiles->save();
}

void MainWindow::on_load_config_triggered()
{
    m_profiles->load();
}

void MainWindow::applyDevicePolicy(ThinclientInfo* tci)
{
    m_profiles->applyPolicy(tci);
}

// ---- upgrades ------------------------------------------------------------------------------------

void MainWindow::on_upgrade_firmware_triggered()
{
    m_upgrades->firmware();
}

void MainWindow::on_upgrade_client_triggered()
{
    m_upgrades->agent();
}

void MainWindow::on_install_hotfix_triggered()
{
    m_upgrades->hotfix();
}

// ---- files -------------------------------------------------------------------------------------

void MainWindow::on_install_file_triggered()
{
    m_files->installFile(0);
}

void MainWindow::onInstallCertificate(QString* filename)
{
    m_files->installFile(5, filename);
}

void MainWindow::on_get_logs_triggered()
{
    m_files->getLogs();
}

void MainWindow::editPiConfig(ThinclientInfo* tci, QString config)
{
    m_files->piConfig(tci, config);
}

void MainWindow::on_assign_storage_triggered()
{
    m_files->assignStorage(m_storageTimer);
}

void MainWindow::configureStorage()
{
    m_files->storageWaitOver(m_storageTimer);
}

// ---- updates ------------------------------------------------------------------------------------

QString MainWindow::updateServer() const
{
    return m_updates ? m_updates->check()->updateServer() : QString();
}

void MainWindow::on_download_updates_triggered()
{
    m_updates->downloadUpdates(true);
}

void MainWindow::onDailyUpdateCheck()
{
    m_updates->downloadUpdates(false);
}

void MainWindow::on_unread_news_triggered()
{
    m_updates->markNewsUnread();
}

// ---- export --------------------------------------------------------------------------------------

void MainWindow::on_export_device_list_triggered()
{
    exportDeviceList(this, m_departments, !selectedDevices(false).isEmpty());
}

// ---- requests and answers ------------------------------------------------------------------------

void MainWindow::getModeHelp(int protocol)
{
    m_answers->requestModeHelp(protocol);
}

void MainWindow::enumerateUsb()
{
    m_answers->requestUsbList();
}

void MainWindow::getSSIDList()
{
    m_answers->requestSsidList();
}

void MainWindow::getNetworkInfo(uchar interfaceKind)
{
    m_answers->requestNetworkInfo(interfaceKind);
}

void MainWindow::getResolutionLists()
{
    m_answers->requestResolutionLists();
}

void MainWindow::getLocaleLists()
{
    m_answers->requestLocaleLists();
}

void MainWindow::getKeyboardOptionLists()
{
    m_answers->requestKeyboardOptionLists();
}

void MainWindow::getAudioDevices(bool output)
{
    m_answers->requestAudioDevices(output);
}

void MainWindow::on_edit_pi_config_triggered()
{
    m_answers->requestPiConfig();
}

void MainWindow::configureUsbRedir(ThinclientInfo* tci, QStringList* entries)
{
    if (entries)
        m_answers->usbList(tci, *entries);
}

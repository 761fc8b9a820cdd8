// The device list of each department: rows, selection, and the enabling of the device
// actions that follows the selection.

#include "mainwindow.h"

#include "ask.h"
#include "configlib.h"
#include "departmentview.h"
#include "dlgshowdevinfo.h"
#include "popupmenu.h"
#include "rvxdb.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QStandardItemModel>
#include <QTimer>

using rvx::Ask;

namespace {

// Online as the device list counts it: a device that is not in boot mode "Offline".
bool countsAsOnline(const ThinclientInfo* device)
{
    return device->bootMode() != ThinclientInfo::BootOffline;
}

} // namespace

// ---------------------------------------------------------------------------------------
// Rows

void MainWindow::createDepartmentView(DeptInfo* dept)
{
    if (!dept || dept->view)
        return;
    auto* list = new DepartmentView(dept, m_listLayout);
    dept->view = list;
    ZylTreeView* view = list->view();
    connect(view, &QAbstractItemView::clicked, this, &MainWindow::onTreeViewClicked);
    connect(view, &QAbstractItemView::activated, this, &MainWindow::onTreeViewDoubleClicked);
    connect(view, &QWidget::customContextMenuRequested, this, &MainWindow::onTreeViewRightClicked);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, dept] {
        if (dept == m_shownDepartment)
            markSelectionChanged();
    });
}

void MainWindow::addDeviceRow(DeptInfo* dept, ThinclientInfo* device)
{
    if (!dept || !device)
        return;
    if (!dept->view)
        createDepartmentView(dept);
    dept->view->addRow(device);
    refreshDeviceRow(dept, device, true);
}

void MainWindow::removeDeviceRow(DeptInfo* dept, ThinclientInfo* device)
{
    if (!dept || !device)
        return;
    if (dept->view)
        dept->view->removeRow(device);
    else
        device->item = nullptr;
}

void MainWindow::addDevToDept(ThinclientInfo* tci)
{
    if (!tci)
        return;
    const DepartmentList::Placement placement = m_departments.place(tci->serialNumber(), tci->macAddress());
    DeptInfo* dept = placement.department;
    if (!dept)
        return;
    if (placement.membersChanged)
        saveDepartments();
    if (!dept->label && m_labelLayout) {
        // The list had no department for unassigned devices: "Orphans" was added to it.
        createDepartmentView(dept);
        clearDepartmentLabels();
        rebuildDepartmentLabels(qMax(0, m_departments.indexOf(m_shownDepartment)));
    }

    // A record already listed somewhere keeps one row only.
    if (DeptInfo* current = m_departments.departmentOfDevice(tci)) {
        if (current == dept && tci->item)
            return;
        removeDeviceRow(current, tci);
        m_departments.removeDevice(current, tci);
    }
    m_departments.addDevice(dept, tci);
    addDeviceRow(dept, tci);
}

void MainWindow::removeDevFromDept(ThinclientInfo* tci)
{
    DeptInfo* dept = tci ? m_departments.departmentOfDevice(tci) : nullptr;
    if (!dept)
        return;
    removeDeviceRow(dept, tci);
    m_departments.removeDevice(dept, tci);
}

void MainWindow::updateTreeViewEntry(ThinclientInfo* tci, bool isNewClient)
{
    if (!tci || !tci->item || !tci->item->parent())
        return;
    DeptInfo* dept = m_departments.departmentOfDevice(tci);
    if (!dept || !dept->view)
        return;
    refreshDeviceRow(dept, tci, isNewClient);
}

void MainWindow::refreshDeviceRow(DeptInfo* dept, ThinclientInfo* device, bool isNewClient)
{
    DepartmentView* list = dept->view;
    if (!list || !device->item || !device->item->parent())
        return;

    // The selection follow-up runs only when its result can change: after a change of the
    // selection, or when a selected device went online or offline. Otherwise the single
    // selected device's messages only refresh the configuration store.
    if (dept == m_shownDepartment) {
        if (m_selectionDirty) {
            rebuildSelectionCache();
            applySelectionRules();
        } else {
            auto it = m_selectionOnline.find(device);
            if (it != m_selectionOnline.end()) {
                const bool online = countsAsOnline(device);
                if (it.value() != online) {
                    it.value() = online;
                    if (online)
                        m_selectedOnline.insert(device);
                    else
                        m_selectedOnline.remove(device);
                    applySelectionRules();
                } else if (m_selectedOnline.size() == 1 && m_selectedOnline.contains(device)) {
                    reloadConfigStore(device);
                }
            }
        }
    }

    // A device whose firmware type changed moves to the group of its new type.
    if (!list->inOwnGroup(device)) {
        removeDeviceRow(dept, device);
        addDeviceRow(dept, device);
        return;
    }

    DepartmentView::Latest latest;
    latest.firmware = m_latestFirmware.data();
    latest.client = m_latestClient.data();
    latest.types = FirmwareTypeCount;
    list->refreshRow(device, latest, m_server ? m_server->database() : nullptr, isNewClient);
}

void MainWindow::setStatus(ThinclientInfo* tci, qint8 code, const char* message)
{
    if (!tci || !tci->item || !tci->item->parent())
        return;
    DeptInfo* dept = m_departments.departmentOfDevice(tci);
    if (!dept || !dept->view)
        return;
    dept->view->setStatus(tci, code, message ? QString::fromLatin1(message) : QString());
}

// ---------------------------------------------------------------------------------------
// Selection

DepartmentView* MainWindow::shownView() const
{
    return m_shownDepartment ? m_shownDepartment->view : nullptr;
}

QList<ThinclientInfo*> MainWindow::selectedDevices(bool onlineOnly)
{
    QList<ThinclientInfo*> devices;
    DepartmentView* list = shownView();
    if (!list)
        return devices;
    QSet<ThinclientInfo*> seen;
    // Row by row through the selected ranges: a whole-row selection of thousands of devices
    // is read once per row, not once per cell.
    const QItemSelection selection = list->view()->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        const QModelIndex parent = range.parent();
        if (!parent.isValid())
            continue; // group rows
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const QModelIndex index = range.model()->index(row, range.left(), parent);
            if (range.model()->hasChildren(index))
                continue;
            ThinclientInfo* device = DepartmentView::deviceOf(index);
            if (!device || (onlineOnly && !countsAsOnline(device)) || seen.contains(device))
                continue;
            seen.insert(device);
            devices.append(device);
        }
    }
    return devices;
}

bool MainWindow::noDevicesSelected(const QList<ThinclientInfo*>& devices, const QString& title)
{
    if (!devices.isEmpty())
        return false;
    if (!title.isEmpty())
        Ask::critical(this, title,
                      QStringLiteral("\nNo online devices selected! You must select at least one device."));
    return true;
}

QHeaderView* MainWindow::shownHeader() const
{
    DepartmentView* list = shownView();
    return list ? list->header() : nullptr;
}

void MainWindow::selectAllInGroup(const QModelIndex& index)
{
    DepartmentView* list = shownView();
    if (!list || !index.isValid())
        return;
    const QModelIndex group = index.sibling(index.row(), 0);
    QAbstractItemModel* model = list->model();
    const int children = model->rowCount(group);
    if (children == 0)
        return;
    const QModelIndex first = model->index(0, 0, group);
    const QModelIndex last = model->index(children - 1, 0, group);
    QItemSelectionModel* selection = list->view()->selectionModel();
    selection->select(QItemSelection(first, last), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(last, QItemSelectionModel::NoUpdate);
}

void MainWindow::selectAllInDept()
{
    DepartmentView* list = shownView();
    if (list && list->model()->rowCount() > 0) {
        QAbstractItemModel* model = list->model();
        const int groups = model->rowCount();
        // The group rows and every group's devices, as one selection change.
        QItemSelection all(model->index(0, 0), model->index(groups - 1, 0));
        for (int g = 0; g < groups; ++g) {
            const QModelIndex group = model->index(g, 0);
            const int children = model->rowCount(group);
            if (children > 0)
                all.select(model->index(0, 0, group), model->index(children - 1, 0, group));
        }
        QItemSelectionModel* selection = list->view()->selectionModel();
        selection->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        const QModelIndex lastGroup = model->index(groups - 1, 0);
        const int lastChildren = model->rowCount(lastGroup);
        selection->setCurrentIndex(lastChildren > 0 ? model->index(lastChildren - 1, 0, lastGroup)
                                                    : lastGroup,
                                   QItemSelectionModel::NoUpdate);
    }
    onTreeViewClicked(QModelIndex());
}

void MainWindow::onTreeViewClicked(const QModelIndex& index)
{
    DepartmentView* list = shownView();
    if (list && index.isValid()) {
        // One whole group row selected: the click selects the group's devices.
        const QItemSelection selection = list->view()->selectionModel()->selection();
        int cells = 0;
        for (const QItemSelectionRange& range : selection)
            cells += range.width() * range.height();
        if (!selection.isEmpty() && cells == list->header()->count()) {
            const QModelIndex first = selection.first().topLeft();
            if (!first.parent().isValid())
                selectAllInGroup(index);
        }
    }
    updateActionState();
}

void MainWindow::onTreeViewDoubleClicked(const QModelIndex& index)
{
    // Group rows have no parent and open nothing.
    if (!index.isValid() || !index.parent().isValid())
        return;
    ThinclientInfo* device = DepartmentView::deviceOf(index);
    if (!device)
        return;
    DlgShowDevInfo dialog(this, device, m_server ? m_server->database() : nullptr);
    Ask::exec(&dialog);
}

void MainWindow::onTreeViewRightClicked(const QPoint& pos)
{
    DepartmentView* list = shownView();
    if (!list)
        return;
    const QModelIndex index = list->view()->indexAt(pos);
    list->contextItem = index.isValid() ? list->model()->itemFromIndex(index) : nullptr;
    if (!index.isValid() || !index.parent().isValid())
        return;
    if (list->view()->selectionModel()->selectedRows().size() != 1)
        return;
    QMenu menu(this);
    connect(menu.addAction(QStringLiteral("SSH to Device")), &QAction::triggered, this,
            &MainWindow::sshToDevice);
    rvx::ui::runMenu(menu, list->view()->viewport()->mapToGlobal(pos));
}

// ---------------------------------------------------------------------------------------
// Enabling of the device actions

void MainWindow::markSelectionChanged()
{
    m_selectionDirty = true;
    // Selections made with the keyboard or by the program are followed up too, once the
    // turn's changes are done.
    if (!m_selectionTimer) {
        m_selectionTimer = new QTimer(this);
        m_selectionTimer->setSingleShot(true);
        m_selectionTimer->setInterval(0);
        connect(m_selectionTimer, &QTimer::timeout, this, [this] {
            if (m_selectionDirty)
                updateActionState();
        });
    }
    m_selectionTimer->start();
}

void MainWindow::rebuildSelectionCache()
{
    m_selectionOnline.clear();
    m_selectedOnline.clear();
    const QList<ThinclientInfo*> devices = selectedDevices(false);
    m_selectionOnline.reserve(devices.size());
    for (ThinclientInfo* device : devices) {
        const bool online = countsAsOnline(device);
        m_selectionOnline.insert(device, online);
        if (online)
            m_selectedOnline.insert(device);
    }
    m_selectionDirty = false;
}

void MainWindow::applySelectionRules()
{
    const int n = m_selectedOnline.size();
    applyActionRules(n);
    if (n == 1)
        reloadConfigStore(*m_selectedOnline.constBegin());
}

void MainWindow::reloadConfigStore(ThinclientInfo* device)
{
    if (!device || !m_server || !m_server->database())
        return;
    config_store_clear();
    config_store_load_text(m_server->database()->loadConfig(device->serialNumber()), CATEGORY_ALL);
}

void MainWindow::updateActionState()
{
    rebuildSelectionCache();
    applySelectionRules();
}

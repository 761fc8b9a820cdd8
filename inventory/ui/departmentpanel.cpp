#include "departmentpanel.h"

#include "ask.h"
#include "audit.h"
#include "departments.h"
#include "departmentview.h"
#include "deviceselection.h"
#include "dlggettext.h"
#include "savefailures.h"
#include "zyldroplabel.h"
#include "zylscrollarea.h"
#include "zyltreeview.h"

#include <QApplication>
#include <QCursor>
#include <QItemSelectionModel>
#include <QLabel>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

using rvx::Ask;

namespace {

constexpr int LabelSpacing = 6;
const QString SplitKey = QStringLiteral("split");

// A department name from the prompt; empty when cancelled.
QString askDepartmentName(QWidget* parent)
{
    QString name;
    DlgGetText dialog(parent, QStringLiteral("Enter department name:"), name, 0);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return QString();
    return name;
}

} // namespace

DepartmentPanel::DepartmentPanel(QWidget* window, DepartmentList& departments, DeviceSelection* selection,
                                 QSettings* settings, QString departmentsPath)
    : QObject(window)
    , m_window(window)
    , m_departments(departments)
    , m_selection(selection)
    , m_settings(settings)
    , m_path(std::move(departmentsPath))
{
    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    connect(m_flushTimer, &QTimer::timeout, this, &DepartmentPanel::flush);
}

// The labels belong to the departments' panel widgets; the window clears them while the
// departments still exist.
DepartmentPanel::~DepartmentPanel() = default;

// ---- building -------------------------------------------------------------------------

void DepartmentPanel::build()
{
    // The column layout of every device list, read once.
    m_layout = DeviceListLayout::fromSettings(*m_settings);

    m_strip = new ZylScrollArea(m_window);
    m_strip->setObjectName(QStringLiteral("departmentPanel"));
    connect(m_strip, &ZylScrollArea::onNewDepartment, this, &DepartmentPanel::newDepartmentRequested);
    auto* container = new QWidget;
    container->setObjectName(QStringLiteral("departmentLabels"));
    m_labelLayout = new QVBoxLayout(container);
    m_labelLayout->setSizeConstraint(QLayout::SetMinimumSize);
    m_labelLayout->setSpacing(LabelSpacing);
    m_labelLayout->setAlignment(Qt::AlignTop);
    m_strip->setWidget(container);

    m_shown = m_departments.isEmpty() ? nullptr : m_departments.at(0);
    for (DeptInfo* dept : m_departments.items())
        ensureView(dept);

    m_splitter = new QSplitter(Qt::Horizontal, m_window);
    m_splitter->setObjectName(QStringLiteral("splitter"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_strip);
    if (DepartmentView* list = shownView())
        m_splitter->addWidget(list->view());
    m_splitter->restoreState(m_settings->value(SplitKey).toByteArray());
    m_selection->setView(shownView());
    rebuildLabels(0);
}

DepartmentView* DepartmentPanel::shownView() const
{
    return m_shown ? m_shown->view : nullptr;
}

DepartmentView* DepartmentPanel::ensureView(DeptInfo* dept)
{
    if (!dept)
        return nullptr;
    if (dept->view)
        return dept->view;
    auto* list = new DepartmentView(dept, m_layout);
    dept->view = list;
    ZylTreeView* view = list->view();
    connect(view, &QAbstractItemView::clicked, this, &DepartmentPanel::rowClicked);
    connect(view, &QAbstractItemView::activated, this, &DepartmentPanel::rowActivated);
    connect(view, &QWidget::customContextMenuRequested, this, &DepartmentPanel::rowMenuRequested);
    connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this, dept] {
        if (dept == m_shown)
            m_selection->markChanged();
    });
    return list;
}

DeptInfo* DepartmentPanel::departmentOfView(const ZylTreeView* view) const
{
    if (!view)
        return nullptr;
    for (DeptInfo* dept : m_departments.items()) {
        if (dept->view && dept->view->view() == view)
            return dept;
    }
    return nullptr;
}

void DepartmentPanel::rebuildLabels(int selectedIndex)
{
    if (!m_labelLayout)
        return;
    QWidget* container = m_labelLayout->parentWidget();
    for (DeptInfo* dept : m_departments.items()) {
        auto* label = new ZylDropLabel(dept, container);
        connect(label, &ZylDropLabel::onDepartmentRename, this, &DepartmentPanel::renameRequested);
        connect(label, &ZylDropLabel::onDepartmentDelete, this, &DepartmentPanel::deleteRequested);
        connect(label, &ZylDropLabel::onDepartmentLinkProfile, this, &DepartmentPanel::linkProfileRequested);
        connect(label, &ZylDropLabel::onDepartmentUnlinkProfile, this,
                &DepartmentPanel::unlinkProfileRequested);
        connect(label, &ZylDropLabel::onDepartmentSelected, this, &DepartmentPanel::departmentSelected);
        connect(label, &ZylDropLabel::onDepartmentDragged, this, &DepartmentPanel::departmentDragged);
        connect(label, &ZylDropLabel::onDeviceDropped, this, &DepartmentPanel::devicesDropped);
        connect(label, &ZylDropLabel::onDragEnter, this, &DepartmentPanel::deviceDragEnter);
        m_labelLayout->addWidget(label);
        dept->label = label;
    }
    if (selectedIndex >= 0 && selectedIndex < m_departments.size()) {
        if (ZylDropLabel* label = m_departments.at(selectedIndex)->label)
            label->setSelected(true);
    }
}

void DepartmentPanel::clearLabels()
{
    for (DeptInfo* dept : m_departments.items()) {
        ZylDropLabel* label = dept->label;
        if (!label)
            continue;
        dept->label = nullptr;
        discardLabel(label);
    }
}

void DepartmentPanel::discardLabel(ZylDropLabel* label)
{
    if (m_labelLayout)
        m_labelLayout->removeWidget(label);
    // The label may be the sender of the signal being handled: it goes once that is done.
    label->disconnect(this);
    label->detach();
    label->hide();
    label->deleteLater();
}

// ---- the departments file ----------------------------------------------------------------

int DepartmentPanel::save()
{
    m_dirty = true;
    if (!m_flushTimer->isActive()) {
        // The first change after a quiet second goes out at the end of this turn, with
        // whatever else the turn changes; later ones wait for the second to be over.
        const qint64 since = m_lastWrite.isValid() ? m_lastWrite.elapsed() : MinWriteIntervalMs;
        m_flushTimer->start(
            static_cast<int>(qBound<qint64>(0, MinWriteIntervalMs - since, MinWriteIntervalMs)));
    }
    return 0;
}

int DepartmentPanel::flush()
{
    m_flushTimer->stop();
    if (!m_dirty)
        return 0;
    // A program that failed to start (another instance may be running) or whose settings
    // were just reset leaves the file alone; unassigned devices are adopted again next time.
    if (!m_savingAllowed || m_settings->value(QStringLiteral("rvxWorkingDir")).toString().isEmpty()) {
        m_dirty = false;
        return 0;
    }
    m_lastWrite.start();
    QString error;
    if (writeDepartments(m_path, m_departments, {}, &error) == 0) {
        m_dirty = false;
        rvx::saves::succeeded(rvx::saves::Kind::Departments);
        return 0;
    }
    // Usually a full disk. The change stays pending and is written again in a second; the
    // administrator is told once, not at every try.
    rvx::saves::failed(rvx::saves::Kind::Departments, m_path, error);
    m_flushTimer->start(MinWriteIntervalMs);
    return -1;
}

// ---- selecting, creating, renaming, deleting ---------------------------------------------

void DepartmentPanel::show(DeptInfo* dept)
{
    if (!m_splitter)
        return;
    m_settings->setValue(SplitKey, m_splitter->saveState());
    if (DepartmentView* old = shownView()) {
        if (old->view()->parentWidget() == m_splitter)
            old->view()->setParent(nullptr);
    }
    m_shown = dept;
    if (dept) {
        ensureView(dept);
        m_splitter->addWidget(dept->view->view());
        dept->view->view()->show();
    }
    m_splitter->restoreState(m_settings->value(SplitKey).toByteArray());
    m_selection->setView(shownView());
}

void DepartmentPanel::select(DeptInfo* dept)
{
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    if (dept != m_shown) {
        if (m_shown && m_shown->label)
            m_shown->label->setSelected(false);
        if (dept->label)
            dept->label->setSelected(true);
        show(dept);
    }
    m_selection->selectAll();
    m_selection->update();
}

void DepartmentPanel::create()
{
    const QString name = askDepartmentName(m_window);
    if (name.isEmpty())
        return;
    auto* dept = new DeptInfo;
    dept->id = m_departments.nextDepartmentId();
    dept->name = name;
    m_departments.append(dept);
    // Its label goes at the bottom of the panel, not selected.
    clearLabels();
    rebuildLabels(m_departments.indexOf(m_shown));
    save();
    ensureView(dept);
    logEvent(QStringLiteral("created new department ") + name);
}

void DepartmentPanel::rename(DeptInfo* dept)
{
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    const QString name = askDepartmentName(m_window);
    if (name.isEmpty())
        return;
    const QString oldName = dept->name;
    dept->name = name;
    if (dept->label)
        dept->label->updateAppearance();
    save();
    logEvent(QStringLiteral("renamed department ") + oldName + QStringLiteral(" to ") + name);
}

void DepartmentPanel::remove(DeptInfo* dept)
{
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    const QString title = QStringLiteral("Delete Department");
    if (dept->id == 0) {
        Ask::warning(m_window, title,
                     QStringLiteral("Department:\n\n") + dept->name +
                         QStringLiteral("\n\nis a special case and cannot be deleted."));
        return;
    }
    if (!dept->devices.isEmpty()) {
        Ask::critical(m_window, title,
                      QStringLiteral("Cannot delete Department:\n\n") + dept->name +
                          QStringLiteral("\n\nIt is not empty!"));
        return;
    }
    if (!Ask::confirm(m_window, title,
                      QStringLiteral("Are you sure you want to delete department:\n\n") + dept->name +
                          QStringLiteral("\n\nThis action cannot be undone."),
                      QMessageBox::No))
        return;

    // The shown department hands the right side to its predecessor (the second department
    // when it was the first).
    if (dept == m_shown) {
        const int index = m_departments.indexOf(dept);
        DeptInfo* next = index > 0 ? m_departments.at(index - 1)
                                   : (m_departments.size() > 1 ? m_departments.at(1) : nullptr);
        show(next);
        if (next && next->label)
            next->label->setSelected(true);
    }
    delete dept->view; // its rows, models, header and tree view
    dept->view = nullptr;

    const QString name = dept->name;
    m_departments.take(dept);
    save();
    if (ZylDropLabel* label = dept->label) {
        dept->label = nullptr;
        discardLabel(label);
    }
    logEvent(QStringLiteral("deleted department ") + name);
    delete dept;
    m_selection->update();
}

// ---- reordering by dragging labels -----------------------------------------------------

void DepartmentPanel::scrollBy(int delta)
{
    if (m_strip)
        m_strip->verticalScrollBar()->setValue(m_strip->verticalScrollBar()->value() + delta);
}

void DepartmentPanel::drag(DeptInfo* dept, QPoint pos, bool dropped)
{
    const int idx = m_departments.indexOf(dept);
    if (!dept || idx < 0 || !m_strip || !dept->label)
        return;
    const int s = m_strip->verticalScrollBar()->value();
    const int x = dept->label->x();
    // The pointer's height in the visible part of the panel.
    const int y = pos.y() + idx * LabelPitch - s;

    if (!m_dragMarker) {
        if (dropped)
            return; // a release without a drag in progress
        m_dragMarker = new QLabel(m_strip);
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
        scrollBy(-15);
    else if (y >= (m_splitter->height() - 1) - 62)
        scrollBy(15);
    m_dragMarker->setGeometry(x + 1, y, 64, 15);
    if (!dropped)
        return;

    m_departments.move(idx, dropIndex(y, s, m_departments.size()));

    clearLabels();
    rebuildLabels(m_departments.indexOf(dept));
    m_savedScrollPos = s;
    save();
    delete m_dragMarker;
    m_dragMarker = nullptr;
    // The shown department's label was rebuilt unselected unless it is the dragged one.
    if (m_shown && m_shown != dept && m_shown->label)
        m_shown->label->setSelected(false);
    emit departmentSelected(dept);
    QTimer::singleShot(10, this, &DepartmentPanel::restoreScrollPosition);
    logEvent(QStringLiteral("reordered departments"));
}

int DepartmentPanel::dropIndex(int y, int scrolled, int count)
{
    // Above the first label, or before or after the label under the pointer depending on
    // which half of it the pointer is in.
    const int e = qMin((y + scrolled) / LabelPitch, count - 1);
    if (y < 32)
        return 0;
    if (y + scrolled >= e * LabelPitch + LabelPitch / 2)
        return e + 1;
    return e;
}

void DepartmentPanel::restoreScrollPosition()
{
    if (m_strip)
        m_strip->verticalScrollBar()->setValue(m_savedScrollPos);
}

// ---- scrolling while devices are dragged ---------------------------------------------------

void DepartmentPanel::deviceDragEntered()
{
    if (!m_scrollTimer) {
        m_scrollTimer = new QTimer(this);
        connect(m_scrollTimer, &QTimer::timeout, this, &DepartmentPanel::scrollWhileDragging);
    }
    if (!m_scrollTimer->isActive())
        m_scrollTimer->start(50);
}

void DepartmentPanel::scrollWhileDragging()
{
    if (!(QApplication::mouseButtons() & Qt::LeftButton) || !m_strip) {
        if (m_scrollTimer)
            m_scrollTimer->stop();
        return;
    }
    const QPoint p = m_strip->mapFromGlobal(QCursor::pos());
    if (p.x() < 0 || p.x() >= m_strip->width() || p.y() < 0 || p.y() >= m_strip->height())
        return;
    if (p.y() <= 31)
        scrollBy(-12);
    else if (p.y() >= m_strip->height() - 30)
        scrollBy(12);
}

#include "devicesearch.h"

#include "departments.h"
#include "departmentview.h"
#include "thinclientinfo.h"
#include "zyldroplabel.h"
#include "zyltreeview.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QShortcut>
#include <QStandardItemModel>

DeviceSearch::DeviceSearch(DepartmentList& departments, QObject* parent)
    : QObject(parent)
    , m_departments(departments)
{
}

QLineEdit* DeviceSearch::createBox(QWidget* window)
{
    m_box = new QLineEdit(window);
    m_box->setObjectName(QStringLiteral("searchBox"));
    m_box->setPlaceholderText(QStringLiteral("Search devices"));
    m_box->setToolTip(QStringLiteral("Shows the devices whose shown columns hold every word typed (Ctrl+F)"));
    m_box->setClearButtonEnabled(true);
    connect(m_box, &QLineEdit::textChanged, this, &DeviceSearch::setQuery);

    auto* find = new QShortcut(QKeySequence::Find, window);
    find->setObjectName(QStringLiteral("searchShortcut"));
    find->setContext(Qt::WindowShortcut);
    connect(find, &QShortcut::activated, m_box, [this] {
        m_box->setFocus(Qt::ShortcutFocusReason);
        m_box->selectAll();
    });
    m_box->installEventFilter(this);
    return m_box;
}

bool DeviceSearch::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::FocusIn)
        prepareRows();
    // Escape in the box empties it (the line edit itself does nothing with it).
    if (watched == m_box && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !m_box->text().isEmpty()) {
        m_box->clear();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void DeviceSearch::setQuery(const QString& text)
{
    const QString simplified = text.simplified();
    if (simplified == m_text)
        return;
    // Typing on narrows the search: a row the shorter query hid stays hidden.
    const bool narrowing = !m_text.isEmpty() && simplified.startsWith(m_text);
    m_text = simplified;
    m_query = rvx::search::Query(simplified);
    if (!narrowing) {
        m_state.clear();
        m_visibleInGroup.clear();
    }
    for (DeptInfo* dept : m_departments.items())
        apply(dept, narrowing);
    if (m_query.isEmpty()) {
        m_state.clear();
        m_visibleInGroup.clear();
    }
}

void DeviceSearch::prepareRows()
{
    // Any non-empty query prepares the rows it looks at.
    const rvx::search::Query query = m_query;
    m_query = rvx::search::Query(QStringLiteral("x"));
    for (DeptInfo* dept : m_departments.items()) {
        for (const ThinclientInfo* device : qAsConst(dept->devices)) {
            if (!m_rows.contains(device))
                rowMatches(dept, device);
        }
    }
    m_query = query;
}

bool DeviceSearch::rowMatches(DeptInfo* dept, const ThinclientInfo* device)
{
    if (m_query.isEmpty())
        return true;
    auto cached = m_rows.constFind(device);
    if (cached != m_rows.constEnd())
        return m_query.matches(*cached);
    const DepartmentView* list = dept->view;
    if (!list || !device->item || !device->item->parent())
        return false;
    const QStandardItem* group = device->item->parent();
    const int row = device->item->row();
    const QVector<DeviceColumn>& columns = list->layout().shown;
    QStringList cells;
    cells.reserve(columns.size());
    for (int c = 0; c < columns.size(); ++c) {
        const QStandardItem* cell = group->child(row, c);
        cells.append(cell ? cell->text() : QString());
    }
    return m_query.matches(*m_rows.insert(device, rvx::search::Query::prepare(columns, cells)));
}

void DeviceSearch::apply(DeptInfo* dept, bool narrowing)
{
    DepartmentView* list = dept->view;
    if (!list) {
        dept->matching = m_query.isEmpty() ? -1 : 0;
        updateLabel(dept);
        return;
    }
    ZylTreeView* view = list->view();
    QStandardItemModel* model = list->model();
    QItemSelectionModel* selection = view->selectionModel();
    // Only selected rows leave the selection: a selection change of thousands of ranges would
    // cost more than the search.
    const bool anySelected = selection->hasSelection();
    QItemSelection leaving;
    int matching = 0;
    for (int g = 0; g < model->rowCount(); ++g) {
        QStandardItem* group = model->item(g);
        const QModelIndex groupIndex = group->index();
        int visible = 0;
        quint8 type = 0;
        for (int r = 0; r < group->rowCount(); ++r) {
            const ThinclientInfo* device = DepartmentView::deviceOf(group->child(r));
            if (!device)
                continue;
            type = device->firmwareType();
            const bool wasHidden = view->isRowHidden(r, groupIndex);
            const bool matches = narrowing && wasHidden ? false : rowMatches(dept, device);
            if (matches)
                ++visible;
            if (!m_query.isEmpty())
                m_state.insert(device, {matches, {dept, type}});
            if (wasHidden == matches) {
                view->setRowHidden(r, groupIndex, !matches);
                if (!matches && anySelected && selection->isRowSelected(r, groupIndex))
                    leaving.select(model->index(r, 0, groupIndex),
                                   model->index(r, model->columnCount(groupIndex) - 1, groupIndex));
            }
        }
        matching += visible;
        if (!m_query.isEmpty())
            m_visibleInGroup.insert({dept, type}, visible);
        const bool groupHidden = !m_query.isEmpty() && visible == 0;
        if (view->isRowHidden(g, QModelIndex()) != groupHidden) {
            view->setRowHidden(g, QModelIndex(), groupHidden);
            if (groupHidden && anySelected && selection->isRowSelected(g, QModelIndex()))
                leaving.select(groupIndex, groupIndex.sibling(g, model->columnCount() - 1));
        }
    }
    // Rows the administrator cannot see are no part of what the actions apply to.
    if (!leaving.isEmpty())
        selection->select(leaving, QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    dept->matching = m_query.isEmpty() ? -1 : matching;
    updateLabel(dept);
}

void DeviceSearch::rowRefreshed(DeptInfo* dept, ThinclientInfo* device)
{
    if (!m_rows.isEmpty())
        m_rows.remove(device); // its texts may have changed
    if (m_query.isEmpty() || !dept || !device || !dept->view || !device->item || !device->item->parent())
        return;
    const bool matches = rowMatches(dept, device);
    const GroupKey group{dept, device->firmwareType()};
    auto it = m_state.find(device);
    if (it != m_state.end() && it->matches == matches && it->group == group)
        return;
    if (it != m_state.end() && it->matches) {
        --m_visibleInGroup[it->group];
        --dept->matching;
    }
    m_state.insert(device, {matches, group});
    if (matches) {
        ++m_visibleInGroup[group];
        ++dept->matching;
    }
    ZylTreeView* view = dept->view->view();
    QStandardItem* first = device->item;
    const QModelIndex parent = first->parent()->index();
    if (view->isRowHidden(first->row(), parent) == matches) {
        view->setRowHidden(first->row(), parent, !matches);
        if (!matches)
            view->selectionModel()->select(first->index(),
                                           QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    }
    setGroupVisible(dept, device->firmwareType(), m_visibleInGroup.value(group) > 0);
    updateLabel(dept);
}

void DeviceSearch::rowRemoved(DeptInfo* dept, ThinclientInfo* device)
{
    m_rows.remove(device);
    if (m_query.isEmpty() || !dept)
        return;
    auto it = m_state.find(device);
    if (it == m_state.end())
        return;
    const GroupKey group = it->group;
    if (it->matches) {
        --m_visibleInGroup[group];
        --dept->matching;
    }
    m_state.erase(it);
    // The row goes: a group left without a shown row is hidden (an empty one goes too).
    if (m_visibleInGroup.value(group) <= 0)
        setGroupVisible(dept, group.second, false);
    // The label's total follows once the device has left the department.
    QMetaObject::invokeMethod(
        this,
        [this, dept] {
            if (m_departments.indexOf(dept) >= 0)
                updateLabel(dept);
        },
        Qt::QueuedConnection);
}

void DeviceSearch::setGroupVisible(DeptInfo* dept, quint8 firmwareType, bool visible)
{
    QStandardItem* group = dept->view ? dept->view->group(firmwareType) : nullptr;
    if (!group)
        return;
    ZylTreeView* view = dept->view->view();
    if (view->isRowHidden(group->row(), QModelIndex()) == !visible)
        return;
    view->setRowHidden(group->row(), QModelIndex(), !visible);
    if (!visible)
        view->selectionModel()->select(group->index(),
                                       QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void DeviceSearch::updateLabel(DeptInfo* dept)
{
    if (dept->label)
        dept->label->updateAppearance();
}

#include "deviceselection.h"

#include "departmentview.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTimer>

DeviceSelection::DeviceSelection(QObject* parent)
    : QObject(parent)
{
    // Selections made with the keyboard or by the program are followed up too, once the
    // turn's changes are done.
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    m_timer->setInterval(0);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_dirty)
            update();
    });
}

void DeviceSelection::setView(DepartmentView* view)
{
    m_view = view;
    markChanged();
}

bool DeviceSelection::countsAsOnline(const ThinclientInfo* device)
{
    return device->bootMode() != ThinclientInfo::BootOffline;
}

QList<ThinclientInfo*> DeviceSelection::selectedDevices(bool onlineOnly) const
{
    QList<ThinclientInfo*> devices;
    if (!m_view)
        return devices;
    QSet<ThinclientInfo*> seen;
    // Row by row through the selected ranges: a whole-row selection of thousands of devices
    // is read once per row, not once per cell.
    const QItemSelection selection = m_view->view()->selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        const QModelIndex parent = range.parent();
        if (!parent.isValid())
            continue; // group rows
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const QModelIndex index = range.model()->index(row, range.left(), parent);
            if (range.model()->hasChildren(index))
                continue;
            // A row the search hides is not part of the selection the actions see.
            if (m_view->view()->isRowHidden(row, parent))
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

void DeviceSelection::markChanged()
{
    m_dirty = true;
    m_timer->start();
}

void DeviceSelection::rowRefreshed(ThinclientInfo* device)
{
    if (m_dirty) {
        update();
        return;
    }
    auto it = m_online.find(device);
    if (it == m_online.end())
        return;
    const bool online = countsAsOnline(device);
    if (it.value() != online) {
        it.value() = online;
        if (online)
            m_selectedOnline.insert(device);
        else
            m_selectedOnline.remove(device);
        apply();
    } else if (m_selectedOnline.size() == 1 && m_selectedOnline.contains(device)) {
        emit singleRefreshed(device);
    }
}

void DeviceSelection::update()
{
    rebuild();
    apply();
}

void DeviceSelection::forget(ThinclientInfo* device)
{
    m_online.remove(device);
    m_selectedOnline.remove(device);
}

void DeviceSelection::rebuild()
{
    m_online.clear();
    m_selectedOnline.clear();
    const QList<ThinclientInfo*> devices = selectedDevices(false);
    m_online.reserve(devices.size());
    for (ThinclientInfo* device : devices) {
        const bool online = countsAsOnline(device);
        m_online.insert(device, online);
        if (online)
            m_selectedOnline.insert(device);
    }
    m_dirty = false;
}

void DeviceSelection::apply()
{
    const int n = m_selectedOnline.size();
    emit applied(n, n == 1 ? *m_selectedOnline.constBegin() : nullptr);
}

namespace {

// The rows under parent from first to last that the search shows, as whole-row ranges.
void selectShown(QItemSelection& selection, const ZylTreeView* view, const QAbstractItemModel* model,
                 const QModelIndex& parent, int first, int last)
{
    int run = -1;
    for (int row = first; row <= last + 1; ++row) {
        const bool shown = row <= last && !view->isRowHidden(row, parent);
        if (shown && run < 0) {
            run = row;
        } else if (!shown && run >= 0) {
            selection.select(model->index(run, 0, parent), model->index(row - 1, 0, parent));
            run = -1;
        }
    }
}

// The last row under parent that the search shows; -1 when none.
int lastShown(const ZylTreeView* view, const QModelIndex& parent, int rows)
{
    for (int row = rows - 1; row >= 0; --row) {
        if (!view->isRowHidden(row, parent))
            return row;
    }
    return -1;
}

} // namespace

void DeviceSelection::selectAll()
{
    if (!m_view || m_view->model()->rowCount() == 0)
        return;
    QAbstractItemModel* model = m_view->model();
    const ZylTreeView* tree = m_view->view();
    const int groups = model->rowCount();
    // The shown group rows and their shown devices, as one selection change.
    QItemSelection all;
    selectShown(all, tree, model, QModelIndex(), 0, groups - 1);
    QModelIndex current;
    for (int g = 0; g < groups; ++g) {
        if (tree->isRowHidden(g, QModelIndex()))
            continue;
        const QModelIndex group = model->index(g, 0);
        const int children = model->rowCount(group);
        if (children > 0)
            selectShown(all, tree, model, group, 0, children - 1);
        const int last = lastShown(tree, group, children);
        current = last >= 0 ? model->index(last, 0, group) : group;
    }
    if (all.isEmpty())
        return;
    QItemSelectionModel* selection = m_view->view()->selectionModel();
    selection->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
}

void DeviceSelection::selectGroup(const QModelIndex& index)
{
    if (!m_view || !index.isValid())
        return;
    const QModelIndex group = index.sibling(index.row(), 0);
    QAbstractItemModel* model = m_view->model();
    const int children = model->rowCount(group);
    if (children == 0)
        return;
    QItemSelection shown;
    selectShown(shown, m_view->view(), model, group, 0, children - 1);
    if (shown.isEmpty())
        return;
    QItemSelectionModel* selection = m_view->view()->selectionModel();
    selection->select(shown, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(model->index(lastShown(m_view->view(), group, children), 0, group),
                               QItemSelectionModel::NoUpdate);
}

void DeviceSelection::clicked(const QModelIndex& index)
{
    if (m_view && index.isValid()) {
        // One whole group row selected: the click selects the group's devices.
        const QItemSelection selection = m_view->view()->selectionModel()->selection();
        int cells = 0;
        for (const QItemSelectionRange& range : selection)
            cells += range.width() * range.height();
        if (!selection.isEmpty() && cells == m_view->header()->count()) {
            const QModelIndex first = selection.first().topLeft();
            if (!first.parent().isValid())
                selectGroup(index);
        }
    }
    update();
}

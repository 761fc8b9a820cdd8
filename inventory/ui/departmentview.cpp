#include "departmentview.h"
#include "devicetext.h"

#include "configlib.h"
#include "departments.h"
#include "drift.h"
#include "rvxdb.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QBrush>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStandardItemModel>
#include <QTimer>

namespace {

// Rows added without a pause keep the list unsorted for at most this long.
constexpr qint64 MaxUnsortedMs = 1000;

const QColor Black(0, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Red(255, 0, 0);

QStandardItem* readOnlyItem(const QString& text = QString())
{
    auto* item = new QStandardItem(text);
    item->setFlags(item->flags() & ~(Qt::ItemIsEditable | Qt::ItemIsUserCheckable));
    return item;
}

// A cell that sorts by its rank when both cells have one (the "Profile" cell: "differs (10)"
// after "differs (9)").
class RankedItem : public QStandardItem
{
public:
    RankedItem() { setFlags(flags() & ~(Qt::ItemIsEditable | Qt::ItemIsUserCheckable)); }
    bool operator<(const QStandardItem& other) const override
    {
        const QVariant mine = data(DepartmentView::RankRole);
        const QVariant theirs = other.data(DepartmentView::RankRole);
        if (mine.isValid() && theirs.isValid())
            return mine.toInt() < theirs.toInt();
        return QStandardItem::operator<(other);
    }
    QStandardItem* clone() const override { return new RankedItem; }
};

void setForeground(QStandardItem* item, const QColor& colour)
{
    item->setForeground(QBrush(colour));
}

QColor versionCellColour(const QString& version, quint32 latest, quint32 threshold)
{
    switch (::versionColour(packedVersion(version), latest, threshold)) {
    case VersionColour::Blue:
        return Blue;
    case VersionColour::Red:
        return Red;
    case VersionColour::Black:
        break;
    }
    return Black;
}

} // namespace

DepartmentView::DepartmentView(DeptInfo* dept, const DeviceListLayout& layout)
    : QObject(dept)
    , m_dept(dept)
    , m_layout(layout)
{
    m_model = new QStandardItemModel(this);
    m_view = new ZylTreeView;
    m_view->setModel(m_model);
    m_view->setContextMenuPolicy(Qt::CustomContextMenu);
    m_view->setDragEnabled(true);
    m_view->setDragDropMode(QAbstractItemView::DragOnly);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setUniformRowHeights(true);

    auto* header = new QHeaderView(Qt::Horizontal, m_view);
    header->setStretchLastSection(true);
    m_view->setHeader(header);
    m_model->setHorizontalHeaderLabels(m_layout.headers);
    if (m_layout.hasWidths) {
        for (int n = 0; n < m_layout.widths.size(); ++n)
            header->resizeSection(n, m_layout.widths.at(n));
    } else {
        header->setDefaultSectionSize(120);
    }

    // Devices that connect for the first time in great numbers arrive a few per turn: the list
    // is sorted again once a tenth of a second has passed without a new row, and at the
    // latest a second after the first unsorted one (sorting 10,000 rows ten times a second
    // was a fifth of the server's work while a new fleet arrived).
    m_sortTimer = new QTimer(this);
    m_sortTimer->setSingleShot(true);
    m_sortTimer->setInterval(100);
    connect(m_sortTimer, &QTimer::timeout, this, &DepartmentView::finishInsert);
}

DepartmentView::~DepartmentView()
{
    // Nobody hears about the selection of a list being torn down.
    if (m_view->selectionModel())
        m_view->selectionModel()->disconnect();
    m_view->disconnect();
    // The records are not touched: at the end of the program they are already gone.
    delete m_view;
    m_view = nullptr;
}

QHeaderView* DepartmentView::header() const
{
    return m_view->header();
}

QStandardItem* DepartmentView::ensureGroup(quint8 firmwareType)
{
    if (QStandardItem* existing = m_groups.value(firmwareType, nullptr))
        return existing;
    const QString name = config_hardware_display_name(firmwareType);
    const int p = m_layout.cell(DeviceColumn::FwType);
    QList<QStandardItem*> row;
    if (p > 0) {
        for (int i = 0; i <= p; ++i)
            row.append(readOnlyItem(i == p ? name : QString()));
    } else {
        row.append(readOnlyItem(name));
    }
    m_model->invisibleRootItem()->appendRow(row);
    // A group shown in the first column may run across the row, so its name is not cut at
    // the width of the device cells below it.
    if (p <= 0)
        m_view->setFirstColumnSpanned(row.first()->row(), QModelIndex(), true);
    m_groups.insert(firmwareType, row.first());
    return row.first();
}

void DepartmentView::addRow(ThinclientInfo* device)
{
    if (!device)
        return;
    if (m_view->isSortingEnabled())
        m_view->setSortingEnabled(false);
    if (!m_sortTimer->isActive()) {
        m_unsortedSince.start();
        m_sortTimer->start();
    } else if (m_unsortedSince.elapsed() < MaxUnsortedMs) {
        m_sortTimer->start();
    }

    QStandardItem* group = ensureGroup(device->firmwareType());
    QList<QStandardItem*> cells;
    cells.reserve(m_layout.cellCount());
    const QVariant pointer = QVariant::fromValue(static_cast<void*>(device));
    const int profileCell = m_layout.cell(DeviceColumn::Profile);
    for (int i = 0; i < m_layout.cellCount(); ++i) {
        QStandardItem* item = i == profileCell ? new RankedItem : readOnlyItem();
        item->setData(pointer, DeviceRole);
        cells.append(item);
    }
    device->item = cells.isEmpty() ? nullptr : cells.first();
    if (!cells.isEmpty())
        group->appendRow(cells);

    const QModelIndex groupIndex = group->index();
    if (!m_view->isExpanded(groupIndex))
        m_view->expand(groupIndex);
}

void DepartmentView::removeRow(ThinclientInfo* device)
{
    if (!device)
        return;
    m_view->clearSelection();
    QStandardItem* first = device->item;
    device->item = nullptr;
    if (!first || first->model() != m_model)
        return;
    QStandardItem* group = first->parent();
    if (!group)
        return;
    if (contextItem && (contextItem == first || deviceOf(contextItem) == device))
        contextItem = nullptr;
    group->removeRow(first->row());
    if (group->rowCount() == 0) {
        for (auto it = m_groups.begin(); it != m_groups.end(); ++it) {
            if (it.value() == group) {
                m_groups.erase(it);
                break;
            }
        }
        if (contextItem == group)
            contextItem = nullptr;
        m_model->invisibleRootItem()->removeRow(group->row());
    }
}

bool DepartmentView::inOwnGroup(const ThinclientInfo* device) const
{
    return device && device->item && device->item->parent() == group(device->firmwareType());
}

QStandardItem* DepartmentView::cell(const ThinclientInfo* device, DeviceColumn column) const
{
    const int index = m_layout.cell(column);
    if (!device || index < 0 || !device->item)
        return nullptr;
    QStandardItem* parent = device->item->parent();
    if (!parent)
        return nullptr;
    return parent->child(device->item->row(), index);
}

void DepartmentView::refreshRow(const ThinclientInfo* device, const Latest& latest, const rvxDB* history,
                                bool isNewClient)
{
    if (!device || !device->item || !device->item->parent())
        return;
    QStandardItem* parent = device->item->parent();
    const int row = device->item->row();
    const int type = device->firmwareType();
    const quint32 latestFirmware = latest.firmware && type < latest.types ? latest.firmware[type] : 0;
    const quint32 latestClient = latest.client && type < latest.types ? latest.client[type] : 0;

    for (int i = 0; i < m_layout.shown.size(); ++i) {
        QStandardItem* item = parent->child(row, i);
        if (!item)
            continue;
        const DeviceColumn column = m_layout.shown.at(i);
        switch (column) {
        case DeviceColumn::Status:
            if (isNewClient) {
                setForeground(item, Blue);
                item->setText(initialStatusText(device->bootMode()));
            }
            break;
        case DeviceColumn::FirmwareVersion:
            item->setText(device->firmwareVersion());
            setForeground(
                item, versionCellColour(device->firmwareVersion(), latestFirmware, FirmwareBlueThreshold));
            break;
        case DeviceColumn::ClientVersion:
            item->setText(device->clientVersion());
            setForeground(item,
                          versionCellColour(device->clientVersion(), latestClient, ClientBlueThreshold));
            break;
        case DeviceColumn::LastSeen:
            item->setText(lastSeenText(history ? history->lastSeen(device->serialNumber()) : 0));
            break;
        default:
            item->setText(deviceColumnText(*device, column, 0));
            break;
        }
    }
}

void DepartmentView::setStatus(const ThinclientInfo* device, qint8 code, const QString& text)
{
    QStandardItem* item = cell(device, DeviceColumn::Status);
    if (!item)
        return;
    switch (code) {
    case 0:
        setForeground(item, Black);
        break;
    case 1:
        setForeground(item, Red);
        break;
    case 2:
        setForeground(item, Blue);
        break;
    default:
        break; // other codes change only the text
    }
    item->setText(text);
}

void DepartmentView::setDrift(const ThinclientInfo* device, std::optional<int> differences)
{
    QStandardItem* item = cell(device, DeviceColumn::Profile);
    if (!item)
        return;
    const QString text = drift::columnText(differences);
    const int rank = drift::sortRank(differences);
    if (item->text() != text)
        item->setText(text);
    const QVariant current = item->data(RankRole);
    if (!current.isValid() || current.toInt() != rank)
        item->setData(rank, RankRole);
}

void DepartmentView::finishInsert()
{
    m_sortTimer->stop();
    if (!m_view->isSortingEnabled())
        m_view->setSortingEnabled(true);
}

ThinclientInfo* DepartmentView::deviceOf(const QModelIndex& index)
{
    if (!index.isValid())
        return nullptr;
    return static_cast<ThinclientInfo*>(index.data(DeviceRole).value<void*>());
}

ThinclientInfo* DepartmentView::deviceOf(const QStandardItem* item)
{
    if (!item)
        return nullptr;
    return static_cast<ThinclientInfo*>(item->data(DeviceRole).value<void*>());
}

#pragma once

#include "devicecolumns.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <optional>

class DeptInfo;
class QHeaderView;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class QTimer;
class ThinclientInfo;
class ZylTreeView;
class rvxDB;

// The device list of one department: the tree view and its rows, one group row per firmware
// type present in the department with the device rows under it. Owned by the department
// record (its Qt parent); deleting it deletes the view and the rows.
//
// Every cell of a device row holds the device record under DeviceRole; the record's `item`
// is the row's first cell. Sorting is switched off while rows are inserted and switched on
// again a tenth of a second after the first insertion, so thousands of new rows, added at
// once or one per turn, sort a few times rather than once per row.
class DepartmentView : public QObject
{
    Q_OBJECT

public:
    static constexpr int DeviceRole = 257; // Qt::UserRole + 1
    static constexpr int RankRole = 258;   // how a cell sorts, when it does not sort by its text

    DepartmentView(DeptInfo* dept, const DeviceListLayout& layout);
    ~DepartmentView() override;

    ZylTreeView* view() const { return m_view; }
    QStandardItemModel* model() const { return m_model; }
    QHeaderView* header() const;
    const DeviceListLayout& layout() const { return m_layout; }
    DeptInfo* department() const { return m_dept; }

    // The first cell of the group row of a firmware type; null when there is none.
    QStandardItem* group(quint8 firmwareType) const { return m_groups.value(firmwareType, nullptr); }
    int groupCount() const { return m_groups.size(); }
    // The item last right-clicked (null when none).
    QStandardItem* contextItem = nullptr;

    // Appends the device's row under its group (created when missing). The cells are empty
    // until refreshRow fills them.
    void addRow(ThinclientInfo* device);
    // Clears the selection, removes the device's row and a group row left empty, and sets the
    // record's `item` to null.
    void removeRow(ThinclientInfo* device);
    // Whether the device's row sits under the group of its current firmware type.
    bool inOwnGroup(const ThinclientInfo* device) const;
    // The cell of a column in the device's row; null when the column is hidden or the device
    // has no row.
    QStandardItem* cell(const ThinclientInfo* device, DeviceColumn column) const;

    // Newest known versions per firmware type (packed; 0 = unknown).
    struct Latest
    {
        const quint32* firmware = nullptr;
        const quint32* client = nullptr;
        int types = 0;
    };
    // Sets every shown cell of the device's row from the record: texts, version colours,
    // last-seen time (from the history) and, for a new or reconnected device, the status.
    void refreshRow(const ThinclientInfo* device, const Latest& latest, const rvxDB* history,
                    bool isNewClient);
    // The status cell: colour by code (1 red, 2 blue, 0 black, other codes keep it) and text.
    void setStatus(const ThinclientInfo* device, qint8 code, const QString& text);
    // The "Profile" cell: "matches", "differs (N)" or empty (no linked profile or no stored
    // configuration); it sorts matches first, then by N, empty cells last.
    void setDrift(const ThinclientInfo* device, std::optional<int> differences);

    // Switches sorting back on now (it is also done a tenth of a second after an insertion).
    void finishInsert();

    // The device record of a row's cell; null for group rows and invalid indexes.
    static ThinclientInfo* deviceOf(const QModelIndex& index);
    static ThinclientInfo* deviceOf(const QStandardItem* item);

private:
    QStandardItem* ensureGroup(quint8 firmwareType);

    DeptInfo* m_dept;
    DeviceListLayout m_layout;
    ZylTreeView* m_view = nullptr;
    QStandardItemModel* m_model = nullptr;
    QHash<quint8, QStandardItem*> m_groups;
    QTimer* m_sortTimer = nullptr;
    QElapsedTimer m_unsortedSince; // the first row added since the list was last sorted
};

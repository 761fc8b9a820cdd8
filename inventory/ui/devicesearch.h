#pragma once

// The search box above the device lists and what it does: every department's list shows
// only the device rows that match the query (rows are hidden in the tree, the model stays
// as it is), a group row with no matching device is hidden too, rows that are hidden leave
// the selection, and each department's label tells how many of its devices match.
// Devices that arrive or change while a query is active obey it.
//
// Ctrl+F focuses the box and selects its text; Escape in the box empties it, which shows
// every row again.

#include "devicefilter.h"

#include <QHash>
#include <QObject>
#include <QPair>

class DepartmentList;
class DeptInfo;
class QLineEdit;
class QWidget;
class ThinclientInfo;

class DeviceSearch : public QObject
{
    Q_OBJECT

public:
    explicit DeviceSearch(DepartmentList& departments, QObject* parent = nullptr);

    // The box ("searchBox"), with Ctrl+F on the window and Escape on the box.
    QLineEdit* createBox(QWidget* window);
    QLineEdit* box() const { return m_box; }

    // Filters every list by the query (also what typing in the box does).
    void setQuery(const QString& text);
    const rvx::search::Query& query() const { return m_query; }
    bool isActive() const { return !m_query.isEmpty(); }

    // Prepares every listed row for matching, so the first keystroke costs no more than the
    // next ones (done when the box gets the focus).
    void prepareRows();

    // A device's row was filled or its texts changed: it is shown or hidden by the query.
    void rowRefreshed(DeptInfo* dept, ThinclientInfo* device);
    // A device's row is about to be removed from the department's list.
    void rowRemoved(DeptInfo* dept, ThinclientInfo* device);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using GroupKey = QPair<const DeptInfo*, quint8>;
    struct State
    {
        bool matches = false;
        GroupKey group;
    };

    void apply(DeptInfo* dept, bool narrowing);
    bool rowMatches(DeptInfo* dept, const ThinclientInfo* device);
    void setGroupVisible(DeptInfo* dept, quint8 firmwareType, bool visible);
    void updateLabel(DeptInfo* dept);

    DepartmentList& m_departments;
    QLineEdit* m_box = nullptr;
    rvx::search::Query m_query;
    QString m_text; // the query as last applied, simplified
    // While a query is active: every listed device's result, and the number of matching
    // devices under each group row.
    QHash<const ThinclientInfo*, State> m_state;
    QHash<GroupKey, int> m_visibleInGroup;
    // Each device's row prepared for matching, from its first search on until its texts
    // change, so a keystroke does not read thousands of cells again.
    QHash<const ThinclientInfo*, rvx::search::Query::Row> m_rows;
};

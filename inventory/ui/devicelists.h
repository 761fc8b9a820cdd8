#pragma once

// The rows of the device lists: where each device is listed (its department), its row kept
// up to date from its record, the status texts, and devices dragged onto another department.

#include <QObject>
#include <QString>

class DepartmentList;
class DepartmentPanel;
class DeptInfo;
class DriftCache;
class DeviceSearch;
class DeviceSelection;
class ThinclientInfo;
class ZylTreeView;
class rvxDB;

class DeviceLists : public QObject
{
    Q_OBJECT

public:
    DeviceLists(DepartmentList& departments, DepartmentPanel* panel, DeviceSelection* selection,
                QObject* parent = nullptr);

    // Where version colours and last-seen times come from: the newest known versions per
    // firmware type (packed, `types` entries each) and the device history.
    void setLatest(const quint32* firmware, const quint32* client, int types);
    void setHistory(const rvxDB* history) { m_history = history; }
    // The search whose query rows obey as they are filled and changed.
    void setSearch(DeviceSearch* search) { m_search = search; }
    // Where the "Profile" cells come from.
    void setDrift(DriftCache* drift) { m_drift = drift; }
    DriftCache* drift() const { return m_drift; }

    // A new or stored device: placed in its department (by member list, else "Orphans",
    // created when missing) with a row of its own.
    void place(ThinclientInfo* device);
    // Takes the device out of its department's list.
    void remove(ThinclientInfo* device);
    void addRow(DeptInfo* dept, ThinclientInfo* device);
    void removeRow(DeptInfo* dept, ThinclientInfo* device);
    // The device's record changed: its row follows (and the selection's follow-up when the
    // device is in the shown list).
    void refresh(ThinclientInfo* device, bool isNewClient);
    // Refreshes every row (the newest known versions changed).
    void refreshAll();
    // A department's linked profile was linked, unlinked or saved again: its rows follow.
    void refreshDepartment(DeptInfo* dept);
    // A profile file was written: the departments linked to it follow.
    void profileSaved(const QString& path);
    void setStatus(ThinclientInfo* device, qint8 code, const char* message);

    // The selected devices were dragged onto the target department's label: they become its
    // members (and no other department's), and an online device of a department with a
    // linked profile reconnects to receive it.
    void dropSelected(DeptInfo* target, ZylTreeView* sourceView);

private:
    void refreshRow(DeptInfo* dept, ThinclientInfo* device, bool isNewClient);

    DepartmentList& m_departments;
    DepartmentPanel* m_panel;
    DeviceSelection* m_selection;
    const rvxDB* m_history = nullptr;
    DeviceSearch* m_search = nullptr;
    DriftCache* m_drift = nullptr;
    const quint32* m_latestFirmware = nullptr;
    const quint32* m_latestClient = nullptr;
    int m_types = 0;
};

#pragma once

// The selected devices of the shown department's list, and the follow-up of a selection
// change: the number of selected online devices (which decides the enabled device actions)
// and, with exactly one, that device (whose configuration the configuration store holds).
//
// The selected devices and their online state when last looked at are cached: rebuilt after
// a selection change, kept up to date by the row refreshes, so a message from a device never
// walks the selection.

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>

class DepartmentView;
class QModelIndex;
class QTimer;
class ThinclientInfo;

class DeviceSelection : public QObject
{
    Q_OBJECT

public:
    explicit DeviceSelection(QObject* parent = nullptr);

    // The list whose selection counts (null: none shown).
    void setView(DepartmentView* view);
    DepartmentView* view() const { return m_view; }

    // The devices of the selected rows, each once, in selection order; online ones only
    // when asked (online: not in boot mode "Offline").
    QList<ThinclientInfo*> selectedDevices(bool onlineOnly) const;
    static bool countsAsOnline(const ThinclientInfo* device);

    // The selection changed: it is followed up once the turn's changes are done.
    void markChanged();
    bool isDirty() const { return m_dirty; }
    // A device's row was refreshed: the follow-up runs only when its result can change (the
    // selection changed, or a selected device went online or offline); otherwise the single
    // selected device's message only refreshes the store.
    void rowRefreshed(ThinclientInfo* device);
    // Rebuilds the cache and follows up now.
    void update();
    // A device is going away: it leaves the cache.
    void forget(ThinclientInfo* device);

    int onlineCount() const { return m_selectedOnline.size(); }

    // Selecting rows as the administrator does: every row of the list (groups and devices,
    // as one change), every device of a group, and a click (a click on a selected group row
    // selects the group's devices; the selection is followed up at once).
    void selectAll();
    void selectGroup(const QModelIndex& index);
    void clicked(const QModelIndex& index);

signals:
    // The follow-up: the number of selected online devices, and the one device when that
    // number is 1 (null otherwise).
    void applied(int onlineSelected, ThinclientInfo* single);
    // The one selected online device sent a message: its configuration may have changed.
    void singleRefreshed(ThinclientInfo* device);

private:
    void rebuild();
    void apply();

    DepartmentView* m_view = nullptr;
    QHash<ThinclientInfo*, bool> m_online; // selected devices -> online when last looked at
    QSet<ThinclientInfo*> m_selectedOnline;
    bool m_dirty = true;
    QTimer* m_timer = nullptr;
};

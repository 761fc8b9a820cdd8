#pragma once

// The left side of the main window and the list beside it: the department labels in a
// scrolling strip (creating, renaming, deleting and reordering departments by dragging their
// labels, with the automatic scrolling while devices are dragged over it), the device list
// of the shown department, and the departments file: a change made after a quiet second is
// written at the end of its event-loop turn, and while changes keep coming (a new fleet being
// adopted) the file is written at most once a second, so nothing waits longer than that.
//
// The labels' and lists' signals are passed on as the panel's own, so the window connects
// its slots once.

#include "devicecolumns.h"

#include <QElapsedTimer>
#include <QModelIndex>
#include <QObject>
#include <QPoint>
#include <QString>

class DepartmentList;
class DepartmentView;
class DeptInfo;
class DeviceSelection;
class QLabel;
class QSettings;
class QSplitter;
class QTimer;
class QVBoxLayout;
class QWidget;
class ZylDropLabel;
class ZylScrollArea;
class ZylTreeView;

class DepartmentPanel : public QObject
{
    Q_OBJECT

public:
    // Labels follow each other every 70 pixels (64 high, 6 apart).
    static constexpr int LabelPitch = 70;

    DepartmentPanel(QWidget* window, DepartmentList& departments, DeviceSelection* selection,
                    QSettings* settings, QString departmentsPath);
    ~DepartmentPanel() override;

    // Builds the strip, every department's list and the splitter that holds the strip and
    // the first department's list (shown at start-up).
    void build();
    QSplitter* splitter() const { return m_splitter; }
    ZylScrollArea* strip() const { return m_strip; }
    const DeviceListLayout& layout() const { return m_layout; }

    DeptInfo* shown() const { return m_shown; }
    DepartmentView* shownView() const;
    // The list of a department, created on first use.
    DepartmentView* ensureView(DeptInfo* dept);
    DeptInfo* departmentOfView(const ZylTreeView* view) const;

    // Labels: all rebuilt, the one at the index shown selected.
    void rebuildLabels(int selectedIndex);
    void clearLabels();

    // The administrator's department actions.
    void select(DeptInfo* dept);
    void create();
    void rename(DeptInfo* dept);
    void remove(DeptInfo* dept);
    void drag(DeptInfo* dept, QPoint pos, bool dropped);
    void restoreScrollPosition();
    void deviceDragEntered();
    void scrollWhileDragging();

    // The departments file: a change is recorded and written at the end of the turn, or a
    // second after the previous write when that was less than a second ago (and by flush, at
    // close and quit). flush returns 0 on success or when nothing was pending, -1 when the
    // file could not be written: the status bar says so once (rvx::saves), the change stays
    // pending and is written again a second later, and the previous file stays whole. A
    // window that failed to start, or whose settings were reset, never writes it.
    static constexpr int MinWriteIntervalMs = 1000;
    int save();
    int flush();
    bool isDirty() const { return m_dirty; }
    void setSavingAllowed(bool allowed) { m_savingAllowed = allowed; }

signals:
    void newDepartmentRequested();
    void departmentSelected(void* dept);
    void renameRequested(void* dept);
    void deleteRequested(void* dept);
    void linkProfileRequested(void* dept);
    void unlinkProfileRequested(void* dept);
    void departmentDragged(void* dept, QPoint pos, bool dropped);
    void devicesDropped(void* dept, ZylTreeView* sourceView);
    void deviceDragEnter(void* dept, QPoint pos);
    void rowClicked(const QModelIndex& index);
    void rowActivated(const QModelIndex& index);
    void rowMenuRequested(const QPoint& pos);

private:
    void show(DeptInfo* dept);
    void scrollBy(int delta);
    // Where a dragged label lands: the pointer's height in the visible strip, how far the
    // strip is scrolled, and the number of departments.
    static int dropIndex(int y, int scrolled, int count);
    void discardLabel(ZylDropLabel* label);

    QWidget* m_window;
    DepartmentList& m_departments;
    DeviceSelection* m_selection;
    QSettings* m_settings;
    QString m_path;

    DeviceListLayout m_layout; // read once when the lists are built
    DeptInfo* m_shown = nullptr;
    ZylScrollArea* m_strip = nullptr;
    QVBoxLayout* m_labelLayout = nullptr;
    QSplitter* m_splitter = nullptr;
    QLabel* m_dragMarker = nullptr;
    int m_savedScrollPos = 0;
    QTimer* m_scrollTimer = nullptr;

    bool m_dirty = false;
    bool m_savingAllowed = true;
    QTimer* m_flushTimer = nullptr;
    QElapsedTimer m_lastWrite; // since the last write was tried; invalid before the first
};

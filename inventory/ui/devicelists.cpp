#include "devicelists.h"

#include "audit.h"
#include "departmentpanel.h"
#include "departments.h"
#include "departmentview.h"
#include "devicesearch.h"
#include "deviceselection.h"
#include "driftcache.h"
#include "thinclientinfo.h"
#include "zyltreeview.h"

#include <QIODevice>
#include <QStandardItem>

DeviceLists::DeviceLists(DepartmentList& departments, DepartmentPanel* panel, DeviceSelection* selection,
                         QObject* parent)
    : QObject(parent)
    , m_departments(departments)
    , m_panel(panel)
    , m_selection(selection)
{
}

void DeviceLists::setLatest(const quint32* firmware, const quint32* client, int types)
{
    m_latestFirmware = firmware;
    m_latestClient = client;
    m_types = types;
}

void DeviceLists::addRow(DeptInfo* dept, ThinclientInfo* device)
{
    if (!dept || !device)
        return;
    m_panel->ensureView(dept)->addRow(device);
    refreshRow(dept, device, true);
}

void DeviceLists::removeRow(DeptInfo* dept, ThinclientInfo* device)
{
    if (!dept || !device)
        return;
    m_selection->forget(device);
    if (m_search)
        m_search->rowRemoved(dept, device);
    if (dept->view)
        dept->view->removeRow(device);
    else
        device->item = nullptr;
}

void DeviceLists::place(ThinclientInfo* device)
{
    if (!device)
        return;
    const DepartmentList::Placement placement =
        m_departments.place(device->serialNumber(), device->macAddress());
    DeptInfo* dept = placement.department;
    if (!dept)
        return;
    if (placement.membersChanged)
        m_panel->save();
    if (!dept->label && m_panel->strip()) {
        // The list had no department for unassigned devices: "Orphans" was added to it.
        m_panel->ensureView(dept);
        m_panel->clearLabels();
        m_panel->rebuildLabels(qMax(0, m_departments.indexOf(m_panel->shown())));
    }
    // A record already listed somewhere keeps one row only.
    if (DeptInfo* current = m_departments.departmentOfDevice(device)) {
        if (current == dept && device->item)
            return;
        removeRow(current, device);
        m_departments.removeDevice(current, device);
    }
    m_departments.addDevice(dept, device);
    addRow(dept, device);
}

void DeviceLists::remove(ThinclientInfo* device)
{
    DeptInfo* dept = device ? m_departments.departmentOfDevice(device) : nullptr;
    if (!dept)
        return;
    removeRow(dept, device);
    m_departments.removeDevice(dept, device);
}

void DeviceLists::refresh(ThinclientInfo* device, bool isNewClient)
{
    if (!device || !device->item || !device->item->parent())
        return;
    DeptInfo* dept = m_departments.departmentOfDevice(device);
    if (!dept || !dept->view)
        return;
    refreshRow(dept, device, isNewClient);
}

void DeviceLists::refreshAll()
{
    for (DeptInfo* dept : m_departments.items()) {
        const QList<ThinclientInfo*> devices = dept->devices;
        for (ThinclientInfo* device : devices)
            refresh(device, false);
    }
}

void DeviceLists::refreshDepartment(DeptInfo* dept)
{
    if (!dept || m_departments.indexOf(dept) < 0)
        return;
    const QList<ThinclientInfo*> devices = dept->devices;
    for (ThinclientInfo* device : devices)
        refresh(device, false);
}

void DeviceLists::profileSaved(const QString& path)
{
    if (m_drift)
        m_drift->profileChanged(path);
    for (DeptInfo* dept : m_departments.items()) {
        if (!dept->profile.isEmpty() && dept->profile == path)
            refreshDepartment(dept);
    }
}

void DeviceLists::refreshRow(DeptInfo* dept, ThinclientInfo* device, bool isNewClient)
{
    DepartmentView* list = dept->view;
    if (!list || !device->item || !device->item->parent())
        return;
    if (dept == m_panel->shown())
        m_selection->rowRefreshed(device);

    // A device whose firmware type changed moves to the group of its new type.
    if (!list->inOwnGroup(device)) {
        removeRow(dept, device);
        addRow(dept, device);
        return;
    }
    DepartmentView::Latest latest;
    latest.firmware = m_latestFirmware;
    latest.client = m_latestClient;
    latest.types = m_types;
    list->refreshRow(device, latest, m_history, isNewClient);
    if (m_drift && list->layout().isShown(DeviceColumn::Profile))
        list->setDrift(device, m_drift->count(device->serialNumber(), dept->profile));
    if (m_search)
        m_search->rowRefreshed(dept, device);
}

void DeviceLists::setStatus(ThinclientInfo* device, qint8 code, const char* message)
{
    if (!device || !device->item || !device->item->parent())
        return;
    DeptInfo* dept = m_departments.departmentOfDevice(device);
    if (!dept || !dept->view)
        return;
    dept->view->setStatus(device, code, message ? QString::fromLatin1(message) : QString());
    if (m_search)
        m_search->rowRefreshed(dept, device);
}

void DeviceLists::dropSelected(DeptInfo* target, ZylTreeView* sourceView)
{
    if (!target || !sourceView || m_departments.indexOf(target) < 0)
        return;
    if (target->view && target->view->view() == sourceView)
        return; // dropped on its own department
    DepartmentView* shown = m_panel->shownView();
    if (!shown)
        return;
    const QList<ThinclientInfo*> devices = m_selection->selectedDevices(false);
    shown->view()->clearSelection();

    for (ThinclientInfo* device : devices) {
        const QString serial = device->serialNumber().toLower();
        DeptInfo* source = m_departments.departmentOfDevice(device);
        if (!source)
            source = m_panel->departmentOfView(sourceView);
        if (source == target)
            continue;
        if (source) {
            m_departments.removeMember(source, serial);
            removeRow(source, device);
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
        m_panel->save();
        place(device);
        logEvent(QStringLiteral("moved ") + device->serialNumber() + QStringLiteral(" to department ") +
                 target->name);
        // A linked profile reaches member devices when they connect: an online device is
        // disconnected so that it connects again and receives it.
        if (!target->profile.isEmpty() && device->socket)
            device->socket->close();
    }
    m_panel->save();
}

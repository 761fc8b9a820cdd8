#pragma once

// What the window's feature classes share: the window (parent of every box), the settings
// store, the agent server, the departments with their panel, lists and selection, and the
// status bar. Owned by the window; the server is set once the agent side exists.

#include <QList>
#include <QString>

#include <functional>

class DepartmentList;
class DepartmentPanel;
class DeviceLists;
class DeviceSelection;
class QSettings;
class QWidget;
class SSLServer;
class ThinclientInfo;

struct WindowContext
{
    QWidget* window = nullptr;
    QSettings* settings = nullptr;
    SSLServer* server = nullptr;
    DepartmentList* departments = nullptr;
    DepartmentPanel* panel = nullptr;
    DeviceLists* lists = nullptr;
    DeviceSelection* selection = nullptr;
    std::function<void(const QString&)> showStatus;

    // The devices of the selected rows of the shown department, each once.
    QList<ThinclientInfo*> selectedDevices(bool onlineOnly) const;
    // True (after telling the administrator when a title is given) when the list is empty.
    bool noDevicesSelected(const QList<ThinclientInfo*>& devices, const QString& title) const;
    // The one selected online device; with none or several, the administrator is told under
    // the title and the result is null.
    ThinclientInfo* singleSelectedDevice(const QString& title) const;
};

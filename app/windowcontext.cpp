#include "windowcontext.h"

#include "ask.h"
#include "deviceselection.h"

using rvx::Ask;

QList<ThinclientInfo*> WindowContext::selectedDevices(bool onlineOnly) const
{
    return selection ? selection->selectedDevices(onlineOnly) : QList<ThinclientInfo*>();
}

bool WindowContext::noDevicesSelected(const QList<ThinclientInfo*>& devices, const QString& title) const
{
    if (!devices.isEmpty())
        return false;
    if (!title.isEmpty())
        Ask::critical(window, title,
                      QStringLiteral("\nNo online devices selected! You must select at least one device."));
    return true;
}

ThinclientInfo* WindowContext::singleSelectedDevice(const QString& title) const
{
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return nullptr;
    if (devices.size() > 1) {
        Ask::critical(window, title,
                      QStringLiteral("Multiple devices selected. Please select just one device."));
        return nullptr;
    }
    return devices.first();
}

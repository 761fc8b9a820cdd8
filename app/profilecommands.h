#pragma once

// Configuration profiles: saving a device's configuration, loading a profile onto devices,
// linking a profile to a department, and applying a department's linked profile to a device
// that connects. The file and message rules are in profiles.h.

#include <QList>
#include <QSet>
#include <QString>

class DeptInfo;
class DeviceCommands;
class ThinclientInfo;
struct WindowContext;

class ProfileCommands
{
public:
    ProfileCommands(WindowContext& context, DeviceCommands& commands);

    void save();
    void load();
    void link(DeptInfo* department);
    void unlink(DeptInfo* department);
    // A member of a department with a linked profile identified itself: the profile is
    // queued for it (written right after its row is refreshed).
    void applyPolicy(ThinclientInfo* device);

private:
    QString profileFolder() const;
    // Loads the profile into the store and sends it to the devices that can take it.
    void send(const QList<ThinclientInfo*>& devices, const QString& path, const QList<int>& ids,
              bool resetToo);

    WindowContext& m_context;
    DeviceCommands& m_commands;
    // Linked profiles found missing this run ("<department id>|<path>"), each reported once.
    QSet<QString> m_missingReported;
};

#pragma once

// Moving files between the server and devices: installing a file on the selected devices
// (its body streamed by each connection's writer), a Raspberry Pi's config.txt edited and
// written back, the devices' log files uploaded into a folder, and the storage devices that
// partially installed devices may overwrite.

#include <QString>
#include <QStringList>

class DeviceAnswers;
class DeviceCommands;
class QTimer;
class ThinclientInfo;
struct WindowContext;

class FileCommands
{
public:
    FileCommands(WindowContext& context, DeviceCommands& commands, DeviceAnswers& answers);

    // "Install File": the dialog opens on a kind (0: the first); with `installedName` the
    // destination name is stored there once the administrator chose the file.
    void installFile(int initialKind, QString* installedName = nullptr);
    void getLogs();
    // The config.txt a Raspberry Pi sent: edited and written back when it was asked for.
    void piConfig(ThinclientInfo* device, const QString& text);
    // "Assign Storage": asks the selected devices in maintenance mode for their block devices
    // and starts the wait; when it ends, the administrator's choice goes to those devices.
    void assignStorage(QTimer* wait);
    void storageWaitOver(QTimer* wait);

private:
    void editPiConfig(const QString& serial, QString text);

    WindowContext& m_context;
    DeviceCommands& m_commands;
    DeviceAnswers& m_answers;
    // The devices asked for their block devices, by serial number.
    QStringList m_storageAsked;
};

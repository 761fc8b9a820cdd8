#pragma once

// The configuration dialogs of one device: network, time zone and language, peripherals,
// displays, application mode and digital signage. Each dialog is held weakly while it is
// open; the lists and status it asks the device for reach it only when they come from that
// device (DeviceAnswers), and what OK chose is sent in the form the device's agent takes.

#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>

class DeviceAnswers;
class DeviceCommands;
class DlgConfigureDisplays;
class DlgConnectionType;
class DlgLocale;
class DlgNetwork;
class DlgPeripherals;
class FileCommands;
class ThinclientInfo;
struct NetworkStatus;
struct WindowContext;

namespace delivery {
struct Message;
}

class ConfigDialogs
{
public:
    ConfigDialogs(WindowContext& context, DeviceCommands& commands, DeviceAnswers& answers,
                  FileCommands& files);

    void network();
    void locale();
    void peripherals();
    // The display dialog; `protocol` is the device's mode unless the mode dialog hands over.
    void displays(const QByteArray& protocol = QByteArray());
    void applicationMode();
    void synchronizeSignage();

    // ---- answers (the device asked, the dialog still open) -----------------------------------
    void ssidList(const QStringList& entries);
    void networkStatus(const NetworkStatus& status);
    void localeLists(const QMap<QString, QStringList>& lists);
    void keyboardLists(const QMap<QString, QStringList>& lists);
    void audioDevices(const QMap<QString, QStringList>& lists);
    void resolutionLists(const QMap<QString, QStringList>& lists);
    void modeHelp(const QString& text);

    // The lists of an answer as the server hands them over (owned by it).
    static QMap<QString, QStringList> copied(const QMap<QString, QStringList*>* lists);

private:
    // Writes a message and records its sentence; false when it did not go.
    static bool deliver(ThinclientInfo* device, const delivery::Message& message);
    // The device again by serial number, online (a dialog was open meanwhile).
    ThinclientInfo* stillOnline(const QString& serial) const;
    void configureDsi(ThinclientInfo* device, const DlgConfigureDisplays& dialog);

    WindowContext& m_context;
    DeviceCommands& m_commands;
    DeviceAnswers& m_answers;
    FileCommands& m_files;
    QPointer<DlgNetwork> m_network;
    QPointer<DlgLocale> m_locale;
    QPointer<DlgPeripherals> m_peripherals;
    QPointer<DlgConfigureDisplays> m_displays;
    QPointer<DlgConnectionType> m_mode;
    // Content folders the administrator chose in this run: served without asking again.
    QStringList m_chosenFolders;
};

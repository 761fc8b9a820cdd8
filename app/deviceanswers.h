#pragma once

// The requests that make devices send lists, status or files for the configuration
// dialogs, and the answers to them. An answer is used only when it comes from a device that
// was asked for it, while whoever asked is still there (AwaitedAnswers); an answer that opens
// a modal editor opens it once the server's handler has returned, with the device looked up
// again by its serial number.

#include "awaitedanswers.h"

#include <QMap>
#include <QString>
#include <QStringList>

class DeviceCommands;
class QObject;
class ThinclientInfo;
struct WindowContext;

class DeviceAnswers
{
public:
    DeviceAnswers(WindowContext& context, DeviceCommands& commands);

    AwaitedAnswers& awaited() { return m_awaited; }

    // ---- requests ------------------------------------------------------------------------
    // To the selected online devices (each answer awaited from each of them).
    void requestModeHelp(int protocol, QObject* requester = nullptr);
    void requestUsbList();
    void requestSsidList(QObject* requester = nullptr);
    void requestNetworkInfo(uchar version, QObject* requester = nullptr);
    // To the one selected device, gated by its agent version.
    void requestResolutionLists(QObject* requester = nullptr);
    void requestLocaleLists(QObject* requester = nullptr);
    void requestKeyboardOptionLists(QObject* requester = nullptr);
    void requestAudioDevices(bool forAlsa, QObject* requester = nullptr);
    // "Edit Raspberry Pi Configuration": asks the one selected Raspberry Pi for config.txt.
    void requestPiConfig();

    // ---- answers -------------------------------------------------------------------------
    // The device whose message is being handled, when it was asked for this answer.
    ThinclientInfo* answerFrom(msg::Type answer);
    bool accept(msg::Type answer, const ThinclientInfo* from) { return m_awaited.accept(answer, from); }
    // The USB device list of a device that was asked: its redirection editor opens.
    void usbList(ThinclientInfo* device, const QStringList& entries);

private:
    void await(msg::Type answer, const QList<ThinclientInfo*>& devices, QObject* requester);
    ThinclientInfo* singleAtLeast(const QString& title, int major, int minor, int patch);
    void editUsbRedirections(const QString& serial, const QStringList& usbList);

    WindowContext& m_context;
    DeviceCommands& m_commands;
    AwaitedAnswers m_awaited;
};

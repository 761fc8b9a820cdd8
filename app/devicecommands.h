#pragma once

// The device commands: single settings and operations sent to the selected devices, and the
// SSH session to a device. What is sent, to which devices, and what the audit trail and the
// summaries say are the command rules (commands.h); this class asks, checks, sends, audits
// and counts.

#include "commands.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class ThinclientInfo;
struct WindowContext;

class DeviceCommands
{
public:
    explicit DeviceCommands(WindowContext& context);

    // How a command reaches each device: which devices may receive it, an optional question
    // per device (No skips the device without counting it), how it is sent (false: it did
    // not reach the device, counted as ignored), and the audit sentence of a device reached.
    struct Delivery
    {
        std::function<bool(const commands::DeviceFacts&)> eligible;
        std::function<bool(ThinclientInfo*)> proceed;
        std::function<bool(ThinclientInfo*)> send;
        std::function<QString(const QString& serial)> sentence;
    };
    struct Outcome
    {
        int sent = 0;
        int ignored = 0;
    };
    static Outcome sendToEligible(const QList<ThinclientInfo*>& devices, const Delivery& delivery);

    // The common sender of the single settings: every selected online device gets the text
    // (agents 8 and later) or the frame, with the frame's audit sentence. -1 when no online
    // device is selected (after the "Send Command" warning).
    int sendCommand(const QByteArray& frame, int length, const QByteArray& text);
    // The "Send Command" warning when no online device is selected; true when there is none.
    bool noCommandTargets();
    // Writes a request frame to every selected online device.
    void sendRequest(const QByteArray& frame);

    // Restarts the current mode's applications on the selected online devices (agents 8.4.0
    // and later in normal mode). From the menu it asks first and tells the administrator
    // about skipped devices; other features run it quietly. Returns the number reached.
    int restartMode(bool fromMenu);

    void refresh();
    void resetToDefaults();
    void wake();
    void rebootOrPowerOff();
    void maintenance();
    void resetState();
    void logLevel();
    void powersave();
    void hostname();
    void comment();
    void restrictedPassword();
    void discoveryMethod();
    void remoteTriggering();
    void beacon();
    void vncServer();
    void shadowing();
    void pxeServer();
    void deleteDevices();
    void ssh();

private:
    bool acceptInterruption(commands::Interruption kind, const ThinclientInfo* device);
    // The option chosen in a multiple-choice dialog (1 to 3), or 0 when it was cancelled.
    int choose(const QString& title, const QString& prompt, int current, const QString& first,
               const QString& second, const QString& third = QString());
    void showSummary(const QString& title, commands::Summary kind, Outcome outcome);

    WindowContext& m_context;
};

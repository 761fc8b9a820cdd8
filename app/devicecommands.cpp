#include "devicecommands.h"

#include "ask.h"
#include "audit.h"
#include "configlib.h"
#include "departmentpanel.h"
#include "departments.h"
#include "devicefacts.h"
#include "devicelists.h"
#include "deviceselection.h"
#include "dlggettext.h"
#include "dlgmultichoice.h"
#include "dlgoptionalsvcdata.h"
#include "dlgpxeserver.h"
#include "dlgrvxserverinfo.h"
#include "dlgshadowing.h"
#include "inputrules.h"
#include "platform.h"
#include "sending.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "windowcontext.h"

#include <QDir>

#include <algorithm>

using rvx::Ask;
namespace platform = rvx::platform;
using namespace commands;
using msg::Type;

namespace {

QString stored(const char* key)
{
    return QString::fromLatin1(config_store_get(key));
}

bool storedYes(const char* key)
{
    return config_store_get(key) == "yes";
}

std::function<bool(ThinclientInfo*)> writing(const QByteArray& frame)
{
    return [frame](ThinclientInfo* device) { return device->isOnline() && writeFrame(device, frame); };
}

std::function<bool(ThinclientInfo*)> configuring(const QByteArray& text, Type category)
{
    return [text, category](ThinclientInfo* device) { return sendConfiguration(device, text, category); };
}

std::function<QString(const QString&)> saying(Action action)
{
    return [action](const QString& serial) { return actionSentence(action, serial); };
}

} // namespace

DeviceCommands::DeviceCommands(WindowContext& context)
    : m_context(context)
{
}

// ---- shared ------------------------------------------------------------------------------------

DeviceCommands::Outcome DeviceCommands::sendToEligible(const QList<ThinclientInfo*>& devices,
                                                       const Delivery& delivery)
{
    Outcome outcome;
    for (ThinclientInfo* device : devices) {
        if (delivery.eligible && !delivery.eligible(deviceFacts(device))) {
            ++outcome.ignored;
            continue;
        }
        if (delivery.proceed && !delivery.proceed(device))
            continue;
        if (!delivery.send(device)) {
            ++outcome.ignored;
            continue;
        }
        if (delivery.sentence)
            logEvent(delivery.sentence(device->serialNumber()));
        ++outcome.sent;
    }
    return outcome;
}

bool DeviceCommands::noCommandTargets()
{
    if (!m_context.selectedDevices(true).isEmpty())
        return false;
    Ask::warning(m_context.window, QStringLiteral("Send Command"),
                 QStringLiteral("\nCommand was not sent because no online devices are selected."));
    return true;
}

int DeviceCommands::sendCommand(const QByteArray& frame, int length, const QByteArray& text)
{
    if (length < 4 || length > frame.size())
        return -1;
    const QByteArray bytes = frame.left(length);
    if (noCommandTargets())
        return -1;
    const int category = static_cast<uchar>(bytes.at(0)) & 0x7F;
    int sent = 0;
    for (ThinclientInfo* device : m_context.selectedDevices(true)) {
        if (!device->isOnline())
            continue;
        const bool written = !text.isEmpty() && device->clientMajorVersion() >= 8
                                 ? sendConfiguration(device, text, category)
                                 : writeFrame(device, bytes);
        if (!written)
            continue;
        if (const std::optional<QString> sentence = sendCommandSentence(bytes, device->serialNumber()))
            logEvent(*sentence);
        ++sent;
    }
    return sent;
}

void DeviceCommands::sendRequest(const QByteArray& frame)
{
    for (ThinclientInfo* device : m_context.selectedDevices(true))
        writeFrame(device, frame);
}

bool DeviceCommands::acceptInterruption(Interruption kind, const ThinclientInfo* device)
{
    const QList<InterruptionWarning> warnings = interruptionWarnings(kind, deviceFacts(device));
    for (const InterruptionWarning& warning : warnings) {
        if (!Ask::confirm(m_context.window, warning.title, warning.text))
            return false;
        logEvent(warning.acknowledgement);
    }
    return true;
}

int DeviceCommands::choose(const QString& title, const QString& prompt, int current, const QString& first,
                           const QString& second, const QString& third)
{
    DlgMultiChoice dialog(m_context.window, title, prompt, current, first, second, third);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return 0;
    return dialog.choice();
}

void DeviceCommands::showSummary(const QString& title, Summary kind, Outcome outcome)
{
    if (const std::optional<QString> text = summaryText(kind, outcome.sent, outcome.ignored))
        Ask::information(m_context.window, title, *text);
}

// ---- operations --------------------------------------------------------------------------------

void DeviceCommands::refresh()
{
    sendCommand(refreshFrame(), 4, QByteArray());
}

void DeviceCommands::resetToDefaults()
{
    if (noCommandTargets())
        return;
    if (!Ask::confirm(
            m_context.window, QStringLiteral("Reset to Defaults"),
            QStringLiteral("Are you sure you want to revert all settings to defaults on selected devices?")))
        return;
    sendCommand(resetToDefaultsFrame(), 4, QByteArray());
}

int DeviceCommands::restartMode(bool fromMenu)
{
    const QString title = QStringLiteral("Restart Mode");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, fromMenu ? title : QString()))
        return 0;
    if (fromMenu &&
        !Ask::confirm(
            m_context.window, title,
            QStringLiteral(
                "Software corresponding to the device's current mode will be restarted.\n\nThis may "
                "interrupt user activity on the console and could potentially result in loss of "
                "data in some situations (typically the remote session will be disconnected and "
                "the user will only be inconvenienced).\n\nAre you sure you want to restart current "
                "mode applications on selected devices?")))
        return 0;
    const Outcome outcome = sendToEligible(
        devices, {canRestartMode, {}, writing(restartModeFrame()), saying(Action::RestartMode)});
    if (fromMenu)
        showSummary(title, Summary::RestartMode, outcome);
    return outcome.sent;
}

void DeviceCommands::wake()
{
    const QString title = QStringLiteral("Wake Device(s)");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(false);
    if (m_context.noDevicesSelected(devices, QStringLiteral("Wake Device")))
        return;
    // The wake tool answers a run without arguments with its usage and success.
    const QString tool = platform::toolPath(platform::Tool::Wake);
    const platform::ProcessResult probe = platform::execute(tool, {}, 10000);
    if (!probe.started || probe.exitCode != 0) {
        Ask::critical(m_context.window, title,
                      QStringLiteral("Cannot execute ") + QDir::toNativeSeparators(tool) +
                          QStringLiteral(", please ensure that this is installed."));
        return;
    }
    if (!Ask::confirm(
            m_context.window, title,
            QStringLiteral(
                "Wake-on-LAN will only work for offline x86 devices connected via a wired network "
                "interface, and only if enabled in the device's BIOS.\n\nAre you sure that you want "
                "to send a Wake-on-LAN packet to the selected device(s)?")))
        return;
    const auto send = [&tool](ThinclientInfo* device) {
        return platform::startDetached(tool, wakeArguments(deviceFacts(device)));
    };
    showSummary(title, Summary::Wake, sendToEligible(devices, {canWake, {}, send, saying(Action::Wake)}));
}

void DeviceCommands::rebootOrPowerOff()
{
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, QStringLiteral("Reboot/Power Off Devices")))
        return;
    const int choice = choose(QStringLiteral("Reboot/Power Off"), QStringLiteral("Select operation:"), 1,
                              QStringLiteral("Reboot"), QStringLiteral("Power Off"));
    if (choice == 0)
        return;
    const bool powerOff = choice == 2;
    if (!Ask::confirm(m_context.window, QStringLiteral("Reboot/Power Off Devices"),
                      QStringLiteral("Are you sure you want to ") +
                          (powerOff ? QStringLiteral("power off") : QStringLiteral("reboot")) +
                          QStringLiteral(" selected devices?")))
        return;
    const Interruption kind = powerOff ? Interruption::PowerOff : Interruption::Reboot;
    const auto proceed = [this, kind](ThinclientInfo* device) { return acceptInterruption(kind, device); };
    const Outcome outcome =
        sendToEligible(devices, {canRebootOrPowerOff, proceed, writing(rebootFrame(powerOff)),
                                 saying(powerOff ? Action::PowerOff : Action::Reboot)});
    showSummary(QStringLiteral("Reboot/Shutdown"), Summary::Reboot, outcome);
}

void DeviceCommands::maintenance()
{
    const QString title = QStringLiteral("Maintenance Mode");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(title, QStringLiteral("Select operation:"), 1, QStringLiteral("Enter Maintenance Mode"),
               QStringLiteral("Exit Maintenance Mode"));
    if (choice == 0)
        return;
    const Maintenance op = choice == 1 ? Maintenance::Enter : Maintenance::Exit;
    if (!Ask::confirm(m_context.window, QStringLiteral("Enter Maintenance Mode"),
                      QStringLiteral("Are you sure you want selected devices to ") +
                          (op == Maintenance::Enter ? QStringLiteral("enter") : QStringLiteral("exit")) +
                          QStringLiteral(" firmware maintenance mode?")))
        return;
    // Devices already in the chosen mode are passed over without a word.
    QList<ThinclientInfo*> changing;
    for (ThinclientInfo* device : devices) {
        if (needsMaintenanceChange(op, deviceFacts(device)))
            changing << device;
    }
    const auto proceed = [this, op](ThinclientInfo* device) {
        return op != Maintenance::Enter || acceptInterruption(Interruption::Maintenance, device);
    };
    sendToEligible(changing,
                   {{},
                    proceed,
                    writing(maintenanceFrame(op)),
                    saying(op == Maintenance::Enter ? Action::EnterMaintenance : Action::ExitMaintenance)});
}

void DeviceCommands::resetState()
{
    const QString title = QStringLiteral("Set Reset State");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(title, QStringLiteral("When reset, revert to:"), 2,
               QStringLiteral("Current settings (create new reset state)"),
               QStringLiteral("Existing saved state (if any)"), QStringLiteral("Factory defaults"));
    if (choice == 0 || choice == 2) // keeping the saved state needs no instruction
        return;
    const bool factory = choice == 3;
    const Outcome outcome =
        sendToEligible(devices, {canSetResetState,
                                 {},
                                 writing(resetStateFrame(factory)),
                                 saying(factory ? Action::FactoryResetState : Action::CustomResetState)});
    showSummary(QStringLiteral("Status Update"), Summary::ResetState, outcome);
}

// ---- single settings through the common sender ----------------------------------------------------

void DeviceCommands::logLevel()
{
    if (noCommandTargets())
        return;
    const int choice =
        choose(QStringLiteral("RVX Client Log Setting"), QStringLiteral("Set RVX client log status to:"),
               stored("log_level") == "2" ? 1 : 2, QStringLiteral("Debug"), QStringLiteral("Quiet"));
    if (choice == 0)
        return;
    const bool debug = choice == 1;
    sendCommand(logLevelFrame(debug), 5, logLevelText(debug));
}

void DeviceCommands::powersave()
{
    if (noCommandTargets())
        return;
    const int choice =
        choose(QStringLiteral("Set Powersave Mode"), QStringLiteral("Set powersave mode to:"),
               stored("powersave") == "no" ? 2 : 1, QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    if (choice == 0)
        return;
    const bool enabled = choice == 1;
    sendCommand(powersaveFrame(enabled), 5, powersaveText(enabled));
}

void DeviceCommands::hostname()
{
    if (noCommandTargets())
        return;
    QString name = stored("brd_hostname");
    DlgGetText dialog(m_context.window, QStringLiteral("Enter device hostname:"), name, 1);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    name = name.trimmed();
    if (name.isEmpty())
        return;
    const QByteArray frame = hostnameFrame(name);
    sendCommand(frame, frame.size(), hostnameText(name));
}

void DeviceCommands::comment()
{
    if (noCommandTargets())
        return;
    QString text = stored("description");
    DlgGetText dialog(m_context.window, QStringLiteral("Enter your description or comment:"), text, 0);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    const QByteArray frame = descriptionFrame(text);
    sendCommand(frame, frame.size(), descriptionText(text));
}

void DeviceCommands::restrictedPassword()
{
    const QString title = QStringLiteral("Set Restricted Feature Password");
    if (noCommandTargets())
        return;
    // The device keeps only a digest, so the box starts empty: a new password must be typed.
    bool enabled = !config_store_get("zylconfig_password").isEmpty();
    QString password;
    DlgOptionalSvcData dialog(m_context.window, &enabled, nullptr, &password,
                              QStringLiteral("Restricted Feature Password"), false);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (enabled && password.size() < RestrictedPasswordMinLength) {
        Ask::critical(m_context.window, title,
                      QStringLiteral("\nPassword must be at least 6 characters long!"));
        return;
    }
    if (enabled && !rvx::acceptLatin1(m_context.window, title, password))
        return;
    const QByteArray digest = enabled ? restrictedPasswordDigest(password) : QByteArray();
    const QByteArray frame = restrictedPasswordFrame(digest);
    sendCommand(frame, frame.size(), restrictedPasswordText(digest));
}

void DeviceCommands::discoveryMethod()
{
    if (noCommandTargets())
        return;
    DiscoverySettings s;
    s.mode = discoveryMode(config_store_get("rvx_discovery_mode"), config_store_get("rvx_server_mode"));
    s.host = stored("rvx_server_hostname");
    s.port = stored("rvx_server_port");
    s.retryInterval = stored("rvx_retry_interval");
    DlgRvxServerInfo dialog(m_context.window, s.mode, s.host, s.port, s.retryInterval);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (s.mode < 0 || s.mode > 3)
        s.mode = 1;
    const QByteArray frame = discoveryLegacyFrame(s);
    sendCommand(frame, frame.size(), discoveryText(s));
}

// ---- optional services ------------------------------------------------------------------------------

void DeviceCommands::remoteTriggering()
{
    const QString title = QStringLiteral("Remote Triggering");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(QStringLiteral("Set Remote Triggering"), QStringLiteral("Set Remote Triggering to:"),
               storedYes("rrsh_enabled") ? 1 : 2, QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    if (choice == 0)
        return;
    const bool enable = choice == 1;
    const Outcome outcome = sendToEligible(
        devices, {canSetRemoteTriggering,
                  {},
                  configuring(remoteTriggeringText(enable), Type::RemoteTriggering),
                  saying(enable ? Action::EnableRemoteTriggering : Action::DisableRemoteTriggering)});
    showSummary(title, Summary::RemoteTriggering, outcome);
}

void DeviceCommands::beacon()
{
    const QString title = QStringLiteral("RVX Beacon");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(title, QStringLiteral("Set RVX Beacon to:"), storedYes("rvx_beacon_enabled") ? 1 : 2,
               QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    if (choice == 0)
        return;
    const bool enable = choice == 1;
    if (enable &&
        !beaconAllowed(config_store_get("rvx_discovery_mode"), config_store_get("rvx_server_mode"))) {
        Ask::critical(
            m_context.window, title,
            QStringLiteral("\nThe RVX beacon feature can only be enabled on a device configured to use "
                           "the \"Static\" RVX discovery method.  Please reconfigure the device to use "
                           "Static RVX discovery before enabling this option."));
        return;
    }
    const Outcome outcome =
        sendToEligible(devices, {canSetBeacon,
                                 {},
                                 configuring(beaconText(enable), Type::Beacon),
                                 saying(enable ? Action::EnableBeacon : Action::DisableBeacon)});
    showSummary(title, Summary::VncOrBeacon, outcome);
}

void DeviceCommands::vncServer()
{
    const QString title = QStringLiteral("VNC Server");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    bool enabled = storedYes("x11vnc_enabled");
    QString password = vncPasswordFromStored(config_store_get("x11vnc_password"));
    DlgOptionalSvcData dialog(m_context.window, &enabled, nullptr, &password, title, true,
                              QStringLiteral("Leave blank for no password"));
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (enabled) {
        if (!rvx::acceptLatin1(m_context.window, title, password))
            return;
        if (!Ask::confirm(
                m_context.window, title,
                QStringLiteral(
                    "\nThis VNC service lacks content encryption, allows monitoring of the console "
                    "operator's activity without their knowledge and/or consent, and will not work "
                    "across a NAT boundary unless port forwarding rules are added.\n\nOrbenium does "
                    "not endorse use of this service and will accept no responsibility for any "
                    "consequences of its use.  We recommend that you use our secure reverse VNC "
                    "session shadowing feature instead.\n\nProceed with activation of the VNC "
                    "Server?"),
                QMessageBox::No))
            return;
        logEvent(QStringLiteral("acknowledged VNC server disclaimer"));
    }
    const Outcome outcome =
        sendToEligible(devices, {canSetVncServer,
                                 {},
                                 configuring(vncText(enabled, password), Type::VncServer),
                                 saying(enabled ? Action::EnableVnc : Action::DisableVnc)});
    showSummary(title, Summary::VncOrBeacon, outcome);
}

void DeviceCommands::shadowing()
{
    const QString title = QStringLiteral("Configure Session Shadowing");
    ThinclientInfo* device = m_context.singleSelectedDevice(title);
    if (!device || !device->clientVersionAtLeast(8, 3, 0, title))
        return;
    QString host = stored("shadower_hostname");
    QString port = stored("shadower_port");
    bool viewOnly = storedYes("shadower_view_only");
    DlgShadowing dialog(m_context.window, host, port, viewOnly);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (sendConfiguration(device, shadowingText(host, port, viewOnly), Type::Shadowing))
        logEvent(actionSentence(Action::Shadowing, device->serialNumber()));
}

void DeviceCommands::pxeServer()
{
    const QString title = QStringLiteral("Configure PXE Server");
    ThinclientInfo* device = m_context.singleSelectedDevice(title);
    if (!device)
        return;
    const DeviceFacts facts = deviceFacts(device);
    if (!canConfigurePxe(facts)) {
        Ask::critical(
            m_context.window, title,
            QStringLiteral("PXE boot server capability is not supported on devices with this firmware "
                           "type."));
        return;
    }
    DlgPxeServer dialog(m_context.window, facts.firmwareType == 11);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    PxeSettings pxe;
    pxe.enabled = dialog.enabled();
    pxe.pxeOnly = dialog.pxeOnly();
    pxe.rangeLow = dialog.rangeStart();
    pxe.rangeHigh = dialog.rangeEnd();
    pxe.subnet = dialog.subnet();
    pxe.netmask = dialog.netmask();
    pxe.diskless = dialog.diskless();
    const bool written = takesConfigurationText(facts)
                             ? sendConfiguration(device, pxeText(pxe), Type::PxeServer)
                             : writeFrame(device, pxeLegacyFrame(pxe, config_store_get("powersave") != "no"));
    if (written && pxe.enabled)
        logEvent(actionSentence(Action::PxeEnabled, device->serialNumber()));
}

void DeviceCommands::deleteDevices()
{
    const QString title = QStringLiteral("Delete Device");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(false);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const bool anyOnline =
        std::any_of(devices.cbegin(), devices.cend(), [](const ThinclientInfo* d) { return d->isOnline(); });
    if (anyOnline) {
        if (!Ask::confirm(
                m_context.window, title,
                QStringLiteral("One or more devices in your selection are still online.  Deleting an "
                               "online device doesn't seem very sensible.\n\nProceed with deletion?"),
                QMessageBox::No))
            return;
        logEvent(QStringLiteral("acknowledged online device deletion warning"));
    }
    if (!Ask::confirm(m_context.window, title,
                      QStringLiteral("Are you sure that you want to delete the selected device(s)?")))
        return;
    DepartmentList& departments = *m_context.departments;
    for (ThinclientInfo* device : devices) {
        const QString serial = device->serialNumber();
        // No member entry, by serial number or by MAC address, may place the device again.
        const QString mac = device->macAddress();
        for (DeptInfo* dept : departments.items()) {
            departments.removeMemberIgnoringCase(dept, serial);
            if (!mac.isEmpty())
                departments.removeMemberIgnoringCase(dept, mac);
        }
        m_context.lists->remove(device);
        m_context.server->removeDevice(device);
        logEvent(actionSentence(Action::Delete, serial));
    }
    m_context.panel->save();
    m_context.selection->update();
}

void DeviceCommands::ssh()
{
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(false);
    if (devices.size() != 1)
        return;
    ThinclientInfo* device = devices.first();
    const QString program = platform::toolPath(platform::Tool::Putty);
    if (!platform::startDetached(program, sshArguments(deviceFacts(device))))
        Ask::critical(
            m_context.window, QStringLiteral("PuTTY Launch Failed"),
            QStringLiteral("Unable to start PuTTY - please install it in the default location or add its "
                           "folder to the system PATH."));
    logEvent(actionSentence(Action::Ssh, device->serialNumber()));
}

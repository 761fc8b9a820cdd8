// The device commands: single settings and operations sent to the selected devices, the
// requests that make devices send lists, and the SSH session to a device. What is sent, to
// which devices, and what the audit trail and the summaries say are the command rules
// (commands.h); the slots here ask, loop and delegate.

#include "mainwindow.h"

#include "ask.h"
#include "audit.h"
#include "commands.h"
#include "configlib.h"
#include "devicefacts.h"
#include "dlggettext.h"
#include "dlgmultichoice.h"
#include "dlgoptionalsvcdata.h"
#include "dlgpxeserver.h"
#include "dlgrvxserverinfo.h"
#include "dlgshadowing.h"
#include "platform.h"
#include "sending.h"
#include "sslserver.h"
#include "thinclientinfo.h"

#include <QDir>

#include <algorithm>

using rvx::Ask;
namespace platform = rvx::platform;
using namespace commands;

namespace {

bool confirm(QWidget* parent, const QString& title, const QString& text,
             QMessageBox::StandardButton defaultButton = QMessageBox::Yes)
{
    return Ask::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, defaultButton) ==
           QMessageBox::Yes;
}

// The option chosen in a multiple-choice dialog (1 to 3), or 0 when it was cancelled.
int choose(QWidget* parent, const QString& title, const QString& prompt, int current, const QString& first,
           const QString& second, const QString& third = QString())
{
    DlgMultiChoice dialog(parent, title, prompt, current, first, second, third);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return 0;
    return dialog.choice();
}

QString stored(const char* key)
{
    return QString::fromLatin1(config_store_get(key));
}

bool storedYes(const char* key)
{
    return config_store_get(key) == "yes";
}

// Asks the interruption questions for a device that serves others; false when the
// administrator keeps it running.
bool acceptInterruption(QWidget* parent, Interruption kind, const ThinclientInfo* device)
{
    const QList<InterruptionWarning> warnings = interruptionWarnings(kind, deviceFacts(device));
    for (const InterruptionWarning& warning : warnings) {
        if (!confirm(parent, warning.title, warning.text))
            return false;
        logEvent(warning.acknowledgement);
    }
    return true;
}

void showSummary(QWidget* parent, const QString& title, const std::optional<QString>& text)
{
    if (text)
        Ask::information(parent, title, *text);
}

} // namespace

// ---- shared ------------------------------------------------------------------------------------

ThinclientInfo* MainWindow::singleSelectedDevice(const QString& title)
{
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return nullptr;
    if (devices.size() > 1) {
        Ask::critical(this, title,
                      QStringLiteral("Multiple devices selected. Please select just one device."));
        return nullptr;
    }
    return devices.first();
}

bool MainWindow::noCommandTargets()
{
    if (!selectedDevices(true).isEmpty())
        return false;
    Ask::warning(this, QStringLiteral("Send Command"),
                 QStringLiteral("\nCommand was not sent because no online devices are selected."));
    return true;
}

int MainWindow::sendCommand(const QByteArray& frame, int length, const QByteArray& text)
{
    if (length < 4 || length > frame.size())
        return -1;
    const QByteArray bytes = frame.left(length);
    if (noCommandTargets())
        return -1;
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    const int category = static_cast<uchar>(bytes.at(0)) & 0x7F;
    int sent = 0;
    for (ThinclientInfo* device : devices) {
        if (!device->isOnline())
            continue;
        const bool written = !text.isEmpty() && device->clientMajorVersion() >= 8
                                 ? ::sendConfiguration(device, text, category)
                                 : writeFrame(device, bytes);
        if (!written)
            continue;
        if (const std::optional<QString> sentence = sendCommandSentence(bytes, device->serialNumber()))
            logEvent(*sentence);
        ++sent;
    }
    return sent;
}

void MainWindow::sendRequest(const QByteArray& frame)
{
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    for (ThinclientInfo* device : devices)
        writeFrame(device, frame);
}

// ---- operations --------------------------------------------------------------------------------

void MainWindow::on_refresh_device_triggered()
{
    sendCommand(refreshFrame(), 4, QByteArray());
}

void MainWindow::on_reset_device_triggered()
{
    if (noCommandTargets())
        return;
    if (!confirm(
            this, QStringLiteral("Reset to Defaults"),
            QStringLiteral("Are you sure you want to revert all settings to defaults on selected devices?")))
        return;
    sendCommand(resetToDefaultsFrame(), 4, QByteArray());
}

void MainWindow::on_restart_mode_triggered()
{
    restartMode(true);
}

int MainWindow::restartMode(bool fromMenu)
{
    const QString title = QStringLiteral("Restart Mode");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, fromMenu ? title : QString()))
        return 0;
    if (fromMenu &&
        !confirm(this, title,
                 QStringLiteral(
                     "Software corresponding to the device's current mode will be restarted.\n\nThis may "
                     "interrupt user activity on the console and could potentially result in loss of "
                     "data in some situations (typically the remote session will be disconnected and "
                     "the user will only be inconvenienced).\n\nAre you sure you want to restart current "
                     "mode applications on selected devices?")))
        return 0;
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        if (!canRestartMode(deviceFacts(device)) || !writeFrame(device, restartModeFrame())) {
            ++ignored;
            continue;
        }
        logEvent(actionSentence(Action::RestartMode, device->serialNumber()));
        ++sent;
    }
    if (fromMenu)
        showSummary(this, title, summaryText(Summary::RestartMode, sent, ignored));
    return sent;
}

void MainWindow::on_wake_device_triggered()
{
    const QString title = QStringLiteral("Wake Device(s)");
    const QList<ThinclientInfo*> devices = selectedDevices(false);
    if (noDevicesSelected(devices, QStringLiteral("Wake Device")))
        return;
    // The wake tool answers a run without arguments with its usage and success.
    const QString tool = platform::toolPath(platform::Tool::Wake);
    const platform::ProcessResult probe = platform::execute(tool, {}, 10000);
    if (!probe.started || probe.exitCode != 0) {
        Ask::critical(this, title,
                      QStringLiteral("Cannot execute ") + QDir::toNativeSeparators(tool) +
                          QStringLiteral(", please ensure that this is installed."));
        return;
    }
    if (!confirm(this, title,
                 QStringLiteral(
                     "Wake-on-LAN will only work for offline x86 devices connected via a wired network "
                     "interface, and only if enabled in the device's BIOS.\n\nAre you sure that you want "
                     "to send a Wake-on-LAN packet to the selected device(s)?")))
        return;
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        const DeviceFacts facts = deviceFacts(device);
        if (!canWake(facts) || !platform::startDetached(tool, wakeArguments(facts))) {
            ++ignored;
            continue;
        }
        logEvent(actionSentence(Action::Wake, device->serialNumber()));
        ++sent;
    }
    showSummary(this, title, summaryText(Summary::Wake, sent, ignored));
}

void MainWindow::on_reboot_shutdown_triggered()
{
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, QStringLiteral("Reboot/Power Off Devices")))
        return;
    const int choice = choose(this, QStringLiteral("Reboot/Power Off"), QStringLiteral("Select operation:"),
                              1, QStringLiteral("Reboot"), QStringLiteral("Power Off"));
    if (choice == 0)
        return;
    const bool powerOff = choice == 2;
    if (!confirm(this, QStringLiteral("Reboot/Power Off Devices"),
                 QStringLiteral("Are you sure you want to ") +
                     (powerOff ? QStringLiteral("power off") : QStringLiteral("reboot")) +
                     QStringLiteral(" selected devices?")))
        return;
    int sent = 0;
    int tooOld = 0;
    for (ThinclientInfo* device : devices) {
        if (!canRebootOrPowerOff(deviceFacts(device))) {
            ++tooOld;
            continue;
        }
        if (!acceptInterruption(this, powerOff ? Interruption::PowerOff : Interruption::Reboot, device))
            continue;
        if (!device->isOnline() || !writeFrame(device, rebootFrame(powerOff)))
            continue;
        logEvent(actionSentence(powerOff ? Action::PowerOff : Action::Reboot, device->serialNumber()));
        ++sent;
    }
    showSummary(this, QStringLiteral("Reboot/Shutdown"), summaryText(Summary::Reboot, sent, tooOld));
}

void MainWindow::on_maint_mode_triggered()
{
    const QString title = QStringLiteral("Maintenance Mode");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(this, title, QStringLiteral("Select operation:"), 1, QStringLiteral("Enter Maintenance Mode"),
               QStringLiteral("Exit Maintenance Mode"));
    if (choice == 0)
        return;
    const Maintenance op = choice == 1 ? Maintenance::Enter : Maintenance::Exit;
    if (!confirm(this, QStringLiteral("Enter Maintenance Mode"),
                 QStringLiteral("Are you sure you want selected devices to ") +
                     (op == Maintenance::Enter ? QStringLiteral("enter") : QStringLiteral("exit")) +
                     QStringLiteral(" firmware maintenance mode?")))
        return;
    for (ThinclientInfo* device : devices) {
        if (!needsMaintenanceChange(op, deviceFacts(device)))
            continue;
        if (op == Maintenance::Enter && !acceptInterruption(this, Interruption::Maintenance, device))
            continue;
        if (!device->isOnline() || !writeFrame(device, maintenanceFrame(op)))
            continue;
        logEvent(actionSentence(op == Maintenance::Enter ? Action::EnterMaintenance : Action::ExitMaintenance,
                                device->serialNumber()));
    }
}

void MainWindow::on_set_reset_state_triggered()
{
    const QString title = QStringLiteral("Set Reset State");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(this, title, QStringLiteral("When reset, revert to:"), 2,
               QStringLiteral("Current settings (create new reset state)"),
               QStringLiteral("Existing saved state (if any)"), QStringLiteral("Factory defaults"));
    if (choice == 0 || choice == 2) // keeping the saved state needs no instruction
        return;
    const bool factory = choice == 3;
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        if (!canSetResetState(deviceFacts(device)) || !writeFrame(device, resetStateFrame(factory))) {
            ++ignored;
            continue;
        }
        logEvent(actionSentence(factory ? Action::FactoryResetState : Action::CustomResetState,
                                device->serialNumber()));
        ++sent;
    }
    showSummary(this, QStringLiteral("Status Update"), summaryText(Summary::ResetState, sent, ignored));
}

// ---- single settings through the common sender ----------------------------------------------------

void MainWindow::on_set_log_level_triggered()
{
    if (noCommandTargets())
        return;
    const int choice = choose(
        this, QStringLiteral("RVX Client Log Setting"), QStringLiteral("Set RVX client log status to:"),
        stored("log_level") == "2" ? 1 : 2, QStringLiteral("Debug"), QStringLiteral("Quiet"));
    if (choice == 0)
        return;
    const bool debug = choice == 1;
    sendCommand(logLevelFrame(debug), 5, logLevelText(debug));
}

void MainWindow::on_set_powersave_mode_triggered()
{
    if (noCommandTargets())
        return;
    const int choice =
        choose(this, QStringLiteral("Set Powersave Mode"), QStringLiteral("Set powersave mode to:"),
               stored("powersave") == "no" ? 2 : 1, QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    if (choice == 0)
        return;
    const bool enabled = choice == 1;
    sendCommand(powersaveFrame(enabled), 5, powersaveText(enabled));
}

void MainWindow::on_change_hostname_triggered()
{
    if (noCommandTargets())
        return;
    QString name = stored("brd_hostname");
    DlgGetText dialog(this, QStringLiteral("Enter device hostname:"), name, 1);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    name = name.trimmed();
    if (name.isEmpty())
        return;
    const QByteArray frame = hostnameFrame(name);
    sendCommand(frame, frame.size(), hostnameText(name));
}

void MainWindow::on_enter_comment_triggered()
{
    if (noCommandTargets())
        return;
    QString text = stored("description");
    DlgGetText dialog(this, QStringLiteral("Enter your description or comment:"), text, 0);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    const QByteArray frame = descriptionFrame(text);
    sendCommand(frame, frame.size(), descriptionText(text));
}

void MainWindow::on_set_zylconfig_password_triggered()
{
    const QString title = QStringLiteral("Set Restricted Feature Password");
    if (noCommandTargets())
        return;
    // The device keeps only a digest, so the box starts empty: a new password must be typed.
    bool enabled = !config_store_get("zylconfig_password").isEmpty();
    QString password;
    DlgOptionalSvcData dialog(this, &enabled, nullptr, &password,
                              QStringLiteral("Restricted Feature Password"), false);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (enabled && password.size() < RestrictedPasswordMinLength) {
        Ask::critical(this, title, QStringLiteral("\nPassword must be at least 6 characters long!"));
        return;
    }
    if (enabled && !isLatin1(password)) {
        Ask::critical(this, title,
                      QStringLiteral("\nThe password may only contain characters of the Latin-1 (Western "
                                     "European) character set."));
        return;
    }
    const QByteArray digest = enabled ? restrictedPasswordDigest(password) : QByteArray();
    const QByteArray frame = restrictedPasswordFrame(digest);
    sendCommand(frame, frame.size(), restrictedPasswordText(digest));
}

void MainWindow::on_configure_rvx_discovery_triggered()
{
    if (noCommandTargets())
        return;
    DiscoverySettings s;
    s.mode = discoveryMode(config_store_get("rvx_discovery_mode"), config_store_get("rvx_server_mode"));
    s.host = stored("rvx_server_hostname");
    s.port = stored("rvx_server_port");
    s.retryInterval = stored("rvx_retry_interval");
    DlgRvxServerInfo dialog(this, s.mode, s.host, s.port, s.retryInterval);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (s.mode < 0 || s.mode > 3)
        s.mode = 1;
    const QByteArray frame = discoveryLegacyFrame(s);
    sendCommand(frame, frame.size(), discoveryText(s));
}

// ---- optional services ------------------------------------------------------------------------------

void MainWindow::on_configure_rrsh_triggered()
{
    const QString title = QStringLiteral("Remote Triggering");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(this, QStringLiteral("Set Remote Triggering"), QStringLiteral("Set Remote Triggering to:"),
               storedYes("rrsh_enabled") ? 1 : 2, QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    if (choice == 0)
        return;
    const bool enable = choice == 1;
    const QByteArray text = remoteTriggeringText(enable);
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        if (!canSetRemoteTriggering(deviceFacts(device)) || !::sendConfiguration(device, text, 56)) {
            ++ignored;
            continue;
        }
        logEvent(actionSentence(enable ? Action::EnableRemoteTriggering : Action::DisableRemoteTriggering,
                                device->serialNumber()));
        ++sent;
    }
    showSummary(this, title, summaryText(Summary::RemoteTriggering, sent, ignored));
}

void MainWindow::on_configure_beacon_triggered()
{
    const QString title = QStringLiteral("RVX Beacon");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return;
    const int choice =
        choose(this, title, QStringLiteral("Set RVX Beacon to:"), storedYes("rvx_beacon_enabled") ? 1 : 2,
               QStringLiteral("Enabled"), QStringLiteral("Disabled"));
    if (choice == 0)
        return;
    const bool enable = choice == 1;
    if (enable &&
        !beaconAllowed(config_store_get("rvx_discovery_mode"), config_store_get("rvx_server_mode"))) {
        Ask::critical(
            this, title,
            QStringLiteral("\nThe RVX beacon feature can only be enabled on a device configured to use the "
                           "\"Static\" RVX discovery method.  Please reconfigure the device to use Static "
                           "RVX discovery before enabling this option."));
        return;
    }
    const QByteArray text = beaconText(enable);
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        if (!canSetBeacon(deviceFacts(device)) || !::sendConfiguration(device, text, 67)) {
            ++ignored;
            continue;
        }
        logEvent(
            actionSentence(enable ? Action::EnableBeacon : Action::DisableBeacon, device->serialNumber()));
        ++sent;
    }
    showSummary(this, title, summaryText(Summary::VncOrBeacon, sent, ignored));
}

void MainWindow::on_configure_x11vnc_triggered()
{
    const QString title = QStringLiteral("VNC Server");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return;
    bool enabled = storedYes("x11vnc_enabled");
    QString password = vncPasswordFromStored(config_store_get("x11vnc_password"));
    DlgOptionalSvcData dialog(this, &enabled, nullptr, &password, title, true,
                              QStringLiteral("Leave blank for no password"));
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (enabled) {
        if (!isLatin1(password)) {
            Ask::critical(this, title,
                          QStringLiteral("\nThe password may only contain characters of the Latin-1 (Western "
                                         "European) character set."));
            return;
        }
        if (!confirm(this, title,
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
    const QByteArray text = vncText(enabled, password);
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        if (!canSetVncServer(deviceFacts(device)) || !::sendConfiguration(device, text, 64)) {
            ++ignored;
            continue;
        }
        logEvent(actionSentence(enabled ? Action::EnableVnc : Action::DisableVnc, device->serialNumber()));
        ++sent;
    }
    showSummary(this, title, summaryText(Summary::VncOrBeacon, sent, ignored));
}

void MainWindow::on_configure_shadowing_triggered()
{
    const QString title = QStringLiteral("Configure Session Shadowing");
    ThinclientInfo* device = singleSelectedDevice(title);
    if (!device || !device->clientVersionAtLeast(8, 3, 0, title))
        return;
    QString host = stored("shadower_hostname");
    QString port = stored("shadower_port");
    bool viewOnly = storedYes("shadower_view_only");
    DlgShadowing dialog(this, host, port, viewOnly);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (::sendConfiguration(device, shadowingText(host, port, viewOnly), 66))
        logEvent(actionSentence(Action::Shadowing, device->serialNumber()));
}

void MainWindow::on_configure_pxe_triggered()
{
    const QString title = QStringLiteral("Configure PXE Server");
    ThinclientInfo* device = singleSelectedDevice(title);
    if (!device)
        return;
    const DeviceFacts facts = deviceFacts(device);
    if (!canConfigurePxe(facts)) {
        Ask::critical(
            this, title,
            QStringLiteral("PXE boot server capability is not supported on devices with this firmware "
                           "type."));
        return;
    }
    DlgPxeServer dialog(this, facts.firmwareType == 11);
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
                             ? ::sendConfiguration(device, pxeText(pxe), 37)
                             : writeFrame(device, pxeLegacyFrame(pxe, config_store_get("powersave") != "no"));
    if (written && pxe.enabled)
        logEvent(actionSentence(Action::PxeEnabled, device->serialNumber()));
}

void MainWindow::on_delete_device_triggered()
{
    const QString title = QStringLiteral("Delete Device");
    const QList<ThinclientInfo*> devices = selectedDevices(false);
    if (noDevicesSelected(devices, title))
        return;
    const bool anyOnline =
        std::any_of(devices.cbegin(), devices.cend(), [](const ThinclientInfo* d) { return d->isOnline(); });
    if (anyOnline) {
        if (!confirm(
                this, title,
                QStringLiteral("One or more devices in your selection are still online.  Deleting an online "
                               "device doesn't seem very sensible.\n\nProceed with deletion?"),
                QMessageBox::No))
            return;
        logEvent(QStringLiteral("acknowledged online device deletion warning"));
    }
    if (!confirm(this, title, QStringLiteral("Are you sure that you want to delete the selected device(s)?")))
        return;
    for (ThinclientInfo* device : devices) {
        const QString serial = device->serialNumber();
        // No member entry, by serial number or by MAC address, may place the device again.
        const QString mac = device->macAddress();
        for (DeptInfo* dept : m_departments.items()) {
            m_departments.removeMemberIgnoringCase(dept, serial);
            if (!mac.isEmpty())
                m_departments.removeMemberIgnoringCase(dept, mac);
        }
        if (DeptInfo* dept = m_departments.departmentOfDevice(device)) {
            removeDevFromDept(device);
            m_departments.removeDevice(dept, device);
        }
        m_server->removeDevice(device);
        logEvent(actionSentence(Action::Delete, serial));
    }
    saveDepartments();
    updateActionState();
}

// ---- device lists and files -------------------------------------------------------------------------

void MainWindow::on_edit_pi_config_triggered()
{
    const QString title = QStringLiteral("Edit Raspberry Pi Configuration");
    ThinclientInfo* device = singleSelectedDevice(title);
    if (!device || !device->clientVersionAtLeast(8, 3, 0, title))
        return;
    if (!isRaspberryPi(device->firmwareType())) {
        Ask::critical(this, title, QStringLiteral("This device is not a Raspberry Pi."));
        return;
    }
    writeFrame(device, piConfigRequest());
}

void MainWindow::getModeHelp(int protocol)
{
    sendRequest(modeHelpRequest(protocol));
}

void MainWindow::enumerateUsb()
{
    sendRequest(usbListRequest());
}

void MainWindow::getSSIDList()
{
    sendRequest(ssidListRequest());
}

void MainWindow::getNetworkInfo(uchar interfaceKind)
{
    sendRequest(networkInfoRequest(interfaceKind));
}

void MainWindow::getResolutionLists()
{
    ThinclientInfo* device = singleSelectedDevice(QStringLiteral("Get Resolution Lists"));
    if (device && device->clientVersionAtLeast(8, 2, 0))
        writeFrame(device, resolutionListRequest());
}

void MainWindow::getLocaleLists()
{
    ThinclientInfo* device = singleSelectedDevice(QStringLiteral("Get Locale Lists"));
    if (device && device->clientVersionAtLeast(8, 2, 0))
        writeFrame(device, localeListRequest());
}

void MainWindow::getKeyboardOptionLists()
{
    ThinclientInfo* device = singleSelectedDevice(QStringLiteral("Get Locale Lists"));
    if (device && device->clientVersionAtLeast(8, 2, 0))
        writeFrame(device, keyboardOptionRequest());
}

void MainWindow::getAudioDevices(bool output)
{
    ThinclientInfo* device = singleSelectedDevice(QStringLiteral("Get Audio Device Lists"));
    if (device && device->clientVersionAtLeast(8, 4, 0))
        writeFrame(device, audioDevicesRequest(output));
}

void MainWindow::sshToDevice()
{
    const QList<ThinclientInfo*> devices = selectedDevices(false);
    if (devices.size() != 1)
        return;
    ThinclientInfo* device = devices.first();
    const QString program = platform::toolPath(platform::Tool::Putty);
    if (!platform::startDetached(program, sshArguments(deviceFacts(device))))
        Ask::critical(
            this, QStringLiteral("PuTTY Launch Failed"),
            QStringLiteral("Unable to start PuTTY - please install it in the default location or add its "
                           "folder to the system PATH."));
    logEvent(actionSentence(Action::Ssh, device->serialNumber()));
}

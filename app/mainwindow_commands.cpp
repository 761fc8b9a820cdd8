// The device commands: single settings and operations sent to the selected devices, the
// requests that make devices send lists, and the SSH session to a device.

#include "mainwindow.h"

#include "ask.h"

using rvx::Ask;

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

int MainWindow::sendCommand(const QByteArray& frame, int length, const QByteArray& text)
{
    Q_UNUSED(frame)
    Q_UNUSED(length)
    Q_UNUSED(text)
    return -1;
}

void MainWindow::on_refresh_device_triggered() {}

void MainWindow::on_maint_mode_triggered() {}

void MainWindow::on_reboot_shutdown_triggered() {}

void MainWindow::on_reset_device_triggered() {}

void MainWindow::on_set_reset_state_triggered() {}

void MainWindow::on_restart_mode_triggered() {}

void MainWindow::on_change_hostname_triggered() {}

void MainWindow::on_enter_comment_triggered() {}

void MainWindow::on_set_log_level_triggered() {}

void MainWindow::on_set_powersave_mode_triggered() {}

void MainWindow::on_set_zylconfig_password_triggered() {}

void MainWindow::on_configure_shadowing_triggered() {}

void MainWindow::on_configure_rvx_discovery_triggered() {}

void MainWindow::on_configure_pxe_triggered() {}

void MainWindow::on_configure_rrsh_triggered() {}

void MainWindow::on_configure_beacon_triggered() {}

void MainWindow::on_configure_x11vnc_triggered() {}

void MainWindow::on_delete_device_triggered() {}

void MainWindow::on_wake_device_triggered() {}

void MainWindow::sshToDevice() {}

void MainWindow::getModeHelp(int protocol)
{
    Q_UNUSED(protocol)
}

void MainWindow::enumerateUsb() {}

void MainWindow::getSSIDList() {}

void MainWindow::getNetworkInfo(uchar interfaceKind)
{
    Q_UNUSED(interfaceKind)
}

void MainWindow::getAudioDevices(bool output)
{
    Q_UNUSED(output)
}

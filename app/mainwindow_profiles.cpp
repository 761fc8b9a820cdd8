// Configuration profiles: saving a device's configuration, loading a profile onto devices,
// and applying a department's linked profile to a device that connects.

#include "mainwindow.h"

void MainWindow::on_load_config_triggered() {}

void MainWindow::on_save_config_triggered() {}

void MainWindow::applyDevicePolicy(ThinclientInfo* tci)
{
    Q_UNUSED(tci)
}

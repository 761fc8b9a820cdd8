// Export of the device list of every department as a CSV file.

#include "mainwindow.h"

void MainWindow::on_export_device_list_triggered() {}

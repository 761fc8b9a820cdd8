// Handlers of the features that build on the device list: upgrades, file installation,
// logs, storage, displays, peripherals, locale, network, application mode, digital signage,
// updates and news.

#include "mainwindow.h"

void MainWindow::on_sync_dsi_folders_triggered() {}

void MainWindow::on_configure_displays_triggered() {}

void MainWindow::on_configure_periphs_triggered() {}

void MainWindow::on_set_locale_triggered() {}

void MainWindow::on_configure_network_triggered() {}

void MainWindow::on_set_app_mode_triggered() {}

// Answers that fill the configuration dialogs of the features to come.

void MainWindow::displayModeHelp(QString) {}

void MainWindow::configureResolutions(QMap<QString, QStringList*>*) {}

void MainWindow::configureLocale(QMap<QString, QStringList*>*) {}

void MainWindow::configureKeyboardOptions(QMap<QString, QStringList*>*) {}

void MainWindow::configureSSIDList(QStringList*) {}

void MainWindow::configureAudioDevs(QMap<QString, QStringList*>*) {}

void MainWindow::updateNetworkInfo(QString, QString, QString, QString, QString, QString, QString, QString,
                                   QString, QString, QString)
{
}

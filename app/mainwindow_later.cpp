// Handlers of the features that build on the device list: upgrades, file installation,
// logs, storage, displays, peripherals, locale, network, application mode, digital signage,
// updates and news.

#include "mainwindow.h"

void MainWindow::on_get_logs_triggered() {}

void MainWindow::on_install_file_triggered() {}

void MainWindow::on_assign_storage_triggered() {}

void MainWindow::on_sync_dsi_folders_triggered() {}

void MainWindow::on_install_hotfix_triggered() {}

void MainWindow::on_upgrade_firmware_triggered() {}

void MainWindow::on_upgrade_client_triggered() {}

void MainWindow::on_configure_displays_triggered() {}

void MainWindow::on_configure_periphs_triggered() {}

void MainWindow::on_set_locale_triggered() {}

void MainWindow::on_configure_network_triggered() {}

void MainWindow::on_set_app_mode_triggered() {}

void MainWindow::on_download_updates_triggered() {}

void MainWindow::on_unread_news_triggered() {}

void MainWindow::configureStorage() {}

void MainWindow::onDailyUpdateCheck()
{
    downloadUpdates(false);
}

void MainWindow::downloadUpdates(bool interactive)
{
    Q_UNUSED(interactive)
}

bool MainWindow::handOverPendingInstaller()
{
    return false;
}

void MainWindow::loadCachedCatalogue() {}

void MainWindow::createDownloadManager() {}

void MainWindow::destroyDownloadManager() {}

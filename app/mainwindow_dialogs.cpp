// The configuration dialogs' slots and the device answers that fill them.

#include "mainwindow.h"

#include "agentlists.h"
#include "configdialogs.h"

void MainWindow::on_configure_network_triggered()
{
    m_dialogs->network();
}

void MainWindow::on_set_locale_triggered()
{
    m_dialogs->locale();
}

void MainWindow::on_configure_periphs_triggered()
{
    m_dialogs->peripherals();
}

void MainWindow::on_configure_displays_triggered()
{
    m_dialogs->displays();
}

void MainWindow::on_set_app_mode_triggered()
{
    m_dialogs->applicationMode();
}

void MainWindow::on_sync_dsi_folders_triggered()
{
    m_dialogs->synchronizeSignage();
}

void MainWindow::displayModeHelp(QString str)
{
    m_dialogs->modeHelp(str);
}

void MainWindow::configureResolutions(QMap<QString, QStringList*>* resMap)
{
    m_dialogs->resolutionLists(ConfigDialogs::copied(resMap));
}

void MainWindow::configureLocale(QMap<QString, QStringList*>* l10nMap)
{
    m_dialogs->localeLists(ConfigDialogs::copied(l10nMap));
}

void MainWindow::configureKeyboardOptions(QMap<QString, QStringList*>* kbdData)
{
    m_dialogs->keyboardLists(ConfigDialogs::copied(kbdData));
}

void MainWindow::configureSSIDList(QStringList* entries)
{
    if (entries)
        m_dialogs->ssidList(*entries);
}

void MainWindow::configureAudioDevs(QMap<QString, QStringList*>* portData)
{
    m_dialogs->audioDevices(ConfigDialogs::copied(portData));
}

void MainWindow::updateNetworkInfo(QString dns1, QString dns2, QString dsPath, QString wiredMAC,
                                   QString wiredIP, QString wiredNetmask, QString wiredGateway,
                                   QString wirelessMAC, QString wirelessIP, QString wirelessNetmask,
                                   QString wirelessGateway)
{
    m_dialogs->networkStatus({dns1, dns2, dsPath, wiredMAC, wiredIP, wiredNetmask, wiredGateway, wirelessMAC,
                              wirelessIP, wirelessNetmask, wirelessGateway});
}

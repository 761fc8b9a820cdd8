// Answers of devices to list requests: they open or fill the configuration dialogs.

#include "mainwindow.h"

void MainWindow::displayModeHelp(QString str)
{
    Q_UNUSED(str)
}

void MainWindow::configureUsbRedir(ThinclientInfo* tci, QStringList* entries)
{
    Q_UNUSED(tci)
    Q_UNUSED(entries)
}

void MainWindow::configureResolutions(QMap<QString, QStringList*>* resMap)
{
    Q_UNUSED(resMap)
}

void MainWindow::configureLocale(QMap<QString, QStringList*>* l10nMap)
{
    Q_UNUSED(l10nMap)
}

void MainWindow::configureKeyboardOptions(QMap<QString, QStringList*>* kbdData)
{
    Q_UNUSED(kbdData)
}

void MainWindow::configureSSIDList(QStringList* entries)
{
    Q_UNUSED(entries)
}

void MainWindow::configureAudioDevs(QMap<QString, QStringList*>* portData)
{
    Q_UNUSED(portData)
}

void MainWindow::editPiConfig(ThinclientInfo* tci, QString config)
{
    Q_UNUSED(tci)
    Q_UNUSED(config)
}

void MainWindow::updateNetworkInfo(QString dns1, QString dns2, QString dsPath, QString wiredMAC,
                                   QString wiredIP, QString wiredNetmask, QString wiredGateway,
                                   QString wirelessMAC, QString wirelessIP, QString wirelessNetmask,
                                   QString wirelessGateway)
{
    Q_UNUSED(dns1)
    Q_UNUSED(dns2)
    Q_UNUSED(dsPath)
    Q_UNUSED(wiredMAC)
    Q_UNUSED(wiredIP)
    Q_UNUSED(wiredNetmask)
    Q_UNUSED(wiredGateway)
    Q_UNUSED(wirelessMAC)
    Q_UNUSED(wirelessIP)
    Q_UNUSED(wirelessNetmask)
    Q_UNUSED(wirelessGateway)
}

// Answers of devices to list requests: they open or fill the configuration dialogs.

#include "mainwindow.h"

#include "ask.h"
#include "audit.h"
#include "commands.h"
#include "configlib.h"
#include "dlgusbredirection.h"
#include "rvxdb.h"
#include "sending.h"
#include "sslserver.h"
#include "thinclientinfo.h"

using rvx::Ask;

void MainWindow::displayModeHelp(QString str)
{
    Q_UNUSED(str)
}

void MainWindow::configureUsbRedir(ThinclientInfo* tci, QStringList* entries)
{
    if (!tci || !entries)
        return;
    // The list arrives inside the server's message handler. The editor is modal, so it opens
    // once that handler has returned; the device is looked up again by its serial number then.
    const QString serial = tci->serialNumber();
    const QStringList usbList = *entries;
    QMetaObject::invokeMethod(
        this, [this, serial, usbList]() { editUsbRedirections(serial, usbList); }, Qt::QueuedConnection);
}

void MainWindow::editUsbRedirections(const QString& serial, const QStringList& usbList)
{
    ThinclientInfo* device = m_server ? m_server->findBySerial(serial) : nullptr;
    if (!device || !device->isOnline())
        return;
    const QByteArray protocol = config_protocol_name(device->protocolType());
    if (protocol.isEmpty())
        return;
    // The device's own stored settings, whichever device the store holds.
    const QByteArray stored = m_server->database()->loadConfig(serial);
    const auto ids = [&stored](const QByteArray& key) {
        return QString::fromLatin1(config_text_get_value(key, stored))
            .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    QStringList redirected = protocol == "rdp" ? commands::numberedRedirections(stored) : QStringList();
    if (redirected.isEmpty())
        redirected = ids(protocol + "_usb_redirections");
    QStringList denied = ids(protocol + "_usb_redir_denied");
    // Older agents take only the redirected devices.
    const bool text = device->clientMajorVersion() >= 8;
    DlgUsbRedirection dialog(this, usbList, redirected, text ? &denied : nullptr);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    const bool written =
        text ? ::sendConfiguration(device,
                                   commands::usbRedirectionText(protocol, redirected, denied,
                                                                commands::highestRedirectionNumber(stored)),
                                   44)
             : writeFrame(device, commands::usbRedirectionLegacyFrame(redirected));
    if (written)
        logEvent(commands::actionSentence(commands::Action::UsbRedirection, serial));
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

// The discovery broadcast: switching it on and off, and its timer.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "discovery.h"
#include "platform.h"

#include <QSettings>
#include <QTimer>
#include <QUdpSocket>

namespace platform = rvx::platform;

namespace {

// The broadcast interval. A stored frequency below one second (0 stands for a non-number
// typed in Options) would make the timer fire without pause and flood the network, so the
// interval is kept between one second and one day.
int broadcastIntervalMs(const QSettings& settings)
{
    const int seconds = settings.value(QStringLiteral("UDPFrequency")).toString().toInt(nullptr, 10);
    return qBound(1, seconds, 86400) * 1000;
}

} // namespace

void MainWindow::startDiscovery()
{
    if (!m_settings->contains(QStringLiteral("discoveryState")))
        m_settings->setValue(QStringLiteral("discoveryState"), true);
    ui->btnBroadcast->setChecked(m_settings->value(QStringLiteral("discoveryState")).toBool());
    setBroadcastEnabled(false);
}

void MainWindow::setBroadcastEnabled(bool flip)
{
    // Discovery exists only once the agent side has been set up.
    if (!ui || !m_broadcastTimer)
        return;
    if (flip)
        ui->btnBroadcast->setChecked(!ui->btnBroadcast->isChecked());
    if (ui->btnBroadcast->isChecked()) {
        m_settings->setValue(QStringLiteral("discoveryState"), true);
        sendDiscoveryBroadcast();
        m_broadcastTimer->start(broadcastIntervalMs(*m_settings));
    } else {
        m_broadcastTimer->stop();
        m_settings->setValue(QStringLiteral("discoveryState"), false);
    }
}

bool MainWindow::broadcastEnabled() const
{
    return ui && ui->btnBroadcast->isChecked();
}

void MainWindow::on_toggle_broadcast_triggered()
{
    setBroadcastEnabled(true);
}

void MainWindow::on_btnBroadcast_triggered()
{
    // The button has already changed its own check state.
    setBroadcastEnabled(false);
}

void MainWindow::onBroadcastTimerFired()
{
    sendDiscoveryBroadcast();
}

void MainWindow::sendDiscoveryBroadcast()
{
    if (!m_udpSocket || !m_settings)
        return;
    // One datagram per IPv4 address of every interface that is up and not a loopback
    // interface, to that address's broadcast address. The settings are read for every
    // datagram, so a changed port is announced from the next datagram on.
    const QList<QNetworkAddressEntry> entries = platform::usableIPv4Entries();
    for (const QNetworkAddressEntry& entry : entries) {
        const int sslPort = m_settings->value(QStringLiteral("SSLPort")).toInt();
        const QByteArray datagram = discoveryDatagram(entry.ip().toString(), sslPort);
        const quint16 udpPort =
            static_cast<quint16>(m_settings->value(QStringLiteral("UDPPort")).toInt() & 0xFFFF);
        const QHostAddress destination = entry.broadcast();
        if (destination.isNull())
            continue; // an entry without a broadcast address reaches nobody
        m_udpSocket->writeDatagram(datagram, destination, udpPort);
    }
}

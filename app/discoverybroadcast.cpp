#include "discoverybroadcast.h"

#include "discovery.h"
#include "platform.h"

#include <QAction>
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

DiscoveryBroadcast::DiscoveryBroadcast(QSettings* settings, QAction* button, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_button(button)
{
    m_socket = new QUdpSocket(this);
    m_timer = new QTimer(this);
    connect(m_timer, &QTimer::timeout, this, &DiscoveryBroadcast::broadcast);
}

void DiscoveryBroadcast::start()
{
    if (!m_settings->contains(QStringLiteral("discoveryState")))
        m_settings->setValue(QStringLiteral("discoveryState"), true);
    m_button->setChecked(m_settings->value(QStringLiteral("discoveryState")).toBool());
    setEnabled(false);
}

void DiscoveryBroadcast::setEnabled(bool flip)
{
    if (flip)
        m_button->setChecked(!m_button->isChecked());
    if (m_button->isChecked()) {
        m_settings->setValue(QStringLiteral("discoveryState"), true);
        broadcast();
        m_timer->start(broadcastIntervalMs(*m_settings));
    } else {
        m_timer->stop();
        m_settings->setValue(QStringLiteral("discoveryState"), false);
    }
}

bool DiscoveryBroadcast::isEnabled() const
{
    return m_button->isChecked();
}

void DiscoveryBroadcast::broadcast()
{
    // The settings are read for every datagram, so a changed port is announced from the next
    // datagram on.
    const QList<QNetworkAddressEntry> entries = platform::usableIPv4Entries();
    for (const QNetworkAddressEntry& entry : entries) {
        const int sslPort = m_settings->value(QStringLiteral("SSLPort")).toInt();
        const QByteArray datagram = discoveryDatagram(entry.ip().toString(), sslPort);
        const quint16 udpPort =
            static_cast<quint16>(m_settings->value(QStringLiteral("UDPPort")).toInt() & 0xFFFF);
        const QHostAddress destination = entry.broadcast();
        if (destination.isNull())
            continue; // an entry without a broadcast address reaches nobody
        m_socket->writeDatagram(datagram, destination, udpPort);
    }
}

#pragma once

// The discovery broadcast: while it is on, every UDPFrequency seconds one datagram per IPv4
// address of every interface that is up and not a loopback interface, to that address's
// broadcast address, telling agents where the server listens.

#include <QObject>

class QAction;
class QSettings;
class QTimer;
class QUdpSocket;

class DiscoveryBroadcast : public QObject
{
    Q_OBJECT

public:
    // `button` is the checkable Discover action whose state says whether discovery is on.
    DiscoveryBroadcast(QSettings* settings, QAction* button, QObject* parent = nullptr);

    // At start-up: the stored state (on when never stored) goes to the button, then applies.
    void start();
    // Switches discovery on or off following the button's check state, flipping that state
    // first when `flip` is true.
    void setEnabled(bool flip);
    bool isEnabled() const;
    void broadcast();
    QTimer* timer() const { return m_timer; }

private:
    QSettings* m_settings;
    QAction* m_button;
    QUdpSocket* m_socket = nullptr;
    QTimer* m_timer = nullptr;
};

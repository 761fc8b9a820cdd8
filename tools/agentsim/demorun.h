#pragma once

// Plays a demonstration fleet against a server, inside the caller's event loop: every device
// connects, identifies itself with its own block, reports its whole configuration and its
// status, answers the wireless-network and network-status requests, sends keep-alives, and,
// if it comes and goes, leaves and connects again at its own pace. A device that cannot
// connect (the server not started yet, or gone) tries again every few seconds, so the demo
// may be started before the server and outlives a restart of it.

#include "demofleet.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <vector>

class SimAgent;

class DemoRun : public QObject
{
    Q_OBJECT

public:
    DemoRun(const QList<demo::Device>& devices, const QHostAddress& host, quint16 port,
            QObject* parent = nullptr);
    ~DemoRun() override;

    void start();

    // Seconds between a device's keep-alives, and milliseconds before a device whose
    // connection failed tries again.
    void setKeepAliveSeconds(int seconds) { m_keepAliveSeconds = qMax(1, seconds); }
    void setRetryMs(int ms) { m_retryMs = qMax(10, ms); }

    int identifiedCount() const;
    // Identifications so far, returns included.
    int identifications() const { return m_identifications; }

signals:
    // A device identified itself (again, for one that came back).
    void identified(const QString& serial);

private:
    struct Member
    {
        demo::Device device;
        SimAgent* agent = nullptr;
        bool identified = false;
        bool leaving = false; // left on purpose: comes back after its time away
        QTimer* timer = nullptr;
    };

    void connectMember(Member& member);
    void onWelcome(Member& member);
    void onGone(Member& member);
    void keepAlive();

    std::vector<Member> m_members;
    QHostAddress m_host;
    quint16 m_port = 0;
    int m_keepAliveSeconds = 60;
    int m_retryMs = 5000;
    int m_identifications = 0;
    qint64 m_keepAliveTick = 0;
    QTimer m_keepAlive;
};

#include "demorun.h"

#include "agentlists.h"
#include "configlib.h"
#include "messages.h"
#include "simagent.h"

#include <QSslSocket>

namespace {

using msg::number;
using msg::Type;

// What the device tells when asked for its live network status.
NetworkStatus networkStatus(const demo::Device& device)
{
    NetworkStatus status;
    status.dns1 = QStringLiteral("10.20.0.53");
    status.dns2 = QStringLiteral("10.20.0.54");
    const QString ip = QHostAddress(device.ipAddress).toString();
    const QString gateway = QHostAddress((device.ipAddress & 0xFFFFFF00u) | 1u).toString();
    if (device.wireless) {
        status.wirelessMAC = device.mac;
        status.wirelessIP = ip;
        status.wirelessNetmask = QStringLiteral("255.255.255.0");
        status.wirelessGateway = gateway;
    } else {
        status.wiredMAC = device.mac;
        status.wiredIP = ip;
        status.wiredNetmask = QStringLiteral("255.255.255.0");
        status.wiredGateway = gateway;
    }
    return status;
}

} // namespace

DemoRun::DemoRun(const QList<demo::Device>& devices, const QHostAddress& host, quint16 port, QObject* parent)
    : QObject(parent)
    , m_host(host)
    , m_port(port)
{
    m_members.reserve(static_cast<size_t>(devices.size()));
    for (const demo::Device& device : devices) {
        Member member;
        member.device = device;
        member.timer = new QTimer(this);
        member.timer->setSingleShot(true);
        m_members.push_back(member);
    }
    connect(&m_keepAlive, &QTimer::timeout, this, &DemoRun::keepAlive);
}

DemoRun::~DemoRun()
{
    // Nothing may report to a run whose members are going.
    for (Member& member : m_members) {
        SimAgent* agent = member.agent;
        member.agent = nullptr;
        delete agent;
    }
}

void DemoRun::start()
{
    // The devices do not all arrive in the same instant, as after a power cut they would not.
    for (size_t i = 0; i < m_members.size(); ++i) {
        Member& member = m_members[i];
        connect(member.timer, &QTimer::timeout, this, [this, i]() { connectMember(m_members[i]); });
        member.timer->start(static_cast<int>(i % 50) * 20);
    }
    m_keepAlive.start(1000);
}

int DemoRun::identifiedCount() const
{
    int count = 0;
    for (const Member& member : m_members)
        count += member.identified ? 1 : 0;
    return count;
}

void DemoRun::connectMember(Member& member)
{
    if (SimAgent* old = member.agent) {
        member.agent = nullptr; // its end reports nothing now
        old->deleteLater();
    }
    member.identified = false;
    member.leaving = false;
    auto* agent = new SimAgent(this);
    member.agent = agent;
    agent->setIdentifier(member.device.mac.toLatin1());
    agent->setClientVersion(member.device.clientVersion);
    agent->setListAnswer(number(Type::SsidList), 0, demo::wirelessNetworks());
    Member* m = &member;
    connect(agent->socket(), &QSslSocket::encrypted, agent, [agent]() { agent->sendGreeting(); });
    connect(agent, &SimAgent::frameReceived, agent, [this, m, agent](const SimAgent::Frame& frame) {
        const quint8 type = frame.type & 0x7F;
        if (type == number(Type::Identification)) {
            // The welcome after the proof, or a request to report again.
            if (frame.code == 2 ? agent->serverProofValid() : m->identified)
                onWelcome(*m);
        } else if (type == number(Type::NetworkStatus)) {
            agent->sendFrame(number(Type::NetworkStatus), frame.code,
                             buildNetworkStatusPayload(frame.code, networkStatus(m->device),
                                                       !m->device.wireless, m->device.wireless));
        }
        agent->clearFrames(); // a demo runs for hours: nothing is kept
    });
    // Refused, reset or closed: either way the device tries again.
    connect(agent->socket(), &QAbstractSocket::stateChanged, agent,
            [this, m, agent](QAbstractSocket::SocketState state) {
                if (state == QAbstractSocket::UnconnectedState && m->agent == agent)
                    onGone(*m);
            });
    agent->connectToServer(m_port, m_host);
}

void DemoRun::onWelcome(Member& member)
{
    SimAgent* agent = member.agent;
    agent->identify(demo::deviceBlock(member.device));
    agent->sendConfiguration(demo::configuration(member.device), CATEGORY_ALL, true);
    if (!member.device.status.isEmpty()) {
        agent->sendFrame(number(Type::Status), static_cast<quint8>(member.device.statusCode),
                         member.device.status.toLatin1() + '\0');
    }
    if (!member.identified) {
        member.identified = true;
        ++m_identifications;
        emit identified(member.device.serial);
        if (member.device.onlineSeconds > 0) {
            member.timer->disconnect();
            connect(member.timer, &QTimer::timeout, this, [this, &member]() {
                member.leaving = true;
                member.agent->disconnectFromServer();
            });
            member.timer->start(member.device.onlineSeconds * 1000);
        }
    }
}

void DemoRun::onGone(Member& member)
{
    const bool leftOnPurpose = member.leaving;
    member.identified = false;
    member.leaving = false;
    member.timer->stop();
    member.timer->disconnect();
    connect(member.timer, &QTimer::timeout, this, [this, &member]() { connectMember(member); });
    member.timer->start(leftOnPurpose ? member.device.awaySeconds * 1000 : m_retryMs);
}

void DemoRun::keepAlive()
{
    // Every second a share of the fleet, so that each device sends one every period.
    const qint64 tick = m_keepAliveTick++;
    for (size_t i = 0; i < m_members.size(); ++i) {
        Member& member = m_members[i];
        if (member.identified && static_cast<qint64>(i) % m_keepAliveSeconds == tick % m_keepAliveSeconds)
            member.agent->sendKeepAlive();
    }
}

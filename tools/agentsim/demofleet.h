#pragma once

// The demonstration fleet: a set of varied simulated devices that make a newcomer's server
// look like a real site. Devices differ in hardware (PCs, small form factor boxes, an ARM
// board, Raspberry Pi models), in firmware and agent versions (older, equal to and newer
// than the server's), in application mode, addressing, locale and comment; one is in
// maintenance mode, some show digital signage, and a few come and go.
//
// Plain functions: the devices are made from their index alone, so the same --demo run gives
// the same fleet every time and a later run finds the devices it saw before.

#include <QByteArray>
#include <QList>
#include <QString>

namespace demo {

struct Device
{
    int index = 0;
    QString serial;
    QString mac;
    QString hostname;
    QString comment;
    quint8 firmwareType = 0;
    QString hardware; // the hardware name of the information block
    QString debianArch;
    QString firmwareVersion;
    QString clientVersion;
    QString kernelVersion;
    quint8 bootMode = 2;        // 2 normal, 3 maintenance
    QByteArray protocol;        // the application mode, as connection_type holds it
    QString modeServer;         // the mode's server, empty when the mode has none
    quint32 ipAddress = 0;      // host byte order
    bool staticAddress = false; // addressed by hand instead of by DHCP
    bool wireless = false;      // connected over the wireless interface
    QString basedOn;            // the profile its configuration came from; empty: defaults
    bool resetsToCustom = false;
    QString status;       // the status message sent once identified; empty: none
    qint8 statusCode = 0; // 0 normal, 1 an error, 2 a note
    // A device that comes and goes stays connected this many seconds, then is away
    // awaySeconds before it connects again; 0: it stays connected.
    int onlineSeconds = 0;
    int awaySeconds = 0;
};

// The wireless networks every demonstration device reports when asked.
QList<QByteArray> wirelessNetworks();

// The devices of a fleet of `count`, indexes firstIndex and on.
QList<Device> fleet(int count, int firstIndex = 0);
Device device(int index);

// The 512-byte information block the device identifies itself with.
QByteArray deviceBlock(const Device& device);
// The whole configuration the device reports after its identification: host name and comment
// as in its block, its application mode with its server, addressing, locale and services.
QByteArray configuration(const Device& device);

} // namespace demo

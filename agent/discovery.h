#pragma once

// The discovery datagram that tells agents on a local network where the server listens:
//   ADDRESS " :: " PORT " :: " DIGEST " :: "
// where DIGEST is the lower-case hexadecimal MD5 of ADDRESS, PORT and the broadcast key
// concatenated, so an agent can tell a genuine announcement from a forged one.

#include <QByteArray>
#include <QString>

// The 25-character key shared with the agents (assembled at run time, never stored whole).
QByteArray discoveryBroadcastKey();
QByteArray discoveryDatagram(const QString& address, int port);

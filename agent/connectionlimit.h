#pragma once

#include <QString>

// The process's open-file limit caps the number of agents connected at once: every agent
// connection holds one descriptor. These rules tell the administrator, in the status bar,
// when the limit is what stands between the devices and the server.
namespace connectionlimit {

// Descriptors kept for everything but agent connections: the listener, the device history
// and departments files being written, the discovery socket, external programs, the window
// system.
constexpr qint64 Reserved = 64;

// Agents that can be connected at once under the limit; -1 when there is no limit.
qint64 capacity(qint64 openFileLimit);

// Shown at start-up when the limit lets fewer devices connect than the device history
// knows; empty otherwise.
QString startupNote(qint64 openFileLimit, int knownDevices);

// Shown when a connection could not be accepted for lack of descriptors.
QString refusedNote(qint64 openFileLimit, int connections);

} // namespace connectionlimit

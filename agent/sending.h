#pragma once

// Frames the server writes to agents on its own initiative: the routines every command
// uses. A frame is written to the record's socket and flushed; nothing is ever written to
// a record whose socket is null.

#include <QByteArray>

class QSslSocket;
class ThinclientInfo;

// Writes a complete frame and flushes. False when the device is offline.
bool writeFrame(ThinclientInfo* record, const QByteArray& frame);
// Type 7, code = status, then the lp-string text, or a zero length for an empty text.
QByteArray statusFrame(quint8 status, const QByteArray& text);
void sendStatusFrame(QSslSocket* socket, quint8 status, const QByteArray& text);
// The configuration message sendConfiguration writes: compressed (zlib level 3 with its
// 32-bit uncompressed length) when the agent is at least 8.4.0, with no fallback to the
// plain form; plain otherwise. Empty (refused) when the category is outside 1 to 71 and
// not 55, or when the text does not fit the 16-bit length fields.
QByteArray configurationFrame(const ThinclientInfo* record, const QByteArray& text, int category);
// Builds and writes the configuration message. False when refused or offline.
bool sendConfiguration(ThinclientInfo* record, const QByteArray& text, int category);
// Appends a complete frame to the record's pending frames (written at its next
// identification, right after its row is refreshed).
void queueFrame(ThinclientInfo* record, const QByteArray& frame);

// Request frames for the configuration dialogs.
QByteArray modeHelpRequest(int protocol);      // type 33, code 0, length 1, protocol index
QByteArray networkInfoRequest(quint8 version); // type 71, code = version, length 0
QByteArray audioDevicesRequest(bool forAlsa);  // type 70, code 0, length 1, flag

#pragma once

// Frames the server writes to agents on its own initiative: the routines every command
// uses. Every frame goes through the connection's writer (AgentWriter), in order; nothing is
// ever written to a record whose socket is null.

#include "messages.h"

#include <QByteArray>
#include <QString>

#include <memory>

class ThinclientInfo;

// Queues a complete frame on the device's connection. False when the device is offline.
bool writeFrame(ThinclientInfo* record, const QByteArray& frame);
// Queues a frame whose payload ends with a file's bytes: `head` is the frame up to the body
// (its length field counting the body), then the file from offset for length bytes is
// streamed as the connection drains. `keepAlive` lives until the body has been sent. False
// when the device is offline or the file cannot be read as announced (nothing is sent).
bool writeFrameWithFile(ThinclientInfo* record, const QByteArray& head, const QString& path, qint64 offset,
                        qint64 length, std::shared_ptr<void> keepAlive = nullptr);
// Type 7, code = status, then the lp-string text, or a zero length for an empty text.
QByteArray statusFrame(quint8 status, const QByteArray& text);
void sendStatusFrame(ThinclientInfo* record, quint8 status, const QByteArray& text);
// The configuration message sendConfiguration writes: compressed (zlib level 3 with its
// 32-bit uncompressed length) when the agent is at least 8.4.0, with no fallback to the
// plain form; plain otherwise. Empty (refused) when the category is outside 1 to 71 and
// not 55, or when the text does not fit the 16-bit length fields.
QByteArray configurationFrame(const ThinclientInfo* record, const QByteArray& text, int category);
// Builds and writes the configuration message. False when refused or offline.
bool sendConfiguration(ThinclientInfo* record, const QByteArray& text, int category);
// The same for the category a message type carries.
bool sendConfiguration(ThinclientInfo* record, const QByteArray& text, msg::Type type);
// Appends a complete frame to the record's pending frames (written at its next
// identification, right after its row is refreshed).
void queueFrame(ThinclientInfo* record, const QByteArray& frame);

// Request frames for the configuration dialogs.
QByteArray modeHelpRequest(int protocol);      // type 33, code 0, length 1, protocol index
QByteArray networkInfoRequest(quint8 version); // type 71, code = version, length 0
QByteArray audioDevicesRequest(bool forAlsa);  // type 70, code 0, length 1, flag

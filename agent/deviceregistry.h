#pragma once

// The registry of device records: connections that passed the greeting but have not
// identified themselves (pending), and every identified device, online under its connection
// or offline. It owns the records and keeps its tables and each record's `socket` consistent:
//
// - a pending record is in the pending table under its socket, and nowhere else;
// - an identified record is in the device table exactly once and findable by its serial
//   number (ignoring ASCII case); when online it is also in the online table under its socket,
//   and record->socket is that socket; offline, record->socket is null;
// - one socket keys at most one record.
//
// No sockets are read or written here: connections are only keys.

#include "agentsocketfwd.h"

#include <QHash>
#include <QList>
#include <QString>

class ThinclientInfo;

class DeviceRegistry
{
public:
    DeviceRegistry() = default;
    ~DeviceRegistry(); // deletes every record it holds (and with it its socket)
    DeviceRegistry(const DeviceRegistry&) = delete;
    DeviceRegistry& operator=(const DeviceRegistry&) = delete;

    // ---- pending -----------------------------------------------------------------------
    // A connection passed the greeting: a blank record is created for it (replacing an
    // earlier pending record of the socket) and returned.
    ThinclientInfo* addPending(AgentSocket* socket);
    ThinclientInfo* pending(AgentSocket* socket) const { return m_pending.value(socket); }

    // ---- identification ------------------------------------------------------------------
    struct Identified
    {
        ThinclientInfo* record = nullptr;
        bool isNew = false;                 // not known before: place it in a department
        AgentSocket* staleSocket = nullptr; // an earlier connection of the device that never closed
    };
    // Moves the socket's pending record into the device table. When a device with the same
    // serial number is known, the pending record's block is copied into the known record
    // (which keeps its row, queued frames and policy flag), the pending record is deleted and
    // the known record now goes by the socket. The stale socket (if any) is no longer a key:
    // the caller closes it. Null when the socket has no pending record.
    Identified identify(AgentSocket* socket);

    // ---- offline -------------------------------------------------------------------------
    // A stored device loaded at start-up, offline. False (and the record deleted) when a
    // device of that serial number is known already.
    bool addOffline(ThinclientInfo* record);
    // A connection closed. A pending record is deleted (null is returned); an identified one
    // goes offline and is returned; an unknown socket gives null.
    ThinclientInfo* disconnect(AgentSocket* socket, bool* wasIdentified = nullptr);

    // ---- look-up and removal --------------------------------------------------------------
    ThinclientInfo* online(AgentSocket* socket) const { return m_online.value(socket); }
    // The identified record with this serial number (ASCII case ignored), and the socket it
    // goes by (null offline).
    ThinclientInfo* findBySerial(const QString& serial, AgentSocket** key = nullptr) const;
    bool contains(const ThinclientInfo* record) const;
    // Takes a record out of every table without deleting it (the caller deletes it). Its
    // socket, if any, is no longer a key.
    void remove(ThinclientInfo* record);

    QList<ThinclientInfo*> devices() const { return m_bySerial.values(); }
    QList<ThinclientInfo*> onlineDevices() const { return m_online.values(); }
    int pendingCount() const { return m_pending.size(); }
    int deviceCount() const { return m_bySerial.size(); }
    int onlineCount() const { return m_online.size(); }

    // The key a serial number is found under: ASCII letters lower-cased.
    static QString serialKey(const QString& serial);
    // Whether the invariants above hold (tests).
    bool consistent() const;

private:
    QHash<AgentSocket*, ThinclientInfo*> m_pending;
    QHash<AgentSocket*, ThinclientInfo*> m_online;
    QHash<QString, ThinclientInfo*> m_bySerial; // every identified record
};

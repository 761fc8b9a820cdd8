#include "deviceregistry.h"

#include "thinclientinfo.h"

#include <QSet>

#include <cstring>

DeviceRegistry::~DeviceRegistry()
{
    QSet<ThinclientInfo*> records;
    for (ThinclientInfo* record : qAsConst(m_pending))
        records.insert(record);
    for (ThinclientInfo* record : qAsConst(m_bySerial))
        records.insert(record);
    m_pending.clear();
    m_online.clear();
    m_bySerial.clear();
    qDeleteAll(records);
}

QString DeviceRegistry::serialKey(const QString& serial)
{
    QString key = serial;
    for (QChar& ch : key) {
        if (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z'))
            ch = QChar(ch.unicode() + ('a' - 'A'));
    }
    return key;
}

ThinclientInfo* DeviceRegistry::addPending(AgentSocket* socket)
{
    if (ThinclientInfo* old = m_pending.take(socket)) {
        old->socket = nullptr;
        delete old;
    }
    auto* record = new ThinclientInfo;
    record->socket = socket;
    m_pending.insert(socket, record);
    return record;
}

DeviceRegistry::Identified DeviceRegistry::identify(AgentSocket* socket)
{
    Identified result;
    ThinclientInfo* fresh = m_pending.take(socket);
    if (!fresh)
        return result;
    const QString key = serialKey(fresh->serialNumber());
    ThinclientInfo* known = m_bySerial.value(key);
    if (!known) {
        m_bySerial.insert(key, fresh);
        m_online.insert(socket, fresh);
        result.record = fresh;
        result.isNew = true;
        return result;
    }
    // A known device reconnects: its record (row, queued frames, policy flag) stays.
    if (known->socket && known->socket != socket) {
        m_online.remove(known->socket);
        result.staleSocket = known->socket;
    }
    std::memcpy(known->info, fresh->info, ThinclientInfo::InfoSize);
    known->socket = socket;
    fresh->socket = nullptr;
    delete fresh;
    // The block may spell the serial number in another case.
    m_bySerial.remove(key);
    m_bySerial.insert(serialKey(known->serialNumber()), known);
    m_online.insert(socket, known);
    result.record = known;
    return result;
}

bool DeviceRegistry::addOffline(ThinclientInfo* record)
{
    const QString key = serialKey(record->serialNumber());
    if (m_bySerial.contains(key)) {
        delete record;
        return false;
    }
    record->socket = nullptr;
    m_bySerial.insert(key, record);
    return true;
}

ThinclientInfo* DeviceRegistry::disconnect(AgentSocket* socket, bool* wasIdentified)
{
    if (wasIdentified)
        *wasIdentified = false;
    if (ThinclientInfo* record = m_pending.take(socket)) {
        // It may still be in use by the handler that closed its connection.
        record->socket = nullptr;
        record->deleteLater();
        return nullptr;
    }
    ThinclientInfo* record = m_online.take(socket);
    if (!record)
        return nullptr;
    record->socket = nullptr;
    if (wasIdentified)
        *wasIdentified = true;
    return record;
}

ThinclientInfo* DeviceRegistry::findBySerial(const QString& serial, AgentSocket** key) const
{
    ThinclientInfo* record = m_bySerial.value(serialKey(serial));
    if (key)
        *key = record ? record->socket : nullptr;
    return record;
}

bool DeviceRegistry::contains(const ThinclientInfo* record) const
{
    if (!record)
        return false;
    return m_bySerial.value(serialKey(record->serialNumber())) == record;
}

void DeviceRegistry::remove(ThinclientInfo* record)
{
    if (!record)
        return;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it.value() == record)
            it = m_pending.erase(it);
        else
            ++it;
    }
    if (record->socket && m_online.value(record->socket) == record)
        m_online.remove(record->socket);
    const QString key = serialKey(record->serialNumber());
    if (m_bySerial.value(key) == record)
        m_bySerial.remove(key);
}

bool DeviceRegistry::consistent() const
{
    QSet<AgentSocket*> keys;
    for (auto it = m_pending.cbegin(); it != m_pending.cend(); ++it) {
        if (!it.value() || it.value()->socket != it.key() || keys.contains(it.key()))
            return false;
        keys.insert(it.key());
    }
    for (auto it = m_online.cbegin(); it != m_online.cend(); ++it) {
        ThinclientInfo* record = it.value();
        if (!record || record->socket != it.key() || keys.contains(it.key()))
            return false;
        if (m_bySerial.value(serialKey(record->serialNumber())) != record)
            return false;
        keys.insert(it.key());
    }
    int online = 0;
    for (auto it = m_bySerial.cbegin(); it != m_bySerial.cend(); ++it) {
        ThinclientInfo* record = it.value();
        if (!record || it.key() != serialKey(record->serialNumber()))
            return false;
        if (record->socket) {
            if (m_online.value(record->socket) != record)
                return false;
            ++online;
        }
        for (ThinclientInfo* p : qAsConst(m_pending)) {
            if (p == record)
                return false;
        }
    }
    return online == m_online.size();
}

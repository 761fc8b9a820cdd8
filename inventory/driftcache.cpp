#include "driftcache.h"

#include "rvxdb.h"

#include <QFileInfo>

namespace {

// Spellings of one serial that name the same history file share one entry.
QString deviceKey(const QString& serial)
{
    return serial.toUpper().replace(QLatin1Char(':'), QLatin1Char('-'));
}

} // namespace

DriftCache::DriftCache(rvxDB* history, QObject* parent)
    : QObject(parent)
    , m_history(history)
{
    m_clock.start();
    if (m_history)
        connect(m_history, &rvxDB::configChanged, this, &DriftCache::configChanged);
}

const DriftCache::ProfileEntry& DriftCache::profile(const QString& path)
{
    ProfileEntry& entry = m_profiles[path];
    const qint64 now = m_clock.elapsed();
    if (!entry.stale && entry.checkedAt >= 0 && now - entry.checkedAt < 1000)
        return entry;
    entry.checkedAt = now;
    const QFileInfo info(path);
    const QDateTime modified = info.exists() ? info.lastModified() : QDateTime();
    const qint64 size = info.exists() ? info.size() : -1;
    if (!entry.stale && modified == entry.modified && size == entry.size)
        return entry;
    entry.stale = false;
    entry.modified = modified;
    entry.size = size;
    entry.profile = size >= 0 ? drift::Profile::fromFile(path) : std::nullopt;
    entry.generation = m_nextGeneration++;
    return entry;
}

std::optional<int> DriftCache::count(const QString& serial, const QString& profilePath)
{
    if (profilePath.isEmpty() || !m_history)
        return std::nullopt;
    const ProfileEntry& linked = profile(profilePath);
    const QString key = deviceKey(serial);
    auto it = m_devices.find(key);
    if (it != m_devices.end() && it->profilePath == profilePath && it->generation == linked.generation)
        return it->count;
    DeviceEntry entry;
    entry.profilePath = profilePath;
    entry.generation = linked.generation;
    if (linked.profile) {
        const QByteArray text = m_history->loadConfig(serial);
        if (!text.isEmpty())
            entry.count = linked.profile->countDifferences(text);
    }
    ++m_computations;
    m_devices.insert(key, entry);
    return entry.count;
}

std::optional<QList<drift::Difference>> DriftCache::differences(const QString& serial,
                                                                const QString& profilePath)
{
    if (profilePath.isEmpty() || !m_history)
        return std::nullopt;
    const ProfileEntry& linked = profile(profilePath);
    if (!linked.profile)
        return std::nullopt;
    const QByteArray text = m_history->loadConfig(serial);
    if (text.isEmpty())
        return std::nullopt;
    return linked.profile->compare(text);
}

void DriftCache::configChanged(const QString& serial)
{
    m_devices.remove(deviceKey(serial));
}

void DriftCache::profileChanged(const QString& profilePath)
{
    auto it = m_profiles.find(profilePath);
    if (it != m_profiles.end())
        it->stale = true;
}

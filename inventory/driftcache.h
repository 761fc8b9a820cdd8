#pragma once

// The drift of every listed device from its department's linked profile, kept so that the
// device list can show it for thousands of devices: a device's count is computed again only
// after its stored configuration changed or the profile did. A profile file is parsed once
// and looked at again (its size and modification time) at most once a second.

#include "drift.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

#include <optional>

class rvxDB;

class DriftCache : public QObject
{
    Q_OBJECT

public:
    explicit DriftCache(rvxDB* history, QObject* parent = nullptr);

    // The number of the device's settings that applying the profile would change; nothing
    // when the device has no stored configuration, or the profile cannot be read or holds no
    // setting to apply.
    std::optional<int> count(const QString& serial, const QString& profilePath);
    // The differences themselves (computed afresh); nothing as for count.
    std::optional<QList<drift::Difference>> differences(const QString& serial, const QString& profilePath);

    // The device's stored configuration changed (also called by the history's signal).
    void configChanged(const QString& serial);
    // The profile file changed (saved again by the window): parsed again at its next use.
    void profileChanged(const QString& profilePath);

    // How many device counts were computed so far (tests and benchmarks).
    int computations() const { return m_computations; }

private:
    struct ProfileEntry
    {
        std::optional<drift::Profile> profile;
        quint64 generation = 0;
        QDateTime modified;
        qint64 size = -1;
        qint64 checkedAt = -1; // ms of m_clock
        bool stale = true;
    };
    struct DeviceEntry
    {
        QString profilePath;
        quint64 generation = 0;
        std::optional<int> count;
    };

    const ProfileEntry& profile(const QString& path);

    rvxDB* m_history;
    QHash<QString, ProfileEntry> m_profiles;
    QHash<QString, DeviceEntry> m_devices; // by the serial's history file name
    QElapsedTimer m_clock;
    quint64 m_nextGeneration = 1;
    int m_computations = 0;
};

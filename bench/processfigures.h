#pragma once

// Figures of this process for the benchmark servers' reports (Linux).

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/resource.h>

namespace rvx::bench {

// User and system CPU time used so far, in seconds.
inline double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A "Vm..." figure of /proc/self/status in kB (key without its colon), -1 when not found.
inline long statusKb(const char* key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace rvx::bench

#pragma once

// Figures of this process for the benchmark servers' reports (Linux).

#include <QByteArray>
#include <QFile>
#include <QString>

#include <functional>

#include <sys/resource.h>
#include <unistd.h>

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

// Reads what standard input holds and runs each whole line, trimmed, as a command; the rest
// waits in `pending`. False once the caller has gone (end of input or an error).
inline bool readCommands(QByteArray& pending, const std::function<void(const QByteArray&)>& run)
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0)
        return false;
    pending.append(buffer, int(n));
    int eol;
    while ((eol = pending.indexOf('\n')) >= 0) {
        const QByteArray command = pending.left(eol).trimmed();
        pending.remove(0, eol + 1);
        run(command);
    }
    return true;
}

} // namespace rvx::bench

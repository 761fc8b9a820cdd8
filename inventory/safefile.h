#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace rvx {

// Replaces a file that holds the administrator's own work (the departments file, profiles):
// the data goes to a temporary file in the same folder, is flushed to the disk, and then
// takes the file's place, so a crash or a full disk leaves either the old or the new file,
// never a truncated one. Returns false (the old file untouched) when anything fails, with
// the system's reason in *error when given.
bool writeFileDurable(const QString& path, const QByteArray& data, QString* error = nullptr);

// Replaces a file atomically without waiting for the disk (the device history, which the
// agents send again): temporary file in the same folder, then rename. The temporary name
// is "." + the file name + "." + six random characters + ".tmp", which no reader's pattern
// (*.st, *.txt, last_seen.csv) matches. A replaced file keeps its permissions; a new one is
// readable by its owner only. Returns false (the old file untouched) on failure, with the
// system's reason in *error when given.
bool writeFileAtomic(const QString& path, const QByteArray& data, QString* error = nullptr);

// The temporary names writeFileAtomic uses end with this suffix.
inline constexpr char kAtomicTempSuffix[] = ".tmp";

// Test hook: called with the final path after the data is complete in its temporary file
// and before it replaces the old file. Returning false abandons the write at that point as
// a crash would (writeFileAtomic leaves its temporary file behind); the write returns
// false. An empty hook restores normal operation.
void setBeforeReplaceHook(std::function<bool(const QString& path)> hook);

} // namespace rvx

using rvx::writeFileAtomic;
using rvx::writeFileDurable;

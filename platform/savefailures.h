#pragma once

#include <QString>

#include <functional>

// Files the server writes in the background (the departments file while devices are adopted,
// the device history as agents report, the last-seen table) can fail to be written, most
// often because the disk is full. The administrator hears of it on the status bar once per
// kind of file until a write of that kind succeeds again, and the audit trail records one
// sentence per such episode; a later failure starts a new episode and is told again. Files
// written because the administrator just asked for it (a profile, the storage whitelist, the
// rsync configuration) keep their own message box and are recorded here as well, so the
// status bar says what is still not saved.
//
// Everything runs on the GUI thread; the state is the process's.
namespace rvx::saves {

enum class Kind
{
    Departments,
    History,
    LastSeen,
    Profile,
    Whitelist,
    RsyncConfiguration,
    Download,
};
constexpr int KindCount = 7;

// How the kind is named in the texts ("departments file", "device history", ...).
QString noun(Kind kind);
// The status-bar texts.
QString failureStatus(Kind kind, const QString& path, const QString& reason);
QString recoveredStatus(Kind kind);
// The audit sentence of an episode.
QString failureSentence(Kind kind, const QString& path, const QString& reason);

// A write of the kind failed: the first failure of an episode is told (status bar and audit
// trail); the others are only counted.
void failed(Kind kind, const QString& path, const QString& reason);
// A write of the kind succeeded: an episode ends (the status bar says so).
void succeeded(Kind kind);
// Whether the kind is in an episode, and the failed writes counted in it.
bool failing(Kind kind);
int failureCount(Kind kind);

// Where the status texts go (the window's status bar); empty: nowhere. The window sets it
// while it exists.
void setStatusSink(std::function<void(const QString& text)> sink);
// Ends every episode without telling (a new window starts with a clean slate).
void reset();

} // namespace rvx::saves

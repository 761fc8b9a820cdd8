#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkAddressEntry>
#include <QString>
#include <QStringList>

#include <functional>

class QObject;
class QSettings;

namespace rvx::platform {

// ---------------------------------------------------------------------------
// External programs. Every program the server starts goes through these two calls,
// so a test can see the exact command line and choose the outcome.

struct ProcessCall
{
    QString program;
    QStringList arguments;
    bool detached = false;
};

struct ProcessResult
{
    bool started = false;   // the program could be started
    int exitCode = -1;      // exit code of a waited-for program
    QByteArray output;      // standard output of a waited-for program
    QByteArray errorOutput; // standard error of a waited-for program
};

using ProcessRunner = std::function<ProcessResult(const ProcessCall&)>;

// Starts the program without waiting; returns whether it could be started.
bool startDetached(const QString& program, const QStringList& arguments);
// Runs the program and waits up to timeoutMs for it to finish.
ProcessResult execute(const QString& program, const QStringList& arguments, int timeoutMs = 30000);
// Replaces how programs are started; an empty runner restores the real one.
void setProcessRunner(ProcessRunner runner);
// The real runner, bypassing any replacement (a recording runner may delegate to it).
ProcessResult runProcess(const ProcessCall& call, int timeoutMs = 30000);

// Starts the program and returns at once; `onFinished` runs later from the calling thread's
// event loop with the outcome: started false (exit code -1) when it could not be started,
// otherwise its exit code (-1 after a crash) and standard output. Its standard input is the
// null device and, on Unix, it runs without a controlling terminal, so a program that asks
// a question (a password) reads end of file instead of waiting. When `context` is destroyed
// first, the program is killed and `onFinished` is not called.
using ProcessCallback = std::function<void(const ProcessResult&)>;
void startProcess(const QString& program, const QStringList& arguments, QObject* context,
                  ProcessCallback onFinished);
// Replaces how startProcess starts programs (tests): the runner receives the call and the
// callback, and returns true when it will answer the callback itself, false to let the
// program really start. An empty runner restores the real behaviour.
using AsyncProcessRunner = std::function<bool(const ProcessCall&, const ProcessCallback&)>;
void setAsyncProcessRunner(AsyncProcessRunner runner);

// ---------------------------------------------------------------------------
// Audit trail (see audit.h for logEvent itself).

// The description written to the system's event log: user name, one space, sentence.
// USERNAME is used where set (Windows); elsewhere USER.
QString auditDescription(const QString& sentence);
// The program and arguments that record one description on this platform.
ProcessCall auditCommand(const QString& description);
// Diverts audit sentences to the given sink instead of the event log (tests);
// an empty sink restores the event log.
void setAuditSink(std::function<void(const QString& sentence)> sink);

// ---------------------------------------------------------------------------
// Clock. Whole seconds since 1970-01-01 UTC; replaceable in tests.

qint64 nowSeconds();
void setClock(std::function<qint64()> clock);
// Blocks the calling thread (the one-second pause at the end of start-up); tests may
// replace it with a no-op.
void sleepSeconds(int seconds);
void setSleeper(std::function<void(int seconds)> sleeper);

// ---------------------------------------------------------------------------
// Network interfaces, replaceable in tests.

struct InterfaceInfo
{
    QString name;
    bool up = false;
    bool loopback = false;
    QList<QNetworkAddressEntry> entries;
};

QList<InterfaceInfo> networkInterfaces();
void setInterfaceProvider(std::function<QList<InterfaceInfo>()> provider);
// IPv4 address entries of every interface that is up and not a loopback interface,
// in interface order, then entry order.
QList<QNetworkAddressEntry> usableIPv4Entries();

// ---------------------------------------------------------------------------
// Folders and names.

// The working folder proposed on a first start. Windows: %ProgramData%\Orbenium
// Management Software (the application folder when ProgramData is unset); elsewhere the
// user's data location, never the (read-only when installed) application folder.
QString defaultWorkingDir();
// "windows", "linux_deb", "linux_rpm" or "mac".
QString platformName();
// The folder of the running executable.
QString applicationDir();
// A file or folder beside the executable, built with QDir (never hard-coded separators).
QString besideExecutable(const QString& relativePath);

enum class Tool
{
    SevenZip,
    Rsync,
    Putty,
    Wake
};
// Where an external tool is: its folder beside the executable first, then the search
// path. Returns the bare program name when it is found nowhere (starting it then fails).
QString toolPath(Tool tool);

// The configuration file of the local rsync service whose sections (the signage playlists)
// the server edits. Windows: %ProgramData%\rsyncd\rsyncd.conf (%ALLUSERSPROFILE%\Application
// Data when ProgramData is unset); elsewhere /etc/rsyncd.conf (the system's daemon reads it;
// it is created when the first playlist is added). Tests point it elsewhere; an empty path
// restores the default.
QString rsyncdConfigPath();
void setRsyncdConfigPath(const QString& path);

// ---------------------------------------------------------------------------
// Settings store: organisation "Orbenium", application "RVX", native format. On Unix
// systems the backing file is readable by its owner only.
QSettings* createSettings(QObject* parent = nullptr);
void protectSettingsFile(QSettings* settings);

// ---------------------------------------------------------------------------
// Open-file limit: raises the soft limit to the hard limit. Returns the soft limit now
// in force (-1 when the platform has none). Every agent connection holds one descriptor.
qint64 raiseOpenFileLimit();
// Listening sockets: lets the system queue up to `backlog` connections the program has not
// accepted yet (Qt asks for 50), capped by the system's own maximum. False where the
// queue cannot be changed once listening (Windows keeps the first value).
bool setListenBacklog(qintptr descriptor, int backlog);
// Tests: the hook's value is returned instead, and the process's limit is left alone; an
// empty hook restores the real behaviour.
void setOpenFileLimitHook(std::function<qint64()> hook);

} // namespace rvx::platform

#pragma once

#include "platform.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <initializer_list>

class QSettings;

namespace rvx::test {

// ---- process set-up (called by the RVX_*TEST_MAIN macros) ----------------------------
// Gives the process a private, empty home: HOME and the XDG folders point into a new
// temporary folder removed at exit, so no test ever touches the user's real settings.
void preparePrivateHome(const char* argv0);
// Captures audit sentences, records external programs instead of running them, makes the
// start-up pause instant, and refuses to run outside a private network namespace.
void initEnvironment();
// Aborts unless every up, non-loopback interface has only addresses in 10.77.0.0/24
// (the namespace scripts/test creates).
void requirePrivateNetwork();

// ---- audit trail --------------------------------------------------------------------
QStringList auditSentences();
void clearAudit();

// ---- external programs --------------------------------------------------------------
QList<platform::ProcessCall> processCalls();
void clearProcessCalls();
// Decides the outcome of recorded programs (default: started, exit code 0), whether waited
// for or started with startProcess (whose outcome then arrives from the event loop). Calls
// are recorded in every case.
void setProcessHandler(std::function<platform::ProcessResult(const platform::ProcessCall&)> handler);
// Really runs the programs (still recording them), e.g. the wake tool inside the namespace.
void runProcessesForReal();

// ---- clock --------------------------------------------------------------------------
// Replaces the clock for its lifetime.
class FakeClock
{
public:
    explicit FakeClock(qint64 start = 1765000000);
    ~FakeClock();
    void set(qint64 seconds) { m_now = seconds; }
    void advance(qint64 seconds) { m_now += seconds; }
    qint64 now() const { return m_now; }

private:
    qint64 m_now;
};

// ---- the agent server's connection type -------------------------------------------------
// RVX_TLS for its lifetime, restored after it.
class TlsSelection
{
public:
    explicit TlsSelection(const QByteArray& value);
    ~TlsSelection();
    TlsSelection(const TlsSelection&) = delete;
    TlsSelection& operator=(const TlsSelection&) = delete;

private:
    bool m_had;
    QByteArray m_old;
};
// A "kind" column (QByteArray) with a row for each connection type: "qt" and "openssl".
void addConnectionTypeRows();

// ---- network ------------------------------------------------------------------------
quint16 freeTcpPort();
quint16 freeUdpPort();

// ---- bytes --------------------------------------------------------------------------
// A byte string from a list of byte values, for expected frames: bytes({0x05, 0x02}).
QByteArray bytes(std::initializer_list<int> values);

// ---- memory -------------------------------------------------------------------------
// Resident memory of this process in KiB (0 where the system does not tell).
qint64 residentKiB();

// ---- files --------------------------------------------------------------------------
// A whole file's bytes, "<missing>" when it cannot be read.
QByteArray readRaw(const QString& path);
// The file's bytes; empty when it is missing or cannot be read.
QByteArray fileBytes(const QString& path);
// Writes a whole file, creating its folder; fails the running test when it cannot.
void writeRaw(const QString& path, const QByteArray& data);

// Writes every key the Options dialog requires (so no first-start dialog appears) for a
// working folder at `root`, with discovery off, update checks manual, and the given ports
// (a free UDP port when 0); creates the seven sub-folders.
void writeServerSettings(QSettings& settings, const QString& root, quint16 sslPort, quint16 udpPort = 0);

// A working folder with its seven sub-folders, and the settings a started server needs.
class Workspace
{
public:
    Workspace();
    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString path(const QString& sub) const; // root + "/" + sub
    // writeServerSettings() for this folder.
    void writeSettings(QSettings& settings, quint16 sslPort, quint16 udpPort = 0) const;
    // Convenience: writes them into the program's own settings store.
    void writeSettings(quint16 sslPort, quint16 udpPort = 0) const;

private:
    QTemporaryDir m_dir;
};

// A certificate and key generated once per test process ("rvx.crt", "rvx.key").
QString testCertificatePath();
QString testKeyPath();

// Runs the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int timeoutMs = 10000);

// The build folder and the programs built into its bin/ folder.
QString binaryDir();
QString builtProgram(const QString& name);

// A small disk of its own: true when the test runs as root in a mount namespace of its own
// (tests/support/in-mountns), where it may mount a tmpfs that ends with it.
bool mayMountTmpfs();
// Runs a program to its end; true when it exited with 0.
bool runToEnd(const QString& program, const QStringList& arguments);
// Fills the file system holding `path` with one file, as far as it will go (to the last
// byte); the bytes written, -1 when the file cannot be created.
qint64 fillFileSystem(const QString& path);

} // namespace rvx::test

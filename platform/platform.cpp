#include "platform.h"
#include "audit.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkInterface>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#ifdef Q_OS_MACOS
#include <climits>
#endif

namespace rvx::platform {

namespace {

ProcessRunner& processRunner()
{
    static ProcessRunner runner;
    return runner;
}

AsyncProcessRunner& asyncProcessRunner()
{
    static AsyncProcessRunner runner;
    return runner;
}

// A process that, on Unix, leaves the controlling terminal behind before the program runs:
// a program that wants a password then cannot open the terminal and reads standard input.
class DetachedTerminalProcess : public QProcess
{
public:
    using QProcess::QProcess;

protected:
#ifdef Q_OS_UNIX
    void setupChildProcess() override
    {
        ::setsid();
    }
#endif
};

void startReal(const ProcessCall& call, QObject* context, const ProcessCallback& onFinished)
{
    auto* process = new DetachedTerminalProcess(context);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::SeparateChannels);
    // Only standard output is kept; the error channel is read and dropped so the program
    // never blocks on a full pipe.
    QObject::connect(process, &QProcess::readyReadStandardError, process,
                     [process] { process->readAllStandardError(); });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, onFinished](QProcess::ProcessError e) {
                         if (e != QProcess::FailedToStart)
                             return; // a crash is reported by finished()
                         // Qt may report this from inside start(); the caller hears it from the event loop.
                         QTimer::singleShot(0, process, [process, onFinished] {
                             process->deleteLater();
                             onFinished(ProcessResult{});
                         });
                     });
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [process, onFinished](int exitCode, QProcess::ExitStatus status) {
                         ProcessResult result;
                         result.started = true;
                         result.exitCode = status == QProcess::NormalExit ? exitCode : -1;
                         result.output = process->readAllStandardOutput();
                         process->deleteLater();
                         onFinished(result);
                     });
    process->start(call.program, call.arguments);
}

std::function<void(const QString&)>& auditSink()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

std::function<qint64()>& clockFunction()
{
    static std::function<qint64()> clock;
    return clock;
}

std::function<void(int)>& sleeper()
{
    static std::function<void(int)> fn;
    return fn;
}

std::function<qint64()>& openFileLimitHook()
{
    static std::function<qint64()> hook;
    return hook;
}

std::function<QList<InterfaceInfo>()>& interfaceProvider()
{
    static std::function<QList<InterfaceInfo>()> provider;
    return provider;
}

ProcessResult runReal(const ProcessCall& call, int timeoutMs)
{
    ProcessResult result;
    if (call.detached) {
        result.started = QProcess::startDetached(call.program, call.arguments);
        result.exitCode = result.started ? 0 : -1;
        return result;
    }
    QProcess process;
    process.start(call.program, call.arguments);
    if (!process.waitForStarted(timeoutMs))
        return result;
    result.started = true;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        result.exitCode = -1;
    } else {
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    result.output = process.readAllStandardOutput();
    result.errorOutput = process.readAllStandardError();
    return result;
}

QString findBeside(const QString& relativeDir, const QStringList& names)
{
    const QDir dir(relativeDir.isEmpty() ? applicationDir() : besideExecutable(relativeDir));
    for (const QString& name : names) {
        const QFileInfo candidate(dir.filePath(name));
        if (candidate.isFile() && candidate.isExecutable())
            return QDir::toNativeSeparators(candidate.absoluteFilePath());
    }
    return {};
}

QString findOnPath(const QStringList& names)
{
    for (const QString& name : names) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return QDir::toNativeSeparators(found);
    }
    return {};
}

} // namespace

bool startDetached(const QString& program, const QStringList& arguments)
{
    const ProcessCall call{program, arguments, true};
    if (processRunner())
        return processRunner()(call).started;
    return runReal(call, 0).started;
}

ProcessResult execute(const QString& program, const QStringList& arguments, int timeoutMs)
{
    const ProcessCall call{program, arguments, false};
    if (processRunner())
        return processRunner()(call);
    return runReal(call, timeoutMs);
}

void setProcessRunner(ProcessRunner runner)
{
    processRunner() = std::move(runner);
}

ProcessResult runProcess(const ProcessCall& call, int timeoutMs)
{
    return runReal(call, timeoutMs);
}

void startProcess(const QString& program, const QStringList& arguments, QObject* context,
                  ProcessCallback onFinished)
{
    const ProcessCall call{program, arguments, false};
    // The answer never reaches a caller that is gone.
    const QPointer<QObject> guard(context);
    const bool guarded = context != nullptr;
    ProcessCallback deliver = [guard, guarded, onFinished](const ProcessResult& result) {
        if (guarded && !guard)
            return;
        if (onFinished)
            onFinished(result);
    };
    if (asyncProcessRunner() && asyncProcessRunner()(call, deliver))
        return;
    startReal(call, context, deliver);
}

void setAsyncProcessRunner(AsyncProcessRunner runner)
{
    asyncProcessRunner() = std::move(runner);
}

QString auditDescription(const QString& sentence)
{
    QString user = qEnvironmentVariable("USERNAME");
#ifndef Q_OS_WIN
    if (user.isEmpty())
        user = qEnvironmentVariable("USER");
#endif
    return user + QLatin1Char(' ') + sentence;
}

ProcessCall auditCommand(const QString& description)
{
#ifdef Q_OS_WIN
    return {QStringLiteral("eventcreate"),
            {QStringLiteral("/l"), QStringLiteral("application"), QStringLiteral("/t"),
             QStringLiteral("information"), QStringLiteral("/so"), QStringLiteral("RVX"),
             QStringLiteral("/id"), QStringLiteral("1"), QStringLiteral("/d"), description},
            true};
#else
    return {QStringLiteral("logger"), {QStringLiteral("-t"), QStringLiteral("RVX"), description}, true};
#endif
}

void setAuditSink(std::function<void(const QString&)> sink)
{
    auditSink() = std::move(sink);
}

qint64 nowSeconds()
{
    if (clockFunction())
        return clockFunction()();
    return QDateTime::currentMSecsSinceEpoch() / 1000;
}

void setClock(std::function<qint64()> clock)
{
    clockFunction() = std::move(clock);
}

void sleepSeconds(int seconds)
{
    if (sleeper()) {
        sleeper()(seconds);
        return;
    }
    QThread::sleep(static_cast<unsigned long>(seconds));
}

void setSleeper(std::function<void(int)> fn)
{
    sleeper() = std::move(fn);
}

QList<InterfaceInfo> networkInterfaces()
{
    if (interfaceProvider())
        return interfaceProvider()();
    QList<InterfaceInfo> result;
    const auto all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        InterfaceInfo info;
        info.name = iface.name();
        info.up = iface.flags().testFlag(QNetworkInterface::IsUp);
        info.loopback = iface.flags().testFlag(QNetworkInterface::IsLoopBack);
        info.entries = iface.addressEntries();
        result.append(info);
    }
    return result;
}

void setInterfaceProvider(std::function<QList<InterfaceInfo>()> provider)
{
    interfaceProvider() = std::move(provider);
}

QList<QNetworkAddressEntry> usableIPv4Entries()
{
    QList<QNetworkAddressEntry> result;
    const auto interfaces = networkInterfaces();
    for (const InterfaceInfo& iface : interfaces) {
        if (!iface.up || iface.loopback)
            continue;
        for (const QNetworkAddressEntry& entry : iface.entries) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                result.append(entry);
        }
    }
    return result;
}

QString defaultWorkingDir()
{
#ifdef Q_OS_WIN
    const QString programData = QString::fromUtf8(qgetenv("ProgramData"));
    if (programData.isEmpty())
        return QDir::toNativeSeparators(applicationDir());
    return programData + QStringLiteral("\\Orbenium Management Software");
#else
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::toNativeSeparators(base + QStringLiteral("/Orbenium Management Software"));
#endif
}

QString platformName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("windows");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("mac");
#else
    if (QFileInfo::exists(QStringLiteral("/var/lib/dpkg/status")))
        return QStringLiteral("linux_deb");
    if (QFileInfo::exists(QStringLiteral("/var/lib/rpm")) ||
        QFileInfo::exists(QStringLiteral("/usr/bin/rpm")))
        return QStringLiteral("linux_rpm");
    return QStringLiteral("linux_deb");
#endif
}

QString applicationDir()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString besideExecutable(const QString& relativePath)
{
    return QDir(applicationDir()).filePath(relativePath);
}

QString toolPath(Tool tool)
{
    QString found;
    switch (tool) {
    case Tool::SevenZip:
#ifdef Q_OS_WIN
        found = findBeside(QStringLiteral("7zip"), {QStringLiteral("7z.exe")});
        if (found.isEmpty())
            found = findOnPath({QStringLiteral("7z.exe")});
        return found.isEmpty() ? QStringLiteral("7z.exe") : found;
#else
        found = findBeside(QStringLiteral("7zip"), {QStringLiteral("7z"), QStringLiteral("7zz")});
        if (found.isEmpty())
            found = findOnPath({QStringLiteral("7z"), QStringLiteral("7zz"), QStringLiteral("7za")});
        return found.isEmpty() ? QStringLiteral("7z") : found;
#endif
    case Tool::Rsync:
#ifdef Q_OS_WIN
        found = findBeside(QStringLiteral("rsync"), {QStringLiteral("rsync.exe")});
        if (found.isEmpty())
            found = findOnPath({QStringLiteral("rsync.exe")});
        return found.isEmpty() ? QStringLiteral("rsync.exe") : found;
#else
        found = findBeside(QStringLiteral("rsync"), {QStringLiteral("rsync")});
        if (found.isEmpty())
            found = findOnPath({QStringLiteral("rsync")});
        return found.isEmpty() ? QStringLiteral("rsync") : found;
#endif
    case Tool::Putty:
#ifdef Q_OS_WIN
        if (QFileInfo::exists(QStringLiteral("C:\\Program Files\\PuTTY\\putty.exe")))
            return QStringLiteral("C:\\Program Files\\PuTTY\\putty.exe");
        if (QFileInfo::exists(QStringLiteral("C:\\Program Files (x86)\\PuTTY\\putty.exe")))
            return QStringLiteral("C:\\Program Files (x86)\\PuTTY\\putty.exe");
        return QStringLiteral("putty.exe");
#else
        found = findOnPath({QStringLiteral("putty")});
        return found.isEmpty() ? QStringLiteral("putty") : found;
#endif
    case Tool::Wake:
#ifdef Q_OS_WIN
        found = findBeside(QString(), {QStringLiteral("wolcmd.exe")});
        return found.isEmpty() ? QDir::toNativeSeparators(besideExecutable(QStringLiteral("wolcmd.exe")))
                               : found;
#else
        found = findBeside(QString(), {QStringLiteral("wolcmd")});
        if (found.isEmpty())
            found = findOnPath({QStringLiteral("wolcmd")});
        return found.isEmpty() ? besideExecutable(QStringLiteral("wolcmd")) : found;
#endif
    }
    return {};
}

namespace {
QString& rsyncdConfigOverride()
{
    static QString path;
    return path;
}
} // namespace

QString rsyncdConfigPath()
{
    if (!rsyncdConfigOverride().isEmpty())
        return rsyncdConfigOverride();
#ifdef Q_OS_WIN
    QString base = qEnvironmentVariable("ProgramData");
    if (base.isEmpty())
        base = qEnvironmentVariable("ALLUSERSPROFILE") + QStringLiteral("\\Application Data");
    return base + QStringLiteral("\\rsyncd\\rsyncd.conf");
#else
    return QStringLiteral("/etc/rsyncd.conf");
#endif
}

void setRsyncdConfigPath(const QString& path)
{
    rsyncdConfigOverride() = path;
}

QSettings* createSettings(QObject* parent)
{
    auto* settings = new QSettings(QStringLiteral("Orbenium"), QStringLiteral("RVX"), parent);
    protectSettingsFile(settings);
    return settings;
}

void protectSettingsFile(QSettings* settings)
{
#ifdef Q_OS_UNIX
    // The store holds the proxy password as typed. Create its file owner-only before the
    // first write; later rewrites keep the permissions of the existing file.
    if (!settings || settings->format() != QSettings::NativeFormat)
        return;
    const QString path = settings->fileName();
    if (path.isEmpty())
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.exists()) {
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.close();
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#else
    Q_UNUSED(settings)
#endif
}

qint64 raiseOpenFileLimit()
{
    if (openFileLimitHook())
        return openFileLimitHook()();
#ifdef Q_OS_UNIX
    struct rlimit limit
    {
    };
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return -1;
    rlim_t ceiling = limit.rlim_max;
#ifdef Q_OS_MACOS
    // The system refuses a soft limit above OPEN_MAX even when the hard limit is unlimited.
    if (ceiling == RLIM_INFINITY || ceiling > rlim_t(OPEN_MAX))
        ceiling = OPEN_MAX;
#endif
    if (limit.rlim_cur < ceiling) {
        struct rlimit raised = limit;
        raised.rlim_cur = ceiling;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    if (limit.rlim_cur == RLIM_INFINITY)
        return -1;
    return static_cast<qint64>(limit.rlim_cur);
#else
    return -1;
#endif
}

bool setListenBacklog(qintptr descriptor, int backlog)
{
#ifdef Q_OS_UNIX
    // Listening again on a listening socket changes only its queue length.
    return descriptor >= 0 && ::listen(static_cast<int>(descriptor), backlog) == 0;
#else
    Q_UNUSED(descriptor)
    Q_UNUSED(backlog)
    return false;
#endif
}

void setOpenFileLimitHook(std::function<qint64()> hook)
{
    openFileLimitHook() = std::move(hook);
}

} // namespace rvx::platform

void logEvent(const QString& text)
{
    using namespace rvx::platform;
    if (auditSink()) {
        auditSink()(text);
        return;
    }
    const ProcessCall call = auditCommand(auditDescription(text));
    startDetached(call.program, call.arguments);
}

#include "testsupport.h"

#include "certificates.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QMutex>
#include <QNetworkInterface>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace rvx::test {

namespace {

struct Recorded
{
    QStringList audit;
    QList<platform::ProcessCall> calls;
    std::function<platform::ProcessResult(const platform::ProcessCall&)> handler;
    bool real = false;
};

Recorded& recorded()
{
    static Recorded r;
    return r;
}

std::string& privateHome()
{
    static std::string path;
    return path;
}

void removePrivateHome()
{
    if (!privateHome().empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(privateHome(), ignored);
    }
}

void installRecorder()
{
    platform::setProcessRunner([](const platform::ProcessCall& c) {
        recorded().calls.append(c);
        if (recorded().real)
            return platform::runProcess(c);
        if (recorded().handler)
            return recorded().handler(c);
        platform::ProcessResult ok;
        ok.started = true;
        ok.exitCode = 0;
        return ok;
    });
    // Programs started without waiting are recorded in the same list; their outcome arrives
    // from the event loop, as it would from a real program.
    platform::setAsyncProcessRunner(
        [](const platform::ProcessCall& c, const platform::ProcessCallback& done) {
            recorded().calls.append(c);
            if (recorded().real)
                return false;
            platform::ProcessResult result;
            if (recorded().handler) {
                result = recorded().handler(c);
            } else {
                result.started = true;
                result.exitCode = 0;
            }
            QTimer::singleShot(0, QCoreApplication::instance(), [done, result] { done(result); });
            return true;
        });
}

QString& certificateDir()
{
    static QString dir;
    return dir;
}

QTemporaryDir& certificateTempDir()
{
    static QTemporaryDir dir;
    return dir;
}

void ensureCertificate()
{
    if (!certificateDir().isEmpty())
        return;
    QTemporaryDir& dir = certificateTempDir();
    const QString cert = dir.filePath(QStringLiteral("rvx.crt"));
    const QString key = dir.filePath(QStringLiteral("rvx.key"));
    QString error;
    if (!generateSelfSignedCertificate(cert, key, QStringLiteral("RVX test"), &error))
        qFatal("cannot generate the test certificate: %s", qPrintable(error));
    certificateDir() = dir.path();
}

} // namespace

void preparePrivateHome(const char* argv0)
{
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty())
        base = "/tmp";
    QByteArray name = QFileInfo(QString::fromLocal8Bit(argv0)).fileName().toLocal8Bit();
    QByteArray templ = base + "/rvx-home-" + name + "-XXXXXX";
    char* made = mkdtemp(templ.data());
    if (!made) {
        std::fprintf(stderr, "cannot create a private home folder\n");
        std::exit(2);
    }
    privateHome() = made;
    std::atexit(removePrivateHome);
    const QByteArray home = made;
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", home + "/.config");
    qputenv("XDG_DATA_HOME", home + "/.local/share");
    qputenv("XDG_CACHE_HOME", home + "/.cache");
    const QByteArray runtime = home + "/runtime";
    QDir().mkpath(QString::fromLocal8Bit(runtime));
    QFile::setPermissions(QString::fromLocal8Bit(runtime),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

void requirePrivateNetwork()
{
    const QHostAddress net(QStringLiteral("10.77.0.0"));
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (!iface.flags().testFlag(QNetworkInterface::IsUp) ||
            iface.flags().testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const auto entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            if (!entry.ip().isInSubnet(net, 24))
                qFatal("Tests must run inside the private network namespace that scripts/test creates "
                       "(found %s on %s).",
                       qPrintable(entry.ip().toString()), qPrintable(iface.name()));
        }
    }
}

void initEnvironment()
{
    requirePrivateNetwork();
    platform::setAuditSink([](const QString& sentence) { recorded().audit.append(sentence); });
    installRecorder();
    platform::setSleeper([](int) {});
}

QStringList auditSentences()
{
    return recorded().audit;
}

void clearAudit()
{
    recorded().audit.clear();
}

QList<platform::ProcessCall> processCalls()
{
    return recorded().calls;
}

void clearProcessCalls()
{
    recorded().calls.clear();
}

void setProcessHandler(std::function<platform::ProcessResult(const platform::ProcessCall&)> handler)
{
    recorded().handler = std::move(handler);
    recorded().real = false;
}

void runProcessesForReal()
{
    recorded().real = true;
}

FakeClock::FakeClock(qint64 start)
    : m_now(start)
{
    platform::setClock([this] { return m_now; });
}

FakeClock::~FakeClock()
{
    platform::setClock({});
}

TlsSelection::TlsSelection(const QByteArray& value)
    : m_had(qEnvironmentVariableIsSet("RVX_TLS"))
    , m_old(qgetenv("RVX_TLS"))
{
    qputenv("RVX_TLS", value);
}

TlsSelection::~TlsSelection()
{
    if (m_had)
        qputenv("RVX_TLS", m_old);
    else
        qunsetenv("RVX_TLS");
}

void addConnectionTypeRows()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::newRow("qt") << QByteArray("qt");
    QTest::newRow("openssl") << QByteArray("openssl");
}

qint64 residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

quint16 freeTcpPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::Any, 0))
        return 0;
    return server.serverPort();
}

quint16 freeUdpPort()
{
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::Any), 0))
        return 0;
    return socket.localPort();
}

Workspace::Workspace() = default;

QString Workspace::path(const QString& sub) const
{
    return m_dir.path() + QLatin1Char('/') + sub;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

QByteArray readRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeRaw(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(data), qint64(data.size()));
}

void writeServerSettings(QSettings& settings, const QString& root, quint16 sslPort, quint16 udpPort)
{
    settings.setValue(QStringLiteral("rvxWorkingDir"), QDir::toNativeSeparators(root));
    settings.setValue(QStringLiteral("SSLPort"), sslPort);
    settings.setValue(QStringLiteral("UDPPort"), udpPort ? udpPort : freeUdpPort());
    settings.setValue(QStringLiteral("UDPFrequency"), 5);
    settings.setValue(QStringLiteral("discoveryState"), false);
    settings.setValue(QStringLiteral("rvxProxyServerEnabled"), false);
    settings.setValue(QStringLiteral("rvxProxyServerIP"), QString());
    settings.setValue(QStringLiteral("rvxProxyServerPort"), QString());
    settings.setValue(QStringLiteral("rvxProxyServerNeedsCreds"), false);
    settings.setValue(QStringLiteral("rvxProxyServerUsername"), QString());
    settings.setValue(QStringLiteral("rvxProxyServerPassword"), QString());
    settings.setValue(QStringLiteral("updateServer"), QStringLiteral("https://updates.invalid/downloads/"));
    settings.setValue(QStringLiteral("updateFrequency"), QStringLiteral("manual"));
    const struct
    {
        const char* key;
        const char* folder;
    } folders[] = {{"firmwareImageDir", "firmware"}, {"appImageDir", "rvxclient"},
                   {"hotfixDir", "hotfix"},          {"tempDir", "temp"},
                   {"profileDir", "profiles"},       {"databaseDir", "db"},
                   {"deviceFilesDir", "filestore"}};
    for (const auto& f : folders) {
        const QString sub = root + QLatin1Char('/') + QLatin1String(f.folder);
        QDir().mkpath(sub);
        settings.setValue(QLatin1String(f.key), QDir::toNativeSeparators(sub));
    }
    settings.sync();
}

void Workspace::writeSettings(QSettings& settings, quint16 sslPort, quint16 udpPort) const
{
    writeServerSettings(settings, m_dir.path(), sslPort, udpPort);
}

void Workspace::writeSettings(quint16 sslPort, quint16 udpPort) const
{
    QSettings settings(QStringLiteral("Orbenium"), QStringLiteral("RVX"));
    writeSettings(settings, sslPort, udpPort);
}

QString testCertificatePath()
{
    ensureCertificate();
    return certificateDir() + QStringLiteral("/rvx.crt");
}

QString testKeyPath()
{
    ensureCertificate();
    return certificateDir() + QStringLiteral("/rvx.key");
}

bool waitFor(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

QString binaryDir()
{
    return qEnvironmentVariable("RVX_BINARY_DIR");
}

QString builtProgram(const QString& name)
{
    return binaryDir() + QStringLiteral("/bin/") + name;
}

bool mayMountTmpfs()
{
#ifdef Q_OS_UNIX
    return qgetenv("RVX_MOUNT_NAMESPACE") == "1" && ::geteuid() == 0;
#else
    return false;
#endif
}

bool runToEnd(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

qint64 fillFileSystem(const QString& path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return -1;
    const QByteArray chunk(4096, 'x');
    qint64 total = 0;
    while (::write(fd, chunk.constData(), static_cast<size_t>(chunk.size())) == chunk.size())
        total += chunk.size();
    // The last partial block as well.
    while (::write(fd, chunk.constData(), 1) == 1)
        ++total;
    ::close(fd);
    return total;
#else
    Q_UNUSED(path)
    return -1;
#endif
}

} // namespace rvx::test

#include "mirror.h"

#include "testsupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QTextStream>
#include <QThread>

namespace rvx::test {

namespace {

// The certificates of one test process: the trusted authority and the mirror's certificate
// it signed, and another authority with a certificate of its own that nobody trusts.
struct Certificates
{
    QTemporaryDir dir;
    QString error;
    bool made = false;

    QString path(const char* name) const { return dir.filePath(QLatin1String(name)); }
};

bool runOpenssl(const QString& folder, const QStringList& arguments, QString* error)
{
    QProcess openssl;
    openssl.setWorkingDirectory(folder);
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"), arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitStatus() != QProcess::NormalExit ||
        openssl.exitCode() != 0) {
        *error = QStringLiteral("openssl ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                 QString::fromLocal8Bit(openssl.readAll());
        return false;
    }
    return true;
}

// An authority `ca` and a server certificate `server` for 127.0.0.1, 10.77.0.1 and localhost signed by it.
bool makeChain(Certificates& c, const QString& ca, const QString& server, const QString& name)
{
    const QString folder = c.dir.path();
    const QStringList key = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
    QFile ext(folder + QStringLiteral("/server.ext"));
    if (!ext.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1,IP:10.77.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
              "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n");
    ext.close();
    return runOpenssl(folder,
                      QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + key +
                          QStringList{QStringLiteral("-keyout"), ca + QStringLiteral(".key"),
                                      QStringLiteral("-out"), ca + QStringLiteral(".crt"),
                                      QStringLiteral("-days"), QStringLiteral("3"), QStringLiteral("-subj"),
                                      QStringLiteral("/CN=") + name},
                      &c.error) &&
           runOpenssl(folder,
                      QStringList{QStringLiteral("req")} + key +
                          QStringList{QStringLiteral("-keyout"), server + QStringLiteral(".key"),
                                      QStringLiteral("-out"), server + QStringLiteral(".csr"),
                                      QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")},
                      &c.error) &&
           runOpenssl(folder,
                      {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                       server + QStringLiteral(".csr"), QStringLiteral("-CA"), ca + QStringLiteral(".crt"),
                       QStringLiteral("-CAkey"), ca + QStringLiteral(".key"), QStringLiteral("-set_serial"),
                       QStringLiteral("2"), QStringLiteral("-days"), QStringLiteral("3"),
                       QStringLiteral("-extfile"), QStringLiteral("server.ext"), QStringLiteral("-out"),
                       server + QStringLiteral(".crt")},
                      &c.error);
}

Certificates& certificates()
{
    static Certificates c;
    if (!c.made && c.error.isEmpty()) {
        if (!c.dir.isValid())
            c.error = QStringLiteral("no temporary folder for the certificates");
        else if (makeChain(c, QStringLiteral("ca"), QStringLiteral("mirror"),
                           QStringLiteral("RVX test mirror CA")) &&
                 makeChain(c, QStringLiteral("other-ca"), QStringLiteral("untrusted"),
                           QStringLiteral("Nobody's CA")))
            c.made = true;
    }
    return c;
}

bool answers(const QString& host, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    return socket.waitForConnected(200);
}

} // namespace

Mirror::Mirror(const QString& host)
    : m_host(host)
{
}

Mirror::~Mirror()
{
    stop();
}

QString Mirror::filesDir() const
{
    return m_dir.filePath(QStringLiteral("files"));
}

QString Mirror::caCertificatePath()
{
    return certificates().path("ca.crt");
}

void Mirror::trustCertificateAuthority()
{
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.addCaCertificates(QSslCertificate::fromPath(caCertificatePath()));
    QSslConfiguration::setDefaultConfiguration(configuration);
}

QString Mirror::httpUrl(const QString& path) const
{
    return QStringLiteral("http://") + m_host + QLatin1Char(':') + QString::number(m_httpPort) + path;
}

QString Mirror::httpsUrl(const QString& path) const
{
    return QStringLiteral("https://") + m_host + QLatin1Char(':') + QString::number(m_httpsPort) + path;
}

QString Mirror::untrustedUrl(const QString& path) const
{
    return QStringLiteral("https://") + m_host + QLatin1Char(':') + QString::number(m_untrustedPort) + path;
}

QByteArray Mirror::addFile(const QString& name, qint64 size)
{
    QByteArray data(static_cast<int>(size), Qt::Uninitialized);
    QRandomGenerator random(qHash(name));
    for (char& c : data)
        c = static_cast<char>(random.bounded(256));
    addFile(name, data);
    return data;
}

void Mirror::addFile(const QString& name, const QByteArray& data)
{
    writeRaw(filesDir() + QLatin1Char('/') + name, data);
}

bool Mirror::writeConfiguration() const
{
    const QString root = m_dir.path();
    const QString files = filesDir();
    const Certificates& c = certificates();
    QFile file(root + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    const QString locations = QStringLiteral(R"(
    root %1;
    location /downloads/ { alias %1/; }
    location /slow/ { alias %1/; limit_rate %2; }
    location /norange/ { alias %1/; max_ranges 0; }
    location /chunked/ { alias %1/; gzip on; gzip_types *; gzip_min_length 0; }
    location = /mirror/ { try_files /$arg_file =404; }
    location /redirect/ { rewrite ^/redirect/(.*)$ /mirror/?file=$1? redirect; }
    location /relative/ { absolute_redirect off; rewrite ^/relative/(.*)$ /mirror/?file=$1? redirect; }
    location /invalid/ { return 302 /elsewhere/; }
    location /loop/ { rewrite ^ /loop/?file=? redirect; }
    location /scheme/ { return 302 ftp://%4/pub/?file=; }
    location /downgrade/ { return 302 http://%4:%3/mirror/?file=; }
    location /closed/ { return 444; }
)")
                                  .arg(files)
                                  .arg(SlowRate)
                                  .arg(m_httpPort)
                                  .arg(m_host);
    out << "daemon off;\nmaster_process off;\nworker_processes 1;\n"
        << "pid " << root << "/nginx.pid;\n"
        << "error_log " << root << "/error.log info;\n"
        << "events { worker_connections 128; }\n"
        << "http {\n"
        << "  default_type application/octet-stream;\n"
        << "  log_format rvx \"$request_method\\t$request_uri\\t$http_range\\t$http_cache_control\\t$http_via"
           "\\t$status\\t$body_bytes_sent\";\n"
        << "  access_log " << root << "/access.log rvx;\n";
    for (const char* temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        out << "  " << temp << "_temp_path " << root << "/temp/" << temp << ";\n";
    out << "  server {\n"
        << "    listen " << m_host << ':' << m_httpPort << ";\n"
        << "    listen " << m_host << ':' << m_httpsPort << " ssl;\n"
        << "    ssl_certificate " << c.path("mirror.crt") << ";\n"
        << "    ssl_certificate_key " << c.path("mirror.key") << ";\n"
        << locations << "  }\n"
        << "  server {\n"
        << "    listen " << m_host << ':' << m_untrustedPort << " ssl;\n"
        << "    ssl_certificate " << c.path("untrusted.crt") << ";\n"
        << "    ssl_certificate_key " << c.path("untrusted.key") << ";\n"
        << locations << "  }\n"
        << "}\n";
    return out.status() == QTextStream::Ok;
}

bool Mirror::start()
{
    if (isRunning())
        return true;
    m_error.clear();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the mirror");
        return false;
    }
    if (!certificates().made) {
        m_error = certificates().error;
        return false;
    }
    QDir().mkpath(filesDir());
    QDir().mkpath(m_dir.filePath(QStringLiteral("temp")));
    // Free ports can be taken between the look-up and nginx's bind: a few tries.
    const bool samePorts = m_httpPort != 0;
    for (int attempt = 0; attempt < (samePorts ? 1 : 3); ++attempt) {
        if (!samePorts) {
            m_httpPort = freeTcpPort();
            m_httpsPort = freeTcpPort();
            m_untrustedPort = freeTcpPort();
            if (m_httpPort == m_httpsPort || m_httpsPort == m_untrustedPort || m_httpPort == m_untrustedPort)
                continue;
        }
        if (launch())
            return true;
    }
    return false;
}

bool Mirror::launch()
{
    if (!writeConfiguration()) {
        m_error = QStringLiteral("cannot write the nginx configuration");
        return false;
    }
    const QString root = m_dir.path();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QStringLiteral("nginx"),
                     {QStringLiteral("-p"), root, QStringLiteral("-c"), root + QStringLiteral("/nginx.conf"),
                      QStringLiteral("-e"), root + QStringLiteral("/error.log")});
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("nginx does not start: ") + m_process->errorString();
        m_process.reset();
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running)
            break;
        if (answers(m_host, m_httpPort) && answers(m_host, m_httpsPort) && answers(m_host, m_untrustedPort))
            return true;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("nginx did not come up: ") + QString::fromLocal8Bit(m_process->readAll()) +
              QString::fromLocal8Bit(readRaw(root + QStringLiteral("/error.log")));
    stop();
    return false;
}

void Mirror::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate(); // SIGTERM to nginx's own process id
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

bool Mirror::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QList<Mirror::Request> Mirror::requests() const
{
    QList<Request> list;
    QFile log(m_dir.filePath(QStringLiteral("access.log")));
    if (!log.open(QIODevice::ReadOnly))
        return list;
    const auto field = [](const QByteArray& f) { return f == "-" ? QString() : QString::fromLatin1(f); };
    const QList<QByteArray> lines = log.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> f = line.split('\t');
        if (f.size() != 7)
            continue;
        Request r;
        r.method = field(f[0]);
        r.target = field(f[1]);
        r.range = field(f[2]);
        r.cacheControl = field(f[3]);
        r.via = field(f[4]);
        r.status = f[5].toInt();
        r.bytesSent = f[6].toLongLong();
        list.append(r);
    }
    return list;
}

void Mirror::clearRequests()
{
    // nginx appends to the log: emptying it in place is enough.
    QFile log(m_dir.filePath(QStringLiteral("access.log")));
    if (log.exists())
        log.resize(0);
}

} // namespace rvx::test

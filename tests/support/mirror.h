#pragma once

// The update mirror of the tests: Debian's nginx, started by the test on loopback with its
// own configuration, pid file, logs and temporary paths in a temporary folder (one process:
// "daemon off; master_process off;"), and stopped by its process id.
//
// It listens on three ports of its host address (127.0.0.1 unless another is given, such as
// the namespace's own 10.77.0.1, which the application proxy does not skip as it skips
// loopback): plain HTTP, HTTPS with a certificate of a test certificate
// authority that trustCertificateAuthority() makes this process trust, and HTTPS with a
// certificate of another authority nobody trusts. Each serves the files of filesDir() below
// these paths:
//
//   /downloads/NAME   the file, with byte ranges (416 from the end of the file on)
//   /slow/NAME        the same at SlowRate bytes a second
//   /norange/NAME     the whole file with 200, whatever Range asks for
//   /chunked/NAME     compressed on the fly: chunked, no length, ranges ignored
//   /mirror/?file=NAME  the file, with byte ranges (the target of the redirects)
//   /redirect/NAME    302 with a body, Location http(s)://host:port/mirror/?file=NAME
//   /relative/NAME    the same with the relative Location /mirror/?file=NAME
//   /invalid/NAME     302 to a URL without "?file="
//   /loop/NAME        302 to /loop/?file=, which redirects to itself for ever
//   /scheme/NAME      302 to ftp://127.0.0.1/pub/?file=
//   /downgrade/NAME   302 to the plain HTTP port's /mirror/?file=
//   /closed/NAME      closes the connection without an answer
// Anything else answers 404.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace rvx::test {

class Mirror
{
public:
    static constexpr int SlowRate = 512 * 1024;

    // One request as the mirror logged it (when its answer ended).
    struct Request
    {
        QString method;
        QString target;       // path and query as asked
        QString range;        // the Range header, empty when absent
        QString cacheControl; // the Cache-Control header
        QString via;          // the Via header (set by a proxy)
        int status = 0;
        qint64 bytesSent = 0; // body bytes sent
    };

    explicit Mirror(const QString& host = QStringLiteral("127.0.0.1"));
    ~Mirror();
    Mirror(const Mirror&) = delete;
    Mirror& operator=(const Mirror&) = delete;

    // Starts nginx (again on the same ports after stop()); false with error() on failure.
    bool start();
    // Stops nginx: SIGTERM to its process id, which also drops the connections it serves.
    void stop();
    bool isRunning() const;
    QString error() const { return m_error; }

    // "http://<host>:<port>" + path, and the same for the two HTTPS ports.
    QString httpUrl(const QString& path = QString()) const;
    QString httpsUrl(const QString& path = QString()) const;
    QString untrustedUrl(const QString& path = QString()) const;
    quint16 httpPort() const { return m_httpPort; }

    QString filesDir() const;
    // Puts a file on the mirror; the first form fills it with `size` pseudo-random bytes
    // (the same for the same name) and returns them.
    QByteArray addFile(const QString& name, qint64 size);
    void addFile(const QString& name, const QByteArray& data);

    // The test authority's certificate (PEM), and trusting it in this process.
    static QString caCertificatePath();
    static void trustCertificateAuthority();

    // The requests logged so far, oldest first, and forgetting them.
    QList<Request> requests() const;
    void clearRequests();

private:
    bool writeConfiguration() const;
    bool launch();

    QString m_host;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_httpPort = 0;
    quint16 m_httpsPort = 0;
    quint16 m_untrustedPort = 0;
    QString m_error;
};

} // namespace rvx::test

#pragma once

// A web proxy for the tests: Debian's tinyproxy, started by the test on loopback with its
// own configuration, pid file and log in a temporary folder (in the foreground), and stopped
// by its process id. It forwards plain HTTP requests (adding a Via header) and tunnels HTTPS
// with CONNECT to any port; with a user name it demands Basic authentication.

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace rvx::test {

class HttpProxy
{
public:
    // A proxy that demands these credentials when `user` is not empty.
    explicit HttpProxy(const QString& user = QString(), const QString& password = QString());
    ~HttpProxy();
    HttpProxy(const HttpProxy&) = delete;
    HttpProxy& operator=(const HttpProxy&) = delete;

    bool start(); // false with error() on failure
    void stop();
    QString error() const { return m_error; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }

    // The requests the proxy received, as it logged them: "GET http://127.0.0.1:8080/x HTTP/1.1",
    // "CONNECT 127.0.0.1:8443 HTTP/1.1".
    QStringList requests() const;

private:
    bool launch();

    QString m_user;
    QString m_password;
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_error;
};

} // namespace rvx::test

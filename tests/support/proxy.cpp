#include "proxy.h"

#include "testsupport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QThread>

namespace rvx::test {

HttpProxy::HttpProxy(const QString& user, const QString& password)
    : m_user(user)
    , m_password(password)
{
}

HttpProxy::~HttpProxy()
{
    stop();
}

bool HttpProxy::start()
{
    m_error.clear();
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the proxy");
        return false;
    }
    // A free port can be taken between the look-up and tinyproxy's bind: a few tries.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freeTcpPort();
        if (launch())
            return true;
    }
    return false;
}

bool HttpProxy::launch()
{
    const QString root = m_dir.path();
    QFile conf(root + QStringLiteral("/tinyproxy.conf"));
    if (!conf.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_error = QStringLiteral("cannot write the tinyproxy configuration");
        return false;
    }
    QByteArray text = "Port " + QByteArray::number(m_port) +
                      "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\nLogLevel Connect\n"
                      "PidFile \"" +
                      root.toLocal8Bit() +
                      "/tinyproxy.pid\"\n"
                      "LogFile \"" +
                      root.toLocal8Bit() + "/tinyproxy.log\"\n";
    if (!m_user.isEmpty())
        text += "BasicAuth " + m_user.toLocal8Bit() + ' ' + m_password.toLocal8Bit() + '\n';
    conf.write(text);
    conf.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->start(QStringLiteral("tinyproxy"),
                     {QStringLiteral("-d"), QStringLiteral("-c"), conf.fileName()});
    if (!m_process->waitForStarted(10000)) {
        m_error = QStringLiteral("tinyproxy does not start: ") + m_process->errorString();
        m_process.reset();
        return false;
    }
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(host(), m_port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("tinyproxy did not come up: ") + QString::fromLocal8Bit(m_process->readAll()) +
              QString::fromLocal8Bit(readRaw(root + QStringLiteral("/tinyproxy.log")));
    stop();
    return false;
}

void HttpProxy::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate(); // SIGTERM to tinyproxy's own process id
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

QStringList HttpProxy::requests() const
{
    QStringList list;
    static const QRegularExpression request(QStringLiteral(R"(Request \(file descriptor \d+\): (.*)$)"));
    const QString log = QString::fromLocal8Bit(readRaw(m_dir.filePath(QStringLiteral("tinyproxy.log"))));
    const QStringList lines = log.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QRegularExpressionMatch m = request.match(line);
        if (m.hasMatch())
            list << m.captured(1).trimmed();
    }
    return list;
}

} // namespace rvx::test

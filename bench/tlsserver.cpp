// tlsserver: the agent transport alone, for comparing connection types (bench_fleet starts
// it with --only transport; it is not a test).
//
//   tlsserver --port P --cert C --key K --tls qt|openssl
//
// It accepts agents over TLS and does what the agent server does on the wire up to and
// including identification: the greeting is checked and answered with the server's proof
// and the welcome message, frames are read with the server's reader, a configuration
// message is parsed, an echo request is answered, keep-alives are taken. No records,
// files or window: what is left is the cost of the connections themselves.
//   qt       a QSslSocket per connection, configured as the agent server configures it
//   openssl  a TlsConnection per connection, all sharing one TlsContext
// Lines on standard output: "ready", and the answer to "stats" on standard input (CPU time,
// RSS, live heap, connections, the worst lateness of a 10 ms timer since "mark"). Other
// commands: mark, trim (return freed memory to the system), quit.

#include "configlib.h"
#include "framereader.h"
#include "handshake.h"
#include "messages.h"
#include "platform.h"
#include "processfigures.h"
#include "testsupport.h"
#include "tlsconnection.h"
#include "wire.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

#include <cstdio>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

using rvx::bench::cpuSeconds;
using rvx::bench::statusKb;

namespace {

constexpr qint64 ReadBufferSize = 256 * 1024;
constexpr int HandshakeTimeoutMs = 30000;

long long heapKb()
{
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long long>((info.uordblks + info.hblkhd) / 1024);
}

// One connection of either type: its reader and where it stands.
template <typename Socket>
struct Connection
{
    Socket* socket;
    FrameReader reader;
    bool authenticated = false;
};

class Server : public QTcpServer
{
public:
    Server(bool ours, QSslConfiguration qtTls, std::shared_ptr<TlsContext> context)
        : m_ours(ours)
        , m_qtTls(std::move(qtTls))
        , m_context(std::move(context))
    {
    }

    int connections = 0;
    int identified = 0;
    int refused = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_ours) {
            auto* socket = new TlsConnection(descriptor, m_context, this);
            if (socket->state() != QAbstractSocket::ConnectedState) {
                delete socket;
                return;
            }
            socket->setReadBufferSize(ReadBufferSize);
            serve(socket);
        } else {
            auto* socket = new QSslSocket(this);
            if (!socket->setSocketDescriptor(descriptor, QAbstractSocket::ConnectedState,
                                             QIODevice::ReadWrite)) {
                delete socket;
                return;
            }
            socket->setReadBufferSize(ReadBufferSize);
            socket->setSslConfiguration(m_qtTls);
            serve(socket);
            socket->startServerEncryption();
        }
    }

private:
    template <typename Socket>
    void serve(Socket* socket)
    {
        ++connections;
        auto c = std::make_shared<Connection<Socket>>();
        c->socket = socket;
        QObject::connect(socket, &Socket::readyRead, socket, [this, c]() { read(*c); });
        QObject::connect(socket, &Socket::disconnected, socket, [this, c]() {
            if (c->authenticated)
                --identified;
            --connections;
            c->socket->deleteLater();
        });
        QPointer<Socket> guard(socket);
        QTimer::singleShot(HandshakeTimeoutMs, socket, [c, guard]() {
            if (guard && !c->authenticated)
                guard->abort();
        });
    }

    template <typename Socket>
    void read(Connection<Socket>& c)
    {
        Socket* socket = c.socket;
        for (;;) {
            if (!c.authenticated) {
                if (socket->bytesAvailable() < handshake::GreetingSize)
                    return;
                const std::optional<QByteArray> id =
                    handshake::checkGreeting(socket->read(handshake::GreetingSize));
                if (!id) {
                    ++refused;
                    socket->close();
                    return;
                }
                c.authenticated = true;
                ++identified;
                const qint64 now = QDateTime::currentSecsSinceEpoch();
                socket->write(handshake::serverProof(*id));
                socket->write(handshake::welcomeMessage(QDate::currentDate(), quint32(now),
                                                        QByteArrayLiteral("9.9.9")));
                continue;
            }
            switch (c.reader.step(socket, false)) {
            case FrameReader::Result::NeedMore:
                return;
            case FrameReader::Result::KeepAlive:
                continue;
            case FrameReader::Result::Error:
                socket->close();
                return;
            case FrameReader::Result::Message: {
                const quint8 type = c.reader.type();
                const QByteArray frame = c.reader.takeFrame();
                if (type == quint8(msg::Type::Echo))
                    socket->write(wire::shortFrame(msg::Type::Echo));
                else if (type == quint8(msg::Type::Configuration))
                    (void)config_message_parse(frame);
                continue;
            }
            }
        }
    }

    bool m_ours;
    QSslConfiguration m_qtTls;
    std::shared_ptr<TlsContext> m_context;
};

class Control : public QObject
{
public:
    explicit Control(Server* server)
        : m_server(server)
        , m_input(new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this))
    {
        m_clock.start();
        connect(m_input, &QSocketNotifier::activated, this, [this]() { onInput(); });
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this]() {
            const qint64 now = m_clock.elapsed();
            m_worst = qMax(m_worst, now - m_last - 10);
            m_last = now;
        });
        mark();
        m_timer.start();
    }

private:
    void mark()
    {
        m_last = m_clock.elapsed();
        m_worst = 0;
        m_markCpu = cpuSeconds();
    }

    void onInput()
    {
        const bool open = rvx::bench::readCommands(m_pending, [this](const QByteArray& command) {
            if (command == "mark") {
                mark();
                std::printf("marked\n");
            } else if (command == "trim") {
                malloc_trim(0);
                std::printf("trimmed\n");
            } else if (command == "stats") {
                std::printf("stats cpu_s=%.3f cpu_total_s=%.3f lateness_max_ms=%lld rss_kb=%ld heap_kb=%lld "
                            "connections=%d identified=%d refused=%d\n",
                            cpuSeconds() - m_markCpu, cpuSeconds(), static_cast<long long>(m_worst),
                            statusKb("VmRSS"), heapKb(), m_server->connections, m_server->identified,
                            m_server->refused);
            } else if (command == "probe off") {
                m_timer.stop();
                std::printf("probe off\n");
            } else if (command == "quit") {
                QCoreApplication::quit();
            }
            std::fflush(stdout);
        });
        if (!open) {
            m_input->setEnabled(false);
            QCoreApplication::quit();
        }
    }

    Server* m_server;
    QSocketNotifier* m_input;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_worst = 0;
    double m_markCpu = 0;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char** argv)
{
    rvx::test::preparePrivateHome(argv[0]);
    QCoreApplication app(argc, argv);
    rvx::test::requirePrivateNetwork();

    QCommandLineParser parser;
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Port."), QStringLiteral("p"));
    const QCommandLineOption certOption(QStringLiteral("cert"), QStringLiteral("PEM certificate."),
                                        QStringLiteral("file"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("PEM key."),
                                       QStringLiteral("file"));
    const QCommandLineOption tlsOption(QStringLiteral("tls"), QStringLiteral("qt or openssl."),
                                       QStringLiteral("type"), QStringLiteral("qt"));
    parser.addOptions({portOption, certOption, keyOption, tlsOption});
    parser.process(app);

    const bool ours = parser.value(tlsOption) == QLatin1String("openssl");
    QSslConfiguration qtTls = QSslConfiguration::defaultConfiguration();
    std::shared_ptr<TlsContext> context;
    if (ours) {
        QString error;
        context = TlsContext::load(parser.value(certOption), parser.value(keyOption), &error);
        if (!context) {
            std::fprintf(stderr, "tlsserver: %s\n", qPrintable(error));
            return 1;
        }
    } else {
        // As the agent server configures its sockets.
        qtTls.setProtocol(QSsl::TlsV1_2OrLater);
        qtTls.setPeerVerifyMode(QSslSocket::VerifyNone);
        const QList<QSslCertificate> chain = QSslCertificate::fromPath(parser.value(certOption), QSsl::Pem);
        if (!chain.isEmpty())
            qtTls.setLocalCertificate(chain.first());
        QFile keyFile(parser.value(keyOption));
        keyFile.open(QIODevice::ReadOnly);
        qtTls.setPrivateKey(QSslKey(keyFile.readAll(), QSsl::Rsa, QSsl::Pem, QSsl::PrivateKey));
    }

    Server server(ours, qtTls, context);
    server.setMaxPendingConnections(1 << 20);
    if (!server.listen(QHostAddress::Any, quint16(parser.value(portOption).toUInt()))) {
        std::fprintf(stderr, "tlsserver: cannot listen\n");
        return 1;
    }
    rvx::platform::setListenBacklog(server.socketDescriptor(), 511);
    Control control(&server);
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

// bench_install: how fast one file installed on many devices streams, and what it costs in
// memory. The real agent server streams a sparse file (the install-file message: its head,
// then the body read in pieces as each connection drains) to simulated agents over TLS on
// loopback, all in this process, while one more agent is asked for echoes. Prints the time,
// the throughput per device and in all, the echo round trips during the stream, and the
// growth of resident memory.
//
//   bench_install [--agents N] [--gib G]       (defaults: 2 agents, 3 GiB)

#include "sending.h"
#include "simagent.h"
#include "sslserver.h"
#include "testsupport.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

int argument(const QStringList& args, const QString& name, int fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1).toInt() : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    rvx::test::preparePrivateHome(argv[0]);
    QCoreApplication app(argc, argv);
    rvx::test::initEnvironment();
    const QStringList args = app.arguments();
    const int agents = qMax(1, argument(args, "--agents", 2));
    const qint64 size = qint64(qMax(1, argument(args, "--gib", 3))) * 1024 * 1024 * 1024;

    rvx::test::Workspace ws;
    QSettings settings(ws.path("settings.ini"), QSettings::IniFormat);
    ws.writeSettings(settings, 0, 9);
    SSLServer server(nullptr, &settings);
    if (!server.listenForAgents(0, rvx::test::testCertificatePath(), rvx::test::testKeyPath()))
        return 1;
    std::vector<std::unique_ptr<SimAgent>> sims;
    for (int i = 0; i <= agents; ++i) {
        auto sim = std::make_unique<SimAgent>();
        sim->setIdentifier(QStringLiteral("00:11:22:33:66:%1").arg(i, 2, 16, QLatin1Char('0')).toLatin1());
        if (!sim->handshake(server.serverPort()))
            return 1;
        sim->identify(SimAgent::deviceBlock(QStringLiteral("BI-%1").arg(i)));
        if (!sim->echo())
            return 1;
        sim->setStreamedBodies(1024);
        sim->clearFrames();
        sims.push_back(std::move(sim));
    }
    const QString path = ws.path("temp/image.bin");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            return 1;
    }
    QByteArray inner(1, char(4));
    inner += wire::lpString("image.bin");
    wire::appendU32(inner, static_cast<quint32>(size));
    const QByteArray head =
        wire::frameHeader(msg::Type::InstallFile, 1, static_cast<quint32>(inner.size() + size)) + inner;

    const qint64 before = rvx::test::residentKiB();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < agents; ++i)
        writeFrameWithFile(server.findBySerial(QStringLiteral("BI-%1").arg(i)), head, path, 0, size);
    SimAgent* bystander = sims.back().get();
    qint64 peak = before;
    QList<qint64> echoes;
    auto done = [&] {
        return std::all_of(sims.begin(), sims.end() - 1, [](const std::unique_ptr<SimAgent>& s) {
            return s->streamedSoFar() < 0 && s->frameCount() > 0;
        });
    };
    while (!done()) {
        QElapsedTimer echo;
        echo.start();
        if (!bystander->echo(60000))
            return 1;
        echoes << echo.elapsed();
        peak = qMax(peak, rvx::test::residentKiB());
    }
    const double seconds = clock.elapsed() / 1000.0;
    std::sort(echoes.begin(), echoes.end());
    if (echoes.isEmpty())
        echoes << 0;
    const double perDevice = size / 1048576.0 / seconds;
    std::printf("agents %d, file %.1f GiB: %.1f s, %.0f MiB/s per device, %.0f MiB/s in all\n", agents,
                size / 1073741824.0, seconds, perDevice, perDevice * agents);
    std::printf("echoes during the stream: %lld, median %lld ms, worst %lld ms\n",
                static_cast<long long>(echoes.size()), static_cast<long long>(echoes.at(echoes.size() / 2)),
                static_cast<long long>(echoes.last()));
    std::printf("resident memory: %lld KiB before, %lld KiB at the peak (+%lld KiB)\n",
                static_cast<long long>(before), static_cast<long long>(peak),
                static_cast<long long>(peak - before));
    return 0;
}

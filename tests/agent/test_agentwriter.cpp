// The per-connection writer over real TLS: a file body streamed behind its header in
// pieces as the connection drains, frames queued behind a body, a body that cannot be sent
// as announced, and a multi-gigabyte body to two agents at once with the server's memory
// bounded while a third agent keeps being answered.

#include "agentwriter.h"
#include "sanitizer.h"
#include "sending.h"
#include "serverfixture.h"
#include "testmain.h"
#include "wire.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSslSocket>

using rvx::test::residentKiB;
using rvx::test::waitFor;

namespace {

// The head of an install-file message for a body of `size` bytes: kind, name, size.
QByteArray installHead(const QByteArray& name, qint64 size)
{
    QByteArray inner(1, char(4));
    inner += wire::lpString(name);
    wire::appendU32(inner, static_cast<quint32>(size));
    return wire::frameHeader(msg::Type::InstallFile, 1, static_cast<quint32>(inner.size() + size)) + inner;
}

QByteArray randomBytes(int size)
{
    QByteArray out(size, Qt::Uninitialized);
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32*>(out.data()), size / 4);
    return out;
}

// A sparse file of `size` bytes with short marks at the given offsets.
bool makeSparseFile(const QString& path, qint64 size, const QList<qint64>& marks)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(size))
        return false;
    for (qint64 at : marks) {
        if (!f.seek(at) || f.write("MARK" + QByteArray::number(at)) <= 0)
            return false;
    }
    return true;
}

} // namespace

class TestAgentWriter : public QObject
{
    Q_OBJECT

private slots:
    void bodyThenQueuedFrames();
    void droppedAgentDoesNotStallOthers();
    void fileChangingSizeClosesTheConnection();
    void unreadableBodySendsNothing();
    void gigabytesToTwoAgentsWithBoundedMemory();
};

void TestAgentWriter::bodyThenQueuedFrames()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("WR-1");
    QVERIFY(agent);
    agent->clearFrames();
    const QString path = f.ws.path("temp/body.bin");
    const QByteArray body = randomBytes(4 * 1024 * 1024);
    rvx::test::writeRaw(path, body);
    ThinclientInfo* record = f.server->findBySerial("WR-1");
    const QByteArray head = installHead("body.bin", body.size());
    QVERIFY(writeFrameWithFile(record, head, path, 0, body.size()));
    // Frames written while the body streams come after it, whole.
    QVERIFY(sendConfiguration(record, "brd_hostname=after\n", msg::Type::Hostname));
    QVERIFY(writeFrame(record, wire::shortFrame(msg::Refresh)));
    QVERIFY(agent->waitForFrames(3, 30000));
    const QList<SimAgent::Frame> frames = agent->frames();
    QCOMPARE(frames.at(0).raw, head + body);
    QCOMPARE(frames.at(1).raw, configurationFrame(record, "brd_hostname=after\n", 28));
    QCOMPARE(frames.at(2).raw, wire::shortFrame(5));
    // The socket never held much more than its budget.
    AgentWriter* writer = AgentWriter::of(record->socket);
    QVERIFY(writer->idle());
    QVERIFY2(writer->peakSocketBytes() <= AgentWriter::SocketBudget + AgentWriter::PieceSize,
             qPrintable(QString::number(writer->peakSocketBytes())));
}

void TestAgentWriter::droppedAgentDoesNotStallOthers()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto staying = f.identified("WR-2", "8.4.0", "00:11:22:33:44:02");
    auto leaving = f.identified("WR-3", "8.4.0", "00:11:22:33:44:03");
    QVERIFY(staying && leaving);
    staying->setStreamedBodies(1024);
    leaving->setStreamedBodies(1024);
    const qint64 size = 256ll * 1024 * 1024;
    const QString path = f.ws.path("temp/big.bin");
    QVERIFY(makeSparseFile(path, size, {0, size - 16}));
    const QByteArray head = installHead("big.bin", size);
    for (const char* serial : {"WR-2", "WR-3"})
        QVERIFY(writeFrameWithFile(f.server->findBySerial(serial), head, path, 0, size));
    // One agent goes away in the middle of its body.
    QVERIFY(waitFor([&] { return leaving->streamedSoFar() > 8 * 1024 * 1024; }, 30000));
    leaving->abort();
    const int from = staying->frameCount();
    QVERIFY(staying->waitForFrames(from + 1, 120000));
    QCOMPARE(staying->frames().last().streamedLength, size + (head.size() - 6));
    QVERIFY(waitFor([&] { return !f.server->findBySerial("WR-3")->isOnline(); }));
    // The agent that stayed is still served.
    QVERIFY(staying->echo());
}

void TestAgentWriter::fileChangingSizeClosesTheConnection()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("WR-4");
    QVERIFY(agent);
    agent->setStreamedBodies(1024);
    const qint64 size = 512ll * 1024 * 1024;
    const QString path = f.ws.path("temp/changing.bin");
    QVERIFY(makeSparseFile(path, size, {}));
    ThinclientInfo* record = f.server->findBySerial("WR-4");
    QString failed;
    QObject::connect(AgentWriter::of(record->socket), &AgentWriter::streamFailed,
                     [&failed](const QString& p) { failed = p; });
    QVERIFY(writeFrameWithFile(record, installHead("changing.bin", size), path, 0, size));
    QVERIFY(waitFor([&] { return agent->streamedSoFar() > 1024 * 1024; }, 30000));
    // The header announced the size the file had; the agent cannot get it any more.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.resize(size / 2));
    QVERIFY(agent->waitForDisconnected(30000));
    QCOMPARE(failed, path);
    QVERIFY(waitFor([&] { return !record->isOnline(); }));
}

void TestAgentWriter::unreadableBodySendsNothing()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto agent = f.identified("WR-5");
    QVERIFY(agent);
    agent->clearFrames();
    ThinclientInfo* record = f.server->findBySerial("WR-5");
    const QString path = f.ws.path("temp/short.bin");
    rvx::test::writeRaw(path, "short");
    // A file shorter than announced, and one that is missing: not even the head goes.
    QVERIFY(!writeFrameWithFile(record, installHead("short.bin", 100), path, 0, 100));
    QVERIFY(!writeFrameWithFile(record, installHead("gone.bin", 5), f.ws.path("temp/gone.bin"), 0, 5));
    QVERIFY(agent->echo());
    QCOMPARE(agent->frameCount(), 1); // the echo alone
    QVERIFY(record->isOnline());
}

void TestAgentWriter::gigabytesToTwoAgentsWithBoundedMemory()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto first = f.identified("GB-1", "8.4.0", "00:11:22:33:55:01");
    auto second = f.identified("GB-2", "8.4.0", "00:11:22:33:55:02");
    auto bystander = f.identified("GB-3", "8.4.0", "00:11:22:33:55:03");
    QVERIFY(first && second && bystander);
    first->setStreamedBodies(1024);
    second->setStreamedBodies(1024);

    const qint64 size = 3ll * 1024 * 1024 * 1024; // past every 32-bit signed boundary
    const QList<qint64> marks = {0, 1 << 20, 0x7FFFFFF0ll, 0x80000000ll, size - 64, size - 16};
    const QString path = f.ws.path("temp/image.bin");
    QVERIFY(makeSparseFile(path, size, marks));
    const QByteArray head = installHead("image.bin", size);
    const qint64 before = residentKiB();
    for (const char* serial : {"GB-1", "GB-2"})
        QVERIFY(writeFrameWithFile(f.server->findBySerial(serial), head, path, 0, size));

    // While both bodies stream, the third agent keeps getting answers, and memory stays
    // where it was.
    const int firstFrames = first->frameCount();
    const int secondFrames = second->frameCount();
    qint64 peak = before;
    int echoes = 0;
    QElapsedTimer clock;
    clock.start();
    while ((first->frameCount() == firstFrames || second->frameCount() == secondFrames) &&
           clock.elapsed() < 540000) {
        QVERIFY(bystander->echo(30000));
        ++echoes;
        peak = qMax(peak, residentKiB());
    }
    QCOMPARE(first->frameCount(), firstFrames + 1);
    QCOMPARE(second->frameCount(), secondFrames + 1);
    QVERIFY2(echoes > 10, qPrintable(QString::number(echoes)));
#ifndef RVX_TEST_ASAN
    QVERIFY2(peak - before < 64 * 1024, qPrintable(QStringLiteral("grew by %1 KiB").arg(peak - before)));
#endif

    // Both received every byte, the marks where they belong.
    const qint64 inner = head.size() - 6; // kind, name and size before the body
    for (SimAgent* agent : {first.get(), second.get()}) {
        const SimAgent::Frame body = agent->frames().last();
        QCOMPARE(body.streamedLength, inner + size);
        QList<qint64> found;
        for (const auto& run : body.nonZeroRuns) {
            if (run.first >= inner)
                found << run.first - inner;
        }
        QCOMPARE(found, marks);
        QCOMPARE(body.nonZeroRuns.last().second, QByteArray("MARK" + QByteArray::number(size - 16)));
    }
}

RVX_TEST_MAIN(TestAgentWriter)
#include "test_agentwriter.moc"

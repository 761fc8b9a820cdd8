// The real program killed with SIGKILL at random moments while simulated agents arrive (new
// devices adopted into the departments file, device blocks and configuration texts stored)
// and known devices report new configurations. After every kill the stored files are checked
// (each one whole and either an old or a new content; everything the server had confirmed
// is there), then a window is started on the same working folder and must list every stored
// device without a message box; closing it brings the files up to date for the next round.
// A companion (killwriter) killed at the same moments writes profiles, the whitelist and the
// rsync configuration with the functions the dialogs use, and downloads a file from a real
// nginx mirror with the download manager, resuming its ".part" file in the next round: each
// of those files is a whole generation no older than the last one confirmed, and the ".part"
// file is always the beginning of the file.
//
// RVX_KILL_LOOPS sets the number of rounds (20 by default); RVX_KILL_SEED the random seed.

#include "windowfixture.h"

#include "killwrites.h"

#include "configlib.h"
#include "departments.h"
#include "downloadmanager.h"
#include "mirror.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTcpSocket>

#include <map>
#include <set>

using rvx::Ask;
using namespace rvx::test;

namespace {

struct Stored
{
    QByteArray block;
    QList<QByteArray> texts; // every configuration sent, oldest first
    int confirmedText = -1;  // the newest text the server answered an echo after
    qint64 confirmedAtMs = -1;
};

QByteArray configText(const QString& serial, int generation)
{
    return "brd_hostname=" + serial.toLatin1() + "-" + QByteArray::number(generation) + "\n" +
           SimAgent::sampleConfiguration(150);
}

} // namespace

class TestKillLoop : public QObject
{
    Q_OBJECT

private slots:
    void killedAtRandomMomentsLosesNothing();

private:
    bool waitListening(QProcess& child, quint16 port);
    void checkFiles(qint64 killedAtMs);
    void startCompanion(QProcess& writer, int round);
    void checkCompanionFiles(QProcess& writer);
    void checkWindow();

    std::unique_ptr<WindowFixture> m_f;
    std::map<QString, Stored> m_devices;
    std::set<QString> m_inDepartments; // serials the departments file named at the last check
    QElapsedTimer m_clock;
    int m_leftovers = 0;

    std::unique_ptr<Mirror> m_mirror;
    QByteArray m_download;               // the file on the mirror
    std::map<QString, qint64> m_written; // the newest generation of each file confirmed
    int m_writes = 0;
    int m_partsKept = 0;
    int m_companionLeftovers = 0; // interrupted temporary files beside the companion's files
    int m_downloads = 0;
};

namespace {
const QString DownloadName = QStringLiteral("fw-kill.bin");
}

void TestKillLoop::startCompanion(QProcess& writer, int round)
{
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(
        builtProgram(QStringLiteral("killwriter")),
        {m_f->ws.root(), QString::number(round), m_mirror->httpUrl(QStringLiteral("/slow/")), DownloadName,
         QString::fromLatin1(QCryptographicHash::hash(m_download, QCryptographicHash::Md5).toHex())});
    QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
}

void TestKillLoop::checkCompanionFiles(QProcess& writer)
{
    const QByteArray expectedEnd = "download completed 0 " + QByteArray::number(m_download.size());
    for (const QByteArray& line : writer.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3 && words.first() == "done") {
            m_written[QString::fromLatin1(words.at(1))] = words.at(2).toLongLong();
            ++m_writes;
        } else if (line.startsWith("download completed")) {
            QCOMPARE(line, expectedEnd);
            ++m_downloads;
        }
    }
    // Each file holds one whole generation, no older than the newest confirmed.
    for (const QString& file : killwrites::files()) {
        const QByteArray bytes = fileBytes(m_f->ws.path(file));
        const auto confirmed = m_written.find(file);
        if (bytes.isEmpty()) {
            QVERIFY2(confirmed == m_written.end(), qPrintable(file + QStringLiteral(": missing or empty")));
            continue;
        }
        const qint64 generation = killwrites::generationOf(bytes);
        QVERIFY2(
            bytes == killwrites::content(file, generation),
            qPrintable(file + QStringLiteral(": not one whole generation (%1 bytes)").arg(bytes.size())));
        if (confirmed != m_written.end())
            QVERIFY2(generation >= confirmed->second,
                     qPrintable(file + QStringLiteral(": generation %1 after %2 was confirmed")
                                           .arg(generation)
                                           .arg(confirmed->second)));
    }
    // What an interrupted write leaves beside them is no file of theirs (no reader takes it).
    int leftovers = 0;
    for (const QString& sub :
         {QStringLiteral("profiles"), QStringLiteral("storage"), QStringLiteral("signage")}) {
        for (const QString& name : QDir(m_f->ws.path(sub)).entryList(QDir::Files | QDir::Hidden)) {
            if (!killwrites::files().contains(sub + QLatin1Char('/') + name))
                ++leftovers;
        }
    }
    m_companionLeftovers = std::max(m_companionLeftovers, leftovers);
    // The ".part" file is the beginning of the file; a complete download is the whole file.
    const QString local = m_f->ws.path(QStringLiteral("downloads/") + DownloadName);
    const QByteArray part = fileBytes(DownloadManager::partPath(local));
    QVERIFY2(m_download.startsWith(part),
             qPrintable(QStringLiteral("a .part file of %1 bytes that is not the "
                                       "beginning of the file")
                            .arg(part.size())));
    if (!part.isEmpty())
        ++m_partsKept; // the next round resumes it
    if (QFileInfo::exists(local))
        QVERIFY(fileBytes(local) == m_download);
}

bool TestKillLoop::waitListening(QProcess& child, quint16 port)
{
    return waitFor(
        [&] {
            if (child.state() != QProcess::Running)
                return false;
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port);
            return probe.waitForConnected(200);
        },
        20000);
}

void TestKillLoop::checkFiles(qint64 killedAtMs)
{
    // The departments file is one that the program wrote whole: it reads back to the same
    // bytes, and it names every device it named before and every device adopted more than
    // a second (the longest a change may wait) before the kill.
    const QByteArray departments = m_f->departmentsFile();
    QStringList problems;
    const DepartmentList list = readDepartments(
        m_f->departmentsPath(), [&](const QString& title, const QString& text) { problems << title + text; });
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    if (QFileInfo::exists(m_f->departmentsPath()))
        QCOMPARE(departmentsFileText(list), departments);
    for (const QString& serial : m_inDepartments)
        QVERIFY2(departments.contains("serial=" + serial.toLower().toLatin1() + '\n'), qPrintable(serial));
    rvxDB db(m_f->ws.path(QStringLiteral("db")));
    for (const auto& [serial, stored] : m_devices) {
        if (stored.confirmedText >= 0 && stored.confirmedAtMs < killedAtMs - 1500)
            QVERIFY2(departments.contains("serial=" + serial.toLower().toLatin1() + '\n'),
                     qPrintable(serial));
        // The block of a device whose identification was answered is stored whole.
        const QByteArray block = fileBytes(db.statePath(serial));
        if (stored.confirmedText >= 0 || !block.isEmpty()) {
            ThinclientInfo info;
            info.loadBlock(block);
            QVERIFY2(block.size() == stored.block.size() && info.serialNumber() == serial,
                     qPrintable(serial));
        }
        // The configuration text is one that was sent, and no older than the one confirmed.
        const QByteArray text = fileBytes(db.configPath(serial));
        if (text.isEmpty()) {
            QVERIFY2(stored.confirmedText < 0, qPrintable(serial));
            continue;
        }
        int index = -1;
        for (int i = 0; i < stored.texts.size() && index < 0; ++i) {
            // What the server stores is the text as it reads it from the message.
            if (config_message_parse(*config_message_build_text(stored.texts.at(i), 55, false)) == text)
                index = i;
        }
        QVERIFY2(index >= 0, qPrintable(serial + QStringLiteral(": not a text that was sent")));
        QVERIFY2(
            index >= stored.confirmedText,
            qPrintable(serial + QStringLiteral(": text %1 of %2 stored, %3 confirmed %4 ms before the kill")
                                    .arg(index)
                                    .arg(stored.texts.size())
                                    .arg(stored.confirmedText)
                                    .arg(killedAtMs - stored.confirmedAtMs)));
    }
    // Every block in the history is whole (the server would skip a damaged one).
    int stateFiles = 0;
    int leftovers = 0;
    QDirIterator it(m_f->ws.path(QStringLiteral("db")), QDir::Files | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".tmp")))
            ++leftovers; // an interrupted write: no reader takes it
        else if (path.endsWith(QLatin1String(".st")))
            ++stateFiles;
    }
    m_leftovers = std::max(m_leftovers, leftovers);
    QCOMPARE(db.loadAllStates().size(), stateFiles);
    // The last-seen table is whole lines of serial and seconds.
    const QByteArray lastSeen = fileBytes(m_f->ws.path(QStringLiteral("db/last_seen.csv")));
    static const QRegularExpression line(QStringLiteral("^[^,\\n]+,\\d+$"));
    for (const QByteArray& l : lastSeen.split('\n')) {
        if (!l.isEmpty())
            QVERIFY2(line.match(QString::fromLatin1(l)).hasMatch(), l.constData());
    }
    QVERIFY(lastSeen.isEmpty() || lastSeen.endsWith('\n'));
}

void TestKillLoop::checkWindow()
{
    Ask::clearRecords();
    MainWindow* w = m_f->start();
    QVERIFY(w);
    const QString box = Ask::records().isEmpty() ? QString() : Ask::records().first().title;
    QVERIFY2(box.isEmpty(), qPrintable(box));
    rvxDB db(m_f->ws.path(QStringLiteral("db")));
    for (const auto& [serial, stored] : m_devices) {
        if (!QFileInfo::exists(db.statePath(serial)))
            continue;
        ThinclientInfo* device = m_f->device(serial);
        QVERIFY2(device && device->item, qPrintable(serial + QStringLiteral(" is not listed")));
    }
    w->close();
    m_f->window.reset();
    QVERIFY(Ask::records().isEmpty());
    const QByteArray departments = m_f->departmentsFile();
    for (const auto& [serial, stored] : m_devices) {
        if (QFileInfo::exists(db.statePath(serial))) {
            QVERIFY2(departments.contains("serial=" + serial.toLower().toLatin1() + '\n'),
                     qPrintable(serial));
            m_inDepartments.insert(serial);
        }
    }
}

void TestKillLoop::killedAtRandomMomentsLosesNothing()
{
#ifndef Q_OS_UNIX
    QSKIP("SIGKILL is a POSIX signal");
#endif
    const int loops =
        qEnvironmentVariableIsSet("RVX_KILL_LOOPS") ? qEnvironmentVariableIntValue("RVX_KILL_LOOPS") : 20;
    const quint32 seed = qEnvironmentVariableIsSet("RVX_KILL_SEED")
                             ? static_cast<quint32>(qEnvironmentVariableIntValue("RVX_KILL_SEED"))
                             : QRandomGenerator::global()->generate();
    qInfo("kill loops: %d, seed %u", loops, seed);
    QRandomGenerator random(seed);
    m_f = std::make_unique<WindowFixture>();
    m_mirror = std::make_unique<Mirror>();
    QVERIFY2(m_mirror->start(), qPrintable(m_mirror->error()));
    // About six seconds at the mirror's slow rate: a download spans several rounds.
    m_download = m_mirror->addFile(DownloadName, 3 * 1024 * 1024);
    m_clock.start();
    int created = 0;
    int confirmed = 0;

    for (int loop = 0; loop < loops; ++loop) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(builtProgram(QStringLiteral("rvx")), QStringList());
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        QVERIFY2(waitListening(child, m_f->port),
                 qPrintable(QStringLiteral("round %1: not listening").arg(loop)));
        QProcess writer;
        startCompanion(writer, loop);

        const int killAfter = random.bounded(300, 2000);
        qint64 killedAt = -1;
        QTimer::singleShot(killAfter, &child, [&] {
            killedAt = m_clock.elapsed();
            child.kill(); // SIGKILL
            writer.kill();
        });
        while (killedAt < 0) {
            // Mostly new devices (adopted into the departments file), some known ones again.
            QString serial;
            if (m_devices.empty() || random.bounded(10) < 6) {
                serial = QStringLiteral("KL-%1").arg(created++, 5, 10, QLatin1Char('0'));
                const QString mac = QStringLiteral("02:00:00:%1:%2:%3")
                                        .arg((created >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                                        .arg((created >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                                        .arg(created & 0xFF, 2, 16, QLatin1Char('0'));
                m_devices[serial].block = DeviceSpec(serial, mac).block();
            } else {
                auto it = m_devices.begin();
                std::advance(it, random.bounded(static_cast<int>(m_devices.size())));
                serial = it->first;
            }
            Stored& stored = m_devices[serial];
            SimAgent agent;
            if (!agent.handshake(m_f->port, 3000))
                break;
            agent.identify(stored.block);
            stored.texts << configText(serial, stored.texts.size());
            agent.sendConfiguration(stored.texts.last(), 55, true);
            if (agent.echo(3000) && killedAt < 0) {
                stored.confirmedText = stored.texts.size() - 1;
                stored.confirmedAtMs = m_clock.elapsed();
                ++confirmed;
            }
            agent.abort();
        }
        // A refused handshake before the kill: the program is killed all the same.
        QVERIFY(waitFor([&] { return killedAt >= 0; }, 5000));
        QVERIFY(child.state() == QProcess::NotRunning || child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QVERIFY(writer.state() == QProcess::NotRunning || writer.waitForFinished(10000));
        QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

        checkFiles(killedAt);
        checkCompanionFiles(writer);
        if (QTest::currentTestFailed()) {
            qWarning("round %d (killed after %d ms, seed %u)", loop, killAfter, seed);
            return;
        }
        checkWindow();
        if (QTest::currentTestFailed()) {
            qWarning("round %d (killed after %d ms, seed %u): the window", loop, killAfter, seed);
            return;
        }
    }
    int resumed = 0;
    for (const Mirror::Request& request : m_mirror->requests())
        resumed += !request.range.isEmpty() && request.status == 206;
    qInfo("%d rounds: %d devices, %d reports confirmed, at most %d interrupted temporary files at once; "
          "%d profile, whitelist and rsync writes confirmed (at most %d interrupted temporary files beside "
          "them); "
          "%d downloads completed, %d resumed from a kept .part file",
          loops, created, confirmed, m_leftovers, m_writes, m_companionLeftovers, m_downloads, resumed);
    QVERIFY(m_writes > 0);
    if (m_partsKept > 2)
        QVERIFY2(resumed > 0, "no download was resumed");
}

RVX_GUI_TEST_MAIN(TestKillLoop)
#include "test_killloop.moc"

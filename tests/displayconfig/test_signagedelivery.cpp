// What agents receive of the display, application-mode and signage settings, over a real
// agent server on loopback with simulated agents, and the content files they may then copy.

#include "../agent/serverfixture.h"

#include "appmode.h"
#include "configlib.h"
#include "displayconfig.h"
#include "sending.h"
#include "signage.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QMap>

using rvx::test::waitFor;

namespace {

void write(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// The lines of a text that a category keeps.
QByteArray inCategory(const QByteArray& text, int category)
{
    QByteArray out;
    for (const QByteArray& l : text.split('\n')) {
        if (!l.isEmpty() && config_line_in_category(l, category))
            out += l + '\n';
    }
    return out;
}

} // namespace

class TestSignageDelivery : public QObject
{
    Q_OBJECT

private slots:
    void displaysByAgentVersion();
    void applicationModeByAgentVersion();
    void devicePullsOnlyServedContent();
};

void TestSignageDelivery::displaysByAgentVersion()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto modern = f.identified("DSP-84", "8.4.5");
    auto older = f.identified("DSP-7", "7.2.0", "00:11:22:33:44:66");
    QVERIFY(modern && older);

    displays::Settings s;
    s.extended = true;
    s.outputs[1].position = "rightof";
    s.outputs[1].referent = 1;
    s.outputs[0].resolution = "1920x1080";
    s.outputs[0].modeSet = "cea";
    s.outputs[0].modeNumber = "16";
    s.signage[0].source = "rsync://10.77.0.1/lobby";
    const QByteArray text = displays::configurationText(s, "signage");

    modern->clearFrames();
    QVERIFY(sendConfiguration(f.server->findBySerial("DSP-84"), text, msg::Type::Displays));
    QVERIFY(modern->waitForFrames(1));
    const SimAgent::Frame frame = modern->frames().first();
    QCOMPARE(int(frame.type), 55);
    QCOMPARE(config_message_category(frame.raw), 51);
    QCOMPARE(*config_message_parse(frame.raw), text); // every line arrives, none dropped

    older->clearFrames();
    QVERIFY(writeFrame(f.server->findBySerial("DSP-7"), displays::legacyFrame(s)));
    QVERIFY(older->waitForFrames(1));
    QCOMPARE(older->frames().first().raw, displays::legacyFrame(s));
}

void TestSignageDelivery::applicationModeByAgentVersion()
{
    ServerFixture f;
    QVERIFY(f.start());
    auto modern = f.identified("APP-84", "8.4.0");
    auto older = f.identified("APP-7", "7.9.0", "00:11:22:33:44:77");
    QVERIFY(modern && older);

    QMap<QByteArray, QByteArray> store;
    store["connection_type"] = "vnc";
    store["vnc_server"] = "vnc1:5901";
    store["vnc_autologin_enabled"] = "yes";
    store["vnc_autologin_password"] = QByteArray("s3cret").toBase64();
    const appmode::Settings settings =
        appmode::loadSettings([&](const QByteArray& k) { return store.value(k); });
    const QByteArray text = appmode::configurationText(settings);

    modern->clearFrames();
    QVERIFY(sendConfiguration(f.server->findBySerial("APP-84"), text, msg::Type::ApplicationMode));
    QVERIFY(modern->waitForFrames(1));
    const QByteArray raw = modern->frames().first().raw;
    QCOMPARE(quint8(raw.at(1)), quint8(1)); // compressed for 8.4.0
    const QByteArray received = *config_message_parse(raw);
    QCOMPARE(received, inCategory(text, 18));
    QVERIFY(received.contains("vnc_autologin_password=czNjcmV0\n"));

    older->clearFrames();
    QVERIFY(writeFrame(f.server->findBySerial("APP-7"), appmode::legacyFrame(settings)));
    QVERIFY(older->waitForFrames(1));
    const SimAgent::Frame frame = older->frames().first();
    QCOMPARE(int(frame.type), 18);
    QCOMPARE(int(frame.code), 6);
    QCOMPARE(frame.raw, appmode::legacyFrame(settings));
}

void TestSignageDelivery::devicePullsOnlyServedContent()
{
    ServerFixture f;
    const QString content = f.ws.path("signage/lobby");
    const QString elsewhere = f.ws.path("private");
    write(content + "/1.png", "first image");
    write(content + "/clips/intro.mp4", QByteArray(9000, 'm'));
    write(elsewhere + "/secret.txt", "not for devices");
    f.settings->setValue("signageContentDir1", QDir::toNativeSeparators(content));
    QVERIFY(f.start());
    auto agent = f.identified("DS-1", "8.4.0");
    QVERIFY(agent);

    // The list the server writes for the output names every file with its digest.
    const signage::ContentList list = signage::listContent(content);
    QCOMPARE(list.entries.size(), 3);
    const QString listPath = QDir(f.ws.path("temp")).filePath(signage::listFileName(1));
    QVERIFY(signage::writeWholeFile(listPath, signage::contentListText(list)));
    const QList<signage::SyncedOutput> synced = {{1, content, listPath}};
    agent->clearFrames();
    QVERIFY(
        sendConfiguration(f.server->findBySerial("DS-1"), signage::syncText(synced), msg::Type::SignageSync));
    QVERIFY(agent->waitForFrames(1));
    QCOMPARE(config_message_category(agent->frames().first().raw), 45);

    // The device reads the list, then each file it names, and checks the digests.
    const std::optional<QByteArray> pulledList = agent->pullFile(QDir::toNativeSeparators(listPath));
    QVERIFY(pulledList);
    int files = 0;
    for (const QByteArray& l : pulledList->split('\n')) {
        if (!l.startsWith("file="))
            continue;
        const int mark = l.lastIndexOf(" md5sum=");
        const QString path = QString::fromLatin1(l.mid(5, mark - 5));
        const std::optional<QByteArray> bytes = agent->pullFile(path);
        QVERIFY2(bytes, qPrintable(path));
        QCOMPARE(QCryptographicHash::hash(*bytes, QCryptographicHash::Md5).toHex(), l.mid(mark + 8));
        ++files;
    }
    QCOMPARE(files, 2);

    // A folder the device merely names as its source is not served ...
    QCOMPARE(agent->openRead(QDir::toNativeSeparators(elsewhere + "/secret.txt")), 3);
    // ... until the administrator agrees to serve it.
    f.server->allowReadFolder(elsewhere);
    QCOMPARE(*agent->pullFile(QDir::toNativeSeparators(elsewhere + "/secret.txt")),
             QByteArray("not for devices"));
}

RVX_TEST_MAIN(TestSignageDelivery)
#include "test_signagedelivery.moc"

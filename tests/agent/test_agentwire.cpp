// The wire formats of the agent protocol as plain functions: handshake, frame reader,
// list and network-status payloads, and the frames the server sends.

#include "agentlists.h"
#include "configlib.h"
#include "framereader.h"
#include "handshake.h"
#include "sending.h"
#include "testmain.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QBuffer>

namespace {

// Feeds bytes to a reader through a buffer the way a socket delivers them.
class Feed
{
public:
    Feed() { m_buffer.open(QIODevice::ReadWrite); }
    void append(const QByteArray& bytes)
    {
        const qint64 pos = m_buffer.pos();
        m_buffer.seek(m_buffer.size());
        m_buffer.write(bytes);
        m_buffer.seek(pos);
    }
    QIODevice* device() { return &m_buffer; }
    qint64 unread() const { return m_buffer.bytesAvailable(); }

private:
    QBuffer m_buffer;
};

} // namespace

class TestAgentWire : public QObject
{
    Q_OBJECT

private slots:
    void agentProofAlternatesCase();
    void greetingChecks_data();
    void greetingChecks();
    void welcomeMessageWorkedExample();

    void readerAssemblesPieces();
    void readerKeepAlivesAndTypes_data();
    void readerKeepAlivesAndTypes();
    void readerLongLengths();
    void readerOldAgentType11();

    void groupedLists();
    void networkStatus();

    void statusFrames();
    void configurationFrames();
    void configurationRefusals();
    void queueAndRequests();
};

void TestAgentWire::agentProofAlternatesCase()
{
    const QByteArray expected = handshake::md5Hex("ab:CD:ef:AB:cd:EF:qUiLtMaRkSpIrEpOnD");
    QCOMPARE(*handshake::agentProof("AB:CD:EF:ab:cd:ef"), expected);
    QCOMPARE(*handshake::agentProof("ab:cd:ef:ab:cd:ef"), expected);
    QCOMPARE(expected.size(), 32);
    QVERIFY(!handshake::agentProof("ab:cd:ef:ab:cd")); // five fields
    // The server proof keeps the identifier's case.
    QVERIFY(handshake::serverProof("AB:CD:EF:ab:cd:ef") != handshake::serverProof("ab:cd:ef:ab:cd:ef"));
    QCOMPARE(handshake::serverProof("ab:cd:ef:ab:cd:ef"),
             handshake::md5Hex("ab:cd:ef:ab:cd:ef..QuiLTmArkAdepOnTfiELdsAb"));
}

void TestAgentWire::greetingChecks_data()
{
    const QByteArray id = "00:1a:2b:3c:4d:5e";
    const QByteArray proof = *handshake::agentProof(id);
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("valid") << handshake::greeting(id, proof) << true;
    QTest::newRow("upper-case proof") << handshake::greeting(id, proof.toUpper()) << false;
    QTest::newRow("wrong proof") << handshake::greeting(id, handshake::md5Hex("x")) << false;
    QTest::newRow("no separator") << handshake::greeting(id + ":" + proof, QByteArray()).left(51) << false;
    QTest::newRow("two separators") << handshake::greeting("a::b:c:d:e:f",
                                                           *handshake::agentProof("b:c:d:e:f:g"))
                                    << false;
    QTest::newRow("five fields") << handshake::greeting("a:b:c:d:e", *handshake::agentProof("a:b:c:d:e:"))
                                 << false;
    QByteArray shortId = handshake::greeting("a:b:c:d:e:f", *handshake::agentProof("a:b:c:d:e:f"));
    QTest::newRow("short identifier, NUL padded") << shortId << true;
    QByteArray afterNul = handshake::greeting(id, proof);
    afterNul[40] = '\0'; // the proof is cut at the NUL
    QTest::newRow("NUL inside proof") << afterNul << false;
}

void TestAgentWire::greetingChecks()
{
    QFETCH(QByteArray, greeting);
    QFETCH(bool, accepted);
    QCOMPARE(greeting.size(), 51);
    QCOMPARE(handshake::checkGreeting(greeting).has_value(), accepted);
}

void TestAgentWire::welcomeMessageWorkedExample()
{
    const QByteArray m = handshake::welcomeMessage(QDate(2026, 12, 7), 0x01020304u, "8.4.4");
    QCOMPARE(m.size(), 32);
    QVERIFY(m.startsWith(QByteArray::fromHex("0502001c000331320000023700")));
    QCOMPARE(m, QByteArray::fromHex("0502001c"
                                    "0003313200"
                                    "00023700"
                                    "00053230323600"
                                    "0006382e342e3400"
                                    "01020304"));
    // January 1st: single-digit month and day.
    const QByteArray jan = handshake::welcomeMessage(QDate(2027, 1, 1), 0, "8.4.4");
    QCOMPARE(static_cast<int>(static_cast<uchar>(jan.at(3))), 1 + 1 + 4 + 21);
}

void TestAgentWire::readerAssemblesPieces()
{
    const QByteArray a = wire::frame(28, 0, wire::lpString("host-a"));
    const QByteArray b = wire::frame(6, 0, wire::lpString(QByteArray(1000, 'd')));
    const QByteArray all = a + b;
    Feed feed;
    FrameReader reader;
    QList<QByteArray> out;
    for (char byte : all) {
        feed.append(QByteArray(1, byte));
        for (;;) {
            const FrameReader::Result r = reader.step(feed.device(), false);
            QVERIFY(r != FrameReader::Result::Error);
            if (r != FrameReader::Result::Message)
                break;
            out << reader.takeFrame();
        }
    }
    QCOMPARE(out, QList<QByteArray>({a, b}));
    QVERIFY(reader.idle());
}

void TestAgentWire::readerKeepAlivesAndTypes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("type");
    QTest::newRow("keep-alive 0x00") << QByteArray(1, '\0') << int(FrameReader::Result::KeepAlive) << 0;
    QTest::newRow("keep-alive 0x80") << QByteArray(1, char(0x80)) << int(FrameReader::Result::KeepAlive) << 0;
    QTest::newRow("type 71") << QByteArray::fromHex("47000000") << int(FrameReader::Result::Message) << 71;
    QTest::newRow("0xC7 reads as 71")
        << QByteArray::fromHex("c7000000") << int(FrameReader::Result::Message) << 71;
    QTest::newRow("type 72 closes") << QByteArray::fromHex("48000000") << int(FrameReader::Result::Error)
                                    << 0;
    QTest::newRow("0xFF closes") << QByteArray::fromHex("ff000000") << int(FrameReader::Result::Error) << 0;
    QTest::newRow("unknown but valid type")
        << QByteArray::fromHex("0301000161") << int(FrameReader::Result::Message) << 3;
    QTest::newRow("length not yet complete")
        << QByteArray::fromHex("0500ff") << int(FrameReader::Result::NeedMore) << 5;
}

void TestAgentWire::readerKeepAlivesAndTypes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    QFETCH(int, type);
    Feed feed;
    feed.append(bytes);
    FrameReader reader;
    QCOMPARE(int(reader.step(feed.device(), false)), result);
    if (result == int(FrameReader::Result::Message)) {
        QCOMPARE(int(reader.type()), type);
        QCOMPARE(reader.takeFrame(), bytes); // the frame exactly as received, top bit kept
    }
}

void TestAgentWire::readerLongLengths()
{
    // An announced 4 GB frame fails as soon as its length is read.
    {
        Feed feed;
        feed.append(QByteArray::fromHex("1800ffffffff") + QByteArray(100, 'x'));
        FrameReader reader;
        QCOMPARE(reader.step(feed.device(), false), FrameReader::Result::Error);
        QCOMPARE(feed.unread(), qint64(100));
    }
    // Just above the cap fails; at the cap the reader waits without reserving the size.
    {
        Feed feed;
        QByteArray header = QByteArray::fromHex("2600");
        wire::appendU32(header, FrameReader::MaxLongPayload + 1);
        feed.append(header);
        FrameReader reader;
        QCOMPARE(reader.step(feed.device(), false), FrameReader::Result::Error);
    }
    {
        Feed feed;
        QByteArray header = QByteArray::fromHex("1801");
        wire::appendU32(header, FrameReader::MaxLongPayload);
        feed.append(header + "abc");
        FrameReader reader;
        QCOMPARE(reader.step(feed.device(), false), FrameReader::Result::NeedMore);
        QCOMPARE(reader.type(), quint8(24));
        QVERIFY(!reader.idle());
    }
    // A 32-bit length frame of type 38 completes normally.
    {
        Feed feed;
        const QByteArray frame = wire::frame(38, 2, QByteArray(70000, 'z'));
        QCOMPARE(frame.size(), 70006);
        feed.append(frame);
        FrameReader reader;
        QCOMPARE(reader.step(feed.device(), false), FrameReader::Result::Message);
        QCOMPARE(reader.takeFrame(), frame);
    }
}

void TestAgentWire::readerOldAgentType11()
{
    // An old agent's type 11 carries two bytes whatever its length field says.
    Feed feed;
    feed.append(QByteArray::fromHex("0b000000"
                                    "1000"
                                    "31"));
    FrameReader reader;
    QCOMPARE(reader.step(feed.device(), true), FrameReader::Result::Message);
    QCOMPARE(reader.takeFrame(), QByteArray::fromHex("0b0000001000"));
    QCOMPARE(feed.unread(), qint64(1));
    Feed feed2;
    feed2.append(QByteArray::fromHex("0b000000"
                                     "1000"));
    FrameReader newer;
    QCOMPARE(newer.step(feed2.device(), false), FrameReader::Result::Message);
    QCOMPARE(newer.takeFrame(), QByteArray::fromHex("0b000000"));
}

void TestAgentWire::groupedLists()
{
    // Entries before a header form "usbids"; a repeated header replaces its group.
    const QList<QByteArray> entries = {"1d6b:0002", "[HDMI-1]", "1920x1080", "1280x720", "[]",
                                       "[DP-1]",    "800x600",  "[HDMI-1]",  "640x480"};
    for (quint8 code : {quint8(0), quint8(1)}) {
        const QMap<QString, QStringList> g = parseGroupedList(code, buildListPayload(code, entries));
        QCOMPARE(g.value("usbids"), QStringList({"1d6b:0002"}));
        QCOMPARE(g.value("HDMI-1"), QStringList({"640x480"}));
        QCOMPARE(g.value("DP-1"), QStringList({"800x600"}));
        QCOMPARE(g.size(), 3); // "[]" is a plain entry of the current group, not a header
    }
    QCOMPARE(parseGroupedList(0, buildListPayload(0, {"[ssids]", "lab", "office"})).value("ssids"),
             QStringList({"lab", "office"}));
    // A count larger than the entries present stops at the end of the payload.
    QByteArray truncated = buildListPayload(1, {"a", "b"});
    truncated[1] = char(50);
    QCOMPARE(parseGroupedList(1, truncated).value("usbids"), QStringList({"a", "b"}));
    QVERIFY(parseGroupedList(0, QByteArray()).isEmpty());
}

void TestAgentWire::networkStatus()
{
    NetworkStatus s;
    s.dns1 = "10.0.0.1";
    s.dns2 = "10.0.0.2";
    s.dsPath = "lab.example";
    s.wirelessMAC = "02:00:00:00:00:01";
    s.wirelessIP = "10.1.0.5";
    s.wirelessNetmask = "255.255.0.0";
    s.wirelessGateway = "10.1.0.1";
    const NetworkStatus r = parseNetworkStatus(1, buildNetworkStatusPayload(1, s, false, true));
    QCOMPARE(r.dsPath, QString("lab.example"));
    QVERIFY(r.wiredMAC.isEmpty());
    QCOMPARE(r.wirelessGateway, QString("10.1.0.1"));
    // Code 0 has no search path: the third string is not read as one.
    const NetworkStatus r0 = parseNetworkStatus(0, buildNetworkStatusPayload(0, s, false, true));
    QVERIFY(r0.dsPath.isEmpty());
    QCOMPARE(r0.wirelessIP, QString("10.1.0.5"));
    const NetworkStatus cut = parseNetworkStatus(1, wire::lpString("8.8.8.8"));
    QCOMPARE(cut.dns1, QString("8.8.8.8"));
    QVERIFY(cut.dns2.isEmpty() && cut.wirelessIP.isEmpty());
}

void TestAgentWire::statusFrames()
{
    QCOMPARE(statusFrame(3, QByteArray()), QByteArray::fromHex("07030000"));
    QCOMPARE(statusFrame(0, "1234"), QByteArray::fromHex("070000053132333400"));
    QCOMPARE(wire::shortFrame(49), QByteArray::fromHex("31000000"));
}

void TestAgentWire::configurationFrames()
{
    const QByteArray text(30, 'k');
    ThinclientInfo old;
    old.setClientVersion("8.3.9");
    const QByteArray plain = configurationFrame(&old, text, 28);
    QCOMPARE(plain.left(5), QByteArray::fromHex("370000201c"));
    QCOMPARE(plain.size(), 5 + 31);
    QCOMPARE(plain.mid(5), text + QByteArray(1, '\0'));

    ThinclientInfo current;
    current.setClientVersion("8.4.0");
    const QByteArray packed = configurationFrame(&current, "log_level=1\n", 55);
    // Compressed even when that makes it longer: no plain fallback.
    QCOMPARE(packed.at(0), char(0x37));
    QCOMPARE(packed.at(1), char(1));
    QCOMPARE(packed.at(4), char(55));
    const int length = (uchar(packed.at(2)) << 8) | uchar(packed.at(3));
    QCOMPARE(length, packed.size() - 4);
    QCOMPARE(packed.mid(5, 4), QByteArray::fromHex("0000000d"));
    QVERIFY(packed.size() - 9 > 13); // the stream is longer than the text
    QCOMPARE(*config_message_parse(packed), QByteArray("log_level=1\n"));

    ThinclientInfo ten;
    ten.setClientVersion("10.0.0");
    QCOMPARE(configurationFrame(&ten, text, 28).at(1), char(1));
}

void TestAgentWire::configurationRefusals()
{
    ThinclientInfo r;
    r.setClientVersion("8.3.0");
    QVERIFY(configurationFrame(&r, "a=1\n", 0).isEmpty());
    QVERIFY(configurationFrame(&r, "a=1\n", 72).isEmpty());
    QVERIFY(!configurationFrame(&r, "a=1\n", 71).isEmpty());
    QVERIFY(!configurationFrame(&r, "a=1\n", 1).isEmpty());
    // The plain length field holds text + NUL + category byte.
    QVERIFY(!configurationFrame(&r, QByteArray(65533, 'x'), 28).isEmpty());
    QVERIFY(configurationFrame(&r, QByteArray(65534, 'x'), 28).isEmpty());
    r.setClientVersion("8.4.0");
    QVERIFY(configurationFrame(&r, QByteArray(70000, 'x'), 28).isEmpty());
    QVERIFY(!sendConfiguration(&r, "a=1\n", 28)); // offline: nothing written
    QVERIFY(!writeFrame(&r, "x"));
}

void TestAgentWire::queueAndRequests()
{
    ThinclientInfo r;
    queueFrame(&r, "one");
    queueFrame(&r, "two");
    QVERIFY(r.pendingFrames);
    QCOMPARE(*r.pendingFrames, QList<QByteArray>({"one", "two"}));
    QCOMPARE(modeHelpRequest(7), QByteArray::fromHex("2100000107"));
    QCOMPARE(networkInfoRequest(1), QByteArray::fromHex("47010000"));
    QCOMPARE(audioDevicesRequest(true), QByteArray::fromHex("4600000101"));
    QCOMPARE(audioDevicesRequest(false), QByteArray::fromHex("4600000100"));
}

RVX_TEST_MAIN(TestAgentWire)
#include "test_agentwire.moc"

#include "configlib.h"
#include "testmain.h"

#include <QRandomGenerator>

#include <algorithm>
#include <zlib.h>

namespace {

int lengthField(const QByteArray& m)
{
    return (static_cast<quint8>(m.at(2)) << 8) | static_cast<quint8>(m.at(3));
}

// Keys of many categories, including ones of no category and of the identity group.
const char* const kKeys[] = {
    "brd_hostname",
    "nic_ip",
    "nic_dhcp_enabled",
    "dns1",
    "log_level",
    "powersave",
    "description",
    "timezone",
    "time_server",
    "connection_type",
    "rdp_server",
    "hdx_usb_redir_denied",
    "usb_redir_dev3",
    "kbd_layout_index",
    "audio_volume",
    "video_output2_resolution",
    "ds_output1_url",
    "zylconfig_password",
    "pxe_server_mode",
    "rvx_server_port",
    "x11vnc_password",
    "shadower_port",
    "mrl_profile_filename",
    "tsg_userid",
    "iot_server",
    "live_usb_device",
    "not_a_category",
    "rvx_date_year",
};

QByteArray randomText(QRandomGenerator& random, int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i) {
        text += kKeys[random.bounded(int(sizeof kKeys / sizeof kKeys[0]))];
        text += '=';
        const int length = random.bounded(0, 40);
        for (int j = 0; j < length; ++j)
            text += static_cast<char>(random.bounded(0x20, 0xFF)); // Latin-1, blanks and "=" included
        text += '\n';
    }
    return text;
}

QList<QByteArray> sortedLines(const QByteArray& text)
{
    QList<QByteArray> lines = text.split('\n');
    std::sort(lines.begin(), lines.end());
    return lines;
}

} // namespace

class TestConfigMessage : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        config_store_reset_for_testing(QStringLiteral("/nonexistent/environment"),
                                       QStringLiteral("/nonexistent/timezone"));
    }

    void plainLayout()
    {
        const QByteArray text = "description=0123456789abcdefgh"; // 30 characters
        QCOMPARE(text.size(), 30);
        // Compression would make it longer: sent plain.
        const QByteArray m = config_message_build_text(text, 6, true).value_or("none");
        QCOMPARE(m.left(5), QByteArray("\x37\x00\x00\x20\x06", 5));
        QCOMPARE(lengthField(m), 32);
        QCOMPARE(m.mid(5), text + '\0');
        QCOMPARE(config_message_category(m), 6);
        QCOMPARE(config_message_parse(m).value_or("none"), text + '\n');
    }

    void compressedLayout()
    {
        QByteArray text;
        for (int i = 0; i < 200; ++i)
            text += "usb_redir_dev" + QByteArray::number(i) + "=0781:5567\n";
        const QByteArray m = config_message_build_text(text, 44, true).value_or("none");
        QCOMPARE(m.at(0), char(0x37));
        QCOMPARE(m.at(1), char(1));
        QCOMPARE(lengthField(m), m.size() - 4);
        QCOMPARE(m.at(4), char(44));
        QCOMPARE(m.mid(5, 4),
                 QByteArray("\x00\x00", 2) + char((text.size() + 1) >> 8) + char((text.size() + 1) & 0xFF));
        QByteArray inflated(text.size() + 1, '\0');
        uLongf size = inflated.size();
        QCOMPARE(uncompress(reinterpret_cast<Bytef*>(inflated.data()), &size,
                            reinterpret_cast<const Bytef*>(m.constData() + 9), m.size() - 9),
                 Z_OK);
        QCOMPARE(inflated, text + '\0');
        QCOMPARE(config_message_parse(m).value_or("none"), text);
    }

    void stripIdentity()
    {
        config_store_clear();
        config_store_load_text("brd_hostname=pc\nnic_ip=10.0.0.1\nnic_dhcp_enabled=no\nlog_level=3\n", 55);
        for (bool compress : {false, true}) {
            const QByteArray m = config_message_build(55, true, compress).value_or("none");
            QCOMPARE(config_message_parse(m).value_or("none"),
                     QByteArray("nic_dhcp_enabled=no\nlog_level=3\n"));
        }
        const QByteArray kept = config_message_build(29, false, false).value_or("none");
        QCOMPARE(config_message_parse(kept).value_or("none"),
                 QByteArray("brd_hostname=pc\nnic_ip=10.0.0.1\nnic_dhcp_enabled=no\n"));
    }

    void parseFiltersByCategory()
    {
        const QByteArray text =
            QByteArray("log_level=1\ndns1=8.8.8.8\nno equals\nbrd_hostname=a=b\nnic_ip=1") + '\0' +
            "dns2=after the NUL\n";
        const QByteArray m = config_message_build_text(text, 29, false).value_or("none");
        QCOMPARE(config_message_parse(m).value_or("none"),
                 QByteArray("dns1=8.8.8.8\nbrd_hostname=a=b\nnic_ip=1\n"));
        QByteArray high = m;
        high[0] = char(0xB7); // the top bit of the type is ignored
        QCOMPARE(config_message_parse(high), config_message_parse(m));
        QByteArray trailing = m + "extra"; // a buffer longer than the message
        QCOMPARE(config_message_parse(trailing), config_message_parse(m));
    }

    void malformedMessagesYieldNothingAndChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("message");
        QByteArray text;
        for (int i = 0; i < 50; ++i)
            text += "log_level=" + QByteArray::number(i % 7) + "\ndescription=device number " +
                    QByteArray::number(i) + "\n";
        const QByteArray packed = *config_message_build_text(text, 55, true);
        const QByteArray plain = *config_message_build_text(text, 55, false);
        QVERIFY(packed.at(1) == 1 && plain.at(1) == 0);

        QByteArray corrupt = packed;
        for (int i = 12; i < corrupt.size() - 8; i += 3)
            corrupt[i] = char(corrupt.at(i) ^ 0x5A);
        QByteArray longer = packed;
        longer[8] = char(longer.at(8) + 1);
        QByteArray shorter = packed;
        shorter[8] = char(shorter.at(8) - 1);
        QByteArray huge = packed;
        huge[5] = char(1);
        QByteArray wrongType = plain;
        wrongType[0] = char(0x36);
        QByteArray badFlag = plain;
        badFlag[1] = char(2);
        QByteArray category72 = plain;
        category72[4] = char(72);
        QByteArray category0 = plain;
        category0[4] = char(0);

        QTest::newRow("corrupt stream") << corrupt;
        QTest::newRow("declared length too large") << longer;
        QTest::newRow("declared length too small") << shorter;
        QTest::newRow("declared length beyond 64 KiB") << huge;
        QTest::newRow("truncated compressed") << packed.left(packed.size() - 1);
        QTest::newRow("truncated plain") << plain.left(plain.size() - 1);
        QTest::newRow("header only") << plain.left(4);
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("wrong type") << wrongType;
        QTest::newRow("unknown compression flag") << badFlag;
        QTest::newRow("category 72") << category72;
        QTest::newRow("category 0") << category0;
        QTest::newRow("compressed without its length") << QByteArray("\x37\x01\x00\x03\x37\x00\x00", 7);
    }
    void malformedMessagesYieldNothingAndChangeNothing()
    {
        QFETCH(QByteArray, message);
        const QByteArray before = config_store_dump();
        const std::optional<QByteArray> text = config_message_parse(message);
        QVERIFY(!text);
        QCOMPARE(config_store_dump(), before);
    }

    void buildRefusesWhatDoesNotFit()
    {
        for (int invalid : {0, 72, 73, -1, 256}) {
            QVERIFY(!config_message_build(invalid, false, false));
            QVERIFY(!config_message_build_text("log_level=1\n", invalid, true));
        }
        // 65533 characters: the plain length field (text, NUL, category byte) is exactly 65535.
        const QByteArray fits = "description=" + QByteArray(65533 - 12, 'x');
        const QByteArray plain = config_message_build_text(fits, 6, false).value_or("none");
        QCOMPARE(lengthField(plain), 0xFFFF);
        QCOMPARE(config_message_parse(plain).value_or("none"), fits + '\n');
        // One more: only the compressed form fits.
        const QByteArray edge = fits + 'x';
        QVERIFY(!config_message_build_text(edge, 6, false));
        const QByteArray packed = config_message_build_text(edge, 6, true).value_or("none");
        QCOMPARE(packed.at(1), char(1));
        QCOMPARE(config_message_parse(packed).value_or("none"), edge + '\n');
        // With its NUL it no longer fits the 16-bit uncompressed length.
        QVERIFY(!config_message_build_text(edge + 'x', 6, true));
        QVERIFY(!config_message_build_text(edge + 'x', 6, false));
    }

    // collect -> build -> parse -> load gives back the same store, for random configurations.
    void roundTrip()
    {
        QRandomGenerator random(20240607);
        for (int round = 0; round < 40; ++round) {
            config_store_clear();
            config_store_load_text(randomText(random, random.bounded(1, 120)), 55);
            const QByteArray collected = config_store_collect(55).value_or("none");
            const QByteArray dump = config_store_dump();
            for (bool compress : {false, true}) {
                const QByteArray m = config_message_build(55, false, compress).value_or("none");
                QCOMPARE(m, config_message_build_text(collected, 55, compress).value_or("other"));
                const std::optional<QByteArray> parsed = config_message_parse(m);
                QVERIFY(parsed);
                QCOMPARE(*parsed, collected);
                config_store_clear();
                config_store_load_text(*parsed, 55);
                QCOMPARE(config_store_collect(55).value_or("none"), collected);
                QCOMPARE(sortedLines(config_store_dump()), sortedLines(dump));
            }
            const int category = QList<int>{4, 18, 29, 34, 44}.at(round % 5);
            const QByteArray single = config_message_build(category, false, round % 2).value_or("none");
            QCOMPARE(config_message_parse(single).value_or("none"),
                     config_store_collect(category).value_or("x"));
        }
    }
};

RVX_TEST_MAIN(TestConfigMessage)
#include "test_configmessage.moc"

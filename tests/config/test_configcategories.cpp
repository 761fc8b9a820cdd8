#include "categories.h"
#include "configlib.h"
#include "tables.h"
#include "testmain.h"

#include <QRandomGenerator>
#include <QSet>

namespace {

// Every key=... prefix a category pattern describes: alternatives "(a|b)", classes "[1-3]"
// (every member) and "+" (one or two repetitions) are expanded; "^" is dropped.
QList<QByteArray> expand(const QByteArray& pattern, int& pos);

QList<QByteArray> expandAtom(const QByteArray& p, int& pos)
{
    const char c = p.at(pos);
    if (c == '(') {
        ++pos;
        QList<QByteArray> all = expand(p, pos);
        ++pos; // ')'
        return all;
    }
    if (c == '[') {
        const char from = p.at(pos + 1);
        const char to = p.at(pos + 3);
        pos += 5;
        QList<QByteArray> all;
        for (char x = from; x <= to; ++x)
            all << QByteArray(1, x);
        return all;
    }
    ++pos;
    return {QByteArray(1, c)};
}

// A sequence of alternatives up to the closing ")" (or the end).
QList<QByteArray> expand(const QByteArray& p, int& pos)
{
    QList<QByteArray> result;
    QList<QByteArray> current{QByteArray()};
    while (pos < p.size() && p.at(pos) != ')') {
        if (p.at(pos) == '|') {
            result << current;
            current = {QByteArray()};
            ++pos;
            continue;
        }
        if (p.at(pos) == '^') {
            ++pos;
            continue;
        }
        QList<QByteArray> atom = expandAtom(p, pos);
        if (pos < p.size() && p.at(pos) == '+') {
            ++pos;
            const QList<QByteArray> once = atom;
            for (const QByteArray& a : once)
                atom << a + a;
        }
        QList<QByteArray> next;
        for (const QByteArray& head : current) {
            for (const QByteArray& tail : atom)
                next << head + tail;
        }
        current = next;
    }
    result << current;
    return result;
}

QList<QByteArray> expansions(int id)
{
    const QByteArray pattern = config_category_pattern(id);
    int pos = 0;
    return pattern.isEmpty() ? QList<QByteArray>() : expand(pattern, pos);
}

// Lines around every pattern: each expansion with values, and near misses of it.
QList<QByteArray> probeLines()
{
    QList<QByteArray> lines;
    QSet<QByteArray> keys;
    for (int id = 0; id < CATEGORY_SLOTS; ++id) {
        for (const QByteArray& e : expansions(id)) {
            const QByteArray key = e.left(e.indexOf('='));
            keys << key;
            lines << e << e + "value" << e + "a=b c" << key << key + "x="
                  << "x" + e << key + " =1"
                  << " " + e << key.left(key.size() - 1) + "=" << key.toUpper() + "=1"
                  << key + "==" << e + "\r";
        }
    }
    for (const QByteArray& line : config_store_dump().split('\n'))
        lines << line << line.left(line.indexOf('=')) + "s=1";
    lines << "kbd_model_indexx=1"
          << "kbd_model_index=3"
          << "kbd_model_index"
          << "key with spaces=1"
          << "=value"
          << ""
          << "="
          << "no equals at all"
          << "brd_hostname"
          << "desc\0ription=x" << QByteArray("desc\0ription=x", 14) << QByteArray("description=a\0b", 15)
          << "usb_redir_dev=1"
          << "usb_redir_dev0123=1"
          << "ds_output4_enabled=no"
          << "ds_output4_mute=no"
          << "video_output5_mode=x";
    QRandomGenerator random(1234);
    const QByteArray alphabet = "abcdefgilmnoprstuvwxz_0123456789= ";
    for (int i = 0; i < 2000; ++i) {
        QByteArray line;
        const int length = random.bounded(1, 30);
        for (int j = 0; j < length; ++j)
            line += alphabet.at(random.bounded(alphabet.size()));
        lines << line;
    }
    return lines;
}

} // namespace

class TestConfigCategories : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        config_store_reset_for_testing(QStringLiteral("/nonexistent/environment"),
                                       QStringLiteral("/nonexistent/timezone"));
    }

    // The cached per-key decision must equal running the patterns on each whole line.
    void cachedDecisionsAgreeWithPatterns()
    {
        const QList<QByteArray> lines = probeLines();
        QVERIFY(lines.size() > 5000);
        for (int pass = 0; pass < 2; ++pass) { // cold cache, then warm cache
            configcat::clearCache();
            for (const QByteArray& line : lines) {
                const int expected = configcat::lineCategoryUncached(line);
                QVERIFY2(config_line_category(line) == expected, line.constData());
                QCOMPARE(config_line_in_category(line, CATEGORY_ALL), expected >= 0);
                for (int id = 0; id < CATEGORY_SLOTS; ++id) {
                    if (id == CATEGORY_ALL)
                        continue;
                    QVERIFY2(config_line_in_category(line, id) == configcat::lineMatchesUncached(line, id),
                             QByteArray(line + " in " + QByteArray::number(id)).constData());
                }
            }
        }
    }

    void expansionsLandInTheirCategory_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("category");
        QTest::newRow("hostname first in 28") << QByteArray("brd_hostname=a") << 28;
        QTest::newRow("nic_ip in 29") << QByteArray("nic_ip=1.2.3.4") << 29;
        QTest::newRow("kbd index") << QByteArray("kbd_layout_index=29") << 34;
        QTest::newRow("usb redirections first in 18") << QByteArray("rdp_usb_redirections=x") << 18;
        QTest::newRow("usb device") << QByteArray("usb_redir_dev12=x") << 44;
        QTest::newRow("date first in 3") << QByteArray("rvx_date_year=2024") << 3;
        QTest::newRow("date month") << QByteArray("rvx_date_date=1") << 12;
        QTest::newRow("signage output") << QByteArray("ds_output2_url=http://x") << 18;
        QTest::newRow("display output 4") << QByteArray("ds_output4_mute=no") << 51;
        QTest::newRow("no category") << QByteArray("gcprint_enabled=no") << -1;
        QTest::newRow("signage protocol") << QByteArray("signage_auto_reconnect=no") << -1;
        QTest::newRow("near miss") << QByteArray("kbd_model_indexx=1") << -1;
        QTest::newRow("no equals") << QByteArray("log_level") << -1;
    }
    void expansionsLandInTheirCategory()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, category);
        QCOMPARE(config_line_category(line), category);
    }

    void cacheStaysBounded()
    {
        // Distinct keys are all kept (a weak hash would leave keys uncached).
        configcat::clearCache();
        for (int i = 0; i < 2000; ++i)
            config_line_category("rdp_usb_redir_dev" + QByteArray::number(i * 7919) + "=x");
        QCOMPARE(configcat::cacheSize(), 2000);
        configcat::clearCache();
        for (int i = 0; i < configcat::CACHE_LIMIT + 100; ++i)
            QCOMPARE(config_line_category("usb_redir_dev" + QByteArray::number(i) + "=x"), 44);
        QVERIFY(configcat::cacheSize() <= configcat::CACHE_LIMIT);
        const QByteArray longKey = "usb_redir_dev" + QByteArray(configcat::CACHED_KEY_MAX * 2, '7');
        QCOMPARE(config_line_category(longKey + "=x"), 44);
        QCOMPARE(config_line_category(longKey + "x=x"), -1);
    }

    void identityCategory()
    {
        // 72 is never part of "all": only its lines that other categories also hold count.
        QVERIFY(config_line_in_category("nic_wireless_gateway=1", 72));
        QVERIFY(!config_line_in_category("nic_dhcp_enabled=yes", 72));
        QVERIFY(!config_line_in_category("brd_hostname=x", 73));
        QVERIFY(!config_line_in_category("brd_hostname=x", -1));
    }

    void replaceCategory_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("addition");
        QTest::addColumn<int>("category");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("last line without LF kept with one")
            << QByteArray("log_level=2\npowersave=yes") << QByteArray("log_level=4\n") << 31
            << QByteArray("powersave=yes\nlog_level=4\n");
        QTest::newRow("all categories: the addition alone")
            << QByteArray("log_level=2\n") << QByteArray("x=1\n") << 55 << QByteArray("x=1\n");
        QTest::newRow("empty slot: text unchanged")
            << QByteArray("log_level=2") << QByteArray("x=1\n") << 1 << QByteArray("log_level=2");
        QTest::newRow("identity stripped, flags kept")
            << QByteArray("brd_hostname=a\nnic_ip=1.1.1.1\nnic_dhcp_enabled=no\nnic_wireless_netmask=x\nlog_"
                          "level=1\n")
            << QByteArray() << 72 << QByteArray("nic_dhcp_enabled=no\nlog_level=1\n");
        QTest::newRow("foreign lines and blank lines kept")
            << QByteArray("# note\n\nlog_level=2\nlog_level\n") << QByteArray() << 31
            << QByteArray("# note\n\nlog_level\n");
        QTest::newRow("a key the addition repeats from another category goes")
            << QByteArray("powersave=yes\npxe_server_enabled=yes\nlog_level=1\npowersaves=1\n")
            << QByteArray("powersave=no\npxe_server_enabled=no\n") << 37
            << QByteArray("log_level=1\npowersaves=1\npowersave=no\npxe_server_enabled=no\n");
        QTest::newRow("every line of the category goes")
            << QByteArray("nic_ip=1\ndns1=2\nbrd_hostname=h\npowersave=no\n") << QByteArray("dns1=9\n") << 29
            << QByteArray("powersave=no\ndns1=9\n");
    }
    void replaceCategory()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, addition);
        QFETCH(int, category);
        QFETCH(QByteArray, expected);
        const std::optional<QByteArray> result = config_text_replace_category(text, addition, category);
        QVERIFY(result);
        QCOMPARE(*result, expected);
    }

    void replaceCategoryOutOfRange()
    {
        QVERIFY(!config_text_replace_category("a=1\n", "b=2\n", 73));
        QVERIFY(!config_text_replace_category("a=1\n", "b=2\n", -1));
    }

    void getValue_data()
    {
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("value");
        const QByteArray text = "xlog_level=9\nlog_levels=8\nlog_level=a=b c\nlog_level=2\nlast=end";
        QTest::newRow("first whole-key line, value keeps = and blanks")
            << QByteArray("log_level") << text << QByteArray("a=b c");
        QTest::newRow("last line without LF") << QByteArray("last") << text << QByteArray("end");
        QTest::newRow("absent") << QByteArray("powersave") << text << QByteArray();
        QTest::newRow("prefix of a key") << QByteArray("log") << text << QByteArray();
        QTest::newRow("empty key") << QByteArray() << text << QByteArray();
        QTest::newRow("empty text") << QByteArray("log_level") << QByteArray() << QByteArray();
    }
    void getValue()
    {
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, value);
        QCOMPARE(config_text_get_value(key, text), value);
    }

    void protocolAndDiscoveryTables()
    {
        QCOMPARE(config_protocol_option_key(3, 2).value_or("none"), QByteArray("rdp_graphics_quality"));
        QCOMPARE(config_protocol_option_key(21, 23).value_or("none"), QByteArray("signage_idle_timeout"));
        for (auto [p, o] : std::initializer_list<std::pair<int, int>>{{0, 1}, {22, 1}, {1, 0}, {1, 24}})
            QVERIFY(!config_protocol_option_key(p, o));
        QCOMPARE(config_protocol_index("signage"), 21);
        QCOMPARE(config_protocol_index("hdx"), 1);
        QCOMPARE(config_protocol_index("RDP"), 0);
        QCOMPARE(config_protocol_index(""), 0);
        QCOMPARE(config_protocol_name(22), QByteArray());
        QCOMPARE(config_discovery_mode_index("dhcp"), 3);
        QCOMPARE(config_discovery_mode_index("bcast"), 0);
        QCOMPARE(config_discovery_mode_index(""), -1);
        QCOMPARE(config_discovery_mode_index("DHCP"), -1);
        QCOMPARE(config_discovery_mode_name(4), QByteArray());
        QVERIFY(configtables::defaultsTableIsConsistent());
        QCOMPARE(config_protocol_option_default(7, 11).value_or("none"), QByteArray("auto"));
        QCOMPARE(config_protocol_option_default(1, 20).value_or("none"), QByteArray());
        QVERIFY(!config_protocol_option_default(6, 20)); // netop has no server
    }

    // Every option key of the protocols the application-mode pattern names belongs to it.
    void optionKeysAreApplicationModeKeys()
    {
        for (int p = 1; p <= PROTOCOL_COUNT; ++p) {
            if (config_protocol_name(p) == "signage")
                continue;
            for (int o = 1; o <= OPTION_COUNT; ++o) {
                const QByteArray key = *config_protocol_option_key(p, o);
                QVERIFY2(config_line_in_category(key + "=x", 18), key.constData());
            }
        }
    }

    void hardwareModels_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("display");
        QTest::newRow("empty 0") << 0 << QString();
        QTest::newRow("empty 1") << 1 << QString();
        QTest::newRow("pc") << 2 << QStringLiteral("ZYLOS Desktop (PC Legacy BIOS)");
        QTest::newRow("pc compact") << 4 << QStringLiteral("ZYLOS Desktop (PC UEFI Compact)");
        QTest::newRow("alone") << 5 << QStringLiteral("ZT-100 ARM");
        QTest::newRow("alone 64") << 8 << QStringLiteral("ZT-410 ARM64");
        QTest::newRow("nuc") << 9 << QStringLiteral("ZYLOS SFF (NUC Celeron)");
        QTest::newRow("rpi") << 12 << QStringLiteral("ZYLOS RPi 4");
        QTest::newRow("rpi 400") << 13 << QStringLiteral("ZYLOS RPi 400");
        QTest::newRow("out of range") << 15 << QString();
        QTest::newRow("negative") << -1 << QString();
    }
    void hardwareModels()
    {
        QFETCH(int, index);
        QFETCH(QString, display);
        QCOMPARE(config_hardware_display_name(index), display);
        const QByteArray name = config_hardware_name(index);
        if (index >= 2 && index < HARDWARE_COUNT)
            QCOMPARE(config_hardware_index(name), index); // names are unique
    }

    void hardwareIndex()
    {
        QCOMPARE(config_hardware_index(""), 0);
        QCOMPARE(config_hardware_index("ZYL RPi 5"), 14);
        QCOMPARE(config_hardware_index("zyl rpi 5"), -1);
    }

    void namedCategoriesHavePatterns()
    {
        const NamedCategory* named = config_named_categories();
        QSet<QString> labels;
        for (int i = 0; i < NAMED_CATEGORY_COUNT; ++i) {
            QVERIFY2(!config_category_pattern(named[i].id).isEmpty(), named[i].label);
            labels << QString::fromLatin1(named[i].label);
        }
        QCOMPARE(labels.size(), NAMED_CATEGORY_COUNT);
        QCOMPARE(QString::fromLatin1(named[0].label), QStringLiteral("Application Mode"));
        QCOMPARE(named[NAMED_CATEGORY_COUNT - 1].id, 64);
        QVERIFY(config_category_pattern(55).isEmpty());
    }
};

RVX_TEST_MAIN(TestConfigCategories)
#include "test_configcategories.moc"

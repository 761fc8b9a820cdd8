#include "configlib.h"
#include "testmain.h"

#include <QTemporaryDir>

class TestConfigStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString& name, const QByteArray& content)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(content);
        return file.fileName();
    }

    void resetWith(const QByteArray& environment, const QByteArray& timezone)
    {
        config_store_reset_for_testing(writeFile("environment", environment),
                                       writeFile("timezone", timezone));
    }

    void resetWithoutFiles()
    {
        config_store_reset_for_testing(m_dir.filePath("missing-environment"),
                                       m_dir.filePath("missing-timezone"));
    }

    static QList<QByteArray> dumpKeys()
    {
        QList<QByteArray> keys;
        for (const QByteArray& line : config_store_dump().split('\n')) {
            if (!line.isEmpty())
                keys << line.left(line.indexOf('='));
        }
        return keys;
    }

private slots:
    void init() { resetWithoutFiles(); }

    void defaultsAfterInitialisation()
    {
        QCOMPARE(config_store_get("spice_color_depth"), QByteArray("32"));
        QCOMPARE(config_store_get("rdp_color_depth"), QByteArray("auto"));
        QCOMPARE(config_store_get("signage_color_depth"), QByteArray("auto"));
        QCOMPARE(config_store_get("rvx_server_mode"), QByteArray("1"));
        QCOMPARE(config_store_get("timezone"), QByteArray("Etc/UTC"));
        QCOMPARE(config_store_get("time_server"), QByteArray("pool.ntp.org"));
        QCOMPARE(config_store_get("video_output3_orientation"), QByteArray("landscape"));
        QCOMPARE(config_store_get("ras_redirect_usb"), QByteArray("off"));
        QCOMPARE(config_store_get("vmview_security"), QByteArray("https_strict"));
        const QList<QByteArray> keys = dumpKeys();
        // Empty defaults are absent; nothing without a live USB line.
        for (const char* absent :
             {"hdx_server", "connection_type", "live_usb_device", "hdx_usb_redir_denied"})
            QVERIFY2(!keys.contains(absent), absent);
        QCOMPARE(keys.first(), QByteArray("log_level"));
        QCOMPARE(keys.at(1), QByteArray("firewall_enabled"));
        // Options in table order, the colour depth after them.
        QVERIFY(keys.indexOf("rdp_idle_timeout") + 1 == keys.indexOf("rdp_color_depth"));
        QVERIFY(keys.indexOf("hdx_color_depth") < keys.indexOf("ssh_auto_reconnect"));
        QCOMPARE(keys.size(), QSet<QByteArray>(keys.begin(), keys.end()).size());
    }

    void liveUsbLineAndTimezone()
    {
        resetWith("PATH=/bin\nlive_usb_device=0781:5567\r\nlive_usb_device=second\n", "Europe/Berlin \n");
        QCOMPARE(config_store_get("live_usb_device"), QByteArray("0781:5567"));
        QCOMPARE(config_store_get("timezone"), QByteArray("Europe/Berlin"));
        const QList<QByteArray> keys = dumpKeys();
        for (const char* protocol : {"hdx", "rdp", "spice", "vmview", "ras"}) {
            const QByteArray denied = QByteArray(protocol) + "_usb_redir_denied";
            QCOMPARE(config_store_get(denied), QByteArray("0781:5567"));
            QCOMPARE(keys.indexOf(denied), keys.indexOf(QByteArray(protocol) + "_redirect_usb") + 1);
        }
        QVERIFY(!keys.contains("ssh_usb_redir_denied"));
        QVERIFY(!keys.contains("PATH"));
        // The live USB line belongs to category 43.
        QCOMPARE(config_store_collect(43).value_or("none"), QByteArray("live_usb_device=0781:5567\n"));
    }

    void emptyTimezoneFileFallsBack()
    {
        resetWith("", "\n");
        QCOMPARE(config_store_get("timezone"), QByteArray("Etc/UTC"));
    }

    void mergeRoutesByCategory_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("category");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("hostname for network")
            << QByteArray("brd_hostname=lab-1") << 29 << QByteArray("brd_hostname") << QByteArray("lab-1");
        QTest::newRow("log level for peripherals")
            << QByteArray("log_level=7") << 34 << QByteArray("log_level") << QByteArray("2");
        QTest::newRow("log level for all")
            << QByteArray("log_level=7") << 55 << QByteArray("log_level") << QByteArray("7");
        QTest::newRow("no category, for all")
            << QByteArray("my_key=1") << 55 << QByteArray("my_key") << QByteArray();
        QTest::newRow("no category, for 18")
            << QByteArray("gcprint_enabled=yes") << 18 << QByteArray("gcprint_enabled") << QByteArray("no");
        QTest::newRow("invalid category")
            << QByteArray("log_level=7") << 72 << QByteArray("log_level") << QByteArray("2");
        QTest::newRow("empty value removes")
            << QByteArray("powersave=") << 41 << QByteArray("powersave") << QByteArray();
        QTest::newRow("value keeps = and blanks")
            << QByteArray("description=a = b ") << 6 << QByteArray("description") << QByteArray("a = b ");
        QTest::newRow("later line wins")
            << QByteArray("log_level=3\nlog_level=5\n") << 31 << QByteArray("log_level") << QByteArray("5");
    }
    void mergeRoutesByCategory()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, category);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, value);
        config_store_load_text(line, category);
        QCOMPARE(config_store_get(key), value);
    }

    void emptyValueRemovesAndReplacingKeepsPlace()
    {
        config_store_load_text("description=first\nlog_level=4\n", 55);
        QCOMPARE(dumpKeys().indexOf("log_level"), 0);
        config_store_load_text("description=\n", 6);
        QCOMPARE(config_store_get("description"), QByteArray());
        QVERIFY(!dumpKeys().contains("description"));
        config_store_load_text("description=again\n", 6);
        QCOMPARE(dumpKeys().last(), QByteArray("description"));
    }

    // A value that differs only far into a long line is still a change.
    void longValuesAreComparedWhole()
    {
        const QByteArray base(3000, 'v');
        config_store_load_text("description=" + base + "1\n", 6);
        config_store_load_text("description=" + base + "2\n", 6);
        QCOMPARE(config_store_get("description"), base + "2");
    }

    void clearKeepsEntriesOfNoCategory()
    {
        config_store_set("mrl_profile_filename", "lab.cfg");
        config_store_set("my_own", "1");
        config_store_clear();
        QCOMPARE(config_store_dump(),
                 QByteArray(
                     "gcprint_enabled=no\ntimezone_index=-1\nsignage_auto_reconnect=no\nsignage_color_depth="
                     "auto\nmy_own=1\n"));
        QCOMPARE(config_store_collect(55).value_or("none"), QByteArray());
    }

    void collectInStoreOrder()
    {
        config_store_clear();
        config_store_load_text("nic_ip=10.0.0.2\nlog_level=1\ndns1=1.1.1.1\nnic_ip=10.0.0.3\n", 55);
        QCOMPARE(config_store_collect(29).value_or("none"), QByteArray("nic_ip=10.0.0.3\ndns1=1.1.1.1\n"));
        QCOMPARE(config_store_collect(55).value_or("none"),
                 QByteArray("nic_ip=10.0.0.3\nlog_level=1\ndns1=1.1.1.1\n"));
        QCOMPARE(config_store_collect(1).value_or("none"), QByteArray());
        for (int invalid : {0, -1, 72, 73, 255})
            QVERIFY(!config_store_collect(invalid));
    }

    void setRefusesWhatWouldBreakLines()
    {
        const QByteArray before = config_store_dump();
        config_store_set("mrl_profile_filename", "a\nbrd_hostname=evil");
        config_store_set("a=b", "1");
        config_store_set("a\nb", "1");
        config_store_set("", "1");
        QCOMPARE(config_store_dump(), before);
        config_store_set("mrl_profile_filename", "name with = and blanks");
        QCOMPARE(config_store_get("mrl_profile_filename"), QByteArray("name with = and blanks"));
    }

    void loadFile()
    {
        QStringList messages;
        const auto reporter = [&messages](const QString& m) { messages << m; };
        const QByteArray before = config_store_dump();
        QCOMPARE(config_store_load_file(m_dir.filePath("absent.cfg"), reporter), 1);
        QCOMPARE(config_store_load_file(m_dir.path(), reporter), 1);
        QCOMPARE(config_store_load_file(m_dir.filePath("absent.cfg")), 1);
        const QString opening = QStringLiteral("Error opening configuration file, settings not loaded");
        QCOMPARE(messages, QStringList({opening, opening}));
        QCOMPARE(config_store_dump(), before);

        const QString path = writeFile(
            "p.cfg", "\xEF\xBB\xBFlog_level=6\r\nbrd_hostname=pc 1\r\njunk\r\nother=1\r\npowersave=no");
        QCOMPARE(config_store_load_file(path, reporter), 0);
        QCOMPARE(config_store_get("log_level"), QByteArray("6"));
        QCOMPARE(config_store_get("brd_hostname"), QByteArray("pc 1"));
        QCOMPARE(config_store_get("powersave"), QByteArray("no"));
        QCOMPARE(config_store_get("other"), QByteArray());
        QCOMPARE(config_store_load_file(writeFile("empty.cfg", QByteArray())), 0);
        QCOMPARE(messages.size(), 2);
    }
};

RVX_TEST_MAIN(TestConfigStore)
#include "test_configstore.moc"

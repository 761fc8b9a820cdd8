#include "configlib.h"
#include "displayconfig.h"
#include "testmain.h"

#include <QMap>

using namespace displays;

namespace {

Settings extended()
{
    Settings s;
    s.extended = true;
    return s;
}

void place(Settings& s, int output, const char* position, int referent)
{
    s.outputs[static_cast<size_t>(output - 1)].position = QString::fromLatin1(position);
    s.outputs[static_cast<size_t>(output - 1)].referent = referent;
}

} // namespace

Q_DECLARE_METATYPE(displays::Settings)

class TestDisplayRules : public QObject
{
    Q_OBJECT

private slots:
    void versionGates_data();
    void versionGates();
    void resolutionEntries_data();
    void resolutionEntries();
    void modeSetFilter();
    void validation_data();
    void validation();
    void textAndFrame();
};

void TestDisplayRules::versionGates_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("outputs");
    QTest::addColumn<bool>("lists");
    QTest::newRow("7.9.9") << "7.9.9" << 3 << false;
    QTest::newRow("8.1.9") << "8.1.9" << 3 << false;
    QTest::newRow("8.2.0") << "8.2.0" << 3 << true;
    QTest::newRow("8.4.4") << "8.4.4" << 3 << true;
    QTest::newRow("8.4.5") << "8.4.5" << 4 << true;
    QTest::newRow("9.0.0") << "9.0.0" << 4 << true;
}

void TestDisplayRules::versionGates()
{
    QFETCH(QString, version);
    QFETCH(int, outputs);
    QFETCH(bool, lists);
    QCOMPARE(outputCount(version), outputs);
    QCOMPARE(requestsResolutions(version), lists);
}

void TestDisplayRules::resolutionEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<QString>("modeSet");
    QTest::addColumn<QString>("modeNumber");
    QTest::addColumn<bool>("automatic");
    QTest::newRow("cea") << "1920x1080 (CEA 16)"
                         << "1920x1080"
                         << "cea"
                         << "16" << false;
    QTest::newRow("dmt") << "1280x1024 (DMT 35) 60Hz"
                         << "1280x1024"
                         << "dmt"
                         << "35" << false;
    QTest::newRow("plain") << "1366x768"
                           << "1366x768"
                           << ""
                           << "" << false;
    QTest::newRow("auto with reference") << "Auto (DMT 82)"
                                         << "auto"
                                         << ""
                                         << "" << true;
    QTest::newRow("auto") << "Auto"
                          << "auto"
                          << ""
                          << "" << true;
}

void TestDisplayRules::resolutionEntries()
{
    QFETCH(QString, entry);
    QFETCH(QString, resolution);
    QFETCH(QString, modeSet);
    QFETCH(QString, modeNumber);
    QFETCH(bool, automatic);
    const Resolution r = parseResolution(entry);
    QCOMPARE(r.resolution, resolution);
    QCOMPARE(r.modeSet, modeSet);
    QCOMPARE(r.modeNumber, modeNumber);
    QCOMPARE(r.automatic, automatic);
}

void TestDisplayRules::modeSetFilter()
{
    const QStringList device = {"Auto (DMT 82)", "1920x1080 (DMT 82)", "1920x1080 (CEA 16)",
                                "1280x720 (CEA 4)", "1024x768 (DMT 16)"};
    QCOMPARE(filterForModeSet(device, 1), QStringList({"Auto", "1920x1080 (CEA 16)", "1280x720 (CEA 4)"}));
    QCOMPARE(filterForModeSet(device, 2), QStringList({"Auto", "1920x1080 (DMT 82)", "1024x768 (DMT 16)"}));
    QCOMPARE(filterForModeSet(device, 0).size(), device.size());
    QCOMPARE(filterForModeSet(device, 0).first(), QString("Auto"));
    // A list without references offers nothing to filter; one without an Auto entry gets one.
    QVERIFY(filterForModeSet(defaultResolutions(), 1).isEmpty());
    QCOMPARE(filterForModeSet({"800x600 (CEA 1)"}, 1), QStringList({"Auto", "800x600 (CEA 1)"}));
    // The stored value finds its entry, the one with the stored reference first.
    QCOMPARE(findResolution(device, "1920x1080", "cea", "16"), 2);
    QCOMPARE(findResolution(device, "1920x1080", "dmt", "82"), 1);
    QCOMPARE(findResolution(device, "1920X1080", "", ""), 1);
    QCOMPARE(findResolution(device, "2560x1440", "", ""), -1);
    // Orientation: stored portrait shows Right and goes back as portrait; landscape as normal.
    QCOMPARE(storedOrientation(shownOrientation("portrait")), QString("portrait"));
    QCOMPARE(shownOrientation("portrait"), QString("right"));
    QCOMPARE(storedOrientation(shownOrientation("landscape")), QString("normal"));
}

void TestDisplayRules::validation_data()
{
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QByteArray>("protocol");
    QTest::addColumn<QString>("problem");

    Settings s;
    QTest::newRow("clone, defaults") << s << 3 << QByteArray("rdp") << "";
    s.timeout = "-1";
    QTest::newRow("negative timeout")
        << s << 3 << QByteArray("rdp") << "\nYou must enter a valid screensaver timeout value";
    s = Settings();
    s.outputs[0].resolution = "1920x1080";
    s.outputs[1].resolution = "1280x720";
    QTest::newRow("clone, two resolutions")
        << s << 3 << QByteArray("rdp") << "\nAll outputs must use the same resolution when in clone mode";
    s.outputs[1].resolution = "1920X1080";
    s.outputs[2].resolution = "1920x1080";
    s.outputs[3].resolution = "800x600"; // not shown
    QTest::newRow("clone, one resolution") << s << 3 << QByteArray("rdp") << "";

    s = extended();
    place(s, 1, "rightof", 2);
    place(s, 2, "rightof", 1);
    QTest::newRow("cycle of two")
        << s << 3 << QByteArray("rdp")
        << "\nOutput 1 is indirectly positioned relative to itself.\n\nPlease ensure "
           "that one of your outputs uses Position = None, Referent = None.";
    s = extended();
    place(s, 1, "none", 3);
    place(s, 2, "leftof", 1);
    place(s, 3, "above", 2);
    QTest::newRow("cycle of three")
        << s << 3 << QByteArray("rdp")
        << "\nOutput 1 is indirectly positioned relative to itself.\n\nPlease ensure "
           "that one of your outputs uses Position = None, Referent = None.";
    s = extended();
    place(s, 2, "below", 0);
    QTest::newRow("position without referent")
        << s << 3 << QByteArray("rdp") << "\nInvalid referent for Output 2";
    s = extended();
    place(s, 2, "rightof", 1);
    QTest::newRow("two unpositioned")
        << s << 3 << QByteArray("rdp")
        << "\nWhen two or more outputs participate in an extended desktop layout, "
           "all but one of the outputs must be positioned relative to other "
           "outputs.\n\nPlease ensure that only one output has Position = None, "
           "Referent = None.";
    place(s, 3, "leftof", 1);
    QTest::newRow("a row") << s << 3 << QByteArray("rdp") << "";
    QTest::newRow("the fourth output shown")
        << s << 4 << QByteArray("rdp")
        << "\nWhen two or more outputs participate in an extended desktop "
           "layout, all but one of the outputs must be positioned relative "
           "to other outputs.\n\nPlease ensure that only one output has "
           "Position = None, Referent = None.";

    s = Settings();
    QTest::newRow("dsi, nothing configured")
        << s << 3 << QByteArray("dsi")
        << "\nDigital Signage configuration for Output 1 is invalid or incomplete.";
    s.signage[0].action = "browser";
    s.signage[0].duration = "30";
    s.signage[0].url = "https://intranet/lobby";
    QTest::newRow("dsi, remote web content") << s << 3 << QByteArray("dsi") << "";
    QTest::newRow("signage needs no content folder") << Settings() << 3 << QByteArray("signage") << "";
}

void TestDisplayRules::validation()
{
    QFETCH(Settings, settings);
    QFETCH(int, shown);
    QFETCH(QByteArray, protocol);
    QFETCH(QString, problem);
    QCOMPARE(validationProblem(settings, shown, protocol).value_or(QString()), problem);
}

void TestDisplayRules::textAndFrame()
{
    QMap<QByteArray, QByteArray> store;
    store["video_mode"] = "extendr";
    store["video_output1_orientation"] = "portrait";
    store["video_output2_orientation"] = "landscape";
    store["video_output2_position"] = "rightof";
    store["video_output2_referent"] = "1";
    store["video_output3_referent"] = "x"; // not a number
    store["ds_output1_source"] = "rsync://10.1.1.1/lobby";
    store["ds_output1_duration"] = "15";
    const Settings s = loadSettings([&](const QByteArray& k) { return store.value(k); });
    QCOMPARE(s.timeout, QString("20"));
    QCOMPARE(s.outputs[2].referent, 0);

    const QByteArray text = configurationText(s, "rdp");
    QVERIFY(text.startsWith(
        "video_mode=extendr\nvideo_screensaver_timeout=20\nvideo_output1_connector=auto\n"
        "video_output1_position=none\nvideo_output1_referent=0\nvideo_output1_orientation=portrait\n"));
    QVERIFY(text.contains("video_output2_position=rightof\nvideo_output2_referent=1\n"
                          "video_output2_orientation=landscape\n"));
    // Four outputs whatever the device shows; signage lines only in signage mode.
    QCOMPARE(text.count("_connector=auto\n"), 4);
    QVERIFY(text.contains("video_output4_mode_number="));
    QVERIFY(!text.contains("ds_output"));
    const QByteArray signageText = configurationText(s, "signage");
    QVERIFY(signageText.contains(
        "video_output1_mode_set=dmt\nvideo_output1_mode_number=\nds_output1_duration=15\nds_output1_mute=\n"
        "ds_output1_refresh=\nds_output1_resync=\nds_output1_source=rsync://10.1.1.1/lobby\n"
        "video_output2_connector=auto\n"));
    for (const QByteArray& l : signageText.split('\n')) {
        if (!l.isEmpty())
            QVERIFY2(config_line_in_category(l, 51), l.constData());
    }

    const QByteArray frame = legacyFrame(s);
    QCOMPARE(QByteArray(frame.left(2)), QByteArray("\x33\x01", 2));
    QCOMPARE((quint8(frame.at(2)) << 8) | quint8(frame.at(3)), frame.size() - 4);
    QVERIFY(frame.mid(4).startsWith(QByteArray("\x00\x08"
                                               "extendr\x00"
                                               "\x00\x03"
                                               "20\x00"
                                               "\x04",
                                               17)));
    QCOMPARE(auditSentence("SN9"), QString("reconfigured displays on SN9"));
}

RVX_TEST_MAIN(TestDisplayRules)
#include "test_displayrules.moc"

// The keyboard, mouse and audio rules: the built-in keyboard lists, list entries, variants and
// option groups, stored values, the firmware's audio rules, and what both agent generations
// receive (the older frame read back with the older agents' reader).

#include "configlib.h"
#include "legacy.h"
#include "peripheralsconfig.h"
#include "testmain.h"
#include "wire.h"

#include <QSet>

using namespace peripherals;
using rvx::test::bytes;

namespace {

commands::DeviceFacts device(const QString& client)
{
    commands::DeviceFacts d;
    d.serial = "SN-3";
    d.clientVersion = client;
    return d;
}

QSet<QString> codes(const QList<Entry>& list)
{
    QSet<QString> out;
    for (const Entry& e : list)
        out.insert(e.code);
    return out;
}

QByteArray valueOf(const QByteArray& text, const char* key)
{
    return config_text_get_value(key, text);
}

PeripheralsSettings sample()
{
    PeripheralsSettings s;
    s.model = "pc104";
    s.layout = "de";
    s.variant = "nodeadkeys";
    s.optionGroup = "grp";
    s.option = "grp:alt_shift_toggle";
    s.numLock = true;
    s.volume = 85;
    s.mouseSensitivity = 4;
    s.rightHanded = false;
    s.alsa = true;
    s.recordingDevice = "hw:1,0";
    s.playbackDevice = "hdmi";
    s.onScreenKeyboard = true;
    return s;
}

} // namespace

class TestPeripheralsRules : public QObject
{
    Q_OBJECT

private slots:
    void entriesSplitAtTheFirstBlank()
    {
        QCOMPARE(splitEntry("pc105 Generic 105-key PC").value_or(Entry{}),
                 (Entry{"pc105", "Generic 105-key PC"}));
        QVERIFY(!splitEntry("auto"));
        const QList<Entry> list = entries({"b Beta", "auto", "a alpha", "c Alpha"}, true);
        // Sorted by description, case-sensitively; the entry without a blank is skipped.
        QCOMPARE(list, (QList<Entry>{{"c", "Alpha"}, {"b", "Beta"}, {"a", "alpha"}}));
        QCOMPARE(entries({"b Beta", "auto", "a alpha"}, false).first().code, QString("b"));
    }

    // The built-in lists come from the X keyboard database: every entry splits, codes are
    // unique, every variant names a listed layout, every option follows a group.
    void builtInKeyboardLists()
    {
        const QList<Entry> models = entries(builtInModels(), false);
        const QList<Entry> layouts = entries(builtInLayouts(), false);
        const QList<Entry> variants = entries(builtInVariants(), false);
        QCOMPARE(models.size(), builtInModels().size());
        QCOMPARE(layouts.size(), builtInLayouts().size());
        QCOMPARE(variants.size(), builtInVariants().size());
        QCOMPARE(codes(models).size(), models.size());
        QCOMPARE(codes(layouts).size(), layouts.size());
        QVERIFY(codes(models).contains("pc105"));
        QCOMPARE(layouts.first(), (Entry{"us", "English (US)"}));
        QVERIFY(builtInVariants().contains("chr us: Cherokee"));
        const QSet<QString> layoutCodes = codes(layouts);
        for (const Entry& v : variants)
            QVERIFY2(layoutCodes.contains(variantLayout(v)), qPrintable(v.code + ' ' + v.description));

        const QList<OptionGroup> groups = optionGroups(builtInOptions());
        int options = 0;
        for (const OptionGroup& g : groups) {
            QVERIFY2(!g.options.isEmpty(), qPrintable(g.group.code));
            options += g.options.size();
        }
        QCOMPARE(groups.size() + options, builtInOptions().size());
        QCOMPARE(groups.first().group, (Entry{"grp", "Switching to another layout"}));
        QCOMPARE(groups.last().group.code, QString("terminate"));
        QCOMPARE(groupOfOption(groups, "grp:alt_shift_toggle"), QString("grp"));
        QCOMPARE(groupOfOption(groups, "caps:escape"), QString("caps"));
        QVERIFY(groupOfOption(groups, "nosuch:option").isEmpty());
    }

    void variantsOfALayout()
    {
        const QList<Entry> all = entries(builtInVariants(), false);
        const QList<Entry> us = variantsOf(all, "us");
        QVERIFY(!us.isEmpty());
        for (const Entry& v : us)
            QVERIFY(v.description.startsWith("us: "));
        QVERIFY(std::is_sorted(us.cbegin(), us.cend(),
                               [](const Entry& a, const Entry& b) { return a.description < b.description; }));
        // Variant codes repeat across layouts; each layout gets only its own.
        const QList<Entry> fr = variantsOf(all, "fr");
        QVERIFY(codes(us).contains("dvorak") && codes(fr).contains("dvorak"));
        for (const Entry& v : fr)
            QVERIFY(v.description.startsWith("fr: "));
    }

    void optionGroupsFromADevice()
    {
        const QList<OptionGroup> groups =
            optionGroups({"ctrl:nocaps Caps Lock as Ctrl", "grp Switching", "grp:toggle Right Alt", "bad",
                          "Compose_key Compose key", "compose:ralt Right Alt", "compose:menu Menu"});
        QCOMPARE(groups.size(), 2); // the option before any group is dropped
        QCOMPARE(groups.at(0).options, (QList<Entry>{{"grp:toggle", "Right Alt"}}));
        QCOMPARE(groups.at(1).options.size(), 2);
    }

    void reportedLists()
    {
        const QMap<QString, QStringList> lists{{"models", {"a A"}}, {"layout", {"us English"}}};
        QCOMPARE(reportedList(lists, {"model", "models"}).value_or(QStringList()), QStringList({"a A"}));
        QCOMPARE(reportedList(lists, {"layout", "layouts"}).value_or(QStringList()),
                 QStringList({"us English"}));
        QVERIFY(!reportedList(lists, {"variant", "variants"}));
    }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("volume");
        QTest::addColumn<int>("sensitivity");
        QTest::newRow("empty") << QByteArray() << 100 << 3;
        QTest::newRow("150") << QByteArray("150") << 100 << 3;
        QTest::newRow("0") << QByteArray("0") << 0 << 3;
        QTest::newRow("abc") << QByteArray("abc") << 100 << 3;
        QTest::newRow("5") << QByteArray("5") << 5 << 5;
        QTest::newRow("1") << QByteArray("1") << 1 << 1;
        QTest::newRow("6") << QByteArray("6") << 6 << 3;
        QTest::newRow("negative") << QByteArray("-4") << 0 << 3;
        QTest::newRow("not whole") << QByteArray("4.5") << 100 << 3;
    }
    void storedValues()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, volume);
        QFETCH(int, sensitivity);
        QCOMPARE(volumeFromStored(stored), volume);
        QCOMPARE(sensitivityFromStored(stored), sensitivity);
        QCOMPARE(storedOr("", "pc105"), QString("pc105"));
        QCOMPARE(storedOr("pc104", "pc105"), QString("pc104"));
    }

    void oldAudioFirmware_data()
    {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<bool>("old");
        QTest::newRow("4.8.3") << "4.8.3" << true;
        QTest::newRow("4.8.4") << "4.8.4" << false;
        QTest::newRow("4.8.10") << "4.8.10" << false;
        QTest::newRow("4.9.0") << "4.9.0" << true;
        QTest::newRow("4.10.5") << "4.10.5" << true;
        QTest::newRow("4.11.0") << "4.11.0" << false;
        QTest::newRow("5.0.3") << "5.0.3" << false;
        QTest::newRow("4.7.9") << "4.7.9" << true;
        QTest::newRow("unreadable") << "" << true;
    }
    void oldAudioFirmware()
    {
        QFETCH(QString, firmware);
        QFETCH(bool, old);
        QCOMPARE(oldAudio(firmware), old);
    }

    void audioScheme_data()
    {
        QTest::addColumn<bool>("isPi");
        QTest::addColumn<bool>("old");
        QTest::addColumn<QByteArray>("scheme");
        QTest::addColumn<bool>("alsa");
        QTest::addColumn<bool>("listsForAlsa");
        QTest::newRow("Pi, old audio") << true << true << QByteArray("pulse") << true << false;
        QTest::newRow("PC, old audio") << false << true << QByteArray("alsa") << false << true;
        QTest::newRow("PC, alsa") << false << false << QByteArray("alsa") << true << true;
        QTest::newRow("PC, pulse") << false << false << QByteArray("pulse") << false << false;
        QTest::newRow("PC, unset") << false << false << QByteArray() << false << false;
        QTest::newRow("Pi, pulse") << true << false << QByteArray("pulse") << false << false;
        QTest::newRow("Pi, unset") << true << false << QByteArray() << true << true;
        QTest::newRow("Pi, alsa") << true << false << QByteArray("alsa") << true << true;
    }
    void audioScheme()
    {
        QFETCH(bool, isPi);
        QFETCH(bool, old);
        QFETCH(QByteArray, scheme);
        QFETCH(bool, alsa);
        QFETCH(bool, listsForAlsa);
        QCOMPARE(startsWithAlsa(isPi, old, scheme), alsa);
        QCOMPARE(initialListsForAlsa(isPi, scheme), listsForAlsa);
    }

    void deviceLists()
    {
        QCOMPARE(entries(defaultDevices(), false), (QList<Entry>{{"auto", "Auto"}}));
        QCOMPARE(codes(entries(piPlaybackDevices(), false)),
                 QSet<QString>({"auto", "analog", "hdmi", "hdmi2"}));
        QCOMPARE(entries(piPlaybackDevices(), false).first().description, QString("Auto/USB"));
    }

    void texts()
    {
        const PeripheralsSettings s = sample();
        QCOMPARE(peripheralsText(s, false),
                 QByteArray("kbd_model=pc104\nkbd_layout=de\nkbd_variant=nodeadkeys\nkbd_optgrp=grp\n"
                            "kbd_option=grp:alt_shift_toggle\nnum_lock_enabled=yes\naudio_volume=85\n"
                            "mouse_sensitivity=4\nmouse_is_righthanded=no\naudio_scheme=alsa\n"
                            "audio_input_dev=hw:1,0\naudio_output_dev=hdmi\non_screen_kbd_enabled=yes\n"));
        QCOMPARE(peripheralsText(s, true),
                 QByteArray("kbd_model=pc104\nkbd_layout=de\nkbd_variant=nodeadkeys\nkbd_optgrp=grp\n"
                            "kbd_option=grp:alt_shift_toggle\nnum_lock_enabled=yes\naudio_volume=85\n"
                            "mouse_sensitivity=4\nmouse_is_righthanded=no\naudio_port_type=hdmi\n"
                            "on_screen_kbd_enabled=yes\n"));
        // Every line is one the peripherals category carries.
        for (bool old : {false, true}) {
            const QByteArray text = peripheralsText(s, old);
            QCOMPARE(config_message_parse(*config_message_build_text(text, 34, true)).value_or(""), text);
        }
        QCOMPARE(peripheralsSentence("SN-3"), QString("configured peripheral options for SN-3"));
    }

    void legacyFrameBytes()
    {
        PeripheralsSettings s;
        s.model = "m";
        s.layout = "l";
        s.variant = "v";
        s.option = "o";
        s.playbackDevice = "p";
        s.onScreenKeyboard = true;
        QCOMPARE(peripheralsLegacyFrame(s),
                 bytes({34, 2,  0,   56,                                                            //
                        0,  2,  'm', 0,   0,   2,   'l', 0,   0,   2,   'v', 0,   0,   2,   'o', 0, //
                        0,  0,  0,   0,   0,   0,   0,   0,   0,   0,                               //
                        0,  15, '(', 'U', 's', 'e', 'r', ' ', 'P', 'r', 'o', 'f', 'i', 'l', 'e', ')',
                        0,  0,  0,   0,   100, 0,   3,   0,   1, //
                        0,  2,  'p', 0,                          //
                        1}));
    }

    // Read back the way an older agent reports it, the frame holds the text's values.
    void legacyFrameReadsBack_data()
    {
        QTest::addColumn<bool>("old");
        QTest::newRow("old audio") << true;
        QTest::newRow("audio devices") << false;
    }
    void legacyFrameReadsBack()
    {
        QFETCH(bool, old);
        for (bool osk : {true, false}) {
            PeripheralsSettings s = sample();
            s.onScreenKeyboard = osk;
            const QByteArray frame = peripheralsLegacyFrame(s);
            const std::optional<LegacyReport> back = legacy_convert(34, 2, frame.mid(4));
            QVERIFY(back);
            const QByteArray text = peripheralsText(s, old);
            for (const char* key :
                 {"kbd_model", "kbd_layout", "kbd_variant", "kbd_option", "num_lock_enabled", "audio_volume",
                  "mouse_sensitivity", "mouse_is_righthanded", "on_screen_kbd_enabled"})
                QCOMPARE(valueOf(back->text, key), valueOf(text, key));
            QCOMPARE(valueOf(back->text, "audio_port_type"),
                     valueOf(text, old ? "audio_port_type" : "audio_output_dev"));
            QCOMPARE(valueOf(back->text, "kbd_citrix_layout"), QByteArray("(User Profile)"));
        }
    }

    void messagesByGeneration()
    {
        const PeripheralsSettings s = sample();
        const delivery::Message text = message(device("8.4.0"), s, false);
        QVERIFY(text.isText);
        QCOMPARE(text.type, msg::Type::Peripherals);
        QCOMPARE(text.bytes, peripheralsText(s, false));
        const delivery::Message frame = message(device("7.1.0"), s, true);
        QVERIFY(!frame.isText);
        QCOMPARE(frame.bytes, peripheralsLegacyFrame(s));
        QCOMPARE(frame.sentence, QString("configured peripheral options for SN-3"));
    }

    void listGates()
    {
        QVERIFY(canListKeyboardOptions(device("8.2.0")));
        QVERIFY(!canListKeyboardOptions(device("8.1.9")));
        QVERIFY(canListAudioDevices(device("8.4.0")));
        QVERIFY(!canListAudioDevices(device("8.3.9")));
    }
};

RVX_TEST_MAIN(TestPeripheralsRules)
#include "test_peripheralsrules.moc"

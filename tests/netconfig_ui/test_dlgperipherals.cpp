// The peripherals dialog: keyboard lists and their selections, the device's own lists, mouse
// and volume values, the audio scheme by firmware and device kind, the ALSA warning, the
// requests and what OK gives back.

#include "ask.h"
#include "dialogfixture.h"
#include "dlgperipherals.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>

using rvx::Ask;

namespace {

QStringList codes(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemData(i).toString();
    return out;
}

QString code(QComboBox* box)
{
    return box->currentData().toString();
}

} // namespace

class TestDlgPeripherals : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Ask::clearRecords();
        DlgPeripherals::resetAlsaWarningForTesting();
    }

    void emptyStoreOpensWithDefaults()
    {
        setStore({});
        DlgPeripherals dialog(nullptr, false, false);
        QCOMPARE(dialog.windowTitle(), QString("Keyboard, Mouse and Audio"));
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxModel")), QString("pc105"));
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxLayout")), QString("us"));
        QCOMPARE(child<QComboBox>(dialog, "cmbxVariant")->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(dialog, "cmbxVariant")->currentText(), QString("None"));
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxOptionGroup")), QString("none"));
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxOption")), QStringList({"none"}));
        QCOMPARE(child<QSlider>(dialog, "sliderVol")->value(), 100);
        QCOMPARE(child<QSlider>(dialog, "sliderMouseSens")->value(), 3);
        QVERIFY(child<QRadioButton>(dialog, "rdbtnRightHanded")->isChecked());
        QVERIFY(child<QRadioButton>(dialog, "rdbtnPulse")->isChecked());
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxAudioOutput")), QStringList({"auto"}));
        // Shown sorted by description.
        auto* layouts = child<QComboBox>(dialog, "cmbxLayout");
        for (int i = 1; i < layouts->count(); ++i)
            QVERIFY(layouts->itemText(i - 1) <= layouts->itemText(i));
    }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("volume");
        QTest::addColumn<QByteArray>("sensitivity");
        QTest::addColumn<int>("shownVolume");
        QTest::addColumn<int>("shownSensitivity");
        QTest::newRow("150 and 0") << QByteArray("150") << QByteArray("0") << 100 << 3;
        QTest::newRow("abc and abc") << QByteArray("abc") << QByteArray("abc") << 100 << 3;
        QTest::newRow("40 and 5") << QByteArray("40") << QByteArray("5") << 40 << 5;
    }
    void storedValues()
    {
        QFETCH(QByteArray, volume);
        QFETCH(QByteArray, sensitivity);
        QFETCH(int, shownVolume);
        QFETCH(int, shownSensitivity);
        setStore(
            {{"audio_volume", volume}, {"mouse_sensitivity", sensitivity}, {"mouse_is_righthanded", "no"}});
        DlgPeripherals dialog(nullptr, false, false);
        QCOMPARE(child<QSlider>(dialog, "sliderVol")->value(), shownVolume);
        QCOMPARE(child<QSlider>(dialog, "sliderMouseSens")->value(), shownSensitivity);
        QVERIFY(child<QRadioButton>(dialog, "rdbtnLeftHanded")->isChecked());
        dialog.accept();
        QCOMPARE(int(dialog.volume()), shownVolume);
        QCOMPARE(int(dialog.mouseSensitivity()), shownSensitivity);
        QVERIFY(!dialog.rightHanded());
    }

    void layoutChangeOffersItsVariants()
    {
        setStore({{"kbd_layout", "de"}, {"kbd_variant", "nodeadkeys"}});
        DlgPeripherals dialog(nullptr, false, false);
        auto* layout = child<QComboBox>(dialog, "cmbxLayout");
        auto* variant = child<QComboBox>(dialog, "cmbxVariant");
        QCOMPARE(code(variant), QString("nodeadkeys"));
        layout->setCurrentIndex(layout->findData("fr"));
        QCOMPARE(variant->itemText(0), QString("None"));
        QCOMPARE(variant->currentIndex(), 0);
        for (int i = 1; i < variant->count(); ++i) {
            QVERIFY2(variant->itemText(i).startsWith("fr: "), qPrintable(variant->itemText(i)));
            QVERIFY(variant->itemText(i - 1) <= variant->itemText(i) || i == 1);
        }
        QVERIFY(codes(variant).contains("bepo"));
    }

    void optionGroupChangeOffersItsOptions()
    {
        setStore({{"kbd_option", "caps:escape"}}); // older agents report no group
        DlgPeripherals dialog(nullptr, false, false);
        auto* group = child<QComboBox>(dialog, "cmbxOptionGroup");
        auto* option = child<QComboBox>(dialog, "cmbxOption");
        QCOMPARE(code(group), QString("caps"));
        QCOMPARE(code(option), QString("caps:escape"));
        group->setCurrentIndex(group->findData("grp"));
        QCOMPARE(option->currentIndex(), 0);
        for (const QString& c : codes(option).mid(1))
            QVERIFY(c.startsWith("grp:"));
        option->setCurrentIndex(option->findData("grp:alt_shift_toggle"));
        dialog.accept();
        QCOMPARE(dialog.optionGroup(), QString("grp"));
        QCOMPARE(dialog.option(), QString("grp:alt_shift_toggle"));
    }

    void deviceKeyboardLists()
    {
        setStore({{"kbd_model", "pc105"}, {"kbd_layout", "us"}, {"kbd_variant", "intl"}});
        DlgPeripherals dialog(nullptr, false, false);
        dialog.setKeyboardLists({{"models", {"pc105 Generic 105-key PC", "tm2030 Turbo 2030", "broken"}},
                                 {"layout", {"us English (US)", "xx Newer layout"}},
                                 {"variants", {"intl us: English (intl.)", "alt xx: Newer (alt)"}},
                                 {"options", {"grp Switching", "grp:toggle Right Alt"}}});
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxModel")), QStringList({"pc105", "tm2030"}));
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxVariant")), QString("intl"));
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxOptionGroup")), QStringList({"none", "grp"}));
        auto* layout = child<QComboBox>(dialog, "cmbxLayout");
        layout->setCurrentIndex(layout->findData("xx"));
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxVariant")), QStringList({"none", "alt"}));
    }

    // A stored value the lists lack stays selected and goes back unchanged.
    void unknownValuesKept()
    {
        setStore({{"kbd_model", "future99"},
                  {"kbd_layout", "zz"},
                  {"kbd_variant", "odd"},
                  {"audio_output_dev", "hw:2,0"},
                  {"audio_scheme", "pulse"}});
        DlgPeripherals dialog(nullptr, false, false);
        dialog.accept();
        QCOMPARE(dialog.model(), QString("future99"));
        QCOMPARE(dialog.layout(), QString("zz"));
        QCOMPARE(dialog.variant(), QString("odd"));
        QCOMPARE(dialog.playbackDevice(), QString("hw:2,0"));
    }

    void audioScheme_data()
    {
        QTest::addColumn<bool>("isPi");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QByteArray>("scheme");
        QTest::addColumn<bool>("alsa");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QStringList>("playback");
        const QStringList pi{"auto", "analog", "hdmi", "hdmi2"};
        QTest::newRow("Pi on 4.8.3: old audio")
            << true << "4.8.3" << QByteArray("pulse") << true << true << pi;
        // The stored port is not in the list: kept, not replaced by "auto".
        QTest::newRow("PC on 4.8.3: old audio")
            << false << "4.8.3" << QByteArray("alsa") << false << true << QStringList{"auto", "hdmi"};
        QTest::newRow("Pi on 4.8.4") << true << "4.8.4" << QByteArray() << true << false
                                     << QStringList{"auto"};
        QTest::newRow("PC on 4.11.0, alsa")
            << false << "4.11.0" << QByteArray("alsa") << true << false << QStringList{"auto"};
    }
    void audioScheme()
    {
        QFETCH(bool, isPi);
        QFETCH(QString, firmware);
        QFETCH(QByteArray, scheme);
        QFETCH(bool, alsa);
        QFETCH(bool, fixed);
        QFETCH(QStringList, playback);
        setStore({{"audio_scheme", scheme}, {"audio_port_type", "hdmi"}});
        const bool old = peripherals::oldAudio(firmware);
        QCOMPARE(old, fixed);
        DlgPeripherals dialog(nullptr, isPi, old);
        QCOMPARE(child<QRadioButton>(dialog, "rdbtnAlsa")->isChecked(), alsa);
        QCOMPARE(child<QRadioButton>(dialog, "rdbtnAlsa")->isEnabled(), !fixed);
        QCOMPARE(child<QRadioButton>(dialog, "rdbtnPulse")->isEnabled(), !fixed);
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxAudioOutput")), playback);
        QCOMPARE(child<QSlider>(dialog, "sliderVol")->isEnabled(), !alsa);
        // The playback device falls back to the stored audio port.
        if (playback.contains("hdmi"))
            QCOMPARE(code(child<QComboBox>(dialog, "cmbxAudioOutput")), QString("hdmi"));

        QSignalSpy keyboard(&dialog, &DlgPeripherals::getKeyboardOptions);
        QSignalSpy audio(&dialog, &DlgPeripherals::getAudioDevices);
        dialog.requestDeviceData();
        QCOMPARE(keyboard.count(), 1);
        QCOMPARE(audio.count(), old ? 0 : 1);
        if (!old)
            QCOMPARE(audio.first().first().toBool(), peripherals::initialListsForAlsa(isPi, scheme));

        dialog.accept();
        const QByteArray text = peripherals::peripheralsText(dialog.settings(), old);
        QCOMPARE(text.contains("audio_port_type="), old);
        QCOMPARE(text.contains("audio_scheme="), !old);
    }

    void alsaWarningOncePerRun()
    {
        setStore({{"audio_scheme", "pulse"}});
        for (int run = 0; run < 2; ++run) {
            DlgPeripherals dialog(nullptr, false, false);
            QSignalSpy audio(&dialog, &DlgPeripherals::getAudioDevices);
            child<QRadioButton>(dialog, "rdbtnAlsa")->setChecked(true);
            QVERIFY(!child<QSlider>(dialog, "sliderVol")->isEnabled());
            QCOMPARE(audio.count(), 1);
            QVERIFY(audio.first().first().toBool());
            child<QRadioButton>(dialog, "rdbtnPulse")->setChecked(true);
            QVERIFY(child<QSlider>(dialog, "sliderVol")->isEnabled());
            QCOMPARE(audio.count(), 2);
            QVERIFY(!audio.last().first().toBool());
            child<QRadioButton>(dialog, "rdbtnAlsa")->setChecked(true);
            dialog.accept();
            QCOMPARE(dialog.audioScheme(), QString("alsa"));
        }
        QCOMPARE(Ask::records().size(), 1);
        QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Warning));
        QCOMPARE(Ask::lastMessage().title, QString("Not Recommended"));
        QVERIFY(Ask::lastMessage().text.startsWith("\nALSA is a low-level audio implementation"));
        QVERIFY(Ask::lastMessage().text.endsWith("accessible via the <Ctrl><Alt>v keyboard shortcut."));
    }

    void deviceAudioLists()
    {
        setStore(
            {{"audio_scheme", "pulse"}, {"audio_output_dev", "hdmi-stereo"}, {"audio_input_dev", "mic2"}});
        DlgPeripherals dialog(nullptr, false, false);
        dialog.setAudioDevices({{"outputs", {"auto Auto", "analog-stereo Analog", "hdmi-stereo HDMI"}},
                                {"inputs", {"auto Auto", "mic1", "mic2 Rear microphone"}}});
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxAudioOutput")),
                 QStringList({"auto", "analog-stereo", "hdmi-stereo"}));
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxAudioOutput")), QString("hdmi-stereo"));
        // "mic1" has no description and is skipped.
        QCOMPARE(codes(child<QComboBox>(dialog, "cmbxAudioInput")), QStringList({"auto", "mic2"}));
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxAudioInput")), QString("mic2"));

        // After switching to ALSA, its devices replace PulseAudio's; the first stands in.
        child<QRadioButton>(dialog, "rdbtnAlsa")->setChecked(true);
        dialog.setAudioDevices({{"outputs", {"hw:0,0 Built-in", "hw:1,3 HDMI 0"}}});
        QCOMPARE(code(child<QComboBox>(dialog, "cmbxAudioOutput")), QString("hw:0,0"));
        dialog.accept();
        const peripherals::PeripheralsSettings s = dialog.settings();
        QVERIFY(s.alsa);
        QCOMPARE(s.playbackDevice, QString("hw:0,0"));
        QCOMPARE(s.recordingDevice, QString("mic2"));
    }

    void checksAndResults()
    {
        setStore({{"num_lock_enabled", "yes"}, {"on_screen_kbd_enabled", "yes"}});
        DlgPeripherals dialog(nullptr, false, false);
        QVERIFY(child<QCheckBox>(dialog, "chbxEnaNumLock")->isChecked());
        QVERIFY(child<QCheckBox>(dialog, "chbxEnableOSK")->isChecked());
        child<QCheckBox>(dialog, "chbxEnableOSK")->setChecked(false);
        dialog.accept();
        QVERIFY(dialog.numLock());
        QVERIFY(!dialog.onScreenKeyboard());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        DlgPeripherals other(nullptr, false, false);
        other.reject();
        QCOMPARE(other.result(), int(QDialog::Rejected));
    }
};

RVX_GUI_TEST_MAIN(TestDlgPeripherals)
#include "test_dlgperipherals.moc"

#include "ask.h"
#include "configlib.h"
#include "dlgconfiguredisplays.h"
#include "dlgsignage.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>

using rvx::Ask;

namespace {

template <typename T>
T* child(QWidget& w, const QString& name)
{
    T* c = w.findChild<T*>(name);
    if (!c)
        qFatal("no widget %s", qPrintable(name));
    return c;
}

QComboBox* combo(QWidget& w, int output, const char* column)
{
    return child<QComboBox>(w, QStringLiteral("cmbxOp%1%2").arg(output).arg(QLatin1String(column)));
}

void choose(QComboBox* box, const QString& text)
{
    const int i = box->findText(text);
    if (i < 0)
        qFatal("no entry %s", qPrintable(text));
    box->setCurrentIndex(i);
}

void load(const QByteArray& text)
{
    config_store_clear();
    config_store_load_text(text, CATEGORY_ALL);
}

displays::Device device(const char* version, int firmwareType = 2, const char* protocol = "rdp")
{
    return {QStringLiteral("SN-D"), QString::fromLatin1(version), firmwareType, QByteArray(protocol),
            "10.77.0.1"};
}

} // namespace

class TestDisplayDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Ask::clearRecords();
        config_store_clear();
    }

    void rowsAndColumns_data();
    void rowsAndColumns();
    void orientationRoundTrip();
    void primaryOnTheFourthOutputStays();
    void deviceResolutionsAndModeSets();
    void cloneResolutions();
    void refusedLayouts();
    void signageButtonsOpenTheEditor();
};

void TestDisplayDialog::rowsAndColumns_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("firmwareType");
    QTest::addColumn<QByteArray>("protocol");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("modeSet");
    QTest::addColumn<bool>("signage");
    QTest::addColumn<bool>("request");
    QTest::newRow("old agent") << "8.1.0" << 2 << QByteArray("rdp") << 3 << false << false << false;
    QTest::newRow("8.4.4") << "8.4.4" << 2 << QByteArray("rdp") << 3 << false << false << true;
    QTest::newRow("8.4.5") << "8.4.5" << 2 << QByteArray("rdp") << 4 << false << false << true;
    QTest::newRow("pi 11") << "8.4.5" << 11 << QByteArray("signage") << 4 << true << true << true;
    QTest::newRow("pi 13") << "8.4.5" << 13 << QByteArray("signage") << 4 << true << true << true;
    QTest::newRow("pi 12") << "8.4.5" << 12 << QByteArray("web") << 4 << false << false << true;
}

void TestDisplayDialog::rowsAndColumns()
{
    QFETCH(QString, version);
    QFETCH(int, firmwareType);
    QFETCH(QByteArray, protocol);
    QFETCH(int, rows);
    QFETCH(bool, modeSet);
    QFETCH(bool, signage);
    QFETCH(bool, request);
    DlgConfigureDisplays dialog(nullptr, device(version.toLatin1(), firmwareType, protocol));
    QSignalSpy asked(&dialog, &DlgConfigureDisplays::resolutionListRequested);
    for (int n = 1; n <= 4; ++n) {
        QCOMPARE(child<QRadioButton>(dialog, QStringLiteral("rdbtnPrimary%1").arg(n))->isVisibleTo(&dialog),
                 n <= rows);
        QCOMPARE(combo(dialog, n, "ModeSet")->isVisibleTo(&dialog), n <= rows && modeSet);
        QCOMPARE(
            child<QPushButton>(dialog, QStringLiteral("btnConfSignageOp%1").arg(n))->isVisibleTo(&dialog),
            n <= rows && signage);
    }
    dialog.requestDeviceLists();
    dialog.requestDeviceLists();
    QCOMPARE(asked.count(), request ? 1 : 0);
    // An empty mode set selects monitor modes.
    QCOMPARE(combo(dialog, 1, "ModeSet")->currentText(), QString("DMT (Monitor)"));
    // Whatever is shown, the text describes four outputs.
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(displays::configurationText(dialog.values(), protocol).count("_connector=auto\n"), 4);
}

void TestDisplayDialog::orientationRoundTrip()
{
    load("video_mode=extendr\nvideo_output1_orientation=portrait\nvideo_output2_orientation=landscape\n"
         "video_output2_position=rightof\nvideo_output2_referent=1\nvideo_output3_orientation=upside\n"
         "video_output3_position=below\nvideo_output3_referent=1\n");
    DlgConfigureDisplays dialog(nullptr, device("8.4.0"));
    QCOMPARE(combo(dialog, 1, "Orientation")->currentText(), QString("Right"));
    QCOMPARE(combo(dialog, 2, "Orientation")->currentText(), QString("Normal"));
    QCOMPARE(combo(dialog, 2, "Position")->currentText(), QString("Right of"));
    QCOMPARE(combo(dialog, 2, "Referent")->currentText(), QString("Output 1"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QByteArray text = displays::configurationText(dialog.values(), "rdp");
    QVERIFY(text.contains("video_output1_orientation=portrait\n"));
    QVERIFY(text.contains("video_output2_orientation=normal\n"));
    // A rotation this server does not know goes back unchanged.
    QVERIFY(text.contains("video_output3_orientation=upside\n"));
    QVERIFY(text.contains("video_mode=extendr\n"));
}

void TestDisplayDialog::primaryOnTheFourthOutputStays()
{
    load("video_output4_primary=yes\nvideo_output1_primary=no\n");
    DlgConfigureDisplays dialog(nullptr, device("8.4.5"));
    QVERIFY(child<QRadioButton>(dialog, "rdbtnPrimary4")->isChecked());
    QVERIFY(!child<QRadioButton>(dialog, "rdbtnPrimary1")->isChecked());
    dialog.accept();
    QVERIFY(dialog.values().outputs[3].primary);
    QVERIFY(!dialog.values().outputs[0].primary);

    // Below 8.4.5 the fourth output is not shown, and output 1 becomes primary.
    DlgConfigureDisplays older(nullptr, device("8.4.4"));
    QVERIFY(child<QRadioButton>(older, "rdbtnPrimary1")->isChecked());
}

void TestDisplayDialog::deviceResolutionsAndModeSets()
{
    load("video_mode=extendr\nvideo_output1_resolution=1920x1080\nvideo_output1_mode_set=cea\n"
         "video_output1_mode_number=16\nvideo_output2_position=rightof\nvideo_output2_referent=1\n"
         "video_output3_position=rightof\nvideo_output3_referent=2\nvideo_output4_position=rightof\n"
         "video_output4_referent=3\n");
    DlgConfigureDisplays dialog(nullptr, device("8.4.5", 11));
    QCOMPARE(combo(dialog, 1, "Resolution")->currentText(), QString("1920x1080"));
    QMap<QString, QStringList> lists;
    lists["1"] = QStringList{"Auto (DMT 82)", "1920x1080 (DMT 82)", "1920x1080 (CEA 16)", "1280x720 (CEA 4)",
                             "1024x768 (DMT 16)"};
    lists["9"] = QStringList{"640x480"}; // not an output
    lists["video"] = QStringList{"640x480"};
    dialog.setResolutionLists(lists);
    // The device's list, filtered for the stored mode set, keeps the stored resolution.
    QCOMPARE(dialog.resolutionEntries(1), QStringList({"Auto", "1920x1080 (CEA 16)", "1280x720 (CEA 4)"}));
    QCOMPARE(combo(dialog, 1, "Resolution")->currentText(), QString("1920x1080 (CEA 16)"));
    QCOMPARE(dialog.resolutionEntries(2), displays::defaultResolutions());
    QVERIFY(Ask::records().isEmpty());

    // Choosing monitor modes filters again, puts Auto first and warns once.
    choose(combo(dialog, 1, "ModeSet"), "DMT (Monitor)");
    QCOMPARE(dialog.resolutionEntries(1), QStringList({"Auto", "1920x1080 (DMT 82)", "1024x768 (DMT 16)"}));
    QCOMPARE(combo(dialog, 1, "Resolution")->currentText(), QString("1920x1080 (DMT 82)"));
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(Ask::lastMessage().title, QString("Mode Set Change"));
    QCOMPARE(
        Ask::lastMessage().text,
        QString(
            "\nThe full resolution list for a new Mode Set may not be available until after the device is "
            "rebooted."));
    // A resolution with a reference sets the mode set and is stored split into its parts.
    choose(combo(dialog, 1, "ModeSet"), "Auto");
    choose(combo(dialog, 1, "Resolution"), "1280x720 (CEA 4)");
    QCOMPARE(combo(dialog, 1, "ModeSet")->currentText(), QString("CEA (TV)"));
    choose(combo(dialog, 1, "Resolution"), "1920x1080 (CEA 16)");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const displays::Output& o = dialog.values().outputs[0];
    QCOMPARE(o.resolution, QString("1920x1080"));
    QCOMPARE(o.modeSet, QString("cea"));
    QCOMPARE(o.modeNumber, QString("16"));
}

void TestDisplayDialog::cloneResolutions()
{
    load("video_mode=clone\nvideo_output1_resolution=1920x1080\nvideo_output2_resolution=1280x720\n");
    DlgConfigureDisplays dialog(nullptr, device("8.4.0"));
    QVERIFY(!combo(dialog, 2, "Position")->isEnabled());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().title, QString("Invalid configuration"));
    QCOMPARE(Ask::lastMessage().text,
             QString("\nAll outputs must use the same resolution when in clone mode"));

    choose(combo(dialog, 1, "Resolution"), "1280x720");
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(combo(dialog, n, "Resolution")->currentText(), QString("1280x720"));
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.values().outputs[2].resolution, QString("1280x720"));
}

void TestDisplayDialog::refusedLayouts()
{
    DlgConfigureDisplays dialog(nullptr, device("8.4.0"));
    child<QRadioButton>(dialog, "rdbtnExtended")->setChecked(true);
    QVERIFY(combo(dialog, 2, "Position")->isEnabled());
    choose(combo(dialog, 1, "Position"), "Right of");
    choose(combo(dialog, 1, "Referent"), "Output 2");
    choose(combo(dialog, 2, "Position"), "Right of");
    choose(combo(dialog, 2, "Referent"), "Output 1");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(Ask::lastMessage().text.startsWith("\nOutput 1 is indirectly positioned relative to itself."));

    choose(combo(dialog, 1, "Position"), "None");
    QCOMPARE(combo(dialog, 1, "Referent")->currentText(), QString("None"));
    dialog.accept();
    QVERIFY(Ask::lastMessage().text.startsWith("\nWhen two or more outputs participate"));
    choose(combo(dialog, 3, "Position"), "Below");
    dialog.accept();
    QCOMPARE(Ask::lastMessage().text, QString("\nInvalid referent for Output 3"));
    choose(combo(dialog, 3, "Referent"), "Output 2");
    child<QLineEdit>(dialog, "tbxTimeout")->setText("ten");
    dialog.accept();
    QCOMPARE(Ask::lastMessage().text, QString("\nYou must enter a valid screensaver timeout value"));
    child<QLineEdit>(dialog, "tbxTimeout")->setText("0");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestDisplayDialog::signageButtonsOpenTheEditor()
{
    load("video_mode=clone\nds_output1_source=rsync://10.77.0.1/lobby\nds_output1_duration=12\n");
    DlgConfigureDisplays dialog(nullptr, device("8.4.5", 2, "signage"));
    QVERIFY(child<QPushButton>(dialog, "btnConfSignageOp1")->isEnabled());
    QVERIFY(!child<QPushButton>(dialog, "btnConfSignageOp2")->isEnabled()); // clone mode
    Ask::scriptNext([](QDialog* d) {
        QCOMPARE(d->findChild<QComboBox*>("cmbxRsyncModule")->currentText(), QString("lobby"));
        QCOMPARE(d->findChild<QSpinBox*>("sboxDuration")->value(), 12);
        d->findChild<QSpinBox*>("sboxDuration")->setValue(40);
        d->findChild<QCheckBox*>("chbxMuteAudio")->setChecked(true);
        QMetaObject::invokeMethod(d, "accept");
    });
    child<QPushButton>(dialog, "btnConfSignageOp1")->click();
    QCOMPARE(Ask::records().last().text, QString("DlgSignage"));
    dialog.accept();
    const QByteArray text = displays::configurationText(dialog.values(), "signage");
    QVERIFY(text.contains("ds_output1_duration=40\nds_output1_mute=yes\nds_output1_refresh=10\n"
                          "ds_output1_resync=10\nds_output1_source=rsync://10.77.0.1/lobby\n"));

    // dsi: an output without content is incomplete.
    config_store_clear();
    DlgConfigureDisplays dsi(nullptr, device("8.4.5", 2, "dsi"));
    dsi.accept();
    QCOMPARE(dsi.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().text,
             QString("\nDigital Signage configuration for Output 1 is invalid or incomplete."));
}

RVX_GUI_TEST_MAIN(TestDisplayDialog)
#include "test_displaydialog.moc"

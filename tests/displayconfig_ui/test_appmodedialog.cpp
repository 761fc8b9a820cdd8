#include "ask.h"
#include "configlib.h"
#include "dlgconnectiontype.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>

using rvx::Ask;
using namespace appmode;

namespace {

using rvx::test::child;

void chooseData(QComboBox* box, const QString& value)
{
    const int i = box->findData(value);
    if (i < 0)
        qFatal("no entry %s", qPrintable(value));
    box->setCurrentIndex(i);
}

void load(const QByteArray& text)
{
    config_store_clear();
    config_store_load_text(text, CATEGORY_ALL);
}

} // namespace

class TestAppModeDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        Ask::clearRecords();
        load("connection_type=rdp\n");
    }

    void widgetsFollowTheProtocol_data();
    void widgetsFollowTheProtocol();
    void switchingKeepsEdits();
    void bestQualityAsks();
    void warningsOfTheExitBehaviour();
    void windowPercent_data();
    void windowPercent();
    void unknownStoredValuesStay();
    void validation_data();
    void validation();
    void helpAndUsbSignals();
};

void TestAppModeDialog::widgetsFollowTheProtocol_data()
{
    QTest::addColumn<QString>("protocol");
    for (const auto& entry : modeList())
        QTest::newRow(config_protocol_name(entry.first).constData())
            << QString::fromLatin1(config_protocol_name(entry.first));
}

void TestAppModeDialog::widgetsFollowTheProtocol()
{
    QFETCH(QString, protocol);
    DlgConnectionType dialog(nullptr);
    chooseData(child<QComboBox>(dialog, "cmbxConxType"), protocol);
    const int p = config_protocol_index(protocol.toLatin1());
    const QList<std::pair<const char*, int>> widgets = {
        {"cmbxSubtype", Subtype},
        {"tbxHostnamePort", Server},
        {"tbxProxy", Proxy},
        {"chbxAutoLogin", AutologinEnabled},
        {"tbxUsername", AutologinUserid},
        {"tbxPassword", AutologinPassword},
        {"cmbxWindowSize", WindowSize},
        {"cmbxGraphicsQuality", GraphicsQuality},
        {"cmbxAudioQuality", AudioQuality},
        {"cmbxLatency", Latency},
        {"cmbxSecurity", Security},
        {"cmbxRedirectAudio", RedirectAudio},
        {"cmbxRedirectMic", RedirectMic},
        {"cmbxRedirectUsb", RedirectUsb},
        {"cmbxRedirectSerial", RedirectSerial},
        {"chbxKioskMode", KioskMode},
        {"cmbxExitAction", AutoReconnect},
        {"sboxIdleTimeout", IdleTimeout},
        {"tbxCmdlineArgs", CmdlineArgs},
    };
    for (const auto& w : widgets)
        QCOMPARE(child<QWidget>(dialog, w.first)->isEnabled(), hasOption(p, w.second));
    QCOMPARE(child<QCheckBox>(dialog, "chbxAutoLogin")->text(),
             p == Web ? QString("Proxy Login") : QString("Auto Login"));
    // Defaults are shown where the device has no value.
    if (hasOption(p, WindowSize))
        QCOMPARE(child<QComboBox>(dialog, "cmbxWindowSize")->currentData().toString(),
                 optionDefault(p, WindowSize));
    QVERIFY(Ask::records().isEmpty());
}

void TestAppModeDialog::switchingKeepsEdits()
{
    DlgConnectionType dialog(nullptr);
    auto* mode = child<QComboBox>(dialog, "cmbxConxType");
    QCOMPARE(mode->currentData().toString(), QString("rdp"));
    child<QLineEdit>(dialog, "tbxHostnamePort")->setText("ts1:3390");
    chooseData(child<QComboBox>(dialog, "cmbxSecurity"), "nla");
    chooseData(mode, "vnc");
    QCOMPARE(child<QLineEdit>(dialog, "tbxHostnamePort")->text(), QString());
    child<QLineEdit>(dialog, "tbxHostnamePort")->setText("vnc1");
    chooseData(mode, "rdp");
    QCOMPARE(child<QLineEdit>(dialog, "tbxHostnamePort")->text(), QString("ts1:3390"));
    QCOMPARE(child<QComboBox>(dialog, "cmbxSecurity")->currentData().toString(), QString("nla"));
    child<QPushButton>(dialog, "btnSetDefaults")->click();
    QCOMPARE(child<QComboBox>(dialog, "cmbxSecurity")->currentData().toString(), QString("auto"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxHostnamePort")->text(), QString());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.values().value(Vnc, Server), QString("vnc1"));
    QCOMPARE(dialog.values().connectionType, QByteArray("rdp"));
}

void TestAppModeDialog::bestQualityAsks()
{
    load("connection_type=vnc\nvnc_graphics_quality=high\n");
    DlgConnectionType dialog(nullptr);
    auto* quality = child<QComboBox>(dialog, "cmbxGraphicsQuality");
    Ask::answerNext(QMessageBox::No);
    chooseData(quality, "best");
    QCOMPARE(quality->currentData().toString(), QString("high"));
    QCOMPARE(Ask::lastMessage().title, QString("Selection may degrade performance"));
    QCOMPARE(Ask::lastMessage().defaultButton, QMessageBox::No);
    Ask::answerNext(QMessageBox::Yes);
    chooseData(quality, "best");
    QCOMPARE(quality->currentData().toString(), QString("best"));
    QCOMPARE(Ask::records().size(), 2);
}

void TestAppModeDialog::warningsOfTheExitBehaviour()
{
    DlgConnectionType dialog(nullptr);
    auto* exit = child<QComboBox>(dialog, "cmbxExitAction");
    chooseData(exit, "shutdown");
    chooseData(exit, "no");
    chooseData(exit, "shutdown");
    chooseData(exit, "yes");
    QStringList titles;
    for (const Ask::Record& r : Ask::records())
        titles << r.title;
    QCOMPARE(titles, QStringList({"Automatic Shutdown ", "Automatic Application Restart "}));
    // A device loaded with Shutdown warns nobody.
    Ask::clearRecords();
    load("connection_type=rdp\nrdp_auto_reconnect=shutdown\n");
    DlgConnectionType loaded(nullptr);
    QCOMPARE(child<QComboBox>(loaded, "cmbxExitAction")->currentText(), QString("Shutdown"));
    QVERIFY(Ask::records().isEmpty());
}

void TestAppModeDialog::windowPercent_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("sent");
    QTest::newRow("0") << QByteArray("0") << "80";
    QTest::newRow("101") << QByteArray("101") << "80";
    QTest::newRow("55") << QByteArray("55") << "55";
}

void TestAppModeDialog::windowPercent()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, sent);
    load("connection_type=ssh\nssh_window_size=auto\nssh_window_percent=" + stored + "\n");
    DlgConnectionType dialog(nullptr);
    QVERIFY(!child<QSpinBox>(dialog, "sboxWindowPercentage")->isEnabled());
    chooseData(child<QComboBox>(dialog, "cmbxWindowSize"), "percentage");
    QVERIFY(child<QSpinBox>(dialog, "sboxWindowPercentage")->isEnabled());
    dialog.accept();
    QCOMPARE(dialog.values().value(Ssh, WindowPercent), sent);
}

void TestAppModeDialog::unknownStoredValuesStay()
{
    load("connection_type=rdp\nrdp_security=tls13\nrdp_subtype=avc444\nrdp_redirect_video=gstreamer\n"
         "hdx_latency=odd\n");
    DlgConnectionType dialog(nullptr);
    QCOMPARE(child<QComboBox>(dialog, "cmbxSecurity")->currentText(), QString("tls13"));
    dialog.accept();
    const QByteArray text = configurationText(dialog.values());
    QVERIFY(text.contains("rdp_security=tls13\n"));
    QVERIFY(text.contains("rdp_subtype=avc444\n"));
    QVERIFY(text.contains("rdp_redirect_video=gstreamer\n"));

    // A mode this list does not offer stays chosen and is sent back.
    load("connection_type=netop\n");
    DlgConnectionType old(nullptr);
    QCOMPARE(old.protocolName(), QByteArray("netop"));
    old.accept();
    QVERIFY(configurationText(old.values()).startsWith("connection_type=netop\n"));
}

void TestAppModeDialog::validation_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("autologin");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("url")
        << "rdp"
        << "rdp://ts1" << false << ""
        << ""
        << "\nServer/Broker[:Port] is not valid\n(hostname and optional port number only - do not "
           "enter a URL here)";
    QTest::newRow("host:port") << "rdp"
                               << "ts1:3390" << false << ""
                               << ""
                               << "";
    QTest::newRow("vnc password alone") << "vnc"
                                        << "vnc1" << true << ""
                                        << "pw"
                                        << "";
    QTest::newRow("rdp without user") << "rdp"
                                      << "ts1" << true << ""
                                      << "pw"
                                      << "\nFor the selected access protocol, username field cannot be empty";
    QTest::newRow("password outside latin-1")
        << "rdp"
        << "ts1" << true << "bob" << QString::fromUtf8("\xE2\x82\xAC")
        << "\nThe password may only contain characters of the Latin-1 (Western European) character set.";
}

void TestAppModeDialog::validation()
{
    QFETCH(QString, protocol);
    QFETCH(QString, server);
    QFETCH(bool, autologin);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    DlgConnectionType dialog(nullptr);
    chooseData(child<QComboBox>(dialog, "cmbxConxType"), protocol);
    child<QLineEdit>(dialog, "tbxHostnamePort")->setText(server);
    child<QCheckBox>(dialog, "chbxAutoLogin")->setChecked(autologin);
    child<QLineEdit>(dialog, "tbxUsername")->setText(user);
    child<QLineEdit>(dialog, "tbxPassword")->setText(password);
    dialog.accept();
    if (message.isEmpty()) {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.values().value(config_protocol_index(protocol.toLatin1()), AutologinPassword),
                 password);
        return;
    }
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().title, QString("Invalid settings"));
    QCOMPARE(Ask::lastMessage().text, message);
}

void TestAppModeDialog::helpAndUsbSignals()
{
    load("connection_type=rdp\nrdp_redirect_usb=off\n");
    DlgConnectionType dialog(nullptr);
    QSignalSpy help(&dialog, &DlgConnectionType::onGetModeHelp);
    QSignalSpy usb(&dialog, &DlgConnectionType::enumerateUsb);
    child<QPushButton>(dialog, "btnGetRemoteHelp")->click();
    QCOMPARE(help.count(), 1);
    QCOMPARE(help.first().first().toInt(), int(Rdp));
    QVERIFY(!child<QPushButton>(dialog, "btnShowUsbRedirs")->isEnabled());
    chooseData(child<QComboBox>(dialog, "cmbxRedirectUsb"), "manual");
    child<QPushButton>(dialog, "btnShowUsbRedirs")->click();
    QCOMPARE(usb.count(), 1);
    dialog.showModeHelp("usage: the remote desktop client [options]");
    QCOMPARE(Ask::records().last().kind, Ask::Kind::Dialog);
    QCOMPARE(Ask::records().last().text, QString("DlgTextViewer"));
}

RVX_GUI_TEST_MAIN(TestAppModeDialog)
#include "test_appmodedialog.moc"

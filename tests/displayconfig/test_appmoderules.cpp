#include "appmode.h"
#include "configlib.h"
#include "legacy.h"
#include "testmain.h"

#include <QMap>

using namespace appmode;

namespace {

// A configuration store of the test's own.
struct Store
{
    QMap<QByteArray, QByteArray> values;
    StoreGetter getter() const
    {
        return [this](const QByteArray& key) { return values.value(key); };
    }
};

QList<QByteArray> lines(const QByteArray& text)
{
    QList<QByteArray> out = text.split('\n');
    if (!out.isEmpty() && out.last().isEmpty())
        out.removeLast();
    return out;
}

QByteArray valueOf(const QByteArray& text, const QByteArray& key)
{
    for (const QByteArray& l : lines(text)) {
        if (l.startsWith(key + '='))
            return l.mid(key.size() + 1);
    }
    return "<absent>";
}

} // namespace

class TestAppModeRules : public QObject
{
    Q_OBJECT

private slots:
    void everyDefaultIsOffered();
    void windowPercent_data();
    void windowPercent();
    void validation_data();
    void validation();
    void percentEncodingEncodesEveryByte();
    void proxyLinesOnlyForWeb();
    void textHoldsEveryProtocolAndKeepsUnknownValues();
    void legacyFrameReadsBack();
};

void TestAppModeRules::everyDefaultIsOffered()
{
    // A default the combo box does not list would be shown as an extra entry on every device.
    for (int p = 1; p <= ProtocolCount; ++p) {
        for (int o = 1; o <= OptionCount; ++o) {
            const QList<Choice> list = choices(p, o);
            if (list.isEmpty() || optionDefault(p, o).isEmpty())
                continue;
            bool found = false;
            for (const Choice& c : list)
                found = found || c.value == optionDefault(p, o);
            QVERIFY2(found, qPrintable(QString::fromLatin1(*config_protocol_option_key(p, o))));
        }
    }
    QCOMPARE(modeList().size(), 19);
}

void TestAppModeRules::windowPercent_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("shown");
    QTest::newRow("zero") << "0" << 80;
    QTest::newRow("above 100") << "101" << 80;
    QTest::newRow("one") << "1" << 1;
    QTest::newRow("hundred") << "100" << 100;
    QTest::newRow("text") << "half" << 80;
    QTest::newRow("empty") << "" << 80;
}

void TestAppModeRules::windowPercent()
{
    QFETCH(QString, stored);
    QFETCH(int, shown);
    QCOMPARE(appmode::windowPercent(stored), shown);
}

void TestAppModeRules::validation_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("proxy");
    QTest::addColumn<bool>("autologin");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("problem"); // start of the message; empty: accepted

    QTest::newRow("host and port") << int(Rdp) << "ts1.example.lan:3390"
                                   << "" << false << ""
                                   << ""
                                   << "";
    QTest::newRow("url in server") << int(Rdp) << "https://ts1"
                                   << "" << false << ""
                                   << ""
                                   << "\nServer/Broker[:Port] is not valid";
    QTest::newRow("url in proxy") << int(Hdx) << "sf"
                                  << "http://gw:8080" << false << ""
                                  << ""
                                  << "\nGateway/Proxy[:Port] is not valid";
    QTest::newRow("vnc password alone") << int(Vnc) << "vnc1"
                                        << "" << true << ""
                                        << "pw"
                                        << "";
    QTest::newRow("spice password alone") << int(Spice) << "spice1"
                                          << "" << true << ""
                                          << "pw"
                                          << "";
    QTest::newRow("rdp needs user") << int(Rdp) << "ts1"
                                    << "" << true << ""
                                    << "pw"
                                    << "\nFor the selected access protocol, username field cannot be empty";
    QTest::newRow("password needed") << int(Vnc) << "vnc1"
                                     << "" << true << ""
                                     << ""
                                     << "\nPassword field cannot be empty";
    QTest::newRow("no autologin, no user") << int(Rdp) << "ts1"
                                           << "" << false << ""
                                           << ""
                                           << "";
}

void TestAppModeRules::validation()
{
    QFETCH(int, protocol);
    QFETCH(QString, server);
    QFETCH(QString, proxy);
    QFETCH(bool, autologin);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, problem);
    const std::optional<QString> found =
        validationProblem(protocol, server, proxy, autologin, user, password);
    if (problem.isEmpty()) {
        QVERIFY2(!found, qPrintable(found.value_or(QString())));
        return;
    }
    QVERIFY(found);
    QVERIFY2(found->startsWith(problem), qPrintable(*found));
}

void TestAppModeRules::percentEncodingEncodesEveryByte()
{
    // Letters, digits and the unreserved marks are encoded too, and so is each byte of a
    // character that takes two in UTF-8.
    QCOMPARE(percentEncoded(QStringLiteral("aZ9-._~")), QByteArray("%61%5A%39%2D%2E%5F%7E"));
    QCOMPARE(percentEncoded(QString::fromUtf8("p@ss:\xC3\xA9")), QByteArray("%70%40%73%73%3A%C3%A9"));
    QCOMPARE(proxyUrl("gw:3128", "bob", "pw"), QByteArray("http://%62%6F%62:%70%77@gw:3128"));
    QCOMPARE(proxyUrl("gw:3128", "bob", ""), QByteArray("http://gw:3128"));
    QCOMPARE(proxyUrl("", "bob", "pw"), QByteArray());
}

void TestAppModeRules::proxyLinesOnlyForWeb()
{
    Store store;
    store.values["connection_type"] = "web";
    store.values["web_proxy"] = "gw:3128";
    store.values["rdp_proxy"] = "rdgw:443";
    store.values["web_autologin_userid"] = "u";
    store.values["web_autologin_password"] = QByteArray("p").toBase64();
    const QByteArray text = configurationText(loadSettings(store.getter()));
    const QByteArray url = "http://%75:%70@gw:3128";
    const QByteArray expected =
        "web_proxy=gw:3128\nftp_proxy=" + url + "\nhttp_proxy=" + url + "\nhttps_proxy=" + url + "\n";
    QVERIFY(text.contains(expected));
    QCOMPARE(text.count("_proxy="), ProtocolCount + 3); // every protocol's line, the URL lines once
    QCOMPARE(valueOf(text, "rdp_proxy"), QByteArray("rdgw:443"));

    store.values.remove("web_proxy");
    const QByteArray without = configurationText(loadSettings(store.getter()));
    QCOMPARE(valueOf(without, "http_proxy"), QByteArray("<absent>"));
}

void TestAppModeRules::textHoldsEveryProtocolAndKeepsUnknownValues()
{
    Store store;
    store.values["connection_type"] = "rdp";
    store.values["rdp_security"] = "tls13";          // a value a newer agent knows
    store.values["rdp_autologin_password"] = "cMOp"; // Base64 of "pé" in UTF-8
    store.values["hdx_server"] = "sf.example.lan";
    const Settings settings = loadSettings(store.getter());
    QCOMPARE(settings.protocol(), int(Rdp));
    const QByteArray text = configurationText(settings);
    const QList<QByteArray> all = lines(text);
    QCOMPARE(all.size(), 1 + ProtocolCount * OptionCount);
    QCOMPARE(all.first(), QByteArray("connection_type=rdp"));
    // Every protocol, every option, in table order.
    int i = 1;
    for (int p = 1; p <= ProtocolCount; ++p) {
        for (int o = 1; o <= OptionCount; ++o)
            QVERIFY(all.at(i++).startsWith(*config_protocol_option_key(p, o) + '='));
    }
    QCOMPARE(valueOf(text, "rdp_security"), QByteArray("tls13"));
    QCOMPARE(valueOf(text, "hdx_server"), QByteArray("sf.example.lan"));
    QCOMPARE(valueOf(text, "vmview_security"), QByteArray("https_strict")); // a default
    QCOMPARE(valueOf(text, "netop_graphics_quality"), QByteArray(""));      // not an option of netop
    // The password is decoded on loading and sent as the Base64 of its Latin-1 bytes.
    QCOMPARE(settings.value(Rdp, AutologinPassword), QString::fromUtf8("p\xC3\xA9"));
    QCOMPARE(valueOf(text, "rdp_autologin_password"), QString::fromUtf8("p\xC3\xA9").toLatin1().toBase64());
    // Every line belongs to the application mode category (whose pattern names no options of
    // the signage protocol).
    for (const QByteArray& l : all) {
        if (!l.startsWith("signage_"))
            QVERIFY2(config_line_in_category(l, 18), l.constData());
    }
}

void TestAppModeRules::legacyFrameReadsBack()
{
    Store store;
    store.values["connection_type"] = "ssh";
    store.values["ssh_server"] = "host7";
    store.values["ssh_autologin_enabled"] = "yes";
    store.values["ssh_auto_reconnect"] = "shutdown";
    store.values["ssh_cmdline_args"] = "-X";
    const QByteArray frame = legacyFrame(loadSettings(store.getter()));
    QCOMPARE(quint8(frame.at(0)), quint8(18));
    QCOMPARE(quint8(frame.at(1)), quint8(6));
    QCOMPARE((quint8(frame.at(2)) << 8) | quint8(frame.at(3)), frame.size() - 4);
    const std::optional<LegacyReport> report = legacy_convert(18, 6, frame.mid(4));
    QVERIFY(report);
    QCOMPARE(report->text, QByteArray("connection_type=ssh\nssh_server=host7\nssh_auto_reconnect=yes\n"
                                      "ssh_autologin_enabled=yes\nssh_cmdline_args=-X\n"));
    QCOMPARE(int(*report->protocolType), int(Ssh));
    QCOMPARE(auditSentence("SN1", "ssh"), QString("configured SN1 for ssh mode"));
}

RVX_TEST_MAIN(TestAppModeRules)
#include "test_appmoderules.moc"

// Installing files on devices: the refusals of the dialog's OK in their order, the head of the
// install-file message (its length counting the body that is streamed after it), the SSH key
// normalisation, the Raspberry Pi configuration and the log retrieval messages.

#include "install.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace upgrade;
using rvx::test::bytes;
using rvx::test::readRaw;
using rvx::test::writeRaw;

namespace {

QByteArray lp(const QByteArray& text)
{
    return bytes({(text.size() + 1) >> 8, (text.size() + 1) & 0xFF}) + text + QByteArray(1, '\0');
}

QByteArray u32(quint32 v)
{
    return bytes({int(v >> 24), int((v >> 16) & 0xFF), int((v >> 8) & 0xFF), int(v & 0xFF)});
}

} // namespace

class TestInstallRules : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data();
    void refusals();
    void names_data();
    void names();
    void headBytes_data();
    void headBytes();
    void headRefusals();
    void sshKey_data();
    void sshKey();
    void prepareSshKey();
    void prepareOtherKinds();
    void piConfig();
    void logRetrieval();

private:
    QTemporaryDir m_dir;
};

void TestInstallRules::refusals_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("file");    // name below the test folder ("" for an empty path)
    QTest::addColumn<QString>("content"); // data, empty, folder, link, missing, huge, limit, ovpn:<text>
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("confirmed"); // the OpenVPN question was answered Yes
    QTest::addColumn<QString>("title");  // "" for no refusal
    QTest::addColumn<QString>("text");   // %1 stands for the path

    const QString latin = QString::fromUtf8("\xe2\x82\xac"); // the euro sign has no Latin-1 byte
    QTest::newRow("no kind") << 0 << "a.crt"
                             << "data"
                             << "" << false << "Missing Data"
                             << "\nPlease select an installation type!";
    QTest::newRow("bundle without password") << 5 << "b.pfx"
                                             << "data"
                                             << "" << false << "Missing Data"
                                             << "\nYou must enter a password for decrypting the file.";
    QTest::newRow("bundle password not Latin-1")
        << 5 << "b.pfx"
        << "data" << (QString("pa") + latin) << false << "Invalid Password"
        << "\nThe password may only contain characters of the Latin-1 (Western European) character set.";
    QTest::newRow("bundle password before path") << 5 << ""
                                                 << "data"
                                                 << "" << false << "Missing Data"
                                                 << "\nYou must enter a password for decrypting the file.";
    QTest::newRow("empty path") << 1 << ""
                                << "data"
                                << "" << false << "Missing Data"
                                << "\nPlease select a file to install on device.";
    QTest::newRow("missing") << 1 << "gone.crt"
                             << "missing"
                             << "" << false << "Invalid File"
                             << "\n%1 does not exist!";
    QTest::newRow("folder") << 1 << "dir.crt"
                            << "folder"
                            << "" << false << "Invalid File"
                            << "\n%1 is not an ordinary file.";
    QTest::newRow("symbolic link") << 1 << "link.crt"
                                   << "link"
                                   << "" << false << "Invalid File"
                                   << "\n%1 is not an ordinary file.";
    QTest::newRow("empty file") << 4 << "wall.png"
                                << "empty"
                                << "" << false << "Invalid File"
                                << "\n%1 does not contain any data.";
    QTest::newRow("over 4000000000 bytes") << 4 << "huge.png"
                                           << "huge"
                                           << "" << false << "Invalid File"
                                           << "\n%1 is too large (max 4 GB allowed).";
    QTest::newRow("exactly 4000000000 bytes") << 4 << "limit.png"
                                              << "limit"
                                              << "" << false << ""
                                              << "";
    QTest::newRow("space in name")
        << 2 << "report 2.pdf"
        << "data"
        << "" << false << "Invalid Filename"
        << "\nThe filename report 2.pdf is invalid. It may contain only ASCII letters "
           "and numbers, underscore, period, comma, hyphen and colon.";
    QTest::newRow("every allowed character") << 2 << "a_b-c.1,2:3"
                                             << "data"
                                             << "" << false << ""
                                             << "";
    QTest::newRow("accented name") << 6 << QString::fromLatin1("caf\xe9.html") << "data"
                                   << "" << false << "Invalid Filename"
                                   << QString::fromLatin1(
                                          "\nThe filename caf\xe9.html is invalid. It may contain "
                                          "only ASCII letters and numbers, underscore, period, "
                                          "comma, hyphen and colon.");
    const QString ovpnQuestion =
        "\n%1 does not contain a CA certificate, a client certificate, and a private key.  "
        "It doesn't seem likely that this will work.\n\nInstall file anyway?";
    QTest::newRow("ovpn without cert") << 7 << "vpn.ovpn"
                                       << "ovpn:<ca>x</ca><key>y</key>"
                                       << "" << false << "Missing Certificates and Keys" << ovpnQuestion;
    QTest::newRow("ovpn without cert, confirmed") << 7 << "vpn.ovpn"
                                                  << "ovpn:<ca>x</ca><key>y</key>"
                                                  << "" << true << ""
                                                  << "";
    QTest::newRow("ovpn complete") << 7 << "full.ovpn"
                                   << "ovpn:<key>\n<cert>\n<ca>"
                                   << "" << false << ""
                                   << "";
    // The check reads the file in pieces: a tag across a piece boundary still counts.
    QTest::newRow("ovpn tag across pieces") << 7 << "split.ovpn"
                                            << "ovpn-split"
                                            << "" << false << ""
                                            << "";
    QTest::newRow("ovpn question before the name")
        << 7 << "my vpn.ovpn"
        << "ovpn:client"
        << "" << false << "Missing Certificates and Keys" << ovpnQuestion;
    QTest::newRow("other kinds not checked for tags") << 1 << "plain.ovpn"
                                                      << "ovpn:client"
                                                      << "" << false << ""
                                                      << "";
}

void TestInstallRules::refusals()
{
    QFETCH(int, kind);
    QFETCH(QString, file);
    QFETCH(QString, content);
    QFETCH(QString, password);
    QFETCH(bool, confirmed);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const QString path = file.isEmpty() ? QString() : m_dir.filePath(QTest::currentDataTag()) + "/" + file;
    if (!path.isEmpty()) {
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        if (content == "data") {
            writeRaw(path, "some bytes");
        } else if (content == "empty") {
            writeRaw(path, QByteArray());
        } else if (content == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else if (content == "link") {
            writeRaw(path + ".target", "target");
            QVERIFY(QFile::link(path + ".target", path));
        } else if (content == "huge" || content == "limit") {
            QFile sparse(path);
            QVERIFY(sparse.open(QIODevice::WriteOnly));
            QVERIFY(sparse.resize(content == "huge" ? MaxInstallSize + 1 : MaxInstallSize));
        } else if (content == "ovpn-split") {
            QByteArray data = "<ca>x</ca><key>y</key>" + QByteArray(1024 * 1024 - 24, ' ') + "<cert>z</cert>";
            QCOMPARE(data.indexOf("<cert>"), 1024 * 1024 - 2);
            writeRaw(path, data);
        } else if (content.startsWith("ovpn:")) {
            writeRaw(path, content.mid(5).toLatin1());
        }
    }

    const auto box = installRefusal(InstallInput{kind, path, password}, confirmed);
    QCOMPARE(box ? box->title : QString(), title);
    QCOMPARE(box ? box->text : QString(), text.contains("%1") ? text.arg(path) : text);
    if (box && title == "Missing Certificates and Keys") {
        QCOMPARE(int(box->kind), int(Box::Kind::Question));
        QVERIFY(!box->defaultYes);
    } else if (box) {
        QCOMPARE(int(box->kind), int(Box::Kind::Critical));
    }
}

void TestInstallRules::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("allowed") << "Az09_.,-:" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("space") << "a b" << false;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("semicolon") << "a;b" << false;
    QTest::newRow("Latin-1 letter") << QString::fromLatin1("\xe9") << false;
    QTest::newRow("control") << "a\nb" << false;
}

void TestInstallRules::names()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(validInstallName(name), valid);
}

void TestInstallRules::headBytes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("password");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QByteArray>("expected");
    // Kind 5: the password's lp-string comes before the name's.
    QTest::newRow("bundle with password")
        << 5 << "pw" << qint64(10)
        << bytes({38, 1}) + u32(1 + 5 + 11 + 4 + 10) + bytes({5}) + lp("pw") + lp("cert.p12") + u32(10);
    // Other kinds carry no password string at all, whatever the field held.
    QTest::newRow("certificate without password")
        << 1 << "ignored" << qint64(10)
        << bytes({38, 1}) + u32(1 + 11 + 4 + 10) + bytes({1}) + lp("cert.p12") + u32(10);
    // Sizes beyond 2 GiB are unsigned 32-bit numbers in both fields.
    QTest::newRow("three gigabytes") << 4 << "" << qint64(3000000000LL)
                                     << bytes({38, 1}) + u32(quint32(1 + 11 + 4 + 3000000000LL)) +
                                            bytes({4}) + lp("cert.p12") + u32(3000000000u);
}

void TestInstallRules::headBytes()
{
    QFETCH(int, kind);
    QFETCH(QString, password);
    QFETCH(qint64, size);
    QFETCH(QByteArray, expected);
    const auto head = installFileHead(kind, "cert.p12", password, size);
    QVERIFY(head);
    QCOMPARE(*head, expected);
}

void TestInstallRules::headRefusals()
{
    QVERIFY(!installFileHead(1, "report 2.pdf", QString(), 1));
    QVERIFY(!installFileHead(1, "a.pdf", QString(), MaxInstallSize + 1));
    QVERIFY(!installFileHead(5, "a.p12", QString::fromUtf8("\xe2\x82\xac"), 1));
    QVERIFY(!installFileHead(5, "a.p12", QString(70000, 'p'), 1));
    QVERIFY(installFileHead(1, "a.pdf", QString::fromUtf8("\xe2\x82\xac"), 1)); // not sent, not checked
    QVERIFY(installFileHead(4, "a.png", QString(), MaxInstallSize));
}

void TestInstallRules::sshKey_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("normalised");
    QTest::newRow("Windows endings, no final newline")
        << QByteArray("ssh-rsa AAA a@b\r\nssh-ed25519 BBB c@d")
        << QByteArray("ssh-rsa AAA a@b\nssh-ed25519 BBB c@d\n");
    QTest::newRow("already clean") << QByteArray("ssh-rsa AAA\n") << QByteArray("ssh-rsa AAA\n");
    QTest::newRow("final CR LF") << QByteArray("ssh-rsa AAA\r\n") << QByteArray("ssh-rsa AAA\n");
    QTest::newRow("lone CR") << QByteArray("ssh-rsa\rAAA") << QByteArray("ssh-rsaAAA\n");
}

void TestInstallRules::sshKey()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, normalised);
    QCOMPARE(normaliseSshKey(key), normalised);
}

void TestInstallRules::prepareSshKey()
{
    QTemporaryDir temp;
    const QString source = m_dir.filePath("id_rsa.pub");
    writeRaw(source, "ssh-rsa AAAA admin@host\r\n\r\nssh-ed25519 BBBB x@y");
    // A password entered for another kind never travels.
    InstallPreparation prepared = prepareInstall(InstallInput{3, source, "secret"}, temp.path());
    QVERIFY(!prepared.box);
    QVERIFY(prepared.plan);
    const InstallPlan plan = *prepared.plan;
    const QByteArray body = "ssh-rsa AAAA admin@host\n\nssh-ed25519 BBBB x@y\n";
    QCOMPARE(readRaw(plan.bodyPath), body);
    QCOMPARE(plan.size, qint64(body.size()));
    QCOMPARE(QFileInfo(plan.bodyPath).absolutePath(), QFileInfo(temp.path()).absoluteFilePath());
    QCOMPARE(plan.name, QFileInfo(plan.bodyPath).fileName());
    QVERIFY(validInstallName(plan.name));
    QCOMPARE(plan.head, *installFileHead(3, plan.name, QString(), body.size()));
    QCOMPARE(readRaw(source), QByteArray("ssh-rsa AAAA admin@host\r\n\r\nssh-ed25519 BBBB x@y"));

    // The temporary file lives as long as anything holds the plan's keepAlive.
    const QString tempPath = plan.bodyPath;
    std::shared_ptr<void> stream = plan.keepAlive;
    prepared = InstallPreparation();
    QVERIFY(QFile::exists(tempPath));
    stream.reset();
    QVERIFY(QFile::exists(tempPath)); // `plan` still holds it
}

void TestInstallRules::prepareOtherKinds()
{
    const QString source = m_dir.filePath("bundle.p12");
    writeRaw(source, QByteArray(1000, 'b'));
    const InstallPreparation prepared = prepareInstall(InstallInput{5, source, "pw"}, QString());
    QVERIFY(prepared.plan);
    QCOMPARE(prepared.plan->bodyPath, QFileInfo(source).absoluteFilePath());
    QCOMPARE(prepared.plan->name, QString("bundle.p12"));
    QCOMPARE(prepared.plan->size, qint64(1000));
    QCOMPARE(prepared.plan->head, *installFileHead(5, "bundle.p12", "pw", 1000));
    QVERIFY(!prepared.plan->keepAlive);

    // The file is measured again after the dialog: one emptied or removed since is refused.
    writeRaw(source, QByteArray());
    QCOMPARE(prepareInstall(InstallInput{5, source, "pw"}, QString()).box->text,
             "\n" + source + " does not contain any data.");
    QFile::remove(source);
    QCOMPARE(prepareInstall(InstallInput{5, source, "pw"}, QString()).box->text,
             "\n" + source + " does not exist!");
}

void TestInstallRules::piConfig()
{
    const auto message = piConfigInstallMessage("dtoverlay=vc4\nhdmi_force_hotplug=1\n");
    QVERIFY(message);
    const QByteArray body = "dtoverlay=vc4\nhdmi_force_hotplug=1\n";
    QCOMPARE(*message, bytes({38, 1}) + u32(1 + lp("config.txt").size() + 4 + body.size()) + bytes({10}) +
                           lp("config.txt") + u32(body.size()) + body);
    const QString foreign = QString::fromUtf8("# \xe2\x82\xac\n");
    QVERIFY(!piConfigInstallMessage(foreign));
    QVERIFY(piConfigTextBox(foreign));
    QVERIFY(!piConfigTextBox(QString::fromLatin1("# caf\xe9\n")));
    QCOMPARE(notRaspberryPiBox().text, QString("This device is not a Raspberry Pi."));
    QCOMPARE(piConfigSentence("S1"), QString("installed modified config.txt on S1"));
}

void TestInstallRules::logRetrieval()
{
    const QString folder = m_dir.path();
    const auto message = logRetrievalMessage(folder);
    QVERIFY(message);
    const QByteArray payload = lp(QDir::toNativeSeparators(folder).toLatin1());
    QCOMPARE(*message, bytes({21, 1, payload.size() >> 8, payload.size() & 0xFF}) + payload);
    QVERIFY(!logFolderBox(folder));

    const QString foreign = m_dir.filePath(QString::fromUtf8("\xd0\xbb\xd0\xbe\xd0\xb3"));
    QVERIFY(QDir().mkpath(foreign));
    QVERIFY(!logRetrievalMessage(foreign));
    QCOMPARE(logFolderBox(foreign)->title, QString("Get Log Files"));
    QVERIFY(logFolderBox(m_dir.filePath("no such folder")));
    QVERIFY(!logRetrievalMessage(QString()));
}

RVX_TEST_MAIN(TestInstallRules)
#include "test_installrules.moc"

// The file-installation dialog: its kinds, the password field, the chooser, and the boxes of
// its OK in order, each keeping the dialog open with what was entered.

#include "ask.h"
#include "dlginstallondevice.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

using rvx::Ask;
using rvx::test::writeRaw;

namespace {

using rvx::test::child;

} // namespace

class TestInstallDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }
    void kinds_data();
    void kinds();
    void passwordFollowsKind();
    void browse_data();
    void browse();
    void refusalKeepsDialogOpen();
    void openVpnQuestion();
    void acceptedValues_data();
    void acceptedValues();

private:
    QTemporaryDir m_dir;
};

void TestInstallDialog::kinds_data()
{
    QTest::addColumn<int>("initial");
    QTest::addColumn<int>("index");
    QTest::newRow("0 selects the first") << 0 << 0;
    QTest::newRow("1") << 1 << 0;
    QTest::newRow("certificate bundle") << 5 << 4;
    QTest::newRow("7") << 7 << 6;
    QTest::newRow("8 selects the first") << 8 << 0;
    QTest::newRow("10 selects the first") << 10 << 0;
}

void TestInstallDialog::kinds()
{
    QFETCH(int, initial);
    QFETCH(int, index);
    DlgInstallOnDevice dialog(nullptr, initial);
    QCOMPARE(dialog.windowTitle(), QString("Install on Device"));
    auto* combo = child<QComboBox>(dialog, "cmbFileType");
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    QCOMPARE(texts, (QStringList{"CA Certificate (.cer/.crt)", "Printer Description File (.ppd)",
                                 "SSH Public Key (.pub)", "Wallpaper Image (.png/.jpg)",
                                 "Certificate Bundle (.pfx/.p12)", "HTML Bookmarks File",
                                 "OpenVPN Configuration File (.ovpn)"}));
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(child<QLineEdit>(dialog, "tbxPassword")->isEnabled(), index == 4);
    QCOMPARE(child<QCheckBox>(dialog, "chkShowPassword")->isEnabled(), index == 4);
}

void TestInstallDialog::passwordFollowsKind()
{
    DlgInstallOnDevice dialog(nullptr, 5);
    auto* password = child<QLineEdit>(dialog, "tbxPassword");
    auto* show = child<QCheckBox>(dialog, "chkShowPassword");
    password->setText("s3cret");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    show->setChecked(true);
    QCOMPARE(password->echoMode(), QLineEdit::Normal);
    show->setChecked(false);
    QCOMPARE(password->echoMode(), QLineEdit::Password);

    show->setChecked(true);
    child<QComboBox>(dialog, "cmbFileType")->setCurrentIndex(0);
    QCOMPARE(password->text(), QString());
    QVERIFY(!password->isEnabled());
    QVERIFY(!show->isChecked());
    QVERIFY(!show->isEnabled());
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    child<QComboBox>(dialog, "cmbFileType")->setCurrentIndex(4);
    QVERIFY(password->isEnabled());
    QVERIFY(show->isEnabled());
}

void TestInstallDialog::browse_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("title");
    QTest::newRow("1") << 1 << "Select CA certificate";
    QTest::newRow("2") << 2 << "Select PPD file";
    QTest::newRow("3") << 3 << "Select SSH key";
    QTest::newRow("4") << 4 << "Select PNG/JPG image";
    QTest::newRow("5") << 5 << "Select PFX bundle";
    QTest::newRow("6") << 6 << "Select bookmarks file";
    QTest::newRow("7") << 7 << "Select OVPN file";
}

void TestInstallDialog::browse()
{
    QFETCH(int, kind);
    QFETCH(QString, title);
    DlgInstallOnDevice dialog(nullptr, kind);
    Ask::chooseNext("/chosen/file.bin");
    child<QPushButton>(dialog, "btnBrowse")->click();
    QCOMPARE(Ask::records().size(), 1);
    const Ask::Record record = Ask::records().first();
    QCOMPARE(record.kind, Ask::Kind::OpenFile);
    QCOMPARE(record.title, title);
    QCOMPARE(record.text, QDir::toNativeSeparators(QDir::homePath()));
    QCOMPARE(record.extra, QString());
    QCOMPARE(child<QLineEdit>(dialog, "tbxFilePath")->text(), QString("/chosen/file.bin"));
    // A cancelled chooser keeps the path.
    child<QPushButton>(dialog, "btnBrowse")->click();
    QCOMPARE(child<QLineEdit>(dialog, "tbxFilePath")->text(), QString("/chosen/file.bin"));
}

void TestInstallDialog::refusalKeepsDialogOpen()
{
    DlgInstallOnDevice dialog(nullptr, 5);
    const QString path = m_dir.filePath("report 2.pfx");
    writeRaw(path, "bundle");
    child<QLineEdit>(dialog, "tbxFilePath")->setText(path);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().title, QString("Missing Data"));
    QCOMPARE(Ask::lastMessage().text, QString("\nYou must enter a password for decrypting the file."));

    child<QLineEdit>(dialog, "tbxPassword")->setText("pw");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
    QCOMPARE(Ask::lastMessage().title, QString("Invalid Filename"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxFilePath")->text(), path);
    QCOMPARE(child<QLineEdit>(dialog, "tbxPassword")->text(), QString("pw"));
    QCOMPARE(dialog.kind(), 0); // nothing handed back
}

void TestInstallDialog::openVpnQuestion()
{
    DlgInstallOnDevice dialog(nullptr, 7);
    const QString path = m_dir.filePath("office.ovpn");
    writeRaw(path, "<ca>\n</ca>\n<key>\n</key>\n");
    child<QLineEdit>(dialog, "tbxFilePath")->setText(path);

    Ask::answerNext(QMessageBox::No);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::records().size(), 1);
    const Ask::Record asked = Ask::records().first();
    QCOMPARE(asked.kind, Ask::Kind::Question);
    QCOMPARE(asked.title, QString("Missing Certificates and Keys"));
    QCOMPARE(asked.defaultButton, QMessageBox::No);
    QCOMPARE(child<QLineEdit>(dialog, "tbxFilePath")->text(), path);

    // Unanswered, the question takes its default: No.
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    Ask::answerNext(QMessageBox::Yes);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.destinationName(), QString("office.ovpn"));
    QCOMPARE(Ask::records().size(), 3);

    // After Yes the remaining checks still run: an invalid name is refused next.
    Ask::clearRecords();
    DlgInstallOnDevice second(nullptr, 7);
    const QString spaced = m_dir.filePath("my office.ovpn");
    writeRaw(spaced, "client\n");
    child<QLineEdit>(second, "tbxFilePath")->setText(spaced);
    Ask::answerNext(QMessageBox::Yes);
    second.accept();
    QCOMPARE(second.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::records().size(), 2);
    QCOMPARE(Ask::records().at(0).kind, Ask::Kind::Question);
    QCOMPARE(Ask::records().at(1).title, QString("Invalid Filename"));
}

void TestInstallDialog::acceptedValues_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("password");
    QTest::newRow("bundle keeps its password") << 5 << "pw";
    QTest::newRow("wallpaper has none") << 4 << "";
}

void TestInstallDialog::acceptedValues()
{
    QFETCH(int, kind);
    QFETCH(QString, password);
    DlgInstallOnDevice dialog(nullptr, kind);
    const QString path = m_dir.filePath("a_b-c.1,2:3");
    writeRaw(path, "0123456789");
    child<QLineEdit>(dialog, "tbxFilePath")->setText(path);
    child<QLineEdit>(dialog, "tbxPassword")->setText("pw"); // ignored when disabled kinds clear it
    Ask::scriptNext([](QDialog* d) {
        d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(Ask::exec(&dialog), int(QDialog::Accepted));
    QCOMPARE(dialog.kind(), kind);
    QCOMPARE(dialog.path(), path);
    QCOMPARE(dialog.destinationName(), QString("a_b-c.1,2:3"));
    QCOMPARE(dialog.size(), qint64(10));
    QCOMPARE(dialog.password(), password);
    QCOMPARE(dialog.input().password, password);
}

RVX_GUI_TEST_MAIN(TestInstallDialog)
#include "test_installdialog.moc"

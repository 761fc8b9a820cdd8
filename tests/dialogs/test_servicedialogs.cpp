#include "ask.h"
#include "configlib.h"
#include "dlgoptionalsvcdata.h"
#include "dlgusbredirection.h"
#include "guisupport.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using rvx::Ask;

namespace {

using rvx::test::child;

const QString kUnsafe =
    "These settings either explictly or implicitly allow redirection of the device from which ZYLOS booted.  "
    "This is unsafe, because Windows will not recognize the Linux filesystems, and may prompt the user to "
    "format "
    "the device (which would destroy ZYLOS).  Orbenium recommends that you explicitly deny redirection of "
    "this "
    "device (0781:5567).\n\nDo you want to use these settings anyway?";

const QStringList kUsbList = {
    "ID 046d:c52b Logitech, Inc. Unifying Receiver",
    "  ID 0781:5567 SanDisk Corp. Cruzer Blade  ",
    "ID 04f2:b604 Chicony Electronics Co., Ltd Integrated Camera",
};

} // namespace

class TestServiceDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init() { Ask::clearRecords(); }

    void serviceStart();
    void serviceValueAndNote();
    void serviceSwitchedOff();
    void serviceValidation_data();
    void serviceValidation();
    void serviceMismatchOnlyAfterConfirmEdited();

    void usbRows();
    void usbWithoutDeniedList();
    void usbRebuildInRowOrder();
    void usbBootDevice_data();
    void usbBootDevice();
    void usbCancelChangesNothing();

private:
    QTemporaryDir m_dir;
};

void TestServiceDialogs::initTestCase()
{
    // The device booted from the SanDisk stick.
    QFile environment(m_dir.filePath("environment"));
    QVERIFY(environment.open(QIODevice::WriteOnly));
    environment.write("PATH=/bin\nlive_usb_device=0781:5567\n");
    environment.close();
    config_store_reset_for_testing(environment.fileName(), m_dir.filePath("timezone"));
    QCOMPARE(config_store_get("live_usb_device"), QByteArray("0781:5567"));
}

void TestServiceDialogs::serviceStart()
{
    bool enabled = true;
    QString password = "s3cret";
    DlgOptionalSvcData dialog(nullptr, &enabled, nullptr, &password, "VNC Server", true,
                              "Leave blank for no password");
    QCOMPARE(dialog.windowTitle(), QString("Configure VNC Server"));
    auto* group = child<QGroupBox>(dialog, "grbxService");
    QCOMPARE(group->title(), QString("VNC Server"));
    QVERIFY(group->isChecked());
    QVERIFY(!child<QLineEdit>(dialog, "tbxValue")->isVisibleTo(&dialog));
    QVERIFY(!child<QLineEdit>(dialog, "tbxValue")->isEnabled());
    QCOMPARE(child<QLabel>(dialog, "lblValue")->text(), QString("Leave blank for no password"));
    QVERIFY(child<QLabel>(dialog, "lblValue")->isVisibleTo(&dialog));
    QCOMPARE(child<QLineEdit>(dialog, "tbxPassword")->text(), QString("s3cret"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxConfirm")->text(), QString("s3cret"));
    QCOMPARE(child<QLineEdit>(dialog, "tbxPassword")->echoMode(), QLineEdit::Password);

    // A service that is off shows no stored secrets.
    enabled = false;
    DlgOptionalSvcData off(nullptr, &enabled, nullptr, &password, "VNC Server", true, QString());
    QVERIFY(!child<QGroupBox>(off, "grbxService")->isChecked());
    QCOMPARE(child<QLineEdit>(off, "tbxPassword")->text(), QString());
    QVERIFY(!child<QLabel>(off, "lblValue")->isVisibleTo(&off));
}

void TestServiceDialogs::serviceValueAndNote()
{
    // Without a password variable the password fields are hidden and not asked.
    bool enabled = true;
    QString value = "admin";
    DlgOptionalSvcData dialog(nullptr, &enabled, &value, nullptr, "Print Server", false, "User ID");
    QCOMPARE(child<QLineEdit>(dialog, "tbxValue")->text(), QString("admin"));
    for (const char* name : {"tbxPassword", "tbxConfirm", "lblPassword", "lblConfirm"})
        QVERIFY2(!child<QWidget>(dialog, name)->isVisibleTo(&dialog), name);
    child<QLineEdit>(dialog, "tbxValue")->setText("operator");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(enabled);
    QCOMPARE(value, QString("operator"));
}

void TestServiceDialogs::serviceSwitchedOff()
{
    bool enabled = true;
    QString value = "admin", password = "s3cret";
    DlgOptionalSvcData dialog(nullptr, &enabled, &value, &password, "Restricted Feature Password", false,
                              "User ID");
    auto* group = child<QGroupBox>(dialog, "grbxService");
    group->setChecked(false);
    QCOMPARE(child<QLineEdit>(dialog, "tbxValue")->text(), QString());
    QCOMPARE(child<QLineEdit>(dialog, "tbxPassword")->text(), QString());
    QCOMPARE(child<QLineEdit>(dialog, "tbxConfirm")->text(), QString());
    child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!enabled);
    QCOMPARE(value, QString());
    QCOMPARE(password, QString());
    QVERIFY(Ask::records().isEmpty());
}

void TestServiceDialogs::serviceValidation_data()
{
    QTest::addColumn<bool>("withValue");
    QTest::addColumn<bool>("passwordOptional");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message"); // empty: accepted

    QTest::newRow("value missing") << true << false << ""
                                   << "pw"
                                   << "\nYou must enter a value for User ID";
    QTest::newRow("password required") << false << false << ""
                                       << ""
                                       << "\nYou must enter a value for Password";
    QTest::newRow("password optional") << false << true << ""
                                       << ""
                                       << "";
    QTest::newRow("both given") << true << false << "bob"
                                << "pw"
                                << "";
}

void TestServiceDialogs::serviceValidation()
{
    QFETCH(bool, withValue);
    QFETCH(bool, passwordOptional);
    QFETCH(QString, value);
    QFETCH(QString, password);
    QFETCH(QString, message);

    bool enabled = false;
    QString valueOut = "untouched", passwordOut = "untouched";
    QWidget parent;
    DlgOptionalSvcData dialog(&parent, &enabled, withValue ? &valueOut : nullptr, &passwordOut, "Service",
                              passwordOptional, "User ID");
    child<QGroupBox>(dialog, "grbxService")->setChecked(true);
    child<QLineEdit>(dialog, "tbxValue")->setText(value);
    child<QLineEdit>(dialog, "tbxPassword")->setText(password);
    dialog.accept();

    if (message.isEmpty()) {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(Ask::records().isEmpty());
        QVERIFY(enabled);
        QCOMPARE(passwordOut, password);
        if (withValue)
            QCOMPARE(valueOut, value);
        return;
    }
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Warning));
    QCOMPARE(Ask::lastMessage().title, QString("Data Validation"));
    QCOMPARE(Ask::lastMessage().text, message);
    QVERIFY(Ask::lastMessage().parented);
    QVERIFY(!enabled);
    QCOMPARE(passwordOut, QString("untouched"));
}

void TestServiceDialogs::serviceMismatchOnlyAfterConfirmEdited()
{
    bool enabled = true;
    QString password = "first1";
    {
        // The password alone changed: no confirmation was typed, none is compared.
        DlgOptionalSvcData dialog(nullptr, &enabled, nullptr, &password, "VNC Server", true, QString());
        child<QLineEdit>(dialog, "tbxPassword")->setText("second2");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(password, QString("second2"));
    }
    QVERIFY(Ask::records().isEmpty());

    DlgOptionalSvcData dialog(nullptr, &enabled, nullptr, &password, "VNC Server", true, QString());
    auto* edit = child<QLineEdit>(dialog, "tbxPassword");
    auto* confirm = child<QLineEdit>(dialog, "tbxConfirm");
    edit->setText("Third3");
    confirm->clear();
    QTest::keyClicks(confirm, "third3");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().title, QString("Data Validation"));
    QCOMPARE(Ask::lastMessage().text, QString("\nThe passwords do not match"));
    QCOMPARE(password, QString("second2"));

    confirm->selectAll();
    QTest::keyClicks(confirm, "Third3");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(password, QString("Third3"));
}

void TestServiceDialogs::usbRows()
{
    QStringList redirected = {"046d:c52b"};
    QStringList denied = {"0781:5567", "1d6b:0002"};
    DlgUsbRedirection dialog(nullptr,
                             kUsbList + QStringList{"", "   ", "ID 046d:c52b Logitech second receiver"},
                             redirected, &denied);
    QCOMPARE(dialog.windowTitle(), QString("USB Redirections"));
    auto* table = child<QTableWidget>(dialog, "tblRedirections");
    QCOMPARE(table->columnCount(), 3);
    QCOMPARE(table->horizontalHeaderItem(0)->text(), QString("Redirect"));
    QCOMPARE(table->horizontalHeaderItem(1)->text(), QString("ID"));
    QCOMPARE(table->horizontalHeaderItem(2)->text(), QString("Description"));

    // Empty lines and a second device with the same id give no rows; a denied device that
    // is not attached keeps its row.
    QCOMPARE(dialog.rowIds(), (QStringList{"046d:c52b", "0781:5567", "04f2:b604", "1d6b:0002"}));
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->item(0, 2)->text(), QString("Logitech, Inc. Unifying Receiver"));
    QCOMPARE(table->item(1, 2)->text(), QString("SanDisk Corp. Cruzer Blade"));
    QCOMPARE(table->item(3, 2)->text(), QString("(not connected)"));
    QVERIFY(!(table->item(1, 1)->flags() & Qt::ItemIsEditable));
    QVERIFY(!(table->item(1, 2)->flags() & Qt::ItemIsEditable));

    QCOMPARE(dialog.choiceBox(0)->count(), 3);
    QCOMPARE(dialog.choiceBox(0)->itemText(2), QString("No"));
    QCOMPARE(dialog.choiceBox(0)->currentText(), QString("Yes"));
    QCOMPARE(dialog.choiceBox(1)->currentText(), QString("No"));
    QCOMPARE(dialog.choiceBox(2)->currentText(), QString("Policy Default"));
    QCOMPARE(dialog.choiceBox(3)->currentText(), QString("No"));
}

void TestServiceDialogs::usbWithoutDeniedList()
{
    QStringList redirected = {"04F2:B604"}; // ids compare case-sensitively
    DlgUsbRedirection dialog(nullptr, kUsbList, redirected, nullptr);
    QCOMPARE(dialog.choiceBox(0)->count(), 2);
    QCOMPARE(dialog.choiceBox(0)->itemText(0), QString("Policy Default"));
    QCOMPARE(dialog.choiceBox(0)->itemText(1), QString("Yes"));
    QCOMPARE(dialog.choiceBox(2)->currentIndex(), 0);
    QCOMPARE(dialog.rowIds().size(), 4);
}

void TestServiceDialogs::usbRebuildInRowOrder()
{
    QStringList redirected = {"04f2:b604", "feed:beef"};
    QStringList denied = {"0781:5567"};
    DlgUsbRedirection dialog(nullptr, kUsbList, redirected, &denied);
    dialog.choiceBox(0)->setCurrentIndex(DlgUsbRedirection::Yes);
    dialog.choiceBox(3)->setCurrentIndex(DlgUsbRedirection::PolicyDefault); // feed:beef, not attached
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(Ask::records().isEmpty());
    QCOMPARE(redirected, (QStringList{"046d:c52b", "04f2:b604"}));
    QCOMPARE(denied, QStringList{"0781:5567"});
}

void TestServiceDialogs::usbBootDevice_data()
{
    QTest::addColumn<bool>("withDenied");
    QTest::addColumn<int>("bootChoice");
    QTest::addColumn<bool>("asked");

    QTest::newRow("denied: no question") << true << int(DlgUsbRedirection::No) << false;
    QTest::newRow("policy default asks") << true << int(DlgUsbRedirection::PolicyDefault) << true;
    QTest::newRow("redirected asks") << true << int(DlgUsbRedirection::Yes) << true;
    QTest::newRow("no denied list always asks") << false << int(DlgUsbRedirection::PolicyDefault) << true;
}

void TestServiceDialogs::usbBootDevice()
{
    QFETCH(bool, withDenied);
    QFETCH(int, bootChoice);
    QFETCH(bool, asked);

    QStringList redirected = {"old:list"};
    QStringList denied = {"old:list"};
    QWidget parent;
    DlgUsbRedirection dialog(&parent, kUsbList, redirected, withDenied ? &denied : nullptr);
    dialog.choiceBox(1)->setCurrentIndex(bootChoice);
    dialog.choiceBox(0)->setCurrentIndex(DlgUsbRedirection::Yes);
    dialog.choiceBox(3)->setCurrentIndex(DlgUsbRedirection::PolicyDefault);

    dialog.accept();
    if (!asked) {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(Ask::records().isEmpty());
        QCOMPARE(redirected, QStringList{"046d:c52b"});
        QCOMPARE(denied, QStringList{"0781:5567"});
        return;
    }

    // The default answer is No: the dialog stays open and the caller's lists are untouched.
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    const Ask::Record box = Ask::lastMessage();
    QCOMPARE(int(box.kind), int(Ask::Kind::Question));
    QCOMPARE(box.title, QString("Unsafe USB Redirection"));
    QCOMPARE(box.text, kUnsafe);
    QCOMPARE(box.defaultButton, QMessageBox::No);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(box.parented);
    QCOMPARE(redirected, QStringList{"old:list"});

    Ask::answerNext(QMessageBox::Yes);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QStringList expected = {"046d:c52b"};
    if (bootChoice == DlgUsbRedirection::Yes)
        expected.append("0781:5567");
    QCOMPARE(redirected, expected);
    if (withDenied)
        QCOMPARE(denied, QStringList());
}

void TestServiceDialogs::usbCancelChangesNothing()
{
    QStringList redirected = {"046d:c52b"};
    QStringList denied;
    DlgUsbRedirection dialog(nullptr, kUsbList, redirected, &denied);
    dialog.choiceBox(0)->setCurrentIndex(DlgUsbRedirection::No);
    child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(redirected, QStringList{"046d:c52b"});
    QVERIFY(denied.isEmpty());
}

RVX_GUI_TEST_MAIN(TestServiceDialogs)
#include "test_servicedialogs.moc"

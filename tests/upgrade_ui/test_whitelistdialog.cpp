// The storage chooser: merged rows with their occurrences, numeric sorting, the check box,
// and what its OK writes to whitelist.txt.

#include "ask.h"
#include "dlgeditwhitelist.h"
#include "guisupport.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>

using rvx::Ask;
using rvx::test::readRaw;
using rvx::test::writeRaw;

namespace {

const QString kWarning =
    "*** WARNING! ***\n\nBy proceeding with this action, you are permitting the ZYLOS installer to overwrite "
    "the selected storage devices without further prompting.\n\nYou should not allow the client to "
    "automatically select a storage device unless you can guarantee that there is no valuable data on ANY of "
    "the listed storage devices.\n\nAre you sure that you want to dedicate the selected devices for ZYLOS' "
    "exclusive use?";

} // namespace

class TestWhitelistDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void mergedRows();
    void sortsNumerically();
    void checkBoxDisablesTable();
    void declinedWarningWritesNothing();
    void autoSelectStillRewritesList();
    void selectedRowsWritten();
    void writeFailure();

private:
    QTableWidget* table(QDialog& d) { return d.findChild<QTableWidget*>("tblDevices"); }
    QStringList column(QDialog& d, int col);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestWhitelistDialog::init()
{
    Ask::clearRecords();
    m_dir = std::make_unique<QTemporaryDir>();
    writeRaw(m_dir->filePath("S1_blkdev_list.lst"),
             "1953525168,ATA,WDC WD10,disk,sda\r\n15564800,SanDisk,Ultra,usb,sdb\r\n1,a,b,c,d,six\r\n");
    writeRaw(m_dir->filePath("S2_blkdev_list.lst"),
             "1953525168,ATA,WDC WD10,disk,sda\n7814037168,ATA,ST4000,disk,sdc\n");
    writeRaw(m_dir->filePath("S3_blkdev_list.lst"), "abc,X,Y,disk,sdd\n");
}

QStringList TestWhitelistDialog::column(QDialog& d, int col)
{
    QStringList out;
    for (int row = 0; row < table(d)->rowCount(); ++row)
        out << table(d)->item(row, col)->text();
    return out;
}

void TestWhitelistDialog::mergedRows()
{
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    QCOMPARE(dialog.windowTitle(), QString("Assign Storage Device"));
    QCOMPARE(dialog.size(), QSize(792, 350));
    QCOMPARE(dialog.minimumSize(), QSize(792, 200));
    QCOMPARE(dialog.findChild<QCheckBox*>("chkAutoSelect")->text(),
             QString("Let client choose appropriate device"));
    QCOMPARE(dialog.findChild<QLabel*>("lblSelect")->text(),
             QString(" Select devices to insert into dedicated storage list"));
    QStringList headers;
    for (int col = 0; col < table(dialog)->columnCount(); ++col)
        headers << table(dialog)->horizontalHeaderItem(col)->text();
    QCOMPARE(headers, (QStringList{"Size (MB)", "Model", "Vendor", "Type", "Name", "Occurrences"}));
    QVERIFY(table(dialog)->isSortingEnabled());

    QCOMPARE(table(dialog)->rowCount(), 4); // the six-field line is not among them
    table(dialog)->sortItems(DlgEditWhiteList::NameColumn);
    QCOMPARE(column(dialog, DlgEditWhiteList::NameColumn), (QStringList{"sda", "sdb", "sdc", "sdd"}));
    QCOMPARE(column(dialog, DlgEditWhiteList::SizeColumn), (QStringList{"953870", "7600", "3815448", "0"}));
    QCOMPARE(column(dialog, DlgEditWhiteList::ModelColumn),
             (QStringList{"WDC WD10", "Ultra", "ST4000", "Y"}));
    QCOMPARE(column(dialog, DlgEditWhiteList::VendorColumn), (QStringList{"ATA", "SanDisk", "ATA", "X"}));
    // The CR LF line of one device and the LF line of another are the same disk.
    QCOMPARE(column(dialog, DlgEditWhiteList::OccurrencesColumn), (QStringList{"2", "1", "1", "1"}));
}

void TestWhitelistDialog::sortsNumerically()
{
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    table(dialog)->sortItems(DlgEditWhiteList::SizeColumn, Qt::AscendingOrder);
    QCOMPARE(column(dialog, DlgEditWhiteList::SizeColumn), (QStringList{"0", "7600", "953870", "3815448"}));
    table(dialog)->sortItems(DlgEditWhiteList::OccurrencesColumn, Qt::DescendingOrder);
    QCOMPARE(column(dialog, DlgEditWhiteList::OccurrencesColumn).first(), QString("2"));
    QCOMPARE(dialog.rowLine(0), QString("1953525168,ATA,WDC WD10,disk,sda"));
}

void TestWhitelistDialog::checkBoxDisablesTable()
{
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    auto* box = dialog.findChild<QCheckBox*>("chkAutoSelect");
    QVERIFY(box->isChecked());
    QVERIFY(!table(dialog)->isEnabled());
    box->setChecked(false);
    QVERIFY(table(dialog)->isEnabled());
    box->setChecked(true);
    QVERIFY(!table(dialog)->isEnabled());
}

void TestWhitelistDialog::declinedWarningWritesNothing()
{
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    dialog.accept(); // unanswered: the default is No
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Question);
    QCOMPARE(Ask::lastMessage().title, QString("Assign Storage Device"));
    QCOMPARE(Ask::lastMessage().text, kWarning);
    QCOMPARE(Ask::lastMessage().defaultButton, QMessageBox::No);
    QVERIFY(!QFile::exists(m_dir->filePath("whitelist.txt")));
}

void TestWhitelistDialog::autoSelectStillRewritesList()
{
    writeRaw(m_dir->filePath("whitelist.txt"), "old,list,from,last,time\n");
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    Ask::answerNext(QMessageBox::Yes);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.autoSelect());
    QCOMPARE(readRaw(m_dir->filePath("whitelist.txt")), QByteArray());
}

void TestWhitelistDialog::selectedRowsWritten()
{
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    dialog.findChild<QCheckBox*>("chkAutoSelect")->setChecked(false);
    table(dialog)->sortItems(DlgEditWhiteList::SizeColumn, Qt::DescendingOrder);
    // Rows 0 (the 4 TB disk) and 1 (the 1 TB disk, reported with CR LF by one device).
    table(dialog)->selectRow(1);
    table(dialog)->selectionModel()->select(table(dialog)->model()->index(0, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Ask::answerNext(QMessageBox::Yes);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.autoSelect());
    QCOMPARE(readRaw(m_dir->filePath("whitelist.txt")),
             QByteArray("7814037168,ATA,ST4000,disk,sdc\n1953525168,ATA,WDC WD10,disk,sda\n"));
}

void TestWhitelistDialog::writeFailure()
{
    DlgEditWhiteList dialog(nullptr, m_dir->path());
    m_dir.reset(); // the folder is gone before OK
    Ask::answerNext(QMessageBox::Yes);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
    QCOMPARE(Ask::lastMessage().title, QString("Saving whitelist"));
    QCOMPARE(Ask::lastMessage().text, QString("There was an error saving storage whitelist to disk"));
}

RVX_GUI_TEST_MAIN(TestWhitelistDialog)
#include "test_whitelistdialog.moc"

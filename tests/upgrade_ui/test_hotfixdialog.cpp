// The hotfix chooser: which rows it offers and what it hands back.

#include "ask.h"
#include "dlgselecthotfixes.h"
#include "guisupport.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

using rvx::Ask;
using rvx::test::writeRaw;

class TestHotfixDialog : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }
    void rowsAndForm();
    void selectedRowsInRowOrder();
    void cancelLeavesResult();
    void missingFolderIsCreated();
    void folderThatCannotBeCreated();

private:
    QTableWidget* table(QDialog& d) { return d.findChild<QTableWidget*>("tblHotfixes"); }
    QString fillFolder();
    QTemporaryDir m_dir;
};

QString TestHotfixDialog::fillFolder()
{
    const QString folder = m_dir.filePath("ZT-100 ARM");
    for (const char* name : {"a%8.4.4%Audio fix.bin", "b%8.4.3%Older.bin", "c%8.4.4%Boot fix.bin",
                             "d%8.4.4%.bin", "e%8.4.4%Camera fix.bin"})
        writeRaw(folder + "/" + name, "hotfix");
    return folder;
}

void TestHotfixDialog::rowsAndForm()
{
    QStringList result;
    DlgSelectHotfixes dialog(nullptr, result, fillFolder(), "8.4.4");
    QCOMPARE(dialog.windowTitle(), QString("Hotfix Selection"));
    QCOMPARE(dialog.size(), QSize(548, 450));
    QCOMPARE(dialog.findChild<QLabel*>("lblPrompt")->text(), QString("Select hotfixes to install:"));
    QTableWidget* t = table(dialog);
    QCOMPARE(t->columnCount(), 1);
    QCOMPARE(t->horizontalHeaderItem(0)->text(), QString("Hotfix"));
    QCOMPARE(t->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(t->selectionMode() != QAbstractItemView::SingleSelection);
    QVERIFY(t->verticalHeader()->isHidden());
    QVERIFY(t->alternatingRowColors());
    QVERIFY(!t->wordWrap());
    QVERIFY(t->horizontalHeader()->stretchLastSection());
    QStringList names;
    for (int row = 0; row < t->rowCount(); ++row)
        names << t->item(row, 0)->text();
    QCOMPARE(names, (QStringList{"Audio fix", "Boot fix", "Camera fix"}));
    QCOMPARE(dialog.rowPaths().at(1),
             QDir(m_dir.filePath("ZT-100 ARM")).absoluteFilePath("c%8.4.4%Boot fix.bin"));
    QVERIFY(dialog.folderReady());
    QVERIFY(Ask::records().isEmpty());
}

void TestHotfixDialog::selectedRowsInRowOrder()
{
    QStringList result{"kept"};
    DlgSelectHotfixes dialog(nullptr, result, fillFolder(), "8.4.4");
    table(dialog)->selectRow(2);
    table(dialog)->selectionModel()->select(table(dialog)->model()->index(0, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Ask::scriptNext([](QDialog* d) {
        d->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    });
    QCOMPARE(Ask::exec(&dialog), int(QDialog::Accepted));
    QCOMPARE(result, (QStringList{"kept", dialog.rowPaths().at(0), dialog.rowPaths().at(2)}));
}

void TestHotfixDialog::cancelLeavesResult()
{
    QStringList result;
    DlgSelectHotfixes dialog(nullptr, result, fillFolder(), "8.4.4");
    table(dialog)->selectRow(0);
    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(result.isEmpty());
}

void TestHotfixDialog::missingFolderIsCreated()
{
    QStringList result;
    const QString folder = m_dir.filePath("new/ZYL RPi 4");
    DlgSelectHotfixes dialog(nullptr, result, folder, "8.4.4");
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(dialog.folderReady());
    QCOMPARE(table(dialog)->rowCount(), 0);
}

void TestHotfixDialog::folderThatCannotBeCreated()
{
    QStringList result;
    writeRaw(m_dir.filePath("plain-file"), "not a folder");
    const QString folder = m_dir.filePath("plain-file/ZT-100 ARM");
    DlgSelectHotfixes dialog(nullptr, result, folder, "8.4.4");
    QVERIFY(!dialog.folderReady());
    QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
    QCOMPARE(Ask::lastMessage().title, QString("Hotfix Selection"));
    QCOMPARE(Ask::lastMessage().text, "Folder does not exist and could not be created:\n\n" + folder);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected)); // returns at once, nothing shown
}

RVX_GUI_TEST_MAIN(TestHotfixDialog)
#include "test_hotfixdialog.moc"

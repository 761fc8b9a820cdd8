#include "ask.h"
#include "configlib.h"
#include "dlgconfigfilter.h"
#include "guisupport.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QPushButton>

using rvx::Ask;

class TestConfigFilter : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }

    void listsTheNamedCategories();
    void selection_data();
    void selection();
    void nothingSelected();
};

void TestConfigFilter::listsTheNamedCategories()
{
    DlgConfigFilter dialog(nullptr);
    QCOMPARE(dialog.windowTitle(), QString("Configuration Filter"));
    auto* list = dialog.findChild<QListWidget*>("lstCategories");
    QCOMPARE(list->count(), NAMED_CATEGORY_COUNT);
    const QStringList labels = {"Application Mode",  "Displays",
                                "Localization",      "Log Level",
                                "Network",           "Peripherals",
                                "Powersave",         "PXE Server",
                                "Remote Triggering", "Restricted Feature Password",
                                "Session Shadowing", "RVX Beacon",
                                "RVX Discovery",     "VNC Server"};
    for (int i = 0; i < list->count(); ++i) {
        QCOMPARE(list->item(i)->text(), labels.at(i));
        QVERIFY(list->item(i)->flags() & Qt::ItemIsUserCheckable);
        QCOMPARE(list->item(i)->checkState(), Qt::Checked);
    }
    QCOMPARE(dialog.findChild<QPushButton*>("btnSelectAll")->text(), QString("Select All"));
    QCOMPARE(dialog.findChild<QPushButton*>("btnSelectNone")->text(), QString("Select None"));
}

void TestConfigFilter::selection_data()
{
    QTest::addColumn<QList<int>>("untick"); // rows to untick after the buttons
    QTest::addColumn<bool>("noneFirst");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<bool>("complete");

    const QList<int> all = {18, 51, 4, 31, 29, 34, 41, 37, 56, 35, 66, 67, 30, 64};
    QTest::newRow("all ticked") << QList<int>{} << false << all << true;
    QList<int> withoutNetwork = all;
    withoutNetwork.removeAll(29);
    QTest::newRow("one unticked is partial") << QList<int>{4} << false << withoutNetwork << false;
    QTest::newRow("none then all") << QList<int>{} << true << all << true;
}

void TestConfigFilter::selection()
{
    QFETCH(QList<int>, untick);
    QFETCH(bool, noneFirst);
    QFETCH(QList<int>, expected);
    QFETCH(bool, complete);

    DlgConfigFilter dialog(nullptr);
    auto* list = dialog.findChild<QListWidget*>("lstCategories");
    if (noneFirst) {
        dialog.findChild<QPushButton*>("btnSelectNone")->click();
        dialog.findChild<QPushButton*>("btnSelectAll")->click();
    }
    for (int row : untick)
        list->item(row)->setCheckState(Qt::Unchecked);
    dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.selectedIds(), expected);
    QCOMPARE(dialog.completeSelection(), complete);
    QVERIFY(Ask::records().isEmpty());
}

void TestConfigFilter::nothingSelected()
{
    QWidget parent;
    DlgConfigFilter dialog(&parent);
    dialog.findChild<QPushButton*>("btnSelectNone")->click();
    auto* list = dialog.findChild<QListWidget*>("lstCategories");
    for (int i = 0; i < list->count(); ++i)
        QCOMPARE(list->item(i)->checkState(), Qt::Unchecked);

    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::records().size(), 1);
    QCOMPARE(int(Ask::lastMessage().kind), int(Ask::Kind::Warning));
    QCOMPARE(Ask::lastMessage().title, QString("Nothing selected"));
    QCOMPARE(Ask::lastMessage().text, QString("\nYou must select at least one configuration category."));
    QVERIFY(Ask::lastMessage().parented);
    QVERIFY(dialog.selectedIds().isEmpty());
    QVERIFY(!dialog.completeSelection());

    // Ticking one afterwards gives a partial selection of just that category.
    list->item(12)->setCheckState(Qt::Checked);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.selectedIds(), QList<int>{30});
    QVERIFY(!dialog.completeSelection());
}

RVX_GUI_TEST_MAIN(TestConfigFilter)
#include "test_configfilter.moc"

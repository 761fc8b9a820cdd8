// The download chooser: which rows it shows and how, the mirror choice, and what OK and Cancel
// leave in the queue.

#include "ask.h"
#include "dlgselectdownloads.h"
#include "guisupport.h"
#include "updaterules.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

using rvx::Ask;
using namespace updates;

namespace {

using rvx::test::child;

UpgradeFile item(const QString& type, const QString& file, const QString& comment, quint64 size,
                 const QString& released)
{
    UpgradeFile e;
    e.type = type;
    e.board = "All";
    e.fileName = file;
    e.comment = comment;
    e.size = size;
    e.releaseDate = released;
    return e;
}

DownloadQueue sampleQueue()
{
    UpgradeFile news;
    news.type = "news";
    news.fileName = "n.txt";
    news.comment = "News";
    return {item("firmware", "fw.7z", "Firmware \"8.4.6\"", 10 * 1048576, "2025-03-01"), news,
            item("rvx_server_exe", "setup.exe", "Server", 1048576, "2025-03-06"),
            item("hotfix", "hf.7z", "Hotfix", 9 * 1048576 + 524288, "2025-03-01")};
}

const QStringList kMirrors{"Europe", "https://eu.test/downloads/", "Asia", "https://asia.test/downloads/"};

QStringList rowTexts(QTableWidget* table)
{
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << table->item(r, c)->text();
        rows << cells.join(" | ");
    }
    return rows;
}

QStringList names(const DownloadQueue& queue)
{
    QStringList out;
    for (const UpgradeFile& e : queue)
        out << e.fileName;
    return out;
}

} // namespace

class TestSelectDownloads : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }

    void layoutAndRows();
    void mirrorChoice_data();
    void mirrorChoice();
    void okKeepsTheChosenRows();
    void okNeedsAMirror();
    void cancelKeepsOnlyNews();
};

void TestSelectDownloads::layoutAndRows()
{
    DownloadQueue queue = sampleQueue();
    QString mirror = kMirrors.at(1);
    DlgSelectDownloads dialog(nullptr, queue, mirror, kMirrors);
    QCOMPARE(dialog.windowTitle(), QString("Select Updates to Download"));
    QCOMPARE(dialog.size(), QSize(800, 780));
    QCOMPARE(child<QLabel>(dialog, "lblServer")->text(), QString("Select server closest to your location:"));
    QCOMPARE(child<QComboBox>(dialog, "cbxServer")->minimumWidth(), 215);

    auto* table = child<QTableWidget>(dialog, "tblDownloads");
    QStringList headers;
    for (int c = 0; c < table->columnCount(); ++c)
        headers << table->horizontalHeaderItem(c)->text();
    QCOMPARE(headers, (QStringList{"Description", "Type", "Platform", "Release Date", "Size in MB"}));
    // News is not offered; the rest in catalogue order.
    QCOMPARE(rowTexts(table), (QStringList{"Firmware 8.4.6 | firmware | All | 2025-03-01 | 10.0",
                                           "Server | other | All | 2025-03-06 | 1.0",
                                           "Hotfix | hotfix | All | 2025-03-01 | 9.5"}));
    QCOMPARE(queue.first().comment, QString("Firmware 8.4.6"));
    QCOMPARE(queue.first().tableItem, table->item(0, 0));
    QCOMPARE(queue.at(1).tableItem, nullptr);
    QCOMPARE(table->columnWidth(0), 250);
    QVERIFY(!table->verticalHeader()->isVisible());
    QVERIFY(table->horizontalHeader()->stretchLastSection());
    QVERIFY(table->alternatingRowColors() && table->showGrid() && !table->wordWrap());
    QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
    QVERIFY(table->selectionMode() == QAbstractItemView::MultiSelection);

    // Sizes sort by their value, not their text.
    QVERIFY(table->isSortingEnabled());
    table->sortByColumn(4, Qt::AscendingOrder);
    QStringList sizes;
    for (int r = 0; r < table->rowCount(); ++r)
        sizes << table->item(r, 4)->text();
    QCOMPARE(sizes, (QStringList{"1.0", "9.5", "10.0"}));
}

void TestSelectDownloads::mirrorChoice_data()
{
    QTest::addColumn<QStringList>("mirrors");
    QTest::addColumn<QString>("mirror");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("selected");
    QTest::newRow("the mirror in use")
        << kMirrors << "https://asia.test/downloads/" << QStringList{"Europe", "Asia"} << "Asia";
    QTest::newRow("an unknown mirror selects nothing")
        << kMirrors << "https://asia.test/downloads" << QStringList{"Europe", "Asia"} << "";
    QTest::newRow("no mirrors listed")
        << QStringList{} << defaultMirrorUrl() << QStringList{"United States"} << "United States";
}

void TestSelectDownloads::mirrorChoice()
{
    QFETCH(QStringList, mirrors);
    QFETCH(QString, mirror);
    QFETCH(QStringList, shown);
    QFETCH(QString, selected);
    DownloadQueue queue = sampleQueue();
    DlgSelectDownloads dialog(nullptr, queue, mirror, mirrors);
    auto* combo = child<QComboBox>(dialog, "cbxServer");
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    QCOMPARE(texts, shown);
    QCOMPARE(combo->currentText(), selected);
}

void TestSelectDownloads::okKeepsTheChosenRows()
{
    DownloadQueue queue = sampleQueue();
    QString mirror = kMirrors.at(1);
    DlgSelectDownloads dialog(nullptr, queue, mirror, kMirrors);
    auto* table = child<QTableWidget>(dialog, "tblDownloads");
    // Sorted first: the choice follows the entries, not the row numbers.
    table->sortByColumn(4, Qt::DescendingOrder); // 10.0, 9.5, 1.0
    table->selectRow(1);
    table->selectRow(2);
    child<QComboBox>(dialog, "cbxServer")->setCurrentIndex(1);

    Ask::scriptNext([](QDialog* d) { d->accept(); });
    QCOMPARE(Ask::exec(&dialog), int(QDialog::Accepted));
    QCOMPARE(names(queue), (QStringList{"n.txt", "setup.exe", "hf.7z"}));
    QCOMPARE(mirror, QString("https://asia.test/downloads/"));
    for (const UpgradeFile& e : queue)
        QCOMPARE(e.tableItem, nullptr);
    QCOMPARE(Ask::records().first().title, QString("Select Updates to Download"));
}

void TestSelectDownloads::okNeedsAMirror()
{
    DownloadQueue queue = sampleQueue();
    QString mirror = "https://elsewhere.test/";
    DlgSelectDownloads dialog(nullptr, queue, mirror, kMirrors);
    child<QTableWidget>(dialog, "tblDownloads")->selectRow(0);
    dialog.accept();
    QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Warning);
    QCOMPARE(Ask::lastMessage().title, QString("Invalid server"));
    QCOMPARE(Ask::lastMessage().text, QString("\nPlease select a server that is closest to your location"));
    QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open
    QCOMPARE(queue.size(), 4);
    QCOMPARE(mirror, QString("https://elsewhere.test/"));
}

void TestSelectDownloads::cancelKeepsOnlyNews()
{
    DownloadQueue queue = sampleQueue();
    QString mirror = kMirrors.at(1);
    DlgSelectDownloads dialog(nullptr, queue, mirror, kMirrors);
    child<QTableWidget>(dialog, "tblDownloads")->selectRow(0);
    child<QComboBox>(dialog, "cbxServer")->setCurrentIndex(1);
    dialog.reject();
    QCOMPARE(names(queue), QStringList{"n.txt"});
    QCOMPARE(mirror, kMirrors.at(1));
}

RVX_GUI_TEST_MAIN(TestSelectDownloads)
#include "test_selectdownloads.moc"

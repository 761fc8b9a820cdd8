// The device list widgets on their own: the column layout read from the settings, the rows
// of a department's list with their groups, texts and colours, and the device drag.

#include "guisupport.h"

#include "configlib.h"
#include "departments.h"
#include "departmentview.h"
#include "devicecolumns.h"
#include "devicetext.h"
#include "thinclientinfo.h"
#include "zylmimedata.h"
#include "zyltreeview.h"

#include <QDrag>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSettings>
#include <QStandardItem>
#include <QStandardItemModel>
#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace {

// A settings file holding the given keys (besides nothing else).
std::unique_ptr<QSettings> settingsWith(const QTemporaryDir& dir, const QVariantMap& values)
{
    auto settings = std::make_unique<QSettings>(dir.filePath("s.ini"), QSettings::IniFormat);
    settings->clear();
    for (auto it = values.begin(); it != values.end(); ++it)
        settings->setValue(it.key(), it.value());
    return settings;
}

QVariantMap defaultLayout()
{
    QVariantMap map;
    const DeviceColumnInfo* columns = deviceColumns();
    for (int i = 0; i < DeviceColumnCount; ++i) {
        map.insert(columns[i].key, columns[i].defaultPosition);
        map.insert(QStringLiteral("colText%1").arg(i),
                   columns[i].defaultPosition >= 0 ? columns[i].defaultHeader : "");
        map.insert(QStringLiteral("colSize%1").arg(i), columns[i].defaultWidth);
    }
    return map;
}

std::unique_ptr<ThinclientInfo> device(const QString& serial, quint8 type, const QString& firmware = "8.4.0",
                                       const QString& client = "8.4.0")
{
    auto d = std::make_unique<ThinclientInfo>();
    d->setSerialNumber(serial);
    d->setFirmwareType(type);
    d->setHostname("host-" + serial);
    d->setFirmwareVersion(firmware);
    d->setClientVersion(client);
    d->setBootMode(ThinclientInfo::BootNormal);
    return d;
}

} // namespace

Q_DECLARE_METATYPE(DeviceColumn)

// The images are compiled into a static library, as in the program.
static void initResources()
{
    Q_INIT_RESOURCE(resources);
}

class TestDepartmentView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase() { initResources(); }

    void layoutFromSettings()
    {
        auto s = settingsWith(m_dir, defaultLayout());
        DeviceListLayout layout = DeviceListLayout::fromSettings(*s);
        QCOMPARE(layout.shown,
                 QVector<DeviceColumn>({DeviceColumn::FwType, DeviceColumn::Hostname, DeviceColumn::IpAddress,
                                        DeviceColumn::ProtocolType, DeviceColumn::FirmwareVersion,
                                        DeviceColumn::ClientVersion, DeviceColumn::Status}));
        QCOMPARE(layout.headers.size(), 7);
        QCOMPARE(layout.widths, QList<int>({105, 160, 110, 90, 90, 90}));
        QCOMPARE(layout.cell(DeviceColumn::MacAddress), -1);

        // Hand-edited: gaps between positions, a position that is no number, a width list
        // that ends early, and no "colSize0" at all.
        QVariantMap edited{{"colHostname", 3},     {"colStatus", 9},     {"colSerialNumber", "two"},
                           {"colLastSeen", 5},     {"colText0", "Host"}, {"colText1", "Seen"},
                           {"colText2", "Status"}, {"colSize0", 50},     {"colSize1", -1},
                           {"colSize2", 70}};
        s = settingsWith(m_dir, edited);
        layout = DeviceListLayout::fromSettings(*s);
        QCOMPARE(layout.shown, QVector<DeviceColumn>(
                                   {DeviceColumn::Hostname, DeviceColumn::LastSeen, DeviceColumn::Status}));
        QCOMPARE(layout.cell(DeviceColumn::Status), 2);
        QCOMPARE(layout.widths, QList<int>({50}));
        edited.remove("colSize0");
        s = settingsWith(m_dir, edited);
        QVERIFY(!DeviceListLayout::fromSettings(*s).hasWidths);
    }

    void rowsAndGroups()
    {
        auto s = settingsWith(m_dir, defaultLayout());
        DeptInfo dept;
        auto* list = new DepartmentView(&dept, DeviceListLayout::fromSettings(*s));
        QCOMPARE(list->header()->sectionSize(2), 110);
        auto a = device("A1", 2);
        auto b = device("B1", 5);
        auto c = device("C1", 2);
        for (ThinclientInfo* d : {a.get(), b.get(), c.get()}) {
            list->addRow(d);
            list->refreshRow(d, {}, nullptr, true);
        }
        QVERIFY(!list->view()->isSortingEnabled()); // until the end of the turn
        QCOMPARE(list->groupCount(), 2);
        QCOMPARE(list->group(2)->rowCount(), 2);
        QCOMPARE(list->group(2)->text(), config_hardware_display_name(2));
        QCOMPARE(a->item->parent(), list->group(2));
        QCOMPARE(list->cell(a.get(), DeviceColumn::Hostname)->text(), QString("host-A1"));
        QCOMPARE(list->cell(a.get(), DeviceColumn::Status)->text(), QString());
        QVERIFY(!(list->cell(a.get(), DeviceColumn::Hostname)->flags() & Qt::ItemIsEditable));
        QCOMPARE(DepartmentView::deviceOf(list->cell(c.get(), DeviceColumn::Status)), c.get());
        QVERIFY(!DepartmentView::deviceOf(list->group(2)));
        QVERIFY(!list->cell(a.get(), DeviceColumn::MacAddress));
        QTRY_VERIFY(list->view()->isSortingEnabled());
        QVERIFY(list->view()->isExpanded(list->group(5)->index()));

        // Sorted by host name as the administrator chose, a new row takes its place.
        list->view()->sortByColumn(1, Qt::AscendingOrder);
        QCOMPARE(list->group(2)->child(0)->data(DepartmentView::DeviceRole).value<void*>(), a.get());
        auto early = device("0A", 2);
        list->addRow(early.get());
        list->refreshRow(early.get(), {}, nullptr, true);
        QTRY_VERIFY(list->view()->isSortingEnabled());
        QCOMPARE(DepartmentView::deviceOf(list->group(2)->child(0)), early.get());
        list->removeRow(early.get());

        // A type change is noticed; the row moves and the emptied group goes.
        b->setFirmwareType(2);
        QVERIFY(!list->inOwnGroup(b.get()));
        list->removeRow(b.get());
        QVERIFY(!b->item);
        QVERIFY(!list->group(5));
        list->addRow(b.get());
        QCOMPARE(list->group(2)->rowCount(), 3);
        delete list;
    }

    // Rows that keep arriving (a new fleet) are sorted about once a second, not every tenth
    // of a second, and not only once they stop.
    void rowsArrivingWithoutPause()
    {
        auto s = settingsWith(m_dir, defaultLayout());
        DeptInfo dept;
        DepartmentView list(&dept, DeviceListLayout::fromSettings(*s));
        int sorts = 0;
        connect(list.view()->model(), &QAbstractItemModel::layoutChanged, this, [&] { ++sorts; });
        std::vector<std::unique_ptr<ThinclientInfo>> devices;
        QElapsedTimer clock;
        clock.start();
        int sortsWhileArriving = 0;
        while (clock.elapsed() < 1600) {
            devices.push_back(device(QStringLiteral("N%1").arg(devices.size(), 4, 10, QChar('0')), 2));
            list.addRow(devices.back().get());
            list.refreshRow(devices.back().get(), {}, nullptr, true);
            QTest::qWait(20);
            sortsWhileArriving = sorts;
        }
        QVERIFY2(sortsWhileArriving >= 1, "rows that keep arriving are never sorted");
        QTRY_VERIFY(list.view()->isSortingEnabled());
        QVERIFY2(sorts <= 3,
                 qPrintable(QStringLiteral("%1 sorts for %2 rows").arg(sorts).arg(devices.size())));
    }

    void versionColours_data()
    {
        QTest::addColumn<DeviceColumn>("column");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("latest");
        QTest::addColumn<QColor>("colour");
        const QColor black(0, 0, 0), blue(0, 0, 255), red(255, 0, 0);
        const auto fw = DeviceColumn::FirmwareVersion;
        const auto cl = DeviceColumn::ClientVersion;
        QTest::newRow("8.4 vs 8.4.1") << fw << "8.4"
                                      << "8.4.1" << blue;
        QTest::newRow("8.4 vs 9.0.0") << fw << "8.4"
                                      << "9.0.0" << red;
        QTest::newRow("5 steps of 256 behind") << fw << "8.0.0"
                                               << "8.5.255" << blue;
        QTest::newRow("6 steps of 256 behind") << fw << "8.0.0"
                                               << "8.6.0" << red;
        QTest::newRow("unreadable vs known") << fw << "beta"
                                             << "0.6.0" << red;
        QTest::newRow("nothing known") << fw << "8.4"
                                       << "" << black;
        QTest::newRow("newer than known") << fw << "9.1.0"
                                          << "9.0.0" << black;
        QTest::newRow("client 3 steps behind") << cl << "8.1.0"
                                               << "8.4.0" << blue;
        QTest::newRow("client 4 steps behind") << cl << "8.0.0"
                                               << "8.4.0" << red;
    }
    void versionColours()
    {
        QFETCH(DeviceColumn, column);
        QFETCH(QString, version);
        QFETCH(QString, latest);
        QFETCH(QColor, colour);
        auto s = settingsWith(m_dir, defaultLayout());
        DeptInfo dept;
        DepartmentView list(&dept, DeviceListLayout::fromSettings(*s));
        auto d = device("V1", 4, version, version);
        quint32 table[15] = {};
        table[4] = packedVersion(latest);
        DepartmentView::Latest known;
        known.firmware = column == DeviceColumn::FirmwareVersion ? table : nullptr;
        known.client = column == DeviceColumn::ClientVersion ? table : nullptr;
        known.types = 15;
        list.addRow(d.get());
        list.refreshRow(d.get(), known, nullptr, false);
        QCOMPARE(list.cell(d.get(), column)->foreground().color(), colour);
        QCOMPARE(list.cell(d.get(), column)->text(), version);
    }

    void statusCell()
    {
        auto s = settingsWith(m_dir, defaultLayout());
        DeptInfo dept;
        DepartmentView list(&dept, DeviceListLayout::fromSettings(*s));
        auto d = device("S1", 2);
        d->setBootMode(ThinclientInfo::BootMaintenance);
        list.addRow(d.get());
        list.refreshRow(d.get(), {}, nullptr, true);
        QStandardItem* status = list.cell(d.get(), DeviceColumn::Status);
        QCOMPARE(status->text(), QString("In maintenance mode"));
        QCOMPARE(status->foreground().color(), QColor(0, 0, 255));
        list.setStatus(d.get(), 1, "Failed");
        QCOMPARE(status->foreground().color(), QColor(255, 0, 0));
        list.setStatus(d.get(), 5, "Still failed");
        QCOMPARE(status->foreground().color(), QColor(255, 0, 0));
        QCOMPARE(status->text(), QString("Still failed"));
        // Only a new or reconnected device gets its status text rewritten.
        list.refreshRow(d.get(), {}, nullptr, false);
        QCOMPARE(status->text(), QString("Still failed"));
        d->setBootMode(ThinclientInfo::BootOffline);
        list.refreshRow(d.get(), {}, nullptr, true);
        QCOMPARE(status->text(), QString("Offline"));
    }

    void deviceDrag()
    {
        auto s = settingsWith(m_dir, defaultLayout());
        DeptInfo dept;
        DepartmentView list(&dept, DeviceListLayout::fromSettings(*s));
        auto d = device("D1", 2);
        list.addRow(d.get());
        list.refreshRow(d.get(), {}, nullptr, true);
        ZylTreeView* view = list.view();
        view->resize(600, 300);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
        const QPoint row = view->visualRect(d->item->index()).center();

        QStringList formats;
        ZylTreeView* source = nullptr;
        bool pixmap = false;
        ZylTreeView::setDragRunner([&](QDrag& drag) {
            formats = drag.mimeData()->formats();
            source = qobject_cast<const ZylMimeData*>(drag.mimeData())->sourceView();
            pixmap = !drag.pixmap().isNull();
            return Qt::MoveAction;
        });
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, row);
        QVERIFY(!view->selectionModel()->selection().isEmpty());
        // A press on empty space keeps the selection.
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, QPoint(10, 280));
        QVERIFY(!view->selectionModel()->selection().isEmpty());
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, row);
        QMouseEvent near(QEvent::MouseMove, row + QPoint(1, 0), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &near);
        QVERIFY(!source); // a trembling click is no drag
        QMouseEvent far(QEvent::MouseMove, row + QPoint(QApplication::startDragDistance(), 0), Qt::NoButton,
                        Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &far);
        ZylTreeView::setDragRunner({});
        QCOMPARE(formats, QStringList({"zyltreeview"}));
        QCOMPARE(source, view);
        QVERIFY(pixmap);
        // The rows were moved: the selection is cleared.
        QVERIFY(view->selectionModel()->selection().isEmpty());
    }
};

RVX_GUI_TEST_MAIN(TestDepartmentView)
#include "test_departmentview.moc"

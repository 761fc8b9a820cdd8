// The device lists of the main window with real simulated agents: columns, rows and their
// texts and colours, groups, status, selection and the enabling of the device actions, the
// device information dialog, placement in departments and the departments file, closing,
// a rendering smoke test and the cost of thousands of devices.

#include "windowfixture.h"

#include "savefailures.h"

#include "configlib.h"
#include "devicetext.h"
#include "dlgshowdevinfo.h"
#include "popupmenu.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QMenu>
#include <QSplitter>
#include <QTableView>

using rvx::Ask;
using namespace rvx::test;

namespace {

QColor foreground(const ThinclientInfo* device, DeviceColumn column, const DepartmentView* list)
{
    QStandardItem* cell = list->cell(device, column);
    return cell ? cell->foreground().color() : QColor();
}

bool enabled(MainWindow* w, const char* action)
{
    return w->findChild<QAction*>(QLatin1String(action))->isEnabled();
}

// "1+" and "1" actions, one of each kind from menu and tool-bar.
QString enabling(MainWindow* w)
{
    return QStringLiteral("%1%2%3%4")
        .arg(enabled(w, "get_logs"))
        .arg(enabled(w, "btnRefresh"))
        .arg(enabled(w, "save_config"))
        .arg(enabled(w, "btnChangeName"));
}

QtMessageHandler previousHandler = nullptr;
QStringList warnings;
void recordWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    // The offscreen platform itself says this about every window it shows.
    const bool platformNote = message == QLatin1String("This plugin does not support propagateSizeHints()");
    if (type != QtDebugMsg && type != QtInfoMsg && !platformNote)
        warnings << message;
    previousHandler(type, context, message);
}

} // namespace

class TestDeviceList : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::setTestMode(true); }
    void cleanup() { rvx::ui::setMenuRunner({}); }

    void defaultColumnsAndRows()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QHeaderView* header = w->shownHeader();
        QVERIFY(header);
        QStringList titles;
        for (int i = 0; i < header->count(); ++i)
            titles << header->model()->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Firmware Type", "Hostname", "IP Address", "Mode", "Firmware Ver",
                                      "Client Ver", "Status"}));
        const QList<int> widths{105, 160, 110, 90, 90, 90};
        for (int i = 0; i < widths.size(); ++i)
            QCOMPARE(header->sectionSize(i), widths.at(i));
        QVERIFY(header->stretchLastSection());

        DeviceSpec a{"ZA-0001", "00:11:22:33:44:01"};
        a.hostname = "lab-a";
        DeviceSpec b{"ZB-0002", "00:11:22:33:44:02", 5};
        QVERIFY(f.connectAgent(a));
        QVERIFY(f.connectAgent(b));
        ThinclientInfo* da = f.device("ZA-0001");
        QVERIFY(da && da->item);
        QCOMPARE(WindowFixture::rowTexts(da),
                 QStringList({"", "lab-a", "10.77.0.2", protocolDisplayName(0), "8.4.0", "8.4.0", ""}));
        // One group row per firmware type, named by the display form of the type.
        DepartmentView* list = f.shown();
        QCOMPARE(list->groupCount(), 2);
        QCOMPARE(list->group(2)->text(), config_hardware_display_name(2));
        QCOMPARE(list->group(5)->text(), config_hardware_display_name(5));
        QCOMPARE(da->item->parent(), list->group(2));
        // Every cell of the row carries its device.
        for (int c = 0; c < 7; ++c)
            QCOMPARE(DepartmentView::deviceOf(da->item->parent()->child(da->item->row(), c)), da);
        QCOMPARE(foreground(da, DeviceColumn::Status, list), QColor(0, 0, 255));
        // Rows are sorted again once the turn is over.
        QVERIFY(waitFor([&] { return list->view()->isSortingEnabled(); }));
    }

    void refusedSerialToldOnce_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("space")
            << "AB CD"
            << "A device with the serial number \"AB CD\" was refused: a serial number may "
               "only hold letters, digits, \".\", \"_\", \":\" and \"-\"."
            << "refused a device with the unusable serial number \"AB CD\"";
        QTest::newRow("control character shown escaped")
            << QString("AB\x01")
            << QString("A device with the serial number \"AB\\x01\" was refused: a serial "
                       "number may only hold letters, digits, \".\", \"_\", \":\" and \"-\".")
            << QString("refused a device with the unusable serial number \"AB\\x01\"");
        QTest::newRow("none") << ""
                              << "A device that reported no serial number was refused."
                              << "refused a device that reported no serial number";
    }

    void refusedSerialToldOnce()
    {
        QFETCH(QString, serial);
        QFETCH(QString, status);
        QFETCH(QString, sentence);
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(w);
        QVERIFY(!f.connectAgent(DeviceSpec{serial}));
        QVERIFY(waitFor([&] { return w->statusLabel()->text() == status; }));
        QCOMPARE(auditSentences().count(sentence), 1);
        // The device tries again: nothing new is said.
        w->statusLabel()->clear();
        QVERIFY(!f.connectAgent(DeviceSpec{serial}));
        QVERIFY(f.agents.empty());
        QCOMPARE(w->statusLabel()->text(), QString());
        QCOMPARE(auditSentences().count(sentence), 1);
    }

    void hiddenFirmwareTypeColumnAndStoredDevices()
    {
        WindowFixture f;
        // Firmware Type hidden, Last Seen shown last.
        const QStringList keys{"colHostname",      "colIpAddress", "colProtocolType", "colFirmwareVersion",
                               "colClientVersion", "colStatus",    "colLastSeen"};
        f.setSetting("colFwType", -1);
        for (int i = 0; i < keys.size(); ++i) {
            f.setSetting(keys.at(i), i);
            f.setSetting(QStringLiteral("colText%1").arg(i), keys.at(i).mid(3));
            f.setSetting(QStringLiteral("colSize%1").arg(i), 80);
        }
        f.setSetting("colText7", QString());
        f.setSetting("colSize7", -1);
        const qint64 seen = 1765000000;
        DeviceSpec stored{"ZS-0001", "00:11:22:33:55:01"};
        stored.hostname = "kiosk";
        f.storeDevice(stored, seen);
        f.storeDevice(DeviceSpec{"ZS-0002", "00:11:22:33:55:02"});

        MainWindow* w = f.start();
        QCOMPARE(w->shownHeader()->count(), 7);
        ThinclientInfo* d = f.device("ZS-0001");
        QVERIFY(d && d->item);
        QCOMPARE(d->bootMode(), quint8(ThinclientInfo::BootOffline));
        // The group row names the type in the first column; the device row starts with the host.
        QCOMPARE(d->item->parent()->text(), config_hardware_display_name(2));
        const QStringList texts = WindowFixture::rowTexts(d);
        QCOMPARE(texts.first(), QString("kiosk"));
        QCOMPARE(texts.at(5), QString("Offline"));
        QCOMPARE(texts.at(6), lastSeenText(seen));
        QCOMPARE(WindowFixture::rowTexts(f.device("ZS-0002")).at(6), QString("Unknown"));
    }

    void versionColours()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        w->latestFirmwareVersions()[2] = packedVersion("8.4.1");
        w->latestClientVersions()[2] = packedVersion("8.6.0");
        DeviceSpec setup{"ZV-0001"};
        setup.firmwareVersion = "8.4";
        setup.clientVersion = "8.4.0";
        QVERIFY(f.connectAgent(setup));
        ThinclientInfo* d = f.device("ZV-0001");
        DepartmentView* list = f.shown();
        QCOMPARE(foreground(d, DeviceColumn::FirmwareVersion, list), QColor(0, 0, 255));
        QCOMPARE(foreground(d, DeviceColumn::ClientVersion, list), QColor(0, 0, 255));

        w->latestFirmwareVersions()[2] = packedVersion("9.0.0");
        w->latestClientVersions()[2] = packedVersion("8.8.0"); // 0x400 behind: red
        w->updateTreeViewEntry(d, false);
        QCOMPARE(foreground(d, DeviceColumn::FirmwareVersion, list), QColor(255, 0, 0));
        QCOMPARE(foreground(d, DeviceColumn::ClientVersion, list), QColor(255, 0, 0));

        w->latestFirmwareVersions()[2] = packedVersion("8.4.0");
        w->updateTreeViewEntry(d, false);
        QCOMPARE(foreground(d, DeviceColumn::FirmwareVersion, list), QColor(0, 0, 0));
    }

    void groupChangeAndStatus()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        DeviceSpec setup{"ZG-0001", "00:11:22:33:66:01"};
        SimAgent* agent = f.connectAgent(setup);
        QVERIFY(agent);
        QVERIFY(f.connectAgent(DeviceSpec{"ZG-0002", "00:11:22:33:66:02"}));
        ThinclientInfo* d = f.device("ZG-0001");
        DepartmentView* list = f.shown();

        // Status messages: code 1 red, code 5 changes only the text.
        agent->sendFrame(7, 1, "Upgrade failed");
        QVERIFY(agent->echo());
        QCOMPARE(list->cell(d, DeviceColumn::Status)->text(), QString("Upgrade failed"));
        QCOMPARE(foreground(d, DeviceColumn::Status, list), QColor(255, 0, 0));
        agent->sendFrame(7, 5, "Downloading");
        QVERIFY(agent->echo());
        QCOMPARE(list->cell(d, DeviceColumn::Status)->text(), QString("Downloading"));
        QCOMPARE(foreground(d, DeviceColumn::Status, list), QColor(255, 0, 0));
        w->setStatus(d, 0, "Done");
        QCOMPARE(foreground(d, DeviceColumn::Status, list), QColor(0, 0, 0));

        // The device reports another firmware type: its row moves to that group.
        setup.firmwareType = 7;
        agent->identify(setup.block());
        QVERIFY(agent->echo());
        QCOMPARE(d->item->parent(), list->group(7));
        QCOMPARE(list->groupCount(), 2);
        QCOMPARE(list->group(2)->rowCount(), 1);
        // The last device of a group leaves: the group goes too.
        w->removeDevFromDept(f.device("ZG-0002"));
        QVERIFY(!list->group(2));
        QCOMPARE(list->model()->rowCount(), 1);
        QVERIFY(!f.device("ZG-0002")->item);
    }

    void selectionEnablesActions()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(f.connectAgent(DeviceSpec{"ZE-0001", "00:11:22:33:77:01"}));
        QVERIFY(f.connectAgent(DeviceSpec{"ZE-0002", "00:11:22:33:77:02"}));
        SimAgent* third = f.connectAgent(DeviceSpec{"ZE-0003", "00:11:22:33:77:03", 5});
        QVERIFY(third);
        ThinclientInfo* a = f.device("ZE-0001");
        ThinclientInfo* b = f.device("ZE-0002");
        ThinclientInfo* c = f.device("ZE-0003");
        QCOMPARE(enabling(w), QString("0000"));

        f.select({a});
        QCOMPARE(enabling(w), QString("1111"));
        QCOMPARE(w->selectedDevices(true), QList<ThinclientInfo*>({a}));
        f.select({a, c});
        QCOMPARE(enabling(w), QString("1100"));

        // The selected device going offline and coming back changes the enabling at once.
        f.select({c});
        third->disconnectFromServer();
        QVERIFY(waitFor([&] { return c->bootMode() == ThinclientInfo::BootOffline; }));
        QCOMPARE(enabling(w), QString("0000"));
        QCOMPARE(w->selectedDevices(false), QList<ThinclientInfo*>({c}));
        QVERIFY(w->selectedDevices(true).isEmpty());
        QCOMPARE(WindowFixture::rowTexts(c).last(), QString("Offline"));
        QVERIFY(f.connectAgent(DeviceSpec{"ZE-0003", "00:11:22:33:77:03", 5}));
        QCOMPARE(enabling(w), QString("1111"));

        // A click on a lone selected group row selects the group's devices.
        QItemSelectionModel* selection = f.shown()->view()->selectionModel();
        selection->clearSelection();
        const QModelIndex group = f.shown()->group(2)->index();
        selection->select(group, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w->onTreeViewClicked(group);
        QCOMPARE(w->selectedDevices(true).size(), 2);
        QVERIFY(w->selectedDevices(true).contains(a) && w->selectedDevices(true).contains(b));
        QCOMPARE(enabling(w), QString("1100"));

        // Selecting the department selects everything.
        w->onDepartmentSelected(w->shownDepartment());
        QCOMPARE(w->selectedDevices(false).size(), 3);

        // Keyboard or program selections are followed up too.
        selection->clearSelection();
        QVERIFY(waitFor([&] { return enabling(w) == QLatin1String("0000"); }));
        selection->select(WindowFixture::indexOf(b), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(waitFor([&] { return enabling(w) == QLatin1String("1111"); }));
    }

    void noDevicesSelectedMessages()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(w->noDevicesSelected({}, QString()));
        QVERIFY(Ask::records().isEmpty());
        QVERIFY(w->noDevicesSelected({}, "Change Hostname"));
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("Change Hostname"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("\nNo online devices selected! You must select at least one device."));
        ThinclientInfo dummy;
        QVERIFY(!w->noDevicesSelected({&dummy}, "Change Hostname"));
    }

    void doubleClickAndContextMenu()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(f.connectAgent(DeviceSpec{"ZD-0001", "00:11:22:33:88:01"}));
        QVERIFY(f.connectAgent(DeviceSpec{"ZD-0002", "00:11:22:33:88:02"}));
        ThinclientInfo* d = f.device("ZD-0001");

        QStringList properties;
        QMap<QString, QString> values;
        auto readDialog = [&](QDialog* dialog) {
            auto* info = qobject_cast<DlgShowDevInfo*>(dialog);
            QVERIFY(info);
            properties.clear();
            for (int r = 0; r < info->model()->rowCount(); ++r) {
                const QString property = info->view()->model()->index(r, 0).data().toString();
                properties << property;
                values[property] = info->view()->model()->index(r, 1).data().toString();
            }
        };
        Ask::scriptNext(readDialog);
        w->onTreeViewDoubleClicked(WindowFixture::indexOf(d));
        QCOMPARE(values["Serial Number"], QString("ZD-0001"));
        QCOMPARE(values["Boot Mode"], QString("Normal"));
        QCOMPARE(values["Mode"], QString()); // no configuration reported yet
        QStringList sorted = properties;
        sorted.sort();
        QCOMPARE(properties, sorted);
        QVERIFY(properties.indexOf("Boot Mode") < properties.indexOf("Cmd Line Args"));
        // An offline device shows its last stored values.
        f.agents.front()->disconnectFromServer();
        QVERIFY(waitFor([&] { return d->bootMode() == ThinclientInfo::BootOffline; }));
        Ask::scriptNext(readDialog);
        w->onTreeViewDoubleClicked(WindowFixture::indexOf(d));
        QCOMPARE(values["Boot Mode"], QString("Offline"));
        QCOMPARE(values["Hostname"], QString("zyl-D-0001"));
        // A group row opens nothing.
        Ask::clearRecords();
        w->onTreeViewDoubleClicked(f.shown()->group(2)->index());
        QVERIFY(Ask::records().isEmpty());

        QStringList entries;
        rvx::ui::setMenuRunner([&](QMenu& menu, const QPoint&) {
            const auto actions = menu.actions();
            for (QAction* a : actions)
                entries << a->text();
        });
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QTreeView* view = f.shown()->view();
        const QPoint at = view->visualRect(WindowFixture::indexOf(d)).center();
        f.select({d});
        w->onTreeViewRightClicked(at);
        QCOMPARE(entries, QStringList({"SSH to Device"}));
        QCOMPARE(f.shown()->contextItem, d->item);
        entries.clear();
        f.select({d, f.device("ZD-0002")});
        w->onTreeViewRightClicked(at);
        QVERIFY(entries.isEmpty());
    }

    // Placement: a MAC entry is re-keyed to the serial number, unknown devices are adopted by
    // "Orphans", and the changes of one turn reach the file in one write.
    void placementAndDepartmentsFile()
    {
        WindowFixture f;
        f.writeDepartments("[department]\nid=0\nname=Orphans\n\n[department]\nid=3\nname=Lab\n"
                           "mac=00:11:22:33:99:01\n");
        for (int i = 0; i < 50; ++i)
            f.storeDevice(DeviceSpec{QStringLiteral("ZP-1%1").arg(i, 3, 10, QChar('0')),
                                     QStringLiteral("00:11:22:44:00:%1").arg(i, 2, 10, QChar('0'))});
        MainWindow* w = f.start();
        // The 50 adoptions of the start-up are pending, not yet written one by one.
        QVERIFY(w->departmentsDirty());
        QVERIFY(!f.departmentsFile().contains("zp-1000"));
        QVERIFY(waitFor([&] { return !w->departmentsDirty(); }));
        QByteArray file = f.departmentsFile();
        QCOMPARE(file.count("serial=zp-1"), 50);
        QCOMPARE(f.department("Orphans")->devices.size(), 50);

        QVERIFY(f.connectAgent(DeviceSpec{"ZP-LAB", "00:11:22:33:99:01"}));
        QCOMPARE(f.department("Lab")->devices, QList<ThinclientInfo*>({f.device("ZP-LAB")}));
        QVERIFY(waitFor([&] { return !w->departmentsDirty(); }));
        file = f.departmentsFile();
        QVERIFY(file.contains("name=Lab\nimage_file=\nprofile=\nserial=zp-lab\n"));
        QVERIFY(!file.contains("mac=00:11:22:33:99:01"));
    }

    void legacyDepartmentsFileAndUnwritableFile()
    {
        WindowFixture f;
        QFile legacy(f.ws.path("temp/RVXServer.ini"));
        QVERIFY(legacy.open(QIODevice::WriteOnly));
        legacy.write("[department]\nid=0\nname=Orphans\n[department]\nid=4\nname=Old Lab\nserial=zl-0001\n");
        legacy.close();
        f.storeDevice(DeviceSpec{"ZL-0001"});
        MainWindow* w = f.start();
        QVERIFY(!QFile::exists(f.ws.path("temp/RVXServer.ini")));
        QVERIFY(QFile::exists(f.departmentsPath()));
        QCOMPARE(f.departmentNames(), QStringList({"Orphans", "Old Lab"}));
        QCOMPARE(f.department("Old Lab")->devices.size(), 1);

        // The file cannot be replaced: the status bar says so (no box), the list stays, and the
        // change is written once the file can be replaced again.
        QVERIFY(QFile::remove(f.departmentsPath()));
        QVERIFY(QDir().mkdir(f.departmentsPath()));
        Ask::clearRecords();
        QVERIFY(f.connectAgent(DeviceSpec{"ZL-0002", "00:11:22:33:aa:02"}));
        QVERIFY(f.connectAgent(DeviceSpec{"ZL-0003", "00:11:22:33:aa:03"}));
        QVERIFY(waitFor([&] { return rvx::saves::failing(rvx::saves::Kind::Departments); }));
        QVERIFY(f.department("Orphans")->hasMember("zl-0003"));
        QVERIFY(w->departmentsDirty());
        QVERIFY(Ask::records().isEmpty());
        QVERIFY(w->statusLabel()->text().startsWith("Could not save the departments file"));
        QVERIFY(QDir().rmdir(f.departmentsPath()));
        QVERIFY(waitFor([&] { return !w->departmentsDirty(); }, 3000));
        QVERIFY(f.departmentsFile().contains("serial=zl-0003\n"));
    }

    void closingSavesColumnWidths()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        w->shownHeader()->resizeSection(1, 222);
        w->close();
        auto store = openStore();
        QCOMPARE(store->value("colSize1").toInt(), 222);
        QCOMPARE(store->value("colSize0").toInt(), 105);
        QCOMPARE(store->value("colSize7").toInt(), -1);
        QCOMPARE(store->value("colSize16").toInt(), -1);
        QVERIFY(store->contains("split"));
    }

    // Two departments and a few devices render under the offscreen platform without a
    // single warning.
    void rendersWithoutWarnings()
    {
        WindowFixture f;
        f.writeDepartments("[department]\nid=0\nname=Orphans\n\n[department]\nid=1\nname=Lab & <b>Test</b>\n"
                           "serial=zr-0002\n");
        f.storeDevice(DeviceSpec{"ZR-0001"});
        f.storeDevice(DeviceSpec{"ZR-0002", "00:11:22:33:bb:02", 5});
        warnings.clear();
        previousHandler = qInstallMessageHandler(recordWarnings);
        MainWindow* w = f.start();
        QVERIFY(f.connectAgent(DeviceSpec{"ZR-0003", "00:11:22:33:bb:03"}));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->onDepartmentSelected(f.department("Lab & <b>Test</b>"));
        w->onDepartmentSelected(f.department("Orphans"));
        QTest::qWait(50);
        const QImage image = w->grab().toImage();
        qInstallMessageHandler(previousHandler);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
        QVERIFY(!image.isNull());
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = 0; x < image.width(); x += 7)
                colours.insert(image.pixel(x, y));
        QVERIFY(colours.size() > 4);
        // The label shows the name as typed.
        QCOMPARE(f.department("Lab & <b>Test</b>")->label->text(),
                 QString("<font color='white'>Lab &amp; &lt;b&gt;Test&lt;/b&gt;</font>"));
    }

    // Thousands of devices: starting with them stored, all selected, and a storm of messages
    // cost time in proportion to their number.
    void thousandsOfDevicesScaleLinearly()
    {
        auto measure = [](int count) {
            std::vector<std::unique_ptr<ThinclientInfo>> records; // outlive the window
            WindowFixture f;
            MainWindow* w = f.start();
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < count; ++i) {
                auto record = std::make_unique<ThinclientInfo>();
                record->loadBlock(DeviceSpec{QStringLiteral("ZT-%1").arg(i, 6, 10, QChar('0')),
                                             QStringLiteral("00:11:22:%1").arg(i, 8, 16, QChar('0'))}
                                      .block());
                record->setFirmwareType(static_cast<quint8>(2 + i % 3));
                w->addDevToDept(record.get());
                records.push_back(std::move(record));
            }
            QCoreApplication::processEvents();
            w->onDepartmentSelected(w->shownDepartment()); // every device selected
            for (int round = 0; round < 2; ++round) {
                for (auto& record : records) {
                    record->setBootMode(round == 0 ? ThinclientInfo::BootOffline
                                                   : ThinclientInfo::BootNormal);
                    w->updateTreeViewEntry(record.get(), true);
                }
            }
            const qint64 elapsed = timer.elapsed();
            return w->selectedDevices(true).size() == count ? elapsed : qint64(-1);
        };
        const qint64 small = measure(1000);
        const qint64 large = measure(8000);
        QVERIFY(small >= 0 && large >= 0);
        qInfo("1000 devices: %lld ms, 8000 devices: %lld ms", small, large);
        // Linear would be 8 times; a per-device walk over all rows would be 64 times.
        QVERIFY2(large < 24 * qMax<qint64>(small, 20), qPrintable(QString("%1 vs %2").arg(small).arg(large)));
    }
};

RVX_GUI_TEST_MAIN(TestDeviceList)
#include "test_devicelist.moc"

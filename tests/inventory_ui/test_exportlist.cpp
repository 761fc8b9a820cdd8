// "Export Device List": the selection gate, the file dialog, the file name, the text of the
// file (a header per department, CR LF line ends) and the messages.

#include "windowfixture.h"

#include "configlib.h"
#include "devicetext.h"

#include <QDir>

using rvx::Ask;
using namespace rvx::test;

namespace {

const QByteArray Header = "Serial Number,MAC Address,Hostname,Primary IP,Client Ver,Firmware Ver,TFM Ver,"
                          "Kernel Ver,Based on,Mode,Firmware Type,Resets to\r\n";

} // namespace

class TestExportList : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    // Two departments, "Orphans" with two stored devices and an empty "Spare"; the first
    // device selected.
    MainWindow* startWithDevices()
    {
        f = std::make_unique<WindowFixture>();
        f->writeDepartments("[department]\nid=0\nname=Orphans\n\n[department]\nid=1\nname=Spare\n");
        rvxDB db(f->ws.path("db"));
        ThinclientInfo custom;
        custom.loadBlock(DeviceSpec("zx-0001", "00:11:22:33:dd:01").block());
        custom.setResetsToCustom(true);
        custom.setBasedOn("kiosk.txt");
        db.saveState("zx-0001", custom.block());
        db.saveState("ZX-0002", DeviceSpec("ZX-0002", "00:11:22:33:dd:02").block());
        MainWindow* w = f->start();
        f->select({f->department("Orphans")->devices.first()});
        return w;
    }

private slots:
    void init() { Ask::setTestMode(true); }
    void cleanup() { f.reset(); }

    void nothingSelected()
    {
        f = std::make_unique<WindowFixture>();
        f->storeDevice(DeviceSpec("ZX-0003"));
        MainWindow* w = f->start();
        w->on_export_device_list_triggered();
        QCOMPARE(Ask::records().size(), 1);
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("Export Device List"));
        QCOMPARE(Ask::lastMessage().text,
                 QString("\nNo devices selected! You must select at least one device."));
    }

    void exportsEveryDepartment()
    {
        MainWindow* w = startWithDevices();
        const QString chosen = f->ws.path("devices");
        Ask::chooseNext(chosen);
        w->on_export_device_list_triggered();

        const Ask::Record dialog = Ask::records().at(0);
        QCOMPARE(dialog.kind, Ask::Kind::SaveFile);
        QCOMPARE(dialog.title, QString("Save file as"));
        QCOMPARE(dialog.text, QDir::toNativeSeparators(QDir::homePath()));
        QCOMPARE(dialog.extra, QString("Comma Separated Values (*.csv)"));

        // One header per department, also the empty one; CR LF everywhere; "Custom" and
        // "Defaults" where they apply; only device lines counted.
        const QByteArray text = fileBytes(chosen + ".csv");
        QCOMPARE(text.count(Header), 2);
        QCOMPARE(text.count("\r\n"), 4);
        QCOMPARE(text.count('\n'), 4);
        QVERIFY(text.endsWith(Header));
        const QList<QByteArray> lines = text.split('\n');
        QList<QByteArray> devices{lines.at(1), lines.at(2)};
        std::sort(devices.begin(), devices.end());
        const QByteArray modeAndType = protocolDisplayName(0).toLatin1() + ',' + config_hardware_name(2);
        QCOMPARE(devices.at(0), "ZX-0001,00:11:22:33:dd:01,zyl-x-0001,10.77.0.2,8.4.0,8.4.0,2.0,6.1.0-zylos,"
                                "kiosk.txt," +
                                    modeAndType + ",Custom\r");
        QCOMPARE(devices.at(1), "ZX-0002,00:11:22:33:dd:02,zyl-X-0002,10.77.0.2,8.4.0,8.4.0,2.0,6.1.0-zylos,"
                                "Defaults," +
                                    modeAndType + ",Factory\r");
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Information);
        QCOMPARE(Ask::lastMessage().title, QString("Export Completed"));
        QCOMPARE(Ask::lastMessage().text, QString("\nData for 2 devices has been exported."));
    }

    void fileNames()
    {
        MainWindow* w = startWithDevices();
        const QString upper = f->ws.path("LIST.CSV");
        Ask::chooseNext(upper);
        w->on_export_device_list_triggered();
        QVERIFY(QFile::exists(upper));
        QVERIFY(!QFile::exists(upper + ".csv"));

        // An existing file is replaced whole.
        const QString existing = f->ws.path("old.csv");
        QFile old(existing);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(5000, 'x'));
        old.close();
        Ask::chooseNext(existing);
        w->on_export_device_list_triggered();
        QVERIFY(fileBytes(existing).startsWith(Header));
        QVERIFY(!fileBytes(existing).contains('x' + QByteArray(10, 'x')));

        // Cancelled: nothing more is said.
        Ask::clearRecords();
        w->on_export_device_list_triggered();
        QCOMPARE(Ask::records().size(), 1);
    }

    void unwritableFile()
    {
        MainWindow* w = startWithDevices();
        const QString path = f->ws.path("missing-folder/list.csv");
        Ask::chooseNext(path);
        w->on_export_device_list_triggered();
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("File Create Error"));
        QCOMPARE(Ask::lastMessage().text, "Error creating file:\n\n" + QDir::toNativeSeparators(path));
    }
};

RVX_GUI_TEST_MAIN(TestExportList)
#include "test_exportlist.moc"

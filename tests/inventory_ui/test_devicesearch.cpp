// Finding devices in the main window with real simulated agents: the search box filters the
// lists as one types, the department labels count the matches, Escape and Ctrl+F, the
// selection and the device actions follow the shown rows only, and the "Profile" column and
// the device information dialog show drift from the department's linked profile.

#include "windowfixture.h"

#include "devicesearch.h"
#include "dlgshowdevinfo.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>

using rvx::Ask;
using namespace rvx::test;

namespace {

DeviceSpec named(const QString& serial, const QString& hostname)
{
    DeviceSpec device(serial, QString());
    device.hostname = hostname;
    return device;
}

// The serial numbers of the shown rows of a list, sorted.
QStringList shownSerials(const DepartmentView* list)
{
    QStringList serials;
    const QStandardItemModel* model = list->model();
    for (int g = 0; g < model->rowCount(); ++g) {
        if (list->view()->isRowHidden(g, QModelIndex()))
            continue;
        const QModelIndex group = model->index(g, 0);
        for (int r = 0; r < model->rowCount(group); ++r) {
            if (!list->view()->isRowHidden(r, group))
                serials << DepartmentView::deviceOf(model->index(r, 0, group))->serialNumber();
        }
    }
    serials.sort();
    return serials;
}

QStringList serialsOf(const QList<ThinclientInfo*>& devices)
{
    QStringList serials;
    for (const ThinclientInfo* d : devices)
        serials << d->serialNumber();
    serials.sort();
    return serials;
}

} // namespace

class TestDeviceSearch : public QObject
{
    Q_OBJECT

    static void writeSalesAndLab(WindowFixture& f)
    {
        f.writeDepartments("[department]\nid=0\nname=Orphans\n\n[department]\nid=2\nname=Sales\n"
                           "serial=zs-1\nserial=zs-2\nserial=zs-3\n\n[department]\nid=3\nname=Lab\n"
                           "serial=zl-1\nserial=zl-2\n");
    }

private slots:
    void typingFiltersListsAndCountsOnLabels()
    {
        WindowFixture f;
        writeSalesAndLab(f);
        MainWindow* w = f.start();
        QVERIFY(w);
        for (const DeviceSpec& device :
             {named("ZS-1", "sales-desk-1"), named("ZS-2", "sales-desk-2"), named("ZS-3", "sales-kiosk"),
              named("ZL-1", "lab-desk"), named("ZL-2", "lab-bench")})
            QVERIFY(f.connectAgent(device));
        DeptInfo* sales = f.department("Sales");
        DeptInfo* lab = f.department("Lab");
        w->onDepartmentSelected(sales);
        QLineEdit* box = w->findChild<QLineEdit*>("searchBox");
        QVERIFY(box);
        QCOMPARE(box->placeholderText(), QString("Search devices"));
        QVERIFY(box->isClearButtonEnabled());
        const QString plainSales = sales->label->text();
        QCOMPARE(plainSales, ZylDropLabel::labelText("Sales"));

        QTest::keyClicks(box, "DESK");
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-1", "ZS-2"}));
        QCOMPARE(shownSerials(lab->view), QStringList({"ZL-1"}));
        QCOMPARE(sales->label->text(), QString("<font color='white'>Sales<br>(2 of 3)</font>"));
        QCOMPARE(lab->label->text(), QString("<font color='white'>Lab<br>(1 of 2)</font>"));
        QCOMPARE(f.department("Orphans")->label->text(), ZylDropLabel::labelText("Orphans", 0, 0));
        // Two words: both must be found (here in the host name and the version cells).
        box->setText("desk 8.4");
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-1", "ZS-2"}));
        box->setText("desk-2 8.4");
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-2"}));
        // Backspacing widens the search again.
        box->setText("desk");
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-1", "ZS-2"}));
        // A query nothing matches hides the group row too.
        box->setText("zebra");
        QVERIFY(shownSerials(sales->view).isEmpty());
        QVERIFY(w->shownView()->view()->isRowHidden(0, QModelIndex()));
        QCOMPARE(sales->label->text(), QString("<font color='white'>Sales<br>(0 of 3)</font>"));

        // Labels built anew (departments reordered or created) show the count too.
        box->setText("kiosk");
        const ZylDropLabel rebuilt(sales);
        QCOMPARE(rebuilt.text(), QString("<font color='white'>Sales<br>(1 of 3)</font>"));

        // Escape in the box empties it: every row and the plain labels are back.
        QTest::keyClick(box, Qt::Key_Escape);
        QCOMPARE(box->text(), QString());
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-1", "ZS-2", "ZS-3"}));
        QCOMPARE(shownSerials(lab->view), QStringList({"ZL-1", "ZL-2"}));
        QVERIFY(!w->shownView()->view()->isRowHidden(0, QModelIndex()));
        QCOMPARE(f.department("Sales")->label->text(), plainSales);
    }

    void devicesArrivingOrChangingObeyTheQuery()
    {
        WindowFixture f;
        writeSalesAndLab(f);
        MainWindow* w = f.start();
        QVERIFY(w);
        QVERIFY(f.connectAgent(named("ZS-1", "sales-desk-1")));
        DeptInfo* sales = f.department("Sales");
        w->onDepartmentSelected(sales);
        w->search()->setQuery("desk");
        QVERIFY(f.connectAgent(named("ZS-2", "sales-kiosk")));
        QVERIFY(f.connectAgent(named("ZS-3", "sales-desk-3")));
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-1", "ZS-3"}));
        QCOMPARE(sales->label->text(), QString("<font color='white'>Sales<br>(2 of 3)</font>"));
        // A device that goes offline keeps matching by its host name; one that leaves the
        // department leaves the count.
        f.agents.back()->disconnectFromServer();
        QVERIFY(waitFor([&] { return f.device("ZS-3")->bootMode() == ThinclientInfo::BootOffline; }));
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-1", "ZS-3"}));
        w->search()->setQuery("offline");
        QCOMPARE(shownSerials(sales->view), QStringList({"ZS-3"}));
        w->search()->setQuery("desk");
        f.select({f.device("ZS-1")});
        w->onDeviceDropped(f.department("Lab"), sales->view->view());
        QVERIFY(waitFor([&] { return sales->devices.size() == 2; }));
        QVERIFY(waitFor(
            [&] { return sales->label->text() == QString("<font color='white'>Sales<br>(1 of 2)</font>"); }));
        QCOMPARE(f.department("Lab")->label->text(), QString("<font color='white'>Lab<br>(1 of 1)</font>"));
    }

    void selectionAndActionsFollowTheShownRows()
    {
        WindowFixture f;
        writeSalesAndLab(f);
        MainWindow* w = f.start();
        QVERIFY(w);
        for (const DeviceSpec& device :
             {named("ZS-1", "sales-desk-1"), named("ZS-2", "sales-desk-2"), named("ZS-3", "sales-kiosk")})
            QVERIFY(f.connectAgent(device));
        DeptInfo* sales = f.department("Sales");
        w->onDepartmentSelected(sales); // selects the whole list
        QCoreApplication::processEvents();
        QCOMPARE(serialsOf(w->context().selectedDevices(false)), QStringList({"ZS-1", "ZS-2", "ZS-3"}));
        QAction* one = w->findChild<QAction*>("btnChangeName");
        QVERIFY(!one->isEnabled());

        // Rows the query hides leave the selection; the actions see the one left.
        w->search()->setQuery("kiosk");
        QCoreApplication::processEvents();
        QCOMPARE(serialsOf(w->context().selectedDevices(false)), QStringList({"ZS-3"}));
        QVERIFY(one->isEnabled());

        // Selecting the department again selects the shown rows only.
        w->search()->setQuery("desk");
        w->onDepartmentSelected(sales);
        QCoreApplication::processEvents();
        QCOMPARE(serialsOf(w->context().selectedDevices(false)), QStringList({"ZS-1", "ZS-2"}));
        QVERIFY(!one->isEnabled());
        // A click on the group row selects its shown devices.
        f.shown()->view()->clearSelection();
        f.shown()->view()->selectionModel()->select(f.shown()->group(2)->index(),
                                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w->onTreeViewClicked(f.shown()->group(2)->index());
        QCOMPARE(serialsOf(w->context().selectedDevices(false)), QStringList({"ZS-1", "ZS-2"}));
    }

    void ctrlFFocusesTheBox()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QVERIFY(w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QLineEdit* box = w->findChild<QLineEdit*>("searchBox");
        box->setText("lab");
        QWidget* list = f.shown()->view();
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(box->hasFocus());
        QCOMPARE(box->selectedText(), QString("lab"));
        // The box sits above the lists, in a tool-bar of its own.
        QVERIFY(box->mapTo(w, QPoint(0, 0)).y() < w->splitter()->mapTo(w, QPoint(0, 0)).y());
    }

    // A department linked to a profile: each device's "Profile" cell and its information
    // dialog tell whether applying the profile would change anything.
    void profileColumnAndInformationDialog()
    {
        WindowFixture f;
        const QString profile = f.ws.path("profiles/office.txt");
        QDir().mkpath(f.ws.path("profiles"));
        writeRaw(profile, "log_level=3\npowersave=no\nnic_wireless_password=QkJC\nbrd_hostname=office\n");
        f.writeDepartments("[department]\nid=0\nname=Orphans\n\n[department]\nid=2\nname=Sales\nprofile=" +
                           profile.toUtf8() + "\nserial=zs-1\nserial=zs-2\nserial=zs-3\n");
        // The column shown last, as the Options dialog would store it.
        rvx::columns::writeDefaultsIfMissing(*openStore());
        f.setSetting("colProfile", 7);
        f.setSetting("colText7", "Profile");
        MainWindow* w = f.start();
        QVERIFY(w);
        DeviceSpec differs = named("ZS-1", "sales-1");
        differs.configuration =
            "log_level=2\npowersave=no\nnic_wireless_password=QUFB\nbrd_hostname=sales-1\n";
        DeviceSpec matches = named("ZS-2", "sales-2");
        matches.configuration =
            "log_level=3\npowersave=no\nnic_wireless_password=QkJC\nbrd_hostname=sales-2\n";
        QVERIFY(f.connectAgent(differs));
        QVERIFY(f.connectAgent(matches));
        QVERIFY(f.connectAgent(named("ZS-3", "sales-3"))); // no configuration reported
        DeptInfo* sales = f.department("Sales");
        w->onDepartmentSelected(sales);
        DepartmentView* list = sales->view;
        const int cell = list->layout().cell(DeviceColumn::Profile);
        QCOMPARE(cell, 7);
        QCOMPARE(list->model()->headerData(cell, Qt::Horizontal).toString(), QString("Profile"));
        QVERIFY(waitFor(
            [&] { return list->cell(f.device("ZS-1"), DeviceColumn::Profile)->text() == "differs (2)"; }));
        QCOMPARE(list->cell(f.device("ZS-2"), DeviceColumn::Profile)->text(), QString("matches"));
        QCOMPARE(list->cell(f.device("ZS-3"), DeviceColumn::Profile)->text(), QString());
        // Sorted by the column: matches, differs, then the device without a configuration.
        list->view()->sortByColumn(cell, Qt::AscendingOrder);
        const QModelIndex group = f.shown()->group(2)->index();
        QStringList order;
        for (int r = 0; r < list->model()->rowCount(group); ++r)
            order << DepartmentView::deviceOf(list->model()->index(r, 0, group))->serialNumber();
        QCOMPARE(order, QStringList({"ZS-2", "ZS-1", "ZS-3"}));
        // The column is searched like the others.
        w->search()->setQuery("differs");
        QCOMPARE(shownSerials(list), QStringList({"ZS-1"}));
        w->search()->setQuery("");

        // The device reports the profile's values: it matches from then on.
        f.agents.front()->sendConfiguration(matches.configuration, 55, true);
        QVERIFY(f.agents.front()->echo());
        QVERIFY(waitFor(
            [&] { return list->cell(f.device("ZS-1"), DeviceColumn::Profile)->text() == "matches"; }));
        f.agents.front()->sendConfiguration(differs.configuration, 55, true);
        QVERIFY(f.agents.front()->echo());
        QVERIFY(waitFor(
            [&] { return list->cell(f.device("ZS-1"), DeviceColumn::Profile)->text() == "differs (2)"; }));

        QString summary;
        QList<QStringList> rows;
        Ask::scriptNext([&](QDialog* d) {
            auto* info = qobject_cast<DlgShowDevInfo*>(d);
            summary = info->driftLabel()->text();
            for (int r = 0; r < info->driftModel()->rowCount(); ++r) {
                QStringList row;
                for (int c = 0; c < 4; ++c)
                    row << info->driftModel()->index(r, c).data().toString();
                rows << row;
            }
        });
        w->onTreeViewDoubleClicked(WindowFixture::indexOf(f.device("ZS-1")));
        QCOMPARE(summary, QString("Differs from the linked profile %1 in 2 setting(s):")
                              .arg(QDir::toNativeSeparators(profile)));
        QCOMPARE(rows, QList<QStringList>({{"Log Level", "log_level", "2", "3"},
                                           {"Network", "nic_wireless_password", "********", "********"}}));

        // Unlinked: the cells empty, the dialog has no drift section.
        Ask::answerNext(QMessageBox::Yes);
        w->onDepartmentUnlinkProfile(sales);
        QCOMPARE(list->cell(f.device("ZS-1"), DeviceColumn::Profile)->text(), QString());
        bool hasSection = true;
        Ask::scriptNext([&](QDialog* d) { hasSection = qobject_cast<DlgShowDevInfo*>(d)->driftLabel(); });
        w->onTreeViewDoubleClicked(WindowFixture::indexOf(f.device("ZS-1")));
        QVERIFY(!hasSection);
    }
};

RVX_GUI_TEST_MAIN(TestDeviceSearch)
#include "test_devicesearch.moc"

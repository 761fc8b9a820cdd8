// The department panel: its menus, creating, renaming and deleting departments with their
// messages and audit sentences, reordering by dragging labels, and moving devices by
// dropping their rows on a label.

#include "windowfixture.h"

#include "dlggettext.h"
#include "popupmenu.h"
#include "zylmimedata.h"
#include "zylscrollarea.h"

#include <QAction>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSplitter>

using rvx::Ask;
using namespace rvx::test;

namespace {

// Answers the next text prompt with the text (empty: cancel).
void answerText(const QString& text)
{
    Ask::scriptNext([text](QDialog* dialog) {
        if (text.isEmpty()) {
            QMetaObject::invokeMethod(dialog, "reject");
            return;
        }
        dialog->findChild<QLineEdit*>()->setText(text);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

// Drags the data onto the label and drops it there; true when the label took it.
bool dropOn(ZylDropLabel* label, QMimeData* data)
{
    QDragEnterEvent enter(QPoint(5, 5), Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(label, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPoint(5, 5), Qt::MoveAction, data, Qt::LeftButton, {});
    QApplication::sendEvent(label, &drop);
    return drop.isAccepted();
}

const QByteArray FiveDepartments = "[department]\nid=0\nname=Orphans\n\n[department]\nid=1\nname=A\n\n"
                                   "[department]\nid=2\nname=B\n\n[department]\nid=5\nname=C\n\n"
                                   "[department]\nid=7\nname=D\nserial=zk-0001\n";

} // namespace

class TestDepartmentPanel : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::setTestMode(true); }
    void cleanup() { rvx::ui::setMenuRunner({}); }

    void contextMenus()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        QStringList entries;
        QString trigger;
        rvx::ui::setMenuRunner([&](QMenu& menu, const QPoint&) {
            const auto actions = menu.actions();
            for (QAction* a : actions) {
                entries << a->text();
                if (a->text() == trigger)
                    a->trigger();
            }
        });
        auto* panel = w->findChild<ZylScrollArea*>();
        QVERIFY(panel);
        QTest::mousePress(panel->viewport(), Qt::RightButton, {}, QPoint(20, 300));
        QCOMPARE(entries, QStringList({"New Department"}));

        entries.clear();
        ZylDropLabel* label = f.department("Orphans")->label;
        QVERIFY(label);
        trigger = "Delete";
        QTest::mousePress(label, Qt::RightButton, {}, QPoint(5, 5));
        QCOMPARE(entries, QStringList({"Delete", "Link Profile", "Rename", "Unlink Profile"}));
        // "Delete" on "Orphans" reaches the window, which refuses it.
        QCOMPARE(Ask::lastMessage().title, QString("Delete Department"));

        // A left press selects; the label looks selected and linked labels say where to.
        QCOMPARE(label->styleSheet(), QString("ZylDropLabel { background-color: #000000; color: #ff0000; }"));
        f.department("Orphans")->profile = "/profiles/kiosk.txt";
        label->updateAppearance();
        QCOMPARE(label->toolTip(), QString("Linked to: /profiles/kiosk.txt"));
    }

    void createRenameDelete()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        clearAudit();

        answerText(QString());
        w->onNewDepartment();
        QCOMPARE(w->departments().size(), 1);

        answerText("Lab");
        w->onNewDepartment();
        answerText("Hall");
        w->onNewDepartment();
        QCOMPARE(f.departmentNames(), QStringList({"Orphans", "Lab", "Hall"}));
        DeptInfo* lab = f.department("Lab");
        QCOMPARE(lab->id, 1);
        QCOMPARE(f.department("Hall")->id, 2);
        QVERIFY(lab->label && lab->view);
        QVERIFY(!lab->label->isSelected());
        QVERIFY(waitFor([&] { return f.departmentsFile().contains("id=2\nname=Hall\n"); }));

        answerText("Lab 2");
        w->onDepartmentRename(lab);
        QCOMPARE(lab->name, QString("Lab 2"));
        QCOMPARE(lab->label->text(), QString("<font color='white'>Lab 2</font>"));
        QCOMPARE(auditSentences(), QStringList({"created new department Lab", "created new department Hall",
                                                "renamed department Lab to Lab 2"}));

        // The rules of deleting.
        w->onDepartmentDelete(f.department("Orphans"));
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Warning);
        QCOMPARE(Ask::lastMessage().text,
                 QString("Department:\n\nOrphans\n\nis a special case and cannot be deleted."));
        QVERIFY(f.connectAgent(DeviceSpec{"ZK-0001"}));
        ThinclientInfo* device = f.device("ZK-0001");
        f.select({device});
        w->onDeviceDropped(lab, f.shown()->view());
        QCOMPARE(lab->devices.size(), 1);
        w->onDepartmentDelete(lab);
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().text, QString("Cannot delete Department:\n\nLab 2\n\nIt is not empty!"));

        // The shown department is deleted: its predecessor is shown.
        w->onDepartmentSelected(f.department("Hall"));
        QCOMPARE(w->shownDepartment(), f.department("Hall"));
        Ask::answerNext(QMessageBox::No);
        w->onDepartmentDelete(f.department("Hall"));
        QCOMPARE(
            Ask::lastMessage().text,
            QString("Are you sure you want to delete department:\n\nHall\n\nThis action cannot be undone."));
        QCOMPARE(Ask::lastMessage().defaultButton, QMessageBox::No);
        QCOMPARE(w->departments().size(), 3);
        Ask::answerNext(QMessageBox::Yes);
        w->onDepartmentDelete(f.department("Hall"));
        QCOMPARE(f.departmentNames(), QStringList({"Orphans", "Lab 2"}));
        QCOMPARE(w->shownDepartment(), lab);
        QVERIFY(lab->label->isSelected());
        QCOMPARE(w->splitter()->widget(1), lab->view->view());
        QCOMPARE(auditSentences().last(), QString("deleted department Hall"));
        QVERIFY(waitFor([&] { return !f.departmentsFile().contains("Hall"); }));
    }

    void deletingTheFirstShowsTheSecond()
    {
        WindowFixture f;
        f.writeDepartments("[department]\nid=4\nname=First\n\n[department]\nid=0\nname=Orphans\n");
        MainWindow* w = f.start();
        QCOMPARE(w->shownDepartment(), f.department("First"));
        Ask::answerNext(QMessageBox::Yes);
        w->onDepartmentDelete(f.department("First"));
        QCOMPARE(f.departmentNames(), QStringList({"Orphans"}));
        QCOMPARE(w->shownDepartment(), f.department("Orphans"));
        QVERIFY(f.department("Orphans")->label->isSelected());
    }

    // Dragging the label at `from` and releasing it with the pointer at height y of the
    // panel gives the order.
    void reorder_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("y");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("to the top") << 2 << 20 << QStringList{"B", "Orphans", "A", "C", "D"};
        QTest::newRow("below the middle of the last")
            << 2 << 315 << QStringList{"Orphans", "A", "C", "D", "B"};
        QTest::newRow("just above the middle of the last")
            << 2 << 314 << QStringList{"Orphans", "A", "C", "B", "D"};
        QTest::newRow("one place up") << 2 << 100 << QStringList{"Orphans", "B", "A", "C", "D"};
        QTest::newRow("onto itself") << 2 << 150 << QStringList{"Orphans", "A", "B", "C", "D"};
    }
    void reorder()
    {
        QFETCH(int, from);
        QFETCH(int, y);
        QFETCH(QStringList, order);
        WindowFixture f;
        f.writeDepartments(FiveDepartments);
        MainWindow* w = f.start();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        clearAudit();
        DeptInfo* dragged = w->departments().at(from);
        const QPoint inLabel(20, y - from * 70); // the pointer in the label's own coordinates
        w->onDepartmentDragged(dragged, inLabel, false);
        auto* marker = w->findChild<QLabel*>("departmentDragMarker");
        QVERIFY(marker);
        QCOMPARE(marker->size(), QSize(64, 15));
        w->onDepartmentDragged(dragged, inLabel, false);
        QCOMPARE(marker->y(), y);
        w->onDepartmentDragged(dragged, inLabel, true);
        QVERIFY(!w->findChild<QLabel*>("departmentDragMarker"));
        QCOMPARE(f.departmentNames(), order);
        QCOMPARE(w->shownDepartment(), dragged);
        QVERIFY(dragged->label->isSelected());
        QCOMPARE(auditSentences(), QStringList({"reordered departments"}));

        // The order survives a restart.
        w = f.restart();
        QCOMPARE(f.departmentNames(), order);
        QCOMPARE(f.department("D")->members(), QStringList({"zk-0001"}));
    }

    // The label's own mouse handling: a drag with the left button reports positions, then
    // the drop.
    void labelDragSignals()
    {
        WindowFixture f;
        f.writeDepartments(FiveDepartments);
        MainWindow* w = f.start();
        ZylDropLabel* label = f.department("B")->label;
        QSignalSpy dragged(label, &ZylDropLabel::onDepartmentDragged);
        QTest::mousePress(label, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(w->shownDepartment(), f.department("B"));
        QMouseEvent move(QEvent::MouseMove, QPoint(10, 60), Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(label, &move);
        QVERIFY(label->isDragging());
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(10, 60));
        QCOMPARE(dragged.size(), 2);
        QCOMPARE(dragged.at(0).at(2).toBool(), false);
        QCOMPARE(dragged.at(1).at(2).toBool(), true);
        QCOMPARE(dragged.at(1).at(1).toPoint(), QPoint(10, 60));
    }

    void droppingDevices()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        answerText("Lab");
        w->onNewDepartment();
        answerText("Linked");
        w->onNewDepartment();
        DeptInfo* orphans = f.department("Orphans");
        DeptInfo* lab = f.department("Lab");
        DeptInfo* linked = f.department("Linked");
        linked->profile = "/profiles/kiosk.txt";
        QVERIFY(f.connectAgent(DeviceSpec{"ZM-0001", "00:11:22:33:cc:01"}));
        QVERIFY(f.connectAgent(DeviceSpec{"ZM-0002", "00:11:22:33:cc:02", 5}));
        SimAgent* online = f.connectAgent(DeviceSpec{"ZM-0003", "00:11:22:33:cc:03"});
        QVERIFY(online);
        ThinclientInfo* a = f.device("ZM-0001");
        ThinclientInfo* b = f.device("ZM-0002");
        ThinclientInfo* c = f.device("ZM-0003");
        QCOMPARE(orphans->devices.size(), 3);
        clearAudit();

        // Rows dropped on their own department's label change nothing.
        f.select({a, b});
        ZylMimeData* data = new ZylMimeData(orphans->view->view());
        QVERIFY(dropOn(orphans->label, data));
        QCOMPARE(orphans->devices.size(), 3);
        QVERIFY(auditSentences().isEmpty());

        // Dropped on another label, the devices move, rows and file entries with them.
        QVERIFY(dropOn(lab->label, data));
        QCOMPARE(lab->devices.size(), 2);
        QCOMPARE(orphans->devices, QList<ThinclientInfo*>({c}));
        QCOMPARE(lab->view->groupCount(), 2);
        QCOMPARE(orphans->view->groupCount(), 1);
        QVERIFY(a->item && a->item->model() == lab->view->model());
        QCOMPARE(auditSentences(),
                 QStringList({"moved ZM-0001 to department Lab", "moved ZM-0002 to department Lab"}));
        QVERIFY(orphans->view->view()->selectionModel()->selection().isEmpty());
        QVERIFY(waitFor([&] { return !w->departmentsDirty(); }));
        QByteArray file = f.departmentsFile();
        QVERIFY(file.contains("name=Lab\nimage_file=\nprofile=\nserial=zm-0001\nserial=zm-0002\n"));
        QCOMPARE(file.count("zm-0001"), 1);

        // Onto a department with a linked profile: the online device is disconnected so that
        // it receives the profile when it connects again.
        f.select({c});
        w->onDeviceDropped(linked, orphans->view->view());
        QCOMPARE(linked->devices, QList<ThinclientInfo*>({c}));
        QVERIFY(online->waitForDisconnected());
        QVERIFY(waitFor([&] { return c->bootMode() == ThinclientInfo::BootOffline; }));
        QCOMPARE(WindowFixture::rowTexts(c).last(), QString("Offline"));
        delete data;
    }

    void autoScrollStopsWithoutButton()
    {
        WindowFixture f;
        MainWindow* w = f.start();
        w->onDragEnter(f.department("Orphans"), QPoint(5, 5));
        auto timers = w->findChildren<QTimer*>();
        QTimer* scroll = nullptr;
        for (QTimer* t : timers) {
            if (t->interval() == 50 && t->isActive())
                scroll = t;
        }
        QVERIFY(scroll);
        w->onScrollTimerFired();
        QVERIFY(!scroll->isActive());
    }
};

RVX_GUI_TEST_MAIN(TestDepartmentPanel)
#include "test_departmentpanel.moc"

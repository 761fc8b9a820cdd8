// The time-zone and language dialog: which region, zone and locale a stored value opens with,
// the device's lists merged in, and what OK gives back.

#include "ask.h"
#include "dialogfixture.h"
#include "dlglocale.h"
#include "guisupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>

using rvx::Ask;

namespace {

QStringList items(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

class TestDlgLocale : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }

    void form()
    {
        setStore({});
        DlgLocale dialog;
        QCOMPARE(dialog.windowTitle(), QString("Select Time Zone and Language"));
        QCOMPARE(dialog.minimumSize(), QSize(450, 400));
        QCOMPARE(dialog.maximumHeight(), 400);
        QVERIFY(!child<QLabel>(dialog, "lblMap")->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(child<QComboBox>(dialog, "cmbxRegion")->count(), 11);
        QCOMPARE(items(child<QComboBox>(dialog, "cmbxLocale")), QStringList({"C.UTF-8 (UTF-8)"}));
        // No time server of its own: the public pool.
        QCOMPARE(child<QLineEdit>(dialog, "tbxTimeServer")->text(), QString("pool.ntp.org"));
        QSignalSpy spy(&dialog, &DlgLocale::getLocaleLists);
        dialog.requestDeviceData();
        QCOMPARE(spy.count(), 1);
    }

    void opensWith_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("sent");
        // Shown under "(None)", sent as the zone alone: no device knows "(None)/UTC".
        QTest::newRow("Etc/UTC") << QByteArray("Etc/UTC") << "(None)"
                                 << "UTC"
                                 << "UTC";
        QTest::newRow("Buenos Aires") << QByteArray("America/Argentina/Buenos_Aires") << "America"
                                      << "Argentina/Buenos_Aires"
                                      << "America/Argentina/Buenos_Aires";
        QTest::newRow("no zone name") << QByteArray("Atlantis Deep") << "(None)"
                                      << "UTC"
                                      << "UTC";
        QTest::newRow("unknown region") << QByteArray("Mars Base/Alpha 1") << "Europe"
                                        << "Amsterdam"
                                        << "Europe/Amsterdam";
        // Kept although the lists lack it, so OK leaves the device where it is.
        QTest::newRow("America/Nuuk") << QByteArray("America/Nuuk") << "America"
                                      << "Nuuk"
                                      << "America/Nuuk";
        QTest::newRow("Etc/GMT+5") << QByteArray("Etc/GMT+5") << "Etc"
                                   << "GMT+5"
                                   << "Etc/GMT+5";
    }
    void opensWith()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, region);
        QFETCH(QString, zone);
        QFETCH(QString, sent);
        setStore({{"timezone", stored}, {"time_server", "ntp.lab.example"}});
        DlgLocale dialog;
        QCOMPARE(child<QComboBox>(dialog, "cmbxRegion")->currentText(), region);
        QCOMPARE(child<QComboBox>(dialog, "cmbxZone")->currentText(), zone);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.timezone(), sent);
        QCOMPARE(dialog.timeServer(), QString("ntp.lab.example"));
        QCOMPARE(dialog.locale(), QString("C.UTF-8"));
    }

    void regionChangeListsItsZones()
    {
        setStore({{"timezone", "Europe/Paris"}});
        DlgLocale dialog;
        auto* region = child<QComboBox>(dialog, "cmbxRegion");
        auto* zone = child<QComboBox>(dialog, "cmbxZone");
        QCOMPARE(zone->count(), 60);
        region->setCurrentIndex(region->findText("Arctic"));
        QCOMPARE(items(zone), QStringList({"Longyearbyen"}));
        region->setCurrentIndex(region->findText("America"));
        QCOMPARE(zone->count(), 147);
        zone->setCurrentIndex(zone->findText("Indiana/Indianapolis"));
        dialog.accept();
        QCOMPARE(dialog.timezone(), QString("America/Indiana/Indianapolis"));
    }

    void deviceZonesMergeSorted()
    {
        setStore({{"timezone", "Europe/Kyiv"}});
        DlgLocale dialog;
        auto* region = child<QComboBox>(dialog, "cmbxRegion");
        auto* zone = child<QComboBox>(dialog, "cmbxZone");
        QCOMPARE(zone->currentText(), QString("Kyiv")); // kept before the device answers
        dialog.setLocaleLists({{"TimeZones",
                                {"Europe/Kyiv", "Europe/Paris", "Asia/Qostanay", "Etc/GMT-14", "Zulu",
                                 "America/Ciudad_Juarez"}}});
        QCOMPARE(items(region), QStringList({"(None)", "Africa", "America", "Antarctica", "Arctic", "Asia",
                                             "Atlantic", "Australia", "Etc", "Europe", "Indian", "Pacific"}));
        QCOMPARE(region->currentText(), QString("Europe"));
        QCOMPARE(zone->currentText(), QString("Kyiv"));
        QCOMPARE(zone->count(), 61);
        QStringList sorted = items(zone);
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(items(zone), sorted);
        region->setCurrentIndex(region->findText("(None)"));
        QCOMPARE(items(zone), QStringList({"UTC", "Zulu"}));
    }

    void administratorsChoiceSurvivesTheLists()
    {
        setStore({{"timezone", "Europe/Paris"}});
        DlgLocale dialog;
        auto* region = child<QComboBox>(dialog, "cmbxRegion");
        auto* zone = child<QComboBox>(dialog, "cmbxZone");
        region->setCurrentIndex(region->findText("Asia"));
        emit region->activated(region->currentIndex());
        zone->setCurrentIndex(zone->findText("Tokyo"));
        emit zone->activated(zone->currentIndex());
        dialog.setTimezones({"Asia/Tokyo", "Europe/Paris", "Asia/Famagusta"});
        QCOMPARE(region->currentText(), QString("Asia"));
        QCOMPARE(zone->currentText(), QString("Tokyo"));
    }

    void locales_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shownBefore");
        QTest::addColumn<QString>("shownAfter");
        QTest::addColumn<QString>("sent");
        QTest::newRow("found by its bare name") << QByteArray("en_US.UTF-8") << "en_US.UTF-8"
                                                << "en_US.UTF-8 UTF-8"
                                                << "en_US.UTF-8";
        QTest::newRow("a shorter name is another locale") << QByteArray("en_US") << "en_US"
                                                          << "en_US ISO-8859-1"
                                                          << "en_US";
        QTest::newRow("empty takes the first") << QByteArray() << "C.UTF-8 (UTF-8)"
                                               << "de_DE.UTF-8 UTF-8"
                                               << "de_DE.UTF-8";
        QTest::newRow("missing is kept") << QByteArray("fr_CA.UTF-8") << "fr_CA.UTF-8"
                                         << "fr_CA.UTF-8"
                                         << "fr_CA.UTF-8";
    }
    void locales()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shownBefore);
        QFETCH(QString, shownAfter);
        QFETCH(QString, sent);
        setStore({{"locale", stored}});
        DlgLocale dialog;
        auto* box = child<QComboBox>(dialog, "cmbxLocale");
        QCOMPARE(box->currentText(), shownBefore);
        dialog.setLocaleLists(
            {{"locales", {"de_DE.UTF-8 UTF-8", "en_US.UTF-8 UTF-8", "en_US ISO-8859-1", "C.UTF-8 UTF-8"}}});
        QVERIFY(!items(box).contains("C.UTF-8 (UTF-8)")); // the device's list replaces it
        QCOMPARE(box->currentText(), shownAfter);
        dialog.accept();
        QCOMPARE(dialog.locale(), sent);
    }

    void timeServerOutsideLatin1Refused()
    {
        setStore({});
        DlgLocale dialog;
        child<QLineEdit>(dialog, "tbxTimeServer")->setText("zeit.bücher.例");
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(Ask::lastMessage().title, QString("Select Time Zone and Language"));
        child<QLineEdit>(dialog, "tbxTimeServer")->setText("  ntp.lab.example ");
        dialog.accept();
        QCOMPARE(dialog.timeServer(), QString("ntp.lab.example"));
    }
};

RVX_GUI_TEST_MAIN(TestDlgLocale)
#include "test_dlglocale.moc"

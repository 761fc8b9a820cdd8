// The time-zone and language rules: the built-in zone list, the region/zone split and which
// entries a stored value selects, the locale match, and what both agent generations receive.

#include "configlib.h"
#include "legacy.h"
#include "localeconfig.h"
#include "testmain.h"

using namespace localeconfig;
using rvx::test::bytes;

namespace {

commands::DeviceFacts device(const QString& client)
{
    commands::DeviceFacts d;
    d.serial = "SN-4";
    d.clientVersion = client;
    return d;
}

ZoneMap builtInMap()
{
    ZoneMap map;
    map.add(builtInZones());
    return map;
}

} // namespace

class TestLocaleRules : public QObject
{
    Q_OBJECT

private slots:
    void builtInZonesPerRegion_data()
    {
        QTest::addColumn<QString>("region");
        QTest::addColumn<int>("count");
        QTest::newRow("Africa") << "Africa" << 52;
        QTest::newRow("America") << "America" << 147;
        QTest::newRow("Antarctica") << "Antarctica" << 11;
        QTest::newRow("Arctic") << "Arctic" << 1;
        QTest::newRow("Asia") << "Asia" << 83;
        QTest::newRow("Atlantic") << "Atlantic" << 10;
        QTest::newRow("Australia") << "Australia" << 12;
        QTest::newRow("Europe") << "Europe" << 60;
        QTest::newRow("Indian") << "Indian" << 11;
        QTest::newRow("Pacific") << "Pacific" << 38;
        QTest::newRow("no region") << "(None)" << 1;
    }
    void builtInZonesPerRegion()
    {
        QFETCH(QString, region);
        QFETCH(int, count);
        QCOMPARE(builtInMap().zones(region).size(), count);
    }

    void builtInZoneList()
    {
        const QStringList& zones = builtInZones();
        QCOMPARE(zones.size(), 426);
        QCOMPARE(zones.first(), QString("Africa/Abidjan"));
        QCOMPARE(zones.at(424), QString("Pacific/Wallis"));
        QCOMPARE(zones.last(), QString("UTC"));
        QStringList sorted = zones.mid(0, 425);
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, zones.mid(0, 425));
        QCOMPARE(QStringList(zones).removeDuplicates(), 0);
        // The names the firmware's table still has.
        QVERIFY(zones.contains("America/Godthab"));
        QVERIFY(zones.contains("Australia/Currie"));
        QCOMPARE(builtInMap().regions().size(), 11);
    }

    void splitAndJoin_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("zone");
        QTest::newRow("city") << "Europe/Paris"
                              << "Europe"
                              << "Paris";
        QTest::newRow("three parts") << "America/Argentina/Buenos_Aires"
                                     << "America"
                                     << "Argentina/Buenos_Aires";
        QTest::newRow("no slash") << "UTC"
                                  << "(None)"
                                  << "UTC";
    }
    void splitAndJoin()
    {
        QFETCH(QString, name);
        QFETCH(QString, region);
        QFETCH(QString, zone);
        const ZoneName split = splitZone(name);
        QCOMPARE(split.region, region);
        QCOMPARE(split.zone, zone);
        // What goes back to the device is the name it came from: never "(None)/UTC".
        QCOMPARE(joinZone(split), name);
    }

    void storedZoneSelects_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("zone");
        QTest::addColumn<bool>("added");
        QTest::newRow("known") << QByteArray("Asia/Tokyo") << "Asia"
                               << "Tokyo" << false;
        QTest::newRow("Etc/UTC is UTC") << QByteArray("Etc/UTC") << "(None)"
                                        << "UTC" << false;
        QTest::newRow("three parts") << QByteArray("America/Argentina/Buenos_Aires") << "America"
                                     << "Argentina/Buenos_Aires" << false;
        // A zone the lists lack stays what it is, so OK does not move the device.
        QTest::newRow("renamed zone kept") << QByteArray("America/Nuuk") << "America"
                                           << "Nuuk" << true;
        QTest::newRow("unknown region kept") << QByteArray("Etc/GMT+5") << "Etc"
                                             << "GMT+5" << true;
        // A value that is no zone name at all opens the first European zone.
        QTest::newRow("not a zone name") << QByteArray("Mars Base/Alpha 1") << "Europe"
                                         << "Amsterdam" << false;
        QTest::newRow("empty") << QByteArray() << "(None)"
                               << "UTC" << false;
    }
    void storedZoneSelects()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, region);
        QFETCH(QString, zone);
        QFETCH(bool, added);
        ZoneMap map = builtInMap();
        const ZoneName selected = currentZone(map, stored);
        QCOMPARE(selected.region, region);
        QCOMPARE(selected.zone, zone);
        QCOMPARE(map.zones(region).size() != builtInMap().zones(region).size(), added);
    }

    void deviceZonesMerge()
    {
        ZoneMap map = builtInMap();
        map.add(QStringList{"Europe/Paris", "Europe/Kyiv", "Etc/GMT-3", "America/Ciudad_Juarez", "Zulu"});
        const QStringList europe = map.zones("Europe");
        QCOMPARE(europe.size(), 61); // Paris was there already
        QStringList sorted = europe;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(europe, sorted);
        QVERIFY(europe.contains("Kyiv") && europe.contains("Kiev"));
        // New regions take their sorted place, case-sensitively ("(None)" sorts first).
        QCOMPARE(map.regions(), QStringList({"(None)", "Africa", "America", "Antarctica", "Arctic", "Asia",
                                             "Atlantic", "Australia", "Etc", "Europe", "Indian", "Pacific"}));
        QCOMPARE(map.zones("(None)"), QStringList({"UTC", "Zulu"}));
        QVERIFY(map.contains({"America", "Ciudad_Juarez"}));
    }

    void zoneNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        QTest::newRow("city") << "Europe/Paris" << true;
        QTest::newRow("offset") << "Etc/GMT+5" << true;
        QTest::newRow("bare") << "UTC" << true;
        QTest::newRow("blank") << "Europe/New York" << false;
        QTest::newRow("double slash") << "Europe//Paris" << false;
        QTest::newRow("leading slash") << "/Paris" << false;
        QTest::newRow("parent") << "../etc/passwd" << false;
        QTest::newRow("empty") << "" << false;
    }
    void zoneNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(isZoneName(name), valid);
    }

    void localeMatch_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("index");
        const QStringList list{"de_DE.UTF-8 UTF-8", "en_US.UTF-8 UTF-8", "en_US ISO-8859-1", "C.UTF-8 UTF-8"};
        QTest::newRow("bare name finds its entry") << list << "en_US.UTF-8" << 1;
        QTest::newRow("shorter name is another locale") << list << "en_US" << 2;
        QTest::newRow("empty takes the first") << list << "" << 0;
        QTest::newRow("missing") << list << "fr_FR.UTF-8" << -1;
        QTest::newRow("a prefix is not a match") << list << "de" << -1;
        QTest::newRow("empty list") << QStringList() << "C.UTF-8" << -1;
    }
    void localeMatch()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, stored);
        QFETCH(int, index);
        QCOMPARE(localeIndex(entries, stored), index);
    }

    void localeCodes()
    {
        QCOMPARE(localeCode(BuiltInLocale), QString("C.UTF-8"));
        QCOMPARE(localeCode("en_US"), QString("en_US"));
    }

    void namedLists()
    {
        const QMap<QString, QStringList> lists{{"TimeZones", {"Europe/Paris"}},
                                               {"locales", {"C.UTF-8 UTF-8"}}};
        QCOMPARE(namedList(lists, "timezones"), QStringList({"Europe/Paris"}));
        QCOMPARE(namedList(lists, "LOCALES"), QStringList({"C.UTF-8 UTF-8"}));
        QVERIFY(namedList(lists, "keyboards").isEmpty());
    }

    void textAndFrame()
    {
        const LocaleSettings s{"America/Argentina/Buenos_Aires", "ntp.example", "es_AR.UTF-8"};
        const QByteArray text = localeText(s);
        QCOMPARE(text, QByteArray("timezone=America/Argentina/Buenos_Aires\ntime_server=ntp.example\n"
                                  "locale=es_AR.UTF-8\n"));
        const std::optional<QByteArray> message = config_message_build_text(text, 4, true);
        QCOMPARE(config_message_parse(*message).value_or(QByteArray()), text);

        const QByteArray frame = timeZoneFrame(s);
        QCOMPARE(frame.left(4), bytes({4, 0, 0, 2 + 30 + 1 + 2 + 11 + 1}));
        // Older agents take zone and server; their reader gives the text without the locale.
        const std::optional<LegacyReport> back = legacy_convert(4, 0, frame.mid(4));
        QVERIFY(back);
        QCOMPARE(back->text, text.left(text.indexOf("locale=")));

        QCOMPARE(localeSentence("SN-4"), QString("set time zone and language on SN-4"));
        QCOMPARE(commands::sendCommandSentence(frame, "SN-4").value_or(QString()), localeSentence("SN-4"));
    }

    void messagesByGeneration()
    {
        const LocaleSettings s{"UTC", "pool.ntp.org", "C.UTF-8"};
        const delivery::Message text = message(device("8.0.0"), s);
        QVERIFY(text.isText);
        QCOMPARE(text.type, msg::Type::TimeZone);
        QCOMPARE(text.bytes, localeText(s));
        const delivery::Message frame = message(device("7.0.3"), s);
        QVERIFY(!frame.isText);
        QCOMPARE(frame.bytes, timeZoneFrame(s));
        QCOMPARE(frame.sentence, QString("set time zone and language on SN-4"));
    }

    void listGate()
    {
        QVERIFY(canListLocales(device("8.2.0")));
        QVERIFY(!canListLocales(device("8.1.9")));
    }

    void defaultTimeServerIsTheStoreDefault()
    {
        config_store_reset_for_testing("/nonexistent", "/nonexistent");
        QCOMPARE(config_store_get("time_server"), QByteArray(DefaultTimeServer));
    }
};

RVX_TEST_MAIN(TestLocaleRules)
#include "test_localerules.moc"

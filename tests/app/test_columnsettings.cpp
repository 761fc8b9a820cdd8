// The column layout of the device lists in the settings store: the first-run layout, the
// order the column chooser shows, and what it writes back.

#include "testmain.h"

#include "devicecolumns.h"

#include <QSettings>
#include <QTemporaryDir>

using namespace rvx;

class TestColumnSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fileNo = 0;

    QString freshFile() { return m_dir.filePath(QStringLiteral("s%1.ini").arg(++m_fileNo)); }

    static QStringList keysInListOrder(const QList<columns::ChooserEntry>& entries, bool checkedOnly)
    {
        QStringList keys;
        for (const auto& e : entries) {
            if (!checkedOnly || e.checked)
                keys << e.key;
        }
        return keys;
    }

private slots:
    void firstRunDefaults()
    {
        QSettings s(freshFile(), QSettings::IniFormat);
        QVERIFY(columns::writeDefaultsIfMissing(s));
        const QStringList shown = {"colFwType",       "colHostname",        "colIpAddress",
                                   "colProtocolType", "colFirmwareVersion", "colClientVersion",
                                   "colStatus"};
        const QStringList texts = {"Firmware Type", "Hostname",   "IP Address", "Mode",
                                   "Firmware Ver",  "Client Ver", "Status"};
        const QList<int> widths = {105, 160, 110, 90, 90, 90, 412};
        for (int n = 0; n < shown.size(); ++n) {
            QCOMPARE(s.value(shown.at(n)).toInt(), n);
            QCOMPARE(s.value(columns::textKey(n)).toString(), texts.at(n));
            QCOMPARE(s.value(columns::sizeKey(n)).toInt(), widths.at(n));
        }
        for (int n = 7; n < columns::Count; ++n) {
            QCOMPARE(s.value(columns::textKey(n)).toString(), QString());
            QCOMPARE(s.value(columns::sizeKey(n)).toInt(), -1);
        }
        for (const auto& c : columns::table()) {
            if (!shown.contains(QLatin1String(c.key)))
                QCOMPARE(s.value(QLatin1String(c.key)).toInt(), -1);
        }
        QCOMPARE(s.allKeys().size(), columns::Count * 3);
    }

    void existingLayoutIsKept()
    {
        QSettings s(freshFile(), QSettings::IniFormat);
        s.setValue("colFwType", 3);
        s.setValue("colSize0", 77);
        QVERIFY(!columns::writeDefaultsIfMissing(s));
        QCOMPARE(s.value("colFwType").toInt(), 3);
        QCOMPARE(s.value("colSize0").toInt(), 77);
        QVERIFY(!s.contains("colHostname"));
    }

    void positionReading_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("number") << QVariant(4) << 4;
        QTest::newRow("text number") << QVariant(QStringLiteral("12")) << 12;
        QTest::newRow("hidden") << QVariant(-1) << -1;
        QTest::newRow("other negative") << QVariant(-7) << -1;
        QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << -1;
        QTest::newRow("empty") << QVariant(QString()) << -1;
        QTest::newRow("absent") << QVariant() << -1;
    }

    void positionReading()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, expected);
        QSettings s(freshFile(), QSettings::IniFormat);
        if (stored.isValid())
            s.setValue("colMacAddress", stored);
        QCOMPARE(columns::position(s, "colMacAddress"), expected);
    }

    void chooserOrder()
    {
        QSettings s(freshFile(), QSettings::IniFormat);
        columns::writeDefaultsIfMissing(s);
        // Status first, Serial Number third, IP Address hidden, a non-number hides Mode.
        s.setValue("colStatus", 0);
        s.setValue("colFwType", 1);
        s.setValue("colSerialNumber", 2);
        s.setValue("colHostname", 3);
        s.setValue("colIpAddress", -1);
        s.setValue("colProtocolType", "x");
        s.setValue("colFirmwareVersion", 9);
        s.setValue("colClientVersion", 5);
        const auto entries = columns::chooserEntries(s);
        QCOMPARE(entries.size(), columns::Count);
        QCOMPARE(keysInListOrder(entries, true),
                 QStringList({"colStatus", "colFwType", "colSerialNumber", "colHostname", "colClientVersion",
                              "colFirmwareVersion"}));
        // The hidden ones follow in table order.
        QCOMPARE(entries.at(6).key, QString("colIpAddress"));
        QCOMPARE(entries.at(7).key, QString("colProtocolType"));
        QCOMPARE(entries.at(8).key, QString("colMacAddress"));
        QVERIFY(!entries.at(7).checked);
        QVERIFY(entries.at(0).alwaysShown);
        QVERIFY(!entries.at(2).alwaysShown);
    }

    void chooserNeverDropsAColumn()
    {
        // A hand-edited store with two columns at one position and a position beyond the
        // last column: every column stays in the list, ties in table order.
        QSettings s(freshFile(), QSettings::IniFormat);
        columns::writeDefaultsIfMissing(s);
        s.setValue("colIpAddress", 1); // same as colHostname
        s.setValue("colHwName", 40);
        const auto entries = columns::chooserEntries(s);
        QCOMPARE(entries.size(), columns::Count);
        QCOMPARE(keysInListOrder(entries, true).mid(0, 3),
                 QStringList({"colFwType", "colHostname", "colIpAddress"}));
        QCOMPARE(keysInListOrder(entries, true).last(), QString("colHwName"));
        QSet<QString> unique;
        for (const auto& e : entries)
            unique.insert(e.key);
        QCOMPARE(unique.size(), columns::Count);
    }

    void writeBackRenumbers()
    {
        QSettings s(freshFile(), QSettings::IniFormat);
        columns::writeDefaultsIfMissing(s);
        auto entries = columns::chooserEntries(s);
        // Check "Serial Number" and move it right below "Firmware Type"; hide "Mode".
        int serial = -1;
        for (int i = 0; i < entries.size(); ++i) {
            if (entries.at(i).key == QLatin1String("colSerialNumber"))
                serial = i;
        }
        QVERIFY(serial > 0);
        auto entry = entries.takeAt(serial);
        entry.checked = true;
        entries.insert(1, entry);
        for (auto& e : entries) {
            if (e.key == QLatin1String("colProtocolType"))
                e.checked = false;
        }
        columns::writeChooser(s, entries);

        const QStringList expectedTexts = {"Firmware Type", "Serial Number", "Hostname", "IP Address",
                                           "Firmware Ver",  "Client Ver",    "Status"};
        for (int n = 0; n < expectedTexts.size(); ++n)
            QCOMPARE(s.value(columns::textKey(n)).toString(), expectedTexts.at(n));
        for (int n = expectedTexts.size(); n < columns::Count; ++n)
            QCOMPARE(s.value(columns::textKey(n)).toString(), QString());
        QCOMPARE(s.value("colSerialNumber").toInt(), 1);
        QCOMPARE(s.value("colHostname").toInt(), 2);
        QCOMPARE(s.value("colStatus").toInt(), 6);
        QCOMPARE(s.value("colProtocolType").toInt(), -1);
        QCOMPARE(s.value("colMacAddress").toInt(), -1);

        // Read back, the chooser shows the new order.
        QCOMPARE(keysInListOrder(columns::chooserEntries(s), true),
                 QStringList({"colFwType", "colSerialNumber", "colHostname", "colIpAddress",
                              "colFirmwareVersion", "colClientVersion", "colStatus"}));
    }

    void writeBackWithGapsRenumbersFromZero()
    {
        QSettings s(freshFile(), QSettings::IniFormat);
        columns::writeDefaultsIfMissing(s);
        s.setValue("colFwType", 4);
        s.setValue("colHostname", 10);
        s.setValue("colStatus", 16);
        for (const char* key : {"colIpAddress", "colProtocolType", "colFirmwareVersion", "colClientVersion"})
            s.setValue(key, -1);
        columns::writeChooser(s, columns::chooserEntries(s));
        QCOMPARE(s.value("colFwType").toInt(), 0);
        QCOMPARE(s.value("colHostname").toInt(), 1);
        QCOMPARE(s.value("colStatus").toInt(), 2);
        QCOMPARE(s.value(columns::textKey(2)).toString(), QString("Status"));
        QCOMPARE(s.value(columns::textKey(3)).toString(), QString());
        QCOMPARE(s.value(columns::textKey(16)).toString(), QString());
    }
};

RVX_TEST_MAIN(TestColumnSettings)
#include "test_columnsettings.moc"

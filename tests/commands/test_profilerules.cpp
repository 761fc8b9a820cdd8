// Configuration profiles without the window: file names and bytes, loading into the store
// (and refusing what cannot be applied), the messages for whole and partial selections with
// the identity stripped, the department policy frames, and the texts.

#include "configlib.h"
#include "profiles.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace profiles;

namespace {

const QByteArray DeviceA = "brd_hostname=device-a\n"
                           "nic_dhcp_enabled=no\n"
                           "nic_ip=10.1.1.5\n"
                           "nic_netmask=255.255.255.0\n"
                           "nic_gateway=10.1.1.1\n"
                           "dns1=10.1.1.2\n"
                           "log_level=2\n"
                           "timezone=Europe/Paris\n"
                           "description=front desk\n"
                           "firewall_enabled=no\n"
                           "mrl_profile_filename=/old/place.txt\n";

commands::DeviceFacts agent(const QString& version)
{
    commands::DeviceFacts d;
    d.serial = QStringLiteral("SN");
    d.clientVersion = version;
    d.online = true;
    d.bootMode = commands::BootNormal;
    return d;
}

QByteArray linesOf(const QByteArray& message)
{
    return config_message_parse(message).value_or(QByteArray("<unparsable>"));
}

} // namespace

class TestProfileRules : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& data)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        f.write(data);
        return path;
    }

private slots:
    void init() { config_store_reset_for_testing(m_dir.filePath("no-env"), m_dir.filePath("no-tz")); }

    void fileNames()
    {
        QCOMPARE(withTxtExtension("/p/lab"), QString("/p/lab.txt"));
        QCOMPARE(withTxtExtension("/p/lab.TXT"), QString("/p/lab.TXT"));
        QCOMPARE(withTxtExtension("/p/lab.Txt"), QString("/p/lab.Txt"));
        QCOMPARE(withTxtExtension("/p/lab.txt.bak"), QString("/p/lab.txt.bak.txt"));
        const QString key = profileKey(QDir(m_dir.path()).relativeFilePath(m_dir.filePath("x/../lab.txt")));
        QVERIFY(QDir::isAbsolutePath(key));
        QVERIFY(!key.contains('\\'));
        QCOMPARE(profileFilenameText("/p/lab.txt"), QByteArray("mrl_profile_filename=/p/lab.txt\n"));
    }

    void fileBytesKeepTheTextWithPlatformLineEnds()
    {
        QCOMPARE(fileData("a=1\nb=2\n", false), QByteArray("a=1\nb=2\n"));
        QCOMPARE(fileData("a=1\nb=2\n", true), QByteArray("a=1\r\nb=2\r\n"));
        QCOMPARE(fileData("a=1\r\nb=2", true), QByteArray("a=1\r\nb=2")); // no CR CR LF
        QCOMPARE(fileData(QByteArray(), true), QByteArray());
    }

    void wholeProfileStripsIdentityAndNamesItself()
    {
        const QString path = write("a.txt", fileData(DeviceA, true)); // as saved on Windows
        QCOMPARE(loadIntoStore(path), LoadResult::Loaded);
        const QString key = profileKey(path);
        QCOMPARE(QString::fromLatin1(config_store_get("mrl_profile_filename")), key);

        const auto list = messages({}, true, false);
        QVERIFY(list);
        QCOMPARE(list->size(), 1);
        QCOMPARE(config_message_category(list->first()), 55);
        const QByteArray text = linesOf(list->first());
        for (const char* kept : {"log_level=2\n", "timezone=Europe/Paris\n", "description=front desk\n",
                                 "firewall_enabled=no\n", "nic_dhcp_enabled=no\n", "dns1=10.1.1.2\n"})
            QVERIFY2(text.contains(kept), kept);
        QVERIFY(text.contains("mrl_profile_filename=" + key.toLatin1() + "\n"));
        for (const char* identity : {"brd_hostname=", "nic_ip=", "nic_netmask=", "nic_gateway=", "\r"})
            QVERIFY2(!text.contains(identity), identity);
    }

    void partialSelectionOneMessagePerCategory()
    {
        QVERIFY(loadIntoStore(write("a.txt", DeviceA)) == LoadResult::Loaded);
        const auto list = messages({29, 31}, false, false);
        QVERIFY(list);
        QCOMPARE(list->size(), 2);
        QCOMPARE(config_message_category(list->at(0)), 29);
        QCOMPARE(config_message_category(list->at(1)), 31);
        QCOMPARE(linesOf(list->at(0)), QByteArray("nic_dhcp_enabled=no\ndns1=10.1.1.2\n"));
        QCOMPARE(linesOf(list->at(1)), QByteArray("log_level=2\n"));
    }

    void compressedWhenAllowed()
    {
        QByteArray big = DeviceA;
        for (int i = 0; i < 200; ++i)
            big += "description=the same text again and again\n";
        QVERIFY(loadIntoStore(write("big.txt", big)) == LoadResult::Loaded);
        const auto plain = messages({}, true, false);
        const auto packed = messages({}, true, true);
        QCOMPARE(plain->first().at(1), char(0));
        QCOMPARE(packed->first().at(1), char(1));
        QCOMPARE(linesOf(packed->first()), linesOf(plain->first()));
    }

    void profilesThatCannotBeApplied()
    {
        config_store_set("log_level", "2"); // left over from the selected device
        QCOMPARE(loadIntoStore(m_dir.filePath("moved-away.txt")), LoadResult::Unreadable);
        QVERIFY(config_store_collect(55)->isEmpty());
        QCOMPARE(loadIntoStore(m_dir.path()), LoadResult::Unreadable); // a folder
        QCOMPARE(loadIntoStore(write("empty.txt", QByteArray())), LoadResult::NoConfiguration);
        QCOMPARE(loadIntoStore(write("notes.txt", "# nothing here\nhello\n")), LoadResult::NoConfiguration);
        QCOMPARE(loadIntoStore(write("name-only.txt", "mrl_profile_filename=/x.txt\n")),
                 LoadResult::NoConfiguration);
        QVERIFY(config_store_collect(55)->isEmpty());

        const QString text = loadFailureText(LoadResult::Unreadable, "/p/gone.txt");
        QVERIFY(text.contains(QDir::toNativeSeparators("/p/gone.txt")));
        QVERIFY(loadFailureText(LoadResult::NoConfiguration, "/p/n.txt")
                    .contains("holds no device configuration"));
    }

    void guardGivesTheSelectedDeviceItsValuesBack()
    {
        config_store_clear();
        config_store_load_text("brd_hostname=selected\nx11vnc_enabled=yes\nlog_level=0\n", 55);
        const QByteArray before = *config_store_collect(55);
        {
            StoreGuard guard;
            QVERIFY(loadIntoStore(write("a.txt", DeviceA)) == LoadResult::Loaded);
            QCOMPARE(config_store_get("log_level"), QByteArray("2"));
        }
        QCOMPARE(*config_store_collect(55), before);
        QCOMPARE(config_store_get("mrl_profile_filename"), QByteArray());
    }

    void selectionCompleteness()
    {
        QList<int> all;
        for (int i = 0; i < NAMED_CATEGORY_COUNT; ++i)
            all << config_named_categories()[i].id;
        QVERIFY(isCompleteSelection(all));
        QList<int> reversed(all.rbegin(), all.rend());
        QVERIFY(isCompleteSelection(reversed));
        all.removeLast();
        QVERIFY(!isCompleteSelection(all));
        QVERIFY(!isCompleteSelection({}));
    }

    void policyFramesByAgentVersion()
    {
        QVERIFY(loadIntoStore(write("a.txt", DeviceA)) == LoadResult::Loaded);
        QVERIFY(policyFrames(agent("7.9.0")).isEmpty());

        const QList<QByteArray> v80 = policyFrames(agent("8.0.5"));
        QCOMPARE(v80.size(), 1); // no reset state below 8.1.0
        QCOMPARE(config_message_category(v80.first()), 55);
        QVERIFY(!linesOf(v80.first()).contains("brd_hostname"));

        const QList<QByteArray> v81 = policyFrames(agent("8.1.0"));
        QCOMPARE(v81.size(), 2);
        QCOMPARE(v81.at(1), QByteArray("\x39\x00\x00\x01\x00", 5));
    }

    void sentencesAndSummary()
    {
        QCOMPARE(createdSentence("/p/a.txt", "S1"), QString("created profile /p/a.txt from S1"));
        QCOMPARE(appliedSentence("/p/a.txt", "S1"), QString("applied profile /p/a.txt to S1"));
        QCOMPARE(appliedPageSentence(1, "/p/a.txt", "S1"),
                 QString("applied page 1 of profile /p/a.txt to S1"));
        QCOMPARE(customResetStateSentence("S1"), QString("set custom reset state on S1"));
        QCOMPARE(linkedSentence("/p/%2.txt", "Lab"), QString("linked profile /p/%2.txt to department Lab"));
        QCOMPARE(unlinkedSentence("Lab"), QString("unlinked profile from department Lab"));
        QCOMPARE(missingLinkedProfileSentence("/p/a.txt", "Lab"),
                 QString("linked profile /p/a.txt of department Lab is missing; nothing was applied"));
        QCOMPARE(loadSummary(2, 0), QString("The command was sent to 2 device(s)."));
        QCOMPARE(loadSummary(1, 1),
                 QString("The command was sent to 1 device(s).\n\n1 device(s) were ignored "
                         "because their client version is too old (< 8.0.0)."));
    }
};

RVX_TEST_MAIN(TestProfileRules)
#include "test_profilerules.moc"

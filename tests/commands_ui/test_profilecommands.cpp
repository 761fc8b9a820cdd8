// Configuration profiles through the real main window: saving a device's configuration,
// loading it onto devices whole or by category, and a department's linked profile reaching
// its members when they connect, checked on what the simulated agents received.

#include "profiles.h"
#include "windowfixture.h"

#include "configlib.h"
#include "dlgconfigfilter.h"
#include "rvxdb.h"
#include "zyldroplabel.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>

using rvx::test::AgentSetup;
using rvx::test::WindowFixture;

namespace {

const QByteArray ConfigA = "brd_hostname=dev-a\n"
                           "nic_dhcp_enabled=no\n"
                           "nic_ip=10.1.1.5\n"
                           "nic_netmask=255.255.255.0\n"
                           "dns1=10.1.1.2\n"
                           "log_level=2\n"
                           "description=front desk\n"
                           "timezone=Europe/Paris\n";
const QByteArray ConfigB = "brd_hostname=dev-b\n"
                           "nic_dhcp_enabled=no\n"
                           "nic_ip=10.1.1.6\n"
                           "log_level=0\n";

// The filter dialog with only the named categories ticked (all when none are named).
void scriptFilter(const QStringList& labels = {})
{
    Ask::scriptNext([labels](QDialog* d) {
        if (!labels.isEmpty()) {
            auto* list = d->findChild<QListWidget*>("lstCategories");
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setCheckState(labels.contains(list->item(i)->text()) ? Qt::Checked
                                                                                    : Qt::Unchecked);
        }
        QMetaObject::invokeMethod(d, "accept");
    });
}

QByteArray textOf(const SimAgent::Frame& frame)
{
    return config_message_parse(frame.raw).value_or(QByteArray("<unparsable>"));
}

QList<SimAgent::Frame> ofType(const QList<SimAgent::Frame>& frames, quint8 type)
{
    QList<SimAgent::Frame> list;
    for (const SimAgent::Frame& f : frames) {
        if (f.type == type)
            list << f;
    }
    return list;
}

int positionOf(const QList<SimAgent::Frame>& frames, quint8 type)
{
    for (int i = 0; i < frames.size(); ++i) {
        if (frames.at(i).type == type)
            return i;
    }
    return -1;
}

} // namespace

class TestProfileCommands : public QObject
{
    Q_OBJECT

    std::unique_ptr<WindowFixture> f;

    QString profilePath(const QString& name) const { return f->ws.path("profiles/" + name); }

    QString writeProfile(const QString& name, const QByteArray& text)
    {
        QFile file(profilePath(name));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write(text);
        return file.fileName();
    }

    SimAgent* agent(const QString& serial, const QString& client, const QByteArray& config = QByteArray(),
                    bool keepFrames = false)
    {
        AgentSetup setup;
        setup.serial = serial;
        setup.clientVersion = client;
        setup.configuration = config;
        return f->connect(setup, keepFrames);
    }

    // Links the shown department ("Orphans") to a profile through the panel's slot.
    void link(const QString& path)
    {
        Ask::answerNext(QMessageBox::Yes);
        Ask::chooseNext(path);
        f->window->onDepartmentLinkProfile(f->window->departments().findById(0));
    }

private slots:
    void init()
    {
        Ask::setTestMode(true);
        rvx::test::clearAudit();
        f = std::make_unique<WindowFixture>();
        QVERIFY(f->start());
        Ask::clearRecords();
    }

    void cleanup()
    {
        f.reset();
        QCOMPARE(Ask::pendingAnswers(), 0);
    }

    void saveThenLoadKeepsEveryDevicesIdentity()
    {
        SimAgent* a = agent("A1", "8.4.0", ConfigA);
        SimAgent* b = agent("B1", "8.3.0", ConfigB);
        QVERIFY(a && b);

        f->selectSerials({"A1"});
        Ask::chooseNext(profilePath("lab"));
        Ask::answerNext(QMessageBox::No); // keep factory defaults as the reset state
        f->window->on_save_config_triggered();
        const QString saved = profilePath("lab.txt");
        const QString key = QDir::fromNativeSeparators(saved);
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), f->window->server()->database()->loadConfig("A1"));
        const QList<Ask::Record> records = Ask::records();
        QCOMPARE(records.first().kind, Ask::Kind::SaveFile);
        QCOMPARE(records.first().title, QString("Save file as"));
        QCOMPARE(records.first().extra, QString("Text files (*.txt)"));
        QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).title, QString("Configuration Saved"));
        QCOMPARE(WindowFixture::lastOf(Ask::Kind::Question).title, QString("Save Configuration"));
        // The device records where its configuration went.
        const QList<QByteArray> toA = WindowFixture::receivedRaw(a);
        QCOMPARE(toA.size(), 1);
        QVERIFY(WindowFixture::isCompressedConfig(toA.first(), 54,
                                                  "mrl_profile_filename=" + key.toLatin1() + "\n"));

        f->selectSerials({"A1", "B1"});
        Ask::chooseNext(saved);
        scriptFilter();
        Ask::answerNext(QMessageBox::Yes);
        Ask::answerNext(QMessageBox::No);
        f->window->on_load_config_triggered();
        for (SimAgent* agent : {a, b}) {
            const QList<SimAgent::Frame> frames = WindowFixture::received(agent);
            QCOMPARE(frames.size(), 1);
            QCOMPARE(frames.first().raw.at(4), char(55));
            const QByteArray text = textOf(frames.first());
            QVERIFY(text.contains("log_level=2\n"));
            QVERIFY(text.contains("description=front desk\n"));
            QVERIFY(text.contains("nic_dhcp_enabled=no\n"));
            QVERIFY(text.contains("mrl_profile_filename=" + key.toLatin1() + "\n"));
            QVERIFY(!text.contains("brd_hostname"));
            QVERIFY(!text.contains("nic_ip"));
            QVERIFY(!text.contains("nic_netmask"));
        }
        QCOMPARE(WindowFixture::lastOf(Ask::Kind::Information).text,
                 QString("The command was sent to 2 device(s)."));
        QCOMPARE(rvx::test::auditSentences(),
                 (QStringList{"created profile " + saved + " from A1", "applied profile " + key + " to A1",
                              "applied profile " + key + " to B1"}));
    }

    void resetStateFollowsTheProfile()
    {
        SimAgent* a = agent("A1", "8.4.0", ConfigA);
        QVERIFY(a);
        f->selectSerials({"A1"});
        Ask::chooseNext(profilePath("lab.txt"));
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_save_config_triggered();
        const QList<QByteArray> frames = WindowFixture::receivedRaw(a);
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames.at(1), QByteArray("\x39\x00\x00\x01\x00", 5));
        QCOMPARE(rvx::test::auditSentences().last(), QString("set a custom reset state on A1"));

        // Loading with a reset state: the frame waits for the next identification.
        rvx::test::clearAudit();
        Ask::chooseNext(profilePath("lab.txt"));
        scriptFilter();
        Ask::answerNext(QMessageBox::Yes);
        Ask::answerNext(QMessageBox::Yes);
        f->window->on_load_config_triggered();
        QCOMPARE(WindowFixture::received(a).size(), 1);
        ThinclientInfo* record = f->record("A1");
        QVERIFY(record->pendingFrames);
        QCOMPARE(*record->pendingFrames, QList<QByteArray>{QByteArray("\x39\x00\x00\x01\x00", 5)});
        QCOMPARE(rvx::test::auditSentences().last(), QString("set custom reset state on A1"));
    }

    void partialSelectionGivesOneMessagePerCategory()
    {
        SimAgent* a = agent("A1", "8.3.0", ConfigA);
        QVERIFY(a);
        const QString path = writeProfile("partial.txt", ConfigA);
        const QString key = QDir::fromNativeSeparators(path);
        f->selectSerials({"A1"});
        Ask::chooseNext(path);
        scriptFilter({"Network", "Log Level"});
        Ask::answerNext(QMessageBox::Yes); // no reset question for a partial selection
        f->window->on_load_config_triggered();
        const QList<SimAgent::Frame> frames = WindowFixture::received(a);
        QCOMPARE(frames.size(), 2);
        // In the filter's order: "Log Level" (31) comes before "Network" (29).
        QCOMPARE(frames.at(0).raw, WindowFixture::plainConfig(31, "log_level=2\n"));
        QCOMPARE(frames.at(1).raw, WindowFixture::plainConfig(29, "nic_dhcp_enabled=no\ndns1=10.1.1.2\n"));
        QCOMPARE(rvx::test::auditSentences(), (QStringList{"applied page 0 of profile " + key + " to A1",
                                                           "applied page 1 of profile " + key + " to A1"}));
        QCOMPARE(Ask::records().count(), 4); // chooser, filter, one question, the summary
    }

    void fileNamesAndFailures()
    {
        SimAgent* a = agent("A1", "8.4.0", ConfigA);
        SimAgent* old = agent("C7", "7.5.0");
        QVERIFY(a && old);
        f->selectSerials({"A1"});

        // An extension in capitals is kept.
        Ask::chooseNext(profilePath("LAB.TXT"));
        Ask::answerNext(QMessageBox::No);
        f->window->on_save_config_triggered();
        QVERIFY(QFile::exists(profilePath("LAB.TXT")));
        QVERIFY(!QFile::exists(profilePath("LAB.TXT.txt")));

        const QString unwritable = f->ws.path("no-such-folder/x.txt");
        Ask::chooseNext(unwritable);
        f->window->on_save_config_triggered();
        QCOMPARE(Ask::lastMessage().title, QString("File Create Error"));
        QCOMPARE(Ask::lastMessage().text, "Error creating file:\n\n" + unwritable);

        // An older agent cannot save.
        f->selectSerials({"C7"});
        f->window->on_save_config_triggered();
        QCOMPARE(Ask::lastMessage().text,
                 QString("\nUnsupported client version - please upgrade rvx_client to "
                         "version 8.0.0 or higher on this device."));

        // A device whose configuration the server does not hold yet has nothing to save: no
        // empty profile is written and announced as saved.
        SimAgent* silent = agent("N8", "8.4.0");
        QVERIFY(silent);
        f->selectSerials({"N8"});
        const int choosers = Ask::records().size();
        f->window->on_save_config_triggered();
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("Save Device Configuration"));
        QCOMPARE(Ask::lastMessage().text, profiles::nothingToSaveText());
        QCOMPARE(Ask::records().size(), choosers + 1); // no file chooser was shown
        QVERIFY(WindowFixture::received(silent).isEmpty());

        // A profile that is gone is reported and nothing is applied.
        WindowFixture::received(a);
        rvx::test::clearAudit();
        f->selectSerials({"A1", "C7"});
        const QString gone = profilePath("gone.txt");
        Ask::chooseNext(gone);
        scriptFilter();
        Ask::answerNext(QMessageBox::Yes);
        Ask::answerNext(QMessageBox::No);
        f->window->on_load_config_triggered();
        QCOMPARE(Ask::lastMessage().kind, Ask::Kind::Critical);
        QCOMPARE(Ask::lastMessage().title, QString("Load Configuration"));
        QVERIFY(Ask::lastMessage().text.contains(QDir::toNativeSeparators(gone)));
        QVERIFY(WindowFixture::received(a).isEmpty());
        QVERIFY(rvx::test::auditSentences().isEmpty());

        // Older agents are counted as ignored.
        Ask::chooseNext(profilePath("LAB.TXT"));
        scriptFilter();
        Ask::answerNext(QMessageBox::Yes);
        Ask::answerNext(QMessageBox::No);
        f->window->on_load_config_triggered();
        QCOMPARE(WindowFixture::received(a).size(), 1);
        QVERIFY(WindowFixture::received(old).isEmpty());
        QCOMPARE(Ask::lastMessage().text,
                 QString("The command was sent to 1 device(s).\n\n1 device(s) were ignored "
                         "because their client version is too old (< 8.0.0)."));
    }

    void linkedProfileReachesMembersWhenTheyReconnect()
    {
        SimAgent* a = agent("A1", "8.4.0", ConfigA);
        SimAgent* b = agent("B1", "8.0.5", ConfigB);
        QVERIFY(a && b);
        const QString path = writeProfile("linked.txt", ConfigA);
        const QString key = QDir::fromNativeSeparators(path);
        DeptInfo* orphans = f->window->departments().findById(0);

        link(path);
        QCOMPARE(orphans->profile, path);
        QCOMPARE(orphans->label->toolTip(), "Linked to: " + path);
        QCOMPARE(rvx::test::auditSentences(),
                 QStringList{"linked profile " + path + " to department Orphans"});
        QCOMPARE(f->window->flushDepartments(), 0);
        QFile file(f->window->departmentsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains(path.toUtf8()));

        // The connected members are closed and, when they come back, receive the profile
        // (and from 8.1.0 the reset state) after identifying themselves.
        QVERIFY(a->waitForDisconnected());
        QVERIFY(b->waitForDisconnected());
        SimAgent* a2 = agent("A1", "8.4.0", QByteArray(), true);
        SimAgent* b2 = agent("B1", "8.0.5", QByteArray(), true);
        QVERIFY(a2 && b2);
        const QList<SimAgent::Frame> toA = a2->frames();
        const QList<SimAgent::Frame> messagesA = ofType(toA, 55);
        QCOMPARE(messagesA.size(), 1);
        QVERIFY(WindowFixture::isCompressedConfig(messagesA.first().raw, 55, textOf(messagesA.first())));
        QVERIFY(textOf(messagesA.first()).contains("log_level=2\n"));
        QVERIFY(textOf(messagesA.first()).contains("mrl_profile_filename=" + key.toLatin1() + "\n"));
        QVERIFY(!textOf(messagesA.first()).contains("brd_hostname"));
        const QList<SimAgent::Frame> resetA = ofType(toA, 57);
        QCOMPARE(resetA.size(), 1);
        QCOMPARE(resetA.first().raw, QByteArray("\x39\x00\x00\x01\x00", 5));
        QVERIFY(positionOf(toA, 55) < positionOf(toA, 57));

        const QList<SimAgent::Frame> toB = b2->frames();
        QCOMPARE(ofType(toB, 55).size(), 1);
        QCOMPARE(ofType(toB, 55).first().raw.at(1), char(0)); // plain below 8.4.0
        QVERIFY(ofType(toB, 57).isEmpty());                   // no reset state below 8.1.0
    }

    void policyLeavesTheSelectedDevicesValuesInTheStore()
    {
        SimAgent* a = agent("A1", "8.4.0", ConfigA);
        QVERIFY(a);
        link(writeProfile("linked.txt", "log_level=0\nx11vnc_enabled=yes\n"));
        QVERIFY(a->waitForDisconnected());
        SimAgent* selected = agent("S1", "8.4.0", "log_level=2\nx11vnc_enabled=no\n");
        QVERIFY(selected);
        f->selectSerials({"S1"});
        QCOMPARE(config_store_get("x11vnc_enabled"), QByteArray("no"));
        QVERIFY(agent("A1", "8.4.0", QByteArray(), true));
        QCOMPARE(config_store_get("x11vnc_enabled"), QByteArray("no"));
        QCOMPARE(config_store_get("log_level"), QByteArray("2"));
    }

    void withoutAUsableProfileNothingIsApplied()
    {
        // A department without a profile gives nothing.
        SimAgent* a = agent("A1", "8.4.0", QByteArray(), true);
        QVERIFY(a);
        QVERIFY(ofType(a->frames(), 55).isEmpty());

        // A linked profile that was deleted: nothing, and the administrator is told once.
        SimAgent* b = agent("B1", "8.4.0");
        QVERIFY(b);
        const QString path = writeProfile("doomed.txt", ConfigA);
        link(path);
        QVERIFY(a->waitForDisconnected());
        QVERIFY(b->waitForDisconnected());
        QVERIFY(QFile::remove(path));
        rvx::test::clearAudit();
        SimAgent* a2 = agent("A1", "8.4.0", QByteArray(), true);
        SimAgent* b2 = agent("B1", "8.4.0", QByteArray(), true);
        QVERIFY(a2 && b2);
        for (SimAgent* agent : {a2, b2}) {
            QVERIFY(ofType(agent->frames(), 55).isEmpty());
            QVERIFY(ofType(agent->frames(), 57).isEmpty());
            QVERIFY(!f->record(agent == a2 ? "A1" : "B1")->pendingFrames ||
                    f->record(agent == a2 ? "A1" : "B1")->pendingFrames->isEmpty());
        }
        QCOMPARE(
            rvx::test::auditSentences(),
            QStringList{"linked profile " + path + " of department Orphans is missing; nothing was applied"});
        QVERIFY(f->window->statusLabel()->text().contains(QDir::toNativeSeparators(path)));
    }

    void unlink()
    {
        DeptInfo* orphans = f->window->departments().findById(0);
        f->window->onDepartmentUnlinkProfile(orphans);
        QCOMPARE(Ask::lastMessage().title, QString("Unlink Saved Configuration"));
        QCOMPARE(Ask::lastMessage().text, QString("This department is not linked to a saved configuration"));

        const QString path = writeProfile("linked.txt", ConfigA);
        link(path);
        Ask::answerNext(QMessageBox::No);
        f->window->onDepartmentUnlinkProfile(orphans);
        QCOMPARE(orphans->profile, path);
        QVERIFY(Ask::lastMessage().text.endsWith("(" + path + ")?"));

        rvx::test::clearAudit();
        Ask::answerNext(QMessageBox::Yes);
        f->window->onDepartmentUnlinkProfile(orphans);
        QVERIFY(orphans->profile.isEmpty());
        QVERIFY(orphans->label->toolTip().isEmpty());
        QCOMPARE(rvx::test::auditSentences(), QStringList{"unlinked profile from department Orphans"});
    }
};

RVX_GUI_TEST_MAIN(TestProfileCommands)
#include "test_profilecommands.moc"

// The proxy of the Options dialog for the downloads: the settings as a network proxy, and
// downloads through a real tinyproxy (open, and demanding a password) from the real nginx
// mirror.

#include "downloadrecorder.h"
#include "mirror.h"
#include "proxy.h"
#include "proxysettings.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

using rvx::test::HttpProxy;
using rvx::test::Mirror;
using rvx::test::readRaw;
using rvx::test::waitFor;
using rvx::test::writeRaw;

namespace {

const QString Name = QStringLiteral("fw-8.4.4.bin");
constexpr int Size = 40000;

QString md5(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Md5).toHex());
}

// The settings the Options dialog stores for a proxy.
void storeProxy(QSettings& settings, bool enabled, const QString& host, const QString& port, bool needsCreds,
                const QString& user, const QString& password)
{
    settings.setValue("rvxProxyServerEnabled", enabled);
    settings.setValue("rvxProxyServerIP", host);
    settings.setValue("rvxProxyServerPort", port);
    settings.setValue("rvxProxyServerNeedsCreds", needsCreds);
    settings.setValue("rvxProxyServerUsername", user);
    settings.setValue("rvxProxyServerPassword", password);
    settings.sync();
}

} // namespace

class TestDownloadProxy : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settings_data();
    void settings();
    void downloadsThroughTheProxy_data();
    void downloadsThroughTheProxy();
    void proxyFailures_data();
    void proxyFailures();
    void managerProxyOverridesTheApplicationProxy();

private:
    // The proxy the Options dialog would give for these values.
    QNetworkProxy proxyFromSettings(bool enabled, quint16 port, bool needsCreds, const QString& user,
                                    const QString& password);

    Mirror m_mirror;
    HttpProxy m_open;
    HttpProxy m_guarded{"alice", "s3cret"};
    QByteArray m_file;
    std::unique_ptr<QTemporaryDir> m_local;
};

void TestDownloadProxy::initTestCase()
{
    QVERIFY2(m_mirror.start(), qPrintable(m_mirror.error()));
    QVERIFY2(m_open.start(), qPrintable(m_open.error()));
    QVERIFY2(m_guarded.start(), qPrintable(m_guarded.error()));
    Mirror::trustCertificateAuthority();
    m_file = m_mirror.addFile(Name, Size);
}

void TestDownloadProxy::init()
{
    m_mirror.clearRequests();
    m_local = std::make_unique<QTemporaryDir>();
    QVERIFY(m_local->isValid());
}

void TestDownloadProxy::cleanup()
{
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

QNetworkProxy TestDownloadProxy::proxyFromSettings(bool enabled, quint16 port, bool needsCreds,
                                                   const QString& user, const QString& password)
{
    QSettings settings(m_local->filePath("settings.ini"), QSettings::IniFormat);
    storeProxy(settings, enabled, "127.0.0.1", QString::number(port), needsCreds, user, password);
    return updates::networkProxy(settings);
}

void TestDownloadProxy::settings_data()
{
    QTest::addColumn<bool>("store");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("needsCreds");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("expectedPort");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");

    const int http = QNetworkProxy::HttpProxy;
    const int none = QNetworkProxy::NoProxy;
    QTest::newRow("never set") << false << false << "" << false << none << 0 << ""
                               << "";
    QTest::newRow("off") << true << false << "3128" << true << none << 0 << ""
                         << "";
    QTest::newRow("on") << true << true << "3128" << false << http << 3128 << ""
                        << "";
    QTest::newRow("on with credentials") << true << true << "3128" << true << http << 3128 << "bob"
                                         << "pa ss:w@rd";
    QTest::newRow("leading zero") << true << true << "08080" << false << http << 8080 << ""
                                  << "";
    QTest::newRow("not a number") << true << true << "80a" << false << http << 0 << ""
                                  << "";
    QTest::newRow("beyond 65535") << true << true << "70000" << false << http << 0 << ""
                                  << "";
}

void TestDownloadProxy::settings()
{
    QFETCH(bool, store);
    QFETCH(bool, enabled);
    QFETCH(QString, port);
    QFETCH(bool, needsCreds);
    QFETCH(int, type);
    QFETCH(int, expectedPort);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QSettings settings(m_local->filePath("settings.ini"), QSettings::IniFormat);
    if (store)
        storeProxy(settings, enabled, "proxy.lan", port, needsCreds, "bob", "pa ss:w@rd");
    const QNetworkProxy proxy = updates::networkProxy(settings);
    QCOMPARE(int(proxy.type()), type);
    if (type == QNetworkProxy::HttpProxy) {
        QCOMPARE(proxy.hostName(), QString("proxy.lan"));
        QCOMPARE(int(proxy.port()), expectedPort);
        QCOMPARE(proxy.user(), user);
        QCOMPARE(proxy.password(), password);
    }
}

void TestDownloadProxy::downloadsThroughTheProxy_data()
{
    QTest::addColumn<bool>("guarded");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QStringList>("proxied"); // as the proxy logged the requests

    const QString http = m_mirror.httpUrl();
    const QString tunnel = QString("CONNECT " + m_mirror.httpsUrl().mid(8) + " HTTP/1.1");
    QTest::newRow("open, http") << false << m_mirror.httpUrl("/downloads/")
                                << QStringList{"GET " + http + "/downloads/fw-8.4.4.bin HTTP/1.1"};
    QTest::newRow("open, http redirect")
        << false << m_mirror.httpUrl("/redirect/")
        << QStringList{"GET " + http + "/redirect/fw-8.4.4.bin HTTP/1.1",
                       "GET " + http + "/mirror/?file=fw-8.4.4.bin HTTP/1.1"};
    QTest::newRow("open, https") << false << m_mirror.httpsUrl("/redirect/") << QStringList{tunnel};
    QTest::newRow("password, http") << true << m_mirror.httpUrl("/downloads/")
                                    << QStringList{"GET " + http + "/downloads/fw-8.4.4.bin HTTP/1.1"};
    QTest::newRow("password, https") << true << m_mirror.httpsUrl("/downloads/") << QStringList{tunnel};
}

void TestDownloadProxy::downloadsThroughTheProxy()
{
    QFETCH(bool, guarded);
    QFETCH(QString, base);
    QFETCH(QStringList, proxied);
    HttpProxy& proxy = guarded ? m_guarded : m_open;
    const int before = proxy.requests().size();
    writeRaw(DownloadManager::partPath(m_local->filePath(Name)), m_file.left(1000));

    DownloadManager manager;
    manager.setProxy(proxyFromSettings(true, proxy.port(), guarded, "alice", "s3cret"));
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(base, Name, m_local->filePath(Name), false, "fw", md5(m_file)), 0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.errors, QStringList());
    QCOMPARE(rec.completions[0].errorCount, 0);
    QVERIFY(readRaw(m_local->filePath(Name)) == m_file);

    // Every request went through the proxy: the proxy logged it, and the mirror saw its Via
    // header on the plain ones (a tunnel carries no headers of the proxy).
    QVERIFY(waitFor([&] { return proxy.requests().size() >= before + proxied.size(); }, 5000));
    // A request the proxy answered 407 before the credentials were sent is logged too.
    QStringList logged = proxy.requests().mid(before);
    logged.removeDuplicates();
    QCOMPARE(logged, proxied);
    const auto requests = m_mirror.requests();
    QVERIFY(!requests.isEmpty());
    for (const Mirror::Request& r : requests) {
        QCOMPARE(r.via.isEmpty(), base.startsWith("https:"));
        QCOMPARE(r.range, QString("bytes=1000-"));
    }
}

void TestDownloadProxy::proxyFailures_data()
{
    QTest::addColumn<int>("which"); // 0 open, 1 guarded, 2 nothing listening
    QTest::addColumn<bool>("needsCreds");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("error");

    const QString http = m_mirror.httpUrl("/downloads/");
    const QString https = m_mirror.httpsUrl("/downloads/");
    QTest::newRow("no credentials, http") << 1 << false << "" << http << "Proxy requires authentication";
    QTest::newRow("no credentials, https") << 1 << false << "" << https << "Proxy requires authentication";
    QTest::newRow("nothing listening, http") << 2 << false << "" << http << "Proxy connection was refused";
    QTest::newRow("nothing listening, https") << 2 << false << "" << https << "Proxy connection was refused";
    // This proxy answers a wrong password with 401 rather than 407: on a plain request that
    // reads as the mirror's demand, through a tunnel as a failure at the proxy.
    QTest::newRow("wrong password, http") << 1 << true << "wrong" << http << "Authentication required";
    QTest::newRow("wrong password, https") << 1 << true << "wrong" << https << "Unknown proxy";
}

void TestDownloadProxy::proxyFailures()
{
    QFETCH(int, which);
    QFETCH(bool, needsCreds);
    QFETCH(QString, password);
    QFETCH(QString, base);
    QFETCH(QString, error);
    const quint16 port = which == 0   ? m_open.port()
                         : which == 1 ? m_guarded.port()
                                      : rvx::test::freeTcpPort();

    DownloadManager manager;
    manager.setProxy(proxyFromSettings(true, port, needsCreds, "alice", password));
    DownloadRecorder rec(manager);
    QCOMPARE(manager.start(base, Name, m_local->filePath(Name), true, "fw", md5(m_file)), 0);
    QVERIFY(rec.waitForCompletion());
    QCOMPARE(rec.errors, QStringList{"Error downloading fw:\n\n" + error});
    QCOMPARE(rec.completions[0].errorCount, 1);
    QCOMPARE(rec.completions[0].bytesInFile, qint64(0));
    QCOMPARE(m_mirror.requests().size(), 0);
}

void TestDownloadProxy::managerProxyOverridesTheApplicationProxy()
{
    // The application proxy skips loopback: this mirror listens on the namespace's own
    // address instead.
    Mirror mirror(QStringLiteral("10.77.0.1"));
    QVERIFY2(mirror.start(), qPrintable(mirror.error()));
    mirror.addFile(Name, m_file);
    const QString local = m_local->filePath(Name);
    const QString base = mirror.httpUrl("/redirect/");
    QNetworkProxy::setApplicationProxy(proxyFromSettings(true, rvx::test::freeTcpPort(), false, "", ""));

    // Without a proxy of its own the manager uses the application's.
    {
        DownloadManager manager;
        DownloadRecorder rec(manager);
        QCOMPARE(manager.start(base, Name, local, false, "fw", md5(m_file)), 0);
        QVERIFY(rec.waitForCompletion());
        QCOMPARE(rec.errors, QStringList{"Error downloading fw:\n\nProxy connection was refused"});
    }
    // Proxy off in the settings: direct, whatever the application proxy is.
    {
        DownloadManager manager;
        manager.setProxy(proxyFromSettings(false, m_open.port(), false, "", ""));
        DownloadRecorder rec(manager);
        QCOMPARE(manager.start(base, Name, local, false, "fw", md5(m_file)), 0);
        QVERIFY(rec.waitForCompletion());
        QCOMPARE(rec.completions[0].errorCount, 0);
        QVERIFY(waitFor([&] { return mirror.requests().size() == 2; }, 5000));
        const auto requests = mirror.requests();
        for (const Mirror::Request& r : requests)
            QCOMPARE(r.via, QString());
    }
    // Proxy on: the redirect and the request after it both go through it.
    mirror.clearRequests();
    const int before = m_open.requests().size();
    {
        DownloadManager manager;
        manager.setProxy(proxyFromSettings(true, m_open.port(), false, "", ""));
        DownloadRecorder rec(manager);
        QCOMPARE(manager.start(base, Name, local, false, "fw", md5(m_file)), 0);
        QVERIFY(rec.waitForCompletion());
        QCOMPARE(rec.completions[0].errorCount, 0);
        QVERIFY(readRaw(local) == m_file);
        QVERIFY(waitFor([&] { return mirror.requests().size() == 2; }, 5000));
        const auto requests = mirror.requests();
        for (const Mirror::Request& r : requests)
            QVERIFY(r.via.contains("tinyproxy"));
        QCOMPARE(m_open.requests().size() - before, 2);
    }
}

RVX_TEST_MAIN(TestDownloadProxy)
#include "test_downloadproxy.moc"

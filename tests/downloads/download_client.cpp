// Downloads one file with the download manager and reports each signal on a line of its
// standard output. The resume test kills it mid-transfer and runs it again.
//
//   download_client CA-CERTIFICATE BASE-URL REMOTE-NAME LOCAL-PATH MD5

#include "downloadmanager.h"

#include <QCoreApplication>
#include <QSslCertificate>
#include <QSslConfiguration>

#include <cstdio>

namespace {

void say(const QByteArray& line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fputs("usage: download_client CA-CERTIFICATE BASE-URL REMOTE-NAME LOCAL-PATH MD5\n", stderr);
        return 2;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.addCaCertificates(QSslCertificate::fromPath(args[1]));
    QSslConfiguration::setDefaultConfiguration(tls);

    DownloadManager manager;
    QObject::connect(&manager, &DownloadManager::downloadProgress,
                     [](const QString&, int percent) { say("progress " + QByteArray::number(percent)); });
    QObject::connect(&manager, &DownloadManager::downloadError,
                     [](const QString& error, bool) { say("error " + error.toUtf8().replace('\n', "\\n")); });
    QObject::connect(&manager, &DownloadManager::downloadCompleted, [](int errorCount, qint64 bytes, bool) {
        say("completed " + QByteArray::number(errorCount) + ' ' + QByteArray::number(bytes));
        QCoreApplication::exit(errorCount == 0 ? 0 : 1);
    });
    if (manager.start(args[2], args[3], args[4], false, QStringLiteral("download"), args[5]) != 0) {
        say("not started");
        return 3;
    }
    return app.exec();
}

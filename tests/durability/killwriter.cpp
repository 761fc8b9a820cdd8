// The kill loop's companion: writes profiles, the whitelist and the rsync configuration with
// the functions the window's dialogs use, one after another as fast as they go, and downloads
// a file from the test mirror with the download manager (resuming its ".part" file, starting
// again once it is complete), until it is killed. It tells on its standard output what is
// done: "done <file> <generation>" once a write has returned, "download started" and
// "download completed <errors> <bytes>".
//
//   killwriter FOLDER ROUND BASE-URL REMOTE-NAME MD5
//
// Generations are ROUND * 1000000 + a counter, so each round's are new and larger.

#include "killwrites.h"

#include "downloadmanager.h"
#include "safefile.h"
#include "signage.h"
#include "storage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QByteArray& line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

bool write(const QString& folder, const QString& file, qint64 generation)
{
    const QString path = folder + QLatin1Char('/') + file;
    const QByteArray bytes = killwrites::content(file, generation);
    if (file.endsWith(QLatin1String("whitelist.txt"))) {
        QStringList lines = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
        lines.removeLast(); // after the last line feed
        return upgrade::writeWhitelist(QFileInfo(path).absolutePath(), lines);
    }
    if (file.endsWith(QLatin1String(".conf")))
        return signage::writeWholeFile(path, bytes);
    return rvx::writeFileDurable(path, bytes);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 6) {
        std::fputs("usage: killwriter FOLDER ROUND BASE-URL REMOTE-NAME MD5\n", stderr);
        return 2;
    }
    const QString folder = args[1];
    const QStringList files = killwrites::files();
    for (const QString& file : files)
        QDir().mkpath(QFileInfo(folder + QLatin1Char('/') + file).absolutePath());
    qint64 generation = args[2].toLongLong() * 1000000;

    QTimer writes;
    int next = 0;
    QObject::connect(&writes, &QTimer::timeout, [&] {
        const QString file = files.at(next++ % files.size());
        if (write(folder, file, ++generation))
            say("done " + file.toLatin1() + ' ' + QByteArray::number(generation));
    });
    writes.start(5);

    const QString downloads = folder + QStringLiteral("/downloads");
    QDir().mkpath(downloads);
    const QString local = downloads + QLatin1Char('/') + args[4];
    DownloadManager manager;
    auto download = [&] {
        if (manager.start(args[3], args[4], local, false, QStringLiteral("download"), args[5]) == 0)
            say("download started");
        else
            say("download not started");
    };
    QObject::connect(&manager, &DownloadManager::downloadCompleted, [&](int errors, qint64 bytes, bool) {
        say("download completed " + QByteArray::number(errors) + ' ' + QByteArray::number(bytes));
        QTimer::singleShot(0, download); // deletes the complete file and starts from zero
    });
    download();
    return app.exec();
}

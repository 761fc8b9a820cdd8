#include "updaterules.h"

#include "selfupdate.h"

#include <QDir>
#include <QSet>

namespace updates {

QString defaultMirrorUrl()
{
    return QStringLiteral("https://downloads.orbenium.com/downloads/");
}

QString defaultMirrorName()
{
    return QStringLiteral("United States");
}

QString catalogueFileName()
{
    return QStringLiteral("downloadlist.txt");
}

QString cataloguePath(const CatalogueFolders& folders)
{
    return folders.temp + QDir::toNativeSeparators(QLatin1Char('/') + catalogueFileName());
}

DownloadRequest catalogueRequest(const QString& mirror, const CatalogueFolders& folders, bool interactive)
{
    DownloadRequest request;
    request.baseUrl = mirror;
    request.remoteName = catalogueFileName();
    request.localPath = cataloguePath(folders);
    request.interactive = interactive;
    request.description = QStringLiteral("upgrade list");
    return request;
}

DownloadRequest entryRequest(const QString& mirror, const UpgradeFile& entry, bool interactive)
{
    DownloadRequest request;
    request.baseUrl = mirror;
    request.remoteName = entry.fileName;
    request.localPath = entry.localPath;
    request.interactive = interactive;
    request.description = entry.comment;
    request.expectedMd5 = entry.md5sum;
    return request;
}

void keepNewsOnly(DownloadQueue& queue)
{
    queue.erase(std::remove_if(queue.begin(), queue.end(), [](const UpgradeFile& e) { return !e.isNews(); }),
                queue.end());
}

void keepChosen(DownloadQueue& queue, const QList<int>& chosenIndexes)
{
    const QSet<int> chosen(chosenIndexes.begin(), chosenIndexes.end());
    DownloadQueue kept;
    for (int i = 0; i < queue.size(); ++i) {
        if (queue.at(i).isNews() || chosen.contains(i))
            kept.append(queue.at(i));
    }
    queue = kept;
}

Completion classifyCompletion(int errorCount, qint64 bytesInFile, DownloadQueue& queue)
{
    if (bytesInFile == 0)
        return Completion::NothingReceived;
    if (errorCount > 0) {
        if (queue.isEmpty())
            return Completion::CatalogueFailed;
        UpgradeFile& entry = queue.first();
        ++entry.attempts;
        return entry.attempts < MaxAttempts ? Completion::Retry : Completion::GiveUp;
    }
    return queue.isEmpty() ? Completion::CatalogueArrived : Completion::EntryArrived;
}

Disposition dispositionOf(const UpgradeFile& entry, const QString& platform)
{
    if (entry.type == QLatin1String("hotfix") || entry.type == QLatin1String("firmware") ||
        entry.type == QLatin1String("rvx_client"))
        return Disposition::Unpack;
    if (entry.isNews())
        return Disposition::News;
    if (isInstallerFor(entry.type, platform))
        return Disposition::SelfUpdate;
    return Disposition::Download;
}

quint64 lastViewedAfterShowing(quint64 lastViewed, const UpgradeFile& news)
{
    return qMax(lastViewed, news.timestamp());
}

QString newsText(const QByteArray& contents)
{
    const int nul = contents.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? contents : contents.left(nul));
}

QString newsViewerTitle(const UpgradeFile& news)
{
    return withoutQuotes(news.comment);
}

QString newsViewedSentence(const UpgradeFile& news)
{
    return QStringLiteral("viewed news item: ") + news.comment;
}

Message checkStartNotice()
{
    return {Message::Kind::Information, QStringLiteral("Download Updates"),
            QStringLiteral("Click OK to start downloading updates. Progress messages are displayed on the "
                           "status bar.")};
}

QString checkingStatus()
{
    return QStringLiteral("Checking for updates");
}

QString progressText(const QString& description, int percent)
{
    return QStringLiteral("Downloading ") + description + QStringLiteral(" : ") + QString::number(percent) +
           QStringLiteral(" %");
}

QString nothingReceivedText()
{
    return QStringLiteral("Error downloading update file; website may be down");
}

QString nothingReceivedTitle()
{
    return QStringLiteral("Online Updates");
}

QString retryNotStartedText(const QString& comment)
{
    return QStringLiteral("Download did not start for ") + comment;
}

QString gaveUpText(const QString& comment)
{
    return QStringLiteral("Multiple attempts to download ") + comment + QStringLiteral(" failed, giving up");
}

QString nextNotStartedText(const QString& comment)
{
    return QStringLiteral("Download for ") + comment + QStringLiteral("did not start");
}

QString downloadErrorTitle()
{
    return QStringLiteral("Download Error");
}

Message noUpdatesSelected()
{
    return {Message::Kind::Information, QStringLiteral("Update Check"),
            QStringLiteral("\nNo updates were selected for download.")};
}

Message downloadedMessage(const QString& localPath)
{
    return {Message::Kind::Information, QStringLiteral("Download Completed"),
            QStringLiteral("The following file has been downloaded:\n\n") +
                QDir::toNativeSeparators(localPath)};
}

Message newsOpenError(const QString& path)
{
    return {Message::Kind::Critical, QStringLiteral("Open Error"),
            QStringLiteral("\nError opening news file:\n\n") + path};
}

QString resetMirrorQuestion(const QString& error)
{
    return error + QStringLiteral("\n\nDo you want to reset your mirror preference to a safe default value?");
}

QString markNewsUnreadTitle()
{
    return QStringLiteral("Mark News as Unread");
}

QString markNewsUnreadQuestion()
{
    return QStringLiteral("Mark all downloadable News items as unread?");
}

} // namespace updates

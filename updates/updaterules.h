#pragma once

// The rules of an update check: what is downloaded, in which order, what a finished download
// leads to, and the texts the administrator reads on the status bar and in message boxes.
// Plain functions; UpdateCheck strings them together.

#include "catalogue.h"

#include <QString>

namespace updates {

// The mirror base URL proposed when none is configured, and the safe default a failed
// download offers to return to.
QString defaultMirrorUrl();
// The name of the mirror shown when the catalogue lists none.
QString defaultMirrorName();

// A message box to show (or, in a background check, a status-bar text).
struct Message
{
    enum class Kind
    {
        Information,
        Warning,
        Critical,
    };
    Kind kind = Kind::Information;
    QString title;
    QString text;
    bool operator==(const Message& other) const
    {
        return kind == other.kind && title == other.title && text == other.text;
    }
};

// The arguments of one download (DownloadManager::start).
struct DownloadRequest
{
    QString baseUrl;
    QString remoteName;
    QString localPath;
    bool interactive = false;
    QString description;
    QString expectedMd5; // empty: not verified
    bool operator==(const DownloadRequest& other) const
    {
        return baseUrl == other.baseUrl && remoteName == other.remoteName && localPath == other.localPath &&
               interactive == other.interactive && description == other.description &&
               expectedMd5 == other.expectedMd5;
    }
};

// ---- the catalogue ------------------------------------------------------------------------

QString catalogueFileName(); // "downloadlist.txt"
// Where the catalogue is kept: the temporary folder + "/downloadlist.txt", native separators.
QString cataloguePath(const CatalogueFolders& folders);
// The download of the catalogue from the configured mirror.
DownloadRequest catalogueRequest(const QString& mirror, const CatalogueFolders& folders, bool interactive);
// The download of a queued entry.
DownloadRequest entryRequest(const QString& mirror, const UpgradeFile& entry, bool interactive);

// What a background check keeps of a parsed catalogue: its news. An interactive check offers
// everything in the selection dialog.
void keepNewsOnly(DownloadQueue& queue);
// The selection dialog's OK: keeps the news and the entries chosen (by index in the queue).
void keepChosen(DownloadQueue& queue, const QList<int>& chosenIndexes);

// ---- a finished download ------------------------------------------------------------------

enum class Completion
{
    NothingReceived,  // no bytes: abandoned at once
    CatalogueFailed,  // the catalogue failed after some bytes: the check ends
    Retry,            // an entry failed after some bytes and has attempts left
    GiveUp,           // an entry failed for the sixth time
    CatalogueArrived, // the catalogue is here: parse it
    EntryArrived,     // the first entry is here: hand it on by its type
};
constexpr int MaxAttempts = 6;
// Decides what a completion means: the catalogue was the download when the queue is empty,
// else its first entry was. A failed entry has the attempt counted on it.
Completion classifyCompletion(int errorCount, qint64 bytesInFile, DownloadQueue& queue);

// What is done with an entry that arrived.
enum class Disposition
{
    Unpack,     // firmware, agent packages and hotfixes: archives unpacked into their store
    SelfUpdate, // a server installer for this platform
    News,       // shown in the viewer
    Download,   // anything else: reported as downloaded
};
Disposition dispositionOf(const UpgradeFile& entry, const QString& platform);

// ---- news ---------------------------------------------------------------------------------

// The newest news item shown so far after showing one: never lower than before.
quint64 lastViewedAfterShowing(quint64 lastViewed, const UpgradeFile& news);
// The text of a news file: its bytes up to the first NUL, as Latin-1.
QString newsText(const QByteArray& contents);
// The viewer's title: the news title without double quotes.
QString newsViewerTitle(const UpgradeFile& news);
// The audit sentence of a news item shown.
QString newsViewedSentence(const UpgradeFile& news);

// ---- texts --------------------------------------------------------------------------------

Message checkStartNotice(); // the interactive check's opening box
QString checkingStatus();   // "Checking for updates"
QString progressText(const QString& description, int percent);
QString nothingReceivedText();  // "Error downloading update file; website may be down"
QString nothingReceivedTitle(); // "Online Updates"
QString retryNotStartedText(const QString& comment);
QString gaveUpText(const QString& comment);
QString nextNotStartedText(const QString& comment);
QString downloadErrorTitle(); // "Download Error"
Message noUpdatesSelected();  // "Update Check"
Message downloadedMessage(const QString& localPath);
Message newsOpenError(const QString& path);
// A download error in an interactive check: asks whether to return to the default mirror.
QString resetMirrorQuestion(const QString& error);
QString markNewsUnreadTitle();
QString markNewsUnreadQuestion();

} // namespace updates

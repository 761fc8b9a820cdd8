#pragma once

// One update check after another: the catalogue is downloaded and parsed, the administrator
// chooses what to download (or, in a background check, only unread news is kept), the queued
// entries are downloaded one after another with up to six attempts each, and every entry that
// arrives is handed on by its type: archives are unpacked into their store, an installer for
// this platform waits for the window to close, news is shown, anything else is reported.
//
// The check owns the queue, the newest-version tables and the pending self-update. What it
// needs from the window (the download manager, the status bar, boxes and dialogs) it asks
// of its host, so the whole sequence runs without widgets.

#include "catalogue.h"
#include "selfupdate.h"
#include "unpack.h"
#include "updaterules.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

class QSettings;

namespace updates {

class UpdateCheckHost
{
public:
    virtual ~UpdateCheckHost() = default;
    // DownloadManager::start: 0 when the request was issued.
    virtual int startDownload(const DownloadRequest& request) = 0;
    // The status label; an empty text clears it.
    virtual void showStatus(const QString& text) = 0;
    // The progress bar beside it: 0 to 100, or -1 to hide it.
    virtual void showProgress(int percent) = 0;
    // A message box (through the Ask seam).
    virtual void showMessage(const Message& message) = 0;
    // A Yes/No question whose default is Yes; true for Yes.
    virtual bool confirm(const QString& title, const QString& text) = 0;
    // DlgSelectDownloads, modal: edits the queue and the mirror; true when accepted.
    virtual bool selectDownloads(DownloadQueue& queue, QString& mirror, const QStringList& mirrors) = 0;
    // The read-only text viewer, modal.
    virtual void showNews(const QString& title, const QString& text) = 0;
    // "Download Updates" and its tool-bar button.
    virtual void setDownloadEnabled(bool enabled) = 0;
    // The newest versions the mirror offers changed: refresh the shown device rows.
    virtual void latestVersionsChanged(const LatestVersions& latest) = 0;
    // The desktop's handler for a URL (the installer at close); true when it took it.
    virtual bool openUrl(const QUrl& url) = 0;
};

class UpdateCheck : public QObject
{
    Q_OBJECT

public:
    // Reads the mirror from the setting "updateServer" (the window's copy of it).
    UpdateCheck(QSettings& settings, UpdateCheckHost& host, QObject* parent = nullptr);
    ~UpdateCheck() override;

    // The mirror the queued entries are downloaded from; the selection dialog changes it.
    QString updateServer() const { return m_updateServer; }
    const DownloadQueue& queue() const { return m_queue; }
    const LatestVersions& latestVersions() const { return m_latest; }
    const PendingInstall& pendingInstall() const { return m_pending; }
    // From the start of a check until its queue has run empty (or it failed).
    bool isRunning() const { return m_running; }
    Unpacker& unpacker() { return m_unpacker; }

    // Start-up: the cached catalogue read quietly, for the newest-version tables. Unread news
    // stays queued without being downloaded.
    void loadCachedCatalogue();
    // "Download Updates" (interactive) and the start-up or daily check (background). While a
    // check runs, another is not started (false): it would empty the running one's queue. A
    // check that has given no sign of life since the previous refused start is taken to be
    // stuck and replaced.
    bool downloadUpdates(bool interactive);
    // "Mark News as Unread": asks, then every news item counts as unread again.
    void markNewsUnread();
    // Closing the window: with an upgrade pending, tells the administrator and opens the
    // installer; true when the installer was handed over (the settings are kept and the
    // next start opens the Options dialog first).
    bool handOverAtClose();

public slots:
    // Connected to DownloadManager's downloadProgress, downloadError and downloadCompleted.
    void onDownloadProgress(const QString& description, int percent);
    void onDownloadError(const QString& error, bool interactive);
    void onDownloadCompleted(int errorCount, qint64 bytesInFile, bool interactive);
    // The download manager ended a transfer without completing it (an invalid redirect; its
    // error was reported): the entry is dropped and the next one starts, or a catalogue
    // download ends the check, so the check never stalls.
    void onTransferAbandoned(bool interactive);

private:
    CatalogueFolders folders() const;
    quint64 lastViewedNews() const;
    QString platform() const;
    void report(bool interactive, const QString& title, const QString& text);
    bool parseCatalogue(bool interactive);
    void handOn(const UpgradeFile& entry, bool interactive);
    void showNewsItem(const UpgradeFile& entry);
    void onUnpackFinished(const UnpackResult& result);
    void startNext(bool interactive);
    void finishCheck();

    // Runs a host call that may open a modal box; another check never starts meanwhile.
    template <typename F>
    auto modal(F call) -> decltype(call());

    QSettings& m_settings;
    UpdateCheckHost& m_host;
    Unpacker m_unpacker;
    QString m_updateServer;
    DownloadQueue m_queue;
    LatestVersions m_latest;
    PendingInstall m_pending;
    bool m_running = false;
    bool m_interactive = false;
    bool m_alive = false; // a download or unpack signal arrived since the last refused start
    bool m_waitingForUnpack = false;
    int m_modalDepth = 0;
};

} // namespace updates

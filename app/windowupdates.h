#pragma once

// The window's side of the online updates: the download manager, the update check and what
// they ask of the window (status bar texts with a progress bar, boxes, the download chooser,
// the news viewer, the Download action, the newest-version tables of the device list, the
// installer handed to the desktop at close).

#include "updatecheck.h"

#include <QObject>

#include <array>
#include <functional>

class DownloadManager;
class QAction;
class QProgressBar;
class QStatusBar;
struct WindowContext;

class WindowUpdates : public QObject, public updates::UpdateCheckHost
{
public:
    using VersionTable = std::array<quint32, 15>;

    // `downloadActions` are "Download Updates" and its tool-bar button; the tables are the
    // ones the device list colours versions by.
    WindowUpdates(WindowContext& context, QList<QAction*> downloadActions, VersionTable& latestFirmware,
                  VersionTable& latestClient, QObject* parent = nullptr);
    ~WindowUpdates() override;

    // Start-up: the catalogue cached by the last check, read quietly.
    void loadCachedCatalogue();
    // Start-up, once the agent server exists: the download manager with the Options
    // dialog's proxy, and the files agents must never write while they are downloaded.
    void createDownloadManager();
    // The progress bar beside the status text.
    void addProgressBar(QStatusBar* statusBar);
    void downloadUpdates(bool interactive);
    void markNewsUnread();
    // Closing the window: a downloaded installer for this platform is handed over.
    bool handOverAtClose();

    updates::UpdateCheck* check() const { return m_check; }
    DownloadManager* downloads() const { return m_downloads; }
    QProgressBar* progressBar() const { return m_progress; }

    // ---- UpdateCheckHost ---------------------------------------------------------------------
    int startDownload(const updates::DownloadRequest& request) override;
    void showStatus(const QString& text) override;
    void showProgress(int percent) override;
    void showMessage(const updates::Message& message) override;
    bool confirm(const QString& title, const QString& text) override;
    bool selectDownloads(updates::DownloadQueue& queue, QString& mirror, const QStringList& mirrors) override;
    void showNews(const QString& title, const QString& text) override;
    void setDownloadEnabled(bool enabled) override;
    void latestVersionsChanged(const updates::LatestVersions& latest) override;
    bool openUrl(const QUrl& url) override;

private:
    QStringList protectedFiles() const;

    WindowContext& m_context;
    QList<QAction*> m_downloadActions;
    VersionTable& m_latestFirmware;
    VersionTable& m_latestClient;
    updates::UpdateCheck* m_check = nullptr;
    DownloadManager* m_downloads = nullptr;
    QProgressBar* m_progress = nullptr;
};

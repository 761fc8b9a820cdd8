#pragma once

// Downloads one file at a time from the update mirror with web GET requests into a local
// path.
//
// - The file is written to localPath + ".part" and renamed when it is complete. An
//   interrupted transfer leaves its ".part" file, and the next start for the same path
//   resumes it with a "Range: bytes=<size>-" request.
// - A body is written into the ".part" file only when it is the one asked for: 200 to a
//   request from offset zero, or 206 starting at the resume offset. A 200 to a Range request
//   (a server that ignores ranges) restarts the file from zero; a 416 (the ".part" file is
//   as long as the file or longer) or a 206 at another offset deletes the ".part" file and
//   asks again from zero. Bodies of error pages and redirects are never written.
// - The mirror answers a request for base + name with a redirect to a server-specific URL
//   of the form ...?file=name; the manager asks for the name there, resuming. A relative
//   target is resolved against the request. A target without "?file=", not http(s), from
//   https to http, or past the fifth redirect of a transfer ends the transfer with only the
//   error "The downloads website redirected to a URL that is not valid": the manager is idle
//   again (isBusy() is false while that error is delivered) and no completion follows.
// - With an expected MD5 digest (32 lower-case hexadecimal digits, compared as given) the
//   file is verified before it takes its final name; a file that does not match is deleted
//   (with its ".part" file), so the next start downloads it from scratch.
// - Percentages count the resumed part, only rise, and are reported only while the total
//   length is known.
// - The ".part" file only ever holds the beginning of the file. When a write to it fails (a
//   full disk) it is cut back to what was written whole, the transfer ends with the error
//   "Error downloading <description>:\n\nCould not write <part path>: <reason>", and the next
//   start resumes from there. The failure and the next completed transfer are reported
//   through rvx::saves (kind Download).
//
// Every request carries "Cache-Control: no-cache" and goes through the manager's proxy (see
// setProxy). All work runs on the thread of the manager, driven by the reply's signals.

#include <QCryptographicHash>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QStringList>

class QFile;
class QNetworkAccessManager;

class DownloadManager : public QObject
{
    Q_OBJECT

public:
    // Redirects followed within one transfer; the next one is refused as not valid.
    static constexpr int MaxRedirects = 5;

    explicit DownloadManager(QObject* parent = nullptr);
    ~DownloadManager() override;

    // The proxy of every later request (also the requests that follow a redirect), whatever
    // the application proxy is; QNetworkProxy::NoProxy connects directly. Until it is set
    // the application proxy applies.
    void setProxy(const QNetworkProxy& proxy);
    QNetworkProxy proxy() const;

    // Starts downloading baseUrl + remoteName (text concatenation, parsed leniently) into
    // localPath. An existing file at localPath is deleted first. `description` names the file
    // in progress and error texts; `expectedMd5` empty means no verification; `interactive`
    // is passed through to every signal. A transfer still running is abandoned silently (its
    // ".part" file stays). Returns 0 when the request was issued, -1 when it could not be
    // (localPath cannot be deleted, the ".part" file cannot be opened); nothing is emitted
    // then. The caller starts the next transfer after downloadCompleted.
    int start(const QString& baseUrl, const QString& remoteName, const QString& localPath, bool interactive,
              const QString& description, const QString& expectedMd5);

    // A transfer is running (started and neither completed nor ended by an invalid redirect).
    bool isBusy() const { return m_reply != nullptr; }
    // The files the running transfer writes: its local path and its ".part" file; empty when
    // idle. Agents must not be able to write these files.
    QStringList transferPaths() const;
    // The ".part" file of a local path.
    static QString partPath(const QString& localPath);

signals:
    // `comment` is the description given to start; `percent` 0..100.
    void downloadProgress(const QString& comment, int percent);
    void downloadError(const QString& error, bool interactive);
    // After every transfer except one ended by an invalid redirect. `bytesInFile`: the size
    // of the downloaded file, or of the ".part" file kept after a failure, or of the data
    // that failed its verification.
    void downloadCompleted(int errorCount, qint64 bytesInFile, bool interactive);

private slots:
    void onFinished();
    void onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void onError(QNetworkReply::NetworkError code);

private:
    // What becomes of the body of the current reply, decided once its status is known.
    enum class Body
    {
        Undecided,
        Write,         // the body asked for: append it to the ".part" file
        Discard,       // an error page, a redirect, an answer that makes no sense
        RetryFromZero, // the ".part" file does not fit the file: delete it and ask again from zero
    };

    // Opens the ".part" file and sends the request; -1 as start().
    int issue();
    Body body();
    void takeAvailableBytes();
    // A write to the ".part" file failed: it is cut back and the transfer stopped.
    void writeFailed();
    void followRedirect(const QUrl& target);
    void restartFromZero();
    // Emits downloadError; false when a slot connected to it started another transfer.
    bool report(const QString& text);
    // Ends the transfer: idle again, then downloadCompleted.
    void complete(qint64 bytesInFile);
    // Disconnects, aborts and deletes the reply, and closes the ".part" file.
    void dropReply();
    bool viaHttpProxy() const;

    QCryptographicHash m_hash{QCryptographicHash::Md5};
    QNetworkAccessManager* m_network = nullptr;
    QNetworkRequest m_request;
    QNetworkReply* m_reply = nullptr;
    QFile* m_partFile = nullptr;
    QString m_remoteName;
    QString m_localPath;
    QString m_description;
    QString m_baseUrl;
    QString m_expectedMd5;
    bool m_verify = false;
    bool m_failed = false;
    bool m_writeFailed = false;
    qint64 m_written = 0; // bytes of the ".part" file known to be whole
    qint64 m_resumeOffset = 0;
    int m_errorCount = 0;
    int m_lastPercent = 0;
    bool m_interactive = false;

    Body m_body = Body::Undecided;
    int m_redirects = 0;
    bool m_retriedFromZero = false;
    // Counts transfers, so that code running after a signal knows whether a slot connected
    // to it started another transfer meanwhile.
    quint64 m_transfer = 0;
};

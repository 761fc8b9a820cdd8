#pragma once

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

class QTimer;

// The device history: everything the server remembers about every device it has seen,
// keyed by serial number, under the database folder:
//   last_seen.csv           serial,seconds lines (no header)
//   XY/S.txt                the device's latest configuration text, exactly as received
//   XY/S.st                 the device's 512-byte information block
// where S is the serial upper-cased with ":" turned into "-" and XY the last two characters
// of S (the only one of a one-character serial).
//
// Serial numbers come from agents. Only letters, digits, ".", "_", ":" and "-" are
// accepted, never "." or ".." alone nor a name containing "..", nor a name some systems
// reserve for devices ("CON", "NUL", "COM1", ... whatever follows a "."); every other serial
// is refused (false or empty results) so no path can leave the database folder.
//
// Configuration texts and blocks are replaced atomically (temporary file, then rename)
// without waiting for the disk: agents send them again at their next connection. A text or
// block equal to what the file already holds (as this object last read or wrote it) is not
// written again: thousands of devices reconnecting report what is stored already.
// last_seen.csv is written atomically at exit and by checkpoint().
//
// A write that fails (a full disk) leaves the previous file whole. The text or block is kept
// and written again with the next successful write of the history, or by a retry every few
// seconds, so the files are brought up to date once space returns without the agents sending
// anything again; meanwhile loadConfig() gives the kept text. At most 64 MiB are kept (beyond
// that a failed write is dropped: its agent sends it again at its next connection). Failures
// and recovery are reported through rvx::saves (kinds History and LastSeen).
class rvxDB : public QObject
{
    Q_OBJECT

public:
    explicit rvxDB(const QString& databaseDir, QObject* parent = nullptr);
    ~rvxDB() override; // writes last_seen.csv

    QString databaseDir() const { return m_dir; }

    static bool isValidSerial(const QString& serial);
    // File names of a serial (empty when the serial is refused).
    QString configPath(const QString& serial) const;
    QString statePath(const QString& serial) const;

    // Configuration texts (through the 30-entry least-recently-used cache).
    QByteArray loadConfig(const QString& serial);
    bool saveConfig(const QString& serial, const QByteArray& text);
    bool deleteConfig(const QString& serial);
    bool isCached(const QString& serial) const;

    // Information blocks.
    bool saveState(const QString& serial, const char* data, int length);
    bool saveState(const QString& serial, const QByteArray& data)
    {
        return saveState(serial, data.constData(), data.size());
    }
    // Every stored block whose serial is valid (blocks a crash left empty are skipped).
    QList<QByteArray> loadAllStates();
    // deleteConfig / deleteState: true when the file is gone afterwards (also when there was
    // none); false for a refused serial or a file that could not be removed.
    bool deleteState(const QString& serial);

    // Last-seen table (seconds since the epoch; 0 when unknown).
    qint64 lastSeen(const QString& serial) const;
    void setLastSeen(const QString& serial, qint64 seconds);
    void removeLastSeen(const QString& serial);
    const QHash<QString, qint64>& lastSeenTable() const { return m_lastSeen; }
    // Writes last_seen.csv now, atomically. Returns false when it could not be written.
    bool checkpoint();

    // The text checkpoint() writes: one "serial,seconds" line per entry, sorted by serial.
    QByteArray lastSeenText() const;
    // The table of a last_seen.csv text: "serial,seconds" lines; lines with another shape, a
    // value that is not a plain non-negative number or an invalid serial are left out.
    static QHash<QString, qint64> parseLastSeen(const QByteArray& text);

    // History files whose last write failed and that are kept to be written again.
    int unsavedCount() const { return m_unsaved.size(); }
    // Writes the kept files (and the last-seen table when its last write failed) now; true
    // when nothing is left unsaved.
    bool retryUnsaved();
    // How often the kept files are tried again (5 seconds by default).
    void setRetryInterval(int milliseconds);

signals:
    // A device's stored configuration text was replaced by different bytes, or deleted.
    void configChanged(const QString& serial);

private:
    static QString fileBaseName(const QString& serial);
    static QString subFolder(const QString& serial);
    static bool removeIfPresent(const QString& path);
    static QByteArray digest(const char* data, int length);
    // Writes the file unless the digest says it holds these bytes already.
    bool replaceUnlessSame(bool config, const QString& key, const QString& path, const QByteArray& data);
    bool usable(const QString& serial) const;
    QString filePath(const QString& serial, const char* suffix) const;
    bool makeSubFolder(const QString& serial) const;
    void readLastSeen();
    bool mergeLastSeenFile(bool onlyMissing);
    // Records the outcome of a history write: a failed one is kept for the retry.
    void noteWrite(const QString& key, bool config, const QString& path, const QByteArray& data, bool written,
                   const QString& error);
    void forgetUnsaved(const QString& path);
    bool retryHistory();

    QString m_dir;
    QHash<QString, qint64> m_lastSeen;
    QSet<QString> m_removed;             // entries removed during this run
    bool m_unreadLastSeen = false;       // last_seen.csv exists but could not be read yet
    QCache<QString, QByteArray> m_cache; // keyed by file name (S)
    // Digests of the files' contents as last read or written, keyed by file name (S).
    QHash<QString, QByteArray> m_configDigest;
    QHash<QString, QByteArray> m_stateDigest;
    // Path -> the newest bytes of a history file that could not be written.
    struct Unsaved
    {
        QString key; // the file name (S)
        bool config = false;
        QByteArray data;
    };
    QHash<QString, Unsaved> m_unsaved;
    qint64 m_unsavedBytes = 0;
    bool m_lastSeenUnsaved = false;
    bool m_retrying = false;
    QTimer* m_retryTimer = nullptr;
};

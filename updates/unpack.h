#pragma once

// Downloaded firmware images, agent packages and hotfixes are 7-Zip archives that lie in the
// store of their type; they are unpacked where they lie, so that the type and version folders
// they hold appear in the store. An archive is listed first and refused when an entry would
// land outside the store (an absolute path, a ".." step) or is a link; then it is extracted,
// overwriting files of the same names. 7-Zip runs without blocking the event loop, one
// archive at a time.

#include "platform.h"
#include "updaterules.h"

#include <QList>
#include <QObject>
#include <QString>

namespace updates {

// ---- the 7-Zip command lines -----------------------------------------------------------

// "l -slt <archive>": one block of "Key = value" lines per entry.
rvx::platform::ProcessCall listCommand(const QString& archivePath);
// "x <archive> -o<folder of the archive> -r -y -aoa".
rvx::platform::ProcessCall extractCommand(const QString& archivePath);

// ---- the listing ---------------------------------------------------------------------------

struct ArchiveEntry
{
    QString path;
    bool folder = false;
    bool link = false; // a symbolic or hard link
};

struct ArchiveListing
{
    bool readable = false; // the entries section was found and every line of it understood
    QList<ArchiveEntry> entries;
};
ArchiveListing parseListing(const QByteArray& output);

// Why an entry may not be extracted into the store; empty when it may.
QString entryRefusal(const ArchiveEntry& entry);
// The first refusal among the entries, "" when all may be extracted; an unreadable listing
// is refused too.
QString listingRefusal(const ArchiveListing& listing);

// ---- texts ---------------------------------------------------------------------------------

QString unpackingStatus(const QString& description); // "Online updates: unpacking ..."
Message unpackedMessage(const QString& description);
Message unpackFailedMessage(const QString& description);

// ---- one archive after another -------------------------------------------------------------

struct UnpackResult
{
    enum class Outcome
    {
        Unpacked,   // 7-Zip extracted it (exit code 0)
        NotStarted, // 7-Zip could not be started
        Refused,    // the listing failed or showed an entry that may not be extracted
        Failed,     // 7-Zip ended with an error
    };
    QString archivePath;
    QString description;
    QString type;
    Outcome outcome = Outcome::Failed;
    QString refusal; // the reason when refused
    int exitCode = -1;

    bool unpacked() const { return outcome == Outcome::Unpacked; }
    // The box the administrator sees.
    Message message() const;
};

class Unpacker : public QObject
{
    Q_OBJECT

public:
    explicit Unpacker(QObject* parent = nullptr);
    ~Unpacker() override;

    // Queues an archive; it starts at once when no other is being unpacked. The archive is
    // kept whatever happens.
    void unpack(const QString& archivePath, const QString& description, const QString& type);
    bool isBusy() const { return m_busy; }
    int waiting() const { return m_jobs.size(); }

signals:
    // An archive is being unpacked: the status-bar text.
    void unpackStarted(const QString& statusText);
    // It is done; the next one starts after the receivers have returned.
    void unpackFinished(const updates::UnpackResult& result);

private:
    void startNext();
    void onListed(const rvx::platform::ProcessResult& result);
    void onExtracted(const rvx::platform::ProcessResult& result);
    void finish(UnpackResult::Outcome outcome, int exitCode = -1, const QString& refusal = QString());

    QList<UnpackResult> m_jobs;
    UnpackResult m_current;
    bool m_busy = false;
};

} // namespace updates

Q_DECLARE_METATYPE(updates::UnpackResult)

#pragma once

// The maker's update catalogue, "downloadlist.txt": one record per line, a mirror, a news item
// or a downloadable item (firmware image, agent package, hotfix, server installer, anything
// else). Parsing it yields the queue of entries to offer, the list of mirrors, and the newest
// firmware and agent versions the mirror has per firmware type.

#include "upgradefile.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>

class QSettings;
class QTableWidgetItem;

namespace updates {

using upgrade::FirmwareTypeCount;
// Per firmware type, a packed version (a << 16 | b << 8 | c, 8 bits each); 0 when unknown.
using VersionTable = std::array<quint32, FirmwareTypeCount>;

struct LatestVersions
{
    VersionTable firmware{};
    VersionTable client{};
    bool operator==(const LatestVersions& other) const
    {
        return firmware == other.firmware && client == other.client;
    }
    bool operator!=(const LatestVersions& other) const { return !(*this == other); }
};
// Raises every entry of `into` to the one of `seen` where that is greater.
void raise(LatestVersions& into, const LatestVersions& seen);

// One entry of the catalogue.
struct UpgradeFile
{
    QString type;        // "firmware", "rvx_client", "hotfix", "rvx_server_deb", ..., "news"
    QString board;       // firmware type name with underscores, or "All"; empty for news
    QString fileName;    // the name on the mirror
    QString localPath;   // where it is downloaded to, native separators
    QString md5sum;      // expected digest
    QString releaseDate; // news: the timestamp text
    QString comment;     // the description; news: the title
    quint64 size = 0;    // bytes; 0 for news
    quint8 attempts = 0; // failed download attempts
    // The selection dialog's row item while the dialog shows the entry.
    QTableWidgetItem* tableItem = nullptr;

    bool isNews() const { return type == QLatin1String("news"); }
    // The news timestamp (0 for anything else).
    quint64 timestamp() const;
};

// The queue of a check; its first entry is the one being downloaded.
using DownloadQueue = QList<UpgradeFile>;

// The folders entries are downloaded to (as stored: native separators).
struct CatalogueFolders
{
    QString temp;
    QString firmware;
    QString agent;
    QString hotfix;

    static CatalogueFolders fromSettings(const QSettings& settings);
    // Target folder of an item by type: "hotfix", "firmware", "rvx_client" to their stores,
    // anything else (news too) to the temporary folder.
    QString folderFor(const QString& type) const;
};

struct Catalogue
{
    DownloadQueue entries;   // items and unread news in file order
    QStringList mirrors;     // name, URL, name, URL, ...
    LatestVersions versions; // newest versions offered, 0 where none
};

// Parses the text of a catalogue. News no newer than `lastViewedNews` is left out. Malformed
// records are skipped one by one. Entries whose file name is empty, ".", "..", or holds a
// path separator are left out: the name becomes part of a local path.
Catalogue parseCatalogue(const QString& text, const CatalogueFolders& folders, quint64 lastViewedNews);
// The same from a file; false when it cannot be read.
bool parseCatalogueFile(const QString& path, const CatalogueFolders& folders, quint64 lastViewedNews,
                        Catalogue* result);

// A file name from the mirror that is safe to put below a local folder.
bool isSafeFileName(const QString& name);
// The version a firmware or agent package file name carries: the last "-" followed by digits
// and dots, read as "-a.b.c" (c may be missing). Packed as for the device list; 0 when fewer
// than two numbers are there.
quint32 fileNameVersion(const QString& fileName);

// Texts of the selection dialog's rows.
QString withoutQuotes(const QString& text);
// "hotfix", "rvx_client" and "firmware" as they are, "other" for the rest.
QString typeLabel(const QString& type);
// Bytes as mebibytes with one decimal: 1048576 -> "1.0".
QString sizeInMegabytes(quint64 bytes);

} // namespace updates

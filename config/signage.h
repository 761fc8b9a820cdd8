#pragma once

// The rules of digital signage. A device shows content on up to three outputs, in one of two
// modes:
//   dsi      content folders on this server; the server writes for each output a list of the
//            folder's files with their MD5 digests, and the device pulls the list and then the
//            files over its agent connection;
//   signage  playlists (rsync modules) on an rsync daemon, either the local rsync service whose
//            configuration file this server edits, or another rsync server; the device pulls
//            them by itself.
//
// Plain functions over texts, files and folders; nothing here touches a widget, a socket or
// the configuration store itself.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>

namespace signage {

constexpr int OutputCount = 3;

// What one output shows (the ds_output<N>_... keys).
struct OutputValues
{
    bool enabled = false;
    QString action;      // dsi: "images", "movies" or "browser"
    QString duration;    // seconds a non-video item is shown
    QString url;         // dsi web content: one or more URLs, blank-separated
    QString source;      // dsi: the content folder; signage: rsync://server/playlist
    QString sourceIndex; // dsi: the content file list of the output
    QString refresh;     // signage: reload web content every this many cycles
    QString resync;      // signage: check for playlist changes every this many cycles
    QString mute;        // signage: "yes" or "no"
};

using StoreGetter = std::function<QByteArray(const QByteArray& key)>;
// Output 1 to 4 (the fourth only for the rsync playlists of displays with four outputs).
OutputValues loadOutput(int output, const StoreGetter& get);

constexpr int DefaultDuration = 10;
constexpr int DefaultRefresh = 10;
constexpr int DefaultResync = 10;

// ---- dsi: the content folder editor ----------------------------------------------------

// "file:///home/zyl/dsi_root/output<N>/index.html"
QString defaultUrl(int output);
// The cycle time applies to images and to rotating web pages, not to videos.
bool cycleTimeApplies(const QString& action);
// Content the server serves: images, videos, and web content whose URL is a file:// URL.
bool isLocalContent(const QString& action, const QString& url);
// The warning the editor shows for these entries (in the order it checks), or nothing.
std::optional<QString> dsiProblem(const QString& action, const QString& duration, const QString& url,
                                  const QString& folder);
// A complete output: what the editor would accept.
bool dsiComplete(const OutputValues& values);

// ---- dsi: content file lists --------------------------------------------------------------

struct ContentEntry
{
    bool folder = false;
    QString path;   // absolute, native separators
    QByteArray md5; // files: 32 lower-case hex digits
};
struct ContentList
{
    QList<ContentEntry> entries;
    QStringList unreadable; // files left out: they cannot be read or named on one line
};
// The folder's entries, walked recursively without following symbolic links: in each folder
// its sub-folders first (each followed by its own entries), then its files, by name.
ContentList listContent(const QString& folder);
// "dir=<path>" and "file=<path> md5sum=<digest>" lines.
QByteArray contentListText(const ContentList& list);
// "dsi_file_list_op<N>.txt"
QString listFileName(int output);
// Writes a whole file durably (replacing it), keeping an existing file's permissions.
bool writeWholeFile(const QString& path, const QByteArray& data, QString* error = nullptr);
// Whether the file can be replaced (an existing file writable, or a missing one creatable).
bool isWritable(const QString& path);
// Reads a whole file; a missing file reads as empty (the local service may not have one yet).
// Nothing when the file exists but cannot be read.
std::optional<QByteArray> readConfigFile(const QString& path);

// The dsi mode text (category 18): connection_type, then per output its enabled line and,
// when enabled, its action, duration, url, source and source_index lines.
QByteArray dsiText(const std::array<OutputValues, OutputCount>& outputs);
QString dsiAuditSentence(const QString& serial); // "configured <serial> for dsi mode"

// ---- dsi: synchronising the content folders ------------------------------------------------

// A folder the server serves without asking: one of the configured content folders or a folder
// the administrator picked during this run (compared as clean absolute paths).
bool isServedFolder(const QString& folder, const QStringList& configured, const QStringList& picked);
// The question asked before a folder the device reported is listed and served.
QString unconfiguredFolderQuestion(int output, const QString& folder);

struct SyncedOutput
{
    int output = 0;   // 1 to 3
    QString folder;   // the content folder
    QString listPath; // its content file list
};
// Category 45: "dsi_output<N>_source=<folder>" and "dsi_output<N>_source_index=<list>" per output.
QByteArray syncText(const QList<SyncedOutput>& outputs);
// Older agents: type 45, code 1; per output 1 to 3 a flag byte, and for a listed output its
// folder and list paths as lp-strings.
QByteArray syncLegacyFrame(const QList<SyncedOutput>& outputs);

// ---- signage: playlists ---------------------------------------------------------------------

// The playlists (section names other than "global") of an rsync daemon configuration text, in
// file order.
QStringList playlists(const QByteArray& config);
// The box text for a playlist name that cannot be added, or nothing.
std::optional<QString> playlistNameProblem(const QString& name, const QStringList& existing);
// A folder whose path holds a line break (or another control character) cannot be one
// configuration line.
bool isUsableFolder(const QString& folder);
// The box text that refuses such a folder.
QString folderRefusal(const QString& folder);

enum class PathStyle
{
    Cygwin, // "/cygdrive/C/Signage/Lobby" for C:/Signage/Lobby (the bundled daemon on Windows)
    Plain,  // the path as it is
};
PathStyle nativePathStyle();
QString modulePath(const QString& folder, PathStyle style);
// The text with a section appended: "[name]\n" "path = <path>\n" "\n" (after a line break when
// the text does not end with one).
QByteArray withSection(const QByteArray& config, const QString& name, const QString& path);
// The text without the named section (its header up to the next section header); every other
// byte unchanged.
QByteArray withoutSection(const QByteArray& config, const QString& name);

// The rsync client's arguments that list a server's modules.
QStringList listArguments(const QString& server);
// Module names from the rsync client's listing; lines of the message of the day are skipped.
QStringList parseModules(const QByteArray& output);
// "rsync://<server>/<playlist>", and back.
QString sourceUrl(const QString& server, const QString& playlist);
bool parseSourceUrl(const QString& source, QString* server, QString* playlist);

} // namespace signage

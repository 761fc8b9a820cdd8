#include "signage.h"

#include "commands.h"
#include "savefile.h"
#include "wire.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace signage {

namespace {

QString text(const StoreGetter& get, const QString& key)
{
    return QString::fromLatin1(get(key.toLatin1()));
}

QByteArray line(const QString& key, const QString& value)
{
    return key.toLatin1() + '=' + commands::configValue(value) + '\n';
}

bool hasControlCharacter(const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    }
    return false;
}

// A section header "[name]" (blanks allowed around); its name, or nothing.
std::optional<QByteArray> sectionName(const QByteArray& rawLine)
{
    const QByteArray l = rawLine.trimmed();
    if (l.size() < 2 || !l.startsWith('[') || !l.endsWith(']'))
        return std::nullopt;
    return l.mid(1, l.size() - 2).trimmed();
}

bool isGlobal(const QString& name)
{
    return name.compare(QLatin1String("global"), Qt::CaseInsensitive) == 0;
}

QString cleanAbsolute(const QString& path)
{
    if (path.trimmed().isEmpty())
        return QString();
    return QDir::cleanPath(QDir(QDir::fromNativeSeparators(path)).absolutePath());
}

// A path the list can name: one line, and Latin-1 as the agent's file requests are.
bool isNameable(const QString& path)
{
    return !hasControlCharacter(path) && commands::isLatin1(path);
}

void walk(const QString& folder, ContentList& list)
{
    const QDir dir(folder);
    const QFileInfoList folders =
        dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& sub : folders) {
        const QString path = QDir::toNativeSeparators(sub.absoluteFilePath());
        if (!isNameable(path)) {
            list.unreadable << path;
            continue;
        }
        list.entries.append({true, path, QByteArray()});
        walk(sub.absoluteFilePath(), list);
    }
    const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString path = QDir::toNativeSeparators(file.absoluteFilePath());
        QFile f(file.absoluteFilePath());
        QCryptographicHash md5(QCryptographicHash::Md5);
        if (!isNameable(path) || !f.open(QIODevice::ReadOnly) || !md5.addData(&f)) {
            list.unreadable << path;
            continue;
        }
        list.entries.append({false, path, md5.result().toHex()});
    }
}

} // namespace

OutputValues loadOutput(int output, const StoreGetter& get)
{
    const QString p = QStringLiteral("ds_output%1_").arg(output);
    OutputValues v;
    v.enabled = get(QStringLiteral("ds_output%1_enabled").arg(output).toLatin1()) == "yes";
    v.action = text(get, p + QStringLiteral("action"));
    v.duration = text(get, p + QStringLiteral("duration"));
    v.url = text(get, p + QStringLiteral("url"));
    v.source = text(get, p + QStringLiteral("source"));
    v.sourceIndex = text(get, p + QStringLiteral("source_index"));
    v.refresh = text(get, p + QStringLiteral("refresh"));
    v.resync = text(get, p + QStringLiteral("resync"));
    v.mute = text(get, p + QStringLiteral("mute"));
    return v;
}

// ---- dsi ------------------------------------------------------------------------------------

QString defaultUrl(int output)
{
    return QStringLiteral("file:///home/zyl/dsi_root/output%1/index.html").arg(output);
}

bool cycleTimeApplies(const QString& action)
{
    return action != QLatin1String("movies");
}

bool isLocalContent(const QString& action, const QString& url)
{
    if (action != QLatin1String("browser"))
        return true;
    return url.trimmed().startsWith(QLatin1String("file://"), Qt::CaseInsensitive);
}

std::optional<QString> dsiProblem(const QString& action, const QString& duration, const QString& url,
                                  const QString& folder)
{
    if (cycleTimeApplies(action)) {
        if (duration.trimmed().isEmpty())
            return QStringLiteral("\nCycle Time field cannot be empty");
        bool ok = false;
        const int seconds = duration.trimmed().toInt(&ok, 10);
        if (!ok || seconds < 0)
            return QStringLiteral("\nCycle Time is not a valid number");
    }
    if (action == QLatin1String("browser") && url.trimmed().isEmpty())
        return QStringLiteral("\nYou must provide a valid URL for web content");
    if (isLocalContent(action, url)) {
        if (folder.trimmed().isEmpty())
            return QStringLiteral(
                "Content Folder cannot be empty unless displaying web content with a remote "
                "URL.");
        if (!QFileInfo(QDir::fromNativeSeparators(folder.trimmed())).isDir())
            return QStringLiteral("Content Folder does not exist.");
        if (!isUsableFolder(folder))
            return folderRefusal(folder);
    }
    return std::nullopt;
}

bool dsiComplete(const OutputValues& v)
{
    if (v.action != QLatin1String("images") && v.action != QLatin1String("movies") &&
        v.action != QLatin1String("browser"))
        return false;
    return !dsiProblem(v.action, v.duration, v.url, v.source).has_value();
}

ContentList listContent(const QString& folder)
{
    ContentList list;
    walk(QDir::fromNativeSeparators(folder), list);
    return list;
}

QByteArray contentListText(const ContentList& list)
{
    QByteArray out;
    for (const ContentEntry& e : list.entries) {
        if (e.folder)
            out += "dir=" + e.path.toLatin1() + '\n';
        else
            out += "file=" + e.path.toLatin1() + " md5sum=" + e.md5 + '\n';
    }
    return out;
}

QString listFileName(int output)
{
    return QStringLiteral("dsi_file_list_op%1.txt").arg(output);
}

bool writeWholeFile(const QString& path, const QByteArray& data, QString* error)
{
    const QFileInfo before(path);
    const bool existed = before.exists();
    const QFileDevice::Permissions permissions = before.permissions();
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (existed)
        file.setPermissions(permissions);
    if (!rvx::writeAndCommit(file, data, error))
        return false;
    if (existed && QFileInfo(path).permissions() != permissions)
        QFile::setPermissions(path, permissions);
    return true;
}

bool isWritable(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.isFile() && info.isWritable();
    const QFileInfo dir(info.absolutePath());
    return dir.isDir() && dir.isWritable();
}

std::optional<QByteArray> readConfigFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QByteArray dsiText(const std::array<OutputValues, OutputCount>& outputs)
{
    QByteArray out = QByteArrayLiteral("connection_type=dsi\n");
    for (int n = 1; n <= OutputCount; ++n) {
        const OutputValues& v = outputs[static_cast<size_t>(n - 1)];
        const QString p = QStringLiteral("ds_output%1_").arg(n);
        if (!v.enabled) {
            out += line(p + QStringLiteral("enabled"), QStringLiteral("no"));
            continue;
        }
        out += line(p + QStringLiteral("enabled"), QStringLiteral("yes"));
        out += line(p + QStringLiteral("action"), v.action);
        out += line(p + QStringLiteral("duration"), v.duration);
        out += line(p + QStringLiteral("url"), v.url);
        out += line(p + QStringLiteral("source"), v.source);
        out += line(p + QStringLiteral("source_index"), v.sourceIndex);
    }
    return out;
}

QString dsiAuditSentence(const QString& serial)
{
    return QStringLiteral("configured ") + serial + QStringLiteral(" for dsi mode");
}

bool isServedFolder(const QString& folder, const QStringList& configured, const QStringList& picked)
{
    const QString wanted = cleanAbsolute(folder);
    if (wanted.isEmpty())
        return false;
    for (const QString& candidate : configured + picked) {
        if (cleanAbsolute(candidate) == wanted)
            return true;
    }
    return false;
}

QString unconfiguredFolderQuestion(int output, const QString& folder)
{
    return QStringLiteral(
               "Output %1 of the device names the content folder\n\n%2\n\nwhich is not a Digital "
               "Signage content folder configured on this server.\n\nDo you want to list the files "
               "of this folder and allow the device to copy them?")
        .arg(output)
        .arg(QDir::toNativeSeparators(folder));
}

QByteArray syncText(const QList<SyncedOutput>& outputs)
{
    QByteArray out;
    for (const SyncedOutput& o : outputs) {
        out += line(QStringLiteral("dsi_output%1_source").arg(o.output), QDir::toNativeSeparators(o.folder));
        out += line(QStringLiteral("dsi_output%1_source_index").arg(o.output),
                    QDir::toNativeSeparators(o.listPath));
    }
    return out;
}

QByteArray syncLegacyFrame(const QList<SyncedOutput>& outputs)
{
    QByteArray payload;
    for (int n = 1; n <= OutputCount; ++n) {
        const SyncedOutput* listed = nullptr;
        for (const SyncedOutput& o : outputs) {
            if (o.output == n)
                listed = &o;
        }
        payload += listed ? char(1) : char(0);
        if (listed) {
            payload += wire::lpString(commands::configValue(QDir::toNativeSeparators(listed->folder)));
            payload += wire::lpString(commands::configValue(QDir::toNativeSeparators(listed->listPath)));
        }
    }
    return wire::frame(msg::Type::SignageSync, 1, payload);
}

// ---- signage ----------------------------------------------------------------------------------

QStringList playlists(const QByteArray& config)
{
    QStringList names;
    for (const QByteArray& l : config.split('\n')) {
        const std::optional<QByteArray> name = sectionName(l);
        if (name && !isGlobal(QString::fromUtf8(*name)))
            names << QString::fromUtf8(*name);
    }
    return names;
}

std::optional<QString> playlistNameProblem(const QString& name, const QStringList& existing)
{
    if (isGlobal(name))
        return QStringLiteral("The playlist cannot be named \"global\" (this is a reserved word).");
    if (name.trimmed().isEmpty() || hasControlCharacter(name) || name.contains(QLatin1Char('[')) ||
        name.contains(QLatin1Char(']')) || name.trimmed() != name)
        return QStringLiteral("The playlist name may only contain letters, digits, \"-\", \".\" and \"_\".");
    for (const QString& other : existing) {
        if (other.compare(name, Qt::CaseInsensitive) == 0)
            return QStringLiteral("A playlist named \"%1\" already exists.").arg(other);
    }
    return std::nullopt;
}

bool isUsableFolder(const QString& folder)
{
    return !folder.trimmed().isEmpty() && !hasControlCharacter(folder);
}

QString folderRefusal(const QString& folder)
{
    QString shown = QDir::toNativeSeparators(folder);
    for (QChar& c : shown) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QChar(0xB6); // a visible mark where the name breaks its line
    }
    return QStringLiteral("The name of the folder\n\n") + shown +
           QStringLiteral(
               "\n\nholds a line break, which cannot be written to a configuration file.  Please rename "
               "the folder or choose another one.");
}

PathStyle nativePathStyle()
{
#ifdef Q_OS_WIN
    return PathStyle::Cygwin;
#else
    return PathStyle::Plain;
#endif
}

QString modulePath(const QString& folder, PathStyle style)
{
    if (style == PathStyle::Plain)
        return QDir::fromNativeSeparators(folder);
    QString rest = folder;
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (rest.size() >= 2 && rest.at(1) == QLatin1Char(':'))
        rest.remove(1, 1);
    return QStringLiteral("/cygdrive/") + rest;
}

QByteArray withSection(const QByteArray& config, const QString& name, const QString& path)
{
    QByteArray out = config;
    if (!out.isEmpty() && !out.endsWith('\n'))
        out += '\n';
    out += '[' + name.toUtf8() + "]\n";
    out += "path = " + path.toUtf8() + "\n\n";
    return out;
}

QByteArray withoutSection(const QByteArray& config, const QString& name)
{
    QByteArray out;
    bool dropping = false;
    int start = 0;
    while (start < config.size()) {
        int end = config.indexOf('\n', start);
        end = end < 0 ? config.size() : end + 1;
        const QByteArray l = config.mid(start, end - start);
        const std::optional<QByteArray> header = sectionName(l);
        if (header)
            dropping = QString::fromUtf8(*header) == name;
        if (!dropping)
            out += l;
        start = end;
    }
    return out;
}

QStringList listArguments(const QString& server)
{
    // No --no-motd: the daemon then withholds its module list too. The message of the day is
    // told apart from the modules by the listing's own layout instead (parseModules).
    return {QStringLiteral("--contimeout=10"), QStringLiteral("--timeout=30"),
            QStringLiteral("rsync://") + server + QLatin1Char('/')};
}

QStringList parseModules(const QByteArray& output)
{
    // The daemon lists each module as its name padded with blanks to 15 characters, a tab and
    // its comment; a message of the day comes first, in lines of any form.
    QStringList modules;
    for (QByteArray l : output.split('\n')) {
        if (l.endsWith('\r'))
            l.chop(1);
        const int tab = l.indexOf('\t');
        if (tab <= 0)
            continue;
        const QByteArray prefix = l.left(tab);
        const QByteArray name = prefix.trimmed();
        if (name.isEmpty() || !prefix.startsWith(name) || name.contains(' ') ||
            prefix.size() != qMax(15, name.size()))
            continue;
        // A name with a control byte is no module (and one with a NUL would read as empty or
        // cut short).
        const QString module = QString::fromUtf8(name.constData(), name.size());
        if (hasControlCharacter(module))
            continue;
        modules << module;
    }
    return modules;
}

QString sourceUrl(const QString& server, const QString& playlist)
{
    return QStringLiteral("rsync://") + server + QLatin1Char('/') + playlist;
}

bool parseSourceUrl(const QString& source, QString* server, QString* playlist)
{
    const QString prefix = QStringLiteral("rsync://");
    if (!source.startsWith(prefix))
        return false;
    const QString rest = source.mid(prefix.size());
    const int slash = rest.indexOf(QLatin1Char('/'));
    if (slash <= 0)
        return false;
    *server = rest.left(slash);
    *playlist = rest.mid(slash + 1);
    while (playlist->endsWith(QLatin1Char('/')))
        playlist->chop(1);
    return true;
}

} // namespace signage

#include "profiles.h"

#include "configlib.h"

#include <QDir>
#include <QFileInfo>

namespace profiles {

QString withTxtExtension(const QString& chosen)
{
    if (chosen.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive))
        return chosen;
    return chosen + QStringLiteral(".txt");
}

QString profileKey(const QString& path)
{
    return QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath());
}

QByteArray profileFilenameText(const QString& key)
{
    return "mrl_profile_filename=" + commands::configValue(key) + '\n';
}

QByteArray fileData(const QByteArray& storedText, bool crlf)
{
    if (!crlf)
        return storedText;
    QByteArray out;
    out.reserve(storedText.size() + storedText.size() / 16);
    for (int i = 0; i < storedText.size(); ++i) {
        const char c = storedText.at(i);
        if (c == '\n' && (i == 0 || storedText.at(i - 1) != '\r'))
            out += '\r';
        out += c;
    }
    return out;
}

QByteArray fileData(const QByteArray& storedText)
{
#ifdef Q_OS_WIN
    return fileData(storedText, true);
#else
    return fileData(storedText, false);
#endif
}

bool holdsConfiguration(const QByteArray& text)
{
    // A text naming only the profile it came from holds nothing to apply.
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.left(raw.size() - 1) : raw;
        if (!line.isEmpty() && !line.startsWith("mrl_profile_filename=") && config_line_category(line) >= 0)
            return true;
    }
    return false;
}

QString nothingToSaveText()
{
    return QStringLiteral("\nThe server holds no configuration of this device yet, so there is nothing to "
                          "save.\n\nWait until the device has reported its settings, then try again.");
}

LoadResult loadIntoStore(const QString& path)
{
    config_store_clear();
    if (config_store_load_file(path) != 0) {
        config_store_clear();
        return LoadResult::Unreadable;
    }
    if (!holdsConfiguration(config_store_collect(CATEGORY_ALL).value_or(QByteArray()))) {
        config_store_clear();
        return LoadResult::NoConfiguration;
    }
    const QByteArray key = commands::configValue(profileKey(path));
    if (config_store_get("mrl_profile_filename") != key)
        config_store_set("mrl_profile_filename", key);
    return LoadResult::Loaded;
}

QString loadFailureText(LoadResult result, const QString& path)
{
    const QString file = QDir::toNativeSeparators(path);
    switch (result) {
    case LoadResult::Loaded:
        break;
    case LoadResult::Unreadable:
        return QStringLiteral("\nThe configuration file\n\n") + file +
               QStringLiteral("\n\ncannot be read (it may have been moved or deleted). Nothing was sent.");
    case LoadResult::NoConfiguration:
        return QStringLiteral("\nThe file\n\n") + file +
               QStringLiteral("\n\nholds no device configuration. Nothing was sent.");
    }
    return QString();
}

StoreGuard::StoreGuard()
    : m_saved(config_store_collect(CATEGORY_ALL).value_or(QByteArray()))
{
}

StoreGuard::~StoreGuard()
{
    config_store_clear();
    config_store_load_text(m_saved, CATEGORY_ALL);
}

bool isCompleteSelection(const QList<int>& categoryIds)
{
    const NamedCategory* named = config_named_categories();
    for (int i = 0; i < NAMED_CATEGORY_COUNT; ++i) {
        if (!categoryIds.contains(named[i].id))
            return false;
    }
    return true;
}

std::optional<QList<QByteArray>> messages(const QList<int>& categoryIds, bool complete, bool compress)
{
    QList<QByteArray> list;
    const QList<int> ids = complete ? QList<int>{CATEGORY_ALL} : categoryIds;
    for (int id : ids) {
        const std::optional<QByteArray> message = config_message_build(id, true, compress);
        if (!message)
            return std::nullopt;
        list << *message;
    }
    return list;
}

bool canTakeProfile(const commands::DeviceFacts& device)
{
    return commands::majorVersion(device.clientVersion) >= 8;
}

bool canTakeResetState(const commands::DeviceFacts& device)
{
    return commands::versionAtLeast(device.clientVersion, 8, 1, 0);
}

QList<QByteArray> policyFrames(const commands::DeviceFacts& device)
{
    if (!canTakeProfile(device))
        return {};
    const std::optional<QList<QByteArray>> whole =
        messages({}, true, commands::takesCompressedConfiguration(device));
    if (!whole)
        return {};
    QList<QByteArray> frames = *whole;
    if (canTakeResetState(device))
        frames << commands::resetStateFrame(false);
    return frames;
}

QString createdSentence(const QString& path, const QString& serial)
{
    return QStringLiteral("created profile ") + path + QStringLiteral(" from ") + serial;
}

QString appliedSentence(const QString& key, const QString& serial)
{
    return QStringLiteral("applied profile ") + key + QStringLiteral(" to ") + serial;
}

QString appliedPageSentence(int page, const QString& key, const QString& serial)
{
    return QStringLiteral("applied page %1 of profile ").arg(page) + key + QStringLiteral(" to ") + serial;
}

QString customResetStateSentence(const QString& serial)
{
    return QStringLiteral("set custom reset state on ") + serial;
}

QString linkedSentence(const QString& path, const QString& department)
{
    return QStringLiteral("linked profile %1 to department %2").arg(path, department);
}

QString unlinkedSentence(const QString& department)
{
    return QStringLiteral("unlinked profile from department ") + department;
}

QString missingLinkedProfileSentence(const QString& path, const QString& department)
{
    return QStringLiteral("linked profile %1 of department %2 is missing; nothing was applied")
        .arg(path, department);
}

QString missingLinkedProfileStatus(const QString& path, const QString& department)
{
    return QStringLiteral(
               "The profile linked to department %1 (%2) cannot be read; its devices receive nothing.")
        .arg(department, QDir::toNativeSeparators(path));
}

QString loadSummary(int sent, int ignored)
{
    if (ignored == 0)
        return commands::sentText(sent);
    return commands::sentText(sent) +
           QStringLiteral("\n\n%1 device(s) were ignored because their client version "
                          "is too old (< 8.0.0).")
               .arg(ignored);
}

} // namespace profiles

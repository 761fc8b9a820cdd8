#include "signageflow.h"

#include "ask.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace signageflow {

namespace {

const char* const kSyncTitle = "Sync Folder to Device";

QString tr(const char* text)
{
    return QCoreApplication::translate("signageflow", text);
}

QStringList configuredList(const Folders& folders)
{
    QStringList list;
    for (const QString& f : folders.configured) {
        if (!f.isEmpty())
            list << f;
    }
    return list;
}

// Asks before a folder that is neither configured nor chosen is served; true to go ahead.
bool mayServe(QWidget* parent, const QString& title, int output, const QString& folder,
              const Folders& folders)
{
    if (signage::isServedFolder(folder, configuredList(folders), folders.chosen))
        return true;
    return rvx::Ask::confirm(parent, title, signage::unconfiguredFolderQuestion(output, folder),
                             QMessageBox::No);
}

// Lists the folder into the output's list file, with a warning for each file left out. The
// list's path, or nothing when the folder cannot be listed.
std::optional<QString> writeList(QWidget* parent, int output, const QString& folder, const Folders& folders)
{
    const QString native = QDir::toNativeSeparators(folder);
    if (!signage::isUsableFolder(folder)) {
        rvx::Ask::warning(parent, tr(kSyncTitle), signage::folderRefusal(folder));
        return std::nullopt;
    }
    if (!QFileInfo(QDir::fromNativeSeparators(folder)).isDir()) {
        rvx::Ask::warning(parent, tr(kSyncTitle),
                          tr("Content folder does not exist:\n\n") + native +
                              tr("\n\nOutput %1 will not be synced to selected devices.").arg(output));
        return std::nullopt;
    }
    const signage::ContentList list = signage::listContent(folder);
    for (const QString& file : list.unreadable)
        rvx::Ask::warning(parent, tr(kSyncTitle),
                          tr("Error opening file:\n\n") + file +
                              tr("\n\nThis file will not be synced to selected devices."));
    const QString path =
        QDir(QDir::fromNativeSeparators(folders.tempDir)).filePath(signage::listFileName(output));
    QString error;
    if (!signage::writeWholeFile(path, signage::contentListText(list), &error)) {
        rvx::Ask::critical(parent, tr(kSyncTitle),
                           tr("Unable to write ") + QDir::toNativeSeparators(path) + QStringLiteral(":\n\n") +
                               error);
        return std::nullopt;
    }
    return QDir::toNativeSeparators(path);
}

} // namespace

std::optional<DsiConfiguration> prepareDsi(QWidget* parent, Outputs outputs, const Folders& folders)
{
    DsiConfiguration result;
    const QString title = tr("Configure Digital Signage");
    for (int n = 1; n <= signage::OutputCount; ++n) {
        signage::OutputValues& v = outputs[static_cast<size_t>(n - 1)];
        if (!v.enabled || !signage::isLocalContent(v.action, v.url)) {
            v.sourceIndex.clear();
            continue;
        }
        if (v.source.isEmpty())
            v.source = folders.configured[static_cast<size_t>(n - 1)];
        if (!mayServe(parent, title, n, v.source, folders))
            return std::nullopt;
        const std::optional<QString> list = writeList(parent, n, v.source, folders);
        if (!list)
            return std::nullopt;
        v.sourceIndex = *list;
        result.servedFolders << QDir::fromNativeSeparators(v.source);
    }
    result.text = signage::dsiText(outputs);
    return result;
}

Sync prepareSync(QWidget* parent, const QByteArray& protocol, const Outputs& outputs, const Folders& folders)
{
    Sync sync;
    const QString title = tr("Synchronize Digital Signage Folders");
    if (protocol != "dsi" && protocol != "signage") {
        rvx::Ask::warning(parent, title, tr("The selected device is not in Digital Signage mode."));
        return sync;
    }
    if (protocol == "signage") {
        sync.action = SyncAction::RestartMode;
        return sync;
    }
    sync.action = SyncAction::Send;
    for (int n = 1; n <= signage::OutputCount; ++n) {
        const signage::OutputValues& v = outputs[static_cast<size_t>(n - 1)];
        if (!v.enabled || !signage::isLocalContent(v.action, v.url))
            continue;
        const QString folder = v.source.isEmpty() ? folders.configured[static_cast<size_t>(n - 1)] : v.source;
        if (folder.isEmpty())
            continue;
        // The device names its own source: only folders this server was told to serve are read.
        if (!mayServe(parent, title, n, folder, folders))
            continue;
        const std::optional<QString> list = writeList(parent, n, folder, folders);
        if (!list)
            continue;
        sync.outputs << signage::SyncedOutput{n, folder, *list};
        sync.servedFolders << QDir::fromNativeSeparators(folder);
    }
    sync.text = signage::syncText(sync.outputs);
    sync.legacyFrame = signage::syncLegacyFrame(sync.outputs);
    return sync;
}

} // namespace signageflow

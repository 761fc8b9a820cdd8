#pragma once

// The interactive steps of the legacy signage mode that follow a dialog or a menu command:
// writing each output's content file list (with the warnings for files left out) and asking
// before a folder is served that the administrator neither configured nor chose in this run.
// The caller sends what these return and lets agents read the served folders.

#include "signage.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

class QWidget;

namespace signageflow {

struct Folders
{
    QString tempDir;                                      // where the content file lists go
    std::array<QString, signage::OutputCount> configured; // the signage content folder settings
    QStringList chosen;                                   // folders the administrator chose in this run
};

using Outputs = std::array<signage::OutputValues, signage::OutputCount>;

// After the display dialog in dsi mode: the lists of the enabled outputs that show local
// content are written and their sources and lists filled in. Nothing when the administrator
// declines to serve a folder or a list cannot be written (nothing is to be sent then).
struct DsiConfiguration
{
    QByteArray text;           // category 18
    QStringList servedFolders; // folders agents may now read
};
std::optional<DsiConfiguration> prepareDsi(QWidget* parent, Outputs outputs, const Folders& folders);

// "Synchronize Digital Signage Folders" for one device.
enum class SyncAction
{
    NotInSignageMode, // the warning was shown; nothing is sent
    RestartMode,      // signage mode: restart the device's mode applications, without a question
    Send,             // dsi mode: send text (agents 8+) or legacyFrame (older agents)
};
struct Sync
{
    SyncAction action = SyncAction::NotInSignageMode;
    QList<signage::SyncedOutput> outputs;
    QByteArray text;        // category 45
    QByteArray legacyFrame; // type 45, code 1
    QStringList servedFolders;
};
Sync prepareSync(QWidget* parent, const QByteArray& protocol, const Outputs& outputs, const Folders& folders);

} // namespace signageflow

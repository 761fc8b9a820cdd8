#include "filecommands.h"

#include "ask.h"
#include "audit.h"
#include "boxes.h"
#include "commands.h"
#include "deviceanswers.h"
#include "devicecommands.h"
#include "dlgeditwhitelist.h"
#include "dlginstallondevice.h"
#include "dlgtextviewer.h"
#include "install.h"
#include "sending.h"
#include "settingskeys.h"
#include "sslserver.h"
#include "storage.h"
#include "thinclientinfo.h"
#include "windowcontext.h"

#include <QDir>
#include <QMetaObject>
#include <QTimer>
#include <QWidget>

using rvx::Ask;
using rvx::settings::Folder;

FileCommands::FileCommands(WindowContext& context, DeviceCommands& commands, DeviceAnswers& answers)
    : m_context(context)
    , m_commands(commands)
    , m_answers(answers)
{
}

void FileCommands::installFile(int initialKind, QString* installedName)
{
    DlgInstallOnDevice dialog(m_context.window, initialKind);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (installedName)
        *installedName = dialog.destinationName();
    const upgrade::InstallPreparation prepared =
        upgrade::prepareInstall(dialog.input(), rvx::settings::folderPath(*m_context.settings, Folder::Temp));
    if (!prepared.plan) {
        if (prepared.box)
            rvx::showBox(m_context.window, *prepared.box);
        return;
    }
    if (m_commands.noCommandTargets())
        return;
    // Each device gets the head, then the body streamed from the file as its connection
    // drains; a temporary file lives until the last stream has ended.
    const upgrade::InstallPlan& plan = *prepared.plan;
    for (ThinclientInfo* device : m_context.selectedDevices(true)) {
        if (!device->isOnline() ||
            !writeFrameWithFile(device, plan.head, plan.bodyPath, 0, plan.size, plan.keepAlive))
            continue;
        if (const std::optional<QString> sentence =
                commands::sendCommandSentence(plan.head, device->serialNumber()))
            logEvent(*sentence);
    }
}

void FileCommands::getLogs()
{
    if (rvx::showBox(m_context.window, upgrade::restartSessionQuestion()) == QMessageBox::Yes)
        m_commands.restartMode(false);
    const QString folder = Ask::getExistingDirectory(
        m_context.window, upgrade::logFolderChooserTitle(), QDir::toNativeSeparators(QDir::homePath()),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty())
        return;
    if (const std::optional<upgrade::Box> box = upgrade::logFolderBox(folder)) {
        rvx::showBox(m_context.window, *box);
        return;
    }
    const std::optional<QByteArray> message = upgrade::logRetrievalMessage(folder);
    if (!message)
        return;
    // The devices write their logs into this folder, for this run only.
    m_context.server->allowWriteFolder(folder);
    m_commands.sendCommand(*message, message->size(), QByteArray());
}

void FileCommands::piConfig(ThinclientInfo* device, const QString& text)
{
    if (!device || !m_answers.accept(msg::Type::PiConfig, device))
        return;
    // The editor is modal: it opens once the server's handler has returned.
    const QString serial = device->serialNumber();
    QMetaObject::invokeMethod(
        m_context.window, [this, serial, text]() { editPiConfig(serial, text); }, Qt::QueuedConnection);
}

void FileCommands::editPiConfig(const QString& serial, QString text)
{
    DlgTextViewer viewer(m_context.window, QStringLiteral("config.txt"), text);
    if (Ask::exec(&viewer) != QDialog::Accepted)
        return;
    if (rvx::showBox(m_context.window, upgrade::piConfigWarning()) == QMessageBox::No)
        return;
    if (const std::optional<upgrade::Box> box = upgrade::piConfigTextBox(text)) {
        rvx::showBox(m_context.window, *box);
        return;
    }
    // The device may have gone while the administrator edited.
    ThinclientInfo* device = m_context.server->findBySerial(serial);
    const std::optional<QByteArray> message = upgrade::piConfigInstallMessage(text);
    if (device && device->isOnline() && message && writeFrame(device, *message))
        logEvent(upgrade::piConfigSentence(serial));
}

void FileCommands::assignStorage(QTimer* wait)
{
    QList<ThinclientInfo*> inMaintenance;
    for (ThinclientInfo* device : m_context.selectedDevices(true)) {
        if (device->bootMode() == ThinclientInfo::BootMaintenance)
            inMaintenance << device;
    }
    if (inMaintenance.isEmpty()) {
        rvx::showBox(m_context.window, upgrade::noMaintenanceDevicesBox());
        return;
    }
    rvx::showBox(m_context.window, upgrade::storageRequestInformation());
    const QString temp = rvx::settings::folderPath(*m_context.settings, Folder::Temp);
    upgrade::removeBlockDeviceLists(temp);
    m_storageAsked.clear();
    for (ThinclientInfo* device : m_context.selectedDevices(true)) {
        if (writeFrame(device, upgrade::blockDeviceListRequest()))
            m_storageAsked << device->serialNumber();
    }
    if (!m_storageAsked.isEmpty())
        wait->start(upgrade::StorageWaitMs);
}

void FileCommands::storageWaitOver(QTimer* wait)
{
    wait->stop();
    const QString temp = rvx::settings::folderPath(*m_context.settings, Folder::Temp);
    DlgEditWhiteList dialog(m_context.window, temp);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    const std::optional<QByteArray> message =
        upgrade::approvalMessage(upgrade::approvalPayload(dialog.autoSelect(), temp));
    if (!message)
        return;
    // The approval goes to the devices that were asked, whatever is selected now.
    for (const QString& serial : qAsConst(m_storageAsked)) {
        ThinclientInfo* device = m_context.server->findBySerial(serial);
        if (!device || !device->isOnline() || !writeFrame(device, *message))
            continue;
        if (const std::optional<QString> sentence = commands::sendCommandSentence(*message, serial))
            logEvent(*sentence);
    }
    m_storageAsked.clear();
}

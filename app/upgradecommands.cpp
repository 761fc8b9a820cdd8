#include "upgradecommands.h"

#include "agentupgrade.h"
#include "ask.h"
#include "audit.h"
#include "boxes.h"
#include "devicefacts.h"
#include "dlgmultichoice.h"
#include "dlgselecthotfixes.h"
#include "firmware.h"
#include "hotfix.h"
#include "paths.h"
#include "sending.h"
#include "settingskeys.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "upgradefile.h"
#include "windowcontext.h"

#include <QDate>
#include <QDir>

using rvx::Ask;
using rvx::settings::Folder;

namespace {

QList<commands::DeviceFacts> factsOf(const QList<ThinclientInfo*>& devices)
{
    QList<commands::DeviceFacts> facts;
    for (const ThinclientInfo* device : devices)
        facts << deviceFacts(device);
    return facts;
}

// The report box of a rule, when there is one.
void report(QWidget* parent, const std::optional<upgrade::Box>& box)
{
    if (box)
        rvx::showBox(parent, *box);
}

} // namespace

UpgradeCommands::UpgradeCommands(WindowContext& context)
    : m_context(context)
{
}

void UpgradeCommands::admit(const QString& path)
{
    if (m_context.server)
        m_context.server->allowReadFile(path);
}

QString UpgradeCommands::chooseFolder(const upgrade::ChoiceTexts& texts, const QString& store,
                                      const QString& newest)
{
    DlgMultiChoice dialog(m_context.window, texts.title, texts.prompt, 1, texts.latest, texts.select);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return QString();
    if (dialog.choice() == 1)
        return QDir::toNativeSeparators(store + QLatin1Char('/') + newest);
    return Ask::getExistingDirectory(m_context.window, texts.chooserTitle, QDir::toNativeSeparators(store),
                                     QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void UpgradeCommands::firmware()
{
    const QString title = QStringLiteral("Upgrade Firmware");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    if (const std::optional<upgrade::Box> mixed = upgrade::firmwareDeviceTypeBox(factsOf(devices))) {
        rvx::showBox(m_context.window, *mixed);
        return;
    }
    const QString store = rvx::settings::folderPath(*m_context.settings, Folder::FirmwareImages);
    const QString typeFolder = upgrade::typeFolder(store, devices.first()->firmwareType());
    const QString newest = upgrade::newestVersionFolder(typeFolder);
    if (newest.isEmpty()) {
        rvx::showBox(m_context.window, upgrade::noFirmwareFolderBox());
        return;
    }
    const QString folder = chooseFolder(upgrade::firmwareChoice(newest), typeFolder, newest);
    if (folder.isEmpty() || rvx::showBox(m_context.window, upgrade::firmwareConfirmBox()) != QMessageBox::Yes)
        return;
    const upgrade::ImageSet images = upgrade::firmwareImages(folder);
    const std::optional<QByteArray> message =
        images.ok() ? upgrade::firmwareUpgradeMessage(images, QDate::currentDate()) : std::nullopt;
    if (!message) {
        QStringList paths(images.paths.begin(), images.paths.end());
        const std::optional<upgrade::Box> latin1 =
            upgrade::latin1PathBox(QStringLiteral("Firmware Upgrade"), paths);
        rvx::showBox(m_context.window, images.ok() && latin1 ? *latin1 : upgrade::noImagesBox(folder));
        return;
    }
    for (const QString& path : images.paths)
        admit(path);
    // Devices that went offline since they were selected are not written to.
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        if (!device->isOnline() || !upgrade::firmwareEligible(deviceFacts(device), images) ||
            !writeFrame(device, *message)) {
            ++ignored;
            continue;
        }
        logEvent(upgrade::firmwareSentence(device->serialNumber(), folder));
        ++sent;
    }
    report(m_context.window, upgrade::firmwareReport(sent, ignored));
}

void UpgradeCommands::agent()
{
    const QString title = QStringLiteral("Upgrade RVX Client");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const QString store = rvx::settings::folderPath(*m_context.settings, Folder::AgentPackages);
    const QString newest = upgrade::newestVersionFolder(store);
    if (newest.isEmpty()) {
        rvx::showBox(m_context.window, upgrade::noAgentFolderBox());
        return;
    }
    const QString folder = chooseFolder(upgrade::agentChoice(newest), store, newest);
    if (folder.isEmpty())
        return;
    if (const std::optional<upgrade::Box> outside = upgrade::agentFolderBox(folder, store)) {
        rvx::showBox(m_context.window, *outside);
        return;
    }
    const upgrade::PackageSet packages = upgrade::agentPackages(folder);
    if (packages.isEmpty()) {
        rvx::showBox(m_context.window, upgrade::noPackagesBox(folder));
        return;
    }
    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        const QString package = upgrade::packageFor(deviceFacts(device), packages);
        const std::optional<QByteArray> message = upgrade::agentUpgradeMessage(package, QDate::currentDate());
        if (!message || !writeFrame(device, *message)) {
            ++ignored;
            continue;
        }
        admit(package);
        logEvent(upgrade::agentSentence(device->serialNumber(), folder));
        ++sent;
    }
    report(m_context.window, upgrade::agentReport(sent, ignored));
}

void UpgradeCommands::hotfix()
{
    const QString title = QStringLiteral("Hotfix Installation");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const upgrade::HotfixDeviceCheck check = upgrade::checkHotfixDevices(factsOf(devices));
    if (check.box)
        rvx::showBox(m_context.window, *check.box);
    if (!check.target)
        return;
    const int type = check.target->firmwareType;
    QStringList chosen;
    const QString store = rvx::settings::folderPath(*m_context.settings, Folder::Hotfixes);
    DlgSelectHotfixes dialog(m_context.window, chosen, upgrade::typeFolder(store, type),
                             check.target->firmwareVersion);
    if (!dialog.folderReady() || Ask::exec(&dialog) != QDialog::Accepted)
        return;
    QStringList kept;
    for (const QString& path : qAsConst(chosen)) {
        switch (upgrade::classifyHotfix(path, type)) {
        case upgrade::HotfixKind::Encrypted:
            kept << path;
            break;
        case upgrade::HotfixKind::WrongType:
            rvx::showBox(m_context.window, upgrade::wrongTypeHotfixBox(path, type));
            break;
        case upgrade::HotfixKind::Unencrypted:
            if (rvx::showBox(m_context.window, upgrade::unencryptedHotfixQuestion(path)) == QMessageBox::Yes)
                kept << path;
            break;
        }
    }
    if (kept.isEmpty())
        return;
    const upgrade::HotfixMessage built = upgrade::hotfixMessage(type, kept, QDate::currentDate());
    if (!built.message) {
        report(m_context.window, built.box);
        return;
    }
    for (const QString& path : qAsConst(kept))
        admit(path);
    int offline = 0;
    for (ThinclientInfo* device : devices) {
        if (!device->isOnline()) {
            ++offline;
            continue;
        }
        for (const QString& path : qAsConst(kept))
            logEvent(upgrade::hotfixSentence(path, device->serialNumber()));
        writeFrame(device, *built.message);
    }
    report(m_context.window, upgrade::hotfixReport(offline));
}

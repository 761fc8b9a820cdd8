#include "agentupgrade.h"

#include "messages.h"
#include "paths.h"
#include "upgradefile.h"
#include "wire.h"

#include <QDir>

namespace upgrade {

namespace {

const QString AgentTitle = QStringLiteral("Upgrade RVX Client");

} // namespace

PackageSet agentPackages(const QString& folder)
{
    PackageSet packages;
    const QString nativeFolder = QDir::toNativeSeparators(folder);
    for (const QString& name : filesByName(folder)) {
        const HeaderCheck check = checkUpgradeFile(folder + QLatin1Char('/') + name);
        if (check.accepted)
            packages.insert(check.firmwareType, nativeFolder + QDir::separator() + name);
    }
    return packages;
}

QString packageFor(const commands::DeviceFacts& device, const PackageSet& packages)
{
    if (!device.online)
        return QString();
    return packages.value(device.firmwareType);
}

std::optional<QByteArray> agentUpgradeMessage(const QString& packagePath, const QDate& date)
{
    if (packagePath.isEmpty() || !commands::isLatin1(packagePath) || packagePath.contains(QChar(0)))
        return std::nullopt;
    QByteArray payload = packagePath.toLatin1();
    payload.append('\0');
    payload += dateStrings(date);
    const QByteArray message = wire::frame(msg::Type::AgentUpgrade, 1, payload);
    if (message.isEmpty())
        return std::nullopt;
    return message;
}

Box noAgentFolderBox()
{
    return critical(AgentTitle,
                    QStringLiteral("\nNo RVX client upgrades were found.\n\nYou can download RVX client "
                                   "upgrades by clicking on the Download button in the toolbar."));
}

ChoiceTexts agentChoice(const QString& newestFolder)
{
    return ChoiceTexts{AgentTitle, QStringLiteral("Upgrade RVX client"),
                       QStringLiteral("Install latest RVX client version ") + newestFolder,
                       QStringLiteral("Let me select the RVX client to install"),
                       QStringLiteral("Select Client Version")};
}

std::optional<Box> agentFolderBox(const QString& folder, const QString& store)
{
    if (isWithinFolder(folder, store))
        return std::nullopt;
    return critical(QStringLiteral("Wrong Folder Selected"),
                    QStringLiteral("RVX client files must be present in:\n\n") +
                        QDir::toNativeSeparators(store) + QStringLiteral("\n\nBut you selected\n\n") +
                        folder + QStringLiteral("\n\nYou can change this folder using Tools->Options."));
}

Box noPackagesBox(const QString& folder)
{
    return critical(AgentTitle,
                    QStringLiteral("No upgrade files found in:\n\n") + QDir::toNativeSeparators(folder));
}

QString agentSentence(const QString& serial, const QString& folder)
{
    return QStringLiteral("upgraded rvx_client on ") + serial + QStringLiteral(" from ") + folder;
}

std::optional<Box> agentReport(int sent, int ignored)
{
    if (ignored > 0) {
        return information(AgentTitle,
                           QStringLiteral("Upgrade command has been sent to ") + QString::number(sent) +
                               QStringLiteral(" device(s).\n\n") + QString::number(ignored) +
                               QStringLiteral(" device(s) were ignored because they are offline or "
                                              "have a firmware type that the update does not support."));
    }
    if (sent == 0)
        return warning(AgentTitle,
                       QStringLiteral("\nUpgrade command has NOT been sent to any device(s)\n\n"));
    return std::nullopt;
}

} // namespace upgrade

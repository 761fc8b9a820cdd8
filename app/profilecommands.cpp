#include "profilecommands.h"

#include "agentsocket.h"
#include "ask.h"
#include "audit.h"
#include "configlib.h"
#include "departmentpanel.h"
#include "departments.h"
#include "devicecommands.h"
#include "devicefacts.h"
#include "devicelists.h"
#include "dlgconfigfilter.h"
#include "profiles.h"
#include "rvxdb.h"
#include "safefile.h"
#include "savefailures.h"
#include "sending.h"
#include "settingskeys.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "windowcontext.h"
#include "zyldroplabel.h"

using rvx::Ask;
using namespace profiles;

namespace {

const char* const ProfileFilter = "Text files (*.txt)";

} // namespace

ProfileCommands::ProfileCommands(WindowContext& context, DeviceCommands& commands)
    : m_context(context)
    , m_commands(commands)
{
}

QString ProfileCommands::profileFolder() const
{
    return rvx::settings::folder(*m_context.settings, rvx::settings::Folder::Profiles);
}

void ProfileCommands::save()
{
    const QString title = QStringLiteral("Save Device Configuration");
    ThinclientInfo* device = m_context.singleSelectedDevice(title);
    if (!device)
        return;
    if (device->clientMajorVersion() < 8) {
        Ask::critical(
            m_context.window, title,
            QStringLiteral("\nUnsupported client version - please upgrade rvx_client to version 8.0.0 or "
                           "higher on this device."));
        return;
    }
    const QString serial = device->serialNumber();
    const QByteArray text = m_context.server->database()->loadConfig(serial);
    // An empty profile would be announced as saved and later applied as nothing.
    if (!holdsConfiguration(text)) {
        Ask::critical(m_context.window, title, nothingToSaveText());
        return;
    }
    QString path = Ask::getSaveFileName(m_context.window, QStringLiteral("Save file as"), profileFolder(),
                                        QString::fromLatin1(ProfileFilter), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    path = withTxtExtension(path);
    // The administrator waits for the result: a failure is told in a box (and on the status
    // bar until a profile is saved again); an existing profile of that name stays whole.
    QString error;
    if (!writeFileDurable(path, fileData(text), &error)) {
        rvx::saves::failed(rvx::saves::Kind::Profile, path, error);
        Ask::critical(m_context.window, QStringLiteral("File Create Error"),
                      QStringLiteral("Error creating file:\n\n") + path);
        return;
    }
    m_context.lists->profileSaved(path); // departments linked to this file compare with it now
    rvx::saves::succeeded(rvx::saves::Kind::Profile);
    Ask::information(
        m_context.window, QStringLiteral("Configuration Saved"),
        QStringLiteral("\nConfiguration saved.\n\nThis file can now be used as a template to deploy "
                       "configuration to multiple devices."));
    logEvent(createdSentence(path, serial));
    if (!device->clientVersionAtLeast(8, 1, 0))
        return;
    sendConfiguration(device, profileFilenameText(profileKey(path)), msg::Type::ProfileFilename);
    if (Ask::confirm(
            m_context.window, QStringLiteral("Save Configuration"),
            QStringLiteral("Do you want the device to reset to this configuration rather than factory "
                           "defaults?"))) {
        const QByteArray frame = commands::resetStateFrame(false);
        m_commands.sendCommand(frame, frame.size(), QByteArray());
    }
}

void ProfileCommands::load()
{
    const QString title = QStringLiteral("Load Configuration");
    const QList<ThinclientInfo*> devices = m_context.selectedDevices(true);
    if (m_context.noDevicesSelected(devices, title))
        return;
    const QString path =
        Ask::getOpenFileName(m_context.window, QStringLiteral("Load file"), profileFolder(),
                             QString::fromLatin1(ProfileFilter), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    DlgConfigFilter filter(m_context.window);
    if (Ask::exec(&filter) != QDialog::Accepted)
        return;
    const QList<int> ids = filter.selectedIds();
    const bool complete = isCompleteSelection(ids);
    if (!Ask::confirm(
            m_context.window, title,
            QStringLiteral("Are you sure you want to load this configuration on all selected devices?\n\nTo "
                           "avoid identity clashes, hostname and static IP address settings will be "
                           "ignored.\n\nPlease note that loading a configuration will NOT install files that "
                           "the configuration references, such as SSL certificates; you must do that "
                           "separately.")))
        return;
    const bool resetToo =
        complete && Ask::confirm(m_context.window, title,
                                 QStringLiteral("Do you want selected devices to reset to this "
                                                "configuration rather than factory defaults?"));

    send(devices, path, ids, resetToo);
}

void ProfileCommands::send(const QList<ThinclientInfo*>& devices, const QString& path, const QList<int>& ids,
                           bool resetToo)
{
    const QString title = QStringLiteral("Load Configuration");
    const bool complete = isCompleteSelection(ids);
    // The store serves as scratch space; the selected device's values come back afterwards.
    StoreGuard guard;
    const LoadResult loaded = loadIntoStore(path);
    if (loaded != LoadResult::Loaded) {
        Ask::critical(m_context.window, title, loadFailureText(loaded, path));
        return;
    }
    const QString key = profileKey(path);
    const std::optional<QList<QByteArray>> plain = messages(ids, complete, false);
    const std::optional<QList<QByteArray>> packed = messages(ids, complete, true);
    if (!plain || !packed) {
        Ask::critical(m_context.window, title,
                      QStringLiteral("\nThe configuration in\n\n") + path +
                          QStringLiteral("\n\nis too large to be sent to a device. Nothing was sent."));
        return;
    }
    DeviceCommands::Delivery delivery;
    delivery.eligible = [](const commands::DeviceFacts& facts) {
        return facts.online && canTakeProfile(facts);
    };
    delivery.send = [&](ThinclientInfo* device) {
        const commands::DeviceFacts facts = deviceFacts(device);
        const QList<QByteArray>& list = commands::takesCompressedConfiguration(facts) ? *packed : *plain;
        const QString serial = device->serialNumber();
        if (!complete) {
            for (int page = 0; page < list.size(); ++page) {
                writeFrame(device, list.at(page));
                logEvent(appliedPageSentence(page, key, serial));
            }
            return true;
        }
        writeFrame(device, list.first());
        logEvent(appliedSentence(key, serial));
        if (resetToo && canTakeResetState(facts)) {
            queueFrame(device, commands::resetStateFrame(false));
            logEvent(customResetStateSentence(serial));
        }
        return true;
    };
    const DeviceCommands::Outcome outcome = DeviceCommands::sendToEligible(devices, delivery);
    Ask::information(m_context.window, title, loadSummary(outcome.sent, outcome.ignored));
}

void ProfileCommands::link(DeptInfo* department)
{
    if (!department)
        return;
    const QString title = QStringLiteral("Link Saved Configuration");
    if (!Ask::confirm(
            m_context.window, title,
            QStringLiteral("\nLinking a department to a saved configuration will cause devices in this "
                           "department to load this configuration in full (except for hostname and static IP "
                           "address settings) every time they connect to RVX, overwriting existing "
                           "settings.\n\nDevices will also be configured to reset to this configuration "
                           "instead of default settings.\n\nDo you want to proceed with linking a saved "
                           "configuration?")))
        return;
    const QString path =
        Ask::getOpenFileName(m_context.window, QStringLiteral("Select File"), profileFolder(),
                             QString::fromLatin1(ProfileFilter), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    department->profile = path;
    if (department->label)
        department->label->updateAppearance(); // tooltip "Linked to: " + path
    // The "Profile" cells compare with the new profile.
    m_context.lists->refreshDepartment(department);
    m_context.panel->save();
    logEvent(linkedSentence(path, department->name));
    // A new link is reported afresh should its file go missing.
    m_missingReported.remove(QString::number(department->id) + QLatin1Char('|') + path);
    // Connected members reconnect and receive the profile as they identify themselves.
    const QList<ThinclientInfo*> members = department->devices;
    for (ThinclientInfo* device : members) {
        if (device->socket)
            agentsocket::disconnectFromHost(device->socket);
    }
}

void ProfileCommands::unlink(DeptInfo* department)
{
    if (!department)
        return;
    const QString title = QStringLiteral("Unlink Saved Configuration");
    if (department->profile.isEmpty()) {
        Ask::critical(m_context.window, title,
                      QStringLiteral("This department is not linked to a saved configuration"));
        return;
    }
    if (!Ask::confirm(
            m_context.window, title,
            QStringLiteral("\nUnlinking the associated saved configuration will have no immediate effect on "
                           "the configuration of devices in this department, but will allow them to freely "
                           "diverge from this state as future changes occur.\n\nReset states of member "
                           "devices will not be altered.\n\nDo you wish to disassociate this department from "
                           "the saved configuration to which it is currently linked (") +
                department->profile + QStringLiteral(")?")))
        return;
    department->profile.clear();
    if (department->label)
        department->label->updateAppearance();
    m_context.lists->refreshDepartment(department);
    m_context.panel->save();
    logEvent(unlinkedSentence(department->name));
}

void ProfileCommands::applyPolicy(ThinclientInfo* device)
{
    if (!device)
        return;
    DeptInfo* department = m_context.departments->departmentOfDevice(device);
    if (!department || department->profile.isEmpty())
        return;
    const commands::DeviceFacts facts = deviceFacts(device);
    if (!canTakeProfile(facts))
        return;
    // The device connects in the background: the selected device's values stay in the store.
    StoreGuard guard;
    const LoadResult loaded = loadIntoStore(department->profile);
    if (loaded != LoadResult::Loaded) {
        // Nothing is applied; the administrator hears of it once per department and run.
        const QString key = QString::number(department->id) + QLatin1Char('|') + department->profile;
        if (!m_missingReported.contains(key)) {
            m_missingReported.insert(key);
            m_context.showStatus(missingLinkedProfileStatus(department->profile, department->name));
            logEvent(missingLinkedProfileSentence(department->profile, department->name));
        }
        return;
    }
    const QList<QByteArray> frames = policyFrames(facts);
    for (const QByteArray& frame : frames)
        queueFrame(device, frame);
}

// Configuration profiles: saving a device's configuration, loading a profile onto devices,
// linking a profile to a department, and applying a department's linked profile to a device
// that connects. The file and message rules are in profiles.h.

#include "mainwindow.h"

#include "ask.h"
#include "audit.h"
#include "configlib.h"
#include "devicefacts.h"
#include "dlgconfigfilter.h"
#include "profiles.h"
#include "rvxdb.h"
#include "safefile.h"
#include "sending.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "zyldroplabel.h"

#include <QSettings>
#include <QSslSocket>

using rvx::Ask;
using namespace profiles;

namespace {

const char* const ProfileFilter = "Text files (*.txt)";

bool confirm(QWidget* parent, const QString& title, const QString& text)
{
    return Ask::question(parent, title, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

} // namespace

void MainWindow::on_save_config_triggered()
{
    const QString title = QStringLiteral("Save Device Configuration");
    ThinclientInfo* device = singleSelectedDevice(title);
    if (!device)
        return;
    if (device->clientMajorVersion() < 8) {
        Ask::critical(
            this, title,
            QStringLiteral("\nUnsupported client version - please upgrade rvx_client to version 8.0.0 or "
                           "higher on this device."));
        return;
    }
    QString path = Ask::getSaveFileName(this, QStringLiteral("Save file as"),
                                        m_settings->value(QStringLiteral("profileDir")).toString(),
                                        QString::fromLatin1(ProfileFilter), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    path = withTxtExtension(path);
    const QString serial = device->serialNumber();
    const QByteArray text = m_server->database()->loadConfig(serial);
    if (!writeFileDurable(path, fileData(text))) {
        Ask::critical(this, QStringLiteral("File Create Error"),
                      QStringLiteral("Error creating file:\n\n") + path);
        return;
    }
    Ask::information(
        this, QStringLiteral("Configuration Saved"),
        QStringLiteral("\nConfiguration saved.\n\nThis file can now be used as a template to deploy "
                       "configuration to multiple devices."));
    logEvent(createdSentence(path, serial));
    if (!device->clientVersionAtLeast(8, 1, 0))
        return;
    ::sendConfiguration(device, profileFilenameText(profileKey(path)), 54);
    if (confirm(this, QStringLiteral("Save Configuration"),
                QStringLiteral("Do you want the device to reset to this configuration rather than factory "
                               "defaults?"))) {
        const QByteArray frame = commands::resetStateFrame(false);
        sendCommand(frame, frame.size(), QByteArray());
    }
}

void MainWindow::on_load_config_triggered()
{
    const QString title = QStringLiteral("Load Configuration");
    const QList<ThinclientInfo*> devices = selectedDevices(true);
    if (noDevicesSelected(devices, title))
        return;
    const QString path = Ask::getOpenFileName(
        this, QStringLiteral("Load file"), m_settings->value(QStringLiteral("profileDir")).toString(),
        QString::fromLatin1(ProfileFilter), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    DlgConfigFilter filter(this);
    if (Ask::exec(&filter) != QDialog::Accepted)
        return;
    const QList<int> ids = filter.selectedIds();
    const bool complete = isCompleteSelection(ids);
    if (!confirm(
            this, title,
            QStringLiteral("Are you sure you want to load this configuration on all selected devices?\n\nTo "
                           "avoid identity clashes, hostname and static IP address settings will be "
                           "ignored.\n\nPlease note that loading a configuration will NOT install files that "
                           "the configuration references, such as SSL certificates; you must do that "
                           "separately.")))
        return;
    const bool resetToo =
        complete &&
        confirm(this, title,
                QStringLiteral("Do you want selected devices to reset to this configuration rather "
                               "than factory defaults?"));

    // The store serves as scratch space; the selected device's values come back afterwards.
    StoreGuard guard;
    const LoadResult loaded = loadIntoStore(path);
    if (loaded != LoadResult::Loaded) {
        Ask::critical(this, title, loadFailureText(loaded, path));
        return;
    }
    const QString key = profileKey(path);
    const std::optional<QList<QByteArray>> plain = messages(ids, complete, false);
    const std::optional<QList<QByteArray>> packed = messages(ids, complete, true);
    if (!plain || !packed) {
        Ask::critical(this, title,
                      QStringLiteral("\nThe configuration in\n\n") + path +
                          QStringLiteral("\n\nis too large to be sent to a device. Nothing was sent."));
        return;
    }

    int sent = 0;
    int ignored = 0;
    for (ThinclientInfo* device : devices) {
        const commands::DeviceFacts facts = deviceFacts(device);
        if (!device->isOnline() || !canTakeProfile(facts)) {
            ++ignored;
            continue;
        }
        const QList<QByteArray>& list = commands::takesCompressedConfiguration(facts) ? *packed : *plain;
        const QString serial = device->serialNumber();
        if (complete) {
            writeFrame(device, list.first());
            logEvent(appliedSentence(key, serial));
            if (resetToo && canTakeResetState(facts)) {
                queueFrame(device, commands::resetStateFrame(false));
                logEvent(customResetStateSentence(serial));
            }
        } else {
            for (int page = 0; page < list.size(); ++page) {
                writeFrame(device, list.at(page));
                logEvent(appliedPageSentence(page, key, serial));
            }
        }
        ++sent;
    }
    Ask::information(this, title, loadSummary(sent, ignored));
}

void MainWindow::onDepartmentLinkProfile(void* dept)
{
    auto* department = static_cast<DeptInfo*>(dept);
    if (!department)
        return;
    const QString title = QStringLiteral("Link Saved Configuration");
    if (!confirm(
            this, title,
            QStringLiteral("\nLinking a department to a saved configuration will cause devices in this "
                           "department to load this configuration in full (except for hostname and static IP "
                           "address settings) every time they connect to RVX, overwriting existing "
                           "settings.\n\nDevices will also be configured to reset to this configuration "
                           "instead of default settings.\n\nDo you want to proceed with linking a saved "
                           "configuration?")))
        return;
    const QString path = Ask::getOpenFileName(
        this, QStringLiteral("Select File"), m_settings->value(QStringLiteral("profileDir")).toString(),
        QString::fromLatin1(ProfileFilter), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    department->profile = path;
    if (department->label)
        department->label->updateAppearance(); // tooltip "Linked to: " + path
    saveDepartments();
    logEvent(linkedSentence(path, department->name));
    // A new link is reported afresh should its file go missing.
    m_missingProfilesReported.remove(QString::number(department->id) + QLatin1Char('|') + path);
    // Connected members reconnect and receive the profile as they identify themselves.
    const QList<ThinclientInfo*> members = department->devices;
    for (ThinclientInfo* device : members) {
        if (device->socket)
            device->socket->disconnectFromHost();
    }
}

void MainWindow::onDepartmentUnlinkProfile(void* dept)
{
    auto* department = static_cast<DeptInfo*>(dept);
    if (!department)
        return;
    const QString title = QStringLiteral("Unlink Saved Configuration");
    if (department->profile.isEmpty()) {
        Ask::critical(this, title, QStringLiteral("This department is not linked to a saved configuration"));
        return;
    }
    if (!confirm(
            this, title,
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
    saveDepartments();
    logEvent(unlinkedSentence(department->name));
}

void MainWindow::applyDevicePolicy(ThinclientInfo* tci)
{
    if (!tci)
        return;
    DeptInfo* department = m_departments.departmentOfDevice(tci);
    if (!department || department->profile.isEmpty())
        return;
    const commands::DeviceFacts facts = deviceFacts(tci);
    if (!canTakeProfile(facts))
        return;
    // The device connects in the background: the selected device's values stay in the store.
    StoreGuard guard;
    const LoadResult loaded = loadIntoStore(department->profile);
    if (loaded != LoadResult::Loaded) {
        // Nothing is applied; the administrator hears of it once per department and run.
        const QString key = QString::number(department->id) + QLatin1Char('|') + department->profile;
        if (!m_missingProfilesReported.contains(key)) {
            m_missingProfilesReported.insert(key);
            showStatusText(missingLinkedProfileStatus(department->profile, department->name));
            logEvent(missingLinkedProfileSentence(department->profile, department->name));
        }
        return;
    }
    const QList<QByteArray> frames = policyFrames(facts);
    for (const QByteArray& frame : frames)
        queueFrame(tci, frame);
}

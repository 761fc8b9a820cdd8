#include "configdialogs.h"

#include "agentlists.h"
#include "agentsocket.h"
#include "appmode.h"
#include "ask.h"
#include "audit.h"
#include "commands.h"
#include "configlib.h"
#include "delivery.h"
#include "deviceanswers.h"
#include "devicecommands.h"
#include "devicefacts.h"
#include "displayconfig.h"
#include "dlgconfiguredisplays.h"
#include "dlgconnectiontype.h"
#include "dlglocale.h"
#include "dlgnetwork.h"
#include "dlgperipherals.h"
#include "filecommands.h"
#include "localeconfig.h"
#include "networkconfig.h"
#include "peripheralsconfig.h"
#include "sending.h"
#include "settingskeys.h"
#include "signage.h"
#include "signageflow.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "windowcontext.h"

using msg::Type;
using rvx::Ask;
using rvx::settings::Folder;

namespace {

signageflow::Folders signageFolders(const QSettings& settings, const QStringList& chosen)
{
    signageflow::Folders folders;
    folders.tempDir = rvx::settings::folderPath(settings, Folder::Temp);
    const Folder content[] = {Folder::SignageContent1, Folder::SignageContent2, Folder::SignageContent3};
    for (int i = 0; i < signage::OutputCount; ++i)
        folders.configured[static_cast<size_t>(i)] = rvx::settings::folder(settings, content[i]);
    folders.chosen = chosen;
    return folders;
}

} // namespace

ConfigDialogs::ConfigDialogs(WindowContext& context, DeviceCommands& commands, DeviceAnswers& answers,
                             FileCommands& files)
    : m_context(context)
    , m_commands(commands)
    , m_answers(answers)
    , m_files(files)
{
}

QMap<QString, QStringList> ConfigDialogs::copied(const QMap<QString, QStringList*>* lists)
{
    QMap<QString, QStringList> out;
    if (!lists)
        return out;
    for (auto it = lists->cbegin(); it != lists->cend(); ++it) {
        if (it.value())
            out.insert(it.key(), *it.value());
    }
    return out;
}

bool ConfigDialogs::deliver(ThinclientInfo* device, const delivery::Message& message)
{
    if (!device || !device->isOnline())
        return false;
    const bool written = message.isText ? sendConfiguration(device, message.bytes, message.type)
                                        : writeFrame(device, message.bytes);
    if (written && !message.sentence.isEmpty())
        logEvent(message.sentence);
    return written;
}

ThinclientInfo* ConfigDialogs::stillOnline(const QString& serial) const
{
    ThinclientInfo* device = m_context.server ? m_context.server->findBySerial(serial) : nullptr;
    return device && device->isOnline() ? device : nullptr;
}

// ---- network ----------------------------------------------------------------------------------

void ConfigDialogs::network()
{
    ThinclientInfo* device = m_context.singleSelectedDevice(QStringLiteral("Configure Network"));
    if (!device)
        return;
    const QString serial = device->serialNumber();
    DlgNetwork dialog(m_context.window, deviceFacts(device));
    m_network = &dialog;
    QObject::connect(&dialog, &DlgNetwork::onInstallCertificate, &dialog,
                     [this](QString* filename) { m_files.installFile(5, filename); });
    QObject::connect(&dialog, &DlgNetwork::getSSIDList, &dialog,
                     [this, &dialog] { m_answers.requestSsidList(&dialog); });
    QObject::connect(&dialog, &DlgNetwork::getNetworkInfo, &dialog,
                     [this, &dialog](quint8 code) { m_answers.requestNetworkInfo(code, &dialog); });
    dialog.requestDeviceData();
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    device = stillOnline(serial);
    if (!device)
        return;
    for (const delivery::Message& message : netconfig::messages(deviceFacts(device), dialog.settings()))
        deliver(device, message);
}

void ConfigDialogs::ssidList(const QStringList& entries)
{
    if (m_network && m_answers.answerFrom(Type::SsidList))
        m_network->setSsidList(entries);
}

void ConfigDialogs::networkStatus(const NetworkStatus& status)
{
    if (m_network && m_answers.answerFrom(Type::NetworkStatus))
        m_network->setNetworkInfo(status);
}

// ---- time zone and language, peripherals -------------------------------------------------------

void ConfigDialogs::locale()
{
    ThinclientInfo* device = m_context.singleSelectedDevice(QStringLiteral("Set Time Zone and Language"));
    if (!device)
        return;
    const QString serial = device->serialNumber();
    DlgLocale dialog(m_context.window);
    m_locale = &dialog;
    QObject::connect(&dialog, &DlgLocale::getLocaleLists, &dialog,
                     [this, &dialog] { m_answers.requestLocaleLists(&dialog); });
    dialog.requestDeviceData();
    if (Ask::exec(&dialog) != QDialog::Accepted || !stillOnline(serial))
        return;
    const QByteArray frame = localeconfig::timeZoneFrame(dialog.settings());
    m_commands.sendCommand(frame, frame.size(), localeconfig::localeText(dialog.settings()));
}

void ConfigDialogs::localeLists(const QMap<QString, QStringList>& lists)
{
    if (m_locale && m_answers.answerFrom(Type::LocaleList))
        m_locale->setLocaleLists(lists);
}

void ConfigDialogs::peripherals()
{
    ThinclientInfo* device = m_context.singleSelectedDevice(QStringLiteral("Configure Peripherals"));
    if (!device)
        return;
    const QString serial = device->serialNumber();
    const bool oldAudio = peripherals::oldAudio(device->firmwareVersion());
    DlgPeripherals dialog(m_context.window, commands::isRaspberryPi(device->firmwareType()), oldAudio);
    m_peripherals = &dialog;
    QObject::connect(&dialog, &DlgPeripherals::getKeyboardOptions, &dialog,
                     [this, &dialog] { m_answers.requestKeyboardOptionLists(&dialog); });
    QObject::connect(&dialog, &DlgPeripherals::getAudioDevices, &dialog,
                     [this, &dialog](bool forAlsa) { m_answers.requestAudioDevices(forAlsa, &dialog); });
    dialog.requestDeviceData();
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    if (ThinclientInfo* online = stillOnline(serial))
        deliver(online, peripherals::message(deviceFacts(online), dialog.settings(), oldAudio));
}

void ConfigDialogs::keyboardLists(const QMap<QString, QStringList>& lists)
{
    if (m_peripherals && m_answers.answerFrom(Type::KeyboardOptionList))
        m_peripherals->setKeyboardLists(lists);
}

void ConfigDialogs::audioDevices(const QMap<QString, QStringList>& lists)
{
    if (m_peripherals && m_answers.answerFrom(Type::AudioDeviceList))
        m_peripherals->setAudioDevices(lists);
}

// ---- displays and signage ------------------------------------------------------------------------

void ConfigDialogs::displays(const QByteArray& protocol)
{
    ThinclientInfo* device = m_context.singleSelectedDevice(QStringLiteral("Configure Display"));
    if (!device)
        return;
    const QString serial = device->serialNumber();
    // Outputs without a content source start from the configured content folders.
    const Folder content[] = {Folder::SignageContent1, Folder::SignageContent2, Folder::SignageContent3};
    for (int n = 1; n <= signage::OutputCount; ++n) {
        const QByteArray key = "ds_output" + QByteArray::number(n) + "_source";
        if (config_store_get(key).isEmpty())
            config_store_set(
                key, commands::configValue(rvx::settings::folder(*m_context.settings, content[n - 1])));
    }
    displays::Device facts{serial, device->clientVersion(), device->firmwareType(),
                           protocol.isEmpty() ? config_store_get("connection_type") : protocol,
                           device->socket ? agentsocket::localAddress(device->socket).toString() : QString()};
    DlgConfigureDisplays dialog(m_context.window, facts);
    m_displays = &dialog;
    QObject::connect(&dialog, &DlgConfigureDisplays::resolutionListRequested, &dialog,
                     [this, &dialog] { m_answers.requestResolutionLists(&dialog); });
    QObject::connect(&dialog, &DlgConfigureDisplays::contentFolderPicked, &dialog,
                     [this](const QString& folder) {
                         m_chosenFolders << folder;
                         m_context.server->allowReadFolder(folder);
                     });
    dialog.requestDeviceLists();
    if (Ask::exec(&dialog) != QDialog::Accepted || !(device = stillOnline(serial)))
        return;
    const bool text = commands::takesConfigurationText(deviceFacts(device));
    const bool written =
        text ? sendConfiguration(device, displays::configurationText(dialog.values(), facts.protocol),
                                 Type::Displays)
             : writeFrame(device, displays::legacyFrame(dialog.values()));
    if (written)
        logEvent(displays::auditSentence(serial));
    if (facts.protocol == "dsi")
        configureDsi(device, dialog);
}

void ConfigDialogs::configureDsi(ThinclientInfo* device, const DlgConfigureDisplays& dialog)
{
    signageflow::Outputs outputs;
    for (int i = 0; i < signage::OutputCount; ++i)
        outputs[static_cast<size_t>(i)] = dialog.values().signage[static_cast<size_t>(i)];
    m_chosenFolders += dialog.chosenFolders();
    const std::optional<signageflow::DsiConfiguration> dsi = signageflow::prepareDsi(
        m_context.window, outputs, signageFolders(*m_context.settings, m_chosenFolders));
    if (!dsi)
        return;
    for (const QString& folder : dsi->servedFolders)
        m_context.server->allowReadFolder(folder);
    if (commands::takesConfigurationText(deviceFacts(device)) &&
        sendConfiguration(device, dsi->text, Type::ApplicationMode))
        logEvent(signage::dsiAuditSentence(device->serialNumber()));
}

void ConfigDialogs::resolutionLists(const QMap<QString, QStringList>& lists)
{
    if (m_displays && m_answers.answerFrom(Type::ResolutionList))
        m_displays->setResolutionLists(lists);
}

void ConfigDialogs::applicationMode()
{
    ThinclientInfo* device = m_context.singleSelectedDevice(QStringLiteral("Set Application Mode"));
    if (!device)
        return;
    const QString serial = device->serialNumber();
    DlgConnectionType dialog(m_context.window);
    m_mode = &dialog;
    QObject::connect(&dialog, &DlgConnectionType::onGetModeHelp, &dialog,
                     [this, &dialog](int protocol) { m_answers.requestModeHelp(protocol, &dialog); });
    QObject::connect(&dialog, &DlgConnectionType::enumerateUsb, &dialog,
                     [this] { m_answers.requestUsbList(); });
    if (Ask::exec(&dialog) != QDialog::Accepted || !(device = stillOnline(serial)))
        return;
    const QByteArray protocol = dialog.protocolName();
    const appmode::HandOff handOff = appmode::handOff(protocol);
    if (handOff == appmode::HandOff::DsiInstead) {
        displays("dsi");
        return;
    }
    const bool written =
        commands::takesConfigurationText(deviceFacts(device))
            ? sendConfiguration(device, appmode::configurationText(dialog.values()), Type::ApplicationMode)
            : writeFrame(device, appmode::legacyFrame(dialog.values()));
    if (written)
        logEvent(appmode::auditSentence(serial, protocol));
    if (handOff == appmode::HandOff::SignageAfter)
        displays("signage");
}

void ConfigDialogs::modeHelp(const QString& text)
{
    if (m_mode && m_answers.answerFrom(Type::ModeHelp))
        m_mode->showModeHelp(text);
}

void ConfigDialogs::synchronizeSignage()
{
    ThinclientInfo* device =
        m_context.singleSelectedDevice(QStringLiteral("Synchronize Digital Signage Folders"));
    if (!device)
        return;
    signageflow::Outputs outputs;
    for (int i = 0; i < signage::OutputCount; ++i)
        outputs[static_cast<size_t>(i)] = signage::loadOutput(i + 1, config_store_get);
    const signageflow::Sync sync =
        signageflow::prepareSync(m_context.window, config_store_get("connection_type"), outputs,
                                 signageFolders(*m_context.settings, m_chosenFolders));
    if (sync.action == signageflow::SyncAction::RestartMode) {
        if (commands::canRestartMode(deviceFacts(device)) && writeFrame(device, commands::restartModeFrame()))
            logEvent(commands::actionSentence(commands::Action::RestartMode, device->serialNumber()));
        return;
    }
    if (sync.action != signageflow::SyncAction::Send)
        return;
    for (const QString& folder : sync.servedFolders)
        m_context.server->allowReadFolder(folder);
    const bool written = commands::takesConfigurationText(deviceFacts(device))
                             ? sendConfiguration(device, sync.text, Type::SignageSync)
                             : writeFrame(device, sync.legacyFrame);
    if (written)
        logEvent(QStringLiteral("synchonized dsi content on ") + device->serialNumber());
}

#include "deviceanswers.h"

#include "ask.h"
#include "audit.h"
#include "commands.h"
#include "configlib.h"
#include "devicecommands.h"
#include "dlgusbredirection.h"
#include "rvxdb.h"
#include "sending.h"
#include "sslserver.h"
#include "thinclientinfo.h"
#include "windowcontext.h"

#include <QMetaObject>
#include <QWidget>

using msg::Type;
using rvx::Ask;

DeviceAnswers::DeviceAnswers(WindowContext& context, DeviceCommands& commands)
    : m_context(context)
    , m_commands(commands)
{
}

void DeviceAnswers::await(Type answer, const QList<ThinclientInfo*>& devices, QObject* requester)
{
    QStringList serials;
    for (const ThinclientInfo* device : devices)
        serials << device->serialNumber();
    m_awaited.expect(answer, serials, requester);
}

ThinclientInfo* DeviceAnswers::answerFrom(Type answer)
{
    ThinclientInfo* from = m_context.server ? m_context.server->answeringDevice() : nullptr;
    return from && m_awaited.accept(answer, from) ? from : nullptr;
}

// ---- requests ------------------------------------------------------------------------------

void DeviceAnswers::requestModeHelp(int protocol, QObject* requester)
{
    await(Type::ModeHelp, m_context.selectedDevices(true), requester);
    m_commands.sendRequest(modeHelpRequest(protocol));
}

void DeviceAnswers::requestUsbList()
{
    await(Type::UsbList, m_context.selectedDevices(true), nullptr);
    m_commands.sendRequest(commands::usbListRequest());
}

void DeviceAnswers::requestSsidList(QObject* requester)
{
    await(Type::SsidList, m_context.selectedDevices(true), requester);
    m_commands.sendRequest(commands::ssidListRequest());
}

void DeviceAnswers::requestNetworkInfo(uchar version, QObject* requester)
{
    await(Type::NetworkStatus, m_context.selectedDevices(true), requester);
    m_commands.sendRequest(networkInfoRequest(version));
}

ThinclientInfo* DeviceAnswers::singleAtLeast(const QString& title, int major, int minor, int patch)
{
    ThinclientInfo* device = m_context.singleSelectedDevice(title);
    return device && device->clientVersionAtLeast(major, minor, patch) ? device : nullptr;
}

void DeviceAnswers::requestResolutionLists(QObject* requester)
{
    if (ThinclientInfo* device = singleAtLeast(QStringLiteral("Get Resolution Lists"), 8, 2, 0)) {
        m_awaited.expect(Type::ResolutionList, device->serialNumber(), requester);
        writeFrame(device, commands::resolutionListRequest());
    }
}

void DeviceAnswers::requestLocaleLists(QObject* requester)
{
    if (ThinclientInfo* device = singleAtLeast(QStringLiteral("Get Locale Lists"), 8, 2, 0)) {
        m_awaited.expect(Type::LocaleList, device->serialNumber(), requester);
        writeFrame(device, commands::localeListRequest());
    }
}

void DeviceAnswers::requestKeyboardOptionLists(QObject* requester)
{
    if (ThinclientInfo* device = singleAtLeast(QStringLiteral("Get Locale Lists"), 8, 2, 0)) {
        m_awaited.expect(Type::KeyboardOptionList, device->serialNumber(), requester);
        writeFrame(device, commands::keyboardOptionRequest());
    }
}

void DeviceAnswers::requestAudioDevices(bool forAlsa, QObject* requester)
{
    if (ThinclientInfo* device = singleAtLeast(QStringLiteral("Get Audio Device Lists"), 8, 4, 0)) {
        m_awaited.expect(Type::AudioDeviceList, device->serialNumber(), requester);
        writeFrame(device, audioDevicesRequest(forAlsa));
    }
}

void DeviceAnswers::requestPiConfig()
{
    const QString title = QStringLiteral("Edit Raspberry Pi Configuration");
    ThinclientInfo* device = m_context.singleSelectedDevice(title);
    if (!device || !device->clientVersionAtLeast(8, 3, 0, title))
        return;
    if (!commands::isRaspberryPi(device->firmwareType())) {
        Ask::critical(m_context.window, title, QStringLiteral("This device is not a Raspberry Pi."));
        return;
    }
    m_awaited.expect(Type::PiConfig, device->serialNumber());
    writeFrame(device, commands::piConfigRequest());
}

// ---- answers --------------------------------------------------------------------------------

void DeviceAnswers::usbList(ThinclientInfo* device, const QStringList& entries)
{
    if (!device || !m_awaited.accept(Type::UsbList, device))
        return;
    // The list arrives inside the server's message handler. The editor is modal, so it opens
    // once that handler has returned; the device is looked up again by its serial number then.
    const QString serial = device->serialNumber();
    QMetaObject::invokeMethod(
        m_context.window, [this, serial, entries]() { editUsbRedirections(serial, entries); },
        Qt::QueuedConnection);
}

void DeviceAnswers::editUsbRedirections(const QString& serial, const QStringList& usbList)
{
    ThinclientInfo* device = m_context.server ? m_context.server->findBySerial(serial) : nullptr;
    if (!device || !device->isOnline())
        return;
    const QByteArray protocol = config_protocol_name(device->protocolType());
    if (protocol.isEmpty())
        return;
    // The device's own stored settings, whichever device the store holds.
    const QByteArray stored = m_context.server->database()->loadConfig(serial);
    const auto ids = [&stored](const QByteArray& key) {
        return QString::fromLatin1(config_text_get_value(key, stored))
            .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    };
    QStringList redirected = protocol == "rdp" ? commands::numberedRedirections(stored) : QStringList();
    if (redirected.isEmpty())
        redirected = ids(protocol + "_usb_redirections");
    QStringList denied = ids(protocol + "_usb_redir_denied");
    // Older agents take only the redirected devices.
    const bool text = device->clientMajorVersion() >= 8;
    DlgUsbRedirection dialog(m_context.window, usbList, redirected, text ? &denied : nullptr);
    if (Ask::exec(&dialog) != QDialog::Accepted)
        return;
    // The editor was modal: the device may have gone meanwhile.
    device = m_context.server->findBySerial(serial);
    if (!device || !device->isOnline())
        return;
    const bool written =
        text ? sendConfiguration(device,
                                 commands::usbRedirectionText(protocol, redirected, denied,
                                                              commands::highestRedirectionNumber(stored)),
                                 Type::UsbRedirection)
             : writeFrame(device, commands::usbRedirectionLegacyFrame(redirected));
    if (written)
        logEvent(commands::actionSentence(commands::Action::UsbRedirection, serial));
}

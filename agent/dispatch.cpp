// The handling of complete agent messages: a table of handlers by message type, the guard
// that keeps everything but the identification from a connection that has not identified
// itself, and the common steps that follow every message.

#include "agentlists.h"
#include "agentwriter.h"
#include "configlib.h"
#include "legacy.h"
#include "messages.h"
#include "rvxdb.h"
#include "sending.h"
#include "sslserver_p.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <array>

using msg::Type;

struct SSLServer::Private::Message
{
    AgentConnection* c = nullptr;
    ThinclientInfo* record = nullptr;
    bool pending = false;
    quint8 type = 0;
    quint8 code = 0;
    QByteArray frame;
    QByteArray payload;
    // Configuration lines the message reported, and the category they replace.
    QByteArray text;
    int textCategory = 0;
    bool identification = false;
    // The handler closed the connection: nothing more is done.
    bool stopped = false;
};

namespace {

bool isYes(const QByteArray& value)
{
    return value == "yes";
}

void applyLegacyFields(ThinclientInfo* record, const LegacyReport& report)
{
    if (report.serialNumber)
        record->setSerialNumber(*report.serialNumber);
    if (report.macAddress)
        record->setMacAddress(*report.macAddress);
    if (report.firmwareVersion)
        record->setFirmwareVersion(*report.firmwareVersion);
    if (report.clientVersion)
        record->setClientVersion(*report.clientVersion);
    if (report.kernelVersion)
        record->setKernelVersion(*report.kernelVersion);
    if (report.firmwareType)
        record->setFirmwareType(*report.firmwareType);
    if (report.bootMode)
        record->setBootMode(*report.bootMode);
    if (report.ipAddress)
        record->setIpAddressValue(*report.ipAddress);
    if (report.hostname)
        record->setHostname(report.hostname->left(39));
    if (report.description)
        record->setDescription(report.description->left(63));
    if (report.protocolType)
        record->setProtocolType(*report.protocolType);
    if (report.pxeServerEnabled)
        record->setPxeServerEnabled(*report.pxeServerEnabled);
}

bool applyReportedFields(ThinclientInfo* record, const QByteArray& text)
{
    // The fields of the record that a configuration report can change.
    bool changed = false;
    const QByteArray hostname = config_text_get_value("brd_hostname", text);
    if (!hostname.isEmpty()) {
        record->setHostname(QString::fromLatin1(hostname).left(39));
        changed = true;
    }
    const QByteArray description = config_text_get_value("description", text);
    if (!description.isEmpty()) {
        record->setDescription(QString::fromLatin1(description).left(63));
        changed = true;
    }
    const QByteArray protocol = config_text_get_value("connection_type", text);
    if (!protocol.isEmpty()) {
        record->setProtocolType(static_cast<quint8>(config_protocol_index(protocol)));
        changed = true;
    }
    const QByteArray pxe = config_text_get_value("pxe_server_enabled", text);
    if (!pxe.isEmpty()) {
        record->setPxeServerEnabled(isYes(pxe));
        changed = true;
    }
    const QByteArray beacon = config_text_get_value("rvx_beacon_enabled", text);
    if (!beacon.isEmpty()) {
        record->setBeaconEnabled(isYes(beacon));
        changed = true;
    }
    return changed;
}

} // namespace

// ---- dispatch ------------------------------------------------------------------------------

const std::array<SSLServer::Private::Handler, 128>& SSLServer::Private::handlers()
{
    using P = SSLServer::Private;
    static const std::array<Handler, 128> table = [] {
        std::array<Handler, 128> t{};
        auto set = [&t](Type type, Handler h) { t[msg::number(type)] = h; };
        for (Type legacy : {Type::TimeZone, Type::Description, Type::ApplicationMode, Type::Hostname,
                            Type::Network, Type::Peripherals, Type::Firewall, Type::PxeServer})
            set(legacy, &P::onLegacyReport);
        set(Type::Identification, &P::onIdentification);
        set(Type::Status, &P::onStatus);
        set(Type::FileReadOpen, &P::onFileReadOpen);
        set(Type::FileTransferEnd, &P::onFileTransferEnd);
        set(Type::FileReadBlock, &P::onFileReadBlock);
        set(Type::Disconnect, &P::onDisconnectRequest);
        set(Type::FileWriteOpen, &P::onFileWriteOpen);
        set(Type::FileWriteData, &P::onFileWriteData);
        set(Type::ModeHelp, &P::onModeHelp);
        for (Type list : {Type::UsbList, Type::ResolutionList, Type::LocaleList, Type::KeyboardOptionList,
                          Type::SsidList, Type::AudioDeviceList})
            set(list, &P::onGroupedList);
        set(Type::Echo, &P::onEcho);
        set(Type::Configuration, &P::onConfiguration);
        set(Type::PiConfig, &P::onPiConfig);
        set(Type::NetworkStatus, &P::onNetworkStatus);
        return t;
    }();
    return table;
}

void SSLServer::Private::dispatch(AgentConnection* c, ThinclientInfo* record, bool pending,
                                  const QByteArray& frame)
{
    Message m;
    m.c = c;
    m.record = record;
    m.pending = pending;
    m.type = static_cast<quint8>(frame.at(0)) & 0x7F;
    m.code = static_cast<quint8>(frame.at(1));
    m.frame = frame;
    m.payload = frame.mid(2 + msg::lengthFieldSize(m.type));
    m.textCategory = m.type;

    QPointer<AgentSocket> socket(c->socket);
    // Before its identification a connection may send nothing else: its message runs no
    // handler and the connection closes in the common steps.
    const Handler handler = handlers()[m.type];
    if (handler && (!pending || msg::allowedBeforeIdentification(m.type))) {
        // The answers to list requests say nothing of their sender: the window asks.
        answering = record;
        (this->*handler)(m);
        answering = nullptr;
    }
    // A receiver may have removed the device or closed the connection during a signal.
    if (m.stopped || !socket)
        return;
    finishMessage(m);
}

void SSLServer::Private::finishMessage(Message& m)
{
    QPointer<AgentSocket> socket(m.c->socket);
    ThinclientInfo* record = m.record;
    const Type type = static_cast<Type>(m.type);
    if (type != Type::Configuration && type != Type::Status && type != Type::Disconnect)
        record->skipPolicy = false;
    if (!m.pending || m.identification)
        touch(record);
    if (m.pending) {
        if (!m.identification || m.c->closing) {
            closeConnection(m.c);
            return;
        }
        const QString serial = record->serialNumber();
        if (!rvxDB::isValidSerial(serial)) {
            // An identification without a usable serial number (codes 0 to 2 carry none).
            refuseSerial(m, serial);
            return;
        }
        record = identify(m.c);
        if (!socket || !record)
            return;
    } else if (m.c->closing) {
        return;
    }
    if (type != Type::Configuration && !m.text.isEmpty())
        storeCategoryText(record, m.text, m.textCategory);
    emit q->updateTreeViewEntry(record, m.pending);
    if (m.pending && socket && record->pendingFrames) {
        QList<QByteArray>* frames = record->pendingFrames;
        record->pendingFrames = nullptr;
        for (const QByteArray& f : qAsConst(*frames)) {
            if (!record->socket)
                break;
            writeFrame(record, f);
        }
        delete frames;
    }
}

ThinclientInfo* SSLServer::Private::identify(AgentConnection* c)
{
    const DeviceRegistry::Identified result = registry.identify(c->socket);
    ThinclientInfo* record = result.record;
    if (!record)
        return nullptr;
    c->identified = true;
    if (AgentSocket* stale = result.staleSocket) {
        // The device left an earlier connection behind that was never closed; it is
        // dropped as a connection without a record.
        if (AgentConnection* old = connections.value(stale)) {
            old->closing = true;
            pacer->closed(old);
        }
        agentsocket::abort(stale);
        stale->deleteLater();
    }
    closeTransfer(record);
    if (result.isNew)
        emit q->addDevToDept(record);
    if (!record->skipPolicy)
        emit q->applyPolicy(record);
    return record;
}

bool SSLServer::Private::serialAcceptable(Message& m, const QString& serial)
{
    if (!rvxDB::isValidSerial(serial)) {
        refuseSerial(m, serial);
        return false;
    }
    // An identified connection keeps its serial number: another one would make two records
    // of one device, or one record of two devices.
    if (!m.pending &&
        DeviceRegistry::serialKey(serial) != DeviceRegistry::serialKey(m.record->serialNumber())) {
        closeConnection(m.c);
        m.stopped = true;
        return false;
    }
    return true;
}

void SSLServer::Private::refuseSerial(Message& m, const QString& serial)
{
    closeConnection(m.c);
    m.stopped = true;
    if (refusedSerials.contains(serial))
        return;
    refusedSerials.insert(serial);
    emit q->serialRefused(serial);
}

void SSLServer::Private::storeCategoryText(ThinclientInfo* record, const QByteArray& text, int category)
{
    const QString serial = record->serialNumber();
    if (!rvxDB::isValidSerial(serial))
        return;
    const std::optional<QByteArray> merged =
        config_text_replace_category(q->m_db->loadConfig(serial), text, category);
    if (merged)
        q->m_db->saveConfig(serial, *merged);
}

// ---- handlers --------------------------------------------------------------------------------

void SSLServer::Private::onLegacyReport(Message& m)
{
    const std::optional<LegacyReport> report = legacy_convert(m.type, m.code, m.payload);
    if (!report)
        return;
    applyLegacyFields(m.record, *report);
    if (report->storeBlock && rvxDB::isValidSerial(m.record->serialNumber()))
        q->m_db->saveState(m.record->serialNumber(), m.record->block());
    m.text = report->text;
    m.textCategory = report->category;
}

void SSLServer::Private::onIdentification(Message& m)
{
    m.identification = true;
    if (m.code >= 7) {
        ThinclientInfo probe;
        probe.loadBlock(m.payload);
        if (!serialAcceptable(m, probe.serialNumber()))
            return;
        m.record->loadBlock(m.payload);
        q->m_db->saveState(m.record->serialNumber(), m.record->block());
        return;
    }
    if (m.code < 3)
        return; // identifies the device without changing its block
    const std::optional<LegacyReport> report = legacy_convert(m.type, m.code, m.payload);
    if (!report)
        return;
    if (!serialAcceptable(m, report->serialNumber.value_or(m.record->serialNumber())))
        return;
    applyLegacyFields(m.record, *report);
    if (report->storeBlock)
        q->m_db->saveState(m.record->serialNumber(), m.record->block());
    m.text = report->text;
    m.textCategory = report->category;
}

void SSLServer::Private::onStatus(Message& m)
{
    const QByteArray message = wire::cText(m.payload);
    emit q->setStatus(m.record, static_cast<qint8>(m.code), message.constData());
}

void SSLServer::Private::onFileReadOpen(Message& m)
{
    openForReading(m.record, m.payload);
}

void SSLServer::Private::onFileTransferEnd(Message& m)
{
    closeTransfer(m.record);
}

void SSLServer::Private::onFileReadBlock(Message& m)
{
    readBlock(m.record, m.payload);
}

void SSLServer::Private::onDisconnectRequest(Message& m)
{
    closeConnection(m.c);
}

void SSLServer::Private::onFileWriteOpen(Message& m)
{
    openForWriting(m.record, m.code, m.payload);
}

void SSLServer::Private::onFileWriteData(Message& m)
{
    writeData(m.record, m.payload);
}

void SSLServer::Private::onModeHelp(Message& m)
{
    emit q->displayModeHelp(QString::fromLatin1(wire::cText(m.payload)));
}

void SSLServer::Private::onGroupedList(Message& m)
{
    const QMap<QString, QStringList> groups = parseGroupedList(m.code, m.payload);
    const Type type = static_cast<Type>(m.type);
    if (type == Type::UsbList || type == Type::SsidList) {
        QStringList list =
            groups.value(type == Type::UsbList ? QStringLiteral("usbids") : QStringLiteral("ssids"));
        if (type == Type::UsbList)
            emit q->configureUsbRedir(m.record, &list);
        else
            emit q->configureSSIDList(&list);
        return;
    }
    // Receivers copy what they need during the call; the lists go afterwards.
    QMap<QString, QStringList*> map;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        map.insert(it.key(), new QStringList(it.value()));
    if (type == Type::ResolutionList)
        emit q->configureResolutions(&map);
    else if (type == Type::LocaleList)
        emit q->configureLocale(&map);
    else if (type == Type::KeyboardOptionList)
        emit q->configureKeyboardOptions(&map);
    else if (type == Type::AudioDeviceList)
        emit q->configureAudioDevs(&map);
    qDeleteAll(map);
}

void SSLServer::Private::onEcho(Message& m)
{
    writeFrame(m.record, wire::shortFrame(Type::Echo));
}

void SSLServer::Private::onConfiguration(Message& m)
{
    ThinclientInfo* record = m.record;
    const std::optional<QByteArray> text = config_message_parse(m.frame);
    if (!text) {
        record->skipPolicy = false;
        return;
    }
    const int category = config_message_category(m.frame);
    const QString serial = record->serialNumber();
    if (rvxDB::isValidSerial(serial)) {
        if (category == CATEGORY_ALL)
            q->m_db->saveConfig(serial, *text);
        else
            storeCategoryText(record, *text, category);
    }
    const bool changed = applyReportedFields(record, *text);
    if (changed && rvxDB::isValidSerial(serial))
        q->m_db->saveState(serial, record->block());
    record->skipPolicy = category == CATEGORY_ALL;
}

void SSLServer::Private::onPiConfig(Message& m)
{
    emit q->editPiConfig(m.record, QString::fromLatin1(wire::cText(m.payload)));
}

void SSLServer::Private::onNetworkStatus(Message& m)
{
    const NetworkStatus s = parseNetworkStatus(m.code, m.payload);
    emit q->updateNetworkInfo(s.dns1, s.dns2, s.dsPath, s.wiredMAC, s.wiredIP, s.wiredNetmask, s.wiredGateway,
                              s.wirelessMAC, s.wirelessIP, s.wirelessNetmask, s.wirelessGateway);
}

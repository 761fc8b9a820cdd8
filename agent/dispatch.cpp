// The handling of complete agent messages: identification, configuration reports, lists,
// status texts and the common steps that follow every message.

#include "agentlists.h"
#include "configlib.h"
#include "legacy.h"
#include "rvxdb.h"
#include "sending.h"
#include "sslserver_p.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QSslSocket>

#include <cstring>

namespace {

// The NUL-terminated text at the start of a payload (the whole payload when it has no NUL).
QByteArray cText(const QByteArray& payload, int offset = 0)
{
    if (offset >= payload.size())
        return QByteArray();
    const int nul = payload.indexOf('\0', offset);
    return payload.mid(offset, (nul < 0 ? payload.size() : nul) - offset);
}

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

} // namespace

bool SSLServer::Private::serialAcceptable(ThinclientInfo* record, bool pending, const QString& serial) const
{
    if (!rvxDB::isValidSerial(serial))
        return false;
    // An identified connection keeps its serial number: another one would make two records
    // of one device, or one record of two devices.
    if (!pending && serialKey(serial) != serialKey(record->serialNumber()))
        return false;
    return true;
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

void SSLServer::Private::handleSnapshot(ThinclientInfo* record, const QByteArray& frame)
{
    const std::optional<QByteArray> text = config_message_parse(frame);
    if (!text) {
        record->skipPolicy = false;
        return;
    }
    const int category = config_message_category(frame);
    const QString serial = record->serialNumber();
    if (rvxDB::isValidSerial(serial)) {
        if (category == CATEGORY_ALL) {
            q->m_db->saveConfig(serial, *text);
        } else {
            storeCategoryText(record, *text, category);
        }
    }
    bool changed = false;
    const QByteArray hostname = config_text_get_value("brd_hostname", *text);
    if (!hostname.isEmpty()) {
        record->setHostname(QString::fromLatin1(hostname).left(39));
        changed = true;
    }
    const QByteArray description = config_text_get_value("description", *text);
    if (!description.isEmpty()) {
        record->setDescription(QString::fromLatin1(description).left(63));
        changed = true;
    }
    const QByteArray protocol = config_text_get_value("connection_type", *text);
    if (!protocol.isEmpty()) {
        record->setProtocolType(static_cast<quint8>(config_protocol_index(protocol)));
        changed = true;
    }
    const QByteArray pxe = config_text_get_value("pxe_server_enabled", *text);
    if (!pxe.isEmpty()) {
        record->setPxeServerEnabled(isYes(pxe));
        changed = true;
    }
    const QByteArray beacon = config_text_get_value("rvx_beacon_enabled", *text);
    if (!beacon.isEmpty()) {
        record->setBeaconEnabled(isYes(beacon));
        changed = true;
    }
    if (changed && rvxDB::isValidSerial(serial))
        q->m_db->saveState(serial, record->block());
    record->skipPolicy = category == CATEGORY_ALL;
}

void SSLServer::Private::handleGroupedList(ThinclientInfo* record, quint8 type, quint8 code,
                                           const QByteArray& payload)
{
    const QMap<QString, QStringList> groups = parseGroupedList(code, payload);
    if (type == 43 || type == 65) {
        QStringList list = groups.value(type == 43 ? QStringLiteral("usbids") : QStringLiteral("ssids"));
        if (type == 43)
            emit q->configureUsbRedir(record, &list);
        else
            emit q->configureSSIDList(&list);
        return;
    }
    // Receivers copy what they need during the call; the lists go afterwards.
    QMap<QString, QStringList*> map;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        map.insert(it.key(), new QStringList(it.value()));
    switch (type) {
    case 59:
        emit q->configureResolutions(&map);
        break;
    case 61:
        emit q->configureLocale(&map);
        break;
    case 62:
        emit q->configureKeyboardOptions(&map);
        break;
    case 70:
        emit q->configureAudioDevs(&map);
        break;
    default:
        break;
    }
    qDeleteAll(map);
}

ThinclientInfo* SSLServer::Private::identify(AgentConnection* c, ThinclientInfo* fresh)
{
    QSslSocket* socket = c->socket;
    QSslSocket* oldKey = nullptr;
    ThinclientInfo* record = q->findBySerial(fresh->serialNumber(), &oldKey);
    pending.remove(socket);
    if (record) {
        // A known device reconnects: its record (row, queued frames, policy flag) stays.
        if (oldKey && oldKey != socket) {
            // The device left an earlier connection behind that was never closed; it is
            // dropped as a connection without a record.
            online.remove(oldKey);
            if (AgentConnection* old = connections.value(oldKey))
                old->closing = true;
            oldKey->abort();
            oldKey->deleteLater();
        }
        closeTransfer(record);
        std::memcpy(record->info, fresh->info, ThinclientInfo::InfoSize);
        record->socket = socket;
        fresh->socket = nullptr;
        delete fresh;
        bySerial.insert(serialKey(record->serialNumber()), record);
        devices.insert(record, socket);
        online.insert(socket, record);
        c->identified = true;
    } else {
        record = fresh;
        devices.insert(record, socket);
        online.insert(socket, record);
        bySerial.insert(serialKey(record->serialNumber()), record);
        c->identified = true;
        emit q->addDevToDept(record);
    }
    if (!record->skipPolicy)
        emit q->applyPolicy(record);
    return record;
}

void SSLServer::Private::dispatch(AgentConnection* c, ThinclientInfo* record, bool pending,
                                  const QByteArray& frame)
{
    QPointer<QSslSocket> socket(c->socket);
    const quint8 type = static_cast<quint8>(frame.at(0)) & 0x7F;
    const quint8 code = static_cast<quint8>(frame.at(1));
    const int headerSize = 2 + wire::lengthFieldSize(type);
    const QByteArray payload = frame.mid(headerSize);

    QByteArray text; // configuration lines the message reported
    int textCategory = type;
    bool hasText = false;
    bool identification = false;

    switch (type) {
    case 4:
    case 6:
    case 18:
    case 28:
    case 29:
    case 34:
    case 36:
    case 37:
        if (pending)
            break; // not an identification: the connection closes below
        if (const std::optional<LegacyReport> report = legacy_convert(type, code, payload)) {
            applyLegacyFields(record, *report);
            if (report->storeBlock && rvxDB::isValidSerial(record->serialNumber()))
                q->m_db->saveState(record->serialNumber(), record->block());
            text = report->text;
            textCategory = report->category;
            hasText = !text.isEmpty();
        }
        break;
    case 5:
        identification = true;
        if (code >= 7) {
            ThinclientInfo probe;
            probe.loadBlock(payload);
            if (!serialAcceptable(record, pending, probe.serialNumber())) {
                closeConnection(c);
                return;
            }
            record->loadBlock(payload);
            q->m_db->saveState(record->serialNumber(), record->block());
        } else if (code >= 3) {
            const std::optional<LegacyReport> report = legacy_convert(type, code, payload);
            if (report) {
                const QString serial = report->serialNumber.value_or(record->serialNumber());
                if (!serialAcceptable(record, pending, serial)) {
                    closeConnection(c);
                    return;
                }
                applyLegacyFields(record, *report);
                if (report->storeBlock)
                    q->m_db->saveState(record->serialNumber(), record->block());
                text = report->text;
                textCategory = report->category;
                hasText = !text.isEmpty();
            }
        }
        break;
    case 7:
        if (!pending) {
            const QByteArray message = cText(payload);
            emit q->setStatus(record, static_cast<qint8>(code), message.constData());
        }
        break;
    case 9:
        if (!pending)
            openForReading(record, payload);
        break;
    case 10:
        closeTransfer(record);
        break;
    case 11:
        if (!pending)
            readBlock(record, payload);
        break;
    case 17:
        closeConnection(c);
        break;
    case 22:
        if (!pending)
            openForWriting(record, code, payload);
        break;
    case 23:
        if (!pending)
            writeData(record, payload);
        break;
    case 33:
        if (!pending)
            emit q->displayModeHelp(QString::fromLatin1(cText(payload)));
        break;
    case 43:
    case 59:
    case 61:
    case 62:
    case 65:
    case 70:
        if (!pending)
            handleGroupedList(record, type, code, payload);
        break;
    case 49:
        if (socket) {
            socket->write(wire::shortFrame(49));
            socket->flush();
        }
        break;
    case 55:
        if (!pending)
            handleSnapshot(record, frame);
        break;
    case 68:
        if (!pending)
            emit q->editPiConfig(record, QString::fromLatin1(cText(payload)));
        break;
    case 71:
        if (!pending) {
            const NetworkStatus s = parseNetworkStatus(code, payload);
            emit q->updateNetworkInfo(s.dns1, s.dns2, s.dsPath, s.wiredMAC, s.wiredIP, s.wiredNetmask,
                                      s.wiredGateway, s.wirelessMAC, s.wirelessIP, s.wirelessNetmask,
                                      s.wirelessGateway);
        }
        break;
    default:
        break; // read whole, no effect beyond the common steps
    }

    // A receiver may have removed the device or closed the connection during a signal.
    if (!socket)
        return;

    // Common steps after every message.
    if (type != 55 && type != 7 && type != 17)
        record->skipPolicy = false;
    if (!pending || identification)
        touch(record);
    if (pending) {
        if (!identification || c->closing) {
            closeConnection(c);
            return;
        }
        if (!rvxDB::isValidSerial(record->serialNumber())) {
            // An identification without a usable serial number (codes 0 to 2 carry none).
            closeConnection(c);
            return;
        }
        record = identify(c, record);
        if (!socket)
            return;
    } else if (c->closing) {
        return;
    }
    if (type != 55 && hasText)
        storeCategoryText(record, text, textCategory);
    emit q->updateTreeViewEntry(record, pending);
    if (pending && socket && record->pendingFrames) {
        QList<QByteArray>* frames = record->pendingFrames;
        record->pendingFrames = nullptr;
        for (const QByteArray& f : qAsConst(*frames)) {
            if (!record->socket)
                break;
            record->socket->write(f);
            record->socket->flush();
        }
        delete frames;
    }
}

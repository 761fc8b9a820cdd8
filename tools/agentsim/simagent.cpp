#include "simagent.h"

#include "agentlists.h"
#include "configlib.h"
#include "handshake.h"
#include "legacy.h"
#include "thinclientinfo.h"
#include "wire.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSslSocket>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <cstring>

SimAgent::SimAgent(QObject* parent)
    : QObject(parent)
{
    m_socket = new QSslSocket(this);
    m_socket->setPeerVerifyMode(QSslSocket::VerifyNone);
    // The server's certificate is self-signed: its errors are ignored on purpose.
    connect(m_socket, QOverload<const QList<QSslError>&>::of(&QSslSocket::sslErrors), m_socket,
            [this](const QList<QSslError>&) { m_socket->ignoreSslErrors(); });
    connect(m_socket, &QSslSocket::readyRead, this, &SimAgent::onReadyRead);
    connect(m_socket, &QSslSocket::disconnected, this, [this]() {
        m_disconnected = true;
        emit disconnected();
    });
    m_chunkTimer = new QTimer(this);
    connect(m_chunkTimer, &QTimer::timeout, this, &SimAgent::pump);
}

SimAgent::~SimAgent()
{
    m_socket->abort();
}

bool SimAgent::spin(const std::function<bool()>& condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::usleep(200);
    }
    return true;
}

// ---- identity --------------------------------------------------------------------------

QByteArray SimAgent::deviceBlock(const QString& serial, const QString& clientVersion, const QString& hostname,
                                 const QString& mac)
{
    ThinclientInfo info;
    info.setFirmwareType(2);
    info.setBootMode(ThinclientInfo::BootNormal);
    info.setIpAddressValue(0x0A4D0002); // 10.77.0.2
    info.setNetmaskValue(0xFFFFFF00);
    info.setHostname(hostname.isEmpty() ? QStringLiteral("zyl-") + serial.right(6) : hostname);
    info.setMacAddress(mac.isEmpty() ? QStringLiteral("00:11:22:33:44:55") : mac);
    info.setFirmwareVersion(QStringLiteral("8.4.0"));
    info.setKernelVersion(QStringLiteral("6.1.0-zylos"));
    info.setTfmVersion(QStringLiteral("2.0"));
    info.setClientVersion(clientVersion);
    info.setSerialNumber(serial);
    info.setProtocolType(0);
    info.setBasedOn(QString());
    info.setDebianArch(QStringLiteral("amd64"));
    info.setDebianVersion(QStringLiteral("12"));
    info.setHwName(QStringLiteral("Simulated thin client"));
    info.setDescription(QStringLiteral("simulated"));
    return info.block();
}

QByteArray SimAgent::fleetDeviceBlock(const QString& serial, const QString& clientVersion, const QString& mac)
{
    ThinclientInfo info;
    info.loadBlock(deviceBlock(serial, clientVersion, QStringLiteral("sim-device"), mac));
    info.setDescription(QStringLiteral("simulated device"));
    return info.block();
}

QByteArray SimAgent::sampleConfiguration(int lines)
{
    QByteArray text;
    int count = 0;
    // Only lines of some category: the server keeps exactly those.
    auto add = [&](const QByteArray& line) {
        if (count < lines && config_line_category(line) >= 0) {
            text += line + '\n';
            ++count;
        }
    };
    add("brd_hostname=sim-device");
    add("description=simulated device");
    add("connection_type=");
    add("log_level=2");
    add("timezone=Etc/UTC");
    add("firewall_enabled=yes");
    add("powersave=yes");
    add("pxe_server_enabled=no");
    add("rvx_beacon_enabled=no");
    add("nic_enabled=yes");
    add("nic_dhcp_enabled=yes");
    for (int p = 1; p <= PROTOCOL_COUNT && count < lines; ++p) {
        for (int o = 1; o <= OPTION_COUNT && count < lines; ++o) {
            if (const std::optional<QByteArray> key = config_protocol_option_key(p, o))
                add(*key + "=value" + QByteArray::number(p * 100 + o));
        }
    }
    // More lines than the tables hold: numbered USB redirection entries.
    for (int i = 0; count < lines && i < 1000000; ++i)
        add("usb_redir_dev" + QByteArray::number(i) +
            "=1d6b:" + QByteArray::number(i % 10000).rightJustified(4, '0'));
    return text;
}

// ---- connection ------------------------------------------------------------------------

void SimAgent::connectToServer(quint16 port, const QHostAddress& address)
{
    m_disconnected = false;
    m_proofRead = false;
    m_serverProof.clear();
    m_received.clear();
    m_unparsed.clear();
    m_frames.clear();
    m_socket->connectToHostEncrypted(address.toString(), port);
}

bool SimAgent::waitForEncrypted(int timeoutMs)
{
    return spin([this]() { return m_socket->isEncrypted() || m_disconnected; }, timeoutMs) &&
           m_socket->isEncrypted();
}

bool SimAgent::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState && !m_disconnected;
}

bool SimAgent::waitForDisconnected(int timeoutMs)
{
    return spin([this]() { return m_disconnected || m_socket->state() == QAbstractSocket::UnconnectedState; },
                timeoutMs);
}

void SimAgent::disconnectFromServer()
{
    m_socket->disconnectFromHost();
}

void SimAgent::abort()
{
    m_socket->abort();
}

void SimAgent::setChunking(int chunkSize, int delayMs)
{
    m_chunkSize = qMax(0, chunkSize);
    m_chunkDelayMs = qMax(0, delayMs);
}

void SimAgent::sendRaw(const QByteArray& bytes)
{
    if (m_chunkSize <= 0 && m_outgoing.isEmpty()) {
        m_socket->write(bytes);
        m_socket->flush();
        return;
    }
    m_outgoing += bytes;
    if (!m_chunkTimer->isActive()) {
        m_chunkTimer->start(m_chunkDelayMs);
        pump();
    }
}

void SimAgent::pump()
{
    if (m_outgoing.isEmpty()) {
        m_chunkTimer->stop();
        return;
    }
    const int n = m_chunkSize > 0 ? qMin(m_chunkSize, m_outgoing.size()) : m_outgoing.size();
    m_socket->write(m_outgoing.constData(), n);
    m_socket->flush();
    m_outgoing.remove(0, n);
    if (m_outgoing.isEmpty())
        m_chunkTimer->stop();
}

bool SimAgent::waitForSent(int timeoutMs)
{
    return spin([this]() { return m_outgoing.isEmpty() && m_socket->bytesToWrite() == 0; }, timeoutMs);
}

// ---- handshake -------------------------------------------------------------------------

QByteArray SimAgent::greetingBytes(Proof proof) const
{
    QByteArray digest = handshake::agentProof(m_identifier).value_or(QByteArray(32, '0'));
    if (proof == Proof::UpperCase)
        digest = digest.toUpper();
    else if (proof == Proof::Wrong)
        digest = handshake::md5Hex("not the token" + m_identifier);
    return handshake::greeting(m_identifier, digest);
}

void SimAgent::sendGreeting(Proof proof)
{
    sendRaw(greetingBytes(proof));
}

bool SimAgent::waitForServerProof(int timeoutMs)
{
    return spin([this]() { return m_proofRead || m_disconnected; }, timeoutMs) && m_proofRead;
}

bool SimAgent::serverProofValid() const
{
    return m_proofRead && m_serverProof == handshake::serverProof(m_identifier);
}

bool SimAgent::handshake(quint16 port, int timeoutMs)
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        connectToServer(port);
    if (!waitForEncrypted(timeoutMs))
        return false;
    sendGreeting();
    if (!waitForServerProof(timeoutMs) || !serverProofValid())
        return false;
    // The welcome message: type 5, code 2.
    if (!waitForFrames(1, timeoutMs))
        return false;
    const Frame& welcome = m_frames.first();
    return welcome.type == 5 && welcome.code == 2;
}

// ---- messages --------------------------------------------------------------------------

void SimAgent::sendFrame(quint8 type, quint8 code, const QByteArray& payload)
{
    sendRaw(wire::frame(type, code, payload));
}

void SimAgent::sendKeepAlive(char byte)
{
    sendRaw(QByteArray(1, byte));
}

void SimAgent::identify(const QByteArray& block, quint8 code)
{
    ThinclientInfo info;
    info.loadBlock(block);
    if (!info.clientVersion().isEmpty())
        m_clientVersion = info.clientVersion();
    sendFrame(5, code, block);
}

void SimAgent::identifyLegacy(const LegacyIdentification& id, quint8 code)
{
    if (!id.clientVersion.isEmpty())
        m_clientVersion = QString::fromLatin1(id.clientVersion);
    sendFrame(5, code, legacy_identification_encode(id, code));
}

void SimAgent::sendConfiguration(const QByteArray& text, int category, bool compress)
{
    if (const std::optional<QByteArray> message = config_message_build_text(text, category, compress))
        sendRaw(*message);
}

void SimAgent::sendList(quint8 type, quint8 code, const QList<QByteArray>& entries)
{
    sendFrame(type, code, buildListPayload(code, entries));
}

void SimAgent::setListAnswer(quint8 type, quint8 code, const QList<QByteArray>& entries)
{
    m_listAnswers.insert(type, wire::frame(type, code, buildListPayload(code, entries)));
}

bool SimAgent::echo(int timeoutMs)
{
    const int from = m_frames.size();
    sendFrame(49, 0, QByteArray());
    return waitForFrameOfType(49, from, timeoutMs) >= 0;
}

// ---- receiving -------------------------------------------------------------------------

void SimAgent::onReadyRead()
{
    QByteArray bytes = m_socket->readAll();
    if (!m_proofRead) {
        const int need = handshake::ProofSize - m_serverProof.size();
        m_serverProof += bytes.left(need);
        bytes.remove(0, need);
        if (m_serverProof.size() < handshake::ProofSize)
            return;
        m_proofRead = true;
    }
    if (m_streamThreshold <= 0)
        m_received += bytes;
    m_unparsed += bytes;
    parseFrames();
}

void SimAgent::parseFrames()
{
    for (;;) {
        if (m_streaming && !takeStreamed())
            return;
        if (m_unparsed.size() < 4)
            return;
        const quint8 type = static_cast<quint8>(m_unparsed.at(0));
        if (type == 7 && m_pendingAcks > 0) {
            // A file-data acknowledgement: four bytes, the third and fourth the count written.
            --m_pendingAcks;
            Frame f;
            f.type = type;
            f.code = static_cast<quint8>(m_unparsed.at(1));
            f.raw = m_unparsed.left(4);
            m_unparsed.remove(0, 4);
            m_frames.append(f);
            emit frameReceived(f);
            continue;
        }
        const int fieldSize = wire::lengthFieldSize(type);
        if (m_unparsed.size() < 2 + fieldSize)
            return;
        const uchar* p = reinterpret_cast<const uchar*>(m_unparsed.constData()) + 2;
        const qint64 length = fieldSize == 4 ? qFromBigEndian<quint32>(p) : qFromBigEndian<quint16>(p);
        if (m_streamThreshold > 0 && length > m_streamThreshold) {
            m_streaming = true;
            m_stream = Frame();
            m_stream.type = type;
            m_stream.code = static_cast<quint8>(m_unparsed.at(1));
            m_stream.raw = m_unparsed.left(2 + fieldSize);
            m_stream.streamedLength = 0;
            m_streamTotal = length;
            m_unparsed.remove(0, 2 + fieldSize);
            continue;
        }
        if (m_unparsed.size() < 2 + fieldSize + length)
            return;
        Frame f;
        f.type = type;
        f.code = static_cast<quint8>(m_unparsed.at(1));
        f.raw = m_unparsed.left(static_cast<int>(2 + fieldSize + length));
        f.payload = f.raw.mid(2 + fieldSize);
        m_unparsed.remove(0, f.raw.size());
        m_frames.append(f);
        emit frameReceived(f);
        const quint8 t = type & 0x7F;
        if (m_listAnswers.contains(t) && (t == 43 || t == 59 || t == 61 || t == 62 || t == 65 || t == 70))
            sendRaw(m_listAnswers.value(t));
    }
}

bool SimAgent::takeStreamed()
{
    const qint64 take = qMin<qint64>(m_streamTotal - m_stream.streamedLength, m_unparsed.size());
    const char* data = m_unparsed.constData();
    // Runs of non-zero bytes, found a machine word at a time.
    qint64 i = 0;
    while (i < take) {
        if (i + 8 <= take) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            if (word == 0) {
                i += 8;
                continue;
            }
        }
        if (data[i] == 0) {
            ++i;
            continue;
        }
        qint64 end = i;
        while (end < take && data[end] != 0)
            ++end;
        const qint64 offset = m_stream.streamedLength + i;
        QList<QPair<qint64, QByteArray>>& runs = m_stream.nonZeroRuns;
        if (!runs.isEmpty() && runs.last().first + runs.last().second.size() == offset)
            runs.last().second.append(data + i, static_cast<int>(end - i)); // a run split between reads
        else if (runs.size() < 10000)
            runs.append({offset, QByteArray(data + i, static_cast<int>(end - i))});
        i = end;
    }
    m_stream.streamedLength += take;
    m_unparsed.remove(0, static_cast<int>(take));
    if (m_stream.streamedLength < m_streamTotal)
        return false;
    m_streaming = false;
    m_frames.append(m_stream);
    emit frameReceived(m_stream);
    return true;
}

bool SimAgent::waitForFrames(int count, int timeoutMs)
{
    return spin([this, count]() { return m_frames.size() >= count || m_disconnected; }, timeoutMs) &&
           m_frames.size() >= count;
}

int SimAgent::waitForFrameOfType(quint8 type, int from, int timeoutMs)
{
    int found = -1;
    spin(
        [&]() {
            for (int i = from; i < m_frames.size(); ++i) {
                if ((m_frames.at(i).type & 0x7F) == type) {
                    found = i;
                    return true;
                }
            }
            return m_disconnected;
        },
        timeoutMs);
    return found;
}

void SimAgent::clearFrames()
{
    m_frames.clear();
}

// ---- file transfer ---------------------------------------------------------------------

int SimAgent::openRead(const QString& path, QByteArray* text, int timeoutMs)
{
    const int from = m_frames.size();
    QByteArray payload(1, '\x01'); // the path starts at byte 1
    payload += path.toLatin1();
    payload += '\0';
    sendFrame(9, 0, payload);
    const int i = waitForFrameOfType(7, from, timeoutMs);
    if (i < 0)
        return -1;
    const Frame& reply = m_frames.at(i);
    if (text) {
        wire::PayloadReader reader(reply.raw, 2);
        *text = reader.lpString();
    }
    return reply.code;
}

std::optional<SimAgent::Frame> SimAgent::readBlock(quint16 size, int timeoutMs)
{
    const int from = m_frames.size();
    QByteArray payload;
    wire::appendU16(payload, size);
    sendFrame(11, 0, payload);
    const int i = waitForFrameOfType(7, from, timeoutMs);
    if (i < 0)
        return std::nullopt;
    return m_frames.at(i);
}

std::optional<QByteArray> SimAgent::pullFile(const QString& path, quint16 blockSize, int timeoutMs)
{
    if (openRead(path, nullptr, timeoutMs) != 0)
        return std::nullopt;
    QByteArray data;
    for (;;) {
        const std::optional<Frame> reply = readBlock(blockSize, timeoutMs);
        if (!reply || reply->code == 1)
            return std::nullopt;
        if (reply->code == 2)
            break;
        data += reply->payload;
    }
    sendFrame(10, 0, QByteArray());
    return data;
}

int SimAgent::openWrite(const QString& path, quint8 code, int timeoutMs)
{
    const int from = m_frames.size();
    QByteArray payload = path.toLatin1();
    payload += '\0';
    sendFrame(22, code, payload);
    const int i = waitForFrameOfType(7, from, timeoutMs);
    return i < 0 ? -1 : m_frames.at(i).code;
}

bool SimAgent::pushFile(const QString& path, quint8 code, const QByteArray& data, int blockSize,
                        int timeoutMs)
{
    if (openWrite(path, code, timeoutMs) != 0)
        return false;
    const bool acknowledged = ThinclientInfo::versionAtLeast(m_clientVersion, 8, 1, 0);
    for (int offset = 0; offset < data.size(); offset += blockSize) {
        const int from = m_frames.size();
        const QByteArray piece = data.mid(offset, blockSize);
        if (acknowledged)
            ++m_pendingAcks;
        sendFrame(23, 0, piece);
        if (acknowledged) {
            const int i = waitForFrameOfType(7, from, timeoutMs);
            if (i < 0 || m_frames.at(i).code != 0)
                return false;
            wire::PayloadReader reader(m_frames.at(i).raw, 2);
            if (reader.u16() != piece.size())
                return false;
        }
    }
    sendFrame(10, 0, QByteArray());
    return true;
}

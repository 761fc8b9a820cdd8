#pragma once

// One simulated agent: the device side of the agent protocol over a real TLS connection,
// driven inside the caller's event loop. It can behave (greeting, identification,
// configuration reports, keep-alives, list answers, file transfers) and misbehave on
// purpose (wrong proof, bytes in small pieces, oversized lengths, unknown types, silence).
// Every byte the server sends after its proof is recorded, so tests can check frames exactly.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QSslSocket;
class QTimer;
struct LegacyIdentification;

class SimAgent : public QObject
{
    Q_OBJECT

public:
    struct Frame
    {
        quint8 type = 0; // as sent (top bit kept)
        quint8 code = 0;
        QByteArray payload;
        QByteArray raw; // the whole frame
        // A long frame taken in as a stream (see setStreamedBodies): its payload length, and
        // where in the payload its non-zero bytes were (offset and run of bytes); raw then
        // holds the header only.
        qint64 streamedLength = -1;
        QList<QPair<qint64, QByteArray>> nonZeroRuns;
    };

    enum class Proof
    {
        Correct,   // the proof of the identifier
        UpperCase, // the right digest in upper-case hexadecimal
        Wrong,     // a digest of something else
    };

    explicit SimAgent(QObject* parent = nullptr);
    ~SimAgent() override;

    // ---- identity ---------------------------------------------------------------------
    // The identifier of the greeting (a MAC address "aa:bb:cc:dd:ee:ff").
    void setIdentifier(const QByteArray& identifier) { m_identifier = identifier; }
    QByteArray identifier() const { return m_identifier; }
    // The agent version the simulator assumes when it answers (e.g. acknowledgements).
    void setClientVersion(const QString& version) { m_clientVersion = version; }

    // A 512-byte information block with the given serial number and agent version, boot mode
    // "Normal", and plausible other fields.
    static QByteArray deviceBlock(const QString& serial,
                                  const QString& clientVersion = QStringLiteral("8.4.0"),
                                  const QString& hostname = QString(), const QString& mac = QString());
    // A configuration text of the given number of lines, every one a key of some category.
    static QByteArray sampleConfiguration(int lines);
    // The block of a device of a many-agents run: like deviceBlock(), with the host name and
    // comment that sampleConfiguration() reports, as a real agent's block and configuration
    // agree.
    static QByteArray fleetDeviceBlock(const QString& serial, const QString& clientVersion,
                                       const QString& mac);

    // ---- connection -------------------------------------------------------------------
    void connectToServer(quint16 port, const QHostAddress& address = QHostAddress::LocalHost);
    bool waitForEncrypted(int timeoutMs = 10000);
    bool isConnected() const;
    bool waitForDisconnected(int timeoutMs = 10000);
    void disconnectFromServer();
    void abort();
    QSslSocket* socket() const { return m_socket; }

    // Outgoing bytes in pieces: every delayMs milliseconds at most chunkSize bytes. A chunk
    // size of 0 writes everything at once.
    void setChunking(int chunkSize, int delayMs);
    void sendRaw(const QByteArray& bytes);
    // Waits until every queued piece was handed to the connection.
    bool waitForSent(int timeoutMs = 10000);

    // ---- handshake --------------------------------------------------------------------
    QByteArray greetingBytes(Proof proof = Proof::Correct) const;
    void sendGreeting(Proof proof = Proof::Correct);
    bool waitForServerProof(int timeoutMs = 10000);
    QByteArray serverProofReceived() const { return m_serverProof; }
    bool serverProofValid() const;
    // Connects when needed, greets, checks the server proof and waits for the welcome.
    bool handshake(quint16 port, int timeoutMs = 10000);

    // ---- messages ---------------------------------------------------------------------
    void sendFrame(quint8 type, quint8 code, const QByteArray& payload);
    void sendKeepAlive(char byte = 0);
    void identify(const QByteArray& block, quint8 code = 7);
    void identifyLegacy(const LegacyIdentification& id, quint8 code = 6);
    void sendConfiguration(const QByteArray& text, int category, bool compress);
    void sendList(quint8 type, quint8 code, const QList<QByteArray>& entries);
    // Answers every later request of that type (43, 59, 61, 62, 65, 70) with the list.
    void setListAnswer(quint8 type, quint8 code, const QList<QByteArray>& entries);
    // Sends type 49 and waits for the echo: proves the server handled everything before it.
    bool echo(int timeoutMs = 10000);

    // ---- what the server sent -----------------------------------------------------------
    QByteArray received() const { return m_received; } // every byte after the server proof
    QList<Frame> frames() const { return m_frames; }
    int frameCount() const { return m_frames.size(); }
    bool waitForFrames(int count, int timeoutMs = 10000);
    // Waits for the next frame of the type after the first `from` frames; its index or -1.
    int waitForFrameOfType(quint8 type, int from = 0, int timeoutMs = 10000);
    void clearFrames();
    // Frames with a payload longer than `threshold` bytes are taken in as they arrive without
    // being kept (a multi-gigabyte file installed on the device): only their length and
    // their non-zero bytes are recorded. Bytes received are then not kept either. 0: off.
    void setStreamedBodies(qint64 threshold) { m_streamThreshold = threshold; }
    // Payload bytes of the long frame being streamed in so far (-1 when none).
    qint64 streamedSoFar() const { return m_streaming ? m_stream.streamedLength : -1; }

    // ---- file transfer ----------------------------------------------------------------
    // Type 9: the status of the reply (or -1 without reply); the reply text in *text.
    int openRead(const QString& path, QByteArray* text = nullptr, int timeoutMs = 10000);
    // Type 11: one block; the reply frame or nothing.
    std::optional<Frame> readBlock(quint16 size, int timeoutMs = 10000);
    // Types 9, 11 until the end, then 10. Nothing when any step fails.
    std::optional<QByteArray> pullFile(const QString& path, quint16 blockSize = 4096, int timeoutMs = 10000);
    // Type 22: the status of the reply or -1.
    int openWrite(const QString& path, quint8 code, int timeoutMs = 10000);
    // Types 22, 23 (pieces of at most blockSize), 10. Acknowledgements are awaited from
    // agents 8.1 and later. False when any step fails.
    bool pushFile(const QString& path, quint8 code, const QByteArray& data, int blockSize = 4000,
                  int timeoutMs = 10000);

    // The next n type-7 frames are 4-byte file-data acknowledgements (for hand-made type 23
    // messages; pushFile counts its own).
    void expectAcknowledgements(int n) { m_pendingAcks += n; }

    // Runs the event loop until the condition holds; false on timeout.
    static bool spin(const std::function<bool()>& condition, int timeoutMs);

signals:
    void frameReceived(const SimAgent::Frame& frame);
    void disconnected();

private:
    void onReadyRead();
    void pump();
    void parseFrames();

    QSslSocket* m_socket = nullptr;
    QTimer* m_chunkTimer = nullptr;
    QByteArray m_identifier = QByteArrayLiteral("00:11:22:33:44:55");
    QString m_clientVersion = QStringLiteral("8.4.0");
    int m_chunkSize = 0;
    int m_chunkDelayMs = 0;
    QByteArray m_outgoing;
    QByteArray m_serverProof;
    bool m_proofRead = false;
    QByteArray m_received;
    QByteArray m_unparsed;
    QList<Frame> m_frames;
    QHash<quint8, QByteArray> m_listAnswers;
    bool m_disconnected = false;
    int m_pendingAcks = 0; // file-data acknowledgements still expected (4-byte frames)
    qint64 m_streamThreshold = 0;
    bool m_streaming = false;
    Frame m_stream;           // the long frame being streamed in
    qint64 m_streamTotal = 0; // its payload length
    bool takeStreamed();
};

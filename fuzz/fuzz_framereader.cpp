// The frame reader fed the agent's byte stream in reads of fuzzer-chosen lengths. Whatever the
// split, it must produce the same frames (and stop at the same error) as with the whole stream
// at once, and no frame may exceed what its length field allows.

#include "framereader.h"
#include "fuzzcheck.h"
#include "messages.h"
#include "wire.h"

#include <QIODevice>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <vector>

namespace {

// A sequential device holding what has "arrived" so far, like a socket between reads.
class Pipe : public QIODevice
{
public:
    Pipe() { open(QIODevice::ReadOnly | QIODevice::Unbuffered); }
    void arrive(const char* data, int size) { m_pending.append(data, size); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return m_pending.size() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const int n = static_cast<int>(qMin<qint64>(maxSize, m_pending.size()));
        std::memcpy(data, m_pending.constData(), static_cast<size_t>(n));
        m_pending.remove(0, n);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_pending;
};

struct Event
{
    FrameReader::Result result;
    QByteArray frame;
    bool operator==(const Event& other) const { return result == other.result && frame == other.frame; }
};

// Steps until the reader needs more; false once it reported an error (the connection closes).
bool drain(FrameReader& reader, Pipe& pipe, bool oldAgent, std::vector<Event>& events)
{
    for (;;) {
        const FrameReader::Result result = reader.step(&pipe, oldAgent);
        switch (result) {
        case FrameReader::Result::NeedMore:
            return true;
        case FrameReader::Result::KeepAlive:
            events.push_back({result, QByteArray()});
            break;
        case FrameReader::Result::Message: {
            const quint8 type = reader.type();
            const QByteArray frame = reader.takeFrame();
            FUZZ_CHECK(reader.idle());
            FUZZ_CHECK(frame.size() >= 2);
            FUZZ_CHECK((static_cast<quint8>(frame.at(0)) & 0x7F) == type);
            const int field = wire::lengthFieldSize(type);
            const int header = 2 + field;
            FUZZ_CHECK(frame.size() >= header);
            const int payload = frame.size() - header;
            FUZZ_CHECK(quint32(payload) <= FrameReader::MaxLongPayload);
            if (field == 2)
                FUZZ_CHECK(payload <= 0xFFFF);
            quint32 announced = 0;
            for (int i = 0; i < field; ++i)
                announced = (announced << 8) | static_cast<quint8>(frame.at(2 + i));
            if (!(oldAgent && type == msg::number(msg::Type::FileReadBlock)))
                FUZZ_CHECK(quint32(payload) == announced);
            else
                FUZZ_CHECK(payload == 2);
            events.push_back({result, frame});
            break;
        }
        case FrameReader::Result::Error:
            events.push_back({result, QByteArray()});
            return false;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider provider(data, size);
    // The split and the mode come from the end of the input, the stream is what remains, so
    // corpus files are the stream followed by a few control bytes.
    const bool oldAgent = provider.ConsumeBool();
    const int pieces = provider.ConsumeIntegralInRange<int>(0, 32);
    std::vector<int> lengths;
    for (int i = 0; i < pieces; ++i)
        lengths.push_back(provider.ConsumeIntegralInRange<int>(0, 300));
    const std::vector<char> stream = provider.ConsumeRemainingBytes<char>();
    const int total = static_cast<int>(stream.size());

    std::vector<Event> whole;
    {
        FrameReader reader;
        Pipe pipe;
        pipe.arrive(stream.data(), total);
        drain(reader, pipe, oldAgent, whole);
    }

    std::vector<Event> split;
    {
        FrameReader reader;
        Pipe pipe;
        int offset = 0;
        size_t next = 0;
        bool open = true;
        while (open && offset < total) {
            // After the chosen lengths, the rest arrives one byte at a time.
            int length = next < lengths.size() ? lengths[next++] : 1;
            length = qMin(length, total - offset);
            pipe.arrive(stream.data() + offset, length);
            offset += length;
            open = drain(reader, pipe, oldAgent, split);
        }
        if (open && total == 0)
            drain(reader, pipe, oldAgent, split);
    }
    FUZZ_CHECK(whole == split);
    return 0;
}

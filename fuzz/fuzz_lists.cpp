// The grouped list answers (USB devices, resolutions, locales, keyboards, audio devices,
// wireless networks) and the network status. Input: code byte, payload.

#include "agentlists.h"
#include "fuzzcheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const quint8 code = data[0];
    const QByteArray payload = fuzz::bytes(data + 1, size - 1);

    const QMap<QString, QStringList> groups = parseGroupedList(code, payload);
    int entries = 0;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it)
        entries += it.value().size();
    // Every entry takes at least its length byte.
    FUZZ_CHECK(entries <= payload.size());

    // The groups read, written back as a list with a header before each group, read the same
    // (when no entry looks like a header and every name survives the round trip).
    QList<QByteArray> rebuilt;
    bool plain = true;
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        const QByteArray name = it.key().toLatin1();
        plain = plain && !name.isEmpty() && name.size() <= 253;
        rebuilt.append('[' + name + ']');
        for (const QString& entry : it.value()) {
            const QByteArray bytes = entry.toLatin1();
            plain = plain && !(bytes.size() > 2 && bytes.startsWith('[') && bytes.endsWith(']'));
            rebuilt.append(bytes);
        }
    }
    if (plain && rebuilt.size() <= 0xFFFF)
        FUZZ_CHECK(parseGroupedList(1, buildListPayload(1, rebuilt)) == groups);

    parseNetworkStatus(code, payload);
    return 0;
}

#include "configlib.h"
#include "categories.h"
#include "tables.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QVector>

#include <zlib.h>

#include <cstring>
#include <new>

namespace {

constexpr char kEnvironmentFile[] = "/config/etc/environment";
constexpr char kTimezoneFile[] = "/etc/timezone";
constexpr char kLiveUsbKey[] = "live_usb_device";
constexpr char kDefaultTimeServer[] = "pool.ntp.org";
// A configuration file larger than this cannot be a device configuration (a message holds at
// most 64 KiB of text); it is refused like a failed allocation rather than read whole.
constexpr qint64 kConfigFileMax = 16 * 1024 * 1024;

// The configuration store: key/value entries in the order keys were first set. Replacing a
// value keeps the entry's place; removing leaves a hole that is compacted later.
class Store
{
public:
    // Value of a key, or null when absent.
    const QByteArray* find(const char* key, int length) const
    {
        const int at = m_index.value(QByteArray::fromRawData(key, length), -1);
        return at < 0 ? nullptr : &m_entries[at].value;
    }

    // Sets a key; an empty value removes it.
    void set(const char* key, int length, const char* value, int valueLength)
    {
        const int at = m_index.value(QByteArray::fromRawData(key, length), -1);
        if (valueLength == 0) {
            if (at >= 0)
                removeAt(at);
            return;
        }
        if (at >= 0) {
            m_entries[at].value = QByteArray(value, valueLength);
            return;
        }
        Entry entry{QByteArray(key, length), QByteArray(value, valueLength), true};
        m_index.insert(entry.key, m_entries.size());
        m_entries.append(std::move(entry));
    }

    template <typename F>
    void forEach(F visit) const
    {
        for (const Entry& entry : m_entries) {
            if (entry.live)
                visit(entry.key, entry.value);
        }
    }

    template <typename P>
    void removeIf(P predicate)
    {
        QVector<Entry> kept;
        kept.reserve(m_entries.size());
        for (Entry& entry : m_entries) {
            if (entry.live && !predicate(entry.key))
                kept.append(std::move(entry));
        }
        m_entries = std::move(kept);
        m_dead = 0;
        reindex();
    }

    void clearAll()
    {
        m_entries.clear();
        m_index.clear();
        m_dead = 0;
    }

private:
    struct Entry
    {
        QByteArray key;
        QByteArray value;
        bool live = true;
    };

    void removeAt(int at)
    {
        m_index.remove(m_entries[at].key);
        m_entries[at] = Entry{QByteArray(), QByteArray(), false};
        ++m_dead;
        if (m_dead > 64 && m_dead * 2 > m_entries.size())
            removeIf([](const QByteArray&) { return false; });
    }

    void reindex()
    {
        m_index.clear();
        m_index.reserve(m_entries.size());
        for (int i = 0; i < m_entries.size(); ++i)
            m_index.insert(m_entries[i].key, i);
    }

    QVector<Entry> m_entries;
    QHash<QByteArray, int> m_index;
    int m_dead = 0;
};

struct LibraryState
{
    bool initialised = false;
    QString environmentFile = QString::fromLatin1(kEnvironmentFile);
    QString timezoneFile = QString::fromLatin1(kTimezoneFile);
    Store store;
};

LibraryState& state()
{
    static LibraryState s;
    return s;
}

bool validMessageCategory(int category)
{
    return category == CATEGORY_ALL || (category >= 1 && category <= CATEGORY_MAX);
}

// A text ends at its first NUL, as on the wire.
int textLength(const QByteArray& text)
{
    const void* nul = std::memchr(text.constData(), '\0', static_cast<size_t>(text.size()));
    return nul ? static_cast<int>(static_cast<const char*>(nul) - text.constData()) : text.size();
}

// Calls visit(line, length, endedByLf) for each line of the first `length` bytes of text.
template <typename F>
void forEachLine(const char* text, int length, F visit)
{
    int pos = 0;
    while (pos < length) {
        const void* lf = std::memchr(text + pos, '\n', static_cast<size_t>(length - pos));
        const int end = lf ? static_cast<int>(static_cast<const char*>(lf) - text) : length;
        visit(text + pos, end - pos, lf != nullptr);
        pos = end + 1;
    }
}

// Does a line belong to a merging/parsing category (55: any of 0 to 71)?
bool acceptedFor(const configcat::Decision& decision, int category)
{
    if (category == CATEGORY_ALL)
        return decision.first >= 0;
    return decision.matches.test(static_cast<size_t>(category));
}

// Merges one "key=value" line into the store when the value differs.
void mergeLine(const char* line, int length)
{
    const char* eq = static_cast<const char*>(std::memchr(line, '=', static_cast<size_t>(length)));
    if (!eq)
        return;
    const int keyLength = static_cast<int>(eq - line);
    const char* value = eq + 1;
    const int valueLength = length - keyLength - 1;
    Store& store = state().store;
    // Keys and values are compared whole: a value that differs only far into a long line
    // is still a different value and must not be lost.
    const QByteArray* current = store.find(line, keyLength);
    const bool same = current
                          ? (current->size() == valueLength &&
                             std::memcmp(current->constData(), value, static_cast<size_t>(valueLength)) == 0)
                          : valueLength == 0;
    if (!same)
        store.set(line, keyLength, value, valueLength);
}

void setLine(const QByteArray& line)
{
    const int eq = line.indexOf('=');
    if (eq <= 0)
        return;
    state().store.set(line.constData(), eq, line.constData() + eq + 1, line.size() - eq - 1);
}

QByteArray firstLine(QFile& file)
{
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

void readLiveUsbLine()
{
    QFile file(state().environmentFile);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QByteArray prefix = QByteArray(kLiveUsbKey) + '=';
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith(prefix)) {
            setLine(line);
            return;
        }
    }
}

QByteArray timezoneDefault()
{
    QFile file(state().timezoneFile);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QByteArray zone = firstLine(file).trimmed().left(246);
        if (!zone.isEmpty())
            return zone;
    }
    return QByteArrayLiteral("Etc/UTC");
}

const char* const kDefaultsBeforeTimezone[] = {
    "log_level=2",
    "connection_type=",
    "firewall_enabled=yes",
    "gcprint_enabled=no",
    "tsg_enabled=no",
    "powersave=yes",
    "pxe_server_enabled=no",
    "pxe_server_pxe_only=yes",
    "rvx_server_defined=no",
    "rvx_server_hostname=rvx",
    "rvx_server_port=8085",
    "rvx_retry_interval=3",
    "rvx_server_mode=1",
    "rvx_discovery_mode=auto",
    "nic_enabled=yes",
    "nic_dhcp_enabled=yes",
    "nic_wireless_enabled=no",
    "nic_wireless_dhcp_enabled=yes",
    "upgrade_in_progress=no",
    "kbd_model=pc105",
    "kbd_layout=us",
    "kbd_variant=none",
    "kbd_option=none",
    "kbd_model_index=3",
    "kbd_citrix_layout=(User Profile)",
    "kbd_layout_index=29",
    "kbd_citrix_layout_index=0",
    "kbd_variant_index=0",
    "kbd_option_index=0",
    "num_lock_enabled=no",
    "on_screen_kbd_enabled=no",
    "audio_port_type=auto",
    "audio_input_dev=auto",
    "audio_output_dev=auto",
    "audio_volume=100",
    "mouse_sensitivity=3",
    "mouse_is_righthanded=yes",
};

const char* const kDefaultsAfterTimezone[] = {
    "timezone_index=-1",
    "time_server=", // the value is kDefaultTimeServer
    "iot_gw_enabled=no",     "rrsh_enabled=no",       "rvx_beacon_enabled=no", "ds_output1_enabled=no",
    "ds_output2_enabled=no", "ds_output3_enabled=no", "video_mode=clone",      "video_screensaver_timeout=20",
};

const char* const kVideoOutputDefaults[] = {
    "connector=auto",        "position=none", "referent=0",
    "orientation=landscape", "mode_set=auto", "resolution=auto",
};

void setDefaults()
{
    for (const char* line : kDefaultsBeforeTimezone)
        setLine(QByteArray(line));
    setLine(QByteArrayLiteral("timezone=") + timezoneDefault());
    for (const char* line : kDefaultsAfterTimezone) {
        QByteArray text(line);
        if (text == "time_server=")
            text += kDefaultTimeServer;
        setLine(text);
    }
    for (const char* setting : kVideoOutputDefaults) {
        for (int output = 1; output <= 3; ++output)
            setLine("video_output" + QByteArray::number(output) + '_' + setting);
    }
    const QByteArray liveUsb = config_store_get(kLiveUsbKey);
    for (int protocol = 1; protocol <= PROTOCOL_COUNT; ++protocol) {
        const QByteArray name = config_protocol_name(protocol);
        for (int option = 1; option <= OPTION_COUNT; ++option) {
            const std::optional<QByteArray> value = configtables::optionDefault(protocol, option);
            if (!value)
                continue;
            setLine(*config_protocol_option_key(protocol, option) + '=' + *value);
            if (config_option_name(option) == "redirect_usb" && !liveUsb.isEmpty())
                setLine(name + "_usb_redir_denied=" + liveUsb);
        }
        setLine(name + "_color_depth=" + (name == "spice" ? "32" : "auto"));
    }
}

void ensureInit()
{
    LibraryState& s = state();
    if (s.initialised)
        return;
    configcat::ensureCompiled();
    s.initialised = true;
    readLiveUsbLine();
    setDefaults();
}

// The category text of the store (55: every category 0 to 71).
QByteArray collect(int category)
{
    QByteArray out;
    out.reserve(4096);
    state().store.forEach([&](const QByteArray& key, const QByteArray& value) {
        const configcat::Decision& d = configcat::decideKey(key.constData(), key.size());
        if (!acceptedFor(d, category))
            return;
        out.append(key);
        out.append('=');
        out.append(value);
        out.append('\n');
    });
    return out;
}

QByteArray plainMessage(const QByteArray& text, int category)
{
    const int total = text.size() + 1;
    QByteArray out;
    out.reserve(5 + total);
    out.append(char(0x37));
    out.append(char(0));
    out.append(static_cast<char>((total + 1) >> 8));
    out.append(static_cast<char>((total + 1) & 0xFF));
    out.append(static_cast<char>(category));
    out.append(text);
    out.append('\0');
    return out;
}

} // namespace

// ---- store ---------------------------------------------------------------------------------

void config_store_init()
{
    ensureInit();
}

QByteArray config_store_get(const QByteArray& key)
{
    ensureInit();
    const QByteArray* value = state().store.find(key.constData(), key.size());
    return value ? *value : QByteArray();
}

void config_store_set(const QByteArray& key, const QByteArray& value)
{
    ensureInit();
    // An entry is one line "key=value": a key holding "=", or a key or value holding a line
    // break or NUL, would change the meaning of every collected text, so it is refused.
    static const char kForbiddenInKey[] = {'=', '\n', '\0'};
    if (key.isEmpty())
        return;
    for (char c : kForbiddenInKey) {
        if (key.contains(c))
            return;
    }
    if (value.contains('\n') || value.contains('\0'))
        return;
    state().store.set(key.constData(), key.size(), value.constData(), value.size());
}

void config_store_clear()
{
    ensureInit();
    state().store.removeIf(
        [](const QByteArray& key) { return configcat::decideKey(key.constData(), key.size()).first >= 0; });
}

std::optional<QByteArray> config_store_collect(int category)
{
    ensureInit();
    if (!validMessageCategory(category))
        return std::nullopt;
    try {
        return collect(category);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

void config_store_load_text(const QByteArray& text, int category)
{
    ensureInit();
    if (!validMessageCategory(category))
        return;
    forEachLine(text.constData(), textLength(text), [category](const char* line, int length, bool) {
        if (acceptedFor(configcat::decideLine(line, length), category))
            mergeLine(line, length);
    });
}

int config_store_load_file(const QString& path, const ConfigReporter& reporter)
{
    ensureInit();
    auto fail = [&reporter](const char* message) {
        if (reporter)
            reporter(QString::fromLatin1(message));
        return 1;
    };
    // Text mode: a CR LF pair counts as one LF.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return fail("Error opening configuration file, settings not loaded");
    // Pipes and devices have no size (and might never end).
    const qint64 size = file.isSequential() ? -1 : file.size();
    if (size < 0)
        return fail("Unable to fstat configuration file, settings not loaded");
    if (size > kConfigFileMax)
        return fail("Unable to allocate configuration buffer, settings not loaded");
    QByteArray text;
    try {
        text = file.readAll();
    } catch (const std::bad_alloc&) {
        return fail("Unable to allocate configuration buffer, settings not loaded");
    }
    // A file saved by a text editor may begin with a UTF-8 byte order mark.
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    config_store_load_text(text, CATEGORY_ALL);
    return 0;
}

QByteArray config_store_dump()
{
    ensureInit();
    QByteArray out;
    state().store.forEach([&out](const QByteArray& key, const QByteArray& value) {
        out.append(key);
        out.append('=');
        out.append(value);
        out.append('\n');
    });
    return out;
}

void config_store_reset_for_testing(const QString& environmentFile, const QString& timezoneFile)
{
    LibraryState& s = state();
    s.store.clearAll();
    s.initialised = false;
    s.environmentFile = environmentFile.isEmpty() ? QString::fromLatin1(kEnvironmentFile) : environmentFile;
    s.timezoneFile = timezoneFile.isEmpty() ? QString::fromLatin1(kTimezoneFile) : timezoneFile;
}

// ---- messages ------------------------------------------------------------------------------

std::optional<QByteArray> config_message_build(int category, bool stripIdentity, bool compress)
{
    ensureInit();
    if (!validMessageCategory(category))
        return std::nullopt;
    std::optional<QByteArray> text = config_store_collect(category);
    if (!text)
        return std::nullopt;
    if (stripIdentity) {
        text = config_text_replace_category(*text, QByteArray(), CATEGORY_IDENTITY);
        if (!text)
            return std::nullopt;
    }
    return config_message_build_text(*text, category, compress);
}

std::optional<QByteArray> config_message_build_text(const QByteArray& text, int category, bool compress)
{
    if (!validMessageCategory(category))
        return std::nullopt;
    // L: the text with its NUL, carried in 16-bit fields.
    const int total = text.size() + 1;
    if (total > CONFIG_TEXT_MAX)
        return std::nullopt;
    try {
        if (compress) {
            QByteArray source(text);
            source.append('\0');
            uLongf packedSize = compressBound(static_cast<uLong>(total));
            QByteArray packed(static_cast<int>(packedSize), Qt::Uninitialized);
            if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                          reinterpret_cast<const Bytef*>(source.constData()), static_cast<uLong>(total),
                          3) != Z_OK)
                return std::nullopt;
            const qint64 packedLength = static_cast<qint64>(packedSize);
            if (packedLength <= total && packedLength + 5 <= 0xFFFF) {
                QByteArray out;
                out.reserve(9 + static_cast<int>(packedLength));
                const int length = static_cast<int>(packedLength) + 5;
                out.append(char(0x37));
                out.append(char(1));
                out.append(static_cast<char>(length >> 8));
                out.append(static_cast<char>(length & 0xFF));
                out.append(static_cast<char>(category));
                out.append(char(0));
                out.append(char(0));
                out.append(static_cast<char>(total >> 8));
                out.append(static_cast<char>(total & 0xFF));
                out.append(packed.constData(), static_cast<int>(packedLength));
                return out;
            }
        }
        // The plain form's length field also counts the category byte.
        if (total + 1 > 0xFFFF)
            return std::nullopt;
        return plainMessage(text, category);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<QByteArray> config_message_parse(const QByteArray& message)
{
    ensureInit();
    if (message.size() < 5 || (static_cast<quint8>(message.at(0)) & 0x7F) != 0x37)
        return std::nullopt;
    const auto* bytes = reinterpret_cast<const quint8*>(message.constData());
    const int length = (bytes[2] << 8) | bytes[3];
    if (length < 1 || 4 + length > message.size())
        return std::nullopt; // truncated
    const int category = bytes[4];
    if (!validMessageCategory(category))
        return std::nullopt;
    try {
        QByteArray text;
        if (bytes[1] == 1) {
            if (length < 5)
                return std::nullopt;
            const quint32 declared = (quint32(bytes[5]) << 24) | (quint32(bytes[6]) << 16) |
                                     (quint32(bytes[7]) << 8) | quint32(bytes[8]);
            if (declared == 0 || declared > CONFIG_TEXT_MAX)
                return std::nullopt;
            text = QByteArray(static_cast<int>(declared), Qt::Uninitialized);
            uLongf produced = declared;
            if (uncompress(reinterpret_cast<Bytef*>(text.data()), &produced, bytes + 9,
                           static_cast<uLong>(length - 5)) != Z_OK ||
                produced != declared)
                return std::nullopt;
        } else if (bytes[1] == 0) {
            text = QByteArray::fromRawData(message.constData() + 5, length - 1);
        } else {
            return std::nullopt;
        }
        const int length = textLength(text);
        QByteArray out;
        if (!configcat::appendAccepted(text.constData(), length, category, out))
            return out;
        // Every line belongs: the text is the result, without a copy when it was inflated.
        if (bytes[1] == 1)
            text.truncate(length);
        else
            text = QByteArray(text.constData(), length);
        if (!text.endsWith('\n'))
            text.append('\n');
        return text;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

int config_message_category(const QByteArray& message)
{
    if (message.size() < 5)
        return -1;
    return static_cast<quint8>(message.at(4));
}

// ---- texts ---------------------------------------------------------------------------------

std::optional<QByteArray> config_text_replace_category(const QByteArray& text, const QByteArray& addition,
                                                       int category)
{
    if (category < 0 || category >= CATEGORY_SLOTS)
        return std::nullopt;
    ensureInit();
    if (category == CATEGORY_ALL)
        return addition;
    if (!configcat::slotFilled(category))
        return text;
    try {
        // Keys the addition sets outside the category (older agents report power saving with
        // the PXE settings): their earlier lines go too, so the text never holds a key twice.
        QSet<QByteArray> foreignKeys;
        forEachLine(addition.constData(), addition.size(), [&](const char* line, int length, bool) {
            const char* eq = static_cast<const char*>(std::memchr(line, '=', static_cast<size_t>(length)));
            if (eq && !configcat::decideLine(line, length).matches.test(static_cast<size_t>(category)))
                foreignKeys.insert(QByteArray(line, static_cast<int>(eq - line)));
        });
        QByteArray out;
        out.reserve(text.size() + addition.size() + 1);
        forEachLine(text.constData(), text.size(), [&](const char* line, int length, bool) {
            if (configcat::decideLine(line, length).matches.test(static_cast<size_t>(category)))
                return;
            if (!foreignKeys.isEmpty()) {
                const char* eq =
                    static_cast<const char*>(std::memchr(line, '=', static_cast<size_t>(length)));
                if (eq && foreignKeys.contains(QByteArray::fromRawData(line, static_cast<int>(eq - line))))
                    return;
            }
            out.append(line, length);
            out.append('\n');
        });
        out.append(addition);
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

QByteArray config_text_get_value(const QByteArray& key, const QByteArray& text)
{
    if (key.isEmpty() || text.isEmpty())
        return QByteArray();
    const QByteArray prefix = key + '=';
    QByteArray found;
    bool done = false;
    forEachLine(text.constData(), text.size(), [&](const char* line, int length, bool) {
        if (done || length < prefix.size() ||
            std::memcmp(line, prefix.constData(), static_cast<size_t>(prefix.size())) != 0)
            return;
        found = QByteArray(line + prefix.size(), length - prefix.size());
        done = true;
    });
    return found;
}

#include "categories.h"
#include "configlib.h"
#include "messages.h"

#include <QRandomGenerator>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#if __has_include(<regex.h>)
#include <regex.h>
#define RVX_POSIX_REGEX 1
#else
#include <QRegularExpression>
#define RVX_POSIX_REGEX 0
#endif

namespace {

// The category table: category id = the agent message type that carries the group (the
// message list names them). Each pattern is a POSIX extended regular expression anchored at
// the start of a line and ending at the key's "=". Slots not listed are empty; 55 has no
// pattern (it means every category 0 to 71) and 72 holds the identity lines.
struct CategoryPattern
{
    int id;
    const char* pattern;
};
const CategoryPattern kCategoryPatterns[] = {
    {msg::category(msg::Type::FirmwareUpgrade),
     "^(rvx_date_(month|day|year)|upgrade_in_progress|(rem|loc)_(uimage|rfs|upgrfs)_filename)="},
    {msg::category(msg::Type::TimeZone), "^(index_timezone|timezone|time_server|locale)="},
    {msg::category(msg::Type::Description), "^description="},
    {msg::category(msg::Type::AgentUpgrade), "^rvx_date_(month|date|year)="},
    {msg::category(msg::Type::ApplicationMode),
     "^(connection_type|(hdx|ssh|rdp|vnc|x11|netop|spice|web|nx|telnet|tn3270|vmview|perf|userdef|"
     "dsi|mplayer|tn5250|desktop|vidcon|ras)_(color_depth|(graphics|audio)_quality|redirect_(audio"
     "|video|mic|usb|serial)|latency|security|window_size|subtype|com_port|window_percent|auto_rec"
     "onnect|kiosk_mode_enabled|usb_(redirections|redir_denied)|autologin_(enabled|userid|password"
     "|domain)|server|cmdline_args|proxy|idle_timeout)|ds_output[1-3]_(enabled|action|duration|url"
     "|source|source_index|refresh|resync|mute)|(ftp|http|https)_proxy)="},
    {msg::category(msg::Type::HotfixInstall), "^rvx_date_(month|date|year)="},
    {msg::category(msg::Type::Hostname), "^brd_hostname="},
    {msg::category(msg::Type::Network),
     "^((nic|nic_wireless)_(enabled|wol_enabled|dhcp_enabled|ip|netmask|gateway|ssid|security|pass"
     "word|radius_(username|privkey|pubkey|cacert))|dns[1-2]|dspath|brd_hostname)="},
    {msg::category(msg::Type::DiscoveryMethod),
     "^(rvx_server_(mode|defined|hostname|port)|rvx_discovery_mode|rvx_retry_interval)="},
    {msg::category(msg::Type::LogLevel), "^log_level="},
    {msg::category(msg::Type::Peripherals),
     "^(kbd_(model|layout|variant|optgrp|option|citrix_layout)(=|_index=)|(num_lock_enabled|audio_"
     "(volume|port_type|scheme|input_dev|output_dev)|mouse_(sensitivity|is_righthanded)|on_screen_"
     "kbd_enabled)=)"},
    {msg::category(msg::Type::RestrictedPassword), "^zylconfig_password="},
    {msg::category(msg::Type::Firewall), "^firewall_enabled="},
    {msg::category(msg::Type::PxeServer),
     "^pxe_server_(enabled|pxe_only|range_low|range_high|subnet|netmask|mode)="},
    {msg::category(msg::Type::PowerSave), "^powersave="},
    {msg::category(msg::Type::Gateway), "^tsg_(enabled|hostname|userid|password)="},
    {msg::category(msg::Type::UsbList), "^live_usb_device="},
    {msg::category(msg::Type::UsbRedirection),
     "^(usb_redir_dev[0-9]+|(hdx|rdp|spice|vmview|ras)_usb_(redirections|redir_denied))="},
    {msg::category(msg::Type::SignageSync), "^ds_output[1-3]_(source|source_index)="},
    {msg::category(msg::Type::Displays),
     "^(video_(mode|screensaver_timeout|output[1-4]_(connector|position|referent|orientation|mode_"
     "(set|number)|resolution|primary))|ds_output[1-4]_(duration|source|refresh|resync|mute))="},
    {msg::category(msg::Type::Iot), "^iot_(gw_enabled|server)="},
    {msg::category(msg::Type::ProfileFilename), "^mrl_profile_filename="},
    {msg::category(msg::Type::RemoteTriggering), "^rrsh_enabled="},
    {msg::category(msg::Type::VncServer), "^x11vnc_(enabled|password)="},
    {msg::category(msg::Type::Shadowing), "^shadower_(hostname|port|view_only)="},
    {msg::category(msg::Type::Beacon), "^rvx_beacon_enabled="},
    {CATEGORY_IDENTITY, "^((nic|nic_wireless)_(ip|netmask|gateway)|brd_hostname)="},
};

// The patterns by slot, built once from the list above.
const std::array<const char*, CATEGORY_SLOTS>& patternSlots()
{
    static const std::array<const char*, CATEGORY_SLOTS> slots = [] {
        std::array<const char*, CATEGORY_SLOTS> built{};
        for (const CategoryPattern& entry : kCategoryPatterns)
            built[static_cast<size_t>(entry.id)] = entry.pattern;
        return built;
    }();
    return slots;
}

const NamedCategory kNamedCategories[NAMED_CATEGORY_COUNT] = {
    {"Application Mode", msg::category(msg::Type::ApplicationMode)},
    {"Displays", msg::category(msg::Type::Displays)},
    {"Localization", msg::category(msg::Type::TimeZone)},
    {"Log Level", msg::category(msg::Type::LogLevel)},
    {"Network", msg::category(msg::Type::Network)},
    {"Peripherals", msg::category(msg::Type::Peripherals)},
    {"Powersave", msg::category(msg::Type::PowerSave)},
    {"PXE Server", msg::category(msg::Type::PxeServer)},
    {"Remote Triggering", msg::category(msg::Type::RemoteTriggering)},
    {"Restricted Feature Password", msg::category(msg::Type::RestrictedPassword)},
    {"Session Shadowing", msg::category(msg::Type::Shadowing)},
    {"RVX Beacon", msg::category(msg::Type::Beacon)},
    {"RVX Discovery", msg::category(msg::Type::DiscoveryMethod)},
    {"VNC Server", msg::category(msg::Type::VncServer)},
};

using CharSet = std::bitset<256>;

// Adds the characters a match of the atom at p can begin with (a literal, a class "[a-z]" or
// a group of alternatives). False when the pattern's form is not one this reading handles
// (then every character is allowed).
bool leadingChars(const char* p, CharSet& out, int depth = 0)
{
    if (depth > 16)
        return false;
    const char* after = nullptr;
    if (*p == '(') {
        int level = 0;
        const char* alternative = p + 1;
        const char* q = p;
        for (; *q; ++q) {
            if (*q == '\\')
                return false;
            if (*q == '[') { // a class may hold "(", ")" or "|": skip it whole
                const char* close = std::strchr(q + (q[1] == '^' ? 3 : 2), ']');
                if (q[1] == '\0' || !close)
                    return false;
                q = close;
                continue;
            }
            if (*q == '(') {
                ++level;
            } else if (*q == ')') {
                if (--level == 0)
                    break;
            } else if (*q == '|' && level == 1) {
                if (!leadingChars(alternative, out, depth + 1))
                    return false;
                alternative = q + 1;
            }
        }
        if (!*q || !leadingChars(alternative, out, depth + 1))
            return false;
        after = q + 1;
    } else if (*p == '[') {
        const char* q = p + 1;
        if (*q == '^' || *q == ']')
            return false;
        for (; *q && *q != ']'; ++q) {
            if (q[1] == '-' && q[2] && q[2] != ']') {
                for (int c = static_cast<quint8>(*q); c <= static_cast<quint8>(q[2]); ++c)
                    out.set(static_cast<size_t>(c));
                q += 2;
            } else {
                out.set(static_cast<quint8>(*q));
            }
        }
        if (!*q)
            return false;
        after = q + 1;
    } else if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
               *p == '_' || *p == '=') {
        out.set(static_cast<quint8>(*p));
        after = p + 1;
    } else {
        return false;
    }
    // An optional first atom would let the next one begin the match.
    return *after != '?' && *after != '*' && *after != '{';
}

CharSet leadingCharsOfPattern(const char* pattern)
{
    CharSet out;
    if (pattern[0] != '^' || !leadingChars(pattern + 1, out)) {
        out.set();
        return out;
    }
    return out;
}

struct Compiled
{
    bool filled = false;
    CharSet leading; // characters a line of the category can begin with
#if RVX_POSIX_REGEX
    regex_t regex;
#else
    QRegularExpression regex;
#endif
};

// The per-key decisions: open addressing with linear probing over a seeded multiplicative
// hash whose high bits pick the slot, the keys in one arena. A key whose probe run grows too
// long (a crafted set of colliding keys) is simply not cached.
class DecisionCache
{
public:
    DecisionCache()
        : m_seed(QRandomGenerator::system()->generate64())
    {
        clear();
    }

    quint64 hash(const char* p, int n) const
    {
        constexpr quint64 K = 0x9E3779B97F4A7C15ull;
        quint64 h = m_seed ^ static_cast<quint64>(n);
        quint64 word = 0;
        if (n >= 8) {
            const char* last = p + n - 8;
            for (; p < last; p += 8) {
                std::memcpy(&word, p, 8);
                h = (rotate(h) ^ word) * K;
            }
            std::memcpy(&word, last, 8); // the last eight bytes, overlapping the previous word
        } else {
            for (int i = 0; i < n; ++i)
                word = (word << 8) | static_cast<quint8>(p[i]);
        }
        return (rotate(h) ^ word) * K;
    }

    const configcat::Decision* find(const char* key, int length, quint64 hash) const
    {
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash >> m_shift, probes = 0; probes < kMaxProbes; i = (i + 1) & mask, ++probes) {
            const Slot& slot = m_slots[i];
            if (slot.keyLength < 0)
                return nullptr;
            if (slot.hash == hash && slot.keyLength == length &&
                sameBytes(m_keys.data() + slot.keyOffset, key, length))
                return &slot.decision;
        }
        return nullptr;
    }

    // Stores a decision; null when the key cannot be placed. Earlier results stay valid until
    // the next insertion.
    const configcat::Decision* insert(const char* key, int length, quint64 hash, const configcat::Decision& d)
    {
        if (m_count >= configcat::CACHE_LIMIT)
            clear();
        if ((m_count + 1) * 2 > static_cast<int>(m_slots.size()))
            grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t i = hash >> m_shift, probes = 0; probes < kMaxProbes; i = (i + 1) & mask, ++probes) {
            Slot& slot = m_slots[i];
            if (slot.keyLength >= 0)
                continue;
            slot.hash = hash;
            slot.keyOffset = static_cast<int>(m_keys.size());
            slot.keyLength = length;
            slot.decision = d;
            m_keys.append(key, static_cast<size_t>(length));
            ++m_count;
            return &slot.decision;
        }
        return nullptr;
    }

    void clear()
    {
        m_slots.assign(256, Slot());
        m_shift = 64 - 8;
        m_keys.clear();
        m_count = 0;
    }

    int size() const { return m_count; }

private:
    static constexpr size_t kMaxProbes = 32;

    struct Slot
    {
        quint64 hash = 0;
        int keyOffset = 0;
        int keyLength = -1; // -1: empty
        configcat::Decision decision;
    };

    static quint64 rotate(quint64 h) { return (h << 23) | (h >> 41); }

    // Keys are short: compare them inline, word-wise.
    static bool sameBytes(const char* a, const char* b, int n)
    {
        if (n < 8)
            return std::memcmp(a, b, static_cast<size_t>(n)) == 0;
        quint64 x, y;
        for (int i = 0; i + 8 < n; i += 8) {
            std::memcpy(&x, a + i, 8);
            std::memcpy(&y, b + i, 8);
            if (x != y)
                return false;
        }
        std::memcpy(&x, a + n - 8, 8);
        std::memcpy(&y, b + n - 8, 8);
        return x == y;
    }

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        --m_shift;
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.keyLength < 0)
                continue;
            size_t i = slot.hash >> m_shift;
            while (m_slots[i].keyLength >= 0)
                i = (i + 1) & mask;
            m_slots[i] = slot;
        }
    }

    quint64 m_seed;
    std::vector<Slot> m_slots;
    int m_shift = 56;
    std::string m_keys;
    int m_count = 0;
};

struct Table
{
    bool compiled = false;
    Compiled slots[CATEGORY_SLOTS];
    DecisionCache cache;
    configcat::Decision scratch; // decision of a key that is not cached
};

Table& table()
{
    static Table t;
    return t;
}

// Runs one compiled pattern on a NUL-terminated string.
bool matches(const Compiled& slot, const char* text)
{
    if (!slot.filled)
        return false;
#if RVX_POSIX_REGEX
    return regexec(&slot.regex, text, 0, nullptr, 0) == 0;
#else
    return slot.regex.match(QString::fromLatin1(text)).hasMatch();
#endif
}

configcat::Decision compute(const char* key, int length)
{
    // The pattern sees the key and its "=" exactly as at the start of the line; the text
    // after the "=" cannot change the outcome.
    QByteArray probe(key, length);
    probe.append('=');
    const Table& t = table();
    configcat::Decision decision;
    const quint8 firstChar = static_cast<quint8>(probe.at(0));
    for (int id = 0; id < CATEGORY_SLOTS; ++id) {
        if (t.slots[id].leading.test(firstChar) && matches(t.slots[id], probe.constData())) {
            decision.matches.set(static_cast<size_t>(id));
            if (decision.first < 0 && id <= CATEGORY_MAX)
                decision.first = id;
        }
    }
    return decision;
}

const configcat::Decision kNoMatch;

void compileAll(Table& t)
{
    t.compiled = true;
    const auto& patterns = patternSlots();
    for (int id = 0; id < CATEGORY_SLOTS; ++id) {
        const char* pattern = patterns[static_cast<size_t>(id)];
        if (!pattern)
            continue;
#if RVX_POSIX_REGEX
        t.slots[id].filled = regcomp(&t.slots[id].regex, pattern, REG_EXTENDED | REG_NOSUB) == 0;
#else
        t.slots[id].regex = QRegularExpression(QString::fromLatin1(pattern));
        t.slots[id].filled = t.slots[id].regex.isValid();
#endif
        t.slots[id].leading = leadingCharsOfPattern(pattern);
    }
}

inline Table& compiledTable()
{
    Table& t = table();
    if (!t.compiled)
        compileAll(t);
    return t;
}

inline const configcat::Decision& lookup(Table& t, const char* key, int length)
{
    if (length > configcat::CACHED_KEY_MAX) {
        t.scratch = compute(key, length);
        return t.scratch;
    }
    const quint64 hash = t.cache.hash(key, length);
    if (const configcat::Decision* found = t.cache.find(key, length, hash))
        return *found;
    t.scratch = compute(key, length);
    if (const configcat::Decision* stored = t.cache.insert(key, length, hash, t.scratch))
        return *stored;
    return t.scratch;
}

// A line without "=" matches no pattern (every pattern ends with one).
inline const configcat::Decision& lookupLine(Table& t, const char* line, int length)
{
    const void* eq = std::memchr(line, '=', static_cast<size_t>(length));
    if (!eq)
        return kNoMatch;
    return lookup(t, line, static_cast<int>(static_cast<const char*>(eq) - line));
}

} // namespace

namespace configcat {

void ensureCompiled()
{
    compiledTable();
}

bool slotFilled(int id)
{
    return id >= 0 && id < SLOTS && compiledTable().slots[id].filled;
}

const Decision& decideKey(const char* key, int length)
{
    return lookup(compiledTable(), key, length);
}

const Decision& decideLine(const char* line, int length)
{
    return lookupLine(compiledTable(), line, length);
}

bool appendAccepted(const char* text, int length, int category, QByteArray& out)
{
    Table& t = compiledTable();
    const bool any = category == CATEGORY_ALL;
    const size_t bit = static_cast<size_t>(any ? 0 : category);
    int runStart = -1; // first line of the pending run of accepted lines
    bool dropped = false;
    auto flush = [&](int end) {
        if (!dropped)
            out.reserve(out.size() + length + 1);
        out.append(text + runStart, end - runStart);
    };
    int pos = 0;
    while (pos < length) {
        const void* lf = std::memchr(text + pos, '\n', static_cast<size_t>(length - pos));
        const int end = lf ? static_cast<int>(static_cast<const char*>(lf) - text) : length;
        const Decision& d = lookupLine(t, text + pos, end - pos);
        if (any ? d.first >= 0 : d.matches.test(bit)) {
            if (runStart < 0)
                runStart = pos;
        } else {
            if (runStart >= 0)
                flush(pos);
            runStart = -1;
            dropped = true;
        }
        pos = end + 1;
    }
    if (runStart == 0 && !dropped)
        return true; // every line belongs: the caller takes the text as it is
    if (runStart >= 0) {
        flush(length);
        if (text[length - 1] != '\n')
            out.append('\n');
    }
    return false;
}

bool lineMatchesUncached(const QByteArray& line, int id)
{
    if (id < 0 || id >= SLOTS)
        return false;
    return matches(compiledTable().slots[id], line.constData());
}

int lineCategoryUncached(const QByteArray& line)
{
    for (int id = 0; id <= CATEGORY_MAX; ++id) {
        if (lineMatchesUncached(line, id))
            return id;
    }
    return -1;
}

void clearCache()
{
    table().cache.clear();
}

int cacheSize()
{
    return table().cache.size();
}

} // namespace configcat

bool config_line_in_category(const QByteArray& line, int category)
{
    const configcat::Decision& d = configcat::decideLine(line.constData(), line.size());
    if (category == CATEGORY_ALL)
        return d.first >= 0;
    if (category < 0 || category >= CATEGORY_SLOTS)
        return false;
    return d.matches.test(static_cast<size_t>(category));
}

int config_line_category(const QByteArray& line)
{
    return configcat::decideLine(line.constData(), line.size()).first;
}

QByteArray config_category_pattern(int id)
{
    if (!configcat::slotFilled(id))
        return QByteArray();
    return QByteArray(patternSlots()[static_cast<size_t>(id)]);
}

const NamedCategory* config_named_categories()
{
    return kNamedCategories;
}

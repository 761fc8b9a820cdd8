#pragma once

// The configuration environment library: everything about device configuration text.
//
// A device's configuration is a text of key=value lines separated by LF. Keys are grouped
// into numbered categories by POSIX extended regular expressions; a category id is also the
// agent message type that carries that group (55 = all categories, 72 = identity lines).
// The library keeps one process-wide, insertion-ordered key/value store (the configuration
// store of the selected device), merges text into it, collects text out of it, and packs
// and unpacks configuration messages (optionally zlib-compressed).
//
// Plain functions over byte strings (Latin-1 text, as on the wire). Results are owned by
// the caller. Not reentrant: call from the GUI thread only.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

constexpr int CATEGORY_SLOTS = 73;    // ids 0 to 72
constexpr int CATEGORY_ALL = 55;      // every category 0 to 71
constexpr int CATEGORY_IDENTITY = 72; // host name and static address lines
constexpr int CATEGORY_MAX = 71;      // highest ordinary category
constexpr int PROTOCOL_COUNT = 21;    // protocol indexes 1 to 21 (0 = none)
constexpr int OPTION_COUNT = 23;      // option indexes 1 to 23
constexpr int HARDWARE_COUNT = 15;    // hardware model indexes 0 to 14
constexpr int DISCOVERY_MODE_COUNT = 4;
constexpr int CONFIG_TEXT_MAX = 65535; // a message's text including its NUL

// ---- store ---------------------------------------------------------------------------
// Initialises once per process (implicitly on first use by every function below):
// compiles the category patterns, reads the live USB line, sets the defaults.
void config_store_init();
// Value of a key, or empty when absent.
QByteArray config_store_get(const QByteArray& key);
// Sets a key (keeps its place when it exists, appends otherwise); an empty value removes it.
// An entry is one line: a key that is empty or holds "=", LF or NUL, or a value that holds LF
// or NUL, is refused and the store is left as it was.
void config_store_set(const QByteArray& key, const QByteArray& value);
// Removes every entry that belongs to a category 0 to 71 (the defaults included).
void config_store_clear();
// Entries of the category (55: of any category 0 to 71) in store order, each ended by LF.
// Nothing for a category outside 1 to 71 and not 55.
std::optional<QByteArray> config_store_collect(int category);
// Merges the lines of the text that belong to the category (55: any) into the store. The text
// ends at its first NUL; keys and values are compared whole.
void config_store_load_text(const QByteArray& text, int category);
// Reads a file whole and merges it for all categories. 0 on success; 1 on failure, with one
// of the library's messages passed to the reporter when one is given.
using ConfigReporter = std::function<void(const QString& message)>;
int config_store_load_file(const QString& path, const ConfigReporter& reporter = {});
// Every store entry as key=value lines in store order, including entries of no category
// (used by tests and diagnostics).
QByteArray config_store_dump();
// Test support: forgets everything (store and initialisation) so the next call initialises
// again, optionally reading the live USB line from another file than /config/etc/environment
// and the time zone from another file than /etc/timezone.
void config_store_reset_for_testing(const QString& environmentFile = QString(),
                                    const QString& timezoneFile = QString());

// ---- messages -------------------------------------------------------------------------
// Builds a configuration message from the store: exactly the bytes to send (header,
// category byte, then the text with its NUL, plain or compressed). With stripIdentity the
// identity lines (category 72) are removed first. Compression falls back to the plain form
// when it would not shrink the text. Nothing when the category is outside 1 to 71 and not
// 55, or when the text with its NUL does not fit the 16-bit length fields.
std::optional<QByteArray> config_message_build(int category, bool stripIdentity, bool compress);
// Builds a configuration message from a given text, exactly as config_message_build does
// from the store's text.
std::optional<QByteArray> config_message_build_text(const QByteArray& text, int category, bool compress);
// Unpacks a configuration message and returns its accepted lines (those of its category,
// each with its LF). Nothing on a wrong type byte, a truncated message, a corrupt stream or
// a category outside 1 to 71 and not 55.
std::optional<QByteArray> config_message_parse(const QByteArray& message);
// Category byte of a configuration message (-1 when too short).
int config_message_category(const QByteArray& message);

// ---- texts ----------------------------------------------------------------------------
// Category 55: the addition alone. An empty slot: the text unchanged. Otherwise the lines
// of the text that do not match the category (a kept last line without LF gets one),
// followed by the addition. A kept line whose key the addition sets again is dropped too, so
// a key never appears twice (older agents report power saving with the PXE settings).
// Nothing for a category outside 0 to 72.
std::optional<QByteArray> config_text_replace_category(const QByteArray& text, const QByteArray& addition,
                                                       int category);
// Value of the first line that begins with key=; empty when none or an argument is empty.
QByteArray config_text_get_value(const QByteArray& key, const QByteArray& text);
// True when the line (without its LF) matches the category's pattern (55: any of 0 to 71).
bool config_line_in_category(const QByteArray& line, int category);
// The id of the first pattern (0 to 71, ascending) the line matches, or -1.
int config_line_category(const QByteArray& line);

// ---- tables ---------------------------------------------------------------------------
// protocol 1 to 21, option 1 to 23: "<protocol>_<option>"; nothing when out of range.
std::optional<QByteArray> config_protocol_option_key(int protocol, int option);
// Default value of an option that applies to a protocol (possibly empty); nothing when the
// option does not apply to the protocol or an index is out of range.
std::optional<QByteArray> config_protocol_option_default(int protocol, int option);
// 1 to 21, or 0 when the name is not in the table or empty.
int config_protocol_index(const QByteArray& name);
// Protocol name of an index 1 to 21; empty otherwise.
QByteArray config_protocol_name(int index);
// Option name of an index 1 to 23; empty otherwise.
QByteArray config_option_name(int index);
// 0 to 3 ("bcast", "auto", "static", "dhcp"), or -1.
int config_discovery_mode_index(const QByteArray& name);
QByteArray config_discovery_mode_name(int index);
// 0 to 14, or -1 when not in the table (an empty name yields 0).
int config_hardware_index(const QByteArray& name);
// The table text of a hardware model (empty for 0, 1 and out of range). These names are
// also the firmware-type names and the names of the firmware-type folders.
QByteArray config_hardware_name(int index);
// Display form of a hardware model name for the device list.
QString config_hardware_display_name(int index);
// The category pattern of a slot (empty when the slot is empty).
QByteArray config_category_pattern(int id);

// The fourteen categories an administrator can name, in the order the filter lists them.
struct NamedCategory
{
    const char* label;
    int id;
};
constexpr int NAMED_CATEGORY_COUNT = 14;
const NamedCategory* config_named_categories();

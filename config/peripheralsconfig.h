#pragma once

// Keyboard, mouse and audio settings of a device.
//
// Plain functions: the built-in keyboard lists (models, layouts, variants, option groups
// and options of the X keyboard database), the entries of the lists devices report, which
// variants belong to a layout and which options to a group, the stored values as the dialog
// shows them, the audio rules that depend on the firmware, the configuration text
// (category 34), the frame older agents take, the version gates of the device's own lists
// and the audit sentence.

#include "commands.h"
#include "delivery.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

namespace peripherals {

// ---- list entries ------------------------------------------------------------------------

// An entry is a code, one blank and a description ("pc105 Generic 105-key PC").
struct Entry
{
    QString code;
    QString description;
    bool operator==(const Entry& o) const { return code == o.code && description == o.description; }
};
// Nothing for an entry without a blank.
std::optional<Entry> splitEntry(const QString& entry);
// The entries of a list that split, in list order or sorted by description (case-sensitive).
QList<Entry> entries(const QStringList& list, bool sortByDescription);

// The built-in keyboard lists: "code description" entries in the database's order.
const QStringList& builtInModels();
const QStringList& builtInLayouts();
// A variant's description begins with its layout's code and a colon ("chr us: Cherokee").
const QStringList& builtInVariants();
// Option groups (codes without a colon) each followed by its options ("grp:switch ...").
const QStringList& builtInOptions();

// The device lists the dialog starts with: "auto Auto", and for a Raspberry Pi's playback
// "auto Auto/USB", "analog Analog", "hdmi Primary HDMI", "hdmi2 Secondary HDMI".
const QStringList& defaultDevices();
const QStringList& piPlaybackDevices();

// The layout of a variant: its description up to the first colon.
QString variantLayout(const Entry& variant);
// The variants of one layout, sorted by description.
QList<Entry> variantsOf(const QList<Entry>& variants, const QString& layout);

struct OptionGroup
{
    Entry group;
    QList<Entry> options; // in list order
};
// Groups in list order; an option belongs to the group entry before it (options before the
// first group are dropped).
QList<OptionGroup> optionGroups(const QStringList& options);
// The group code an option belongs to ("grp" for "grp:switch"), empty when no group lists it.
QString groupOfOption(const QList<OptionGroup>& groups, const QString& option);

// The list a device reported under one of the names ("model" or "models", ...).
std::optional<QStringList> reportedList(const QMap<QString, QStringList>& lists, const QStringList& names);

// ---- stored values ---------------------------------------------------------------------------

// audio_volume as the slider shows it: 0 to 100; 100 when empty or no number.
int volumeFromStored(const QByteArray& stored);
// mouse_sensitivity: 1 to 5; 3 when empty, no number or outside.
int sensitivityFromStored(const QByteArray& stored);
// kbd_model, kbd_layout: "pc105" and "us" when empty; kbd_variant, kbd_optgrp, kbd_option:
// "none" when empty.
QString storedOr(const QByteArray& stored, const char* fallback);

// ---- audio -------------------------------------------------------------------------------------

// Firmware that cannot choose audio devices (it takes one audio port): everything before
// 4.11.0 except 4.8.4 and later 4.8 releases.
bool oldAudio(const QString& firmwareVersion);
// The scheme the dialog starts with: with old audio a Raspberry Pi uses ALSA and any other
// device PulseAudio; otherwise "alsa" is ALSA, "pulse" or a device other than a Raspberry
// Pi is PulseAudio, and a Raspberry Pi with any other value is ALSA.
bool startsWithAlsa(bool isPi, bool oldAudio, const QByteArray& scheme);
// The device lists asked for when the dialog opens: for a Raspberry Pi ALSA's unless the
// scheme is "pulse", for other devices ALSA's only when it is "alsa".
bool initialListsForAlsa(bool isPi, const QByteArray& scheme);

// ---- settings --------------------------------------------------------------------------------

struct PeripheralsSettings
{
    QString model = QStringLiteral("pc105");
    QString layout = QStringLiteral("us");
    QString variant = QStringLiteral("none");
    QString optionGroup = QStringLiteral("none");
    QString option = QStringLiteral("none");
    bool numLock = false;
    quint16 volume = 100;
    quint16 mouseSensitivity = 3;
    bool rightHanded = true;
    bool alsa = false;
    QString recordingDevice = QStringLiteral("auto");
    QString playbackDevice = QStringLiteral("auto");
    bool onScreenKeyboard = false;
};

// Category 34. With old audio the playback device goes as audio_port_type; otherwise the
// scheme and both devices.
QByteArray peripheralsText(const PeripheralsSettings& settings, bool oldAudio);
// Older agents: type 34, code 2: lp-strings model, layout, variant and option; five 16-bit
// zeros (layout, variant and option indexes, a reserved value, the Citrix layout index);
// lp-string "(User Profile)"; 16-bit num lock, volume, sensitivity and right-handed values;
// lp-string playback device; one byte on-screen keyboard.
QByteArray peripheralsLegacyFrame(const PeripheralsSettings& settings);
QString peripheralsSentence(const QString& serial);
delivery::Message message(const commands::DeviceFacts& device, const PeripheralsSettings& settings,
                          bool oldAudio);

// ---- device ----------------------------------------------------------------------------------

// Agents from 8.2.0 on report their keyboard lists, from 8.4.0 on their audio devices.
bool canListKeyboardOptions(const commands::DeviceFacts& device);
bool canListAudioDevices(const commands::DeviceFacts& device);

} // namespace peripherals

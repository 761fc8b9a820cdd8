#include "peripheralsconfig.h"

#include "keyboardlists_data.h"
#include "wire.h"

#include <algorithm>
#include <array>

namespace peripherals {

namespace {

using commands::settingLine;
using commands::yesNo;

template <std::size_t N>
QStringList fromData(const char* const (&data)[N])
{
    QStringList list;
    list.reserve(int(N));
    for (const char* entry : data)
        list.append(QString::fromUtf8(entry));
    return list;
}

QByteArray value(const QString& text)
{
    return commands::configValue(text);
}

QByteArray lp(const QString& text)
{
    return wire::lpString(value(text));
}

// The version's first three numbers, read as the version comparison reads them.
std::array<int, 3> versionParts(const QString& version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    std::array<int, 3> numbers{0, 0, 0};
    for (int i = 0; i < 3 && i < parts.size(); ++i) {
        bool ok = false;
        const int n = parts.at(i).toUShort(&ok, 10);
        numbers[std::size_t(i)] = ok ? n : 0;
    }
    return numbers;
}

} // namespace

// ---- list entries --------------------------------------------------------------------------

std::optional<Entry> splitEntry(const QString& entry)
{
    const int blank = entry.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return std::nullopt;
    return Entry{entry.left(blank), entry.mid(blank + 1)};
}

QList<Entry> entries(const QStringList& list, bool sortByDescription)
{
    QList<Entry> out;
    for (const QString& text : list) {
        if (auto entry = splitEntry(text))
            out.append(*entry);
    }
    if (sortByDescription)
        std::stable_sort(out.begin(), out.end(),
                         [](const Entry& a, const Entry& b) { return a.description < b.description; });
    return out;
}

const QStringList& builtInModels()
{
    static const QStringList list = fromData(keyboard::data::Models);
    return list;
}

const QStringList& builtInLayouts()
{
    static const QStringList list = fromData(keyboard::data::Layouts);
    return list;
}

const QStringList& builtInVariants()
{
    static const QStringList list = fromData(keyboard::data::Variants);
    return list;
}

const QStringList& builtInOptions()
{
    static const QStringList list = fromData(keyboard::data::Options);
    return list;
}

const QStringList& defaultDevices()
{
    static const QStringList list{QStringLiteral("auto Auto")};
    return list;
}

const QStringList& piPlaybackDevices()
{
    static const QStringList list{QStringLiteral("auto Auto/USB"), QStringLiteral("analog Analog"),
                                  QStringLiteral("hdmi Primary HDMI"),
                                  QStringLiteral("hdmi2 Secondary HDMI")};
    return list;
}

QString variantLayout(const Entry& variant)
{
    const int colon = variant.description.indexOf(QLatin1Char(':'));
    return colon < 0 ? variant.description : variant.description.left(colon);
}

QList<Entry> variantsOf(const QList<Entry>& variants, const QString& layout)
{
    QList<Entry> out;
    for (const Entry& v : variants) {
        if (variantLayout(v) == layout)
            out.append(v);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const Entry& a, const Entry& b) { return a.description < b.description; });
    return out;
}

QList<OptionGroup> optionGroups(const QStringList& options)
{
    QList<OptionGroup> groups;
    for (const QString& text : options) {
        const std::optional<Entry> entry = splitEntry(text);
        if (!entry)
            continue;
        if (!entry->code.contains(QLatin1Char(':')))
            groups.append(OptionGroup{*entry, {}});
        else if (!groups.isEmpty())
            groups.last().options.append(*entry);
    }
    return groups;
}

QString groupOfOption(const QList<OptionGroup>& groups, const QString& option)
{
    for (const OptionGroup& group : groups) {
        for (const Entry& entry : group.options) {
            if (entry.code == option)
                return group.group.code;
        }
    }
    return {};
}

std::optional<QStringList> reportedList(const QMap<QString, QStringList>& lists, const QStringList& names)
{
    for (const QString& name : names) {
        const auto it = lists.constFind(name);
        if (it != lists.constEnd())
            return it.value();
    }
    return std::nullopt;
}

// ---- stored values -----------------------------------------------------------------------------

int volumeFromStored(const QByteArray& stored)
{
    bool ok = false;
    const int volume = stored.trimmed().toInt(&ok, 10);
    if (!ok)
        return 100;
    return qBound(0, volume, 100);
}

int sensitivityFromStored(const QByteArray& stored)
{
    bool ok = false;
    const int sensitivity = stored.trimmed().toInt(&ok, 10);
    return ok && sensitivity >= 1 && sensitivity <= 5 ? sensitivity : 3;
}

QString storedOr(const QByteArray& stored, const char* fallback)
{
    return stored.isEmpty() ? QString::fromLatin1(fallback) : QString::fromLatin1(stored);
}

// ---- audio ---------------------------------------------------------------------------------------

bool oldAudio(const QString& firmwareVersion)
{
    if (commands::versionAtLeast(firmwareVersion, 4, 11, 0))
        return false;
    const std::array<int, 3> v = versionParts(firmwareVersion);
    if (v[0] == 4 && v[1] == 8)
        return v[2] < 4;
    return true;
}

bool startsWithAlsa(bool isPi, bool oldAudio, const QByteArray& scheme)
{
    if (oldAudio)
        return isPi;
    if (scheme == "alsa")
        return true;
    if (scheme == "pulse" || !isPi)
        return false;
    return true;
}

bool initialListsForAlsa(bool isPi, const QByteArray& scheme)
{
    return isPi ? scheme != "pulse" : scheme == "alsa";
}

// ---- settings ------------------------------------------------------------------------------------

QByteArray peripheralsText(const PeripheralsSettings& s, bool oldAudio)
{
    QByteArray text =
        settingLine("kbd_model", value(s.model)) + settingLine("kbd_layout", value(s.layout)) +
        settingLine("kbd_variant", value(s.variant)) + settingLine("kbd_optgrp", value(s.optionGroup)) +
        settingLine("kbd_option", value(s.option)) + settingLine("num_lock_enabled", yesNo(s.numLock)) +
        settingLine("audio_volume", QByteArray::number(s.volume)) +
        settingLine("mouse_sensitivity", QByteArray::number(s.mouseSensitivity)) +
        settingLine("mouse_is_righthanded", yesNo(s.rightHanded));
    if (oldAudio) {
        text += settingLine("audio_port_type", value(s.playbackDevice));
    } else {
        text += settingLine("audio_scheme", s.alsa ? QByteArrayLiteral("alsa") : QByteArrayLiteral("pulse"));
        text += settingLine("audio_input_dev", value(s.recordingDevice));
        text += settingLine("audio_output_dev", value(s.playbackDevice));
    }
    text += settingLine("on_screen_kbd_enabled", yesNo(s.onScreenKeyboard));
    return text;
}

QByteArray peripheralsLegacyFrame(const PeripheralsSettings& s)
{
    QByteArray payload = lp(s.model) + lp(s.layout) + lp(s.variant) + lp(s.option);
    for (int i = 0; i < 5; ++i)
        wire::appendU16(payload, 0);
    payload += wire::lpString(QByteArrayLiteral("(User Profile)"));
    wire::appendU16(payload, s.numLock ? 1 : 0);
    wire::appendU16(payload, s.volume);
    wire::appendU16(payload, s.mouseSensitivity);
    wire::appendU16(payload, s.rightHanded ? 1 : 0);
    payload += lp(s.playbackDevice);
    payload.append(s.onScreenKeyboard ? char(1) : char(0));
    return wire::frame(msg::Type::Peripherals, 2, payload);
}

QString peripheralsSentence(const QString& serial)
{
    return QStringLiteral("configured peripheral options for ") + serial;
}

delivery::Message message(const commands::DeviceFacts& device, const PeripheralsSettings& settings,
                          bool oldAudio)
{
    return delivery::choose(device, msg::Type::Peripherals, peripheralsText(settings, oldAudio),
                            peripheralsLegacyFrame(settings), peripheralsSentence(device.serial));
}

// ---- device ----------------------------------------------------------------------------------------

bool canListKeyboardOptions(const commands::DeviceFacts& device)
{
    return commands::versionAtLeast(device.clientVersion, 8, 2, 0);
}

bool canListAudioDevices(const commands::DeviceFacts& device)
{
    return commands::versionAtLeast(device.clientVersion, 8, 4, 0);
}

} // namespace peripherals

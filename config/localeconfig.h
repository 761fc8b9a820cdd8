#pragma once

// Time zone, language and time server of a device.
//
// Plain functions and one small class: the built-in zone list, the region/zone split the
// dialog shows, which zone and locale a stored value selects, the configuration text
// (category 4), the frame older agents take, the version gate of the device's own lists and
// the audit sentence.

#include "commands.h"
#include "delivery.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

namespace localeconfig {

// What a device uses when it has no time server of its own (the store's default too).
inline constexpr char DefaultTimeServer[] = "pool.ntp.org";
// The region of zone names without a "/" ("UTC").
inline constexpr char NoRegion[] = "(None)";
// The region shown when a stored value names no known region and is no zone name at all.
inline constexpr char FallbackRegion[] = "Europe";
// The one locale a dialog offers before the device reports its own.
inline constexpr char BuiltInLocale[] = "C.UTF-8 (UTF-8)";

// The zone names the device firmware knows ("Region/City", a few "Region/Area/City"), in
// alphabetical order, then "UTC".
const QStringList& builtInZones();

struct ZoneName
{
    QString region;
    QString zone;
    bool operator==(const ZoneName& o) const { return region == o.region && zone == o.zone; }
};
// Split at the first "/": "America/Argentina/Buenos_Aires" is the zone
// "Argentina/Buenos_Aires" of "America"; a name without "/" is a zone of "(None)".
ZoneName splitZone(const QString& name);
// The time zone a device takes: "region/zone", or the zone alone for "(None)" (a device
// does not know "(None)/UTC").
QString joinZone(const ZoneName& name);
// A stored "Etc/UTC" is shown as "UTC".
QString shownZone(const QByteArray& stored);
// Letters, digits, "_", "+" and "-" in parts separated by single "/": a name a device may
// know even when the lists do not.
bool isZoneName(const QString& name);

// Regions and their zones, each sorted ascending (case-sensitive), without duplicates.
class ZoneMap
{
public:
    void add(const QString& name);
    void add(const QStringList& names);
    QStringList regions() const { return m_zones.keys(); }
    QStringList zones(const QString& region) const { return m_zones.value(region); }
    bool contains(const ZoneName& name) const;

private:
    QMap<QString, QStringList> m_zones;
};

// The region and zone a stored time zone selects. A stored name the map lacks is added to
// it first (when it is a zone name), so it is shown and sent back unchanged; otherwise a
// known region with an unknown zone gives the region's first zone, and an unknown region
// the first zone of "Europe".
ZoneName currentZone(ZoneMap& map, const QByteArray& stored);

// The locale code of an entry: its text up to the first blank ("C.UTF-8 (UTF-8)" is
// "C.UTF-8").
QString localeCode(const QString& entry);
// The entry a stored locale selects: the first whose code is the stored value; for an empty
// value the first entry; -1 when none (the caller keeps the stored value as an extra entry).
int localeIndex(const QStringList& entries, const QString& stored);

// The list of a device's answer under a name compared without regard to case ("timezones",
// "locales"); empty when absent.
QStringList namedList(const QMap<QString, QStringList>& lists, const QString& name);

struct LocaleSettings
{
    QString timezone;
    QString timeServer;
    QString locale;
};

QByteArray localeText(const LocaleSettings& settings); // timezone, time_server, locale
// Older agents: type 4, code 0, lp-strings time zone and time server.
QByteArray timeZoneFrame(const LocaleSettings& settings);
QString localeSentence(const QString& serial);
delivery::Message message(const commands::DeviceFacts& device, const LocaleSettings& settings);

// Agents from 8.2.0 on report their zones and locales when asked.
bool canListLocales(const commands::DeviceFacts& device);

} // namespace localeconfig

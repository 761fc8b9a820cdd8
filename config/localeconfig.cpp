#include "localeconfig.h"

#include "timezonelist_data.h"
#include "wire.h"

#include <QRegularExpression>

#include <algorithm>

namespace localeconfig {

namespace {

QByteArray line(const char* key, const QString& value)
{
    return QByteArray(key) + '=' + commands::configValue(value) + '\n';
}

void insertSorted(QStringList& list, const QString& value)
{
    const auto at = std::lower_bound(list.begin(), list.end(), value);
    if (at == list.end() || *at != value)
        list.insert(at, value);
}

} // namespace

const QStringList& builtInZones()
{
    static const QStringList zones = [] {
        QStringList list;
        for (const char* name : timezones::data::Zones)
            list.append(QString::fromLatin1(name));
        return list;
    }();
    return zones;
}

ZoneName splitZone(const QString& name)
{
    const int slash = name.indexOf(QLatin1Char('/'));
    if (slash < 0)
        return {QString::fromLatin1(NoRegion), name};
    return {name.left(slash), name.mid(slash + 1)};
}

QString joinZone(const ZoneName& name)
{
    if (name.region == QLatin1String(NoRegion))
        return name.zone;
    return name.region + QLatin1Char('/') + name.zone;
}

QString shownZone(const QByteArray& stored)
{
    if (stored == "Etc/UTC")
        return QStringLiteral("UTC");
    return QString::fromLatin1(stored);
}

bool isZoneName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_+-]+(/[A-Za-z0-9_+-]+)*$"));
    return pattern.match(name).hasMatch();
}

void ZoneMap::add(const QString& name)
{
    const ZoneName split = splitZone(name);
    insertSorted(m_zones[split.region], split.zone);
}

void ZoneMap::add(const QStringList& names)
{
    for (const QString& name : names)
        add(name);
}

bool ZoneMap::contains(const ZoneName& name) const
{
    const auto it = m_zones.constFind(name.region);
    return it != m_zones.constEnd() && std::binary_search(it->cbegin(), it->cend(), name.zone);
}

ZoneName currentZone(ZoneMap& map, const QByteArray& stored)
{
    const QString name = shownZone(stored);
    ZoneName wanted = splitZone(name);
    if (!map.contains(wanted) && isZoneName(name))
        map.add(name);
    const QStringList regions = map.regions();
    if (!regions.contains(wanted.region))
        wanted.region = QString::fromLatin1(FallbackRegion);
    const QStringList zones = map.zones(wanted.region);
    if (!zones.contains(wanted.zone))
        wanted.zone = zones.value(0);
    return wanted;
}

QString localeCode(const QString& entry)
{
    const int blank = entry.indexOf(QLatin1Char(' '));
    return blank < 0 ? entry : entry.left(blank);
}

int localeIndex(const QStringList& entries, const QString& stored)
{
    if (entries.isEmpty())
        return -1;
    if (stored.isEmpty())
        return 0;
    for (int i = 0; i < entries.size(); ++i) {
        if (localeCode(entries.at(i)) == stored)
            return i;
    }
    return -1;
}

QStringList namedList(const QMap<QString, QStringList>& lists, const QString& name)
{
    for (auto it = lists.cbegin(); it != lists.cend(); ++it) {
        if (it.key().compare(name, Qt::CaseInsensitive) == 0)
            return it.value();
    }
    return {};
}

QByteArray localeText(const LocaleSettings& s)
{
    return line("timezone", s.timezone) + line("time_server", s.timeServer) + line("locale", s.locale);
}

QByteArray timeZoneFrame(const LocaleSettings& s)
{
    return wire::frame(msg::Type::TimeZone, 0,
                       wire::lpString(commands::configValue(s.timezone)) +
                           wire::lpString(commands::configValue(s.timeServer)));
}

QString localeSentence(const QString& serial)
{
    return QStringLiteral("set time zone and language on ") + serial;
}

delivery::Message message(const commands::DeviceFacts& device, const LocaleSettings& settings)
{
    return delivery::choose(device, msg::Type::TimeZone, localeText(settings), timeZoneFrame(settings),
                            localeSentence(device.serial));
}

bool canListLocales(const commands::DeviceFacts& device)
{
    return commands::versionAtLeast(device.clientVersion, 8, 2, 0);
}

} // namespace localeconfig

#include "displayconfig.h"

#include "commands.h"
#include "versions.h"
#include "wire.h"

#include <QRegularExpression>

namespace displays {

namespace {

QString stored(const StoreGetter& get, int output, const char* suffix)
{
    return QString::fromLatin1(get(QByteArrayLiteral("video_output") + QByteArray::number(output) + suffix));
}

QByteArray line(const QByteArray& key, const QString& value)
{
    return key + '=' + commands::configValue(value) + '\n';
}

QByteArray lp(const QString& value)
{
    return wire::lpString(commands::configValue(value).left(0xF000));
}

const QRegularExpression& modeReference()
{
    static const QRegularExpression re(QStringLiteral("\\((CEA|DMT) (\\d+)"));
    return re;
}

} // namespace

int outputCount(const QString& clientVersion)
{
    return versionAtLeast(clientVersion, 8, 4, 5) ? 4 : 3;
}

bool requestsResolutions(const QString& clientVersion)
{
    return versionAtLeast(clientVersion, 8, 2, 0);
}

bool showsModeSet(int firmwareType)
{
    return firmwareType == 11 || firmwareType == 13;
}

bool showsSignage(const QByteArray& protocol)
{
    return protocol == "dsi" || protocol == "signage";
}

Settings loadSettings(const StoreGetter& get)
{
    Settings s;
    s.extended = get(QByteArrayLiteral("video_mode")) == "extendr";
    s.timeout = QString::fromLatin1(get(QByteArrayLiteral("video_screensaver_timeout")));
    if (s.timeout.isEmpty())
        s.timeout = QStringLiteral("20");
    for (int n = 1; n <= MaxOutputs; ++n) {
        Output& o = s.outputs[static_cast<size_t>(n - 1)];
        // An empty value keeps the default; an empty mode set means monitor modes.
        auto take = [&](QString& field, const char* suffix) {
            const QString value = stored(get, n, suffix);
            if (!value.isEmpty())
                field = value;
        };
        take(o.position, "_position");
        bool ok = false;
        const int referent = stored(get, n, "_referent").toInt(&ok, 10);
        o.referent = ok && referent >= 0 && referent <= MaxOutputs && referent != n ? referent : 0;
        take(o.orientation, "_orientation");
        o.modeSet = QStringLiteral("dmt");
        take(o.modeSet, "_mode_set");
        o.modeNumber = stored(get, n, "_mode_number");
        take(o.resolution, "_resolution");
        o.primary = stored(get, n, "_primary") == QLatin1String("yes");
        s.signage[static_cast<size_t>(n - 1)] = signage::loadOutput(n, get);
    }
    return s;
}

QStringList defaultResolutions()
{
    return {QStringLiteral("1920x1200"), QStringLiteral("1920x1080"), QStringLiteral("1680x1050"),
            QStringLiteral("1600x1200"), QStringLiteral("1440x900"),  QStringLiteral("1366x768"),
            QStringLiteral("1280x1024"), QStringLiteral("1280x960"),  QStringLiteral("1280x864"),
            QStringLiteral("1280x768"),  QStringLiteral("1280x720"),  QStringLiteral("1152x864"),
            QStringLiteral("1024x768"),  QStringLiteral("800x600"),   QStringLiteral("Auto")};
}

QString shownOrientation(const QString& stored)
{
    if (stored == QLatin1String("landscape"))
        return QStringLiteral("normal");
    if (stored == QLatin1String("portrait"))
        return QStringLiteral("right");
    return stored;
}

QString storedOrientation(const QString& shown)
{
    return shown == QLatin1String("right") ? QStringLiteral("portrait") : shown;
}

Resolution parseResolution(const QString& entry)
{
    Resolution r;
    const QString trimmed = entry.trimmed();
    r.automatic = trimmed.startsWith(QLatin1String("Auto"), Qt::CaseInsensitive);
    r.resolution = trimmed.section(QLatin1Char(' '), 0, 0).toLower();
    if (r.automatic)
        return r;
    const QRegularExpressionMatch m = modeReference().match(trimmed);
    if (m.hasMatch()) {
        r.modeSet = m.captured(1).toLower();
        r.modeNumber = m.captured(2);
    }
    return r;
}

int findResolution(const QStringList& entries, const QString& resolution, const QString& modeSet,
                   const QString& modeNumber)
{
    const QString wanted = resolution.trimmed().toLower();
    if (wanted.isEmpty())
        return -1;
    int firstMatch = -1;
    for (int i = 0; i < entries.size(); ++i) {
        const Resolution r = parseResolution(entries.at(i));
        if (r.resolution != wanted)
            continue;
        if (modeNumber.isEmpty() || (r.modeSet == modeSet.toLower() && r.modeNumber == modeNumber))
            return i;
        if (firstMatch < 0)
            firstMatch = i;
    }
    return firstMatch;
}

QStringList filterForModeSet(const QStringList& entries, int modeSetIndex)
{
    QRegularExpression re;
    if (modeSetIndex == 1)
        re.setPattern(QStringLiteral("(^Auto .*\\((CEA|DMT) )|(\\(CEA )"));
    else if (modeSetIndex == 2)
        re.setPattern(QStringLiteral("(^Auto .*\\((CEA|DMT) )|(\\(DMT )"));
    else
        re.setPattern(QStringLiteral("\\((CEA|DMT) "));
    QStringList kept;
    for (const QString& e : entries) {
        if (re.match(e).hasMatch())
            kept << e;
    }
    if (kept.isEmpty())
        return kept;
    if (kept.first().startsWith(QLatin1String("Auto")))
        kept.first() = QStringLiteral("Auto");
    else
        kept.prepend(QStringLiteral("Auto"));
    return kept;
}

bool positionedRelativeToItself(const Settings& settings, int output)
{
    int next = settings.outputs[static_cast<size_t>(output - 1)].referent;
    for (int steps = 0; steps < MaxOutputs && next >= 1 && next <= MaxOutputs; ++steps) {
        if (next == output)
            return true;
        next = settings.outputs[static_cast<size_t>(next - 1)].referent;
    }
    return false;
}

std::optional<QString> validationProblem(const Settings& settings, int shownOutputs,
                                         const QByteArray& protocol)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    if (!digits.match(settings.timeout.trimmed()).hasMatch())
        return QStringLiteral("\nYou must enter a valid screensaver timeout value");
    const int shown = qBound(1, shownOutputs, MaxOutputs);
    if (!settings.extended) {
        const QString first = settings.outputs[0].resolution.section(QLatin1Char(' '), 0, 0);
        for (int i = 2; i <= shown; ++i) {
            const QString other =
                settings.outputs[static_cast<size_t>(i - 1)].resolution.section(QLatin1Char(' '), 0, 0);
            if (other.compare(first, Qt::CaseInsensitive) != 0)
                return QStringLiteral("\nAll outputs must use the same resolution when in clone mode");
        }
    }
    for (int i = 1; i <= shown; ++i) {
        const Output& o = settings.outputs[static_cast<size_t>(i - 1)];
        if (o.referent == 0 && o.position != QLatin1String("none"))
            return QStringLiteral("\nInvalid referent for Output %1").arg(i);
        if (positionedRelativeToItself(settings, i))
            return QStringLiteral(
                       "\nOutput %1 is indirectly positioned relative to itself.\n\nPlease ensure that "
                       "one of your outputs uses Position = None, Referent = None.")
                .arg(i);
    }
    if (settings.extended) {
        int unpositioned = 0;
        for (int i = 1; i <= shown; ++i) {
            if (settings.outputs[static_cast<size_t>(i - 1)].referent == 0)
                ++unpositioned;
        }
        if (unpositioned > 1)
            return QStringLiteral(
                "\nWhen two or more outputs participate in an extended desktop layout, all but "
                "one of the outputs must be positioned relative to other outputs.\n\nPlease "
                "ensure that only one output has Position = None, Referent = None.");
    }
    if (protocol == "dsi") {
        for (int i = 1; i <= signageOutputs(settings, shown); ++i) {
            if (!signage::dsiComplete(settings.signage[static_cast<size_t>(i - 1)]))
                return QStringLiteral(
                           "\nDigital Signage configuration for Output %1 is invalid or incomplete.")
                    .arg(i);
        }
    }
    return std::nullopt;
}

int signageOutputs(const Settings& settings, int shownOutputs)
{
    if (!settings.extended)
        return 1;
    return qBound(1, shownOutputs, signage::OutputCount);
}

QByteArray configurationText(const Settings& settings, const QByteArray& protocol)
{
    QByteArray text =
        line("video_mode", settings.extended ? QStringLiteral("extendr") : QStringLiteral("clone"));
    text += line("video_screensaver_timeout", settings.timeout.trimmed());
    for (int n = 1; n <= MaxOutputs; ++n) {
        const Output& o = settings.outputs[static_cast<size_t>(n - 1)];
        const QByteArray p = QByteArrayLiteral("video_output") + QByteArray::number(n);
        text += p + "_connector=auto\n";
        text += line(p + "_position", o.position);
        text += line(p + "_referent", QString::number(o.referent));
        text += line(p + "_orientation", o.orientation);
        text += line(p + "_resolution", o.resolution);
        text += line(p + "_primary", o.primary ? QStringLiteral("yes") : QStringLiteral("no"));
        text += line(p + "_mode_set", o.modeSet);
        text += line(p + "_mode_number", o.modeNumber);
        if (protocol == "signage") {
            const signage::OutputValues& s = settings.signage[static_cast<size_t>(n - 1)];
            const QByteArray d = QByteArrayLiteral("ds_output") + QByteArray::number(n);
            text += line(d + "_duration", s.duration);
            text += line(d + "_mute", s.mute);
            text += line(d + "_refresh", s.refresh);
            text += line(d + "_resync", s.resync);
            text += line(d + "_source", s.source);
        }
    }
    return text;
}

QByteArray legacyFrame(const Settings& settings)
{
    QByteArray payload = lp(settings.extended ? QStringLiteral("extendr") : QStringLiteral("clone"));
    payload += lp(settings.timeout.trimmed());
    payload += char(MaxOutputs);
    for (const Output& o : settings.outputs) {
        payload += lp(o.position) + lp(QString::number(o.referent)) + lp(o.orientation) + lp(o.resolution);
        payload += o.primary ? char(1) : char(0);
        payload += lp(o.modeSet) + lp(o.modeNumber);
    }
    return wire::frame(msg::Type::Displays, 1, payload);
}

QString auditSentence(const QString& serial)
{
    return QStringLiteral("reconfigured displays on ") + serial;
}

} // namespace displays

#include "exportcsv.h"

#include <algorithm>

namespace rvx::exportcsv {

namespace {
const char kLineEnd[] = "\r\n";
}

QStringList titles()
{
    return {QStringLiteral("Serial Number"), QStringLiteral("MAC Address"),   QStringLiteral("Hostname"),
            QStringLiteral("Primary IP"),    QStringLiteral("Client Ver"),    QStringLiteral("Firmware Ver"),
            QStringLiteral("TFM Ver"),       QStringLiteral("Kernel Ver"),    QStringLiteral("Based on"),
            QStringLiteral("Mode"),          QStringLiteral("Firmware Type"), QStringLiteral("Resets to")};
}

QString headerLine()
{
    return titles().join(QLatin1Char(','));
}

QString field(const QString& value)
{
    QString out = value;
    static const QString formulaStart = QStringLiteral("=+-@\t\r");
    if (!out.isEmpty() && formulaStart.contains(out.front()))
        out.prepend(QLatin1Char('\''));
    static const QString needsQuotes = QStringLiteral(",\"\r\n");
    if (std::any_of(out.cbegin(), out.cend(), [](QChar c) { return needsQuotes.contains(c); })) {
        out.replace(QLatin1String("\""), QLatin1String("\"\""));
        out = QLatin1Char('"') + out + QLatin1Char('"');
    }
    return out;
}

QString deviceLine(const QStringList& fields)
{
    QStringList written;
    written.reserve(fields.size());
    for (const QString& value : fields)
        written.append(field(value));
    return written.join(QLatin1Char(','));
}

Text fileText(const QList<QList<QStringList>>& departments)
{
    Text result;
    const QByteArray header = headerLine().toUtf8() + kLineEnd;
    for (const QList<QStringList>& devices : departments) {
        result.data += header;
        for (const QStringList& fields : devices) {
            result.data += deviceLine(fields).toUtf8() + kLineEnd;
            ++result.deviceLines;
        }
    }
    return result;
}

QString withCsvSuffix(const QString& fileName)
{
    if (fileName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return fileName;
    return fileName + QLatin1String(".csv");
}

} // namespace rvx::exportcsv

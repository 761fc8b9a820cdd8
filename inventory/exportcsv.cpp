#include "exportcsv.h"

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

QString deviceLine(const QStringList& fields)
{
    QStringList cleaned;
    cleaned.reserve(fields.size());
    for (QString field : fields) {
        field.replace(QLatin1String("\r\n"), QLatin1String(" "));
        field.replace(QLatin1Char('\r'), QLatin1Char(' '));
        field.replace(QLatin1Char('\n'), QLatin1Char(' '));
        cleaned.append(field);
    }
    return cleaned.join(QLatin1Char(','));
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

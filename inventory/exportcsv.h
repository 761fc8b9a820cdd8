#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The text of an exported device list: for every department in list order the header line,
// then one line per device. Fields are written as they are, joined by ",", without quotes;
// every line ends with carriage return and line feed. The file is UTF-8.
namespace rvx::exportcsv {

// The twelve column titles, in order.
QStringList titles();
// The titles joined by "," (no line end).
QString headerLine();
// One device's twelve fields joined by "," (no line end). A line break inside a field would
// split the device over two lines; it is written as a space.
QString deviceLine(const QStringList& fields);

struct Text
{
    QByteArray data;     // the whole file
    int deviceLines = 0; // device lines written (header lines not counted)
};
// One entry per department in list order, each the field lists of its devices in order.
// Every department contributes its header line, also one without devices.
Text fileText(const QList<QList<QStringList>>& departments);

// The chosen file name with ".csv" appended unless it already ends with it (ignoring case).
QString withCsvSuffix(const QString& fileName);

} // namespace rvx::exportcsv

#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The text of an exported device list: for every department in list order the header line,
// then one line per device. Fields are joined by ","; every line ends with carriage return and
// line feed. The file is UTF-8. Values come from devices, so a field is quoted when it holds a
// comma, a double quote or a line break (quotes doubled inside), and a field that a spreadsheet
// would take for a formula gets a leading single quote; other values are written as they are.
namespace rvx::exportcsv {

// The twelve column titles, in order.
QStringList titles();
// The titles joined by "," (no line end).
QString headerLine();
// One field as written: quoted when it holds ",", "\"" or a line break; a leading "=", "+", "-",
// "@", tab or carriage return is neutralised with a single quote first.
QString field(const QString& value);
// One device's twelve fields, each written by field(), joined by "," (no line end).
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

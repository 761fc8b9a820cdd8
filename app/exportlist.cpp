#include "exportlist.h"

#include "departments.h"

#include "ask.h"
#include "devicetext.h"
#include "exportcsv.h"
#include "savefile.h"
#include "thinclientinfo.h"

#include <QDir>
#include <QSaveFile>

using rvx::Ask;

void exportDeviceList(QWidget* parent, const DepartmentList& departments, bool anySelected)
{
    const QString title = QStringLiteral("Export Device List");
    if (!anySelected) {
        Ask::critical(parent, title,
                      QStringLiteral("\nNo devices selected! You must select at least one device."));
        return;
    }
    QString path = Ask::getSaveFileName(
        parent, QStringLiteral("Save file as"), QDir::toNativeSeparators(QDir::homePath()),
        QStringLiteral("Comma Separated Values (*.csv)"), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    path = rvx::exportcsv::withCsvSuffix(path);

    QList<QList<QStringList>> fields;
    fields.reserve(departments.size());
    for (const DeptInfo* dept : departments.items()) {
        QList<QStringList> lines;
        lines.reserve(dept->devices.size());
        for (const ThinclientInfo* device : dept->devices)
            lines.append(exportFields(*device));
        fields.append(lines);
    }
    const rvx::exportcsv::Text text = rvx::exportcsv::fileText(fields);

    // The lines carry their own CR LF; the file is written as bytes. A file that cannot be
    // written completely is reported, never announced as exported.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || !rvx::writeAndCommit(file, text.data)) {
        Ask::critical(parent, QStringLiteral("File Create Error"),
                      QStringLiteral("Error creating file:\n\n") + QDir::toNativeSeparators(path));
        return;
    }
    Ask::information(parent, QStringLiteral("Export Completed"),
                     QStringLiteral("\nData for ") + QString::number(text.deviceLines) +
                         QStringLiteral(" devices has been exported."));
}

// Export of the device list of every department as a CSV file.

#include "mainwindow.h"

#include "ask.h"
#include "devicetext.h"
#include "exportcsv.h"
#include "thinclientinfo.h"

#include <QDir>
#include <QSaveFile>

using rvx::Ask;

void MainWindow::on_export_device_list_triggered()
{
    const QString title = QStringLiteral("Export Device List");
    // The selection only gates the export: every device of every department is written.
    if (selectedDevices(false).isEmpty()) {
        Ask::critical(this, title,
                      QStringLiteral("\nNo devices selected! You must select at least one device."));
        return;
    }
    QString path = Ask::getSaveFileName(
        this, QStringLiteral("Save file as"), QDir::toNativeSeparators(QDir::homePath()),
        QStringLiteral("Comma Separated Values (*.csv)"), QFileDialog::DontUseNativeDialog);
    if (path.isEmpty())
        return;
    path = rvx::exportcsv::withCsvSuffix(path);

    QList<QList<QStringList>> departments;
    departments.reserve(m_departments.size());
    for (const DeptInfo* dept : m_departments.items()) {
        QList<QStringList> lines;
        lines.reserve(dept->devices.size());
        for (const ThinclientInfo* device : dept->devices)
            lines.append(exportFields(*device));
        departments.append(lines);
    }
    const rvx::exportcsv::Text text = rvx::exportcsv::fileText(departments);

    // The lines carry their own CR LF; the file is written as bytes. A file that cannot be
    // written completely is reported, never announced as exported.
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data) != text.data.size() || !file.commit()) {
        file.cancelWriting();
        Ask::critical(this, QStringLiteral("File Create Error"),
                      QStringLiteral("Error creating file:\n\n") + QDir::toNativeSeparators(path));
        return;
    }
    Ask::information(this, QStringLiteral("Export Completed"),
                     QStringLiteral("\nData for ") + QString::number(text.deviceLines) +
                         QStringLiteral(" devices has been exported."));
}

#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

namespace Ui {
class DlgSelectHotfixes;
}

// The hotfixes of one firmware type's folder that apply to one firmware version, one row
// each (the name part of the file name); the administrator selects the ones to install. On
// OK the caller's list receives the absolute paths of the selected rows in row order.
//
// A folder that does not exist is created; when that fails the box says so and the dialog
// is not usable (exec() returns Rejected at once).
class DlgSelectHotfixes : public QDialog
{
    Q_OBJECT

public:
    DlgSelectHotfixes(QWidget* parent, QStringList& result, const QString& folder,
                      const QString& firmwareVersion);
    ~DlgSelectHotfixes() override;

    bool folderReady() const { return m_ready; }
    // The absolute paths of the rows, in row order.
    QStringList rowPaths() const { return m_paths; }

public slots:
    int exec() override;
    void accept() override;

private:
    Ui::DlgSelectHotfixes* ui;
    QStringList* m_result;
    QStringList m_paths;
    bool m_ready = false;
};

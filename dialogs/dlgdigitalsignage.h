#pragma once

#include "signage.h"

#include <QDialog>

namespace Ui {
class DlgDigitalSignage;
}

// The content of one output in the legacy signage mode: images, videos or web content, the
// cycle time, the URLs of web content and the server folder whose files the device copies.
// Starts from the caller's values; on Accepted they hold the output's new action, cycle time,
// URL and folder. A folder chosen with "Browse" is announced with folderPicked().
class DlgDigitalSignage : public QDialog
{
    Q_OBJECT

public:
    DlgDigitalSignage(QWidget* parent, int output, signage::OutputValues& values);
    ~DlgDigitalSignage() override;

    QString action() const;

signals:
    void folderPicked(const QString& folder);

public slots:
    void OnMoviesToggled(bool checked);
    void OnBrowserToggled(bool checked);
    void onBrowseClicked();
    void onUrlChanged(const QString& text);
    void accept() override;

private:
    void updateFields();

    Ui::DlgDigitalSignage* ui;
    int m_output;
    signage::OutputValues* m_values;
};

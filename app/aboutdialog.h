#pragma once

#include <QDialog>

namespace Ui {
class AboutDialog;
}

// The about box: the logo, the product name and version, and a way to the user manual.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    ~AboutDialog() override;

signals:
    // "Online Help" was pressed: the window opens the user manual.
    void onlineHelpRequested();

private:
    Ui::AboutDialog* ui;
};

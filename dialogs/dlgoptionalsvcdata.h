#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class DlgOptionalSvcData;
}

// Switches an optional device service on or off and, when the caller asks for them,
// collects a value and a password (typed twice). A null pointer means "not asked": the
// field is hidden. The information text, when given, is shown as a note in the group.
// The caller's variables are written only when the dialog is accepted; a service switched
// off comes back with its value and password emptied.
class DlgOptionalSvcData : public QDialog
{
    Q_OBJECT

public:
    DlgOptionalSvcData(QWidget* parent, bool* enabled, QString* value, QString* password,
                       const QString& serviceName, bool passwordOptional, const QString& info = QString());
    ~DlgOptionalSvcData() override;

public slots:
    void accept() override;

private slots:
    void onServiceToggled(bool on);
    void onConfirmEdited();

private:
    Ui::DlgOptionalSvcData* ui;
    bool* m_enabled;
    QString* m_value;
    QString* m_password;
    bool m_passwordOptional;
    bool m_confirmEdited = false;
};

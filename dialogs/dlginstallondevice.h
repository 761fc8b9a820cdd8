#pragma once

#include "install.h"

#include <QDialog>
#include <QString>

namespace Ui {
class DlgInstallOnDevice;
}

// Picks a file to install on the selected devices and its kind (certificate, printer
// description, SSH key, wallpaper, certificate bundle, bookmarks, OpenVPN configuration);
// a certificate bundle also needs the password that decrypts it. OK runs the checks of
// upgrade::installRefusal in order, each refusal keeping the dialog open with what was
// entered; after Accepted the caller reads the choice.
class DlgInstallOnDevice : public QDialog
{
    Q_OBJECT

public:
    // Kind 1 to 7 selects that entry; 0 or anything else the first.
    DlgInstallOnDevice(QWidget* parent, int initialKind);
    ~DlgInstallOnDevice() override;

    int kind() const { return m_kind; }
    QString path() const { return m_path; }
    QString destinationName() const { return m_name; }
    qint64 size() const { return m_size; }
    QString password() const { return m_password; } // empty unless kind 5
    upgrade::InstallInput input() const { return upgrade::InstallInput{m_kind, m_path, m_password}; }

public slots:
    void onKindChanged(int index);
    void onBrowse();
    void onShowPassword(bool checked);
    void accept() override;

private:
    int currentKind() const;

    Ui::DlgInstallOnDevice* ui;
    int m_kind = 0;
    QString m_path;
    QString m_name;
    qint64 m_size = 0;
    QString m_password;
};

#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class DlgShadowing;
}

// The default shadower of a device's sessions: the relay host, its port and whether the
// shadower may only watch. The three values are the caller's; they are written only when the
// dialog is accepted.
class DlgShadowing : public QDialog
{
    Q_OBJECT

public:
    static constexpr int DefaultPort = 443;
    static QString defaultHost();

    DlgShadowing(QWidget* parent, QString& hostname, QString& port, bool& viewOnly);
    ~DlgShadowing() override;

public slots:
    void accept() override;

private:
    Ui::DlgShadowing* ui;
    QString* m_hostname;
    QString* m_port;
    bool* m_viewOnly;
};

#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class DlgTextViewer;
}

// Shows a plain text (news, help) or lets the administrator edit one (a device's boot
// configuration file). Which form is built depends on the text argument:
//   const QString&  read-only viewer with a Close button;
//   QString&        editor with OK and Cancel; on OK the whole text is stored back.
class DlgTextViewer : public QDialog
{
    Q_OBJECT

public:
    DlgTextViewer(QWidget* parent, const QString& title, const QString& text);
    DlgTextViewer(QWidget* parent, const QString& title, QString& text);
    ~DlgTextViewer() override;

    bool isEditable() const { return m_text != nullptr; }

public slots:
    void accept() override;

private:
    void setUp(const QString& title, const QString& text);

    Ui::DlgTextViewer* ui;
    QString* m_text = nullptr;
};

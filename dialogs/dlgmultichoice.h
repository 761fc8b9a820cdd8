#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class DlgMultiChoice;
}

// A choice among two or three options (radio buttons) under a prompt. The options are
// numbered 1 to 3; an empty third text leaves only two. choice() is valid after Accepted.
class DlgMultiChoice : public QDialog
{
    Q_OBJECT

public:
    DlgMultiChoice(QWidget* parent, const QString& title, const QString& prompt, int current,
                   const QString& text1, const QString& text2, const QString& text3 = QString());
    ~DlgMultiChoice() override;

    // 1, 2 or 3 once OK was pressed with an option checked; 0 before.
    int choice() const { return m_choice; }

public slots:
    // OK: takes the checked option and closes; with no option checked it does nothing.
    void accept() override;

private:
    Ui::DlgMultiChoice* ui;
    int m_choice = 0;
};

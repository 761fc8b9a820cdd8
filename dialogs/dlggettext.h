#pragma once

#include <QDialog>
#include <QString>

namespace Ui {
class DlgGetText;
}

// A one-line text prompt. The field starts with the caller's text; on OK a non-empty text is
// stored back into it. Filter modes for what the administrator types:
//   0  anything except line breaks and other control characters (comments, names);
//   1  ASCII letters, digits, "-" and "." (host names);
//   2  as 1, and "_" (playlist names).
// The first edit of a pre-filled field discards the old value unless it replaced it
// wholesale (select all, then type); an empty field keeps its first edit, pasted or typed.
class DlgGetText : public QDialog
{
    Q_OBJECT

public:
    DlgGetText(QWidget* parent, const QString& prompt, QString& text, int filterMode);
    ~DlgGetText() override;

    // Whether a character may be typed in the filter mode.
    static bool isAllowed(QChar c, int filterMode);

public slots:
    void onTextEdited(const QString& text);
    void accept() override;

private:
    Ui::DlgGetText* ui;
    QString* m_text;
    int m_filterMode;
    bool m_firstEdit;
};

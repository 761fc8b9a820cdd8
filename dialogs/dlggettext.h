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
// A pre-filled field opens with its text selected. Its first edit discards the old value and
// keeps only what the edit typed or pasted; an empty field keeps its first edit as it is.
class DlgGetText : public QDialog
{
    Q_OBJECT

public:
    DlgGetText(QWidget* parent, const QString& prompt, QString& text, int filterMode);
    ~DlgGetText() override;

    // Whether a character may be typed in the filter mode.
    static bool isAllowed(QChar c, int filterMode);
    // The characters an edit inserted into `before` to give `after` (empty for a deletion).
    static QString insertedText(const QString& before, const QString& after);

public slots:
    void onTextEdited(const QString& text);
    void accept() override;

private:
    Ui::DlgGetText* ui;
    QString* m_text;
    int m_filterMode;
    bool m_firstEdit;
    QString m_prefilled;
};

#include "dlggettext.h"

#include "ask.h"
#include "ui_dlggettext.h"

DlgGetText::DlgGetText(QWidget* parent, const QString& prompt, QString& text, int filterMode)
    : QDialog(parent)
    , ui(new Ui::DlgGetText)
    , m_text(&text)
    , m_filterMode(filterMode)
    , m_firstEdit(!text.isEmpty())
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgGetText::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgGetText::reject);
    connect(ui->tbxText, &QLineEdit::textEdited, this, &DlgGetText::onTextEdited);

    setWindowTitle(prompt);
    ui->lblPrompt->setText(prompt);
    ui->tbxText->setText(text);
    // A pre-filled value is shown selected: the first keystroke visibly replaces it.
    ui->tbxText->selectAll();
    m_prefilled = text;
}

DlgGetText::~DlgGetText()
{
    delete ui;
}

bool DlgGetText::isAllowed(QChar c, int filterMode)
{
    const ushort u = c.unicode();
    if (filterMode == 0)
        return c.category() != QChar::Other_Control && c != QChar::LineSeparator &&
               c != QChar::ParagraphSeparator;
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '.')
        return true;
    return u == '_' && filterMode == 2;
}

void DlgGetText::onTextEdited(const QString& text)
{
    // The first edit of a pre-filled value discards the value but keeps what the edit typed
    // or pasted: "l" typed at the end of "guidev" leaves "l", a deletion leaves nothing. An
    // empty field has nothing to discard: a name pasted into it stays.
    if (m_firstEdit) {
        m_firstEdit = false;
        const QString inserted = insertedText(m_prefilled, text);
        if (inserted != text) {
            ui->tbxText->setText(inserted);
            ui->tbxText->setCursorPosition(inserted.size());
            onTextEdited(inserted);
            return;
        }
    }
    if (text.isEmpty())
        return;

    // Every refused character goes, wherever it was typed or pasted; the cursor stays where
    // it was relative to the characters that remain.
    QString kept;
    kept.reserve(text.size());
    const int cursor = ui->tbxText->cursorPosition();
    int newCursor = cursor;
    for (int i = 0; i < text.size(); ++i) {
        if (isAllowed(text.at(i), m_filterMode))
            kept.append(text.at(i));
        else if (i < cursor)
            --newCursor;
    }
    if (kept.size() == text.size())
        return;
    ui->tbxText->setText(kept);
    ui->tbxText->setCursorPosition(newCursor);
}

QString DlgGetText::insertedText(const QString& before, const QString& after)
{
    // What an edit put in: the part of the new text between what it kept of the old one at
    // the start and at the end.
    int prefix = 0;
    const int shorter = qMin(before.size(), after.size());
    while (prefix < shorter && before.at(prefix) == after.at(prefix))
        ++prefix;
    int suffix = 0;
    while (suffix < shorter - prefix &&
           before.at(before.size() - 1 - suffix) == after.at(after.size() - 1 - suffix))
        ++suffix;
    return after.mid(prefix, after.size() - prefix - suffix);
}

void DlgGetText::accept()
{
    const QString text = ui->tbxText->text();
    if (text.isEmpty()) {
        rvx::Ask::information(this, tr("Input Validation"), tr("You must enter some text!"));
        return;
    }
    *m_text = text;
    QDialog::accept();
}

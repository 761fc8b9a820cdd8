#include "dlgtextviewer.h"

#include "ui_dlgtextviewer.h"

#include <QFontDatabase>

DlgTextViewer::DlgTextViewer(QWidget* parent, const QString& title, const QString& text)
    : QDialog(parent)
    , ui(new Ui::DlgTextViewer)
{
    setUp(title, text);
    ui->pteViewer->setReadOnly(true);
    ui->buttonBox->setStandardButtons(QDialogButtonBox::Close);
}

DlgTextViewer::DlgTextViewer(QWidget* parent, const QString& title, QString& text)
    : QDialog(parent)
    , ui(new Ui::DlgTextViewer)
    , m_text(&text)
{
    setUp(title, text);
    // Configuration files are edited line by line: no wrapping, columns line up.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    ui->pteViewer->setFont(font);
    ui->pteViewer->setLineWrapMode(QPlainTextEdit::NoWrap);
}

void DlgTextViewer::setUp(const QString& title, const QString& text)
{
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &DlgTextViewer::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &DlgTextViewer::reject);
    setWindowTitle(title);
    ui->pteViewer->setPlainText(text);
}

DlgTextViewer::~DlgTextViewer()
{
    delete ui;
}

void DlgTextViewer::accept()
{
    if (m_text)
        *m_text = ui->pteViewer->toPlainText();
    QDialog::accept();
}

#include "ask.h"

#include <QDialog>
#include <QQueue>

namespace rvx {

namespace {

struct State
{
    bool testMode = false;
    QList<Ask::Record> records;
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<QString> paths;
    QQueue<Ask::DialogScript> scripts;
};

State& state()
{
    static State s;
    return s;
}

QString buttonName(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes:
        return QStringLiteral("Yes");
    case QMessageBox::No:
        return QStringLiteral("No");
    case QMessageBox::Ok:
        return QStringLiteral("Ok");
    case QMessageBox::Cancel:
        return QStringLiteral("Cancel");
    case QMessageBox::NoButton:
        return QString();
    default:
        return QString::number(static_cast<int>(button));
    }
}

QMessageBox::StandardButton showBox(Ask::Kind kind, QWidget* parent, const QString& title,
                                    const QString& text, QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton)
{
    State& s = state();
    if (s.testMode) {
        Ask::Record record{
            kind, title, text, buttonName(defaultButton), buttons, defaultButton, parent != nullptr};
        s.records.append(record);
        if (kind != Ask::Kind::Question)
            return QMessageBox::Ok;
        if (!s.answers.isEmpty())
            return s.answers.dequeue();
        if (defaultButton != QMessageBox::NoButton)
            return defaultButton;
        return buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok;
    }
    const std::unique_ptr<QMessageBox> box =
        Ask::messageBox(kind, parent, title, text, buttons, defaultButton);
    return static_cast<QMessageBox::StandardButton>(box->exec());
}

QString chooser(Ask::Kind kind, QWidget* parent, const QString& caption, const QString& dir,
                const QString& filter, QFileDialog::Options options)
{
    State& s = state();
    if (s.testMode) {
        s.records.append(Ask::Record{kind, caption, dir, filter, QMessageBox::NoButton, QMessageBox::NoButton,
                                     parent != nullptr});
        return s.paths.isEmpty() ? QString() : s.paths.dequeue();
    }
    switch (kind) {
    case Ask::Kind::OpenFile:
        return QFileDialog::getOpenFileName(parent, caption, dir, filter, nullptr, options);
    case Ask::Kind::SaveFile:
        return QFileDialog::getSaveFileName(parent, caption, dir, filter, nullptr, options);
    default:
        return QFileDialog::getExistingDirectory(parent, caption, dir, options);
    }
}

} // namespace

std::unique_ptr<QMessageBox> Ask::messageBox(Kind kind, QWidget* parent, const QString& title,
                                             const QString& text, QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    QMessageBox::Icon icon = QMessageBox::Critical;
    switch (kind) {
    case Kind::Question:
        icon = QMessageBox::Question;
        break;
    case Kind::Information:
        icon = QMessageBox::Information;
        break;
    case Kind::Warning:
        icon = QMessageBox::Warning;
        break;
    default:
        break;
    }
    auto box = std::make_unique<QMessageBox>(icon, title, text, buttons, parent);
    // Names, paths and texts from devices, the mirror or files are shown as they are, never as
    // markup that Qt would guess from a leading tag.
    box->setTextFormat(Qt::PlainText);
    if (defaultButton != QMessageBox::NoButton)
        box->setDefaultButton(defaultButton);
    return box;
}

QMessageBox::StandardButton Ask::question(QWidget* parent, const QString& title, const QString& text,
                                          QMessageBox::StandardButtons buttons,
                                          QMessageBox::StandardButton defaultButton)
{
    return showBox(Kind::Question, parent, title, text, buttons, defaultButton);
}

bool Ask::confirm(QWidget* parent, const QString& title, const QString& text,
                  QMessageBox::StandardButton defaultButton)
{
    return question(parent, title, text, QMessageBox::Yes | QMessageBox::No, defaultButton) ==
           QMessageBox::Yes;
}

QMessageBox::StandardButton Ask::information(QWidget* parent, const QString& title, const QString& text)
{
    return showBox(Kind::Information, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

QMessageBox::StandardButton Ask::warning(QWidget* parent, const QString& title, const QString& text)
{
    return showBox(Kind::Warning, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

QMessageBox::StandardButton Ask::critical(QWidget* parent, const QString& title, const QString& text)
{
    return showBox(Kind::Critical, parent, title, text, QMessageBox::Ok, QMessageBox::NoButton);
}

QString Ask::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                             const QString& filter, QFileDialog::Options options)
{
    return chooser(Kind::OpenFile, parent, caption, dir, filter, options);
}

QString Ask::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                             const QString& filter, QFileDialog::Options options)
{
    return chooser(Kind::SaveFile, parent, caption, dir, filter, options);
}

QString Ask::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                  QFileDialog::Options options)
{
    return chooser(Kind::Directory, parent, caption, dir, QString(), options);
}

int Ask::exec(QDialog* dialog)
{
    State& s = state();
    if (!s.testMode)
        return dialog->exec();
    s.records.append(Record{Kind::Dialog, dialog->windowTitle(),
                            QString::fromLatin1(dialog->metaObject()->className()), QString(),
                            QMessageBox::NoButton, QMessageBox::NoButton, dialog->parent() != nullptr});
    dialog->setResult(QDialog::Rejected);
    if (s.scripts.isEmpty())
        return QDialog::Rejected;
    DialogScript script = s.scripts.dequeue();
    script(dialog);
    return dialog->result();
}

void Ask::setTestMode(bool on)
{
    State& s = state();
    s.testMode = on;
    s.records.clear();
    s.answers.clear();
    s.paths.clear();
    s.scripts.clear();
}

bool Ask::testMode()
{
    return state().testMode;
}

void Ask::answerNext(QMessageBox::StandardButton button)
{
    state().answers.enqueue(button);
}

void Ask::chooseNext(const QString& path)
{
    state().paths.enqueue(path);
}

void Ask::scriptNext(DialogScript script)
{
    state().scripts.enqueue(std::move(script));
}

const QList<Ask::Record>& Ask::records()
{
    return state().records;
}

void Ask::clearRecords()
{
    state().records.clear();
}

Ask::Record Ask::lastMessage()
{
    const auto& records = state().records;
    for (int i = records.size() - 1; i >= 0; --i) {
        const Kind kind = records.at(i).kind;
        if (kind == Kind::Question || kind == Kind::Information || kind == Kind::Warning ||
            kind == Kind::Critical)
            return records.at(i);
    }
    return Record{Kind::Information,     QString(), QString(), QString(), QMessageBox::NoButton,
                  QMessageBox::NoButton, false};
}

int Ask::pendingAnswers()
{
    const State& s = state();
    return s.answers.size() + s.paths.size() + s.scripts.size();
}

} // namespace rvx

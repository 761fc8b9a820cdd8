#pragma once

#include <QFileDialog>
#include <QList>
#include <QMessageBox>

#include <QString>
#include <memory>

#include <functional>

class QDialog;
class QWidget;

namespace rvx {

// The one seam through which the program shows message boxes, file and folder choosers
// and its own modal dialogs. In normal use each call shows the real thing. In test mode
// nothing modal is ever shown: every call is recorded (kind, title, text) and answered
// from a script the test queued beforehand, or with a neutral default.
class Ask
{
public:
    enum class Kind
    {
        Question,
        Information,
        Warning,
        Critical,
        OpenFile,
        SaveFile,
        Directory,
        Dialog
    };

    struct Record
    {
        Kind kind;
        QString title;
        QString text;  // message text; for choosers the starting folder; for dialogs the class name
        QString extra; // choosers: the filter; questions: the default button's name
        QMessageBox::StandardButtons buttons = QMessageBox::NoButton;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        bool parented = false;
    };

    // Message boxes. Each returns the button pressed.
    static QMessageBox::StandardButton
    question(QWidget* parent, const QString& title, const QString& text,
             QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No,
             QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
    // A Yes/No question: true when the answer is Yes.
    static bool confirm(QWidget* parent, const QString& title, const QString& text,
                        QMessageBox::StandardButton defaultButton = QMessageBox::Yes);
    // The box the calls above show outside test mode: plain text, the kind's icon, the buttons.
    static std::unique_ptr<QMessageBox> messageBox(Kind kind, QWidget* parent, const QString& title,
                                                   const QString& text, QMessageBox::StandardButtons buttons,
                                                   QMessageBox::StandardButton defaultButton);
    static QMessageBox::StandardButton information(QWidget* parent, const QString& title,
                                                   const QString& text);
    static QMessageBox::StandardButton warning(QWidget* parent, const QString& title, const QString& text);
    static QMessageBox::StandardButton critical(QWidget* parent, const QString& title, const QString& text);

    // Choosers. An empty result means the user cancelled.
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter, QFileDialog::Options options = {});
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter, QFileDialog::Options options = {});
    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir,
                                        QFileDialog::Options options = QFileDialog::ShowDirsOnly);

    // Runs a modal dialog (our own QDialog subclasses) and returns its result code.
    static int exec(QDialog* dialog);

    // ---- test side --------------------------------------------------------------------
    using DialogScript = std::function<void(QDialog*)>;

    // Test mode: nothing modal is shown. Turning it on clears records and queued answers.
    static void setTestMode(bool on);
    static bool testMode();
    // The next question is answered with this button (FIFO). Unanswered questions get
    // their default button (or the first of Yes/Ok when there is none).
    static void answerNext(QMessageBox::StandardButton button);
    // The next chooser returns this path (FIFO); unanswered choosers return empty.
    static void chooseNext(const QString& path);
    // The next modal dialog runs this script instead of its event loop: the script sets
    // widgets and calls accept() or reject(); exec() then returns the dialog's result.
    // Unscripted dialogs are rejected.
    static void scriptNext(DialogScript script);
    static const QList<Record>& records();
    static void clearRecords();
    // The last message box shown (an empty record when none was).
    static Record lastMessage();
    // Counts of queued answers not yet used (a test can assert its script was consumed).
    static int pendingAnswers();
};

} // namespace rvx

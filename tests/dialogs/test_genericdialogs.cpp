#include "ask.h"
#include "dlggettext.h"
#include "dlgmultichoice.h"
#include "dlgtextviewer.h"
#include "guisupport.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using rvx::Ask;

namespace {

// Types each character as a key press (also characters without a key of their own).
void type(QLineEdit* edit, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() < 128) {
            QTest::keyClicks(edit, QString(c));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &release);
    }
}

} // namespace

class TestGenericDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { Ask::clearRecords(); }

    void multiChoiceOptions_data();
    void multiChoiceOptions();
    void multiChoiceOkWithoutChoiceDoesNothing();

    void getTextFilter_data();
    void getTextFilter();
    void getTextFirstEdit();
    void getTextRefusedCharacterInsideText();
    void getTextLineBreaksNeverKept();
    void getTextOk();

    void textViewerReadOnly();
    void textViewerEditable();

    void messageBoxesArePlainText_data();
    void messageBoxesArePlainText();
};

void TestGenericDialogs::multiChoiceOptions_data()
{
    QTest::addColumn<QString>("third");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("visibleOptions");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("expected");

    QTest::newRow("two options, first") << QString() << 1 << 2 << 146 << 1;
    QTest::newRow("two options, second") << QString() << 2 << 2 << 146 << 2;
    QTest::newRow("third asked but absent") << QString() << 3 << 2 << 146 << 0;
    QTest::newRow("three options, third") << QString("Factory defaults") << 3 << 3 << 170 << 3;
    QTest::newRow("three options, second") << QString("Factory defaults") << 2 << 3 << 170 << 2;
}

void TestGenericDialogs::multiChoiceOptions()
{
    QFETCH(QString, third);
    QFETCH(int, current);
    QFETCH(int, visibleOptions);
    QFETCH(int, height);
    QFETCH(int, expected);

    QWidget parent;
    DlgMultiChoice dialog(&parent, "Set Reset State", "When reset, revert to:", current,
                          "Current settings (create new reset state)", "Existing saved state (if any)",
                          third);
    QCOMPARE(dialog.windowTitle(), QString("Set Reset State"));
    QCOMPARE(dialog.findChild<QLabel*>("lblPrompt")->text(), QString("When reset, revert to:"));

    const QList<QRadioButton*> options = {dialog.findChild<QRadioButton*>("rdbtnChoice1"),
                                          dialog.findChild<QRadioButton*>("rdbtnChoice2"),
                                          dialog.findChild<QRadioButton*>("rdbtnChoice3")};
    int visible = 0;
    for (QRadioButton* option : options)
        visible += option->isVisibleTo(&dialog) ? 1 : 0;
    QCOMPARE(visible, visibleOptions);
    QCOMPARE(options[2]->isEnabled(), !third.isEmpty());
    QCOMPARE(dialog.height(), height);
    QCOMPARE(options[1]->text(), QString("Existing saved state (if any)"));

    dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.choice(), expected);
    QCOMPARE(dialog.result(), expected ? int(QDialog::Accepted) : int(QDialog::Rejected));
}

void TestGenericDialogs::multiChoiceOkWithoutChoiceDoesNothing()
{
    DlgMultiChoice dialog(nullptr, "RVX Client Log Setting", "Set RVX client log status to:", 0, "Debug",
                          "Quiet", QString());
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.choice(), 0);

    // Choosing afterwards still works; Cancel leaves the result alone.
    dialog.findChild<QRadioButton*>("rdbtnChoice2")->click();
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.choice(), 2);
}

void TestGenericDialogs::getTextFilter_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("hostname refuses underscore") << 1 << "lab_1"
                                                 << "lab1";
    QTest::newRow("hostname refuses space") << 1 << "lab 1"
                                            << "lab1";
    QTest::newRow("hostname keeps letters, digits, - and .") << 1 << "Lab-1.site"
                                                             << "Lab-1.site";
    QTest::newRow("hostname refuses other punctuation") << 1 << "a/b:c=d"
                                                        << "abcd";
    QTest::newRow("hostname refuses non-ASCII letters") << 1 << QString::fromUtf8("caf\u00e9") << "caf";
    QTest::newRow("playlist accepts underscore") << 2 << "my_list"
                                                 << "my_list";
    QTest::newRow("playlist refuses space") << 2 << "my list"
                                            << "mylist";
    QTest::newRow("comment accepts anything printable")
        << 0 << QString::fromUtf8("Room 4 / caf\u00e9_2") << QString::fromUtf8("Room 4 / caf\u00e9_2");
}

void TestGenericDialogs::getTextFilter()
{
    QFETCH(int, mode);
    QFETCH(QString, typed);
    QFETCH(QString, expected);

    QString text;
    DlgGetText dialog(nullptr, "Enter device hostname:", text, mode);
    auto* edit = dialog.findChild<QLineEdit*>("tbxText");
    type(edit, typed);
    QCOMPARE(edit->text(), expected);
}

void TestGenericDialogs::getTextFirstEdit()
{
    QString text = "abc";
    {
        DlgGetText dialog(nullptr, "Enter device hostname:", text, 1);
        auto* edit = dialog.findChild<QLineEdit*>("tbxText");
        QCOMPARE(edit->text(), QString("abc"));
        QCOMPARE(edit->selectedText(), QString("abc")); // visibly about to be replaced
        QCOMPARE(dialog.findChild<QLabel*>("lblPrompt")->text(), QString("Enter device hostname:"));
        QTest::keyClick(edit, Qt::Key_D);
        QCOMPARE(edit->text(), QString("d"));
        // Only the first edit discards: typing goes on normally.
        QTest::keyClicks(edit, "ab");
        QCOMPARE(edit->text(), QString("dab"));
    }
    {
        // The cursor moved to the end first: the first keystroke still replaces the value,
        // and is kept ("labhost7" typed over "guidev" gives "labhost7").
        QString host = "guidev";
        DlgGetText dialog(nullptr, "Enter device hostname:", host, 1);
        auto* edit = dialog.findChild<QLineEdit*>("tbxText");
        edit->end(false);
        QTest::keyClick(edit, Qt::Key_L);
        QCOMPARE(edit->text(), QString("l"));
        QTest::keyClicks(edit, "abhost7");
        QCOMPARE(edit->text(), QString("labhost7"));
    }
    {
        // A refused first keystroke leaves nothing of the old value either.
        QString host = "guidev";
        DlgGetText dialog(nullptr, "Enter device hostname:", host, 1);
        auto* edit = dialog.findChild<QLineEdit*>("tbxText");
        edit->home(false);
        QTest::keyClick(edit, Qt::Key_Underscore);
        QCOMPARE(edit->text(), QString());
    }
    {
        DlgGetText dialog(nullptr, "Enter device hostname:", text, 1);
        auto* edit = dialog.findChild<QLineEdit*>("tbxText");
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_X);
        QCOMPARE(edit->text(), QString("x"));
    }
    {
        // A deletion is an edit too.
        DlgGetText dialog(nullptr, "Enter your description or comment:", text, 0);
        auto* edit = dialog.findChild<QLineEdit*>("tbxText");
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
    }
    QCOMPARE(text, QString("abc"));

    // A name pasted into an empty prompt is kept.
    QString empty;
    DlgGetText dialog(nullptr, "Enter department name:", empty, 0);
    auto* edit = dialog.findChild<QLineEdit*>("tbxText");
    edit->setText("Sales floor");
    dialog.onTextEdited(edit->text());
    QCOMPARE(edit->text(), QString("Sales floor"));
}

void TestGenericDialogs::getTextRefusedCharacterInsideText()
{
    // A refused character typed between others is removed, not the last character.
    QString text;
    DlgGetText dialog(nullptr, "Enter device hostname:", text, 1);
    auto* edit = dialog.findChild<QLineEdit*>("tbxText");
    QTest::keyClicks(edit, "labpc");
    edit->setCursorPosition(3);
    QTest::keyClick(edit, Qt::Key_Underscore);
    QCOMPARE(edit->text(), QString("labpc"));
    QCOMPARE(edit->cursorPosition(), 3);
    QTest::keyClick(edit, Qt::Key_Minus);
    QCOMPARE(edit->text(), QString("lab-pc"));
}

void TestGenericDialogs::getTextLineBreaksNeverKept()
{
    // A pasted line break would end the configuration line the text is sent in.
    for (int mode : {0, 1, 2}) {
        QString text;
        DlgGetText dialog(nullptr, "Enter your description or comment:", text, mode);
        auto* edit = dialog.findChild<QLineEdit*>("tbxText");
        QTest::keyClick(edit, Qt::Key_A);
        edit->setText("a\nbrd_hostname=x\r");
        dialog.onTextEdited(edit->text());
        QCOMPARE(edit->text(), mode == 0 ? QString("abrd_hostname=x")
                                         : QString(mode == 1 ? "abrdhostnamex" : "abrd_hostnamex"));
    }
}

void TestGenericDialogs::getTextOk()
{
    QString text = "old";
    QWidget parent;
    DlgGetText dialog(&parent, "Enter department name:", text, 0);
    auto* edit = dialog.findChild<QLineEdit*>("tbxText");
    edit->clear();
    dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(Ask::records().size(), 1);
    const Ask::Record box = Ask::lastMessage();
    QCOMPARE(int(box.kind), int(Ask::Kind::Information));
    QCOMPARE(box.title, QString("Input Validation"));
    QCOMPARE(box.text, QString("You must enter some text!"));
    QVERIFY(box.parented);
    QCOMPARE(text, QString("old"));

    edit->setText("Sales floor");
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(text, QString("Sales floor"));
}

void TestGenericDialogs::textViewerReadOnly()
{
    const QString news = "Firmware 4.10.2 released.\nSee the notes.";
    DlgTextViewer dialog(nullptr, "Release news", news);
    auto* viewer = dialog.findChild<QPlainTextEdit*>("pteViewer");
    QVERIFY(viewer);
    QVERIFY(viewer->isReadOnly());
    QVERIFY(!dialog.isEditable());
    QCOMPARE(viewer->toPlainText(), news);
    QCOMPARE(viewer->font().pointSize(), 10);
    QCOMPARE(dialog.windowTitle(), QString("Release news"));
}

void TestGenericDialogs::textViewerEditable()
{
    QString config = "dtoverlay=vc4-kms-v3d\n";
    {
        DlgTextViewer dialog(nullptr, "config.txt", config);
        auto* viewer = dialog.findChild<QPlainTextEdit*>("pteViewer");
        QVERIFY(!viewer->isReadOnly());
        QCOMPARE(viewer->font().pointSize(), 10);
        viewer->appendPlainText("gpu_mem=128");
        dialog.reject();
    }
    QCOMPARE(config, QString("dtoverlay=vc4-kms-v3d\n"));

    DlgTextViewer dialog(nullptr, "config.txt", config);
    auto* viewer = dialog.findChild<QPlainTextEdit*>("pteViewer");
    viewer->setPlainText("dtoverlay=vc4-kms-v3d\ngpu_mem=128\n");
    dialog.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok)->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(config, QString("dtoverlay=vc4-kms-v3d\ngpu_mem=128\n"));
}

void TestGenericDialogs::messageBoxesArePlainText_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("defaultButton");
    QTest::newRow("question") << int(Ask::Kind::Question) << int(QMessageBox::Question)
                              << int(QMessageBox::Yes | QMessageBox::No) << int(QMessageBox::No);
    QTest::newRow("information") << int(Ask::Kind::Information) << int(QMessageBox::Information)
                                 << int(QMessageBox::Ok) << int(QMessageBox::NoButton);
    QTest::newRow("warning") << int(Ask::Kind::Warning) << int(QMessageBox::Warning) << int(QMessageBox::Ok)
                             << int(QMessageBox::NoButton);
    QTest::newRow("critical") << int(Ask::Kind::Critical) << int(QMessageBox::Critical)
                              << int(QMessageBox::Ok) << int(QMessageBox::NoButton);
}

// A host name or a catalogue comment that looks like markup is shown as it is: Qt would
// otherwise guess rich text from the leading tag and render (or hide) it.
void TestGenericDialogs::messageBoxesArePlainText()
{
    QFETCH(int, kind);
    QFETCH(int, icon);
    QFETCH(int, buttons);
    QFETCH(int, defaultButton);
    const QString text = "<b>lab-1</b><img src=x>\n\nwas refused";
    const auto box =
        Ask::messageBox(Ask::Kind(kind), nullptr, "Title", text, QMessageBox::StandardButtons(buttons),
                        QMessageBox::StandardButton(defaultButton));
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QCOMPARE(box->text(), text);
    QCOMPARE(int(box->icon()), icon);
    QCOMPARE(int(box->standardButtons()), buttons);
    QCOMPARE(box->windowTitle(), QString("Title"));
    if (defaultButton != QMessageBox::NoButton)
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::StandardButton(defaultButton)));
    auto* label = box->findChild<QLabel*>("qt_msgbox_label");
    QVERIFY(label);
    QCOMPARE(label->textFormat(), Qt::PlainText);
}

RVX_GUI_TEST_MAIN(TestGenericDialogs)
#include "test_genericdialogs.moc"

#pragma once

#include "testsupport.h"

#include <QApplication>
#include <QtTest>

namespace rvx::test {
// initEnvironment() plus the scripted message-box seam (nothing modal is ever shown).
void initGuiEnvironment();

// A dialog's widget by object name; the test stops when there is none.
template <typename T>
T* child(QObject& dialog, const char* name)
{
    T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}
} // namespace rvx::test

// main() for tests that use widgets.
#define RVX_GUI_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        rvx::test::preparePrivateHome(argv[0]);                                                              \
        QApplication app(argc, argv);                                                                        \
        rvx::test::initGuiEnvironment();                                                                     \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

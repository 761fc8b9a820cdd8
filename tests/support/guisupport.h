#pragma once

#include "sanitizer.h"
#include "testsupport.h"

#include <QApplication>
#include <QtTest>

#ifdef RVX_TEST_ASAN
#include <sanitizer/lsan_interface.h>
#endif

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

// Qt 5's offscreen platform plugin never frees the screen objects it creates while the
// application starts. In a sanitizer build, what is allocated from construction to end() is
// left out of the leak check; everything the test does afterwards is checked.
class ApplicationStartLeaks
{
public:
    ApplicationStartLeaks()
    {
#ifdef RVX_TEST_ASAN
        __lsan_disable();
#endif
    }
    void end()
    {
#ifdef RVX_TEST_ASAN
        if (!m_ended)
            __lsan_enable();
#endif
        m_ended = true;
    }
    ~ApplicationStartLeaks()
    {
        end();
    }

private:
    bool m_ended = false;
};
} // namespace rvx::test

// main() for tests that use widgets.
#define RVX_GUI_TEST_MAIN(TestObject)                                                                        \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        rvx::test::preparePrivateHome(argv[0]);                                                              \
        rvx::test::ApplicationStartLeaks startLeaks;                                                         \
        QApplication app(argc, argv);                                                                        \
        startLeaks.end();                                                                                    \
        rvx::test::initGuiEnvironment();                                                                     \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

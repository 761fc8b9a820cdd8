#pragma once

#include "testsupport.h"

#include <QApplication>
#include <QtTest>

namespace rvx::test {
// initEnvironment() plus the scripted message-box seam (nothing modal is ever shown).
void initGuiEnvironment();
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

#pragma once

#include "testsupport.h"

#include <QCoreApplication>
#include <QtTest>

// main() for tests that link no QtWidgets.
#define RVX_TEST_MAIN(TestObject)                                                                            \
    int main(int argc, char** argv)                                                                          \
    {                                                                                                        \
        rvx::test::preparePrivateHome(argv[0]);                                                              \
        QCoreApplication app(argc, argv);                                                                    \
        rvx::test::initEnvironment();                                                                        \
        TestObject tc;                                                                                       \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

#pragma once

// A window test's base: add this header to the test's SOURCES so that it is moc'ed with the
// test, whose include paths reach the window.

#include "windowfixture.h"

namespace rvx::test {

// The base of window tests that start a fresh window for every test function and leave no
// scripted answer unused.
class WindowTest : public QObject
{
    Q_OBJECT

protected:
    std::unique_ptr<WindowFixture> f;

private slots:
    void init()
    {
        f = WindowFixture::started();
        QVERIFY(f);
    }
    void cleanup()
    {
        f.reset();
        QCOMPARE(Ask::pendingAnswers(), 0);
    }
};

} // namespace rvx::test

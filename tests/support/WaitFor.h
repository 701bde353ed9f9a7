// Waits on a condition while the event loop runs, with a generous deadline
// (the same polling that QTRY_VERIFY does).
#pragma once

#include <QDeadlineTimer>
#include <QTest>

namespace qvc::test {

template <typename Condition> bool WaitFor(Condition condition, int timeoutMs = 10000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return condition();
        }
        QTest::qWait(2);
    }
    return true;
}

} // namespace qvc::test

#pragma once

#include <QDeadlineTimer>
#include <QTest>

namespace kolvo::test {

// Processes events until `ready` holds or `ms` pass; false on time-out.
template <class F> bool waitUntil(F ready, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!ready()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(2);
    }
    return true;
}

} // namespace kolvo::test

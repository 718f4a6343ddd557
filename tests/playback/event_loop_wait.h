#pragma once

// Waiting in sound tests runs the event loop the way the program does.
// QTest's waits sleep between passes of the loop, which would make the
// window's timer end a sound later than it does in the program.

#include <QEventLoop>
#include <QTimer>
#include <functional>

namespace sonabank::test {

// True when `done` became true within `ms` milliseconds.
inline bool RunEventsUntil(const std::function<bool()>& done, int ms) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

inline void RunEventsFor(int ms) {
    RunEventsUntil([] { return false; }, ms);
}

}  // namespace sonabank::test

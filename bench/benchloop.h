// What the benchmarks share besides their figures: the process's CPU time, and running the event
// loop until something holds.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

#include <functional>
#include <sys/resource.h>

// User and system CPU seconds of this process so far.
inline double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// How often the calling thread (the event loop's) has gone to sleep waiting for something (its
// voluntary context switches): each is a wake-up, which costs much the same however little the
// wake-up then does.
inline long sleepsSoFar() {
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_nvcsw;
}

// Runs the event loop until done() holds or the time is up, looking every `pollMs`.
inline bool runUntil(const std::function<bool()>& done, int timeoutMs, int pollMs = 5) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs) loop.quit();
    });
    poll.start(pollMs);
    if (!done()) loop.exec();
    return done();
}

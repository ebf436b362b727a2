#pragma once

#include <QEventLoop>
#include <QTimer>

#include <functional>

// Runs the event loop (sleeping, not spinning: a spinning loop would take the cores the window
// needs) until fnDone holds or nMs have passed. For the benchmark modes.
inline void RunEventsUntil(int nMs, const std::function<bool()>& fnDone)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop,
                     [&]
                     {
                         if (fnDone())
                             loop.quit();
                     });
    QTimer::singleShot(nMs, &loop, &QEventLoop::quit);
    poll.start(1);
    loop.exec();
}

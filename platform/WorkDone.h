#pragma once

#include <atomic>
#include <functional>
#include <mutex>

// The end of a task on a worker thread, and the one call a waiting thread asks to have made at
// that end.
class CWorkDone
{
public:
    bool IsDone() const { return m_bDone.load(std::memory_order_acquire); }
    // Has fnDone called once the task has ended: at once, on the calling thread, when it has
    // ended already; otherwise on the worker as its last act, so fnDone must be safe to call from
    // another thread (posting an event is). A later call replaces an earlier one; null cancels,
    // and once that returns fnDone is not running and will not run.
    void NotifyWhenDone(std::function<void()> fnDone)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!IsDone())
        {
            m_fnDone = std::move(fnDone);
            return;
        }
        m_fnDone = nullptr;
        lock.unlock();
        if (fnDone)
            fnDone();
    }
    // The worker's last act: the task has ended, and the call asked for is made.
    void SetDone()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone.store(true, std::memory_order_release);
        if (m_fnDone)
            m_fnDone();
    }

private:
    std::atomic<bool> m_bDone{false};
    std::mutex m_mutex; // guards m_fnDone and its call
    std::function<void()> m_fnDone;
};

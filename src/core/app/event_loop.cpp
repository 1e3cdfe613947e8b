#include "core/app/event_loop.h"

#include <future>

namespace tovakin::app {

void EventLoop::post(Task task) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_quit) {
            m_tasks.push_back(std::move(task));
        }
    }
    // After quit() the task is dropped here, outside the lock.
    m_wake.notify_one();
}

void EventLoop::run() {
    m_loopThread = std::this_thread::get_id();
    while (!quitting()) {
        runOne(Clock::now() + std::chrono::hours(1));
    }
    // Tasks still queued are dropped: the window is gone. Their owners may be
    // waiting in invoke(), so destroy them (which breaks their promises).
    std::deque<Task> dropped;
    {
        std::lock_guard lock(m_mutex);
        dropped.swap(m_tasks);
    }
}

void EventLoop::quit() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
}

bool EventLoop::quitting() const {
    std::lock_guard lock(m_mutex);
    return m_quit;
}

bool EventLoop::runOne(Clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    while (true) {
        if (m_quit) {
            return false;
        }
        if (!m_tasks.empty()) {
            Task task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            return true;
        }
        const auto now = Clock::now();
        Clock::time_point nextDue = deadline;
        for (auto& [name, timer] : m_timers) {
            if (timer.period <= 0 || timer.running) {
                continue;
            }
            if (timer.due <= now) {
                // Next tick one period after this one, but never a burst of
                // catch-up ticks after a long handler.
                timer.due = std::max(timer.due + std::chrono::milliseconds(timer.period), now);
                timer.running = true;
                Task handler = timer.handler;
                const std::string timerName = name;
                lock.unlock();
                if (handler) {
                    handler();
                }
                lock.lock();
                if (auto again = m_timers.find(timerName); again != m_timers.end()) {
                    again->second.running = false;
                }
                return true;
            }
            nextDue = std::min(nextDue, timer.due);
        }
        if (now >= deadline) {
            return false;
        }
        m_wake.wait_until(lock, nextDue);
        if (Clock::now() >= deadline && m_tasks.empty()) {
            return false;
        }
    }
}

void EventLoop::pumpingWait(std::chrono::milliseconds duration) {
    const auto deadline = Clock::now() + duration;
    while (Clock::now() < deadline && !quitting()) {
        runOne(deadline);
    }
}

bool EventLoop::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline || quitting()) {
            return done();
        }
        // Wake often enough to see a condition set by another thread.
        runOne(std::min(deadline, Clock::now() + std::chrono::milliseconds(10)));
    }
    return true;
}

bool EventLoop::invoke(Task task) {
    if (inLoopThread()) {
        task();
        return true;
    }
    auto done = std::make_shared<std::promise<void>>();
    auto future = done->get_future();
    // The promise lives only in the posted task, so a dropped task breaks it.
    post([task = std::move(task), done = std::move(done)] {
        task();
        done->set_value();
    });
    try {
        future.get();
        return true;
    } catch (const std::future_error&) {
        return false;  // the loop ended before the task ran
    }
}

void EventLoop::setTimerHandler(const std::string& name, Task handler) {
    std::lock_guard lock(m_mutex);
    m_timers[name].handler = std::move(handler);
}

void EventLoop::setTimerPeriod(const std::string& name, int milliseconds) {
    {
        std::lock_guard lock(m_mutex);
        Timer& timer = m_timers[name];
        timer.period = std::max(0, milliseconds);
        timer.due = Clock::now() + std::chrono::milliseconds(timer.period);
    }
    m_wake.notify_all();
}

int EventLoop::timerPeriod(const std::string& name) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_timers.find(name);
    return found == m_timers.end() ? 0 : found->second.period;
}

}  // namespace tovakin::app

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// Core's own event loop: the thread that plays the window's thread. Event
// handlers and timer handlers run here one after another, in the order they
// were posted. A handler may wait with pumpingWait(), during which other
// queued events and timers keep running (as a window's message loop would).
namespace tovakin::app {

class EventLoop {
public:
    using Task = std::function<void()>;
    using Clock = std::chrono::steady_clock;

    // Thread-safe; the task runs on the loop thread. Once the loop quits,
    // posted tasks are dropped.
    void post(Task task);

    // Runs on the calling thread, which becomes the loop thread, until quit().
    void run();
    void quit();
    bool quitting() const;
    bool inLoopThread() const { return std::this_thread::get_id() == m_loopThread.load(); }

    // On the loop thread: keeps running queued events and due timers for
    // `duration` (less when the loop is quitting).
    void pumpingWait(std::chrono::milliseconds duration);
    // On the loop thread: pumps until `done()` holds or `timeout` passes; returns done().
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // From another thread: runs `task` on the loop thread and waits for it.
    // Returns false when the loop quit before the task ran.
    bool invoke(Task task);

    // Timers are named; a timer's handler is set once, its period may change
    // any time, from any thread. Period 0 stops it. A handler never runs
    // re-entrantly inside itself.
    void setTimerHandler(const std::string& name, Task handler);
    void setTimerPeriod(const std::string& name, int milliseconds);
    int timerPeriod(const std::string& name) const;

private:
    struct Timer {
        Task handler;
        int period = 0;
        Clock::time_point due{};
        bool running = false;
    };

    // Runs one ready task or due timer, waiting at most until `deadline`.
    // Returns false when nothing ran.
    bool runOne(Clock::time_point deadline);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    std::map<std::string, Timer> m_timers;
    bool m_quit = false;
    std::atomic<std::thread::id> m_loopThread{};  // read from other threads by invoke()
};

}  // namespace tovakin::app

#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

// Threads for blocking work (upstream requests) that must not run on an I/O
// or window thread. The pool grows while jobs wait and no thread is free, up
// to its maximum, and shrinks back to its minimum after idle time, so a quiet
// program keeps few threads and a busy one is not capped at a handful.
namespace tovakin::query {

class WorkerPool {
public:
    WorkerPool(std::size_t minThreads, std::size_t maxThreads, std::chrono::milliseconds idleExit);
    ~WorkerPool();  // stop() with no grace
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Thread-safe. After stop() the job is dropped.
    void submit(std::function<void()> job);

    // Drops the jobs not yet started and waits up to `grace` for the running
    // ones. A job still running then (a request that hangs until its
    // time-out) finishes on its own thread; everything it uses must be held
    // by the job itself. Idempotent.
    void stop(std::chrono::milliseconds grace);

    std::size_t threadCount() const;

private:
    struct State;
    static void workerLoop(const std::shared_ptr<State>& state);
    std::shared_ptr<State> m_state;
};

}  // namespace tovakin::query

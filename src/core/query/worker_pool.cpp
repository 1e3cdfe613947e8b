#include "core/query/worker_pool.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

namespace tovakin::query {

struct WorkerPool::State {
    std::mutex mutex;
    std::condition_variable work;
    std::condition_variable exited;
    std::deque<std::function<void()>> jobs;
    std::size_t minThreads = 1;
    std::size_t maxThreads = 1;
    std::chrono::milliseconds idleExit{0};
    std::size_t threads = 0;
    std::size_t idle = 0;
    bool stopping = false;
};

WorkerPool::WorkerPool(std::size_t minThreads, std::size_t maxThreads, std::chrono::milliseconds idleExit)
    : m_state(std::make_shared<State>()) {
    m_state->maxThreads = std::max<std::size_t>(maxThreads, 1);
    m_state->minThreads = std::min(minThreads, m_state->maxThreads);
    m_state->idleExit = idleExit;
}

WorkerPool::~WorkerPool() {
    stop(std::chrono::milliseconds(0));
}

void WorkerPool::submit(std::function<void()> job) {
    std::unique_lock lock(m_state->mutex);
    if (m_state->stopping) {
        return;
    }
    m_state->jobs.push_back(std::move(job));
    if (m_state->idle >= m_state->jobs.size() || m_state->threads >= m_state->maxThreads) {
        lock.unlock();
        m_state->work.notify_one();
        return;
    }
    // Detached: a thread that outlives stop() keeps the state alive itself.
    ++m_state->threads;
    lock.unlock();
    try {
        std::thread([state = m_state] { workerLoop(state); }).detach();
    } catch (const std::system_error&) {
        // No thread to be had now: the threads there are take the job, or the next submit tries again.
        lock.lock();
        --m_state->threads;
        lock.unlock();
        m_state->work.notify_one();
    }
}

void WorkerPool::stop(std::chrono::milliseconds grace) {
    std::unique_lock lock(m_state->mutex);
    m_state->stopping = true;
    m_state->jobs.clear();
    m_state->work.notify_all();
    m_state->exited.wait_for(lock, grace, [this] { return m_state->threads == 0; });
}

std::size_t WorkerPool::threadCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->threads;
}

void WorkerPool::workerLoop(const std::shared_ptr<State>& state) {
    std::unique_lock lock(state->mutex);
    while (true) {
        if (state->jobs.empty() && !state->stopping) {
            ++state->idle;
            const bool woken = state->work.wait_for(lock, state->idleExit,
                                                    [&] { return !state->jobs.empty() || state->stopping; });
            --state->idle;
            if (!woken && state->threads > state->minThreads) {
                break;
            }
            continue;
        }
        if (state->stopping) {
            break;
        }
        std::function<void()> job = std::move(state->jobs.front());
        state->jobs.pop_front();
        lock.unlock();
        job();
        job = nullptr;  // what the job holds goes before the next wait
        lock.lock();
    }
    --state->threads;
    state->exited.notify_all();
}

}  // namespace tovakin::query

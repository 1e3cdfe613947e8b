#pragma once

#include <memory>
#include <mutex>

namespace tovakin::platform {

// A local calendar date and time of day with whole seconds.
struct LocalTime {
    int year = 1970;
    int month = 1;   // 1-12
    int day = 1;     // 1-31
    int hour = 0;    // 0-23
    int minute = 0;  // 0-59
    int second = 0;  // 0-59
    bool operator==(const LocalTime&) const = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

// The machine's local time.
class SystemClock final : public Clock {
public:
    LocalTime now() const override;
};

// A clock that shows whatever time a test sets.
class FakeClock final : public Clock {
public:
    explicit FakeClock(LocalTime time = {}) : m_time(time) {}
    LocalTime now() const override {
        std::lock_guard lock(m_mutex);
        return m_time;
    }
    void set(LocalTime time) {
        std::lock_guard lock(m_mutex);
        m_time = time;
    }

private:
    mutable std::mutex m_mutex;
    LocalTime m_time;
};

}  // namespace tovakin::platform

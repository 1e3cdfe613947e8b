#include "core/app/event_loop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tovakin::app {
namespace {

using namespace std::chrono_literals;

class EventLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_thread = std::jthread([this] { loop.run(); });
    }
    void TearDown() override {
        loop.quit();
        m_thread.join();
    }
    EventLoop loop;

private:
    std::jthread m_thread;
};

TEST_F(EventLoopTest, RunsPostedEventsInOrderOnItsOwnThread) {
    std::vector<int> order;
    std::thread::id ranOn;
    for (int i = 0; i < 100; ++i) {
        loop.post([&, i] { order.push_back(i); });
    }
    loop.invoke([&] { ranOn = std::this_thread::get_id(); });
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    }
    EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST_F(EventLoopTest, PumpingWaitRunsOtherEventsMeanwhile) {
    std::vector<std::string> steps;
    loop.invoke([&] {
        loop.post([&] { steps.push_back("second click"); });
        steps.push_back("wait begins");
        loop.pumpingWait(50ms);
        steps.push_back("wait ends");
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"wait begins", "second click", "wait ends"}));
}

TEST_F(EventLoopTest, PumpUntilReturnsWhenTheConditionHolds) {
    std::atomic<bool> flag = false;
    std::jthread setter([&] {
        std::this_thread::sleep_for(20ms);
        flag = true;
    });
    bool result = false;
    loop.invoke([&] { result = loop.pumpUntil([&] { return flag.load(); }, 5s); });
    EXPECT_TRUE(result);
    loop.invoke([&] { result = loop.pumpUntil([] { return false; }, 20ms); });
    EXPECT_FALSE(result);
}

TEST_F(EventLoopTest, TimersTickUntilStoppedAndNeverReenterThemselves) {
    std::atomic<int> ticks = 0;
    std::atomic<int> depth = 0;
    std::atomic<int> maxDepth = 0;
    loop.setTimerHandler("tick", [&] {
        maxDepth = std::max(maxDepth.load(), ++depth);
        ++ticks;
        loop.pumpingWait(15ms);  // other ticks are due meanwhile
        --depth;
    });
    loop.setTimerPeriod("tick", 5);
    while (ticks < 5) {
        std::this_thread::sleep_for(5ms);
    }
    loop.setTimerPeriod("tick", 0);
    loop.invoke([] {});
    const int stoppedAt = ticks;
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ticks, stoppedAt);
    EXPECT_EQ(maxDepth, 1);
}

TEST(EventLoop, InvokeReturnsFalseOnceTheLoopHasQuit) {
    EventLoop loop;
    bool ran = false;
    loop.quit();
    EXPECT_FALSE(loop.invoke([&] { ran = true; }));  // must not hang
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace tovakin::app

#include "core/query/link_lookup.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <sstream>
#include <thread>

#include "core/text/gbk_literal.h"
#include "core/web/affiliate_client.h"
#include "core/web/cookie_store.h"
#include "platform/fake/fake_clipboard.h"
#include "sim/simulated_world.h"
#include "support/app_fixture.h"

namespace tovakin::query {
namespace {

using namespace std::chrono_literals;
using namespace text::literals;

constexpr auto kWait = 20s;

class RefusingClipboard final : public platform::Clipboard {
public:
    bool setText(std::string_view) override { return false; }
    std::string text() const override { return {}; }
};

class LinkLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.start());
        web::cookieStore().importNetscape(world.sessionCookies());
        world.server().setRecording(true);
        client.emplace(web::AffiliateRequests(world.endpoints(), {}));
    }
    // What 编辑框5 shows after a click on 按钮8 with `id` in 编辑框4.
    std::string lookUp(LinkLookup& lookup, const std::string& id) {
        controls.setText("编辑框4", id);
        lookup.lookup();
        EXPECT_TRUE(lookup.waitUntilIdle(kWait));
        return controls.text("编辑框5");
    }

    sim::SimulatedWorld world;
    std::optional<web::AffiliateClient> client;
    app::ControlRegistry controls = testing::mainWindowRegistry();
    platform::FakeClipboard clipboard;
    std::ostringstream dialogLog;
    app::LoggingDialogs dialogs{dialogLog};
};

TEST_F(LinkLookupTest, ShowsTheLinkOrEmptyTextAndSendsTheIdUntrimmed) {
    LinkLookup lookup(controls, clipboard, dialogs,
                      [this](const std::string& id) { return client->lookupPromotionLink(id); });
    const std::string id = world.catalog().items().front().itemId;
    EXPECT_TRUE(lookUp(lookup, id).starts_with("http://s.click.taobao.localhost:"))
        << controls.text("编辑框5");
    EXPECT_EQ(lookUp(lookup, "123"), "");
    // The trailing space goes to the platform, which knows no such item.
    world.server().clearRequests();
    controls.setText("编辑框5", "old");
    EXPECT_EQ(lookUp(lookup, id + " "), "");
    const auto requests = world.server().requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].query.find("id%3D" + id + "%20&"), std::string::npos) << requests[0].query;
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(LinkLookupTest, CopyPutsTheBoxOnTheClipboardAndConfirmsOnlyWhenItWorked) {
    LinkLookup lookup(controls, clipboard, dialogs, [](const std::string&) { return std::string(); });
    lookup.copy();  // before any lookup: the empty text
    ASSERT_EQ(clipboard.history(), std::vector<std::string>{""});
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].title, "信息："_gbk);
    EXPECT_EQ(dialogs.messages()[0].text, "复制成功！"_gbk);
    controls.setText("编辑框5", "http://s.click/1");
    lookup.copy();
    EXPECT_EQ(clipboard.text(), "http://s.click/1");

    RefusingClipboard refusing;
    LinkLookup refused(controls, refusing, dialogs, [](const std::string&) { return std::string(); });
    refused.copy();
    EXPECT_EQ(dialogs.messages().size(), 2u);
}

TEST_F(LinkLookupTest, TheLatestClickWinsOverAnOlderAnswerArrivingLater) {
    std::mutex mutex;
    std::condition_variable changed;
    bool firstRunning = false;
    bool firstMayAnswer = false;
    LinkLookup lookup(controls, clipboard, dialogs, [&](const std::string& id) {
        if (id == "first") {
            std::unique_lock lock(mutex);
            firstRunning = true;
            changed.notify_all();
            changed.wait_for(lock, kWait, [&] { return firstMayAnswer; });
        }
        return "link-of-" + id;
    });
    controls.setText("编辑框4", "first");
    lookup.lookup();
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, kWait, [&] { return firstRunning; }));
    }
    // The window is not held by the running lookup: a second click gets its answer first.
    controls.setText("编辑框4", "second");
    lookup.lookup();
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (controls.text("编辑框5") != "link-of-second" && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    {
        std::lock_guard lock(mutex);
        firstMayAnswer = true;
    }
    changed.notify_all();
    ASSERT_TRUE(lookup.waitUntilIdle(kWait));
    EXPECT_EQ(controls.text("编辑框5"), "link-of-second");
}

}  // namespace
}  // namespace tovakin::query

#include "core/collect/collection_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <sstream>
#include <thread>

#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/dialogs.h"
#include "core/text/gbk_literal.h"
#include "core/web/http_client.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"
#include "sim/simulated_world.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::collect {
namespace {

using namespace text::literals;
using sim::PageFault;

constexpr int kSectionBlocks =
    sim::ShoppingGuideSites::kMaidehaoBlocks + 1;  // with the piece before the first
constexpr int kMaidehaoRows =
    sim::ShoppingGuideSites::kMaidehaoBlocks -
    sim::ShoppingGuideSites::kMaidehaoBlocks / sim::ShoppingGuideSites::kMaidehaoGapEvery;
constexpr std::size_t kFullRunRows = 8 * sim::ShoppingGuideSites::kZhe800PerPage + kMaidehaoRows +
                                     10 * sim::ShoppingGuideSites::kZizaiPerPage +
                                     8 * sim::ShoppingGuideSites::kUzhanCenterPerPage;

class CollectionRunTest : public ::testing::Test, protected testing::FakeServices {
protected:
    void SetUp() override {
        ASSERT_TRUE(world.start());
        app::Configuration configuration;
        configuration.endpoints = world.endpoints();
        app = std::make_unique<app::Application>(app::AppOptions{dir.path(), configuration}, services());
        app->start();
        app->waitUntilLoaded();
    }

    // The run on the app thread, with the enrichment start recorded instead of run.
    CollectionRunContext context() {
        CollectionRunContext result = collectionContextFor(*app);
        result.startEnrichment = [this] { ++enrichmentStarts; };
        return result;
    }
    void runCollection(CollectionRunContext runContext) {
        ASSERT_TRUE(app->loop().invoke([&] { CollectionRun(std::move(runContext)).run(); }));
    }
    std::string log() const { return platform::gbkToUtf8(app->controls().text(app::names::logBox)); }
    std::string itemIdAt(std::size_t row) const { return app->products().cell(row, app::kItemIdColumn); }

    testing::TempDir dir;
    sim::SimulatedWorld world;
    std::unique_ptr<app::Application> app;
    int enrichmentStarts = 0;
};

TEST_F(CollectionRunTest, AFullRunCollectsEverySourceInOrderAndHandsOver) {
    app->products().append({"already-there"});
    runCollection(context());

    // Log: one line a page, with the exact spacing.
    std::string expectedLog;
    for (int p = 1; p <= 8; ++p) {
        expectedLog += "折800网 第" + std::to_string(p) + "页   30         9/5/7\r\n";
    }
    expectedLog += "卖得好" + std::to_string(kSectionBlocks) + "               9/5/7\r\n";
    for (int p = 1; p <= 10; ++p) {
        expectedLog += "自在购物 第" + std::to_string(p) + "页      20         9/5/7\r\n";
    }
    for (int p = 1; p <= 8; ++p) {
        expectedLog += "U站中心 第" + std::to_string(p) + "页       24         9/5/7\r\n";
    }
    EXPECT_EQ(log(), expectedLog);

    // Rows: appended after what was there, in page order; "卖得好" blocks without a price add none.
    ASSERT_EQ(app->products().rowCount(), 1 + kFullRunRows);
    EXPECT_EQ(itemIdAt(0), "already-there");
    std::vector<std::string> expectedIds;
    for (const auto source : {sim::GuideSource::Zhe800, sim::GuideSource::Maidehao, sim::GuideSource::Zizai,
                              sim::GuideSource::UzhanCenter}) {
        for (int p = 1; p <= sim::ShoppingGuideSites::pageCount(source); ++p) {
            int index = 0;
            for (const sim::CatalogItem* item : world.guideSites().itemsOn(source, p)) {
                ++index;
                if (source != sim::GuideSource::Maidehao ||
                    index % sim::ShoppingGuideSites::kMaidehaoGapEvery != 0) {
                    expectedIds.push_back(item->itemId);
                }
            }
        }
    }
    for (std::size_t i = 0; i < expectedIds.size(); ++i) {
        ASSERT_EQ(itemIdAt(i + 1), expectedIds[i]) << "row " << i + 1;
    }
    // Columns per source: commission and link empty; a title only from "卖得好".
    const std::string pictureHost = "http://" + world.endpoints().host("picture-host") + "/bao/";
    for (std::size_t i = 1; i < app->products().rowCount(); ++i) {
        const app::ProductRow row = *app->products().row(i);
        const bool maidehao = i > 240 && i <= 240 + kMaidehaoRows;
        EXPECT_EQ(row[app::kPictureColumn], pictureHost + row[app::kItemIdColumn] + ".jpg") << i;
        EXPECT_TRUE(row[app::kCommissionColumn].empty());
        EXPECT_TRUE(row[app::kLinkColumn].empty());
        if (maidehao) {
            EXPECT_EQ(platform::gbkToUtf8(row[app::kTitleColumn]), world.catalog().find(row[0])->title) << i;
            EXPECT_EQ(row[app::kPriceColumn], world.catalog().find(row[0])->price) << i;
        } else {
            EXPECT_TRUE(row[app::kTitleColumn].empty()) << i;
        }
        if (i > 240 + kMaidehaoRows + 200) {  // "U站中心": the price as shown
            EXPECT_EQ(row[app::kPriceColumn], world.catalog().find(row[0])->price) << i;
        }
    }
    // Both price forms of the paged sources: a whole price and one with its tagged decimals.
    EXPECT_EQ(app->products().cell(5, app::kPriceColumn),
              world.catalog()
                  .find(itemIdAt(5))
                  ->price.substr(0, world.catalog().find(itemIdAt(5))->price.find('.')));
    const std::string zizaiFirst = app->products().cell(1 + 240 + kMaidehaoRows, app::kPriceColumn);
    EXPECT_EQ(zizaiFirst, world.catalog().find(itemIdAt(1 + 240 + kMaidehaoRows))->price);

    // The two sources that list the same item give two rows.
    const std::string first = world.guideSites().itemsOn(sim::GuideSource::Maidehao, 1).front()->itemId;
    int copies = 0;
    for (std::size_t i = 0; i < app->products().rowCount(); ++i) {
        copies += itemIdAt(i) == first;
    }
    EXPECT_GE(copies, 2);
    EXPECT_EQ(copies, std::count(expectedIds.begin(), expectedIds.end(), first));

    // End state: caption, progress of the last pages, hand-over, timers, buttons.
    app::ControlRegistry& controls = app->controls();
    EXPECT_EQ(platform::gbkToUtf8(controls.text(app::names::window)),
              "Tovakin-8-16        " + std::to_string(1 + kFullRunRows) + "条记录");
    const app::ControlState bar = controls.state(controls.id(kCollectProgressBar));
    EXPECT_EQ(bar.progressMax, 20);       // the last "自在购物" page
    EXPECT_EQ(bar.progressPosition, 24);  // the last "U站中心" page
    EXPECT_EQ(enrichmentStarts, 1);
    EXPECT_TRUE(controls.enabled(app::names::findChatWindowsButton));
    EXPECT_FALSE(controls.enabled(kCollectButton));
    EXPECT_EQ(controls.timerPeriod(controls.id(app::names::backupTimer)), 1000);
    EXPECT_EQ(controls.timerPeriod(controls.id(app::names::captionTimer)), 500);

    // The picture of a row and its thumbnail are JPEG files.
    for (const std::string suffix : {"", "_160x160.jpg"}) {
        const std::string jpeg = web::PlainHttpGet(app->products().cell(1, app::kPictureColumn) + suffix);
        ASSERT_GT(jpeg.size(), 100u);
        EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
        EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
    }
}

TEST_F(CollectionRunTest, TheButtonRunsOnceForGood) {
    app->click(kCollectButton);
    app->click(kCollectButton);  // runs while the first run waits for a page: the button is disabled by then
    // The run pumps other events while it waits, so only its end steps tell that it is over.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (!app->controls().enabled(app::names::findChatWindowsButton) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(app->products().rowCount(), kFullRunRows);
    EXPECT_FALSE(app->controls().enabled(kCollectButton));
    EXPECT_EQ(app->loop().timerPeriod(std::string(app::names::backupTimer)), 1000);
}

struct FaultCase {
    const char* name;
    sim::GuideSource source;
    int page;  // 0: the whole source
    PageFault fault;
    std::vector<std::string> expectedLines;  // lines that must be in the log
    std::string absentLine;                  // the start of a line that must not be
    std::size_t lostRows;
};

class CollectionFaultTest : public CollectionRunTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(CollectionFaultTest, AFailingPageCostsOnlyItsOwnRows) {
    const FaultCase& fault = GetParam();
    world.guideSites().setFault(fault.source, fault.page, fault.fault);
    runCollection(context());
    for (const std::string& line : fault.expectedLines) {
        EXPECT_NE(log().find(line + "\r\n"), std::string::npos) << line;
    }
    if (!fault.absentLine.empty()) {
        EXPECT_EQ(log().find(fault.absentLine), std::string::npos);
    }
    EXPECT_EQ(app->products().rowCount(), kFullRunRows - fault.lostRows);
    // The run always reaches its end.
    EXPECT_EQ(enrichmentStarts, 1);
    EXPECT_NE(log().find("U站中心 第8页       24         9/5/7\r\n"), std::string::npos);
    EXPECT_TRUE(app->controls().enabled(app::names::findChatWindowsButton));
}

std::vector<std::string> zeroLines(const char* prefix, const char* gap, int pages) {
    std::vector<std::string> lines;
    for (int p = 1; p <= pages; ++p) {
        lines.push_back(std::string(prefix) + std::to_string(p) + "页" + gap + "0         9/5/7");
    }
    return lines;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CollectionFaultTest,
    ::testing::Values(
        FaultCase{"EmptyBody",
                  sim::GuideSource::Zhe800,
                  3,
                  PageFault::NoAnswer,
                  {"折800网 第3页   0         9/5/7"},
                  "",
                  30},
        FaultCase{"SourceDown", sim::GuideSource::Zhe800, 0, PageFault::NoAnswer,
                  zeroLines("折800网 第", "   ", 8), "", 240},
        FaultCase{"ErrorStatus",
                  sim::GuideSource::Zizai,
                  2,
                  PageFault::ErrorStatus,
                  {"自在购物 第2页      0         9/5/7"},
                  "",
                  20},
        FaultCase{"Garbage",
                  sim::GuideSource::UzhanCenter,
                  5,
                  PageFault::Garbage,
                  {"U站中心 第5页       0         9/5/7"},
                  "",
                  24},
        FaultCase{
            "UnevenLists", sim::GuideSource::Zhe800, 4, PageFault::UnevenLists, {}, "折800网 第4页", 30},
        FaultCase{"UnevenListsIndependentSite",
                  sim::GuideSource::UzhanCenter,
                  2,
                  PageFault::UnevenLists,
                  {},
                  "U站中心 第2页",
                  24},
        FaultCase{"HugePage",
                  sim::GuideSource::Zizai,
                  1,
                  PageFault::Huge,
                  {"自在购物 第1页      20         9/5/7"},
                  "",
                  0},
        FaultCase{"MaidehaoDown",
                  sim::GuideSource::Maidehao,
                  0,
                  PageFault::NoAnswer,
                  {"卖得好0               9/5/7"},
                  "",
                  static_cast<std::size_t>(kMaidehaoRows)},
        FaultCase{"MaidehaoGarbage",
                  sim::GuideSource::Maidehao,
                  1,
                  PageFault::Garbage,
                  {"卖得好0               9/5/7"},
                  "",
                  static_cast<std::size_t>(kMaidehaoRows)}),
    [](const ::testing::TestParamInfo<FaultCase>& param) { return std::string(param.param.name); });

TEST_F(CollectionRunTest, TheAppThreadKeepsRunningEventsWhileAPageIsFetched) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> firstFetch;
    std::atomic<int> fetches{0};
    CollectionRunContext runContext = context();
    runContext.fetch = [&, released](const std::string& url) {
        if (fetches++ == 0) {
            firstFetch.set_value();
            released.wait();
        }
        return web::PlainHttpGet(url);
    };
    std::promise<void> runDone;
    app->loop().post([&] {
        CollectionRun(std::move(runContext)).run();
        runDone.set_value();
    });
    firstFetch.get_future().wait();
    // The run is waiting for its first page: other events still run, in order.
    bool ranDuringRun = false;
    ASSERT_TRUE(app->loop().invoke([&] { ranDuringRun = app->products().rowCount() == 0; }));
    EXPECT_TRUE(ranDuringRun);
    EXPECT_FALSE(app->controls().enabled(kCollectButton));
    release.set_value();
    runDone.get_future().wait();
    EXPECT_EQ(app->products().rowCount(), kFullRunRows);
}

TEST_F(CollectionRunTest, ClosingDuringARunEndsItWithoutTheHandOver) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> firstFetch;
    std::atomic<int> fetches{0};
    CollectionRunContext runContext = context();
    runContext.fetch = [&, released](const std::string&) {
        if (fetches++ == 0) {
            firstFetch.set_value();
            released.wait();
        }
        return std::string();
    };
    app->loop().post([&] { CollectionRun(std::move(runContext)).run(); });
    firstFetch.get_future().wait();
    app->close();  // returns although the page never came
    release.set_value();
    EXPECT_EQ(enrichmentStarts, 0);
    EXPECT_FALSE(app->controls().enabled(app::names::findChatWindowsButton));
}

struct PriceCase {
    GuideSource source;
    const char* capture;
    const char* price;
};

TEST(GuidePagesTest, PriceRulesOfThePagedSources) {
    const PriceCase cases[] = {
        {GuideSource::Zhe800, "39<em>.9", "39.9"},
        {GuideSource::Zhe800, "39", "39"},
        {GuideSource::Zhe800, "abc", "0"},
        {GuideSource::Zhe800, "<i>9</i><em>.5", "0.5"},
        {GuideSource::Zizai, "39<span>.90", "39.90"},
        {GuideSource::Zizai, "39", "39.00"},
        {GuideSource::Zizai, "sold out", "0.00"},
        {GuideSource::Zizai, "３９<span>.90", "39.90"},  // full-width digits count
        {GuideSource::Zizai, "1e2</em><span>", "100.00"},
        {GuideSource::UzhanCenter, "39.90 ", "39.90 "},
    };
    for (const PriceCase& c : cases) {
        EXPECT_EQ(platform::gbkToUtf8(priceText(c.source, platform::utf8ToGbk(c.capture))), c.price)
            << c.capture;
    }
}

TEST(GuidePagesTest, MaidehaoBlocksNeedAllFourValues) {
    const GuideHosts hosts{"", "", "", "", "item.example"};
    const std::string block = "<div class=\"goodsItem\"><a href=\"http://item.example/";
    const std::string page = platform::utf8ToGbk(
        "<span>卖得好独家折扣</span> </div>\n" + block +
        "item.htm?id=11\" class=\"n_link\"><img data-ks-lazyload=\"http://p/11.jpg_310x310.jpg\">"
        "<h2 class=\"goods_name\"><span>杯子</h2><h2 x><em>￥</em>9.90</span>\n" +
        block +
        "item.htm?id=12\" class=\"n_link\"><img data-ks-lazyload=\"http://p/12.jpg_310x310.jpg\">"
        "<h2 class=\"goods_name\"><span>没有价格</h2><h2 x>\n" +
        "<span>卖得好独家折扣</span> </div>\n" + block +
        "item.htm?id=13\" class=\"n_link\"><img data-ks-lazyload=\"http://p/13.jpg_310x310.jpg\">"
        "<h2 class=\"goods_name\"><span>后面的</h2><h2 x><em>￥</em>9.90</span>\n");
    const ParsedPage parsed = parsePage(GuideSource::Maidehao, page, hosts);
    ASSERT_TRUE(parsed.sectionFound);
    ASSERT_EQ(parsed.count, 3u);  // the piece before the first block counts
    ASSERT_EQ(parsed.entries.size(), 3u);
    EXPECT_FALSE(parsed.entries[0]);
    ASSERT_TRUE(parsed.entries[1]);
    EXPECT_EQ((*parsed.entries[1])[0], "11");
    EXPECT_EQ((*parsed.entries[1])[1], "9.90");
    EXPECT_EQ((*parsed.entries[1])[2], "http://p/11.jpg");
    EXPECT_EQ(platform::gbkToUtf8((*parsed.entries[1])[4]), "杯子");
    EXPECT_FALSE(parsed.entries[2]);  // no price

    EXPECT_FALSE(parsePage(GuideSource::Maidehao, "<html></html>", hosts).sectionFound);
}

}  // namespace
}  // namespace tovakin::collect

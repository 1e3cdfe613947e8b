#include "core/collect/enrichment.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>

#include "core/app/application.h"
#include "core/app/control_names.h"
#include "core/app/daily_backup.h"
#include "core/app/product_files.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "core/web/cookie_store.h"
#include "platform/fake/fake_clipboard.h"
#include "platform/fake/fake_desktop.h"
#include "platform/text_codec.h"
#include "sim/simulated_world.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::collect {
namespace {

using namespace std::chrono_literals;
using namespace text::literals;
using app::kCommissionColumn;
using app::kItemIdColumn;
using app::kLinkColumn;
using app::kTitleColumn;

constexpr auto kWait = 60s;

enum class Kind { Link, Commission, Title };

// What the platform answers for one item, as the loops write it.
struct Expected {
    std::string link;
    std::string commission;
    std::string title;
};

class EnrichmentTest : public ::testing::Test {
protected:
    void TearDown() override { web::setHttpLimits({}); }

    void startWorld(sim::WorldSettings settings = {}) {
        world = std::make_unique<sim::SimulatedWorld>(settings);
        ASSERT_TRUE(world->start());
        web::cookieStore().importNetscape(world->sessionCookies());
    }
    web::AffiliateClient client() const {
        return web::AffiliateClient(web::AffiliateRequests(world->endpoints(), {}));
    }
    const sim::CatalogItem& item(std::size_t index) const { return world->catalog().items().at(index); }

    // Asked one at a time before the loops run; the platform's answers do not
    // change, so the loops must write exactly these.
    std::map<std::string, Expected> expectedFor(const std::vector<std::string>& ids) {
        std::map<std::string, Expected> expected;
        const web::AffiliateClient direct = client();
        for (const std::string& id : ids) {
            const sim::CatalogItem* known = world->catalog().find(id);
            if (!known) {
                expected[id] = {};
                continue;
            }
            expected[id] = {direct.promotionLink(id),
                            known->commissionRate.empty() ? "0.00" : known->commissionRate,
                            platform::utf8ToGbk(known->title)};
            EXPECT_FALSE(expected[id].link.empty()) << id;
        }
        return expected;
    }

    // Requests the platform received, by kind and item id.
    std::map<std::pair<Kind, std::string>, int> requestCounts() const {
        std::map<std::pair<Kind, std::string>, int> counts;
        const app::AffiliateAccount account;
        for (const sim::HttpRequest& request : world->server().requests()) {
            const auto values = sim::parseQuery(request.query);
            const auto value = [&](const char* key) {
                const auto found = values.find(key);
                return found == values.end() ? std::string() : found->second;
            };
            Kind kind = Kind::Link;
            std::string itemUrl;
            if (request.path == "/urltrans/urltrans.json") {
                itemUrl = value("promotionURL");
            } else if (request.path == "/pubauc/searchAuctionList.json") {
                kind = value("_tb_token_") == account.titleToken ? Kind::Title : Kind::Commission;
                itemUrl = value("q");
            } else {
                continue;
            }
            ++counts[{kind, itemUrl.substr(itemUrl.rfind("id=") + 3)}];
        }
        return counts;
    }

    std::unique_ptr<sim::SimulatedWorld> world;
    app::ProductTable table;
    app::ControlRegistry controls = testing::mainWindowRegistry();
    app::EnrichmentProgress progress;
};

// A product as a collector leaves it: id, price, picture, maybe a title.
app::ProductRow collected(const std::string& id, const std::string& title = "") {
    return {id, "9.90", "http://img/" + id + ".jpg", "", title, ""};
}

TEST_F(EnrichmentTest, SixLoopsCompleteEveryKnownRowThenTheBackupWritesTheDayFile) {
    startWorld();
    // Known items, a row that already has its title, an item the platform
    // does not know and a row without an id.
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < 9; ++i) {
        ids.push_back(item(i).itemId);
    }
    ids.insert(ids.begin() + 3, "123");
    ids.insert(ids.begin() + 7, "");
    const std::string keptTitle = "卖得好的标题"_gbk;
    const std::string titledId = ids[5];
    const auto expected = expectedFor(ids);
    world->server().clearRequests();
    world->server().setRecording(true);
    for (const std::string& id : ids) {
        table.append(collected(id, id == titledId ? keptTitle : ""));
    }
    const auto n = static_cast<std::int32_t>(ids.size());

    testing::TempDir dir;
    const std::filesystem::path dayFile = dir / "2014-8-16.txt";
    int timerStops = 0;
    app::DailyBackup backup(
        table, controls, progress, [&] { return dayFile; }, [&] { ++timerStops; });
    backup.check();  // the loops have not passed the rows yet
    EXPECT_FALSE(backup.passRunning());

    {
        Enrichment enrichment(table, controls, progress, client());
        enrichment.startAfterCollection();
        ASSERT_TRUE(enrichment.waitUntilDone(kWait));
        EXPECT_FALSE(enrichment.running());
    }

    const auto counts = requestCounts();
    for (std::size_t r = 0; r < ids.size(); ++r) {
        const std::string& id = ids[r];
        const Expected& want = expected.at(id);
        EXPECT_EQ(table.cell(r, kLinkColumn), want.link) << r;
        EXPECT_EQ(table.cell(r, kCommissionColumn), want.commission) << r;
        EXPECT_EQ(table.cell(r, kTitleColumn), id == titledId ? keptTitle : want.title) << r;
        const auto requests = [&](Kind kind) {
            const auto found = counts.find({kind, id});
            return found == counts.end() ? 0 : found->second;
        };
        for (const Kind kind : {Kind::Link, Kind::Commission, Kind::Title}) {
            if (kind == Kind::Title && id == titledId) {
                EXPECT_EQ(requests(kind), 0) << r;
            } else if (want.link.empty()) {
                // Stays empty, so both loops of the pair ask for it.
                EXPECT_EQ(requests(kind), 2) << r << " kind " << static_cast<int>(kind);
            } else {
                EXPECT_GE(requests(kind), 1) << r << " kind " << static_cast<int>(kind);
                EXPECT_LE(requests(kind), 2) << r << " kind " << static_cast<int>(kind);
            }
        }
    }
    // The pair's requests add up to about one per row.
    int linkRequests = 0;
    for (const auto& [key, count] : counts) {
        linkRequests += key.first == Kind::Link ? count : 0;
    }
    EXPECT_LE(linkRequests, 9 + 2 * 2 + 2);

    EXPECT_EQ(progress.linkStepForward.load(), n);
    EXPECT_EQ(progress.linkStepBackward.load(), n);
    EXPECT_EQ(progress.commissionStepForward.load(), n);
    EXPECT_EQ(progress.commissionStepBackward.load(), n);
    const std::string done = std::to_string(n) + "/" + std::to_string(n);
    for (const auto& [label, bar] : {std::pair{"透明标签1", "进度条5"}, std::pair{"透明标签2", "进度条6"}}) {
        EXPECT_EQ(controls.text(label), done) << label;
        const app::ControlState state = controls.state(controls.id(bar));
        EXPECT_EQ(state.progressMax, n) << bar;
        EXPECT_EQ(state.progressPosition, n) << bar;
    }

    backup.check();
    backup.waitForPass();
    backup.check();  // the file exists now: the timer stops
    EXPECT_EQ(timerStops, 1);
    // Every row with a commission, in table order: all but the two unknown ones.
    EXPECT_EQ(profile::readProfileString(dayFile, "数量"_gbk, "数量"_gbk), "9");
    int key = 0;
    for (std::size_t r = 0; r < ids.size(); ++r) {
        if (expected.at(ids[r]).commission.empty()) {
            continue;
        }
        EXPECT_EQ(profile::readProfileString(dayFile, "详细信息"_gbk, std::to_string(++key)),
                  app::daily_data_file::formatEntry(*table.row(r)))
            << r;
    }
}

// The backup starts as soon as both pairs' counters reach the row count, so
// by then every row must hold what the loops will ever write into it.
TEST_F(EnrichmentTest, CountersReachTheRowCountOnlyAfterTheLastWrite) {
    startWorld({.latency = 60ms});
    // One row: both loops of each pair ask for it in their one and last step.
    table.append(collected(item(0).itemId));
    const auto expected = expectedFor({item(0).itemId});
    Enrichment enrichment(table, controls, progress, client());
    enrichment.startAfterCollection();
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while ((progress.linkStepForward + progress.linkStepBackward) / 2 != 1 ||
           (progress.commissionStepForward + progress.commissionStepBackward) / 2 != 1) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(200us);
    }
    EXPECT_EQ(table.cell(0, kLinkColumn), expected.at(item(0).itemId).link);
    EXPECT_EQ(table.cell(0, kCommissionColumn), expected.at(item(0).itemId).commission);
    ASSERT_TRUE(enrichment.waitUntilDone(kWait));
}

// A platform that fails: every loop ends, nothing is written, the counters
// still reach the end (the loops did pass every row).
TEST_F(EnrichmentTest, ErrorsAndSilenceFromThePlatformEndEveryLoop) {
    enum class Failure { ServerErrors, Stopped, NeverAnswers };
    for (const Failure failure : {Failure::ServerErrors, Failure::Stopped, Failure::NeverAnswers}) {
        SCOPED_TRACE(static_cast<int>(failure));
        startWorld({.failureRate = failure == Failure::ServerErrors ? 1.0 : 0.0});
        web::setHttpLimits({.connect = 300ms, .total = 300ms});
        if (failure == Failure::Stopped) {
            world->stop();
        } else if (failure == Failure::NeverAnswers) {
            for (const char* path : {"/urltrans/urltrans.json", "/pubauc/searchAuctionList.json"}) {
                world->server().setBehaviour("pub.alimama.localhost", path,
                                             sim::RouteBehaviour::failing(sim::RouteFailure::NeverAnswer));
            }
        }
        app::ProductTable rows;
        app::EnrichmentProgress counters;
        for (std::size_t i = 0; i < 3; ++i) {
            rows.append(collected(item(i).itemId));
        }
        {
            Enrichment enrichment(rows, controls, counters, client());
            enrichment.startAfterCollection();
            ASSERT_TRUE(enrichment.waitUntilDone(kWait));
        }
        for (std::size_t r = 0; r < 3; ++r) {
            EXPECT_EQ(rows.row(r), collected(item(r).itemId)) << r;
        }
        EXPECT_EQ(counters.linkStepForward + counters.linkStepBackward, 6);
        EXPECT_EQ(counters.commissionStepForward + counters.commissionStepBackward, 6);
    }
}

// The broadcast removes rows while the loops work: every value a loop writes
// must land in the row of the product it asked for.
TEST_F(EnrichmentTest, RowsRemovedMeanwhileNeverReceiveAnotherProductsValues) {
    startWorld({.latency = 2ms});
    std::vector<std::string> ids;
    for (std::size_t i = 0; i < 60; ++i) {
        ids.push_back(item(i).itemId);
    }
    const auto expected = expectedFor(ids);
    std::map<app::RowId, std::string> itemOfRow;
    for (const std::string& id : ids) {
        itemOfRow[table.appendRow(collected(id))] = id;
    }
    struct Write {
        app::RowId row;
        int column;
        std::string value;
    };
    std::mutex writesMutex;
    std::vector<Write> writes;
    const std::size_t listener = table.addListener([&](const app::ProductTableChange& change) {
        if (change.kind == app::ProductTableChange::Kind::CellChanged) {
            std::lock_guard lock(writesMutex);
            writes.push_back({change.row, change.column, change.cells[change.column]});
        }
    });

    Enrichment enrichment(table, controls, progress, client());
    enrichment.startAfterCollection();
    std::mt19937 random(7);
    int removedWhileRunning = 0;
    while (enrichment.running() && table.rowCount() > 10) {
        table.remove(random() % table.rowCount());
        ++removedWhileRunning;
        std::this_thread::sleep_for(3ms);
    }
    ASSERT_TRUE(enrichment.waitUntilDone(kWait));
    EXPECT_GE(removedWhileRunning, 5);

    table.removeListener(listener);  // no write comes after this
    EXPECT_FALSE(writes.empty());
    for (const Write& write : writes) {
        const Expected& want = expected.at(itemOfRow.at(write.row));
        const std::string& belongs = write.column == kLinkColumn         ? want.link
                                     : write.column == kCommissionColumn ? want.commission
                                                                         : want.title;
        EXPECT_EQ(write.value, belongs) << "row " << write.row << " column " << write.column;
    }
    for (std::size_t r = 0; r < table.rowCount(); ++r) {
        const app::ProductRow row = *table.row(r);
        const Expected& want = expected.at(row[kItemIdColumn]);
        for (const auto& [column, value] :
             {std::pair{kLinkColumn, want.link}, std::pair{kCommissionColumn, want.commission},
              std::pair{kTitleColumn, want.title}}) {
            EXPECT_TRUE(row[column].empty() || row[column] == value) << r << " " << column;
        }
    }
}

TEST_F(EnrichmentTest, StoppingEndsTheLoopsAtTheirNextStep) {
    startWorld({.latency = 20ms});
    for (std::size_t i = 0; i < 200; ++i) {
        table.append(collected(item(i).itemId));
    }
    auto enrichment = std::make_unique<Enrichment>(table, controls, progress, client());
    enrichment->startAfterCollection();
    std::this_thread::sleep_for(50ms);
    enrichment->close();
    EXPECT_FALSE(enrichment->running());
    enrichment->startButtonLoops();  // closed: starts nothing
    EXPECT_FALSE(enrichment->running());
    enrichment.reset();
    EXPECT_LT(progress.linkStepForward + progress.linkStepBackward, 200);
}

// "获取推广地址" in the running application: link and commission forward,
// no title, no backup timer, the buttons switch.
TEST_F(EnrichmentTest, ButtonLoopsFillLinkAndCommissionForwardAndSwitchTheButtons) {
    startWorld();
    testing::TempDir dir;
    testing::FakeServices fakes;
    app::Configuration configuration;
    configuration.endpoints = world->endpoints();
    app::Application a(app::AppOptions{dir.path(), configuration}, fakes.services());
    a.start();
    a.waitUntilLoaded();
    const std::vector<std::string> ids{item(0).itemId, "123", item(1).itemId, item(2).itemId};
    const auto expected = expectedFor(ids);
    world->server().clearRequests();
    world->server().setRecording(true);
    for (const std::string& id : ids) {
        a.products().append(collected(id));
    }
    a.enrichmentProgress().commissionStepForward = 77;  // from an earlier run: set anew from 1

    a.click("按钮2");  // disabled until the custom collection window closes
    a.loop().invoke([] {});
    EXPECT_FALSE(a.enrichment().running());
    a.controls().setEnabled("按钮2", true);
    a.click("按钮2");
    a.loop().invoke([] {});
    EXPECT_FALSE(a.controls().enabled("按钮2"));
    EXPECT_TRUE(a.controls().enabled(app::names::findChatWindowsButton));
    ASSERT_TRUE(a.enrichment().waitUntilDone(kWait));

    for (std::size_t r = 0; r < ids.size(); ++r) {
        EXPECT_EQ(a.products().cell(r, kLinkColumn), expected.at(ids[r]).link) << r;
        EXPECT_EQ(a.products().cell(r, kCommissionColumn), expected.at(ids[r]).commission) << r;
        EXPECT_EQ(a.products().cell(r, kTitleColumn), "") << r;
    }
    for (const auto& [key, count] : requestCounts()) {
        EXPECT_NE(key.first, Kind::Title);
        EXPECT_EQ(count, 1) << key.second;  // no partner: one request per row
    }
    const app::EnrichmentProgress& counters = a.enrichmentProgress();
    EXPECT_EQ(counters.commissionStepForward.load(), 4);
    EXPECT_EQ(counters.commissionStepBackward.load(), 0);
    EXPECT_EQ(counters.linkStepForward.load(), 0);
    EXPECT_EQ(counters.linkStepBackward.load(), 0);
    for (const auto& [label, bar] : {std::pair{"透明标签1", "进度条5"}, std::pair{"透明标签2", "进度条6"}}) {
        EXPECT_EQ(a.controls().text(label), "4/4") << label;
        const app::ControlState state = a.controls().state(a.controls().id(bar));
        EXPECT_EQ(state.progressMax, 4) << bar;
        EXPECT_EQ(state.progressPosition, 4) << bar;
    }
    EXPECT_EQ(a.loop().timerPeriod(std::string(app::names::backupTimer)), 0);
    a.close();
}

TEST_F(EnrichmentTest, AnEmptyTableEndsAtOnceAndSetsTheMaximaToZero) {
    startWorld();
    controls.setText("透明标签1", "old");
    controls.setProgressPosition(controls.id("进度条5"), 3);
    Enrichment enrichment(table, controls, progress, client());
    enrichment.startAfterCollection();
    enrichment.startButtonLoops();
    ASSERT_TRUE(enrichment.waitUntilDone(kWait));
    EXPECT_EQ(controls.state(controls.id("进度条5")).progressMax, 0);
    EXPECT_EQ(controls.state(controls.id("进度条6")).progressMax, 0);
    EXPECT_EQ(controls.state(controls.id("进度条5")).progressPosition, 3);
    EXPECT_EQ(controls.text("透明标签1"), "old");
}

}  // namespace
}  // namespace tovakin::collect

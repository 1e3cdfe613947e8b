#include "core/app/daily_backup.h"

#include <gtest/gtest.h>

#include <thread>

#include "core/app/control_names.h"
#include "core/app/product_files.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_literal.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::app {
namespace {

using namespace text::literals;
using testing::productNamed;

class DailyBackupTest : public ::testing::Test {
protected:
    void setCounters(int rows) {
        progress.linkStepForward = rows;
        progress.linkStepBackward = rows;
        progress.commissionStepForward = rows;
        progress.commissionStepBackward = rows;
    }
    std::string entry(int key) {
        return profile::readProfileString(file, "详细信息"_gbk, std::to_string(key));
    }
    std::string count() { return profile::readProfileString(file, "数量"_gbk, "数量"_gbk); }

    testing::TempDir dir;
    std::filesystem::path file = dir / "2014-8-16.txt";
    ProductTable table;
    ControlRegistry controls = testing::mainWindowRegistry();
    EnrichmentProgress progress;
    int timerStops = 0;
    DailyBackup backup{table, controls, progress, [this] { return file; }, [this] { ++timerStops; }};
};

TEST_F(DailyBackupTest, WritesOnlyRowsWithACommissionNumberedFromOne) {
    for (int i = 1; i <= 10; ++i) {
        table.append(productNamed(std::to_string(i), /*withCommission=*/i % 3 != 0 && i != 10));
    }
    EXPECT_EQ(backup.runPass(), 10u);
    EXPECT_EQ(count(), "6");
    const char* written[] = {"1", "2", "4", "5", "7", "8"};
    for (int key = 1; key <= 6; ++key) {
        EXPECT_EQ(entry(key), daily_data_file::formatEntry(productNamed(written[key - 1]))) << key;
    }
    EXPECT_EQ(entry(7), "");
    EXPECT_EQ(controls.text(names::backupProgressLabel), "正在备份数据10/10条"_gbk);
    EXPECT_EQ(controls.state(controls.id(names::loadProgressBar)).progressPosition, 10);
}

TEST_F(DailyBackupTest, FileBytesAreThoseOfOneWriteAtATime) {
    table.append(productNamed("1"));
    table.append(productNamed("2"));
    backup.runPass();
    const std::string expected = "[数量]\r\n数量=2\r\n[详细信息]\r\n1="_gbk +
                                 daily_data_file::formatEntry(productNamed("1")) +
                                 "\r\n2=" + daily_data_file::formatEntry(productNamed("2")) + "\r\n";
    EXPECT_EQ(testing::readFile(file), expected);
}

TEST_F(DailyBackupTest, NumbersOnFromTheCountTheFileHolds) {
    profile::writeProfileString(file, "数量"_gbk, "数量"_gbk, "2");
    table.append(productNamed("5"));
    backup.runPass();
    EXPECT_EQ(count(), "3");
    EXPECT_EQ(entry(3), daily_data_file::formatEntry(productNamed("5")));
}

TEST_F(DailyBackupTest, CheckWaitsForTheLoopsThenWritesOnceThenStopsTheTimer) {
    table.append(productNamed("1"));
    table.append(productNamed("2"));
    progress.linkStepForward = 2;
    progress.linkStepBackward = 1;  // (2+1)/2 = 1: the link loops are not through
    progress.commissionStepForward = 2;
    progress.commissionStepBackward = 2;
    backup.check();
    backup.waitForPass();
    EXPECT_FALSE(std::filesystem::exists(file));

    setCounters(2);
    backup.check();
    backup.waitForPass();
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(timerStops, 0);

    backup.check();  // the file exists now: no second pass
    backup.waitForPass();
    EXPECT_EQ(timerStops, 1);
    EXPECT_EQ(count(), "2");
}

TEST_F(DailyBackupTest, EveryEntryIsOneWholeProductWhileRowsAreDeleted) {
    for (int i = 0; i < 3000; ++i) {
        table.append(productNamed(std::to_string(i)));
    }
    std::jthread broadcast([&] {
        for (int i = 0; i < 1000; ++i) {
            table.remove(static_cast<std::size_t>(i * 13) % std::max<std::size_t>(1, table.rowCount()));
        }
    });
    backup.runPass();
    broadcast.join();
    const int written = std::stoi(count());
    EXPECT_GE(written, 2000);
    for (int key = 1; key <= written; ++key) {
        const auto row = daily_data_file::parseEntry(entry(key));
        ASSERT_TRUE(row) << key;
        EXPECT_EQ(*row, productNamed((*row)[kItemIdColumn])) << key;
    }
}

}  // namespace
}  // namespace tovakin::app

#include "core/app/product_loaders.h"

#include <gtest/gtest.h>

#include "core/app/control_names.h"
#include "core/app/product_files.h"
#include "core/text/gbk_literal.h"
#include "support/app_fixture.h"
#include "support/temp_dir.h"

namespace tovakin::app {
namespace {

using namespace text::literals;
using testing::productNamed;

std::string entryLine(int key, const std::string& value) {
    return std::to_string(key) + "=" + value + "\r\n";
}

std::string dayFile(const std::string& count, const std::vector<std::string>& entries) {
    std::string bytes = "[数量]\r\n数量="_gbk + count + "\r\n[详细信息]\r\n"_gbk;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        bytes += entryLine(static_cast<int>(i) + 1, entries[i]);
    }
    return bytes;
}

class DayFileLoaderTest : public ::testing::Test {
protected:
    std::size_t load(const std::string& bytes) {
        testing::writeFile(m_dir / "day.txt", bytes);
        return loadDailyDataFile(m_dir / "day.txt", *table, controls, "8-16");
    }
    testing::TempDir m_dir;
    std::unique_ptr<ProductTable> table = std::make_unique<ProductTable>();
    ControlRegistry controls = testing::mainWindowRegistry();
};

TEST_F(DayFileLoaderTest, LoadsEveryEntryAndTheCaptionLagsOneRowBehind) {
    std::vector<std::string> entries;
    for (const char* id : {"11", "22", "33"}) {
        entries.push_back(daily_data_file::formatEntry(productNamed(id)));
    }
    EXPECT_EQ(load(dayFile("3", entries)), 3u);
    ASSERT_EQ(table->rowCount(), 3u);
    EXPECT_EQ(table->row(2), productNamed("33"));
    EXPECT_EQ(controls.text(names::window), "Tovakin-8-16        2条记录"_gbk);
    const ControlState bar = controls.state(controls.id(names::loadProgressBar));
    EXPECT_EQ(bar.progressMax, 3);
    EXPECT_EQ(bar.progressPosition, 3);
}

TEST_F(DayFileLoaderTest, SkipsWhatDoesNotFit) {
    const std::string sep = daily_data_file::separator();
    const std::string good = daily_data_file::formatEntry(productNamed("7"));
    struct Case {
        const char* what;
        std::string bytes;
        std::size_t rows;
    };
    const Case cases[] = {
        {"count larger than the keys", dayFile("5", {good, good}), 2},
        {"five parts", dayFile("2", {"1" + sep + "2" + sep + "3" + sep + "4" + sep + "5", good}), 1},
        {"seven parts (title holds the separator)", dayFile("2", {good + sep + "x", good}), 1},
        {"count of zero", dayFile("0", {good}), 0},
        {"negative count", dayFile("-3", {good}), 0},
        {"non-numeric count", dayFile("many", {good}), 0},
        {"count of 2^31-1 with one key", dayFile("2147483647", {good}), 1},
        {"count past 32 bits", dayFile("99999999999999", {good}), 1},
        {"a line without =", "[数量]\r\n数量=2\r\n[详细信息]\r\n1\r\n"_gbk + entryLine(2, good), 1},
        {"binary junk", std::string("\0\xff\xfe[\x81\r\n=\n\x81\r\n", 12) + dayFile("1", {good}), 1},
        {"keys out of order with a gap",
         "[详细信息]\r\n3="_gbk + good + "\r\n1=" + good + "\r\n[数量]\r\n数量=3\r\n"_gbk, 2},
        {"no file content at all", "", 0},
    };
    for (const Case& c : cases) {
        table = std::make_unique<ProductTable>();
        EXPECT_EQ(load(c.bytes), c.rows) << c.what;
        EXPECT_EQ(table->rowCount(), c.rows) << c.what;
    }
}

TEST_F(DayFileLoaderTest, AHugeValueIsCutAndSkippedNotFatal) {
    std::string huge = "1" + daily_data_file::separator() + std::string(50 * 1024 * 1024, 'x');
    EXPECT_EQ(load(dayFile("2", {huge, daily_data_file::formatEntry(productNamed("9"))})), 1u);
    EXPECT_EQ(table->cell(0, kItemIdColumn), "9");
}

TEST_F(DayFileLoaderTest, AMissingFileLoadsNothing) {
    EXPECT_EQ(loadDailyDataFile(m_dir / "absent.txt", *table, controls, "8-16"), 0u);
    EXPECT_EQ(table->rowCount(), 0u);
}

TEST(CollectionFileLoader, FourPartsGoToColumnsZeroToTwoAndFour) {
    testing::TempDir dir;
    const std::string sep = collection_file::separator();
    const auto entry = [&](const std::string& id) {
        return id + sep + "9.9" + sep + "http://p/" + id + sep + "标题"_gbk + id;
    };
    testing::writeFile(dir / "hqsj.ini", "[数据]\r\n条数=6\r\n"_gbk + entryLine(1, entry("1")) +
                                             entryLine(2, entry("2")) + entryLine(3, "3" + sep + "1.5") +
                                             entryLine(4, entry("4") + sep + "extra") +
                                             entryLine(6, entry("6")));
    ProductTable table;
    EXPECT_EQ(loadCollectionFile(dir / "hqsj.ini", table), 5u);  // key 5 is missing
    ASSERT_EQ(table.rowCount(), 5u);
    EXPECT_EQ(table.row(0), (ProductRow{"1", "9.9", "http://p/1", "", "标题"_gbk + "1", ""}));
    EXPECT_EQ(table.row(2), (ProductRow{"3", "1.5", "", "", "", ""}));  // short entry: empty cells
    EXPECT_EQ(table.row(3), (ProductRow{"4", "9.9", "http://p/4", "", "标题"_gbk + "4", ""}));
    EXPECT_EQ(table.cell(4, kItemIdColumn), "6");
}

}  // namespace
}  // namespace tovakin::app

#include "core/app/product_table.h"

#include <gtest/gtest.h>

#include <thread>

namespace tovakin::app {
namespace {

ProductRow rowWithId(const std::string& id) {
    ProductRow row;
    row[kItemIdColumn] = id;
    return row;
}

TEST(ProductTable, IndexOperationsAndReadsPastTheEnd) {
    ProductTable table;
    EXPECT_EQ(table.append(rowWithId("1")), 0u);
    EXPECT_EQ(table.append(rowWithId("2")), 1u);
    EXPECT_TRUE(table.setCell(1, kTitleColumn, "t"));
    EXPECT_EQ(table.cell(1, kTitleColumn), "t");
    EXPECT_EQ(table.cell(5, kItemIdColumn), "");
    EXPECT_EQ(table.cell(0, 6), "");
    EXPECT_FALSE(table.setCell(2, 0, "x"));
    EXPECT_TRUE(table.remove(0));
    EXPECT_FALSE(table.remove(1));
    EXPECT_EQ(table.rowCount(), 1u);
    EXPECT_EQ(table.cell(0, kItemIdColumn), "2");
}

TEST(ProductTable, IdentityFollowsTheProductAcrossDeletions) {
    ProductTable table;
    table.append(rowWithId("a"));
    const RowId b = table.appendRow(rowWithId("b"));
    table.append(rowWithId("c"));
    table.remove(0);
    EXPECT_EQ(table.indexOf(b), 0u);
    EXPECT_TRUE(table.setCellOf(b, kLinkColumn, "link-b"));
    EXPECT_EQ(table.cell(0, kLinkColumn), "link-b");
    EXPECT_EQ(table.cell(1, kLinkColumn), "");
    table.remove(0);
    EXPECT_FALSE(table.indexOf(b));
    EXPECT_FALSE(table.setCellOf(b, kLinkColumn, "late"));  // gone: lands nowhere
    EXPECT_EQ(table.cell(0, kLinkColumn), "");
}

TEST(ProductTable, ListenersHearEveryChangeInOrderWithReplay) {
    ProductTable table;
    table.append(rowWithId("old"));
    std::vector<std::string> heard;
    table.addListener(
        [&](const ProductTableChange& change) {
            using K = ProductTableChange::Kind;
            heard.push_back((change.kind == K::Appended  ? "add "
                             : change.kind == K::Removed ? "del "
                                                         : "set ") +
                            std::to_string(change.index));
        },
        true);
    table.append(rowWithId("new"));
    table.setCell(1, kPriceColumn, "9.9");
    table.remove(0);
    EXPECT_EQ(heard, (std::vector<std::string>{"add 0", "add 1", "set 1", "del 0"}));
}

// Writers address rows by identity while another thread deletes rows: every
// value must land in the row of the product it was meant for.
TEST(ProductTable, WritesByIdentityNeverLandInAnotherRowUnderConcurrentDeletion) {
    ProductTable table;
    std::vector<RowId> ids;
    for (int i = 0; i < 2000; ++i) {
        ids.push_back(table.appendRow(rowWithId(std::to_string(i))));
    }
    std::jthread deleter([&] {
        for (int i = 0; i < 500; ++i) {
            table.remove(static_cast<std::size_t>(i * 7) % std::max<std::size_t>(1, table.rowCount()));
        }
    });
    std::jthread writer([&] {
        for (std::size_t i = 0; i < ids.size(); ++i) {
            table.setCellOf(ids[i], kLinkColumn, "link-" + std::to_string(i));
        }
    });
    deleter.join();
    writer.join();
    for (const ProductRow& row : table.rows()) {
        EXPECT_EQ(row[kLinkColumn], "link-" + row[kItemIdColumn]);
    }
    EXPECT_EQ(table.rowCount(), 1500u);
}

}  // namespace
}  // namespace tovakin::app

#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/app/product_table.h"
#include "platform/clock.h"

// The two product files beside the program. Both are profile (INI) files in GBK.
namespace tovakin::app {

// The day's finished products: "<run dir>/2014-8-16.txt", section "数量" key
// "数量" holds the count, section "详细信息" keys "1".."n" hold one product each,
// its six cells joined by "-分割线-".
namespace daily_data_file {
std::filesystem::path pathFor(const std::filesystem::path& runDirectory, const platform::LocalTime& day);
const std::string& countSection();
const std::string& countKey();
const std::string& entrySection();
const std::string& separator();
std::string formatEntry(const ProductRow& row);
// An entry that does not split into exactly six parts is not a product.
std::optional<ProductRow> parseEntry(std::string_view entry);
}  // namespace daily_data_file

// The custom-collection products: "<run dir>/hqsj.ini", section "数据" with the
// count under "条数" and entries "1".."n" of item id, price, picture and title
// joined by "！~！".
namespace collection_file {
std::filesystem::path pathIn(const std::filesystem::path& runDirectory);
const std::string& section();
const std::string& countKey();
const std::string& separator();
// The row of an entry: parts 1-4 into columns 0, 1, 2 and 4; missing parts
// stay empty. An empty entry (a missing key) is no row.
std::optional<ProductRow> parseEntry(std::string_view entry);
}  // namespace collection_file

}  // namespace tovakin::app

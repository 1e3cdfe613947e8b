#include "core/app/product_files.h"

#include "core/app/date_texts.h"
#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"

namespace tovakin::app {

using namespace text::literals;

namespace daily_data_file {

std::filesystem::path pathFor(const std::filesystem::path& runDirectory, const platform::LocalTime& day) {
    return runDirectory / (dateText(1, day) + ".txt");
}

const std::string& countSection() {
    return "数量"_gbk;
}
const std::string& countKey() {
    return "数量"_gbk;
}
const std::string& entrySection() {
    return "详细信息"_gbk;
}
const std::string& separator() {
    return "-分割线-"_gbk;
}

std::string formatEntry(const ProductRow& row) {
    std::string entry;
    for (std::size_t column = 0; column < row.size(); ++column) {
        if (column != 0) {
            entry += separator();
        }
        entry += row[column];
    }
    return entry;
}

std::optional<ProductRow> parseEntry(std::string_view entry) {
    const auto parts = text::splitText(entry, separator());
    if (parts.size() != static_cast<std::size_t>(kProductColumnCount)) {
        return std::nullopt;
    }
    ProductRow row;
    std::move(parts.begin(), parts.end(), row.begin());
    return row;
}

}  // namespace daily_data_file

namespace collection_file {

std::filesystem::path pathIn(const std::filesystem::path& runDirectory) {
    return runDirectory / "hqsj.ini";
}

const std::string& section() {
    return "数据"_gbk;
}
const std::string& countKey() {
    return "条数"_gbk;
}
const std::string& separator() {
    return "！~！"_gbk;
}

std::optional<ProductRow> parseEntry(std::string_view entry) {
    const auto parts = text::splitText(entry, separator());
    if (parts.empty()) {
        return std::nullopt;
    }
    static constexpr int columns[] = {kItemIdColumn, kPriceColumn, kPictureColumn, kTitleColumn};
    ProductRow row;
    for (std::size_t i = 0; i < parts.size() && i < std::size(columns); ++i) {
        row[static_cast<std::size_t>(columns[i])] = parts[i];
    }
    return row;
}

}  // namespace collection_file

}  // namespace tovakin::app

#include "core/app/product_loaders.h"

#include <algorithm>
#include <climits>

#include "core/app/control_names.h"
#include "core/app/product_files.h"
#include "core/app/record_caption.h"
#include "core/profile/profile_file.h"
#include "core/text/gbk_text.h"

namespace tovakin::app {
namespace {

// The entry count a file claims, as a 32-bit count the way the counters of
// the window work; negative and non-numeric counts mean nothing to load.
int claimedCount(const profile::ProfileFile& file, std::string_view section, std::string_view key) {
    const std::int64_t count = text::textToInteger(file.read(section, key));
    return static_cast<int>(std::clamp<std::int64_t>(count, 0, INT_MAX));
}

// Keys past the highest numbered key of the section read as empty text and
// are skipped, so a count far beyond the keys need not be walked.
int lastNumberedKey(const profile::ProfileFile& file, std::string_view section) {
    int last = 0;
    for (const std::string& key : file.keys(section)) {
        if (key.empty() || key.size() > 10 || key[0] == '0' ||
            !std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        last =
            static_cast<int>(std::max<std::int64_t>(last, std::min<std::int64_t>(std::stoll(key), INT_MAX)));
    }
    return last;
}

}  // namespace

std::size_t loadDailyDataFile(const std::filesystem::path& path, ProductTable& table,
                              ControlRegistry& controls, std::string_view versionText, std::stop_token stop) {
    const profile::ProfileFile file(path);
    const int count = claimedCount(file, daily_data_file::countSection(), daily_data_file::countKey());
    const ControlId progress = controls.id(names::loadProgressBar);
    const ControlId window = controls.id(names::window);
    controls.setProgressMax(progress, count);

    const int last = std::min(count, lastNumberedKey(file, daily_data_file::entrySection()));
    std::size_t added = 0;
    for (int i = 1; i <= last && !stop.stop_requested(); ++i) {
        controls.setProgressPosition(progress, i);
        const auto row =
            daily_data_file::parseEntry(file.read(daily_data_file::entrySection(), std::to_string(i)));
        if (!row) {
            continue;
        }
        controls.setText(window, recordCountCaption(versionText, table.rowCount()));
        table.append(*row);
        ++added;
    }
    if (!stop.stop_requested()) {
        controls.setProgressPosition(progress, count);
    }
    return added;
}

std::size_t loadCollectionFile(const std::filesystem::path& path, ProductTable& table) {
    const profile::ProfileFile file(path);
    const int count = claimedCount(file, collection_file::section(), collection_file::countKey());
    const int last = std::min(count, lastNumberedKey(file, collection_file::section()));
    std::size_t added = 0;
    for (int i = 1; i <= last; ++i) {
        if (const auto row =
                collection_file::parseEntry(file.read(collection_file::section(), std::to_string(i)))) {
            table.append(*row);
            ++added;
        }
    }
    return added;
}

}  // namespace tovakin::app

#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string_view>

#include "core/app/control_registry.h"
#include "core/app/product_table.h"

namespace tovakin::app {

// Fills the table from the day's data file. Runs on a thread of its own:
// moves the load progress bar and, before each row it adds, sets the record
// count caption (so the caption shows the count without that row). Entries
// that are not six cells are skipped. Returns the number of rows added.
std::size_t loadDailyDataFile(const std::filesystem::path& file, ProductTable& table,
                              ControlRegistry& controls, std::string_view versionText,
                              std::stop_token stop = {});

// Fills the table from the collection file; touches no caption or progress.
// Returns the number of rows added.
std::size_t loadCollectionFile(const std::filesystem::path& file, ProductTable& table);

}  // namespace tovakin::app

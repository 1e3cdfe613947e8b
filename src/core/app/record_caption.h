#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tovakin::app {

// The version shown in the window caption.
inline constexpr std::string_view kVersionText = "8-16";

// "Tovakin-" + version + eight spaces + count + "条记录" (GBK).
std::string recordCountCaption(std::string_view versionText, std::size_t rowCount);

}  // namespace tovakin::app

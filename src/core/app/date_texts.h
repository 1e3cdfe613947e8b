#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

// The date and time texts written into file names and log lines (GBK).
// Numbers carry no leading zeros, except the minute and second of the
// timestamp, which always have two digits.
namespace tovakin::app {

using platform::LocalTime;

// Style 0 "2014年8月16日", 1 "2014-8-16", 2 "2014/8/16", 3 "2014816"; other styles give "".
std::string dateText(int style, const LocalTime& moment);
// Style 0 "9时5分7秒", 1 "9:5:7", 2 "9-5-7", 3 "9/5/7"; other styles give "".
std::string timeText(int style, const LocalTime& moment);
// "2014-8-16 9:05:07".
std::string timestampText(const LocalTime& moment);
// "2014年8月16日14时5分30秒"; trailing zero parts of the time of day are left
// out ("…14时5分", "…14时", at midnight only the date), inner ones stay ("14时0分30秒").
std::string dateTimeText(const LocalTime& moment);

// Reads "YYYY-MM-DD HH:MM:SS"; nullopt unless it is a real date and time.
std::optional<LocalTime> parseLocalTime(std::string_view text);

}  // namespace tovakin::app

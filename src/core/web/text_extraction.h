#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Values cut out of web pages and answers between a left and a right marker.
// Texts are GBK; markers only ever match at character boundaries, so a marker
// never matches the trail byte of a Chinese character.
namespace tovakin::web {

// The text between the first `left` and the first `right` after it. ASCII
// letters match without regard to case; "#引号" in a marker stands for '"'.
// Empty when a marker is missing or empty.
std::string textBetween(std::string_view text, std::string_view left, std::string_view right);

// Like textBetween, but exact bytes and from `position` (counted from 1;
// below 1 means from the start). On success `position` becomes the position
// just after the right marker, so repeated calls walk through the text; on
// failure it becomes 0.
std::string textBetweenAt(std::string_view text, std::string_view left, std::string_view right,
                          std::int64_t& position);

// Every value between the markers, in page order, replacing `values`; returns
// their number. The markers keep their regular-expression meaning except for
// ? * + [ ] ( ) { }, which are literal ("." is any character, "$" a line end,
// "\d" a digit ...). ASCII letters match without regard to case (other
// letters, and the bytes of Chinese characters, exactly); a value never holds
// a line feed and is the shortest that lets the right marker follow; matches
// do not overlap. Markers that do not make a valid expression give 0.
std::size_t findAllBetween(std::string_view subject, std::string_view left, std::string_view right,
                           std::vector<std::string>& values);

}  // namespace tovakin::web

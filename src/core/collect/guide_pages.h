#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app/endpoints.h"
#include "core/app/product_table.h"
#include "platform/clock.h"

// The four shopping-guide sources of the collection run: where their pages
// are, and how products are cut out of a page. Pure functions of the page
// text, so they run on any thread.
namespace tovakin::collect {

// In run order.
enum class GuideSource { Zhe800 = 0, Maidehao = 1, Zizai = 2, UzhanCenter = 3 };
inline constexpr GuideSource kGuideSources[] = {GuideSource::Zhe800, GuideSource::Maidehao,
                                                GuideSource::Zizai, GuideSource::UzhanCenter};

struct GuideHosts {
    std::string zhe800;
    std::string maidehao;
    std::string zizai;
    std::string uzhanCenter;
    std::string itemPage;  // the marketplace's item pages, named inside two markers

    static GuideHosts from(const app::Endpoints& endpoints);
};

int pageCount(GuideSource source);
// Whether the source's pages set the maximum of the run's progress bar.
bool setsProgressMaximum(GuideSource source);
std::string pageUrl(GuideSource source, const GuideHosts& hosts, int page);
// The body as GBK page text: up to its first zero byte, converted from UTF-8
// for the independent site.
std::string pageText(GuideSource source, std::string_view body);

struct ParsedPage {
    // The size of the picture list (paged sources) or the number of item blocks.
    std::size_t count = 0;
    // Paged sources: the three lists had one size. Otherwise the page is dropped.
    bool listsMatch = true;
    // "卖得好": the page held its section.
    bool sectionFound = true;
    // One entry per index 1..count; empty where a "卖得好" block lacks a value.
    std::vector<std::optional<app::ProductRow>> entries;
};

ParsedPage parsePage(GuideSource source, std::string_view text, const GuideHosts& hosts);

// The price text of a paged source from its capture.
std::string priceText(GuideSource source, const std::string& capture);

// The page's line in the log box, ending in "\r\n" (GBK).
std::string logLine(GuideSource source, int page, std::size_t count, const platform::LocalTime& now);

}  // namespace tovakin::collect

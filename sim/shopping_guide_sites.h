#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "sim/catalog.h"
#include "sim/http_server.h"

// The four shopping-guide sites the collection reads: three sub-sites of the
// marketplace's U-site platform (GBK pages) and one independent site (UTF-8),
// each under a host of its own, listing items the catalog knows with their
// pictures on the picture host. A page can be told to fail.
namespace tovakin::sim {

enum class GuideSource { Zhe800 = 0, Maidehao = 1, Zizai = 2, UzhanCenter = 3 };

struct GuideHosts {
    std::string zhe800;       // "折800": /page.php?...&page=P, pages 1-8
    std::string maidehao;     // "卖得好": its home page
    std::string zizai;        // "自在购物": /theme/tejia/view/list_goods.php?...&page=P, pages 1-10
    std::string uzhanCenter;  // "U站中心": /guang-main-page-P.html, pages 1-8
    std::string itemPage;     // the marketplace's item pages, named inside the markup
    std::string picture;      // the picture host
};

enum class PageFault {
    None,
    NoAnswer,     // page 0 (the whole source): the connection closes without an answer; a page: empty body
    ErrorStatus,  // 500 with an error page
    Garbage,      // random bytes, zero bytes among them
    UnevenLists,  // one price missing, so the page's lists differ in length
    Huge,         // the page padded to about 10 MB
};

class ShoppingGuideSites {
public:
    static constexpr int kZhe800Pages = 8;
    static constexpr int kZizaiPages = 10;
    static constexpr int kUzhanCenterPages = 8;
    static constexpr int kZhe800PerPage = 30;
    static constexpr int kZizaiPerPage = 20;
    static constexpr int kUzhanCenterPerPage = 24;
    // "卖得好" blocks on the home page; every kMaidehaoGapEvery-th lacks its price.
    static constexpr int kMaidehaoBlocks = 24;
    static constexpr int kMaidehaoGapEvery = 6;

    ShoppingGuideSites(const Catalog& catalog, GuideHosts hosts);

    static int pageCount(GuideSource source);

    // The body a page answers with when nothing fails (page ignored for "卖得好").
    std::string page(GuideSource source, int page) const;
    // The catalog items a page lists, in page order ("卖得好": every block, also
    // those that lack a value).
    std::vector<const CatalogItem*> itemsOn(GuideSource source, int page) const;

    // Page 0 of a paged source: every page of it.
    void setFault(GuideSource source, int page, PageFault fault);
    void clearFaults();

    // Routes the four hosts on `server`, which must outlive this object.
    void install(HttpServer& server);

private:
    HttpResponse answer(GuideSource source, int page) const;
    PageFault faultOf(GuideSource source, int page) const;
    std::string picture(const CatalogItem& item) const;
    std::pair<std::string, std::string> route(GuideSource source) const;
    std::string zhe800Page(int page) const;
    std::string maidehaoPage() const;
    std::string zizaiPage(int page) const;
    std::string uzhanCenterPage(int page) const;

    const Catalog& m_catalog;
    GuideHosts m_hosts;
    mutable std::mutex m_mutex;
    std::map<std::pair<int, int>, PageFault> m_faults;
    HttpServer* m_server = nullptr;
};

}  // namespace tovakin::sim

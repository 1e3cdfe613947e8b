#include "sim/shopping_guide_sites.h"

#include <cstdint>
#include <cstdlib>

#include "platform/text_codec.h"
#include "sim/picture_host.h"

namespace tovakin::sim {

namespace {

constexpr std::size_t kHugePageBytes = 10 * 1024 * 1024;

struct ShownPrice {
    unsigned whole = 0;
    unsigned cents = 0;
    bool integral = false;
};

// Every fifth product is shown at a whole price, so both price forms appear.
ShownPrice shownPrice(const CatalogItem& item, int index) {
    const std::size_t point = item.price.find('.');
    ShownPrice shown;
    shown.whole = static_cast<unsigned>(std::stoul(item.price.substr(0, point)));
    shown.cents =
        point == std::string::npos ? 0 : static_cast<unsigned>(std::stoul(item.price.substr(point + 1)));
    shown.integral = index % 5 == 4 || shown.cents == 0;
    return shown;
}

std::string twoDigits(unsigned value) {
    return (value < 10 ? "0" : "") + std::to_string(value);
}

std::string paddedToHuge(std::string page) {
    const std::string filler =
        "<!-- 推荐位 recommendation slot reserved for the next promotion wave, nothing to see here -->\n";
    const std::size_t end = page.rfind("</body>");
    std::string padding;
    padding.reserve(kHugePageBytes);
    while (page.size() + padding.size() < kHugePageBytes) {
        padding += filler;
    }
    page.insert(end == std::string::npos ? page.size() : end, padding);
    return page;
}

std::string garbage(std::uint32_t seed) {
    std::string bytes(4096, '\0');
    std::uint32_t state = seed * 2654435761U + 1;
    for (char& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<char>(state & 0xFF);
    }
    return bytes;
}

}  // namespace

ShoppingGuideSites::ShoppingGuideSites(const Catalog& catalog, GuideHosts hosts)
    : m_catalog(catalog), m_hosts(std::move(hosts)) {}

int ShoppingGuideSites::pageCount(GuideSource source) {
    switch (source) {
        case GuideSource::Zhe800:
            return kZhe800Pages;
        case GuideSource::Maidehao:
            return 1;
        case GuideSource::Zizai:
            return kZizaiPages;
        case GuideSource::UzhanCenter:
            return kUzhanCenterPages;
    }
    return 0;
}

std::vector<const CatalogItem*> ShoppingGuideSites::itemsOn(GuideSource source, int page) const {
    std::size_t first = 0;
    int count = 0;
    switch (source) {
        case GuideSource::Zhe800:
            first = static_cast<std::size_t>(page - 1) * kZhe800PerPage;
            count = kZhe800PerPage;
            break;
        case GuideSource::Maidehao:
            // Overlaps "折800": the same item listed by two sources.
            first = 100;
            count = kMaidehaoBlocks;
            break;
        case GuideSource::Zizai:
            first = 240 + static_cast<std::size_t>(page - 1) * kZizaiPerPage;
            count = kZizaiPerPage;
            break;
        case GuideSource::UzhanCenter:
            first = 440 + static_cast<std::size_t>(page - 1) * kUzhanCenterPerPage;
            count = kUzhanCenterPerPage;
            break;
    }
    std::vector<const CatalogItem*> items;
    const auto& all = m_catalog.items();
    if (all.empty() || page < 1 || page > pageCount(source)) {
        return items;
    }
    for (int i = 0; i < count; ++i) {
        items.push_back(&all[(first + static_cast<std::size_t>(i)) % all.size()]);
    }
    return items;
}

std::string ShoppingGuideSites::picture(const CatalogItem& item) const {
    return "http://" + m_hosts.picture + PictureHost::picturePath(item.itemId);
}

std::string ShoppingGuideSites::zhe800Page(int page) const {
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>折800 精选 第" +
                       std::to_string(page) +
                       "页</title></head>\n<body>\n<div class=\"top\"><a href=\"/\">折800</a></div>\n"
                       "<ul class=\"deal-list\">\n";
    int index = 0;
    for (const CatalogItem* item : itemsOn(GuideSource::Zhe800, page)) {
        const ShownPrice price = shownPrice(*item, index++);
        // One decimal digit, behind a tag of its own.
        const unsigned tenths = price.cents / 10;
        const std::string priceHtml =
            price.integral || tenths == 0
                ? std::to_string(price.whole) + "<em></em></em>"
                : std::to_string(price.whole) + "<em>." + std::to_string(tenths) + "</em></em>";
        html += "<li class=\"deal\"><div class=\"pic\"><img src=\"" + picture(*item) +
                "_290x290.jpg\" alt=\"" + item->title + "\" /></div><h3>" + item->title +
                "</h3><div class=\"price\"><em><b>￥</b>" + priceHtml +
                "<del>原价</del></div><a class=\"buy\" href=\"http://" + m_hosts.itemPage +
                "/item.htm?id=" + item->itemId + "\"></a></li>\n";
    }
    html += "</ul>\n<div class=\"pager\">第" + std::to_string(page) + "页</div>\n</body></html>\n";
    return platform::utf8ToGbk(html);
}

std::string ShoppingGuideSites::maidehaoPage() const {
    const std::string section = "<span>卖得好独家折扣</span> </div>";
    const std::string block = "<div class=\"goodsItem\"><a href=\"http://" + m_hosts.itemPage + "/";
    const auto blockHtml = [&](const CatalogItem& item, bool withPrice) {
        return block + "item.htm?id=" + item.itemId +
               "\" class=\"n_link\" target=\"_blank\"><img data-ks-lazyload=\"" + picture(item) +
               "_310x310.jpg\" /></a><h2 class=\"goods_name\"><span>" + item.title +
               "</h2><h2 class=\"goods_price\">" +
               (withPrice ? "<em>￥</em>" + item.price + "</span>" : std::string("<b>已抢光</b>")) +
               "</h2></div>\n";
    };
    const auto& all = m_catalog.items();
    std::string html =
        "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>卖得好</title></head>\n<body>\n"
        "<div class=\"mod\"><div class=\"hd\"><span>今日推荐</span> </div>\n";
    // Blocks of another section come first; they are not part of the offer.
    for (std::size_t i = 0; i < 2 && i < all.size(); ++i) {
        html += blockHtml(all[all.size() - 1 - i], true);
    }
    html += "</div>\n<div class=\"mod\"><div class=\"hd\">" + section + "\n";
    int index = 0;
    for (const CatalogItem* item : itemsOn(GuideSource::Maidehao, 1)) {
        ++index;
        html += blockHtml(*item, index % kMaidehaoGapEvery != 0);
    }
    html += "</div>\n<div class=\"mod more\"><div class=\"hd\">" + section + "\n";
    for (std::size_t i = 2; i < 4 && i < all.size(); ++i) {
        html += blockHtml(all[all.size() - 1 - i], true);
    }
    html += "</div>\n</body></html>\n";
    return platform::utf8ToGbk(html);
}

std::string ShoppingGuideSites::zizaiPage(int page) const {
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"gbk\"><title>自在购物 特价 第" +
                       std::to_string(page) + "页</title></head>\n<body>\n<ul class=\"plist\">\n";
    int index = 0;
    for (const CatalogItem* item : itemsOn(GuideSource::Zizai, page)) {
        const ShownPrice price = shownPrice(*item, index++);
        const std::string priceHtml = price.integral ? std::to_string(price.whole) + "</em><span></span>"
                                                     : std::to_string(price.whole) + "<span>." +
                                                           twoDigits(price.cents) + "</span></em>";
        html += "<li class=\"pitem\"><div class=\"pimg\"><img data-ks-lazyload=\"" + picture(*item) +
                "_290x290.jpg\" src=\"http://" + m_hosts.picture +
                "/s.gif\" /></div><div class=\"plisttitle\"><a href=\"http://" + m_hosts.itemPage +
                "/item.htm?id=" + item->itemId + "&spm=a2116.7056265.0.0.K7q4AN\" target=\"_blank\">" +
                item->title + "</a></div><div class=\"pprice\"><i>￥</i><em>" + priceHtml + "</div></li>\n";
    }
    html += "</ul>\n</body></html>\n";
    return platform::utf8ToGbk(html);
}

std::string ShoppingGuideSites::uzhanCenterPage(int page) const {
    std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>U站中心 第" +
                       std::to_string(page) + "页</title></head>\n<body>\n<div class=\"goods-list\">\n";
    for (const CatalogItem* item : itemsOn(GuideSource::UzhanCenter, page)) {
        html += "<div class=\"goods\"><img class=\"lazy\" data-original=\"" + picture(*item) +
                "_310x310.jpg\" src=\"/grey.gif\"><p class=\"title\">" + item->title +
                "</p><p class=\"price\"><span><b>￥</b>" + item->price +
                "</span><a href=\"/guang-detail.html?id=" + item->itemId +
                "\" target=\"_blank\" class=\"go_btn linkitem\">去抢购</a></p></div>\n";
    }
    html += "</div>\n</body></html>\n";
    return html;  // UTF-8
}

std::string ShoppingGuideSites::page(GuideSource source, int page) const {
    switch (source) {
        case GuideSource::Zhe800:
            return zhe800Page(page);
        case GuideSource::Maidehao:
            return maidehaoPage();
        case GuideSource::Zizai:
            return zizaiPage(page);
        case GuideSource::UzhanCenter:
            return uzhanCenterPage(page);
    }
    return {};
}

std::pair<std::string, std::string> ShoppingGuideSites::route(GuideSource source) const {
    switch (source) {
        case GuideSource::Zhe800:
            return {m_hosts.zhe800, "/page.php"};
        case GuideSource::Maidehao:
            return {m_hosts.maidehao, "/"};
        case GuideSource::Zizai:
            return {m_hosts.zizai, "/theme/tejia/view/list_goods.php"};
        case GuideSource::UzhanCenter:
            return {m_hosts.uzhanCenter, "/guang-main-page-*"};
    }
    return {};
}

void ShoppingGuideSites::setFault(GuideSource source, int page, PageFault fault) {
    {
        std::lock_guard lock(m_mutex);
        m_faults[{static_cast<int>(source), page}] = fault;
    }
    if (page == 0 && m_server != nullptr) {
        const auto [host, path] = route(source);
        m_server->setBehaviour(host, path,
                               fault == PageFault::NoAnswer
                                   ? RouteBehaviour::failing(RouteFailure::CloseWithoutAnswer)
                                   : RouteBehaviour{});
    }
}

void ShoppingGuideSites::clearFaults() {
    {
        std::lock_guard lock(m_mutex);
        m_faults.clear();
    }
    if (m_server != nullptr) {
        for (const GuideSource source :
             {GuideSource::Zhe800, GuideSource::Maidehao, GuideSource::Zizai, GuideSource::UzhanCenter}) {
            const auto [host, path] = route(source);
            m_server->setBehaviour(host, path, RouteBehaviour{});
        }
    }
}

PageFault ShoppingGuideSites::faultOf(GuideSource source, int page) const {
    std::lock_guard lock(m_mutex);
    for (const int key : {page, 0}) {
        const auto found = m_faults.find({static_cast<int>(source), key});
        if (found != m_faults.end() && found->second != PageFault::None) {
            return found->second;
        }
    }
    return PageFault::None;
}

HttpResponse ShoppingGuideSites::answer(GuideSource source, int pageNumber) const {
    const std::string type =
        source == GuideSource::UzhanCenter ? "text/html; charset=utf-8" : "text/html; charset=gbk";
    if (pageNumber < 1 || pageNumber > pageCount(source)) {
        return HttpResponse::notFound();
    }
    switch (faultOf(source, pageNumber)) {
        case PageFault::None:
            break;
        case PageFault::NoAnswer:
            // Checked by the server before the handler runs; here only when set
            // after install for a single page, which closes nothing: answer empty.
            return HttpResponse::text("", type);
        case PageFault::ErrorStatus:
            return HttpResponse{
                500, {{"Content-Type", "text/html"}}, "<html><body>500 Internal Server Error</body></html>"};
        case PageFault::Garbage:
            return HttpResponse::text(garbage(static_cast<std::uint32_t>(pageNumber)), type);
        case PageFault::UnevenLists: {
            std::string body = page(source, pageNumber);
            static const std::string zhe800Price = platform::utf8ToGbk("em><b>￥</b>");
            static const std::string zizaiPrice = "</i><em>";
            static const std::string uzhanPrice = "<b>￥</b>";
            const std::string& marker = source == GuideSource::Zhe800  ? zhe800Price
                                        : source == GuideSource::Zizai ? zizaiPrice
                                                                       : uzhanPrice;
            const std::size_t at = body.find(marker);
            if (at != std::string::npos) {
                body.replace(at, marker.size(), "em>");
            }
            return HttpResponse::text(body, type);
        }
        case PageFault::Huge:
            return HttpResponse::text(paddedToHuge(page(source, pageNumber)), type);
    }
    return HttpResponse::text(page(source, pageNumber), type);
}

void ShoppingGuideSites::install(HttpServer& server) {
    m_server = &server;
    const auto pageOf = [](const HttpRequest& request) {
        // "page=P" in the query, or "-P.html" at the end of the path.
        const std::size_t at = request.query.find("page=");
        const std::string digits = at == std::string::npos ? std::string() : request.query.substr(at + 5);
        return std::atoi(digits.c_str());
    };
    server.route(m_hosts.zhe800, "/page.php", [this, pageOf](const HttpRequest& request) {
        return answer(GuideSource::Zhe800, pageOf(request));
    });
    server.route(m_hosts.maidehao, "/",
                 [this](const HttpRequest&) { return answer(GuideSource::Maidehao, 1); });
    server.route(
        m_hosts.zizai, "/theme/tejia/view/list_goods.php",
        [this, pageOf](const HttpRequest& request) { return answer(GuideSource::Zizai, pageOf(request)); });
    server.route(m_hosts.uzhanCenter, "/guang-main-page-*", [this](const HttpRequest& request) {
        constexpr std::string_view prefix = "/guang-main-page-";
        const std::string rest = request.path.substr(prefix.size());
        if (!rest.ends_with(".html")) {
            return HttpResponse::notFound();
        }
        return answer(GuideSource::UzhanCenter, std::atoi(rest.c_str()));
    });
}

}  // namespace tovakin::sim

#include "core/collect/guide_pages.h"

#include <cstdint>
#include <cstdio>

#include "core/app/date_texts.h"
#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"
#include "core/web/text_encoding.h"
#include "core/web/text_extraction.h"

namespace tovakin::collect {

using namespace text::literals;

namespace {

struct PagedMarkers {
    std::string pictureLeft, pictureRight;
    std::string idLeft, idRight;
    std::string priceLeft, priceRight;
};

PagedMarkers pagedMarkers(GuideSource source, const GuideHosts& hosts) {
    switch (source) {
        case GuideSource::Zhe800:
            return {
                "<img src=\"", "_290x290.jpg", "item.htm?id=", "\"></a>", "em><b>￥</b>"_gbk, "</em></em>"};
        case GuideSource::Zizai:
            return {"<img data-ks-lazyload=\"http://",
                    "_290x290",
                    "<div class=\"plisttitle\"><a href=\"http://" + hosts.itemPage + "/item.htm?id=",
                    "&spm=",
                    "</i><em>",
                    "</span>"};
        case GuideSource::UzhanCenter:
            return {"data-original=\"",       "_310x310",
                    "/guang-detail.html?id=", "\" target=\"_blank\" class=\"go_btn linkitem\">",
                    "<b>￥</b>"_gbk,          "</span>"};
        case GuideSource::Maidehao:
            break;
    }
    return {};
}

// Full-width digits (GBK A3 B0..A3 B9) read as digits.
std::string withAsciiDigits(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (text::isGbkLeadByte(lead) && i + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            if (lead == 0xA3 && trail >= 0xB0 && trail <= 0xB9) {
                out += static_cast<char>('0' + (trail - 0xB0));
            } else {
                out.append(text.substr(i, 2));
            }
            i += 2;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string numberText(std::string_view text) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.13g", text::textToNumber(withAsciiDigits(text)));
    return buffer;
}

std::string lastBytes(const std::string& text, std::size_t count) {
    return count >= text.size() ? text : text.substr(text.size() - count);
}

std::string pictureText(GuideSource source, const std::string& capture) {
    return source == GuideSource::Zizai ? "http://" + capture : capture;
}

ParsedPage parsePaged(GuideSource source, std::string_view text, const GuideHosts& hosts) {
    const PagedMarkers markers = pagedMarkers(source, hosts);
    std::vector<std::string> pictures, ids, prices;
    web::findAllBetween(text, markers.pictureLeft, markers.pictureRight, pictures);
    web::findAllBetween(text, markers.idLeft, markers.idRight, ids);
    web::findAllBetween(text, markers.priceLeft, markers.priceRight, prices);
    ParsedPage page;
    page.count = pictures.size();
    page.listsMatch = ids.size() == pictures.size() && prices.size() == pictures.size();
    if (!page.listsMatch) {
        return page;
    }
    page.entries.reserve(page.count);
    for (std::size_t n = 0; n < page.count; ++n) {
        app::ProductRow row{};
        row[app::kItemIdColumn] = std::move(ids[n]);
        row[app::kPriceColumn] = priceText(source, prices[n]);
        row[app::kPictureColumn] = pictureText(source, pictures[n]);
        page.entries.emplace_back(std::move(row));
    }
    return page;
}

ParsedPage parseMaidehao(std::string_view text, const GuideHosts& hosts) {
    ParsedPage page;
    const std::string& section = "<span>卖得好独家折扣</span> </div>"_gbk;
    // The second piece of the split at the section marker.
    const std::size_t start = text::findAtCharBoundary(text, section);
    if (start == std::string_view::npos) {
        page.sectionFound = false;
        return page;
    }
    std::string_view piece = text.substr(start + section.size());
    const std::size_t end = text::findAtCharBoundary(piece, section);
    if (end != std::string_view::npos) {
        piece = piece.substr(0, end);
    }
    const std::vector<std::string> blocks =
        text::splitText(piece, "<div class=\"goodsItem\"><a href=\"http://" + hosts.itemPage + "/");
    page.count = blocks.size();
    page.entries.reserve(blocks.size());
    for (const std::string& block : blocks) {
        const auto value = [&block](std::string_view left, std::string_view right) {
            std::int64_t position = 0;
            return web::textBetweenAt(block, left, right, position);
        };
        const std::string picture = value("<img data-ks-lazyload=\"", "_310x310");
        const std::string id = value("item.htm?id=", "\" class=\"n_link\"");
        const std::string price = value("<em>￥</em>"_gbk, "</span>");
        const std::string title = value("goods_name\">", "</h2><h2 ");
        if (picture.empty() || id.empty() || price.empty() || title.empty()) {
            page.entries.emplace_back(std::nullopt);
            continue;
        }
        app::ProductRow row{};
        row[app::kItemIdColumn] = id;
        row[app::kPriceColumn] = price;
        row[app::kPictureColumn] = picture;
        row[app::kTitleColumn] = title.size() > 6 ? title.substr(6) : std::string();
        page.entries.emplace_back(std::move(row));
    }
    return page;
}

}  // namespace

GuideHosts GuideHosts::from(const app::Endpoints& endpoints) {
    return {endpoints.host("zhe800-host"), endpoints.host("maidehao-host"), endpoints.host("zizai-host"),
            endpoints.host("uzhan-center-host"), endpoints.host("item-page-host")};
}

int pageCount(GuideSource source) {
    switch (source) {
        case GuideSource::Zhe800:
            return 8;
        case GuideSource::Maidehao:
            return 1;
        case GuideSource::Zizai:
            return 10;
        case GuideSource::UzhanCenter:
            return 8;
    }
    return 0;
}

bool setsProgressMaximum(GuideSource source) {
    return source != GuideSource::UzhanCenter;
}

std::string pageUrl(GuideSource source, const GuideHosts& hosts, int page) {
    const std::string p = std::to_string(page);
    switch (source) {
        case GuideSource::Zhe800:
            return "http://" + hosts.zhe800 + "/page.php?spm=a2116.2183401.0.0.PPCx6X&page=" + p;
        case GuideSource::Maidehao:
            return "http://" + hosts.maidehao + "/";
        case GuideSource::Zizai:
            return "http://" + hosts.zizai +
                   "/theme/tejia/view/list_goods.php?spm=a2116.7056265.0.0.K7q4AN&page=" + p +
                   "&yugao=-1&pindaoId=-1&catId=-1&xinpin=1";
        case GuideSource::UzhanCenter:
            return "http://" + hosts.uzhanCenter + "/guang-main-page-" + p + ".html";
    }
    return {};
}

std::string pageText(GuideSource source, std::string_view body) {
    const std::string_view text = body.substr(0, body.find('\0'));
    return source == GuideSource::UzhanCenter ? web::utf8TextToGbk(text) : std::string(text);
}

std::string priceText(GuideSource source, const std::string& capture) {
    const bool hasPoint = capture.find('.') != std::string::npos;
    switch (source) {
        case GuideSource::Zhe800:
            return numberText(capture) + (hasPoint ? lastBytes(capture, 2) : std::string());
        case GuideSource::Zizai:
            return numberText(capture) + (hasPoint ? lastBytes(capture, 3) : std::string(".00"));
        case GuideSource::Maidehao:
        case GuideSource::UzhanCenter:
            break;
    }
    return capture;
}

ParsedPage parsePage(GuideSource source, std::string_view text, const GuideHosts& hosts) {
    return source == GuideSource::Maidehao ? parseMaidehao(text, hosts) : parsePaged(source, text, hosts);
}

std::string logLine(GuideSource source, int page, std::size_t count, const platform::LocalTime& now) {
    const std::string time = app::timeText(3, now);
    const std::string p = std::to_string(page), n = std::to_string(count);
    switch (source) {
        case GuideSource::Zhe800:
            return "折800网 第"_gbk + p + "页   "_gbk + n + "         " + time + "\r\n";
        case GuideSource::Maidehao:
            return "卖得好"_gbk + n + "               " + time + "\r\n";
        case GuideSource::Zizai:
            return "自在购物 第"_gbk + p + "页      "_gbk + n + "         " + time + "\r\n";
        case GuideSource::UzhanCenter:
            return "U站中心 第"_gbk + p + "页       "_gbk + n + "         " + time + "\r\n";
    }
    return {};
}

}  // namespace tovakin::collect

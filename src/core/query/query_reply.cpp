#include "core/query/query_reply.h"

#include "core/text/gbk_literal.h"

namespace tovakin::query {

using namespace text::literals;

const std::string& replyMarker() {
    return "分割线"_gbk;
}

const std::string& notFoundReply() {
    static const std::string reply = replyMarker() + replyMarker() + "商品信息不存在或商品编号不正确，！"_gbk;
    return reply;
}

std::string foundReply(std::string_view redirectLink, std::string_view commissionRate) {
    return std::string(redirectLink) + replyMarker() + std::string(commissionRate) + replyMarker();
}

bool isCompleteReply(std::string_view received) {
    if (received == notFoundReply()) {
        return true;
    }
    const std::string& marker = replyMarker();
    const auto first = received.find(marker);
    return first != std::string_view::npos && first > 0 && received.size() >= first + 2 * marker.size() &&
           received.ends_with(marker);
}

std::string itemIdOfChunk(std::string_view chunk) {
    if (chunk.size() > kMaxItemIdLength) {
        return {};
    }
    return std::string(chunk.substr(0, chunk.find('\0')));
}

std::string answerQuery(const web::AffiliateClient& client, const std::string& itemId) {
    const auto redirect = client.redirectLink(itemId);
    const std::string commission = client.queryCommissionRate(itemId);
    return redirect.found ? foundReply(redirect.link, commission) : notFoundReply();
}

}  // namespace tovakin::query

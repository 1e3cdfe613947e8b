#pragma once

#include <string>
#include <string_view>

#include "core/web/affiliate_client.h"

// The reply of the query service (GBK, no terminating zero, no line end):
// redirect link, "分割线", commission rate, "分割线" when the item was found;
// "分割线分割线商品信息不存在或商品编号不正确，！" when it was not.
namespace tovakin::query {

const std::string& replyMarker();
const std::string& notFoundReply();
std::string foundReply(std::string_view redirectLink, std::string_view commissionRate);

// Whether `received` holds a whole reply. Replies carry no length or end
// mark, so a client tells by their shape: the not-found text, or two markers
// with the last one at the end and a link in front.
bool isCompleteReply(std::string_view received);

// The longest chunk taken for an item id; longer ones are answered as not
// found without asking the platform.
inline constexpr std::size_t kMaxItemIdLength = 64;

// The item id a received chunk names: its text up to the first zero byte;
// empty when the chunk cannot be an item id (nothing, or too long).
std::string itemIdOfChunk(std::string_view chunk);

// Asks the platform for one item: the auction code, then the commission
// search (sent whatever the first found), both with PlainHttpGet.
std::string answerQuery(const web::AffiliateClient& client, const std::string& itemId);

}  // namespace tovakin::query

#include "core/app/endpoints.h"

namespace tovakin::app {

Endpoints::Endpoints()
    : m_hosts{
          // The affiliate platform: its pages (login) and its JSON API.
          {"affiliate-web-host", "www.alimama.com"},
          {"affiliate-api-host", "pub.alimama.com"},
          // Hosts that appear inside requests and answers of the platform.
          {"mall-item-host", "detail.tmall.com"},
          {"affiliate-click-host", "s.click.taobao.com"},
          {"redirect-link-host", "redirect.simba.taobao.com"},
          // The item-info service of the custom collection.
          {"item-info-host", "www.tkzhushou.com"},
          // The shopping-guide sites.
          {"usite-host", "uz.taobao.com"},
          {"zhe800-host", "zhe800.uz.taobao.com"},
          {"maidehao-host", "maidehao.uz.taobao.com"},
          {"zizai-host", "zizaigouwu.uz.taobao.com"},
          {"uzhan-center-host", "www.uzhanzhongxin.com"},
          // The marketplace's item pages (named inside the guide pages' markup) and pictures.
          {"item-page-host", "item.taobao.com"},
          {"picture-host", "img01.taobaocdn.com"},
      } {}

std::string Endpoints::host(std::string_view name) const {
    const auto found = m_hosts.find(name);
    return found == m_hosts.end() ? std::string() : found->second;
}

void Endpoints::setHost(std::string_view name, std::string host) {
    m_hosts[std::string(name)] = std::move(host);
}

std::string Endpoints::expand(std::string_view text) const {
    std::string out;
    std::size_t pos = 0;
    while (true) {
        const std::size_t open = text.find("${", pos);
        const std::size_t close = open == std::string_view::npos ? open : text.find('}', open);
        if (close == std::string_view::npos) {
            out += text.substr(pos);
            return out;
        }
        out += text.substr(pos, open - pos);
        const auto found = m_hosts.find(text.substr(open + 2, close - open - 2));
        out += found != m_hosts.end() ? std::string_view(found->second) : text.substr(open, close + 1 - open);
        pos = close + 1;
    }
}

}  // namespace tovakin::app

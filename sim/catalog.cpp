#include "sim/catalog.h"

#include <array>
#include <random>

namespace tovakin::sim {

namespace {
constexpr std::array<std::string_view, 16> kAdjectives{
    "夏季", "新款", "韩版", "加厚", "纯棉", "创意", "简约", "便携",
    "儿童", "男士", "女士", "时尚", "复古", "原创", "家用", "迷你",
};
constexpr std::array<std::string_view, 16> kProducts{
    "短袖T恤",    "马克杯",   "双肩包",   "手机支架", "休闲皮鞋", "竹炭包", "连衣裙",   "保温饭盒",
    "珊瑚绒毛毯", "拼图玩具", "蓝牙耳机", "洗脸巾",   "收纳盒",   "雨伞",   "运动水杯", "台灯",
};
constexpr std::array<std::string_view, 6> kExtras{"包邮", "特价", "限时抢购", "买一送一", "正品", "清仓"};
}  // namespace

Catalog::Catalog(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    m_items.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        CatalogItem item;
        item.itemId = std::to_string(36000000000ULL + random() % 6000000000ULL);
        item.title = std::string(kAdjectives[random() % kAdjectives.size()]) +
                     std::string(kProducts[random() % kProducts.size()]) + " " +
                     std::string(kExtras[random() % kExtras.size()]);
        const unsigned cents = 190 + random() % 19800;
        item.price =
            std::to_string(cents / 100) + "." + (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100);
        // One item in eight earns no commission.
        if (random() % 8 != 0) {
            const unsigned rate = 150 + random() % 3000;
            item.commissionRate =
                std::to_string(rate / 100) + "." + (rate % 100 < 10 ? "0" : "") + std::to_string(rate % 100);
        }
        m_index.emplace(item.itemId, m_items.size());
        m_items.push_back(std::move(item));
    }
}

const CatalogItem* Catalog::find(std::string_view itemId) const {
    const auto found = m_index.find(std::string(itemId));
    return found == m_index.end() ? nullptr : &m_items[found->second];
}

}  // namespace tovakin::sim

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The products the simulated world knows: the same items appear on the
// shopping-guide pages and are answered by the affiliate platform.
namespace tovakin::sim {

struct CatalogItem {
    std::string itemId;          // 11 decimal digits
    std::string title;           // UTF-8
    std::string price;           // "39.90"
    std::string commissionRate;  // "5.50"; empty: the item earns no commission
};

class Catalog {
public:
    // A fixed, reproducible set of `size` items.
    explicit Catalog(std::size_t size = 400, std::uint32_t seed = 20140816);

    const std::vector<CatalogItem>& items() const { return m_items; }
    const CatalogItem* find(std::string_view itemId) const;

private:
    std::vector<CatalogItem> m_items;
    std::unordered_map<std::string, std::size_t> m_index;  // item id -> first item
};

}  // namespace tovakin::sim

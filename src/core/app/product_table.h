#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

// The one store of products while the program runs. Rows are appended at the
// end and removed anywhere; each row keeps an identity for its whole life, so
// a worker that read a product can write back into that product's row even
// when rows above it were removed in between.
namespace tovakin::app {

enum ProductColumn : int {
    kItemIdColumn = 0,
    kPriceColumn = 1,
    kPictureColumn = 2,
    kCommissionColumn = 3,
    kTitleColumn = 4,
    kLinkColumn = 5,
};
inline constexpr int kProductColumnCount = 6;

// The six texts of a row in column order (GBK); empty means not obtained yet.
using ProductRow = std::array<std::string, kProductColumnCount>;
using RowId = std::uint64_t;

struct ProductTableChange {
    enum class Kind { Appended, CellChanged, Removed };
    Kind kind;
    RowId row;
    std::size_t index;   // the row's index when the change was made
    int column = -1;     // CellChanged
    ProductRow cells{};  // Appended: the new row; CellChanged: only cells[column] is set
};

class ProductTable {
public:
    using Listener = std::function<void(const ProductTableChange&)>;

    // Appends a row at the end and returns its index.
    std::size_t append(ProductRow cells = {});
    // Appends a row at the end and returns its identity.
    RowId appendRow(ProductRow cells);

    std::size_t rowCount() const;
    // A cell past the end of the table, or of an unknown column, reads as empty text.
    std::string cell(std::size_t index, int column) const;
    bool setCell(std::size_t index, int column, std::string text);
    std::optional<ProductRow> row(std::size_t index) const;
    bool remove(std::size_t index);

    std::optional<RowId> idAt(std::size_t index) const;
    std::optional<std::size_t> indexOf(RowId id) const;
    std::string cellOf(RowId id, int column) const;
    bool setCellOf(RowId id, int column, std::string text);
    std::optional<ProductRow> rowOf(RowId id) const;

    std::vector<ProductRow> rows() const;

    // Listeners are called with the table locked, in the order of the changes,
    // so a listener must be quick and must not call back into the table. With
    // `replayRows` the listener first hears of every row already there as
    // appended, so it misses nothing and sees nothing twice.
    std::size_t addListener(Listener listener, bool replayRows = false);
    void removeListener(std::size_t token);

private:
    struct Entry {
        RowId id;
        ProductRow cells;
    };

    // Rows are only ever appended, so identities grow with the index.
    std::vector<Entry>::const_iterator findLocked(RowId id) const;
    std::pair<std::size_t, RowId> appendLocked(ProductRow cells);
    bool setCellLocked(std::size_t index, int column, std::string text);
    void notifyLocked(const ProductTableChange& change) const;

    mutable std::shared_mutex m_mutex;
    std::vector<Entry> m_entries;
    RowId m_nextId = 1;
    std::vector<std::pair<std::size_t, Listener>> m_listeners;
    std::size_t m_nextToken = 1;
};

}  // namespace tovakin::app

#include "core/app/product_table.h"

#include <algorithm>
#include <mutex>

namespace tovakin::app {

namespace {
bool validColumn(int column) {
    return column >= 0 && column < kProductColumnCount;
}
}  // namespace

std::pair<std::size_t, RowId> ProductTable::appendLocked(ProductRow cells) {
    const RowId id = m_nextId++;
    m_entries.push_back({id, cells});
    const std::size_t index = m_entries.size() - 1;
    notifyLocked({ProductTableChange::Kind::Appended, id, index, -1, std::move(cells)});
    return {index, id};
}

std::size_t ProductTable::append(ProductRow cells) {
    std::unique_lock lock(m_mutex);
    return appendLocked(std::move(cells)).first;
}

RowId ProductTable::appendRow(ProductRow cells) {
    std::unique_lock lock(m_mutex);
    return appendLocked(std::move(cells)).second;
}

std::size_t ProductTable::rowCount() const {
    std::shared_lock lock(m_mutex);
    return m_entries.size();
}

std::string ProductTable::cell(std::size_t index, int column) const {
    std::shared_lock lock(m_mutex);
    if (index >= m_entries.size() || !validColumn(column)) {
        return {};
    }
    return m_entries[index].cells[static_cast<std::size_t>(column)];
}

bool ProductTable::setCellLocked(std::size_t index, int column, std::string text) {
    if (index >= m_entries.size() || !validColumn(column)) {
        return false;
    }
    Entry& entry = m_entries[index];
    ProductTableChange change{ProductTableChange::Kind::CellChanged, entry.id, index, column, {}};
    change.cells[static_cast<std::size_t>(column)] = text;
    entry.cells[static_cast<std::size_t>(column)] = std::move(text);
    notifyLocked(change);
    return true;
}

bool ProductTable::setCell(std::size_t index, int column, std::string text) {
    std::unique_lock lock(m_mutex);
    return setCellLocked(index, column, std::move(text));
}

std::optional<ProductRow> ProductTable::row(std::size_t index) const {
    std::shared_lock lock(m_mutex);
    if (index >= m_entries.size()) {
        return std::nullopt;
    }
    return m_entries[index].cells;
}

bool ProductTable::remove(std::size_t index) {
    std::unique_lock lock(m_mutex);
    if (index >= m_entries.size()) {
        return false;
    }
    const RowId id = m_entries[index].id;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    notifyLocked({ProductTableChange::Kind::Removed, id, index, -1, {}});
    return true;
}

std::optional<RowId> ProductTable::idAt(std::size_t index) const {
    std::shared_lock lock(m_mutex);
    if (index >= m_entries.size()) {
        return std::nullopt;
    }
    return m_entries[index].id;
}

std::vector<ProductTable::Entry>::const_iterator ProductTable::findLocked(RowId id) const {
    const auto found = std::lower_bound(m_entries.begin(), m_entries.end(), id,
                                        [](const Entry& entry, RowId wanted) { return entry.id < wanted; });
    return (found != m_entries.end() && found->id == id) ? found : m_entries.end();
}

std::optional<std::size_t> ProductTable::indexOf(RowId id) const {
    std::shared_lock lock(m_mutex);
    const auto found = findLocked(id);
    if (found == m_entries.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - m_entries.begin());
}

std::string ProductTable::cellOf(RowId id, int column) const {
    std::shared_lock lock(m_mutex);
    const auto found = findLocked(id);
    if (found == m_entries.end() || !validColumn(column)) {
        return {};
    }
    return found->cells[static_cast<std::size_t>(column)];
}

bool ProductTable::setCellOf(RowId id, int column, std::string text) {
    std::unique_lock lock(m_mutex);
    const auto found = findLocked(id);
    if (found == m_entries.end()) {
        return false;
    }
    return setCellLocked(static_cast<std::size_t>(found - m_entries.begin()), column, std::move(text));
}

std::optional<ProductRow> ProductTable::rowOf(RowId id) const {
    std::shared_lock lock(m_mutex);
    const auto found = findLocked(id);
    if (found == m_entries.end()) {
        return std::nullopt;
    }
    return found->cells;
}

std::vector<ProductRow> ProductTable::rows() const {
    std::shared_lock lock(m_mutex);
    std::vector<ProductRow> all;
    all.reserve(m_entries.size());
    for (const Entry& entry : m_entries) {
        all.push_back(entry.cells);
    }
    return all;
}

std::size_t ProductTable::addListener(Listener listener, bool replayRows) {
    std::unique_lock lock(m_mutex);
    if (replayRows) {
        for (std::size_t index = 0; index < m_entries.size(); ++index) {
            listener(
                {ProductTableChange::Kind::Appended, m_entries[index].id, index, -1, m_entries[index].cells});
        }
    }
    m_listeners.emplace_back(m_nextToken, std::move(listener));
    return m_nextToken++;
}

void ProductTable::removeListener(std::size_t token) {
    std::unique_lock lock(m_mutex);
    std::erase_if(m_listeners, [token](const auto& entry) { return entry.first == token; });
}

void ProductTable::notifyLocked(const ProductTableChange& change) const {
    for (const auto& [token, listener] : m_listeners) {
        listener(change);
    }
}

}  // namespace tovakin::app

#include "gui/product_table_model.h"

#include <QMetaObject>
#include <algorithm>

#include "gui/qt_text.h"

namespace tovakin::gui {

using Kind = app::ProductTableChange::Kind;

ProductTableModel::ProductTableModel(app::ProductTable& table, std::span<const app::ColumnSpec> columns,
                                     QObject* parent)
    : QAbstractTableModel(parent), m_table(table), m_columns(columns) {
    m_listenerToken = m_table.addListener([this](const app::ProductTableChange& change) { enqueue(change); },
                                          /*replayRows=*/true);
    applyPendingChanges();
}

ProductTableModel::~ProductTableModel() {
    m_table.removeListener(m_listenerToken);
}

void ProductTableModel::enqueue(const app::ProductTableChange& change) {
    std::lock_guard lock(m_pendingMutex);
    m_pending.push_back(change);
    if (!m_flushScheduled) {
        m_flushScheduled = true;
        QMetaObject::invokeMethod(this, &ProductTableModel::applyPendingChanges, Qt::QueuedConnection);
    }
}

int ProductTableModel::mirrorIndexOf(app::RowId id) const {
    // Identities grow with the index, as in the table itself.
    const auto found =
        std::lower_bound(m_rows.begin(), m_rows.end(), id,
                         [](const MirrorRow& row, app::RowId wanted) { return row.id < wanted; });
    return (found != m_rows.end() && found->id == id) ? static_cast<int>(found - m_rows.begin()) : -1;
}

void ProductTableModel::applyPendingChanges() {
    std::vector<app::ProductTableChange> changes;
    {
        std::lock_guard lock(m_pendingMutex);
        changes.swap(m_pending);
        m_flushScheduled = false;
    }
    std::size_t i = 0;
    while (i < changes.size()) {
        const app::ProductTableChange& change = changes[i];
        if (change.kind == Kind::Appended) {
            // One insertion for a run of appends.
            std::size_t end = i;
            while (end < changes.size() && changes[end].kind == Kind::Appended) {
                ++end;
            }
            const int first = static_cast<int>(m_rows.size());
            beginInsertRows({}, first, first + static_cast<int>(end - i) - 1);
            for (; i < end; ++i) {
                m_rows.push_back({changes[i].row, std::move(changes[i].cells)});
            }
            endInsertRows();
            continue;
        }
        const int row = mirrorIndexOf(change.row);
        if (row >= 0 && change.kind == Kind::Removed) {
            beginRemoveRows({}, row, row);
            m_rows.erase(m_rows.begin() + row);
            endRemoveRows();
        } else if (row >= 0 && change.kind == Kind::CellChanged) {
            const auto column = static_cast<std::size_t>(change.column);
            m_rows[static_cast<std::size_t>(row)].cells[column] = change.cells[column];
            const QModelIndex cell = index(row, change.column);
            emit dataChanged(cell, cell, {Qt::DisplayRole});
        }
        ++i;
    }
}

int ProductTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ProductTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant ProductTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole) ||
        index.row() >= static_cast<int>(m_rows.size()) || index.column() >= app::kProductColumnCount) {
        return {};
    }
    return fromGbk(
        m_rows[static_cast<std::size_t>(index.row())].cells[static_cast<std::size_t>(index.column())]);
}

QVariant ProductTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= static_cast<int>(m_columns.size())) {
        return {};
    }
    return fromUtf8(m_columns[static_cast<std::size_t>(section)].header);
}

}  // namespace tovakin::gui

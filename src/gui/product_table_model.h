#pragma once

#include <QAbstractTableModel>
#include <mutex>
#include <span>
#include <vector>

#include "core/app/control_description.h"
#include "core/app/product_table.h"

namespace tovakin::gui {

// Shows the product table. The table changes on worker threads; the model
// keeps a mirror that only the GUI thread touches, fed by a queue of the
// table's changes that is drained in one go per event-loop turn, so ten
// thousand appended rows become a handful of row insertions, not ten thousand.
class ProductTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    ProductTableModel(app::ProductTable& table, std::span<const app::ColumnSpec> columns,
                      QObject* parent = nullptr);
    ~ProductTableModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Applies every change queued so far (normally called by the event loop).
    void applyPendingChanges();

private:
    struct MirrorRow {
        app::RowId id;
        app::ProductRow cells;
    };

    void enqueue(const app::ProductTableChange& change);
    int mirrorIndexOf(app::RowId id) const;

    app::ProductTable& m_table;
    std::span<const app::ColumnSpec> m_columns;
    std::size_t m_listenerToken = 0;
    std::vector<MirrorRow> m_rows;

    std::mutex m_pendingMutex;
    std::vector<app::ProductTableChange> m_pending;
    bool m_flushScheduled = false;
};

}  // namespace tovakin::gui

#include "gui/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTextCursor>
#include <QTreeView>
#include <QTreeWidget>

#include "core/app/control_names.h"
#include "gui/product_table_model.h"
#include "gui/qt_text.h"

namespace tovakin::gui {

using app::ControlId;
using app::ControlKind;

namespace {

// A tab control whose pages span the whole control, tab strip included, so
// that controls keep the coordinates of the window's form: relative to the
// tab control's top-left corner.
class TabControlWidget final : public QFrame {
public:
    explicit TabControlWidget(QWidget* parent) : QFrame(parent) {
        m_pageFrame = new QFrame(this);
        m_pageFrame->setFrameShape(QFrame::StyledPanel);
        m_tabBar = new QTabBar(this);
        m_tabBar->setDrawBase(false);
        m_tabBar->setExpanding(false);
        connect(m_tabBar, &QTabBar::currentChanged, this, [this](int index) { showPage(index); });
    }
    QTabBar* tabBar() const { return m_tabBar; }

    QWidget* addPage(const QString& caption) {
        auto* page = new QWidget(this);
        page->setGeometry(rect());
        m_pages.push_back(page);
        m_tabBar->addTab(caption);
        m_tabBar->raise();
        showPage(m_tabBar->currentIndex());
        return page;
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QFrame::resizeEvent(event);
        const int tabHeight = m_tabBar->sizeHint().height();
        m_tabBar->setGeometry(2, 0, width() - 4, tabHeight);
        m_pageFrame->setGeometry(0, tabHeight - 1, width(), height() - tabHeight + 1);
        for (QWidget* page : m_pages) {
            page->setGeometry(rect());
        }
    }

private:
    void showPage(int index) {
        for (int i = 0; i < static_cast<int>(m_pages.size()); ++i) {
            m_pages[static_cast<std::size_t>(i)]->setVisible(i == index);
        }
    }

    QTabBar* m_tabBar;
    QFrame* m_pageFrame;
    std::vector<QWidget*> m_pages;
};

}  // namespace

MainWindow::MainWindow(app::Application& application, QWidget* parent)
    : QWidget(parent), m_app(application), m_controls(application.controls()) {
    setObjectName(fromUtf8(app::names::window));
    buildControls();
    m_listenerToken =
        m_controls.addListener([this](ControlId id, app::ControlProperty) { controlChanged(id); });
    for (ControlId id = 0; id < m_controls.size(); ++id) {
        applyState(id);
    }
}

MainWindow::~MainWindow() {
    m_controls.removeListener(m_listenerToken);
}

QWidget* MainWindow::widgetOf(std::string_view name) const {
    return m_controls.contains(name) ? m_widgets[m_controls.id(name)] : nullptr;
}

void MainWindow::buildControls() {
    m_widgets.assign(m_controls.size(), nullptr);
    for (ControlId id = 0; id < m_controls.size(); ++id) {
        const app::ControlSpec& spec = m_controls.spec(id);
        if (spec.kind == ControlKind::Window) {
            m_widgets[id] = this;
            // The form's size is the outer size of a Windows window; the
            // client area is what the controls need.
            move(spec.geometry.x, spec.geometry.y);
            setFixedSize(spec.geometry.width, spec.geometry.height - 22);
            continue;
        }
        QWidget* parentWidget = widgetOf(spec.parent);
        if (spec.kind == ControlKind::TabPage) {
            auto* tabControl = static_cast<TabControlWidget*>(parentWidget);
            QWidget* page = tabControl->addPage(fromUtf8(spec.text));
            page->setObjectName(fromUtf8(spec.name));
            m_widgets[id] = page;
            m_pages.push_back(page);
            continue;
        }
        QWidget* widget = createWidget(spec, parentWidget ? parentWidget : this);
        if (widget) {
            widget->setObjectName(fromUtf8(spec.name));
            widget->setGeometry(spec.geometry.x, spec.geometry.y, spec.geometry.width, spec.geometry.height);
            connectInput(id, widget);
        }
        m_widgets[id] = widget;
    }
}

QWidget* MainWindow::createWidget(const app::ControlSpec& spec, QWidget* parent) {
    switch (spec.kind) {
        case ControlKind::Window:
        case ControlKind::TabPage:
        case ControlKind::Timer:
        case ControlKind::TcpServer:
            return nullptr;
        case ControlKind::TabControl: {
            auto* tabs = new TabControlWidget(parent);
            m_tabBar = tabs->tabBar();
            return tabs;
        }
        case ControlKind::Button:
            return new QPushButton(parent);
        case ControlKind::CheckBox:
            return new QCheckBox(parent);
        case ControlKind::EditBox:
            if (spec.multiline) {
                auto* edit = new QPlainTextEdit(parent);
                edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
                return edit;
            }
            return new QLineEdit(parent);
        case ControlKind::Label:
        case ControlKind::TransparentLabel:
        case ControlKind::PictureBox:
            return new QLabel(parent);
        case ControlKind::GroupBox:
            return new QGroupBox(parent);
        case ControlKind::Panel: {
            auto* panel = new QFrame(parent);
            panel->setFrameShape(QFrame::NoFrame);
            return panel;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            return bar;
        }
        case ControlKind::ListBox:
            return new QListWidget(parent);
        case ControlKind::ReportListView: {
            auto* view = new QTreeView(parent);
            view->setRootIsDecorated(false);
            view->setUniformRowHeights(true);
            view->setAlternatingRowColors(true);
            view->setSelectionBehavior(QAbstractItemView::SelectRows);
            view->setSelectionMode(QAbstractItemView::SingleSelection);
            view->setEditTriggers(QAbstractItemView::NoEditTriggers);
            view->header()->setStretchLastSection(false);
            if (spec.name == app::names::productTable) {
                m_productModel = new ProductTableModel(m_app.products(), spec.columns, view);
                view->setModel(m_productModel);
            } else {
                auto* model = new QStandardItemModel(0, static_cast<int>(spec.columns.size()), view);
                QStringList headers;
                for (const app::ColumnSpec& column : spec.columns) {
                    headers << fromUtf8(column.header);
                }
                model->setHorizontalHeaderLabels(headers);
                view->setModel(model);
            }
            for (int column = 0; column < static_cast<int>(spec.columns.size()); ++column) {
                const int width = spec.columns[static_cast<std::size_t>(column)].width;
                view->setColumnWidth(column, width);
                view->setColumnHidden(column, width == 0);
            }
            return view;
        }
        case ControlKind::WebBrowser: {
            // Stands in for the embedded browser until pages are shown in the window.
            auto* frame = new QLabel(parent);
            frame->setFrameShape(QFrame::StyledPanel);
            frame->setAlignment(Qt::AlignCenter);
            frame->setWordWrap(true);
            // A browser placed partly outside its panel shows only the part
            // under the panel; keep the address in that part.
            frame->setContentsMargins(std::max(0, -spec.geometry.x), std::max(0, -spec.geometry.y), 0, 0);
            return frame;
        }
    }
    return nullptr;
}

void MainWindow::connectInput(ControlId id, QWidget* widget) {
    const std::string name(m_controls.spec(id).name);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        connect(button, &QPushButton::clicked, this, [this, name] { m_app.click(name); });
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        connect(box, &QCheckBox::clicked, this, [this, id, name](bool checked) {
            m_controls.setChecked(id, checked);
            m_app.click(name);
        });
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        connect(line, &QLineEdit::textEdited, this,
                [this, id](const QString& text) { m_controls.setText(id, toGbk(text)); });
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        connect(edit, &QPlainTextEdit::textChanged, this, [this, id, edit] {
            if (!m_applying) {
                m_controls.setText(id, toGbk(edit->toPlainText().replace(u'\n', QStringLiteral("\r\n"))));
            }
        });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, id](int row) {
            if (!m_applying) {
                m_controls.setSelectedIndex(id, row);
            }
        });
    } else if (auto* view = qobject_cast<QTreeView*>(widget)) {
        connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, id](const QModelIndex& current) {
                    if (!m_applying) {
                        m_controls.setSelectedIndex(id, current.isValid() ? current.row() : -1);
                    }
                });
        connect(view, &QTreeView::doubleClicked, this, [this, id, name](const QModelIndex& index) {
            m_controls.setSelectedIndex(id, index.row());
            m_app.doubleClick(name);
        });
    }
}

void MainWindow::controlChanged(ControlId id) {
    // Any thread: remember the control and show it on the next GUI turn.
    std::lock_guard lock(m_dirtyMutex);
    m_dirty.insert(id);
    if (!m_flushScheduled) {
        m_flushScheduled = true;
        QMetaObject::invokeMethod(this, &MainWindow::applyPendingChanges, Qt::QueuedConnection);
    }
}

void MainWindow::applyPendingChanges() {
    std::set<ControlId> dirty;
    {
        std::lock_guard lock(m_dirtyMutex);
        dirty.swap(m_dirty);
        m_flushScheduled = false;
    }
    if (m_productModel) {
        m_productModel->applyPendingChanges();
    }
    for (const ControlId id : dirty) {
        applyState(id);
    }
}

void MainWindow::applyState(ControlId id) {
    QWidget* widget = m_widgets[id];
    if (!widget) {
        return;
    }
    const app::ControlSpec& spec = m_controls.spec(id);
    const app::ControlState state = m_controls.state(id);
    const QString text = fromGbk(state.text);
    m_applying = true;
    if (spec.kind == ControlKind::Window) {
        setWindowTitle(text);
    } else if (spec.kind != ControlKind::TabPage) {
        widget->setEnabled(state.enabled);
        widget->setVisible(state.visible);
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setText(text);
        box->setChecked(state.checked);
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->text() != text) {
            line->setText(text);
        }
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        QString plain = text;
        plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        const QString shown = edit->toPlainText();
        if (shown != plain) {
            if (!shown.isEmpty() && plain.startsWith(shown)) {
                // The log grows at its end: add only what is new, and keep it scrolled there.
                QTextCursor end(edit->document());
                end.movePosition(QTextCursor::End);
                end.insertText(plain.mid(shown.size()));
            } else {
                edit->setPlainText(plain);
            }
            edit->verticalScrollBar()->setValue(edit->verticalScrollBar()->maximum());
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
        bar->setRange(0, std::max(0, state.progressMax));
        bar->setValue(std::clamp(state.progressPosition, 0, std::max(0, state.progressMax)));
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        if (list->count() != static_cast<int>(state.items.size())) {
            list->clear();
            for (const std::string& item : state.items) {
                list->addItem(fromGbk(item));
            }
        }
        list->setCurrentRow(state.selectedIndex);
    } else if (auto* view = qobject_cast<QTreeView*>(widget)) {
        if (auto* model = qobject_cast<QStandardItemModel*>(view->model())) {
            model->setRowCount(0);
            for (const auto& cells : state.rows) {
                QList<QStandardItem*> items;
                for (const std::string& cell : cells) {
                    items << new QStandardItem(fromGbk(cell));
                }
                model->appendRow(items);
            }
        }
        if (state.selectedIndex >= 0) {
            view->setCurrentIndex(view->model()->index(state.selectedIndex, 0));
        }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(spec.kind == ControlKind::WebBrowser ? QStringLiteral("(") + text + QStringLiteral(")")
                                                            : text);
    }
    m_applying = false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_app.close();
    event->accept();
}

}  // namespace tovakin::gui

#pragma once

#include <QWidget>
#include <mutex>
#include <set>
#include <vector>

#include "core/app/application.h"

class QTabBar;

namespace tovakin::gui {

class ProductTableModel;

// The main window, built from the control table: every control is a widget
// whose object name is its form name. The window shows the state of the
// controls in core and forwards the operator's input; it decides nothing.
class MainWindow final : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(app::Application& application, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The widget of a control; nullptr for controls without one (timers, the TCP server).
    QWidget* widgetOf(std::string_view name) const;
    QTabBar* tabBar() const { return m_tabBar; }

    // Shows every control change queued so far (normally done by the event loop).
    void applyPendingChanges();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    QWidget* createWidget(const app::ControlSpec& spec, QWidget* parent);
    void connectInput(app::ControlId id, QWidget* widget);
    void applyState(app::ControlId id);
    void controlChanged(app::ControlId id);

    app::Application& m_app;
    app::ControlRegistry& m_controls;
    std::vector<QWidget*> m_widgets;  // by control id
    QTabBar* m_tabBar = nullptr;
    std::vector<QWidget*> m_pages;
    ProductTableModel* m_productModel = nullptr;
    std::size_t m_listenerToken = 0;
    bool m_applying = false;  // set while core state is written into widgets

    std::mutex m_dirtyMutex;
    std::set<app::ControlId> m_dirty;
    bool m_flushScheduled = false;
};

}  // namespace tovakin::gui

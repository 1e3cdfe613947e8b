#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/app/control_description.h"

// The live state of every control of the main window. Each single operation
// is atomic; sequences of them are not (callers that need more take care of
// it themselves). Listeners hear of every change after it is made, on the
// thread that made it.
namespace tovakin::app {

using ControlId = std::size_t;

struct ControlState {
    ControlKind kind = ControlKind::Label;
    std::string text;  // caption or text, GBK
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    int progressMax = 100;
    int progressPosition = 0;
    int timerPeriod = 0;                         // milliseconds; 0 = stopped
    std::vector<std::string> items;              // list box lines, GBK
    std::vector<std::vector<std::string>> rows;  // report list rows, GBK (the product table keeps its own)
    int selectedIndex = -1;                      // list box / report list selection
};

enum class ControlProperty { Text, Enabled, Visible, Checked, Progress, TimerPeriod, Items, Rows, Selection };

class ControlRegistry {
public:
    using Listener = std::function<void(ControlId, ControlProperty)>;

    // `expandText` turns the UTF-8 initial text of a spec into the GBK text of
    // the control (it expands host placeholders and converts).
    ControlRegistry(std::span<const ControlSpec> specs,
                    const std::function<std::string(std::string_view)>& expandText);

    std::size_t size() const { return m_specs.size(); }
    const ControlSpec& spec(ControlId id) const { return m_specs[id]; }
    // The id of a form name; an unknown name is a programming error and throws.
    ControlId id(std::string_view name) const;
    bool contains(std::string_view name) const { return m_ids.contains(std::string(name)); }

    ControlState state(ControlId id) const;

    std::string text(ControlId id) const;
    void setText(ControlId id, std::string text);
    // Appends a line to a multi-line edit box: "\r\n" goes in front unless it is empty.
    void appendLine(ControlId id, std::string_view line);
    bool enabled(ControlId id) const;
    void setEnabled(ControlId id, bool enabled);
    bool visible(ControlId id) const;
    void setVisible(ControlId id, bool visible);
    bool checked(ControlId id) const;
    void setChecked(ControlId id, bool checked);
    void setProgressMax(ControlId id, int max);
    void setProgressPosition(ControlId id, int position);
    int timerPeriod(ControlId id) const;
    void setTimerPeriod(ControlId id, int milliseconds);
    void addItem(ControlId id, std::string item);
    std::size_t addRow(ControlId id, std::vector<std::string> cells);
    bool removeRow(ControlId id, std::size_t index);
    void clearRows(ControlId id);
    std::size_t rowCount(ControlId id) const;
    int selectedIndex(ControlId id) const;
    void setSelectedIndex(ControlId id, int index);

    // By form name, for the less frequent callers.
    std::string text(std::string_view name) const { return text(id(name)); }
    void setText(std::string_view name, std::string value) { setText(id(name), std::move(value)); }
    bool enabled(std::string_view name) const { return enabled(id(name)); }
    void setEnabled(std::string_view name, bool value) { setEnabled(id(name), value); }

    // Returns a token for removeListener. Listeners must not add or remove listeners.
    std::size_t addListener(Listener listener);
    void removeListener(std::size_t token);

private:
    template <typename Change>
    void change(ControlId id, ControlProperty property, Change&& apply);
    void notify(ControlId id, ControlProperty property);

    std::vector<ControlSpec> m_specs;
    std::unordered_map<std::string, ControlId> m_ids;
    mutable std::mutex m_mutex;
    std::vector<ControlState> m_states;
    mutable std::mutex m_listenerMutex;
    std::vector<std::pair<std::size_t, Listener>> m_listeners;
    std::size_t m_nextToken = 1;
};

}  // namespace tovakin::app

#include "core/app/control_registry.h"

#include <stdexcept>
#include <utility>

namespace tovakin::app {

ControlRegistry::ControlRegistry(std::span<const ControlSpec> specs,
                                 const std::function<std::string(std::string_view)>& expandText)
    : m_specs(specs.begin(), specs.end()) {
    m_states.reserve(m_specs.size());
    for (ControlId id = 0; id < m_specs.size(); ++id) {
        const ControlSpec& spec = m_specs[id];
        if (!m_ids.emplace(std::string(spec.name), id).second) {
            throw std::invalid_argument("duplicate control name: " + std::string(spec.name));
        }
        ControlState state;
        state.kind = spec.kind;
        state.text = expandText(spec.text);
        state.enabled = !spec.disabled;
        state.visible = !spec.hidden;
        state.checked = spec.checked;
        for (std::string_view item : spec.items) {
            state.items.push_back(expandText(item));
        }
        m_states.push_back(std::move(state));
    }
}

ControlId ControlRegistry::id(std::string_view name) const {
    const auto found = m_ids.find(std::string(name));
    if (found == m_ids.end()) {
        throw std::invalid_argument("no control named " + std::string(name));
    }
    return found->second;
}

ControlState ControlRegistry::state(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id);
}

template <typename Change>
void ControlRegistry::change(ControlId id, ControlProperty property, Change&& apply) {
    bool changed = false;
    {
        std::lock_guard lock(m_mutex);
        changed = apply(m_states.at(id));
    }
    if (changed) {
        notify(id, property);
    }
}

void ControlRegistry::notify(ControlId id, ControlProperty property) {
    std::lock_guard lock(m_listenerMutex);
    for (const auto& [token, listener] : m_listeners) {
        listener(id, property);
    }
}

std::string ControlRegistry::text(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).text;
}

void ControlRegistry::setText(ControlId id, std::string text) {
    change(id, ControlProperty::Text, [&](ControlState& s) {
        if (s.text == text) {
            return false;
        }
        s.text = std::move(text);
        return true;
    });
}

void ControlRegistry::appendLine(ControlId id, std::string_view line) {
    change(id, ControlProperty::Text, [&](ControlState& s) {
        if (!s.text.empty()) {
            s.text += "\r\n";
        }
        s.text += line;
        return true;
    });
}

bool ControlRegistry::enabled(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).enabled;
}

void ControlRegistry::setEnabled(ControlId id, bool enabled) {
    change(id, ControlProperty::Enabled,
           [&](ControlState& s) { return std::exchange(s.enabled, enabled) != enabled; });
}

bool ControlRegistry::visible(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).visible;
}

void ControlRegistry::setVisible(ControlId id, bool visible) {
    change(id, ControlProperty::Visible,
           [&](ControlState& s) { return std::exchange(s.visible, visible) != visible; });
}

bool ControlRegistry::checked(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).checked;
}

void ControlRegistry::setChecked(ControlId id, bool checked) {
    change(id, ControlProperty::Checked,
           [&](ControlState& s) { return std::exchange(s.checked, checked) != checked; });
}

void ControlRegistry::setProgressMax(ControlId id, int max) {
    change(id, ControlProperty::Progress,
           [&](ControlState& s) { return std::exchange(s.progressMax, max) != max; });
}

void ControlRegistry::setProgressPosition(ControlId id, int position) {
    change(id, ControlProperty::Progress,
           [&](ControlState& s) { return std::exchange(s.progressPosition, position) != position; });
}

int ControlRegistry::timerPeriod(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).timerPeriod;
}

void ControlRegistry::setTimerPeriod(ControlId id, int milliseconds) {
    change(id, ControlProperty::TimerPeriod,
           [&](ControlState& s) { return std::exchange(s.timerPeriod, milliseconds) != milliseconds; });
}

void ControlRegistry::addItem(ControlId id, std::string item) {
    change(id, ControlProperty::Items, [&](ControlState& s) {
        s.items.push_back(std::move(item));
        return true;
    });
}

std::size_t ControlRegistry::addRow(ControlId id, std::vector<std::string> cells) {
    std::size_t index = 0;
    change(id, ControlProperty::Rows, [&](ControlState& s) {
        index = s.rows.size();
        s.rows.push_back(std::move(cells));
        return true;
    });
    return index;
}

bool ControlRegistry::removeRow(ControlId id, std::size_t index) {
    bool removed = false;
    change(id, ControlProperty::Rows, [&](ControlState& s) {
        if (index >= s.rows.size()) {
            return false;
        }
        s.rows.erase(s.rows.begin() + static_cast<std::ptrdiff_t>(index));
        if (s.selectedIndex >= static_cast<int>(s.rows.size())) {
            s.selectedIndex = -1;
        }
        removed = true;
        return true;
    });
    return removed;
}

void ControlRegistry::clearRows(ControlId id) {
    change(id, ControlProperty::Rows, [&](ControlState& s) {
        if (s.rows.empty()) {
            return false;
        }
        s.rows.clear();
        s.selectedIndex = -1;
        return true;
    });
}

std::size_t ControlRegistry::rowCount(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).rows.size();
}

int ControlRegistry::selectedIndex(ControlId id) const {
    std::lock_guard lock(m_mutex);
    return m_states.at(id).selectedIndex;
}

void ControlRegistry::setSelectedIndex(ControlId id, int index) {
    change(id, ControlProperty::Selection,
           [&](ControlState& s) { return std::exchange(s.selectedIndex, index) != index; });
}

std::size_t ControlRegistry::addListener(Listener listener) {
    std::lock_guard lock(m_listenerMutex);
    m_listeners.emplace_back(m_nextToken, std::move(listener));
    return m_nextToken++;
}

void ControlRegistry::removeListener(std::size_t token) {
    std::lock_guard lock(m_listenerMutex);
    std::erase_if(m_listeners, [token](const auto& entry) { return entry.first == token; });
}

}  // namespace tovakin::app

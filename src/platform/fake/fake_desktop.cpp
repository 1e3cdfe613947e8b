#include "platform/fake/fake_desktop.h"

#include <algorithm>

namespace tovakin::platform {

void FakeDesktop::addWindow(Window window) {
    std::lock_guard lock(m_mutex);
    m_windows.push_back(std::move(window));
}

void FakeDesktop::closeWindow(WindowHandle handle) {
    std::lock_guard lock(m_mutex);
    std::erase_if(m_windows, [handle](const Window& w) { return w.record.handle == handle; });
    if (m_active == handle) {
        m_active = 0;
    }
}

void FakeDesktop::clearWindows() {
    std::lock_guard lock(m_mutex);
    m_windows.clear();
    m_active = 0;
}

FakeDesktop::Window* FakeDesktop::find(WindowHandle handle) {
    const auto found = std::find_if(m_windows.begin(), m_windows.end(),
                                    [handle](const Window& w) { return w.record.handle == handle; });
    return found == m_windows.end() ? nullptr : &*found;
}

std::vector<WindowRecord> FakeDesktop::topLevelWindows() {
    std::lock_guard lock(m_mutex);
    std::vector<WindowRecord> records;
    for (const Window& window : m_windows) {
        if (window.visible) {
            records.push_back(window.record);
        }
    }
    return records;
}

bool FakeDesktop::activate(WindowHandle window) {
    std::lock_guard lock(m_mutex);
    m_activations.push_back(window);
    const Window* target = find(window);
    if (!target || !target->visible || !target->activatable) {
        return false;
    }
    m_active = window;
    return true;
}

std::optional<WindowGeometry> FakeDesktop::geometry(WindowHandle window) {
    std::lock_guard lock(m_mutex);
    const Window* target = find(window);
    if (!target) {
        return std::nullopt;
    }
    return target->geometry;
}

bool FakeDesktop::move(WindowHandle window, const WindowGeometry& outer) {
    std::lock_guard lock(m_mutex);
    m_moves.push_back({window, outer});
    Window* target = find(window);
    if (!target) {
        return false;
    }
    target->geometry = outer;
    return true;
}

bool FakeDesktop::pressKeyChord(int key, int modifier, int secondModifier, int thirdModifier) {
    std::lock_guard lock(m_mutex);
    KeyPress press{key, {}};
    for (const int m : {thirdModifier, secondModifier, modifier}) {
        if (m != 0) {
            press.modifiers.push_back(m);
        }
    }
    m_keys.push_back(std::move(press));
    return true;
}

bool FakeDesktop::pressKey(int key) {
    std::lock_guard lock(m_mutex);
    m_keys.push_back({key, {}});
    return true;
}

WindowHandle FakeDesktop::activeWindow() const {
    std::lock_guard lock(m_mutex);
    return m_active;
}

std::vector<WindowHandle> FakeDesktop::activations() const {
    std::lock_guard lock(m_mutex);
    return m_activations;
}

std::vector<FakeDesktop::Move> FakeDesktop::moves() const {
    std::lock_guard lock(m_mutex);
    return m_moves;
}

std::vector<FakeDesktop::KeyPress> FakeDesktop::keyPresses() const {
    std::lock_guard lock(m_mutex);
    return m_keys;
}

}  // namespace tovakin::platform

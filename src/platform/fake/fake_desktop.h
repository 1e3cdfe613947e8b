#pragma once

#include <mutex>
#include <vector>

#include "platform/desktop.h"

namespace tovakin::platform {

// A scripted desktop for tests and headless runs: windows are whatever the
// test adds; activations, moves and keys are recorded.
class FakeDesktop final : public Desktop {
public:
    struct Window {
        WindowRecord record;
        WindowGeometry geometry;
        bool visible = true;
        bool activatable = true;
    };
    struct KeyPress {
        int key = 0;
        std::vector<int> modifiers;  // in the order they went down
        bool operator==(const KeyPress&) const = default;
    };
    struct Move {
        WindowHandle window = 0;
        WindowGeometry geometry;
        bool operator==(const Move&) const = default;
    };

    void addWindow(Window window);
    // Removes a window as if it had been closed.
    void closeWindow(WindowHandle handle);
    void clearWindows();

    std::vector<WindowRecord> topLevelWindows() override;
    bool activate(WindowHandle window) override;
    std::optional<WindowGeometry> geometry(WindowHandle window) override;
    bool move(WindowHandle window, const WindowGeometry& outer) override;
    bool pressKeyChord(int key, int modifier, int secondModifier = 0, int thirdModifier = 0) override;
    bool pressKey(int key) override;

    WindowHandle activeWindow() const;
    std::vector<WindowHandle> activations() const;
    std::vector<Move> moves() const;
    std::vector<KeyPress> keyPresses() const;

private:
    Window* find(WindowHandle handle);

    mutable std::mutex m_mutex;
    std::vector<Window> m_windows;
    WindowHandle m_active = 0;
    std::vector<WindowHandle> m_activations;
    std::vector<Move> m_moves;
    std::vector<KeyPress> m_keys;
};

}  // namespace tovakin::platform

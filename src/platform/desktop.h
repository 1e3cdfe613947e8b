#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The desktop as core sees it: the top-level windows of other programs and a
// synthesised keyboard. Backends: X11 (Xlib + XTest), a fake for tests; a
// Windows backend maps these onto the window and keybd_event calls.
namespace tovakin::platform {

// A top-level window handle: the X window id, or an HWND's value.
using WindowHandle = std::uint32_t;

struct WindowRecord {
    WindowHandle handle = 0;
    std::uint32_t processId = 0;
    std::uint32_t threadId = 0;  // 0 where the platform has no window threads
    std::string title;           // GBK, at most kMaxTitleBytes
    std::string className;       // at most kMaxClassBytes
};

inline constexpr std::size_t kMaxTitleBytes = 255;
inline constexpr std::size_t kMaxClassBytes = 49;

// Key codes are the Windows virtual-key codes; a backend maps them.
namespace keys {
inline constexpr int kControl = 0x11;
inline constexpr int kAlt = 0x12;  // VK_MENU
inline constexpr int kShift = 0x10;
inline constexpr int kDelete = 0x2E;
inline constexpr int kA = 0x41;
inline constexpr int kC = 0x43;
inline constexpr int kS = 0x53;
inline constexpr int kV = 0x56;
}  // namespace keys

struct WindowGeometry {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WindowGeometry&) const = default;
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Every visible top-level window, in the system's enumeration order.
    virtual std::vector<WindowRecord> topLevelWindows() = 0;
    // Brings the window to the front with the keyboard focus; true only when
    // it really became the active window.
    virtual bool activate(WindowHandle window) = 0;
    // The window's outer rectangle as the operator sees it (frame included);
    // nothing for a window that does not exist.
    virtual std::optional<WindowGeometry> geometry(WindowHandle window) = 0;
    // Places the window's outer rectangle; false when the window does not exist.
    virtual bool move(WindowHandle window, const WindowGeometry& outer) = 0;
    // Modifiers down (third, second, first), key down, modifiers up in the same
    // order, key up; 0 = no modifier. Every key pressed is released again.
    virtual bool pressKeyChord(int key, int modifier, int secondModifier = 0, int thirdModifier = 0) = 0;
    // One key, down then up.
    virtual bool pressKey(int key) = 0;

    // Moves the window; a part not given keeps its current value. False when
    // the window does not exist or refused the move.
    bool moveKeepingSize(WindowHandle window, std::optional<int> left, std::optional<int> top,
                         std::optional<int> width = {}, std::optional<int> height = {}) {
        const std::optional<WindowGeometry> current = geometry(window);
        if (!current) {
            return false;
        }
        return move(window, {left.value_or(current->left), top.value_or(current->top),
                             width.value_or(current->width), height.value_or(current->height)});
    }
    // The first visible top-level window of the process in enumeration order, or 0.
    WindowHandle firstWindowOfProcess(std::uint32_t processId) {
        for (const WindowRecord& record : topLevelWindows()) {
            if (record.processId == processId) {
                return record.handle;
            }
        }
        return 0;
    }
};

}  // namespace tovakin::platform

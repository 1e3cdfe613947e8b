#pragma once

#include <mutex>
#include <string>

#include "platform/desktop.h"

// Xlib's Display without the Xlib headers.
struct _XDisplay;

namespace tovakin::platform {

// The desktop of an X11 session: client windows of the window manager, EWMH
// activation and moves, keys through XTest. Opens its own connection on first
// use; every call takes the connection's lock, so any thread may call.
//
// Geometry is the window's outer rectangle, frame included (_NET_FRAME_EXTENTS),
// the way the operator sees the window on the screen.
class X11Desktop final : public Desktop {
public:
    // An empty name means $DISPLAY.
    explicit X11Desktop(std::string displayName = {});
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // Opens the connection if not yet open; false (see openError) when there is no display.
    bool open();
    std::string openError() const;

    std::vector<WindowRecord> topLevelWindows() override;
    bool activate(WindowHandle window) override;
    std::optional<WindowGeometry> geometry(WindowHandle window) override;
    bool move(WindowHandle window, const WindowGeometry& outer) override;
    bool pressKeyChord(int key, int modifier, int secondModifier = 0, int thirdModifier = 0) override;
    bool pressKey(int key) override;

    // The X keycode a virtual-key code maps to; 0 when it has none.
    unsigned keycodeFor(int virtualKey);

private:
    bool openLocked();
    bool pressKeysLocked(const std::vector<int>& modifiersDown, int key);

    std::string m_displayName;
    mutable std::mutex m_mutex;
    _XDisplay* m_display = nullptr;
    std::string m_openError;
    bool m_triedOpen = false;
};

}  // namespace tovakin::platform

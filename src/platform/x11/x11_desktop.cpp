#include "platform/x11/x11_desktop.h"

#include <chrono>
#include <map>
#include <thread>
#include <vector>

#include "platform/text_codec.h"

// Xlib defines macros (None, Bool, Status ...) that clash with C++ names: include it last.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tovakin::platform {

namespace {

using namespace std::chrono_literals;

// How long a request to the window manager may take before it counts as refused.
constexpr auto kActivationWait = 1000ms;
constexpr auto kMoveWait = 500ms;
constexpr auto kPollStep = 10ms;

// Errors of our own connections (a stale handle gives BadWindow) are recorded,
// not fatal; other connections keep their handler.
std::mutex g_errorMutex;
std::map<Display*, int> g_errorCounts;
XErrorHandler g_previousHandler = nullptr;

int recordError(Display* display, XErrorEvent* event) {
    {
        std::lock_guard lock(g_errorMutex);
        if (const auto found = g_errorCounts.find(display); found != g_errorCounts.end()) {
            ++found->second;
            return 0;
        }
    }
    return g_previousHandler ? g_previousHandler(display, event) : 0;
}

int errorCount(Display* display) {
    std::lock_guard lock(g_errorMutex);
    return g_errorCounts[display];
}

// True when no error came back for the requests made since `before`.
bool noErrorSince(Display* display, int before) {
    XSync(display, False);
    return errorCount(display) == before;
}

Atom atom(Display* display, const char* name) {
    return XInternAtom(display, name, False);
}

// One read of a window property; the data is freed with the reading.
struct PropertyRead {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;
    bool ok = false;

    PropertyRead(Display* display, Window window, Atom property, Atom wanted, long length) {
        unsigned long remaining = 0;
        ok = XGetWindowProperty(display, window, property, 0, length, False, wanted, &type, &format, &count,
                                &remaining, &data) == Success;
    }
    ~PropertyRead() {
        if (data) {
            XFree(data);
        }
    }
    PropertyRead(const PropertyRead&) = delete;
    PropertyRead& operator=(const PropertyRead&) = delete;
};

// A property as 32-bit items (longs in Xlib's client-side format).
std::vector<unsigned long> cardinals(Display* display, Window window, Atom property, Atom type) {
    const PropertyRead read(display, window, property, type, 1 << 16);
    if (!read.ok || !read.data || read.format != 32 || read.type != type) {
        return {};
    }
    const auto* items = reinterpret_cast<const unsigned long*>(read.data);
    return {items, items + read.count};
}

bool hasProperty(Display* display, Window window, Atom property) {
    const PropertyRead read(display, window, property, AnyPropertyType, 0);
    return read.ok && read.type != 0;
}

std::string utf8Property(Display* display, Window window, Atom property, Atom type) {
    const PropertyRead read(display, window, property, type, 1 << 16);
    if (!read.ok || !read.data || read.format != 8 || read.type != type) {
        return {};
    }
    return std::string(reinterpret_cast<const char*>(read.data), read.count);
}

// The window's title in UTF-8: _NET_WM_NAME, else WM_NAME in whatever encoding it has.
std::string titleOf(Display* display, Window window) {
    std::string title =
        utf8Property(display, window, atom(display, "_NET_WM_NAME"), atom(display, "UTF8_STRING"));
    if (!title.empty()) {
        return title;
    }
    XTextProperty property{};
    if (XGetWMName(display, window, &property) && property.value) {
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && list && count > 0) {
            title = list[0];
        }
        if (list) {
            XFreeStringList(list);
        }
        XFree(property.value);
    }
    return title;
}

// The leftmost bytes of a GBK text that fit, never half a character.
std::string cutGbk(std::string text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = 0;
    while (end < text.size()) {
        const auto byte = static_cast<unsigned char>(text[end]);
        const std::size_t length = (byte >= 0x81 && byte <= 0xFE && end + 1 < text.size()) ? 2 : 1;
        if (end + length > maxBytes) {
            break;
        }
        end += length;
    }
    text.resize(end);
    return text;
}

bool isViewable(Display* display, Window window) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
}

bool isHidden(Display* display, Window window) {
    const Atom hidden = atom(display, "_NET_WM_STATE_HIDDEN");
    for (const unsigned long state : cardinals(display, window, atom(display, "_NET_WM_STATE"), XA_ATOM)) {
        if (state == hidden) {
            return true;
        }
    }
    // ICCCM: an iconic window is hidden as well (state 3).
    const Atom wmState = atom(display, "WM_STATE");
    const std::vector<unsigned long> icccm = cardinals(display, window, wmState, wmState);
    return !icccm.empty() && icccm[0] == IconicState;
}

// The client windows in the window manager's order: _NET_CLIENT_LIST (the
// order the windows were mapped), else the window tree with WM_STATE marking
// clients (stacking order, bottom first).
std::vector<Window> clientWindows(Display* display) {
    const Window root = DefaultRootWindow(display);
    std::vector<Window> clients;
    for (const unsigned long id : cardinals(display, root, atom(display, "_NET_CLIENT_LIST"), XA_WINDOW)) {
        clients.push_back(static_cast<Window>(id));
    }
    if (!clients.empty() || hasProperty(display, root, atom(display, "_NET_CLIENT_LIST"))) {
        return clients;
    }
    const Atom wmState = atom(display, "WM_STATE");
    auto children = [display](Window parent) {
        std::vector<Window> result;
        Window rootReturn = 0;
        Window parentReturn = 0;
        Window* list = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, parent, &rootReturn, &parentReturn, &list, &count) && list) {
            result.assign(list, list + count);
        }
        if (list) {
            XFree(list);
        }
        return result;
    };
    for (const Window top : children(root)) {
        if (hasProperty(display, top, wmState)) {
            clients.push_back(top);
            continue;
        }
        // A reparenting window manager's frame holds the client one level down.
        for (const Window inner : children(top)) {
            if (hasProperty(display, inner, wmState)) {
                clients.push_back(inner);
                break;
            }
        }
    }
    return clients;
}

struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

FrameExtents frameExtents(Display* display, Window window) {
    const std::vector<unsigned long> values =
        cardinals(display, window, atom(display, "_NET_FRAME_EXTENTS"), XA_CARDINAL);
    if (values.size() < 4) {
        return {};
    }
    return {static_cast<int>(values[0]), static_cast<int>(values[1]), static_cast<int>(values[2]),
            static_cast<int>(values[3])};
}

bool hasWindowManager(Display* display) {
    return !cardinals(display, DefaultRootWindow(display), atom(display, "_NET_SUPPORTING_WM_CHECK"),
                      XA_WINDOW)
                .empty();
}

void sendToWindowManager(Display* display, Window window, const char* message,
                         std::initializer_list<long> data) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.serial = 0;
    event.xclient.send_event = True;
    event.xclient.display = display;
    event.xclient.window = window;
    event.xclient.message_type = atom(display, message);
    event.xclient.format = 32;
    int i = 0;
    for (const long value : data) {
        event.xclient.data.l[i++] = value;
    }
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &event);
    XFlush(display);
}

// Waits until the condition holds or the time is up; true when it held.
template <typename Condition>
bool waitFor(std::chrono::milliseconds limit, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (true) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kPollStep);
    }
}

bool isSameOrDescendant(Display* display, Window window, Window candidate) {
    const Window root = DefaultRootWindow(display);
    while (candidate != 0 && candidate != root) {
        if (candidate == window) {
            return true;
        }
        Window rootReturn = 0;
        Window parent = 0;
        Window* list = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, candidate, &rootReturn, &parent, &list, &count)) {
            return false;
        }
        if (list) {
            XFree(list);
        }
        candidate = parent;
    }
    return false;
}

KeySym keysymFor(int virtualKey) {
    if (virtualKey >= 'A' && virtualKey <= 'Z') {
        return XK_a + static_cast<KeySym>(virtualKey - 'A');
    }
    if (virtualKey >= '0' && virtualKey <= '9') {
        return XK_0 + static_cast<KeySym>(virtualKey - '0');
    }
    switch (virtualKey) {
        case 0x08:
            return XK_BackSpace;
        case 0x09:
            return XK_Tab;
        case 0x0D:
            return XK_Return;
        case 0x10:
            return XK_Shift_L;
        case 0x11:
            return XK_Control_L;
        case 0x12:
            return XK_Alt_L;
        case 0x1B:
            return XK_Escape;
        case 0x20:
            return XK_space;
        case 0x2E:
            return XK_Delete;
        case 0x5B:
            return XK_Super_L;
        default:
            return NoSymbol;
    }
}

}  // namespace

X11Desktop::X11Desktop(std::string displayName) : m_displayName(std::move(displayName)) {}

X11Desktop::~X11Desktop() {
    std::lock_guard lock(m_mutex);
    if (m_display) {
        XCloseDisplay(m_display);
        std::lock_guard errors(g_errorMutex);
        g_errorCounts.erase(m_display);
    }
}

bool X11Desktop::open() {
    std::lock_guard lock(m_mutex);
    return openLocked();
}

std::string X11Desktop::openError() const {
    std::lock_guard lock(m_mutex);
    return m_openError;
}

bool X11Desktop::openLocked() {
    if (m_display || m_triedOpen) {
        return m_display != nullptr;
    }
    m_triedOpen = true;
    static std::once_flag threads;
    std::call_once(threads, [] { XInitThreads(); });
    m_display = XOpenDisplay(m_displayName.empty() ? nullptr : m_displayName.c_str());
    if (!m_display) {
        const char* name = m_displayName.empty() ? std::getenv("DISPLAY") : m_displayName.c_str();
        m_openError = name && *name ? "cannot open the X display " + std::string(name)
                                    : "no X display (DISPLAY is not set)";
        return false;
    }
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(m_display, &eventBase, &errorBase, &major, &minor)) {
        m_openError = "the X server has no XTEST extension";
    }
    std::lock_guard errors(g_errorMutex);
    g_errorCounts[m_display] = 0;
    XErrorHandler previous = XSetErrorHandler(recordError);
    if (previous != recordError) {
        g_previousHandler = previous;
    }
    return true;
}

std::vector<WindowRecord> X11Desktop::topLevelWindows() {
    std::lock_guard lock(m_mutex);
    std::vector<WindowRecord> records;
    if (!openLocked()) {
        return records;
    }
    Display* display = m_display;
    const Atom pidAtom = atom(display, "_NET_WM_PID");
    for (const Window window : clientWindows(display)) {
        // A window closed meanwhile gives errors here; it is then simply not listed.
        const int before = errorCount(display);
        if (!isViewable(display, window) || isHidden(display, window)) {
            continue;
        }
        WindowRecord record;
        record.handle = static_cast<WindowHandle>(window);
        const std::vector<unsigned long> pid = cardinals(display, window, pidAtom, XA_CARDINAL);
        record.processId = pid.empty() ? 0 : static_cast<std::uint32_t>(pid[0]);
        record.title = cutGbk(utf8ToGbk(titleOf(display, window)), kMaxTitleBytes);
        XClassHint hint{};
        if (XGetClassHint(display, window, &hint)) {
            record.className = hint.res_class ? hint.res_class : "";
            record.className = cutGbk(record.className, kMaxClassBytes);
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (noErrorSince(display, before)) {
            records.push_back(std::move(record));
        }
    }
    return records;
}

bool X11Desktop::activate(WindowHandle handle) {
    std::lock_guard lock(m_mutex);
    if (!openLocked() || handle == 0) {
        return false;
    }
    Display* display = m_display;
    const auto window = static_cast<Window>(handle);
    // A minimised window may be activated too: the window manager restores it.
    const int before = errorCount(display);
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || !noErrorSince(display, before)) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    const Atom activeAtom = atom(display, "_NET_ACTIVE_WINDOW");
    if (hasWindowManager(display)) {
        // Source 2 (a pager: the operator's own request) is not subject to focus-stealing prevention.
        sendToWindowManager(display, window, "_NET_ACTIVE_WINDOW", {2, CurrentTime, 0});
    } else {
        XRaiseWindow(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XFlush(display);
    }
    // Took: the window manager names it active (when there is one) and the keyboard focus is inside it.
    return waitFor(kActivationWait, [&] {
        if (hasWindowManager(display)) {
            const std::vector<unsigned long> active = cardinals(display, root, activeAtom, XA_WINDOW);
            if (active.empty() || active[0] != window) {
                return false;
            }
        }
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        return isSameOrDescendant(display, window, focus);
    });
}

std::optional<WindowGeometry> X11Desktop::geometry(WindowHandle handle) {
    std::lock_guard lock(m_mutex);
    if (!openLocked() || handle == 0) {
        return std::nullopt;
    }
    Display* display = m_display;
    const auto window = static_cast<Window>(handle);
    const int before = errorCount(display);
    XWindowAttributes attributes{};
    Window child = 0;
    int x = 0;
    int y = 0;
    if (!XGetWindowAttributes(display, window, &attributes) ||
        !XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child) ||
        !noErrorSince(display, before)) {
        return std::nullopt;
    }
    const FrameExtents frame = frameExtents(display, window);
    return WindowGeometry{x - frame.left, y - frame.top, attributes.width + frame.left + frame.right,
                          attributes.height + frame.top + frame.bottom};
}

bool X11Desktop::move(WindowHandle handle, const WindowGeometry& outer) {
    std::optional<WindowGeometry> current = geometry(handle);
    if (!current) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        Display* display = m_display;
        const auto window = static_cast<Window>(handle);
        const FrameExtents frame = frameExtents(display, window);
        const int clientWidth = std::max(1, outer.width - frame.left - frame.right);
        const int clientHeight = std::max(1, outer.height - frame.top - frame.bottom);
        const bool resize = outer.width != current->width || outer.height != current->height;
        if (hasWindowManager(display)) {
            // North-west gravity: x and y place the frame's outer top-left corner.
            // Bits 8-11 say which of x, y, width, height are given; source 2 as above.
            const long flags = NorthWestGravity | (1L << 8) | (1L << 9) |
                               (resize ? (1L << 10) | (1L << 11) : 0) | (2L << 12);
            sendToWindowManager(display, window, "_NET_MOVERESIZE_WINDOW",
                                {flags, outer.left, outer.top, clientWidth, clientHeight});
        } else {
            XMoveResizeWindow(display, window, outer.left, outer.top, static_cast<unsigned>(clientWidth),
                              static_cast<unsigned>(clientHeight));
            XFlush(display);
        }
    }
    // Give the window manager a moment so that a following read sees the new place.
    waitFor(kMoveWait, [&] { return geometry(handle) == outer; });
    return true;
}

unsigned X11Desktop::keycodeFor(int virtualKey) {
    std::lock_guard lock(m_mutex);
    if (!openLocked()) {
        return 0;
    }
    const KeySym symbol = keysymFor(virtualKey);
    return symbol == NoSymbol ? 0 : XKeysymToKeycode(m_display, symbol);
}

bool X11Desktop::pressKeysLocked(const std::vector<int>& modifiersDown, int key) {
    if (!openLocked()) {
        return false;
    }
    Display* display = m_display;
    // Map everything first, so that a key without a code presses nothing at all.
    std::vector<KeyCode> modifiers;
    for (const int virtualKey : modifiersDown) {
        const KeySym symbol = keysymFor(virtualKey);
        const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display, symbol);
        if (code == 0) {
            return false;
        }
        modifiers.push_back(code);
    }
    const KeySym keySymbol = keysymFor(key);
    const KeyCode keyCode = keySymbol == NoSymbol ? 0 : XKeysymToKeycode(display, keySymbol);
    if (keyCode == 0) {
        return false;
    }
    // All downs and ups go out in one batch, so no path leaves a key pressed.
    for (const KeyCode code : modifiers) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    }
    XTestFakeKeyEvent(display, keyCode, True, CurrentTime);
    for (const KeyCode code : modifiers) {
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    }
    XTestFakeKeyEvent(display, keyCode, False, CurrentTime);
    XSync(display, False);
    return true;
}

bool X11Desktop::pressKeyChord(int key, int modifier, int secondModifier, int thirdModifier) {
    std::lock_guard lock(m_mutex);
    std::vector<int> modifiers;
    for (const int m : {thirdModifier, secondModifier, modifier}) {
        if (m != 0) {
            modifiers.push_back(m);
        }
    }
    return pressKeysLocked(modifiers, key);
}

bool X11Desktop::pressKey(int key) {
    std::lock_guard lock(m_mutex);
    return pressKeysLocked({}, key);
}

}  // namespace tovakin::platform

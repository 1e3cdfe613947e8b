#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "core/app/control_registry.h"
#include "platform/desktop.h"

// Finding the group chat windows on the desktop, listing them in the chat
// window table (`超级列表框2`), and cascading them.
namespace tovakin::broadcast {

using platform::WindowHandle;
using platform::WindowRecord;

// Every visible top-level window in enumeration order; the list is the caller's own.
std::vector<WindowRecord> EnumerateTopLevelWindows(platform::Desktop& desktop);
// The first visible top-level window of the process, or 0.
WindowHandle FindWindowOfProcess(platform::Desktop& desktop, std::uint32_t processId);
// A part not given keeps its current value. False when the window is gone.
bool MoveWindowKeepSize(platform::Desktop& desktop, WindowHandle window, std::optional<int> left,
                        std::optional<int> top, std::optional<int> width = {},
                        std::optional<int> height = {});

// A group chat window of the chat clients: their window class, and not one of
// the titles the clients give their main windows.
bool isGroupChatWindow(const WindowRecord& record);
// The handle a table row's handle text names (read as a number, truncated); 0 when it names none.
WindowHandle handleFromText(const std::string& text);

// Handler of `按钮_获取句柄`: rebuilds the table; with at least one window
// found, enables `按钮_启动程序` and `按钮_排列位置`.
void RefreshChatWindows(app::ControlRegistry& controls, platform::Desktop& desktop);
// Handler of `按钮_排列位置`: row i (from 1) goes to left 50, top 30 × i, keeping its size.
void ArrangeChatWindows(app::ControlRegistry& controls, platform::Desktop& desktop);
// Double-click on the table: removes the selected row, if any.
void RemoveSelectedChatWindow(app::ControlRegistry& controls);

}  // namespace tovakin::broadcast

#pragma once

#include <string_view>

// Form names of the controls that core code addresses (UTF-8).
namespace tovakin::app::names {

inline constexpr std::string_view window = "窗口";
inline constexpr std::string_view tabControl = "选择夹1";
inline constexpr std::string_view productTable = "超级列表框1";
inline constexpr std::string_view chatWindowTable = "超级列表框2";
inline constexpr std::string_view logBox = "编辑框3";
inline constexpr std::string_view captionTimer = "时钟2";
inline constexpr std::string_view backupTimer = "时钟3";
inline constexpr std::string_view loadProgressBar = "进度条1";
inline constexpr std::string_view backupProgressLabel = "透明标签3";
inline constexpr std::string_view findChatWindowsButton = "按钮_获取句柄";
inline constexpr std::string_view arrangeButton = "按钮_排列位置";
inline constexpr std::string_view startBroadcastButton = "按钮_启动程序";

}  // namespace tovakin::app::names

#include <ostream>

#include "cli/commands.h"
#include "core/broadcast/chat_windows.h"
#include "platform/text_codec.h"
#include "platform/x11/x11_desktop.h"

namespace tovakin::cli {

namespace {
// One window a line, fields separated by tabs: a title cannot be allowed to add either.
std::string field(std::string text) {
    for (char& c : text) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return text;
}
}  // namespace

int windowsCommand(const Args& args, std::ostream& out, std::ostream& err) {
    bool chatOnly = false;
    for (const std::string& arg : args) {
        if (arg == "--chat") {
            chatOnly = true;
        } else {
            throw UsageError("usage: windows [--chat]");
        }
    }
    // Only this command needs a display; the others run without one.
    platform::X11Desktop desktop;
    if (!desktop.open()) {
        err << "tovakin-cli: " << desktop.openError() << "\n";
        return 1;
    }
    for (const platform::WindowRecord& record : broadcast::EnumerateTopLevelWindows(desktop)) {
        if (chatOnly && !broadcast::isGroupChatWindow(record)) {
            continue;
        }
        out << record.handle << '\t' << field(platform::gbkToUtf8(record.className)) << '\t'
            << field(platform::gbkToUtf8(record.title)) << '\n';
    }
    return 0;
}

}  // namespace tovakin::cli

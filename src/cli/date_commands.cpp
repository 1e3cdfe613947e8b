#include <charconv>
#include <optional>
#include <ostream>

#include "cli/commands.h"
#include "core/app/date_texts.h"
#include "platform/text_codec.h"

namespace tovakin::cli {

namespace {

app::LocalTime momentArgument(const Args& args, std::size_t index) {
    if (args.size() <= index) {
        return platform::SystemClock().now();
    }
    if (args.size() > index + 1) {
        throw UsageError("too many arguments");
    }
    const auto moment = app::parseLocalTime(args[index]);
    if (!moment) {
        throw UsageError("TIME must be a real moment written YYYY-MM-DD HH:MM:SS, not '" + args[index] + "'");
    }
    return *moment;
}

int styleArgument(const Args& args) {
    if (args.empty()) {
        throw UsageError("STYLE is missing");
    }
    int style = 0;
    const std::string& text = args[0];
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), style);
    if (ec != std::errc() || end != text.data() + text.size()) {
        throw UsageError("STYLE must be an integer, not '" + text + "'");
    }
    return style;
}

}  // namespace

int dateTextCommand(const Args& args, std::ostream& out) {
    const int style = styleArgument(args);
    out << platform::gbkToUtf8(app::dateText(style, momentArgument(args, 1))) << "\n";
    return 0;
}

int timeTextCommand(const Args& args, std::ostream& out) {
    const int style = styleArgument(args);
    out << platform::gbkToUtf8(app::timeText(style, momentArgument(args, 1))) << "\n";
    return 0;
}

int timestampTextCommand(const Args& args, std::ostream& out) {
    out << platform::gbkToUtf8(app::timestampText(momentArgument(args, 0))) << "\n";
    return 0;
}

}  // namespace tovakin::cli

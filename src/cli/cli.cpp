#include "cli/cli.h"

#include <ostream>

#include "cli/commands.h"

namespace tovakin::cli {

namespace {
constexpr const char* kUsage =
    "usage: tovakin-cli COMMAND ...\n"
    "  profile get FILE SECTION KEY          print a value of a profile (INI) file\n"
    "  profile set FILE SECTION KEY VALUE    write a value\n"
    "  profile delete FILE SECTION KEY       remove a key\n"
    "  controls [--run-dir DIR] [--now TIME] start headless and print every control, one JSON object a line\n"
    "  date-text STYLE [TIME]                date text of style 0-3\n"
    "  time-text STYLE [TIME]                time text of style 0-3\n"
    "  timestamp-text [TIME]                 timestamp text\n"
    "TIME is YYYY-MM-DD HH:MM:SS (default: now). Texts on the terminal are UTF-8, in files GBK.\n";
}  // namespace

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kUsage;
        return args.empty() ? 2 : 0;
    }
    const std::string& command = args[0];
    const Args rest(args.begin() + 1, args.end());
    try {
        if (command == "profile") {
            return profileCommand(rest, out, err);
        }
        if (command == "controls") {
            return controlsCommand(rest, out, err);
        }
        if (command == "date-text") {
            return dateTextCommand(rest, out);
        }
        if (command == "time-text") {
            return timeTextCommand(rest, out);
        }
        if (command == "timestamp-text") {
            return timestampTextCommand(rest, out);
        }
        throw UsageError("unknown command '" + command + "' (try --help)");
    } catch (const UsageError& error) {
        err << "tovakin-cli: " << error.what() << "\n";
        return 2;
    }
}

}  // namespace tovakin::cli

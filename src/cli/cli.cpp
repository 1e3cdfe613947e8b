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
    "  collect [--run-dir DIR] [--config FILE] [--cookies FILE]\n"
    "                                        collect the shopping-guide pages, complete the products and\n"
    "                                        write the day's data file, without a window (exit 1: nothing\n"
    "                                        collected or written)\n"
    "  windows [--chat]                      list the visible top-level windows (handle, class, title;\n"
    "                                        --chat: only the group chat windows); needs an X display\n"
    "  date-text STYLE [TIME]                date text of style 0-3\n"
    "  time-text STYLE [TIME]                time text of style 0-3\n"
    "  timestamp-text [TIME]                 timestamp text\n"
    "  text between LEFT RIGHT               the first value between two markers in the GBK text on stdin\n"
    "  text between-at LEFT RIGHT POS        the same from POS (from 1), exact case; prints the new POS\n"
    "                                        (0: not found), then the value\n"
    "  text find-all LEFT RIGHT              every value between the markers, one a line\n"
    "  text unescape                         resolve the backslash and % escapes of the text on stdin\n"
    "  convert KIND                          convert stdin to GBK on stdout; KIND is utf8-to-gbk,\n"
    "                                        utf8-bytes-to-gbk or big5-to-gbk (to simplified characters)\n"
    "  http get URL [--cookies FILE]         print the raw response header block, an empty line, the body\n"
    "                                        (--cookies: a Netscape cookie file to send cookies from)\n"
    "  affiliate url KIND ID                 the affiliate request for an item; KIND: link, commission,\n"
    "                                        code or title\n"
    "  affiliate fetch KIND ID               send it and print the value taken from the answer (exit 1:\n"
    "                                        none); both take [--config FILE] [--cookies FILE]\n"
    "  sim [--port P] [--latency MS] [--failure-rate R] [--cookie-file FILE]\n"
    "                                        serve the simulated world on loopback until stopped; prints a\n"
    "                                        configuration file for --config that points at it\n"
    "  serve [--port P] [--config FILE] [--cookies FILE] [--run-dir DIR]\n"
    "                                        answer item-id queries over TCP (default port 19730) until\n"
    "                                        stopped; prints one line per connection\n"
    "  query [--host H] [--port P] [--timeout S] ID\n"
    "                                        ask a query server for an item (exit 0: found, 1: not found,\n"
    "                                        3: no reply)\n"
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
        if (command == "collect") {
            return collectCommand(rest, out, err);
        }
        if (command == "windows") {
            return windowsCommand(rest, out, err);
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
        if (command == "text") {
            return textCommand(rest, out);
        }
        if (command == "convert") {
            return convertCommand(rest, out);
        }
        if (command == "http") {
            return httpCommand(rest, out, err);
        }
        if (command == "affiliate") {
            return affiliateCommand(rest, out);
        }
        if (command == "sim") {
            return simCommand(rest, out, err);
        }
        if (command == "serve") {
            return serveCommand(rest, out, err);
        }
        if (command == "query") {
            return queryCommand(rest, out, err);
        }
        throw UsageError("unknown command '" + command + "' (try --help)");
    } catch (const UsageError& error) {
        err << "tovakin-cli: " << error.what() << "\n";
        return 2;
    }
}

}  // namespace tovakin::cli

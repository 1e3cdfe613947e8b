#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace tovakin::cli {

using Args = std::vector<std::string>;

// Thrown for a command line that does not fit; run() prints it as one line.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int affiliateCommand(const Args& args, std::ostream& out);
int simCommand(const Args& args, std::ostream& out, std::ostream& err);
// The query server without a window until SIGINT/SIGTERM, and a client of it.
int serveCommand(const Args& args, std::ostream& out, std::ostream& err);
int queryCommand(const Args& args, std::ostream& out, std::ostream& err);
int profileCommand(const Args& args, std::ostream& out, std::ostream& err);
int controlsCommand(const Args& args, std::ostream& out, std::ostream& err);
// "获取数据" without a window: collect, complete, write the day's data file.
int collectCommand(const Args& args, std::ostream& out, std::ostream& err);
int windowsCommand(const Args& args, std::ostream& out, std::ostream& err);
int dateTextCommand(const Args& args, std::ostream& out);
int timeTextCommand(const Args& args, std::ostream& out);
int timestampTextCommand(const Args& args, std::ostream& out);
// Read GBK (or the source bytes of a conversion) from standard input and write bytes.
int textCommand(const Args& args, std::ostream& out);
int convertCommand(const Args& args, std::ostream& out);
int httpCommand(const Args& args, std::ostream& out, std::ostream& err);

}  // namespace tovakin::cli

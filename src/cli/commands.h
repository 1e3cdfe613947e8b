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

int profileCommand(const Args& args, std::ostream& out, std::ostream& err);
int controlsCommand(const Args& args, std::ostream& out, std::ostream& err);
int dateTextCommand(const Args& args, std::ostream& out);
int timeTextCommand(const Args& args, std::ostream& out);
int timestampTextCommand(const Args& args, std::ostream& out);

}  // namespace tovakin::cli

#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tovakin::cli {

// Runs one command line (without the program name). Output is UTF-8; files
// are GBK. Returns the process exit status; bad arguments give a one-line
// error on `err` and status 2.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace tovakin::cli

#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

// Runs the real tovakin-cli the way a user's shell does, for the command-line tests.
namespace tovakin::testing {

struct CliResult {
    int status;       // exit status; -1 when the program did not exit normally
    std::string out;  // standard output as bytes (with standard error when merged)
};

enum class Stderr { Merged, Dropped };

inline std::string shellQuoted(const std::string& arg) {
    std::string quoted = "'";
    for (const char c : arg) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// `arguments` are shell words as they stand (quote what needs it).
inline CliResult runCliLine(const std::string& arguments, Stderr stderrMode = Stderr::Dropped,
                            const std::string& shellTail = {}) {
    const std::string command = std::string(TOVAKIN_CLI) + " " + arguments + shellTail +
                                (stderrMode == Stderr::Merged ? " 2>&1" : " 2>/dev/null");
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buffer{};
    for (std::size_t n = 0; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
        out.append(buffer.data(), n);
    }
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Each argument quoted; `input` becomes standard input.
inline CliResult runCli(const std::vector<std::string>& args, Stderr stderrMode = Stderr::Merged,
                        const std::string& input = {}) {
    std::string arguments;
    for (const std::string& arg : args) {
        arguments += (arguments.empty() ? "" : " ") + shellQuoted(arg);
    }
    TempDir dir;
    writeFile(dir / "stdin", input);
    return runCliLine(arguments, stderrMode, " < " + shellQuoted((dir / "stdin").string()));
}

inline std::vector<std::string> outputLines(const std::string& text) {
    std::vector<std::string> all;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        all.push_back(line);
    }
    return all;
}

}  // namespace tovakin::testing

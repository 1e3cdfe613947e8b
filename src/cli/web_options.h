#pragma once

#include <filesystem>
#include <optional>

#include "cli/commands.h"
#include "core/app/configuration.h"

namespace tovakin::cli {

// The options every command that talks to the web shares:
//   --config FILE   a configuration file (hosts, account, session cookies)
//   --cookies FILE  a Netscape cookie file loaded into the cookie store
struct WebOptions {
    std::optional<std::filesystem::path> config;
    std::optional<std::filesystem::path> cookies;
};

// Removes the web options from `args`; a missing FILE is a usage error.
WebOptions takeWebOptions(Args& args);

// Loads the configuration (the run directory's file when no --config is
// given) and every cookie file it or the options name into the cookie store.
// Throws UsageError with a one-line message when a named file cannot be read.
app::Configuration applyWebOptions(const WebOptions& options, const std::filesystem::path& runDirectory);

}  // namespace tovakin::cli

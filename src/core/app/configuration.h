#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/app/endpoints.h"

// The fixed values of a deployment: the hosts of every outside service, the
// operator's affiliate account and the request tokens. Built-in defaults hold
// unless the run directory (or --config) names a configuration file.
namespace tovakin::app {

// The configuration file the program looks for in its run directory.
inline constexpr const char* kConfigurationFileName = "tovakin.ini";

inline constexpr std::uint16_t kDefaultQueryPort = 19730;

struct AffiliateAccount {
    std::string siteId = "3318257";     // 7 digits
    std::string adZoneId = "11524763";  // 8 digits
    std::string linkToken = "Qm7rTz2LpXe";
    std::string commissionToken = "Hb3kWq9YdRu";
    std::string auctionCodeToken = "Ve4tGj6MwPo";
    std::string titleToken = "Lr8yDn5CfBa";
};

struct Configuration {
    Endpoints endpoints;
    AffiliateAccount affiliate;
    // A Netscape cookie file loaded into the cookie store at start, so a
    // headless run has a login session without a browser. Empty: none.
    std::filesystem::path cookieFile;
    // The TCP port of the query server (0: any free port). A configuration
    // loaded for a run has kDefaultQueryPort unless its file names another;
    // one built in code (tests, one-shot commands) serves no queries.
    std::optional<std::uint16_t> queryPort;
    // The address the query server listens on; the default takes every local
    // IPv4 address, "127.0.0.1" keeps the service to this machine.
    std::string queryAddress = "0.0.0.0";
};

struct LoadedConfiguration {
    Configuration configuration;
    std::string error;  // empty when the file was read (or there was none)
};

// Reads an INI file with sections [hosts] (name=host), [affiliate] (site-id,
// ad-zone-id, link-token, commission-token, auction-code-token, title-token)
// [session] (cookies=FILE, relative to the file's directory) and [query]
// (port=0..65535, other values keep the default; address=IPv4 address). Keys not
// given keep their defaults; a missing optional file is no error.
LoadedConfiguration loadConfiguration(const std::filesystem::path& file, bool mustExist);

// The configuration for a run: `explicitFile` when given, else the run
// directory's configuration file if there is one, else the defaults.
LoadedConfiguration configurationFor(const std::filesystem::path& runDirectory,
                                     const std::optional<std::filesystem::path>& explicitFile);

}  // namespace tovakin::app

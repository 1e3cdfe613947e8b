#include "core/app/configuration.h"

#include <charconv>

#include "core/profile/profile_file.h"

namespace tovakin::app {

namespace {
void readInto(const profile::ProfileFile& file, const char* section, const char* key, std::string& target) {
    std::string value = file.read(section, key);
    if (!value.empty()) {
        target = std::move(value);
    }
}
}  // namespace

LoadedConfiguration loadConfiguration(const std::filesystem::path& path, bool mustExist) {
    LoadedConfiguration loaded;
    loaded.configuration.queryPort = kDefaultQueryPort;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        if (mustExist) {
            loaded.error = "configuration file " + path.string() + " does not exist";
        }
        return loaded;
    }
    const profile::ProfileFile file(path);
    Configuration& config = loaded.configuration;
    for (const std::string& name : file.keys("hosts")) {
        config.endpoints.setHost(name, file.read("hosts", name));
    }
    AffiliateAccount& account = config.affiliate;
    readInto(file, "affiliate", "site-id", account.siteId);
    readInto(file, "affiliate", "ad-zone-id", account.adZoneId);
    readInto(file, "affiliate", "link-token", account.linkToken);
    readInto(file, "affiliate", "commission-token", account.commissionToken);
    readInto(file, "affiliate", "auction-code-token", account.auctionCodeToken);
    readInto(file, "affiliate", "title-token", account.titleToken);
    if (const std::string cookies = file.read("session", "cookies"); !cookies.empty()) {
        config.cookieFile = path.parent_path() / cookies;  // an absolute path stays as it is
    }
    if (const std::string port = file.read("query", "port"); !port.empty()) {
        unsigned value = 0;
        const auto [end, parsed] = std::from_chars(port.data(), port.data() + port.size(), value);
        if (parsed == std::errc() && end == port.data() + port.size() && value <= 65535) {
            config.queryPort = static_cast<std::uint16_t>(value);
        }
    }
    readInto(file, "query", "address", config.queryAddress);
    return loaded;
}

LoadedConfiguration configurationFor(const std::filesystem::path& runDirectory,
                                     const std::optional<std::filesystem::path>& explicitFile) {
    if (explicitFile) {
        return loadConfiguration(*explicitFile, true);
    }
    return loadConfiguration(runDirectory / kConfigurationFileName, false);
}

}  // namespace tovakin::app

#include "cli/web_options.h"

#include "core/web/cookie_store.h"
#include "platform/atomic_file.h"

namespace tovakin::cli {

namespace {
void loadCookies(const std::filesystem::path& file) {
    const auto text = platform::readWholeFile(file);
    if (!text) {
        throw UsageError("cannot read cookie file " + file.string());
    }
    web::cookieStore().importNetscape(*text);
}
}  // namespace

WebOptions takeWebOptions(Args& args) {
    WebOptions options;
    for (auto it = args.begin(); it != args.end();) {
        if (*it != "--config" && *it != "--cookies") {
            ++it;
            continue;
        }
        if (it + 1 == args.end()) {
            throw UsageError(*it + " needs a FILE");
        }
        (*it == "--config" ? options.config : options.cookies) = std::filesystem::path(*(it + 1));
        it = args.erase(it, it + 2);
    }
    return options;
}

app::Configuration applyWebOptions(const WebOptions& options, const std::filesystem::path& runDirectory) {
    app::LoadedConfiguration loaded = app::configurationFor(runDirectory, options.config);
    if (!loaded.error.empty()) {
        throw UsageError(loaded.error);
    }
    if (!loaded.configuration.cookieFile.empty()) {
        loadCookies(loaded.configuration.cookieFile);
    }
    if (options.cookies) {
        loadCookies(*options.cookies);
    }
    return loaded.configuration;
}

}  // namespace tovakin::cli

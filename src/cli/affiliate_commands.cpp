#include <csignal>
#include <ostream>
#include <thread>

#include "cli/commands.h"
#include "cli/web_options.h"
#include "core/app/run_directory.h"
#include "core/web/affiliate_client.h"
#include "platform/text_codec.h"
#include "sim/simulated_world.h"

namespace tovakin::cli {

namespace {

std::filesystem::path runDirectoryOrCurrent() {
    const app::RunDirectory runDir = app::resolveRunDirectory(std::nullopt);
    return runDir.error.empty() ? runDir.path : std::filesystem::current_path();
}

volatile std::sig_atomic_t g_stopRequested = 0;
extern "C" void requestStop(int) {
    g_stopRequested = 1;
}

}  // namespace

int affiliateCommand(const Args& arguments, std::ostream& out) {
    Args args = arguments;
    const WebOptions options = takeWebOptions(args);
    const bool fetch = !args.empty() && args[0] == "fetch";
    if (args.size() != 3 || (args[0] != "url" && !fetch) ||
        (args[1] != "link" && args[1] != "commission" && args[1] != "code" && args[1] != "title")) {
        throw UsageError(
            "usage: affiliate url|fetch link|commission|code|title ID [--config FILE] [--cookies FILE]");
    }
    const app::Configuration config = applyWebOptions(options, runDirectoryOrCurrent());
    const web::AffiliateClient client(web::AffiliateRequests(config.endpoints, config.affiliate));
    const web::AffiliateRequests& requests = client.requests();
    const std::string id = platform::utf8ToGbk(args[2]);
    const std::string& kind = args[1];
    if (!fetch) {
        out << (kind == "link"         ? requests.linkConversionUrl(id)
                : kind == "commission" ? requests.commissionSearchUrl(id)
                : kind == "code"       ? requests.auctionCodeUrl(id)
                                       : requests.titleSearchUrl(id))
            << "\n";
        return 0;
    }
    std::string value;
    bool found = true;
    if (kind == "link") {
        value = client.promotionLink(id);
        found = !value.empty();
    } else if (kind == "commission") {
        value = client.commissionRate(id);
        found = !value.empty();
    } else if (kind == "code") {
        const auto redirect = client.redirectLink(id);
        value = redirect.link;
        found = redirect.found;
    } else {
        value = client.title(id);
        found = !value.empty();
    }
    out << platform::gbkToUtf8(value) << "\n";
    return found ? 0 : 1;
}

int simCommand(const Args& arguments, std::ostream& out, std::ostream& err) {
    sim::WorldSettings settings;
    std::optional<std::filesystem::path> cookieFile;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (i + 1 >= arguments.size()) {
            throw UsageError("usage: sim [--port P] [--latency MS] [--failure-rate R] [--cookie-file FILE]");
        }
        const std::string& value = arguments[++i];
        try {
            if (option == "--port") {
                settings.port = static_cast<std::uint16_t>(std::stoul(value));
            } else if (option == "--latency") {
                settings.latency = std::chrono::milliseconds(std::stol(value));
            } else if (option == "--failure-rate") {
                settings.failureRate = std::stod(value);
            } else if (option == "--cookie-file") {
                cookieFile = value;
            } else {
                throw UsageError("unknown option " + option);
            }
        } catch (const std::logic_error&) {
            throw UsageError("bad value for " + option + ": " + value);
        }
    }
    sim::SimulatedWorld world(settings);
    if (!world.start()) {
        err << "tovakin-cli: the simulated world cannot listen on port " << settings.port << "\n";
        return 1;
    }
    if (!cookieFile) {
        cookieFile = std::filesystem::temp_directory_path() /
                     ("tovakin-sim-" + std::to_string(world.port()) + "-cookies.txt");
    }
    if (!world.writeSessionCookies(*cookieFile)) {
        err << "tovakin-cli: cannot write " << cookieFile->string() << "\n";
        return 1;
    }
    out << world.configurationText(std::filesystem::absolute(*cookieFile)) << std::flush;
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    while (!g_stopRequested) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    world.stop();
    return 0;
}

}  // namespace tovakin::cli

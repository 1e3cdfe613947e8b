#include <pthread.h>

#include <csignal>
#include <ostream>

#include "cli/commands.h"
#include "cli/web_options.h"
#include "core/app/run_directory.h"
#include "core/query/query_client.h"
#include "core/query/query_reply.h"
#include "core/query/query_server.h"
#include "core/web/affiliate_client.h"
#include "platform/clock.h"
#include "platform/text_codec.h"

namespace tovakin::cli {

namespace {

std::uint16_t portValue(const std::string& text) {
    try {
        std::size_t used = 0;
        const unsigned long value = std::stoul(text, &used);
        if (used == text.size() && value <= 65535) {
            return static_cast<std::uint16_t>(value);
        }
    } catch (const std::logic_error&) {
    }
    throw UsageError("bad port: " + text);
}

}  // namespace

int serveCommand(const Args& arguments, std::ostream& out, std::ostream& err) {
    constexpr const char* kUsage = "usage: serve [--port P] [--config FILE] [--cookies FILE] [--run-dir DIR]";
    Args args = arguments;
    const WebOptions webOptions = takeWebOptions(args);
    std::optional<std::uint16_t> port;
    std::optional<std::filesystem::path> runDir;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) {
            throw UsageError(kUsage);
        }
        if (args[i] == "--port") {
            port = portValue(args[i + 1]);
        } else if (args[i] == "--run-dir") {
            runDir = args[i + 1];
        } else {
            throw UsageError(kUsage);
        }
    }
    const app::RunDirectory directory = app::resolveRunDirectory(runDir);
    if (runDir && !directory.error.empty()) {
        throw UsageError(directory.error);
    }
    const app::Configuration config = applyWebOptions(
        webOptions, directory.error.empty() ? directory.path : std::filesystem::current_path());

    // Every thread started from here on inherits the blocked signals, so
    // sigwait below is the one place they arrive.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    query::QueryServerOptions options;
    options.port = port.value_or(config.queryPort.value_or(app::kDefaultQueryPort));
    options.address = config.queryAddress;
    const web::AffiliateClient client(web::AffiliateRequests(config.endpoints, config.affiliate));
    platform::SystemClock clock;
    query::QueryServer server(
        options, [&client](const std::string& id) { return query::answerQuery(client, id); },
        [&out, &clock](const std::string& identity) {
            out << platform::gbkToUtf8(query::connectionLogEntry(identity, clock.now())) << std::endl;
        });
    if (!server.start()) {
        err << "tovakin-cli: " << server.error() << "\n";
        return 1;
    }
    err << "tovakin-cli: serving queries on port " << server.port() << " until SIGINT or SIGTERM"
        << std::endl;
    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    return 0;
}

int queryCommand(const Args& args, std::ostream& out, std::ostream& err) {
    constexpr const char* kUsage = "usage: query [--host H] [--port P] [--timeout SECONDS] ID";
    std::string host = "127.0.0.1";
    std::uint16_t port = app::kDefaultQueryPort;
    int timeoutSeconds = 30;
    std::optional<std::string> id;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--host" && hasValue) {
            host = args[++i];
        } else if (args[i] == "--port" && hasValue) {
            port = portValue(args[++i]);
        } else if (args[i] == "--timeout" && hasValue) {
            timeoutSeconds = std::max(1, std::atoi(args[++i].c_str()));
        } else if (!id && (!args[i].starts_with("--") || args[i] == "--")) {
            id = args[i] == "--" && hasValue ? args[++i] : args[i];
        } else {
            throw UsageError(kUsage);
        }
    }
    if (!id) {
        throw UsageError(kUsage);
    }
    const auto timeout = std::chrono::milliseconds(timeoutSeconds * 1000LL);
    query::QueryClient client;
    if (!client.connect(host, port, timeout)) {
        err << "tovakin-cli: " << client.error() << "\n";
        return 3;
    }
    const std::optional<std::string> reply = client.ask(platform::utf8ToGbk(*id), timeout);
    if (!reply) {
        err << "tovakin-cli: " << client.error() << "\n";
        return 3;
    }
    out << platform::gbkToUtf8(*reply) << "\n";
    return *reply == query::notFoundReply() ? 1 : 0;
}

}  // namespace tovakin::cli

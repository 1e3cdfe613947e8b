#include <filesystem>
#include <ostream>

#include "cli/commands.h"
#include "cli/web_options.h"
#include "core/app/dialogs.h"
#include "core/web/http_client.h"

namespace tovakin::cli {

int httpCommand(const Args& args, std::ostream& out, std::ostream& err) {
    Args rest = args;
    const WebOptions options = takeWebOptions(rest);
    if (rest.size() != 2 || rest[0] != "get") {
        throw UsageError("usage: http get URL [--config FILE] [--cookies FILE]");
    }
    applyWebOptions(options, std::filesystem::current_path());
    std::string url = rest[1];
    std::string headers;
    web::HttpClientHooks hooks;
    hooks.dialogs = &app::stderrDialogs();
    const web::HttpClient client(hooks);
    const std::string body = client.request(url, {}, &headers);
    if (headers.empty()) {
        err << "tovakin-cli: no answer from " << url << "\n";
        return 1;
    }
    // The header block, an empty line, then the body bytes as they came.
    out << headers << "\r\n";
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.flush();
    return 0;
}

}  // namespace tovakin::cli

#include <charconv>
#include <iostream>
#include <iterator>
#include <ostream>

#include "cli/commands.h"
#include "core/web/text_encoding.h"
#include "core/web/text_extraction.h"
#include "platform/text_codec.h"

namespace tovakin::cli {

namespace {

// Standard input as it is: GBK text, or the source bytes of a conversion.
std::string readStandardInput() {
    return {std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
}

void expectCount(const Args& args, std::size_t count, const char* usage) {
    if (args.size() != count) {
        throw UsageError(std::string("usage: ") + usage);
    }
}

std::int64_t positionArgument(const std::string& text) {
    std::int64_t position = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), position);
    if (ec != std::errc() || end != text.data() + text.size()) {
        throw UsageError("POS must be an integer, not '" + text + "'");
    }
    return position;
}

}  // namespace

int textCommand(const Args& args, std::ostream& out) {
    const std::string sub = args.empty() ? std::string() : args[0];
    // Markers come from the terminal in UTF-8; the texts they search are GBK.
    const auto marker = [&](std::size_t i) { return platform::utf8ToGbk(args[i]); };
    if (sub == "between") {
        expectCount(args, 3, "text between LEFT RIGHT");
        out << web::textBetween(readStandardInput(), marker(1), marker(2)) << "\n";
        return 0;
    }
    if (sub == "between-at") {
        expectCount(args, 4, "text between-at LEFT RIGHT POS");
        std::int64_t position = positionArgument(args[3]);
        const std::string value = web::textBetweenAt(readStandardInput(), marker(1), marker(2), position);
        out << position << "\n" << value << "\n";
        return 0;
    }
    if (sub == "find-all") {
        expectCount(args, 3, "text find-all LEFT RIGHT");
        std::vector<std::string> values;
        web::findAllBetween(readStandardInput(), marker(1), marker(2), values);
        for (const auto& value : values) {
            out << value << "\n";
        }
        return 0;
    }
    if (sub == "unescape") {
        expectCount(args, 1, "text unescape");
        out << web::unescapeText(readStandardInput());
        return 0;
    }
    throw UsageError(sub.empty() ? "text needs between, between-at, find-all or unescape"
                                 : "unknown text command '" + sub + "'");
}

int convertCommand(const Args& args, std::ostream& out) {
    expectCount(args, 1, "convert utf8-to-gbk|utf8-bytes-to-gbk|big5-to-gbk");
    const std::string& kind = args[0];
    if (kind == "utf8-to-gbk") {
        out << web::utf8TextToGbk(readStandardInput());
    } else if (kind == "utf8-bytes-to-gbk") {
        out << web::utf8BytesToGbk(readStandardInput());
    } else if (kind == "big5-to-gbk") {
        out << web::big5ToSimplifiedGbk(readStandardInput());
    } else {
        throw UsageError("unknown conversion '" + kind + "' (utf8-to-gbk, utf8-bytes-to-gbk, big5-to-gbk)");
    }
    return 0;
}

}  // namespace tovakin::cli

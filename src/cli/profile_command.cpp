#include <ostream>

#include "cli/commands.h"
#include "core/profile/profile_file.h"
#include "platform/text_codec.h"

namespace tovakin::cli {

using platform::gbkToUtf8;
using platform::utf8ToGbk;

int profileCommand(const Args& args, std::ostream& out, std::ostream& err) {
    const std::string action = args.empty() ? std::string() : args[0];
    const std::size_t wanted = action == "set" ? 5 : 4;
    if ((action != "get" && action != "set" && action != "delete") || args.size() != wanted) {
        throw UsageError("usage: profile get|delete FILE SECTION KEY, or profile set FILE SECTION KEY VALUE");
    }
    const std::filesystem::path file = args[1];
    const std::string section = utf8ToGbk(args[2]);
    const std::string key = utf8ToGbk(args[3]);
    if (action == "get") {
        out << gbkToUtf8(profile::readProfileString(file, section, key)) << "\n";
        return 0;
    }
    const bool ok = action == "set" ? profile::writeProfileString(file, section, key, utf8ToGbk(args[4]))
                                    : profile::deleteProfileKey(file, section, key);
    if (!ok) {
        err << "tovakin-cli: cannot write " << file.string() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace tovakin::cli

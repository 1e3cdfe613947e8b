#include <opencc/opencc.h>

#include <mutex>

#include "platform/text_codec.h"

namespace tovakin::platform {
namespace {

// The configuration is looked up by name first (OpenCC's own data directory),
// then where Debian installs it.
constexpr const char* kConfigs[] = {"t2s.json", "/usr/share/opencc/t2s.json"};

class SimplifiedConverter {
public:
    SimplifiedConverter() {
        for (const char* config : kConfigs) {
            m_handle = opencc_open(config);
            if (m_handle != invalid()) {
                break;
            }
        }
    }
    ~SimplifiedConverter() {
        if (m_handle != invalid()) {
            opencc_close(m_handle);
        }
    }
    SimplifiedConverter(const SimplifiedConverter&) = delete;
    SimplifiedConverter& operator=(const SimplifiedConverter&) = delete;

    std::optional<std::string> convert(std::string_view utf8) {
        if (m_handle == invalid()) {
            return std::nullopt;
        }
        if (utf8.empty()) {
            return std::string();
        }
        std::lock_guard lock(m_mutex);  // one converter object, called from any thread
        char* converted = opencc_convert_utf8(m_handle, utf8.data(), utf8.size());
        if (converted == nullptr) {
            return std::nullopt;
        }
        std::string result(converted);
        opencc_convert_utf8_free(converted);
        return result;
    }

private:
    static opencc_t invalid() { return reinterpret_cast<opencc_t>(-1); }

    std::mutex m_mutex;
    opencc_t m_handle = invalid();
};

}  // namespace

std::optional<std::string> traditionalToSimplified(std::string_view utf8) {
    static SimplifiedConverter converter;
    return converter.convert(utf8);
}

}  // namespace tovakin::platform

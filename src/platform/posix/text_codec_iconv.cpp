#include <iconv.h>

#include <cerrno>
#include <optional>
#include <stdexcept>

#include "platform/posix/unicode_composition.h"
#include "platform/text_codec.h"

namespace tovakin::platform {
namespace {

// One converter per thread and direction: iconv descriptors carry state and
// must not be shared, and opening one per call is slow.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // `onInvalid` is called where iconv stops at a character it cannot take
    // (malformed, or not representable in the target). It returns how many
    // input bytes to replace with one "?", or nothing to end the result there.
    template <typename OnInvalid>
    std::string convert(std::string_view input, OnInvalid onInvalid) {
        std::string output;
        output.resize(input.size() * 2 + 16);
        char* in = const_cast<char*>(input.data());
        std::size_t inLeft = input.size();
        std::size_t outPos = 0;
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            char* out = output.data() + outPos;
            std::size_t outLeft = output.size() - outPos;
            const std::size_t rc = iconv(m_cd, &in, &inLeft, &out, &outLeft);
            outPos = output.size() - outLeft;
            if (rc != static_cast<std::size_t>(-1)) {
                break;
            }
            if (errno == E2BIG) {
                output.resize(output.size() * 2);
                continue;
            }
            // EILSEQ, or EINVAL for a sequence cut off at the end
            const std::optional<std::size_t> skip = onInvalid(std::string_view(in, inLeft));
            if (!skip) {
                break;
            }
            if (outLeft < 1) {
                output.resize(output.size() * 2);
            }
            output[outPos++] = '?';
            const std::size_t n = std::min(inLeft, std::max<std::size_t>(1, *skip));
            in += n;
            inLeft -= n;
        }
        output.resize(outPos);
        return output;
    }

private:
    iconv_t m_cd;
};

std::size_t utf8SequenceLength(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    std::size_t expected = 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        expected = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        expected = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        expected = 4;
    }
    std::size_t len = 1;
    while (len < expected && len < rest.size() && (static_cast<unsigned char>(rest[len]) & 0xC0) == 0x80) {
        ++len;
    }
    return len;
}

std::size_t dbcsSequenceLength(std::string_view rest) {
    const auto lead = static_cast<unsigned char>(rest[0]);
    return (lead >= 0x81 && lead <= 0xFE && rest.size() > 1) ? 2 : 1;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) {
    thread_local Converter converter("CP936", "UTF-8");
    return converter.convert(
        utf8, [](std::string_view rest) -> std::optional<std::size_t> { return utf8SequenceLength(rest); });
}

std::string gbkToUtf8(std::string_view gbk) {
    thread_local Converter converter("UTF-8", "CP936");
    return converter.convert(
        gbk, [](std::string_view rest) -> std::optional<std::size_t> { return dbcsSequenceLength(rest); });
}

std::string utf8ToGbk(std::string_view utf8, const GbkEncoding& encoding) {
    thread_local Converter converter("CP936", "UTF-8");
    const std::string composed = encoding.composeMarks ? posix::composeMarks(utf8) : std::string();
    const std::string_view input = encoding.composeMarks ? std::string_view(composed) : utf8;
    return converter.convert(input, [&](std::string_view rest) -> std::optional<std::size_t> {
        char32_t cp = 0;
        if (encoding.stopAtUnmappable && posix::decodeUtf8(rest, cp) != 0) {
            return std::nullopt;  // well-formed, so GBK lacks the character
        }
        return utf8SequenceLength(rest);
    });
}

std::string big5ToUtf8(std::string_view big5) {
    thread_local Converter converter("UTF-8", "CP950");
    return converter.convert(
        big5, [](std::string_view rest) -> std::optional<std::size_t> { return dbcsSequenceLength(rest); });
}

}  // namespace tovakin::platform

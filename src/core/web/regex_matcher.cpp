#define PCRE2_CODE_UNIT_WIDTH 8
#include "core/web/regex_matcher.h"

#include <pcre2.h>

#include <memory>

#include "platform/text_codec.h"

namespace tovakin::web {
namespace {

struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct CompileContextDeleter {
    void operator()(pcre2_compile_context* context) const { pcre2_compile_context_free(context); }
};

// Multiline anchors of the script engines also see a lone carriage return as
// a line end; PCRE2 sees only the line feed there (which "." must still stop at).
std::string withScriptLineAnchors(const std::string& pattern) {
    std::string out;
    out.reserve(pattern.size() + 16);
    bool inClass = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '\\' && i + 1 < pattern.size()) {
            out += c;
            out += pattern[++i];
            continue;
        }
        if (inClass) {
            inClass = c != ']';
        } else if (c == '[') {
            inClass = true;
            out += c;
            // a "]" right after "[" or "[^" is a member of the class
            if (i + 1 < pattern.size() && pattern[i + 1] == '^') {
                out += pattern[++i];
            }
            if (i + 1 < pattern.size() && pattern[i + 1] == ']') {
                out += pattern[++i];
            }
            continue;
        } else if (c == '^') {
            out += "(?:^|(?<=\\r))";
            continue;
        } else if (c == '$') {
            out += "(?:$|(?=\\r))";
            continue;
        }
        out += c;
    }
    return out;
}

std::size_t nextCharStart(const std::string& utf8, std::size_t pos) {
    ++pos;
    while (pos < utf8.size() && (static_cast<unsigned char>(utf8[pos]) & 0xC0) == 0x80) {
        ++pos;
    }
    return pos;
}

}  // namespace

RegexMatcher::~RegexMatcher() {
    release();
}

void RegexMatcher::release() {
    pcre2_code_free(m_code);
    m_code = nullptr;
    m_matches.clear();
    m_groups = 0;
    m_subject.clear();
}

bool RegexMatcher::execute(std::string_view pattern, std::string_view subject, bool caseSensitive,
                           bool multiline, bool global) {
    release();
    const std::string utf8Pattern =
        multiline ? withScriptLineAnchors(platform::gbkToUtf8(pattern)) : platform::gbkToUtf8(pattern);
    std::unique_ptr<pcre2_compile_context, CompileContextDeleter> context(
        pcre2_compile_context_create(nullptr));
    pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);  // "." stops at a line feed only
    uint32_t options = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY | PCRE2_ALT_CIRCUMFLEX;
    options |= caseSensitive ? 0 : PCRE2_CASELESS;
    options |= multiline ? PCRE2_MULTILINE : 0;
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    m_code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(utf8Pattern.data()), utf8Pattern.size(), options,
                           &error, &errorOffset, context.get());
    if (m_code == nullptr) {
        return false;
    }
    pcre2_jit_compile(m_code, PCRE2_JIT_COMPLETE);  // the interpreter runs when JIT is unavailable

    m_subject = platform::gbkToUtf8(subject);
    std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(m_code, nullptr));
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    uint32_t captures = 0;
    pcre2_pattern_info(m_code, PCRE2_INFO_CAPTURECOUNT, &captures);
    m_groups = captures + 1;

    const auto* text = reinterpret_cast<PCRE2_SPTR>(m_subject.data());
    std::size_t start = 0;
    uint32_t matchOptions = 0;  // the UTF check runs once, not once per match
    while (start <= m_subject.size()) {
        const int rc = pcre2_match(m_code, text, m_subject.size(), start, matchOptions, data.get(), nullptr);
        if (rc == PCRE2_ERROR_NOMATCH) {
            break;
        }
        if (rc < 0) {
            release();
            return false;
        }
        matchOptions = PCRE2_NO_UTF_CHECK;
        for (std::size_t g = 0; g < m_groups; ++g) {
            const bool set = g < static_cast<std::size_t>(rc) && ovector[2 * g] != PCRE2_UNSET;
            m_matches.push_back(set ? ovector[2 * g] : PCRE2_UNSET);
            m_matches.push_back(set ? ovector[2 * g + 1] : PCRE2_UNSET);
        }
        if (!global) {
            break;
        }
        // Like the ECMAScript engines: after an empty match move on one character.
        start = ovector[1] > ovector[0] ? ovector[1] : nextCharStart(m_subject, ovector[1]);
    }
    return true;
}

int RegexMatcher::count() const {
    return m_groups == 0 ? 0 : static_cast<int>(m_matches.size() / (2 * m_groups));
}

std::string RegexMatcher::submatch(int match, int group) const {
    if (match < 1 || match > count() || group < 0 || static_cast<std::size_t>(group) >= m_groups) {
        return {};
    }
    const std::size_t at =
        (static_cast<std::size_t>(match - 1) * m_groups + static_cast<std::size_t>(group)) * 2;
    if (m_matches[at] == PCRE2_UNSET) {
        return {};
    }
    return platform::utf8ToGbk(
        std::string_view(m_subject).substr(m_matches[at], m_matches[at + 1] - m_matches[at]));
}

}  // namespace tovakin::web

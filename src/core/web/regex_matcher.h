#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct pcre2_real_code_8;

// A regular expression run over a GBK text, with every match and its capture
// groups kept for reading afterwards. Pattern and subject are matched as
// characters (through UTF-8), so "." takes a whole Chinese character and a
// match never starts inside one. Perl/ECMAScript syntax (PCRE2 with
// ECMAScript \u and \x); "." never matches a line feed, and with multiline
// "^" and "$" also match at a lone carriage return, as in the script engines.
namespace tovakin::web {

class RegexMatcher {
public:
    RegexMatcher() = default;
    ~RegexMatcher();
    RegexMatcher(const RegexMatcher&) = delete;
    RegexMatcher& operator=(const RegexMatcher&) = delete;

    // Runs `pattern` over `subject`, replacing the matches of the previous
    // run. With `global` every non-overlapping match from left to right, else
    // the first. False when the pattern cannot be compiled or run; then no
    // match is kept.
    bool execute(std::string_view pattern, std::string_view subject, bool caseSensitive = false,
                 bool multiline = true, bool global = true);

    // The number of matches of the last execute.
    int count() const;

    // Capture group `group` of match `match`, both from 1 (group 0 is the
    // whole match), as GBK text; empty when either is out of range or the
    // group took no part in the match.
    std::string submatch(int match, int group) const;

private:
    void release();

    pcre2_real_code_8* m_code = nullptr;
    std::vector<std::size_t> m_matches;  // per match: start and end of group 0..m_groups-1
    std::size_t m_groups = 0;
    std::string m_subject;  // UTF-8 copy of the last subject
};

}  // namespace tovakin::web

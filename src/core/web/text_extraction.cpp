#include "core/web/text_extraction.h"

#include <array>
#include <bit>
#include <cstring>
#include <optional>

#include "core/text/gbk_literal.h"
#include "core/text/gbk_text.h"
#include "core/web/regex_matcher.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TOVAKIN_HAVE_SSE2 1
#endif

namespace tovakin::web {
namespace {

using namespace text::literals;
constexpr std::size_t npos = std::string_view::npos;

bool isLead(char byte) {
    return text::isGbkLeadByte(static_cast<unsigned char>(byte));
}

bool isAsciiLetter(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
}

// Whether `pos` starts a character, given that `known` (<= pos) does. A byte
// that is not a lead byte always ends a character, so only the run of lead
// bytes right before `pos` decides.
bool isBoundary(std::string_view s, std::size_t known, std::size_t pos) {
    if (pos >= s.size()) {
        return true;
    }
    std::size_t start = pos;
    while (start > known && isLead(s[start - 1])) {
        --start;
    }
    return (pos - start) % 2 == 0;
}

// ---- textBetween / textBetweenAt -------------------------------------------

char foldByte(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// First match of `needle` at a character boundary at or after `from` (itself a
// boundary), ASCII letters folded in single-byte characters only.
std::size_t findIgnoringCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return npos;
    }
    const char first = foldByte(needle[0]);
    for (std::size_t p = from; p + needle.size() <= text.size(); p += text::gbkCharLength(text, p)) {
        if (foldByte(text[p]) == first &&
            text::equalsIgnoringAsciiCase(text.substr(p, needle.size()), needle)) {
            return p;
        }
    }
    return npos;
}

// First exact match of `needle` starting at a character boundary, at or after `from`.
std::size_t findExactAtBoundary(std::string_view text, std::string_view needle, std::size_t from) {
    if (needle.empty()) {
        return npos;
    }
    for (std::size_t hit = text.find(needle, from); hit != npos; hit = text.find(needle, hit + 1)) {
        if (isBoundary(text, 0, hit)) {
            return hit;
        }
    }
    return npos;
}

std::string withQuotes(std::string_view marker) {
    return text::joinText(text::splitText(marker, "#引号"_gbk), "\"");
}

// ---- findAllBetween ----------------------------------------------------------

// The table of characters that markers take literally.
std::string escapeMarker(std::string_view marker) {
    constexpr std::string_view kTakenLiterally = "?*+[](){}";
    std::string escaped;
    escaped.reserve(marker.size() + 8);
    for (std::size_t pos = 0; pos < marker.size();) {
        const std::size_t length = text::gbkCharLength(marker, pos);
        if (length == 1 && kTakenLiterally.find(marker[pos]) != npos) {
            escaped += '\\';
        }
        escaped.append(marker.substr(pos, length));
        pos += length;
    }
    return escaped;
}

// One element of a compiled marker: a character of a set, or a line anchor.
struct Unit {
    enum class Kind : std::uint8_t { Char, LineStart, LineEnd };
    enum class Doubles : std::uint8_t { None, Any, Only, AllBut };  // which two-byte characters match

    Kind kind = Kind::Char;
    Doubles doubles = Doubles::None;
    char d0 = 0;
    char d1 = 0;
    std::array<std::uint64_t, 4> singles{};  // which one-byte characters match

    void add(unsigned char byte) { singles[byte >> 6] |= std::uint64_t{1} << (byte & 63); }
    bool has(unsigned char byte) const { return (singles[byte >> 6] >> (byte & 63)) & 1; }
    void addRange(unsigned char first, unsigned char last) {
        for (unsigned b = first; b <= last; ++b) {
            add(static_cast<unsigned char>(b));
        }
    }
    void invert() {
        for (auto& word : singles) {
            word = ~word;
        }
        doubles = doubles == Doubles::None ? Doubles::Any : Doubles::AllBut;
    }
    int singleCount() const {
        int n = 0;
        for (const auto word : singles) {
            n += std::popcount(word);
        }
        return n;
    }

    // Matches the character at `pos` (a boundary) and moves past it.
    bool match(std::string_view s, std::size_t& pos) const {
        const std::size_t n = s.size();
        if (kind == Kind::LineStart) {
            return pos == 0 || s[pos - 1] == '\n' || s[pos - 1] == '\r';
        }
        if (kind == Kind::LineEnd) {
            return pos == n || s[pos] == '\n' || s[pos] == '\r';
        }
        if (pos >= n) {
            return false;
        }
        if (isLead(s[pos]) && pos + 1 < n) {
            const bool same = s[pos] == d0 && s[pos + 1] == d1;
            const bool ok = doubles == Doubles::Any || (doubles == Doubles::Only && same) ||
                            (doubles == Doubles::AllBut && !same);
            pos += 2;
            return ok;
        }
        return has(static_cast<unsigned char>(s[pos++]));
    }
};

// How common a byte is in web pages; the rarest bytes of a marker are the ones
// to scan for.
int commonness(unsigned char byte) {
    constexpr std::string_view kByFrequency = " e\"=t<>a/oinsrlcdhpm.u-:_gf0w1b2y3k5v4x98j67;#&qz,%";
    if (byte >= 0x80) {
        return 120;  // Chinese text
    }
    if (byte == '\n' || byte == '\t' || byte == '\r') {
        return 180;
    }
    const auto lower = static_cast<char>(foldByte(static_cast<char>(byte)));
    const std::size_t rank = kByFrequency.find(lower);
    if (rank != npos) {
        return 250 - static_cast<int>(rank);
    }
    return byte < 0x20 ? 0 : 60;
}

// The literal bytes a marker starts with, found by scanning for its two
// rarest bytes (sixteen positions at a time where SSE2 is there).
class PrefixFinder {
public:
    void append(unsigned char byte, bool fold) {
        m_bytes += static_cast<char>(fold ? (byte | 0x20) : byte);
        m_fold += static_cast<char>(fold ? 0x20 : 0);
    }

    void prepare() {
        m_first = m_second = 0;
        for (std::size_t i = 1; i < m_bytes.size(); ++i) {
            if (rank(i) < rank(m_first)) {
                m_first = i;
            }
        }
        m_second = m_first;
        for (std::size_t i = 0; i < m_bytes.size(); ++i) {
            if (i != m_first && (m_second == m_first || rank(i) < rank(m_second))) {
                m_second = i;
            }
        }
    }

    std::size_t size() const { return m_bytes.size(); }

    // The first position in [from, last] where the prefix starts; `last` is at
    // most the subject size minus the prefix size.
    std::size_t find(std::string_view s, std::size_t from, std::size_t last) const {
        const char* d = s.data();
        std::size_t i = from;
#ifdef TOVAKIN_HAVE_SSE2
        const __m128i want1 = _mm_set1_epi8(m_bytes[m_first]);
        const __m128i want2 = _mm_set1_epi8(m_bytes[m_second]);
        const __m128i fold1 = _mm_set1_epi8(m_fold[m_first]);
        const __m128i fold2 = _mm_set1_epi8(m_fold[m_second]);
        while (last >= 15 && i <= last - 15) {
            const __m128i a =
                _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + m_first)), fold1);
            const __m128i b =
                _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i + m_second)), fold2);
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, want1), _mm_cmpeq_epi8(b, want2))));
            while (mask != 0) {
                const std::size_t at = i + static_cast<std::size_t>(std::countr_zero(mask));
                if (matchesAt(d + at)) {
                    return at;
                }
                mask &= mask - 1;
            }
            i += 16;
        }
#endif
        for (; i <= last && i != npos; ++i) {
            if (matchesAt(d + i)) {
                return i;
            }
        }
        return npos;
    }

private:
    int rank(std::size_t i) const {
        return commonness(static_cast<unsigned char>(m_bytes[i]));
    }

    bool matchesAt(const char* p) const {
        for (std::size_t k = 0; k < m_bytes.size(); ++k) {
            if (static_cast<char>(p[k] | m_fold[k]) != m_bytes[k]) {
                return false;
            }
        }
        return true;
    }

    std::string m_bytes;  // letters lower-cased where they fold
    std::string m_fold;   // 0x20 where the byte folds, else 0
    std::size_t m_first = 0;
    std::size_t m_second = 0;
};

// A marker compiled from its escaped form, for the constructs markers use:
// characters, ".", "^", "$" and the backslash escapes of single characters
// and character classes.
class Marker {
public:
    // Nothing when the marker uses a construct left to the full engine
    // (alternation, groups, quantifiers, back references, word boundaries ...).
    static std::optional<Marker> compile(std::string_view escaped) {
        Marker marker;
        std::size_t pos = 0;
        while (pos < escaped.size()) {
            const auto c = static_cast<unsigned char>(escaped[pos]);
            Unit unit;
            if (isLead(escaped[pos]) && pos + 1 < escaped.size()) {
                unit = doubleChar(escaped[pos], escaped[pos + 1]);
                pos += 2;
            } else if (c == '\\') {
                if (pos + 1 >= escaped.size()) {
                    return std::nullopt;
                }
                if (isLead(escaped[pos + 1]) && pos + 2 < escaped.size()) {
                    unit = doubleChar(escaped[pos + 1], escaped[pos + 2]);
                    pos += 3;
                } else {
                    const auto e = static_cast<unsigned char>(escaped[pos + 1]);
                    pos += 2;
                    if (!escape(e, unit)) {
                        return std::nullopt;
                    }
                }
            } else if (c == '.') {
                unit.addRange(0, 255);
                unit.singles[0] &= ~(std::uint64_t{1} << '\n');
                unit.doubles = Unit::Doubles::Any;
                ++pos;
            } else if (c == '^' || c == '$') {
                unit.kind = c == '^' ? Unit::Kind::LineStart : Unit::Kind::LineEnd;
                ++pos;
            } else if (std::string_view("|()[]{}?*+").find(static_cast<char>(c)) != npos) {
                return std::nullopt;
            } else {
                unit = literal(c);
                ++pos;
            }
            marker.m_units.push_back(unit);
        }
        marker.buildPrefix();
        return marker;
    }

    // Matches the whole marker at boundary `pos`; `end` is where it stops.
    bool matchAt(std::string_view s, std::size_t pos, std::size_t& end) const {
        return matchFrom(s, pos, 0, end);
    }

    // The first boundary in [from, last] where the marker matches; `known`
    // (<= from) is a boundary.
    std::size_t find(std::string_view s, std::size_t known, std::size_t from, std::size_t last,
                     std::size_t& end) const {
        const std::size_t n = s.size();
        if (m_prefix.size() > 0) {
            if (m_prefix.size() > n) {
                return npos;
            }
            last = std::min(last, n - m_prefix.size());
            for (std::size_t at = from; at <= last; ++at) {
                at = m_prefix.find(s, at, last);
                if (at == npos) {
                    return npos;
                }
                // the prefix finder has checked the units of the prefix already
                if (isBoundary(s, known, at) && matchFrom(s, at + m_prefix.size(), m_prefixUnits, end)) {
                    return at;
                }
            }
            return npos;
        }
        std::size_t at = isBoundary(s, known, from) ? from : from + 1;
        for (; at <= last && at <= n; at += text::gbkCharLength(s, at)) {
            if (matchAt(s, at, end)) {
                return at;
            }
            if (at == n) {
                break;
            }
        }
        return npos;
    }

private:
    bool matchFrom(std::string_view s, std::size_t pos, std::size_t firstUnit, std::size_t& end) const {
        for (std::size_t i = firstUnit; i < m_units.size(); ++i) {
            if (!m_units[i].match(s, pos)) {
                return false;
            }
        }
        end = pos;
        return true;
    }

    static Unit doubleChar(char first, char second) {
        Unit unit;
        unit.doubles = Unit::Doubles::Only;
        unit.d0 = first;
        unit.d1 = second;
        return unit;
    }

    static Unit literal(unsigned char c) {
        Unit unit;
        unit.add(c);
        if (isAsciiLetter(c)) {
            unit.add(c ^ 0x20);  // letter case is ignored
        }
        return unit;
    }

    static bool escape(unsigned char e, Unit& unit) {
        switch (e) {
            case 'd':
            case 'D':
                unit.addRange('0', '9');
                break;
            case 'w':
            case 'W':
                unit.addRange('0', '9');
                unit.addRange('A', 'Z');
                unit.addRange('a', 'z');
                unit.add('_');
                break;
            case 's':
            case 'S':
                unit.addRange('\t', '\r');
                unit.add(' ');
                break;
            case 'n':
                unit = literal('\n');
                return true;
            case 'r':
                unit = literal('\r');
                return true;
            case 't':
                unit = literal('\t');
                return true;
            case 'f':
                unit = literal('\f');
                return true;
            case 'v':
                unit = literal('\v');
                return true;
            default:
                if ((e >= '0' && e <= '9') ||
                    std::string_view("bBcxukpP").find(static_cast<char>(e)) != npos) {
                    return false;
                }
                unit = literal(e);  // any other character stands for itself
                return true;
        }
        if (e == 'D' || e == 'W' || e == 'S') {
            unit.invert();
        }
        return true;
    }

    void buildPrefix() {
        for (const Unit& unit : m_units) {
            if (unit.kind != Unit::Kind::Char) {
                break;
            }
            const int count = unit.singleCount();
            if (unit.doubles == Unit::Doubles::Only && count == 0) {
                m_prefix.append(static_cast<unsigned char>(unit.d0), false);
                m_prefix.append(static_cast<unsigned char>(unit.d1), false);
            } else if (unit.doubles == Unit::Doubles::None && (count == 1 || count == 2)) {
                unsigned char byte = 0;
                while (!unit.has(byte)) {
                    ++byte;
                }
                // a lone lead byte matches only at the very end, which bytes alone cannot tell
                if ((count == 2 && !(isAsciiLetter(byte) && unit.has(byte ^ 0x20))) ||
                    isLead(static_cast<char>(byte))) {
                    break;
                }
                m_prefix.append(byte, count == 2);
            } else {
                break;
            }
            ++m_prefixUnits;
        }
        m_prefix.prepare();
    }

    std::vector<Unit> m_units;
    PrefixFinder m_prefix;
    std::size_t m_prefixUnits = 0;
};

// Every match of left, shortest value without a line feed, right; left to
// right without overlap. Positions only ever land on character boundaries.
void scanAll(const Marker& left, const Marker& right, std::string_view s, std::vector<std::string>& values) {
    const std::size_t n = s.size();
    std::size_t pos = 0;
    std::size_t known = 0;  // a character boundary at or before pos
    // The right marker is known to match nowhere in [failFrom, failLine]; it
    // saves rescanning a long line for every left marker on it.
    std::size_t failFrom = npos;
    std::size_t failLine = npos;
    std::size_t lineFrom = 1;  // no line feed in [lineFrom, lineEnd)
    std::size_t lineEnd = 0;
    const auto lineEndAfter = [&](std::size_t from) {
        if (from < lineFrom || from > lineEnd) {
            const void* hit = from < n ? std::memchr(s.data() + from, '\n', n - from) : nullptr;
            lineFrom = from;
            lineEnd = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - s.data()) : n;
        }
        return lineEnd;
    };
    while (pos <= n) {
        std::size_t valueStart = 0;
        const std::size_t start = left.find(s, known, pos, n, valueStart);
        if (start == npos) {
            return;
        }
        const std::size_t line = lineEndAfter(valueStart);
        std::size_t limit = line;
        if (failFrom != npos && failLine == line) {
            limit = failFrom <= valueStart ? npos : failFrom - 1;
        }
        std::size_t end = 0;
        const std::size_t valueEnd = limit == npos ? npos : right.find(s, valueStart, valueStart, limit, end);
        if (valueEnd == npos) {
            if (limit != npos) {
                failFrom = valueStart;
                failLine = line;
            }
            known = start;
            pos = start + 1;
            continue;
        }
        values.emplace_back(s.substr(valueStart, valueEnd - valueStart));
        if (end == start) {  // an empty match: move on one character
            if (start >= n) {
                return;
            }
            known = pos = start + text::gbkCharLength(s, start);
        } else {
            known = pos = end;
        }
    }
}

}  // namespace

std::string textBetween(std::string_view text, std::string_view left, std::string_view right) {
    const std::string leftMarker = withQuotes(left);
    const std::string rightMarker = withQuotes(right);
    const std::size_t leftAt = findIgnoringCase(text, leftMarker, 0);
    if (leftAt == npos) {
        return {};
    }
    const std::size_t valueStart = leftAt + leftMarker.size();
    const std::size_t rightAt = findIgnoringCase(text, rightMarker, valueStart);
    if (rightAt == npos) {
        return {};
    }
    return std::string(text.substr(valueStart, rightAt - valueStart));
}

std::string textBetweenAt(std::string_view text, std::string_view left, std::string_view right,
                          std::int64_t& position) {
    const std::size_t from = position < 1 ? 0 : static_cast<std::size_t>(position - 1);
    position = 0;
    if (text.empty() || from >= text.size()) {
        return {};
    }
    const std::size_t leftAt = findExactAtBoundary(text, left, from);
    if (leftAt == npos) {
        return {};
    }
    const std::size_t valueStart = leftAt + left.size();
    const std::size_t rightAt = findExactAtBoundary(text, right, valueStart);
    if (rightAt == npos) {
        return {};
    }
    position = static_cast<std::int64_t>(rightAt + right.size()) + 1;
    return std::string(text.substr(valueStart, rightAt - valueStart));
}

std::size_t findAllBetween(std::string_view subject, std::string_view left, std::string_view right,
                           std::vector<std::string>& values) {
    values.clear();
    const std::string leftPattern = escapeMarker(left);
    const std::string rightPattern = escapeMarker(right);
    const std::optional<Marker> leftMarker = Marker::compile(leftPattern);
    const std::optional<Marker> rightMarker = Marker::compile(rightPattern);
    if (leftMarker && rightMarker) {
        scanAll(*leftMarker, *rightMarker, subject, values);
        return values.size();
    }
    // Rare markers (alternation, a backslash before an escaped character ...)
    // go to the full engine, which also rejects the invalid ones.
    RegexMatcher matcher;
    if (!matcher.execute(leftPattern + "(.*?)" + rightPattern, subject)) {
        return 0;
    }
    const int count = matcher.count();
    for (int i = 1; i <= count; ++i) {
        values.push_back(matcher.submatch(i, 1));
    }
    return values.size();
}

}  // namespace tovakin::web

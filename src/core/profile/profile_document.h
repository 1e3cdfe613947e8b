#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// INI ("private profile") files with the behaviour of the Windows profile
// routines, on GBK bytes. A document keeps every line of the file as it was
// and edits lines in place, so untouched content survives a rewrite.
namespace tovakin::profile {

// A value read back is cut to this many bytes.
inline constexpr std::size_t kMaxValueBytes = 10239;

class ProfileDocument {
public:
    ProfileDocument() = default;

    // Accepts any bytes: CRLF or bare LF line ends, lines without "=", junk.
    static ProfileDocument parse(std::string_view bytes);

    // The value of the first matching key of the first matching section
    // (names compared ignoring ASCII case), trimmed of spaces, with one pair of
    // enclosing quotes removed and cut at kMaxValueBytes. Missing: empty text.
    std::string value(std::string_view section, std::string_view key) const;

    // Rewrites an existing key in place, or adds "key=value" at the end of its
    // section, or adds the section (with the key) at the end of the file.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    // Removes the key's line; a missing key is not an error.
    void removeKey(std::string_view section, std::string_view key);

    // Whether value() would find a line for the key (its value may be empty).
    bool hasKey(std::string_view section, std::string_view key) const;

    // The names of the keys of the first matching section, trimmed, in file order.
    std::vector<std::string> keys(std::string_view section) const;

    // The file's bytes: every line followed by CRLF.
    std::string serialize() const;

    bool empty() const { return m_sections.empty(); }

private:
    struct Section {
        std::string header;  // the whole "[name]" line; empty for lines before any section
        std::string name;
        std::vector<std::string> lines;
        std::unordered_map<std::string, std::size_t> keyIndex;  // folded key -> first line holding it
    };

    Section* findSection(std::string_view name);
    const Section* findSection(std::string_view name) const;
    static void indexSection(Section& section);
    Section& appendSection(std::string_view name);

    std::vector<Section> m_sections;
    std::unordered_map<std::string, std::size_t> m_sectionIndex;  // folded name -> first section
};

}  // namespace tovakin::profile

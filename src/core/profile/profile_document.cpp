#include "core/profile/profile_document.h"

#include <utility>

#include "core/text/gbk_text.h"

namespace tovakin::profile {
namespace {

using text::cutAtCharBoundary;
using text::findAtCharBoundary;
using text::foldAsciiCase;
using text::gbkCharLength;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Spaces and tabs are single-byte characters that no GBK trail byte can be,
// so trimming them byte by byte never splits a character of valid text.
std::string_view trimBlanks(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && isBlank(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

enum class LineKind { Other, Header, Key };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;       // section name or key name, trimmed
    std::size_t valueStart = 0;  // for keys: first byte after "="
};

// Searches go by character so that a trail byte equal to "]" (0x5D) inside a
// Chinese section name does not end the name early.
LineInfo classifyLine(std::string_view line) {
    const std::string_view body = trimBlanks(line);
    if (body.empty() || body.front() == ';') {
        return {};
    }
    if (body.front() == '[') {
        const std::size_t close = findAtCharBoundary(body, "]", 1);
        if (close == std::string_view::npos) {
            return {};  // a broken header is junk, and never a key either
        }
        return {LineKind::Header, trimBlanks(body.substr(1, close - 1)), 0};
    }
    const std::size_t equals = findAtCharBoundary(line, "=");
    if (equals == std::string_view::npos) {
        return {};
    }
    return {LineKind::Key, trimBlanks(line.substr(0, equals)), equals + 1};
}

bool isBlankLine(std::string_view line) {
    return trimBlanks(line).empty();
}

// True when the last byte of `text` starts a character of its own.
bool endsWithWholeChar(std::string_view text) {
    std::size_t pos = 0;
    while (pos + 1 < text.size()) {
        pos += gbkCharLength(text, pos);
    }
    return pos == text.size() - 1;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front() && endsWithWholeChar(value)) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

std::string keyLine(std::string_view key, std::string_view value) {
    std::string line;
    line.reserve(key.size() + 1 + value.size());
    line.append(key).append("=").append(value);
    return line;
}

}  // namespace

ProfileDocument ProfileDocument::parse(std::string_view bytes) {
    ProfileDocument document;
    Section* current = nullptr;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        // Lines split on the LF byte alone: a lead byte before it is junk, and
        // must not swallow the line end.
        const std::size_t newline = bytes.find('\n', pos);
        std::string_view line;
        if (newline == std::string_view::npos) {
            line = bytes.substr(pos);
            pos = bytes.size();
        } else {
            line = bytes.substr(pos, newline - pos);
            pos = newline + 1;
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }

        const LineInfo info = classifyLine(line);
        if (info.kind == LineKind::Header) {
            document.m_sections.push_back(Section{std::string(line), std::string(info.name), {}, {}});
            document.m_sectionIndex.emplace(foldAsciiCase(info.name), document.m_sections.size() - 1);
            current = &document.m_sections.back();
            continue;
        }
        if (current == nullptr) {
            // Lines before the first header belong to no section.
            document.m_sections.push_back(Section{});
            current = &document.m_sections.back();
        }
        current->lines.emplace_back(line);
        if (info.kind == LineKind::Key && !current->header.empty()) {
            current->keyIndex.emplace(foldAsciiCase(info.name), current->lines.size() - 1);
        }
    }
    return document;
}

std::string ProfileDocument::value(std::string_view section, std::string_view key) const {
    const Section* found = findSection(section);
    if (found == nullptr) {
        return {};
    }
    const auto it = found->keyIndex.find(foldAsciiCase(trimBlanks(key)));
    if (it == found->keyIndex.end()) {
        return {};
    }
    const std::string_view line = found->lines[it->second];
    const LineInfo info = classifyLine(line);
    const std::string_view value = unquote(trimBlanks(line.substr(info.valueStart)));
    return std::string(cutAtCharBoundary(value, kMaxValueBytes));
}

void ProfileDocument::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view sectionName = trimBlanks(section);
    const std::string_view keyName = trimBlanks(key);
    // Names or values that would not read back as written (a line break, "="
    // in a key, "]" in a section name, ...) are written as they are, and the
    // document is then re-read from its own bytes, so memory always agrees
    // with what the file says.
    bool rereadNeeded = value.find('\n') != std::string_view::npos ||
                        keyName.find('\n') != std::string_view::npos ||
                        sectionName.find('\n') != std::string_view::npos;

    Section* target = findSection(sectionName);
    if (target == nullptr) {
        target = &appendSection(sectionName);
        const LineInfo header = classifyLine(target->header);
        rereadNeeded = rereadNeeded || header.kind != LineKind::Header ||
                       foldAsciiCase(header.name) != foldAsciiCase(sectionName);
    }

    std::string foldedKey = foldAsciiCase(keyName);
    const auto it = target->keyIndex.find(foldedKey);
    std::string line =
        keyLine(it != target->keyIndex.end() ? classifyLine(target->lines[it->second]).name : keyName, value);
    const LineInfo written = classifyLine(line);
    rereadNeeded = rereadNeeded || written.kind != LineKind::Key || foldAsciiCase(written.name) != foldedKey;
    if (it != target->keyIndex.end()) {
        // The line keeps the key's first spelling.
        target->lines[it->second] = std::move(line);
    } else {
        // After the last non-blank line, so blank lines that part this section
        // from the next one stay in front of the next one.
        std::size_t insertAt = target->lines.size();
        while (insertAt > 0 && isBlankLine(target->lines[insertAt - 1])) {
            --insertAt;
        }
        target->lines.insert(target->lines.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
        // Only blank lines moved, so no indexed line changed its position.
        target->keyIndex.emplace(std::move(foldedKey), insertAt);
    }

    if (rereadNeeded) {
        *this = parse(serialize());
    }
}

void ProfileDocument::removeKey(std::string_view section, std::string_view key) {
    Section* found = findSection(section);
    if (found == nullptr) {
        return;
    }
    const auto it = found->keyIndex.find(foldAsciiCase(trimBlanks(key)));
    if (it == found->keyIndex.end()) {
        return;
    }
    found->lines.erase(found->lines.begin() + static_cast<std::ptrdiff_t>(it->second));
    // Later lines moved up, and a duplicate of the key may now be the first.
    indexSection(*found);
}

bool ProfileDocument::hasKey(std::string_view section, std::string_view key) const {
    const Section* found = findSection(section);
    return found != nullptr && found->keyIndex.contains(foldAsciiCase(trimBlanks(key)));
}

std::string ProfileDocument::serialize() const {
    std::size_t size = 0;
    for (const Section& section : m_sections) {
        if (!section.header.empty()) {
            size += section.header.size() + 2;
        }
        for (const std::string& line : section.lines) {
            size += line.size() + 2;
        }
    }
    std::string bytes;
    bytes.reserve(size);
    for (const Section& section : m_sections) {
        if (!section.header.empty()) {
            bytes.append(section.header).append("\r\n");
        }
        for (const std::string& line : section.lines) {
            bytes.append(line).append("\r\n");
        }
    }
    return bytes;
}

ProfileDocument::Section* ProfileDocument::findSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const ProfileDocument::Section* ProfileDocument::findSection(std::string_view name) const {
    const auto it = m_sectionIndex.find(foldAsciiCase(trimBlanks(name)));
    return it == m_sectionIndex.end() ? nullptr : &m_sections[it->second];
}

void ProfileDocument::indexSection(Section& section) {
    section.keyIndex.clear();
    if (section.header.empty()) {
        return;
    }
    for (std::size_t i = 0; i < section.lines.size(); ++i) {
        const LineInfo info = classifyLine(section.lines[i]);
        if (info.kind == LineKind::Key) {
            section.keyIndex.emplace(foldAsciiCase(info.name), i);
        }
    }
}

ProfileDocument::Section& ProfileDocument::appendSection(std::string_view name) {
    std::string header;
    header.reserve(name.size() + 2);
    header.append("[").append(name).append("]");
    m_sections.push_back(Section{std::move(header), std::string(name), {}, {}});
    m_sectionIndex.emplace(foldAsciiCase(name), m_sections.size() - 1);
    return m_sections.back();
}

std::vector<std::string> ProfileDocument::keys(std::string_view section) const {
    std::vector<std::string> names;
    if (const Section* found = findSection(section)) {
        for (const std::string& line : found->lines) {
            if (const LineInfo info = classifyLine(line); info.kind == LineKind::Key) {
                names.emplace_back(info.name);
            }
        }
    }
    return names;
}

}  // namespace tovakin::profile

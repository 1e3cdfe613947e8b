#include "sim/picture_host.h"

#include <array>
#include <vector>

namespace tovakin::sim {

namespace {

// The standard Huffman tables for DC differences; the AC table holds only the
// end-of-block symbol, which is all a picture of flat blocks needs.
constexpr std::array<std::uint8_t, 16> kDcLumaBits{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 16> kDcChromaBits{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0};
constexpr std::array<std::uint8_t, 12> kDcValues{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr std::array<std::uint8_t, 16> kAcBits{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr std::uint8_t kAcValues[] = {0x00};
constexpr int kDcQuantizer = 8;  // a flat block's DC coefficient is 8 * (level - 128)

struct Code {
    std::uint16_t bits = 0;
    int length = 0;
};

// Canonical codes from a table's code-length counts, indexed by symbol.
std::array<Code, 256> canonicalCodes(const std::array<std::uint8_t, 16>& bits, const std::uint8_t* values) {
    std::array<Code, 256> codes{};
    std::uint16_t code = 0;
    std::size_t k = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < bits[static_cast<std::size_t>(length - 1)]; ++i) {
            codes[values[k++]] = {code++, length};
        }
        code = static_cast<std::uint16_t>(code << 1);
    }
    return codes;
}

class BitWriter {
public:
    explicit BitWriter(std::string& out) : m_out(out) {}
    void put(std::uint32_t bits, int length) {
        for (int i = length - 1; i >= 0; --i) {
            m_byte = static_cast<std::uint8_t>((m_byte << 1) | ((bits >> i) & 1U));
            if (++m_count == 8) {
                flushByte();
            }
        }
    }
    void finish() {
        while (m_count != 0) {
            put(1, 1);  // pad with one bits
        }
    }

private:
    void flushByte() {
        m_out += static_cast<char>(m_byte);
        if (m_byte == 0xFF) {
            m_out += '\0';  // byte stuffing
        }
        m_byte = 0;
        m_count = 0;
    }
    std::string& m_out;
    std::uint8_t m_byte = 0;
    int m_count = 0;
};

void putWord(std::string& out, int value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void putHuffmanTable(std::string& out, int tableClassAndId, const std::array<std::uint8_t, 16>& bits,
                     const std::uint8_t* values, std::size_t valueCount) {
    out += "\xFF\xC4";
    putWord(out, static_cast<int>(2 + 1 + 16 + valueCount));
    out += static_cast<char>(tableClassAndId);
    for (const std::uint8_t count : bits) {
        out += static_cast<char>(count);
    }
    out.append(reinterpret_cast<const char*>(values), valueCount);
}

int category(int value) {
    int magnitude = value < 0 ? -value : value;
    int bits = 0;
    while (magnitude != 0) {
        ++bits;
        magnitude >>= 1;
    }
    return bits;
}

}  // namespace

std::string makeJpeg(int width, int height, std::uint32_t seed) {
    std::string out = "\xFF\xD8";
    // JFIF header
    out += "\xFF\xE0";
    putWord(out, 16);
    out.append("JFIF\0", 5);
    out += "\x01\x01";
    out += '\0';
    putWord(out, 1);
    putWord(out, 1);
    out += std::string(2, '\0');
    // Quantization tables 0 (luma) and 1 (chroma): only DC matters.
    for (int table = 0; table < 2; ++table) {
        out += "\xFF\xDB";
        putWord(out, 67);
        out += static_cast<char>(table);
        out += static_cast<char>(kDcQuantizer);
        out += std::string(63, '\x10');
    }
    // Frame: baseline, 8 bits, three components without subsampling.
    out += "\xFF\xC0";
    putWord(out, 17);
    out += '\x08';
    putWord(out, height);
    putWord(out, width);
    out += '\x03';
    for (int component = 1; component <= 3; ++component) {
        out += static_cast<char>(component);
        out += '\x11';
        out += static_cast<char>(component == 1 ? 0 : 1);
    }
    putHuffmanTable(out, 0x00, kDcLumaBits, kDcValues.data(), kDcValues.size());
    putHuffmanTable(out, 0x10, kAcBits, kAcValues, 1);
    putHuffmanTable(out, 0x01, kDcChromaBits, kDcValues.data(), kDcValues.size());
    putHuffmanTable(out, 0x11, kAcBits, kAcValues, 1);
    // Scan header
    out += "\xFF\xDA";
    putWord(out, 12);
    out += '\x03';
    out.append("\x01\x00\x02\x11\x03\x11", 6);
    out += '\x00';
    out += '\x3F';
    out += '\x00';

    const auto dcLuma = canonicalCodes(kDcLumaBits, kDcValues.data());
    const auto dcChroma = canonicalCodes(kDcChromaBits, kDcValues.data());
    const auto ac = canonicalCodes(kAcBits, kAcValues);
    // Two colours per picture, blended along the diagonal.
    const int r0 = static_cast<int>(seed * 97U % 200U) + 40, g0 = static_cast<int>(seed * 53U % 200U) + 40,
              b0 = static_cast<int>(seed * 29U % 200U) + 40;
    const int r1 = 255 - r0 / 2, g1 = 255 - b0 / 2, b1 = 255 - g0 / 2;
    const int blocksX = (width + 7) / 8, blocksY = (height + 7) / 8;
    std::array<int, 3> previous{0, 0, 0};
    BitWriter writer(out);
    for (int by = 0; by < blocksY; ++by) {
        for (int bx = 0; bx < blocksX; ++bx) {
            const int t = (bx + by) * 256 / (blocksX + blocksY);
            const bool stripe = ((bx + by) / 3) % 4 == 0;
            const int r = stripe ? 250 : (r0 * (256 - t) + r1 * t) / 256;
            const int g = stripe ? 250 : (g0 * (256 - t) + g1 * t) / 256;
            const int b = stripe ? 250 : (b0 * (256 - t) + b1 * t) / 256;
            const int y = (77 * r + 150 * g + 29 * b) / 256;
            const int cb = 128 + (-43 * r - 85 * g + 128 * b) / 256;
            const int cr = 128 + (128 * r - 107 * g - 21 * b) / 256;
            const std::array<int, 3> levels{y, cb, cr};
            for (std::size_t c = 0; c < 3; ++c) {
                const int dc = levels[c] - 128;
                const int diff = dc - previous[c];
                previous[c] = dc;
                const int size = category(diff);
                const Code& code = (c == 0 ? dcLuma : dcChroma)[static_cast<std::size_t>(size)];
                writer.put(code.bits, code.length);
                if (size > 0) {
                    const int bits = diff >= 0 ? diff : diff + (1 << size) - 1;
                    writer.put(static_cast<std::uint32_t>(bits), size);
                }
                writer.put(ac[0].bits, ac[0].length);  // end of block
            }
        }
    }
    writer.finish();
    out += "\xFF\xD9";
    return out;
}

PictureHost::PictureHost() {
    for (const int size : {kFullSize, 160, 290, 310}) {
        for (int variant = 0; variant < kVariants; ++variant) {
            m_pictures[size][variant] = makeJpeg(size, size, static_cast<std::uint32_t>(variant + 1));
        }
    }
}

std::string PictureHost::picturePath(std::string_view itemId) {
    return "/bao/" + std::string(itemId) + ".jpg";
}

const std::string* PictureHost::picture(std::string_view path) const {
    constexpr std::string_view prefix = "/bao/";
    if (!path.starts_with(prefix)) {
        return nullptr;
    }
    std::string_view name = path.substr(prefix.size());
    const std::size_t jpg = name.find(".jpg");
    if (jpg == std::string_view::npos || jpg == 0) {
        return nullptr;
    }
    const std::string_view stem = name.substr(0, jpg);
    const std::string_view suffix = name.substr(jpg + 4);
    int size = kFullSize;
    if (!suffix.empty()) {
        bool known = false;
        for (const int thumbnail : {160, 290, 310}) {
            const std::string expected =
                "_" + std::to_string(thumbnail) + "x" + std::to_string(thumbnail) + ".jpg";
            if (suffix == expected) {
                size = thumbnail;
                known = true;
            }
        }
        if (!known) {
            return nullptr;
        }
    }
    std::uint32_t hash = 2166136261U;
    for (const char c : stem) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619U;
    }
    return &m_pictures.at(size).at(static_cast<int>(hash % kVariants));
}

void PictureHost::install(HttpServer& server, const std::string& host) const {
    server.route(host, "/bao/*", [this](const HttpRequest& request) {
        const std::string* jpeg = picture(request.path);
        if (jpeg == nullptr) {
            return HttpResponse::notFound();
        }
        return HttpResponse::text(*jpeg, "image/jpeg");
    });
}

}  // namespace tovakin::sim

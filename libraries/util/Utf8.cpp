#include "util/Utf8.h"

#include <array>
#include <cstdint>

namespace {

// Windows-1252 at 0x80..0x9F; from 0xA0 on it is Latin-1, the same as Unicode.
constexpr std::array<char32_t, 32> kWindows1252Low = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

// The length of the valid UTF-8 sequence of two or more bytes that starts at
// text[i], or 0 when none does.
size_t utf8SequenceAt(std::string_view text, size_t i) {
    auto byte = [&](size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t first = byte(i);
    size_t length = 0;
    char32_t code = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2, code = first & 0x1F;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, code = first & 0x0F;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, code = first & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

char32_t windows1252Character(unsigned char byte) {
    if (byte < 0x80) return byte;
    return byte < 0xA0 ? kWindows1252Low[byte - 0x80] : static_cast<char32_t>(byte);
}

std::string bytesAsUtf8(std::string_view bytes, char32_t (*other)(unsigned char)) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte);
            ++i;
        } else if (const size_t length = utf8SequenceAt(bytes, i)) {
            out.append(bytes, i, length);
            i += length;
        } else {
            appendUtf8(out, other(byte));
            ++i;
        }
    }
    return out;
}

std::string pageTextAsUtf8(std::string_view bytes) {
    std::string text = bytesAsUtf8(bytes, windows1252Character);
    // In place: 0xC2 only ever leads a sequence, so each 0xC2 0xA0 is one no-break space.
    size_t kept = 0;
    for (size_t i = 0; i < text.size(); ++i, ++kept) {
        const bool noBreakSpace = text.compare(i, 2, "\xC2\xA0") == 0;
        text[kept] = noBreakSpace ? ' ' : text[i];
        i += noBreakSpace ? 1 : 0;
    }
    text.resize(kept);
    return text;
}

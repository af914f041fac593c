#include "util/HtmlEntities.h"

#include <array>
#include <cstdint>
#include <string_view>

#include "util/Utf8.h"

namespace {

// Names of U+00A0..U+00FF in order.
constexpr std::array<std::string_view, 96> kLatin1 = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",
    "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",
    "para",   "middot", "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave",
    "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",
    "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave", "aacute",
    "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",   "igrave",
    "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

struct Named {
    std::string_view name;
    char32_t code;
};

constexpr std::array<Named, 22> kOthers = {{{"quot", 0x22},   {"amp", 0x26},     {"apos", 0x27},   {"lt", 0x3C},
                                             {"gt", 0x3E},     {"OElig", 0x152},  {"oelig", 0x153}, {"Scaron", 0x160},
                                             {"scaron", 0x161}, {"ndash", 0x2013}, {"mdash", 0x2014}, {"lsquo", 0x2018},
                                             {"rsquo", 0x2019}, {"sbquo", 0x201A}, {"ldquo", 0x201C}, {"rdquo", 0x201D},
                                             {"bdquo", 0x201E}, {"bull", 0x2022},  {"hellip", 0x2026}, {"prime", 0x2032},
                                             {"euro", 0x20AC},  {"trade", 0x2122}}};

constexpr char32_t kNone = 0xFFFFFFFF;
constexpr size_t kLongestReference = 10;  // "#x0010FFFF" or a name such as "hellip"

char32_t namedCode(std::string_view name) {
    for (size_t i = 0; i < kLatin1.size(); ++i) {
        if (kLatin1[i] == name) return static_cast<char32_t>(0xA0 + i);
    }
    for (const Named& entry : kOthers) {
        if (entry.name == name) return entry.code;
    }
    return kNone;
}

char32_t numericCode(std::string_view digits) {
    const bool hex = !digits.empty() && (digits[0] == 'x' || digits[0] == 'X');
    if (hex) digits.remove_prefix(1);
    if (digits.empty()) return kNone;
    std::uint32_t value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) return kNone;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        if (value > 0x10FFFF) return 0xFFFD;
    }
    // What browsers show for the numbers 128..159: read as Windows-1252.
    if (value >= 0x80 && value <= 0x9F) return windows1252Character(static_cast<unsigned char>(value));
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) return 0xFFFD;
    return value;
}

}  // namespace

std::string decodeHtmlEntities(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const size_t amp = text.find('&', i);
        if (amp == std::string::npos) break;
        out.append(text, i, amp - i);
        const size_t semicolon = text.find(';', amp + 1);
        char32_t code = kNone;
        if (semicolon != std::string::npos && semicolon - amp - 1 <= kLongestReference) {
            const std::string_view body(text.data() + amp + 1, semicolon - amp - 1);
            code = !body.empty() && body[0] == '#' ? numericCode(body.substr(1)) : namedCode(body);
        }
        if (code == kNone) {
            out += '&';
            i = amp + 1;
            continue;
        }
        appendUtf8(out, code == 0xA0 ? U' ' : code);
        i = semicolon + 1;
    }
    out.append(text, i, std::string::npos);
    return out;
}

#include "util/GeneralUtils.h"

#include <openssl/evp.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include "util/CLocaleScope.h"
#include "util/regex.h"

namespace {

std::array<unsigned char, 16> md5Digest(const std::string& text) {
    std::array<unsigned char, 16> digest{};
    unsigned int size = 0;
    EVP_Digest(text.data(), text.size(), digest.data(), &size, EVP_md5(), nullptr);
    return digest;
}

uint32_t firstWord(const std::array<unsigned char, 16>& digest) {
    return static_cast<uint32_t>(digest[0]) | static_cast<uint32_t>(digest[1]) << 8 |
           static_cast<uint32_t>(digest[2]) << 16 | static_cast<uint32_t>(digest[3]) << 24;
}

}  // namespace

std::string GeneralUtils::md5(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char byte : md5Digest(text)) {
        out += hex[byte >> 4];
        out += hex[byte & 0x0f];
    }
    return out;
}

int GeneralUtils::md5Int(const std::string& text) {
    // Negating the most negative value would overflow: fold it onto its neighbour.
    auto value = static_cast<int32_t>(firstWord(md5Digest(text)));
    if (value == INT32_MIN) return INT32_MAX;
    return value < 0 ? -value : value;
}

int GeneralUtils::bucketize(const std::string& text, int n) {
    if (n <= 1) return 0;
    return static_cast<int>(firstWord(md5Digest(text)) % static_cast<uint32_t>(n));
}

std::string GeneralUtils::xmlEscape(const std::string& text) {
    std::string out;
    strReplace(text, "&", "&amp;", out);
    return out;
}

std::string GeneralUtils::sqlEscape(const std::string& text) {
    std::string unescaped;
    strReplace(text, "\\'", "'", unescaped);
    std::string out;
    strReplace(unescaped, "'", "\\'", out);
    if (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

void GeneralUtils::error(const std::string& text) { std::cerr << text; }

void GeneralUtils::warning(const std::string&) {}

void GeneralUtils::print(const std::string& text) { std::cout << text; }

int GeneralUtils::strToInt(const std::string& text) {
    int value = 0;
    return std::sscanf(text.c_str(), "%d", &value) == 1 ? value : 0;
}

float GeneralUtils::strToFloat(const std::string& text) {
    float value = 0.0f;
    CLocaleScope c;
    return std::sscanf(text.c_str(), "%f", &value) == 1 ? value : 0.0f;
}

std::string GeneralUtils::valueOf(int n) { return std::to_string(n); }

std::string GeneralUtils::valueOf(float f) {
    char buf[64];
    formatInCLocale(buf, sizeof buf, "%f", static_cast<double>(f));
    return buf;
}

std::string GeneralUtils::removeWhitespace(std::string text) {
    std::string letters;
    if (regex::matchOne("([a-zA-Z]+)", text, letters, RegexFlags::Extended)) return letters;
    return text;
}

std::string GeneralUtils::getTextSurround(unsigned long start, unsigned long len, const std::string& text,
                                          unsigned long margin) {
    unsigned long from = start < margin ? 0 : start - margin;
    if (from >= text.size()) return "";
    return text.substr(from, len + 2 * margin);
}

std::string GeneralUtils::removeHtml(const std::string& text) {
    std::string out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t open = text.find('<', pos);
        if (open == std::string::npos) {
            out.append(text, pos, std::string::npos);
            break;
        }
        out.append(text, pos, open - pos);
        size_t close = text.find('>', open);
        if (close == std::string::npos) break;
        pos = close + 1;
    }
    return out;
}

int GeneralUtils::stringMatch(const std::string& needle, const std::string& text, bool wholeWord) {
    size_t pos = text.find(needle);
    while (pos != std::string::npos) {
        if (!wholeWord) return static_cast<int>(pos);
        size_t end = pos + needle.size();
        bool startsWord = pos == 0 || text[pos - 1] == ' ';
        bool endsWord = end >= text.size() || !std::isalpha(static_cast<unsigned char>(text[end]));
        if (startsWord && endsWord) return static_cast<int>(pos);
        pos = text.find(needle, pos + 1);
    }
    return -1;
}

void GeneralUtils::strReplace(const std::string& text, const std::string& from, const std::string& to,
                              std::string& out) {
    if (from.empty()) {
        out += text;  // nothing to look for
        return;
    }
    size_t pos = 0;
    while (true) {
        size_t hit = text.find(from, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        out += to;
        pos = hit + from.size();
    }
    out.append(text, pos, std::string::npos);
}

std::string GeneralUtils::strToLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string GeneralUtils::strToUpper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string GeneralUtils::rebuildTag(const std::string& name, const StringMap& attrs) {
    std::string tag = "<" + name + " ";
    for (const auto& [key, value] : attrs) {
        if (value.empty()) continue;
        tag += key + "=\"" + value + "\" ";
    }
    return tag + ">";
}

bool GeneralUtils::decomposeTag(std::string tag, std::string& name, StringMap& attrs) {
    std::string tagName;
    if (!regex::matchOne("^[<]*([^ >]+)[ >]*", tag, tagName, RegexFlags::Extended)) return false;
    name = strToLower(tagName);
    attrs.clear();

    std::vector<std::string> pieces;
    regex::matchManyGlobal("([^ =]+[=]['\"]{1}[^'\"]+['\"])", tag, pieces, RegexFlags::Extended);
    regex::matchManyGlobal("([^ =]+[=][^'\" ]+)", tag, pieces, RegexFlags::Extended);

    for (const std::string& piece : pieces) {
        std::vector<std::string> parts;
        splitByStr(piece, "=", parts);
        if (parts.size() < 2) continue;
        std::string key = removeWhitespace(strToLower(parts[0]));
        std::string value;
        for (size_t i = 1; i < parts.size(); ++i) {
            if (!value.empty()) value += "=";
            value += parts[i];
        }
        if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
            value = value.size() >= 2 ? value.substr(1, value.size() - 2) : std::string();
        }
        attrs[key] = value;
    }
    return true;
}

void GeneralUtils::getStringMapPrintableRepresentation(std::string& out, const StringMap& map) {
    out.clear();
    for (const auto& [key, value] : map) {
        out += "[" + key + "] => [" + value + "]\n";
    }
}

std::string GeneralUtils::joinHash(const StringMap& map, const std::string& entrySep, const std::string& kvSep) {
    std::string out;
    for (const auto& [key, value] : map) {
        out += key + kvSep + value + entrySep;
    }
    return out;
}

void GeneralUtils::splitHash(const std::string& text, const std::string& entrySep, const std::string& kvSep,
                             StringMap& map) {
    std::vector<std::string> entries;
    splitByStr(text, entrySep, entries);
    for (const std::string& entry : entries) {
        std::vector<std::string> parts;
        splitByStr(entry, kvSep, parts);
        if (parts.size() == 2) map[parts[0]] = parts[1];
    }
}

std::string GeneralUtils::getStringMap(const StringMap& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
}

int GeneralUtils::getStringMapInt(const StringMap& map, const std::string& key) {
    std::string value = getStringMap(map, key);
    return value.empty() ? 0 : strToInt(value);
}

float GeneralUtils::getStringMapFloat(const StringMap& map, const std::string& key) {
    std::string value = getStringMap(map, key);
    return value.empty() ? 0.0f : strToFloat(value);
}

void GeneralUtils::split(const std::string& text, const std::string& pattern, std::vector<std::string>& out) {
    regex_t compiled;
    int rc;
    {
        CLocaleScope c;
        rc = regcomp(&compiled, pattern.c_str(), REG_EXTENDED);
    }
    if (rc != 0) {
        error("BAD REGEX : " + pattern + ". Not handling this.  Bad things will happen. \n");
        return;
    }
    regex::splitCompiled(&compiled, text, out);
    regfree(&compiled);
}

void GeneralUtils::splitByStr(const std::string& text, const std::string& sep, std::vector<std::string>& out) {
    if (sep.empty()) return;
    size_t pos = 0;
    while (true) {
        size_t hit = text.find(sep, pos);
        if (hit == std::string::npos) break;
        out.push_back(text.substr(pos, hit - pos));
        pos = hit + sep.size();
    }
    if (pos < text.size()) out.push_back(text.substr(pos));
}

#include "app/RtfText.h"

#include <cctype>
#include <cstdlib>
#include <vector>

namespace {

bool isSkippedDestination(const std::string& word) {
    return word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info" ||
           word == "pict" || word == "header" || word == "footer" || word == "expandedcolortbl";
}

}  // namespace

std::string rtfToPlainText(const std::string& rtf) {
    if (rtf.compare(0, 5, "{\\rtf") != 0) return rtf;
    std::string out;
    // Per open group: whether its text is dropped.
    std::vector<bool> skip{false};
    bool groupStart = false;
    for (size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '{') {
            skip.push_back(skip.back());
            groupStart = true;
            continue;
        }
        if (c == '}') {
            if (skip.size() > 1) skip.pop_back();
            groupStart = false;
            continue;
        }
        const bool atGroupStart = groupStart;
        groupStart = false;
        if (c == '\r' || c == '\n') continue;
        if (c != '\\') {
            if (!skip.back()) out += c;
            continue;
        }
        if (i + 1 >= rtf.size()) break;
        const char n = rtf[i + 1];
        if (n == '\\' || n == '{' || n == '}') {
            if (!skip.back()) out += n;
            ++i;
        } else if (n == '*') {
            // "{\*\destination ...}": text of an optional destination.
            if (atGroupStart) skip.back() = true;
            ++i;
        } else if (n == '\'' && i + 3 < rtf.size() && std::isxdigit(static_cast<unsigned char>(rtf[i + 2])) &&
                   std::isxdigit(static_cast<unsigned char>(rtf[i + 3]))) {
            if (!skip.back()) out += static_cast<char>(std::strtol(rtf.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
        } else if (n == '\n' || n == '\r') {
            if (!skip.back()) out += '\n';  // an escaped line end is a paragraph break
            ++i;
        } else if (std::isalpha(static_cast<unsigned char>(n))) {
            size_t j = i + 1;
            while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
            const std::string word = rtf.substr(i + 1, j - i - 1);
            if (j < rtf.size() && (rtf[j] == '-' || std::isdigit(static_cast<unsigned char>(rtf[j])))) {
                ++j;
                while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) ++j;
            }
            if (j < rtf.size() && rtf[j] == ' ') ++j;  // the delimiting space belongs to the word
            i = j - 1;
            if (atGroupStart && isSkippedDestination(word)) skip.back() = true;
            if (skip.back()) continue;
            if (word == "par" || word == "line") out += '\n';
            else if (word == "tab") out += '\t';
        } else {
            ++i;  // other control symbols ("\~", "\-") carry no text here
        }
    }
    // Trailing line ends of the last paragraph mark are not part of the text.
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

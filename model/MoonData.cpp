#include "model/MoonData.h"

#include <cmath>
#include <cstdlib>
#include <iostream>

#include "util/CLocaleScope.h"

namespace {

constexpr float kNoValue = -1.0f;

// The lines of the text: a line feed or a carriage return ends a line (so a
// carriage return and a line feed end two); text after the last end is dropped.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

// A month field as a number (leading blanks and trailing text allowed, as a
// "%f" scan reads it); only fractions from 0 to 1 count as values.
bool readFraction(const std::string& field, float& value) {
    const char* begin = field.c_str();
    char* end = nullptr;
    const float number = std::strtof(begin, &end);
    if (end == begin || !std::isfinite(number) || number < 0.0f || number > 1.0f) return false;
    value = number;
    return true;
}

}  // namespace

MoonData::MoonData(const std::string& text) {
    if (text.empty()) {
        std::cerr << "Got no moonData." << std::endl;
        return;
    }
    CLocaleScope cLocale;  // numbers read with a decimal point whatever the user's locale
    const std::vector<std::string> lines = splitLines(text);
    size_t next = 0;
    while (next < lines.size()) {
        ++next;  // the header line
        Year& year = years_.emplace_back();
        year.fill(kNoValue);
        for (int day = 0; day < kDays && next < lines.size(); ++day, ++next) {
            const std::string& line = lines[next];
            // Fields after the first, one per month; more than 12 are ignored,
            // and empty fields keep the months after them in place.
            size_t tab = line.find('\t');
            for (int month = 0; month < kMonths && tab != std::string::npos; ++month) {
                const size_t start = tab + 1;
                tab = line.find('\t', start);
                const size_t length = tab == std::string::npos ? std::string::npos : tab - start;
                float value;
                if (readFraction(line.substr(start, length), value)) year[month * kDays + day] = value;
            }
        }
    }
}

float MoonData::getPercentageIlluminatedFor(unsigned int month, unsigned int day, unsigned int year) const {
    if (year < kFirstYear || year - kFirstYear >= years_.size()) return 1.0f;
    if (month < 1 || month > kMonths || day < 1 || day > kDays) return 1.0f;
    const float value = years_[year - kFirstYear][(month - 1) * kDays + (day - 1)];
    return value == kNoValue ? 1.0f : value;
}

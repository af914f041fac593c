// A site's page laid out anew without changing its content (a line break or a
// blank after every tag, or indented), and the check that no HTML entity is
// left in a value: shared by the tests of each source's configurations.
#pragma once

#include <regex>
#include <string>

enum class Layout { Unchanged, LineBreaks, Blanks, Indented };

inline std::string layoutName(Layout layout) {
    static const char* const names[] = {"Unchanged", "LineBreaks", "Blanks", "Indented"};
    return names[static_cast<int>(layout)];
}
inline void PrintTo(Layout layout, std::ostream* os) { *os << layoutName(layout); }

// The page with a line break or a blank after every tag, or with a line
// break and two blanks between adjacent tags.
inline std::string laidOut(const std::string& page, Layout layout) {
    std::string out;
    for (size_t i = 0; i < page.size(); ++i) {
        out += page[i];
        if (page[i] != '>') continue;
        if (layout == Layout::LineBreaks) out += '\n';
        if (layout == Layout::Blanks) out += ' ';
        if (layout == Layout::Indented && i + 1 < page.size() && page[i + 1] == '<') out += "\n  ";
    }
    return out;
}

// An HTML entity (&deg;, &amp;, &#176;) left in a value.
inline bool holdsEntity(const std::string& value) {
    static const std::regex entity("&[A-Za-z#][A-Za-z0-9]*;");
    return std::regex_search(value, entity);
}

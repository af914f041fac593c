// Regular-expression operations over arbitrary subject text: every scan must
// end and stay inside the text, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "util/GeneralUtils.h"
#include "util/regex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const patterns[] = {
        "<b>([^<]*)</b>", "(a*)", "(x)|(y)", "^", "[ ]*[,][ ]*", "([^ =]+[=][^'\" ]+)", "(a)(b)?", "x*",
    };
    std::string text(reinterpret_cast<const char*>(data), size);
    for (const char* pattern : patterns) {
        std::vector<std::string> out;
        regex r(pattern, 1);
        r.matchManyGlobal(text, out);
        r.split(text, out);
        r.substitute(text, "#");
        std::string one;
        r.matchOne(text, one);
    }
    std::string name;
    StringMap attrs;
    GeneralUtils::decomposeTag(text, name, attrs);
    GeneralUtils::removeHtml(text);
    std::vector<std::string> pieces;
    GeneralUtils::splitByStr(text, ",", pieces);
    StringMap map;
    regex::splitHash("\n", "=", text, map);
    return 0;
}

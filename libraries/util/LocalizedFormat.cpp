#include "util/LocalizedFormat.h"

std::string formatWithArguments(const std::string& format, const std::vector<std::string>& arguments) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char spec = format[i + 1];
        if (spec == '%') {
            out += '%';
            ++i;
        } else if (spec == '@' || spec == 'd' || spec == 'i' || spec == 'u') {
            if (next < arguments.size()) out += arguments[next];
            ++next;
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}

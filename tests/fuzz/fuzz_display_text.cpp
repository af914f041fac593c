// Text fetched from weather pages becomes display text: any bytes give
// valid UTF-8, and display text passes through unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "util/DisplayText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = toDisplayText(bytes);
    if (toDisplayText(text) != text) std::abort();
    if (text.size() < bytes.size() || text.size() > 3 * bytes.size()) std::abort();
    return 0;
}

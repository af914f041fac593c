// Preference files are outside bytes: whatever a file holds, reading it must
// end without a crash, what it reads nests no deeper than the reader allows,
// and what is read can be written and read back. An odd first byte makes
// the rest a binary property list, so both forms are explored.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/PlistBounds.h"
#include "platform/PlistFile.h"

namespace {

int levels(const plist::Value& value) {
    int deepest = 0;
    if (value.isArray()) {
        for (const plist::Value& item : value.asArray()) deepest = std::max(deepest, levels(item));
    } else if (value.isDict()) {
        for (const auto& entry : value.asDict()) deepest = std::max(deepest, levels(entry.second));
    } else {
        return 0;
    }
    return deepest + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) bytes = "bplist00" + bytes;

    plist::Value value;
    std::string error;
    if (!plist::parse(bytes, value, error)) {
        if (error.empty()) std::abort();
        return 0;
    }
    if (levels(value) > plist::kMaxNesting) std::abort();
    const std::string written = plist::toBinary(value);
    plist::Value back;
    if (!written.empty() && !plist::parse(written, back, error)) std::abort();
    return 0;
}

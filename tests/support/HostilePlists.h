#pragma once
// Property lists built byte by byte, past what a preference file may hold:
// arrays nested tens of thousands deep (in XML and binary), binary objects
// shared so often that they expand beyond count, and binary objects that
// contain themselves.

#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

inline void bigEndian(std::string& out, uint64_t n, int width) {
    for (int k = width - 1; k >= 0; --k) out += static_cast<char>((n >> (8 * k)) & 0xFF);
}

// A binary property list of the objects (each its marker and body; top first),
// with 4-byte references and offsets.
inline std::string binary(const std::vector<std::string>& objects) {
    std::string out = "bplist00";
    std::vector<uint64_t> offsets;
    for (const std::string& object : objects) {
        offsets.push_back(out.size());
        out += object;
    }
    const uint64_t table = out.size();
    for (uint64_t offset : offsets) bigEndian(out, offset, 4);
    out += std::string(6, '\0');
    out += '\x04';  // offset width
    out += '\x04';  // reference width
    bigEndian(out, objects.size(), 8);
    bigEndian(out, 0, 8);  // the top object
    bigEndian(out, table, 8);
    return out;
}

// A container object of the kind (0xA array, 0xD dictionary: keys, then values).
inline std::string container(uint8_t kind, const std::vector<uint32_t>& refs) {
    const size_t count = kind == 0xD ? refs.size() / 2 : refs.size();
    std::string out;
    if (count < 15) {
        out += static_cast<char>((kind << 4) | count);
    } else {
        out += static_cast<char>((kind << 4) | 0x0F);
        out += '\x12';  // a 4-byte integer count
        bigEndian(out, count, 4);
    }
    for (uint32_t ref : refs) bigEndian(out, ref, 4);
    return out;
}

inline std::string ascii(const std::string& text) { return static_cast<char>(0x50 | text.size()) + text; }

// {"locations": [[[...]]]} with `depth` nested arrays under the key.
inline std::string deepBinary(uint32_t depth) {
    std::vector<std::string> objects{container(0xD, {1, 2}), ascii("locations")};
    for (uint32_t level = 0; level < depth; ++level) {
        const uint32_t self = static_cast<uint32_t>(objects.size());
        objects.push_back(level + 1 < depth ? container(0xA, {self + 1}) : container(0xA, {}));
    }
    return binary(objects);
}

inline std::string deepXml(uint32_t depth) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>locations</key>";
    for (uint32_t level = 0; level < depth; ++level) out += "<array>";
    for (uint32_t level = 0; level < depth; ++level) out += "</array>";
    return out + "</dict></plist>\n";
}

// A preference file nested 60,000 deep, in either form.
struct FileForm {
    const char* form;
    std::string bytes;
};
inline std::vector<FileForm> deepFiles() { return {{"xml", deepXml(60000)}, {"binary", deepBinary(60000)}}; }

// An array holding the next one twice, `levels` times: few bytes, but 2^levels
// values once every reference is followed.
inline std::string sharedBinary(uint32_t levels) {
    std::vector<std::string> objects;
    for (uint32_t level = 0; level < levels; ++level) objects.push_back(container(0xA, {level + 1, level + 1}));
    objects.push_back("\x09");  // true
    return binary(objects);
}

// An array that holds itself.
inline std::string loopBinary() { return binary({container(0xA, {1}), container(0xA, {0})}); }

}  // namespace hostile

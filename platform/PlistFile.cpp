#include "platform/PlistFile.h"

#include <glib.h>
#include <plist/plist.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "platform/PlistBounds.h"
#include "util/AtomicFile.h"
#include "util/CLocaleScope.h"
#include "util/DisplayText.h"

namespace plist {

namespace {

// Property-list dates count from 2001-01-01 00:00:00 UTC.
constexpr double kEpoch2001 = 978307200.0;

struct NodeFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeFree>;

// How text goes into a node. The XML form keeps every byte as it is. The
// binary form holds ASCII or UTF-16 text only, so text that is not UTF-8 goes
// in as the characters the program shows for it (its bytes read as Mac OS
// Roman, as everywhere text reaches the screen).
enum class Text { AsIs, Unicode };

std::string textFor(const std::string& bytes, Text text) {
    if (text == Text::AsIs || g_utf8_validate(bytes.data(), static_cast<gssize>(bytes.size()), nullptr)) return bytes;
    return toDisplayText(bytes);
}

plist_t toNode(const Value& value, Text text) {
    switch (value.type()) {
    case Value::Type::None:
        return nullptr;
    case Value::Type::String:
        return plist_new_string(textFor(value.asString(), text).c_str());
    case Value::Type::Integer:
        // The library keeps 64-bit integers unsigned; negative ones survive
        // the round trip through the two's-complement bits.
        return plist_new_uint(static_cast<uint64_t>(value.asInt()));
    case Value::Type::Real:
        return plist_new_real(value.asReal());
    case Value::Type::Boolean:
        return plist_new_bool(value.asBool() ? 1 : 0);
    case Value::Type::Date: {
        double since2001 = std::floor(value.asDate().seconds - kEpoch2001);
        // The library's dates are 32-bit seconds; clamp what lies outside.
        since2001 = std::fmax(since2001, static_cast<double>(std::numeric_limits<int32_t>::min()));
        since2001 = std::fmin(since2001, static_cast<double>(std::numeric_limits<int32_t>::max()));
        return plist_new_date(static_cast<int32_t>(since2001), 0);
    }
    case Value::Type::Data: {
        const Data& d = value.asData();
        return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case Value::Type::Array: {
        plist_t array = plist_new_array();
        for (const Value& item : value.asArray()) {
            if (plist_t node = toNode(item, text)) plist_array_append_item(array, node);
        }
        return array;
    }
    case Value::Type::Dict: {
        plist_t dict = plist_new_dict();
        for (const auto& [key, item] : value.asDict()) {
            if (plist_t node = toNode(item, text)) plist_dict_set_item(dict, textFor(key, text).c_str(), node);
        }
        return dict;
    }
    }
    return nullptr;
}

// Reads a node, at most kMaxNesting levels of arrays and dictionaries deep
// (level counts the containers above it): the bytes were measured before
// parsing, and this bound holds even where the parser read them otherwise.
// False when a container lies deeper.
bool fromNode(plist_t node, int level, Value& out) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        out = Value(b != 0);
        return true;
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        out = Value(static_cast<int64_t>(u));
        return true;
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        out = Value(d);
        return true;
    }
    case PLIST_STRING: {
        // Not plist_get_string_val: the library aborts the program there
        // when a binary string holds a NUL byte. The text ends at the first
        // NUL, as it would after the next write.
        uint64_t length = 0;
        const char* s = plist_get_string_ptr(node, &length);
        out = Value(s ? std::string(s, strnlen(s, length)) : std::string());
        return true;
    }
    case PLIST_KEY: {
        // Keys are read through their dictionaries; one on its own reads as nothing.
        out = Value();
        return true;
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        Data d(reinterpret_cast<uint8_t*>(bytes), reinterpret_cast<uint8_t*>(bytes) + (bytes ? length : 0));
        std::free(bytes);
        out = Value(std::move(d));
        return true;
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        out = Value(Date{kEpoch2001 + sec + usec / 1e6});
        return true;
    }
    case PLIST_UID: {
        uint64_t u = 0;
        plist_get_uid_val(node, &u);
        out = Value(static_cast<int64_t>(u));
        return true;
    }
    case PLIST_ARRAY: {
        if (level >= kMaxNesting) return false;
        Array array;
        uint32_t n = plist_array_get_size(node);
        array.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            array.emplace_back();
            if (!fromNode(plist_array_get_item(node, i), level + 1, array.back())) return false;
        }
        out = Value(std::move(array));
        return true;
    }
    case PLIST_DICT: {
        if (level >= kMaxNesting) return false;
        Dict dict;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(node, &it);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, it, &key, &item);
            if (!key || !item) {
                std::free(key);
                break;
            }
            const bool read = fromNode(item, level + 1, dict[key]);
            std::free(key);
            if (!read) {
                std::free(it);
                return false;
            }
        }
        std::free(it);
        out = Value(std::move(dict));
        return true;
    }
    default:
        out = Value();
        return true;
    }
}

// Frees a tree of any depth without recursion (the library's own free
// recurses once per level): leaves are taken off one at a time, deepest
// first, always the last element of an array so that nothing shifts.
void freeDeepTree(plist_t root) {
    std::vector<plist_t> path{root};
    while (!path.empty()) {
        plist_t node = path.back();
        plist_t child = nullptr;
        if (plist_get_node_type(node) == PLIST_ARRAY && plist_array_get_size(node) > 0) {
            child = plist_array_get_item(node, plist_array_get_size(node) - 1);
        } else if (plist_get_node_type(node) == PLIST_DICT && plist_dict_get_size(node) > 0) {
            plist_dict_iter it = nullptr;
            char* key = nullptr;
            plist_dict_new_iter(node, &it);
            plist_dict_next_item(node, it, &key, &child);
            std::free(key);
            std::free(it);
        }
        if (child) {
            path.push_back(child);
            continue;
        }
        path.pop_back();
        if (path.empty()) {
            plist_free(node);
        } else if (plist_get_node_type(path.back()) == PLIST_ARRAY) {
            plist_array_remove_item(path.back(), plist_array_get_size(path.back()) - 1);
        } else {
            char* key = nullptr;
            plist_dict_get_item_key(node, &key);
            plist_dict_remove_item(path.back(), key ? key : "");
            std::free(key);
        }
    }
}

enum class Form { Xml, Binary, Neither };

// The form by the leading bytes: the binary magic, or markup ('<' after
// white space and a UTF-8 byte-order mark).
Form formOf(const std::string& bytes) {
    if (bytes.starts_with("bplist00")) return Form::Binary;
    const size_t start = bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    const size_t first = bytes.find_first_not_of(" \t\r\n", start);
    return first != std::string::npos && bytes[first] == '<' ? Form::Xml : Form::Neither;
}

}  // namespace

bool parse(const std::string& bytes, Value& out, std::string& error) {
    if (bytes.empty()) {
        error = "empty file";
        return false;
    }
    if (auto problem = boundsProblem(bytes)) {
        error = "the property list is " + *problem;
        return false;
    }
    // Each form goes to its own reader: the library's own guess would also
    // take JSON and OpenStep text, which the bounds above never measured.
    const Form form = formOf(bytes);
    if (form == Form::Neither) {
        error = "not a property list";
        return false;
    }
    plist_t root = nullptr;
    {
        // The library reads reals with the C library, in the user's locale: a
        // decimal comma there would read 0.5 as 0.
        CLocaleScope cLocale;
        const auto size = static_cast<uint32_t>(bytes.size());
        if (form == Form::Binary) {
            plist_from_bin(bytes.data(), size, &root);
        } else {
            plist_from_xml(bytes.data(), size, &root);
        }
    }
    if (!root) {
        error = "not a property list";
        return false;
    }
    Value value;
    if (!fromNode(root, 0, value)) {
        freeDeepTree(root);
        error = "the property list is nested more than " + std::to_string(kMaxNesting) + " levels deep";
        return false;
    }
    plist_free(root);
    out = std::move(value);
    return true;
}

std::string toXml(const Value& value) {
    Node root(toNode(value, Text::AsIs));
    if (!root) return "";
    char* xml = nullptr;
    uint32_t length = 0;
    CLocaleScope cLocale;
    plist_to_xml(static_cast<plist_t>(root.get()), &xml, &length);
    std::string text(xml ? xml : "", xml ? length : 0);
    plist_to_xml_free(xml);
    return text;
}

std::string toBinary(const Value& value) {
    Node root(toNode(value, Text::Unicode));
    if (!root) return "";
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(static_cast<plist_t>(root.get()), &bytes, &length);
    std::string data(bytes ? bytes : "", bytes ? length : 0);
    plist_to_bin_free(bytes);
    return data;
}

bool readFile(const std::string& path, Value& out, std::string& error) {
    std::string bytes;
    if (!atomicfile::read(path, bytes, error)) return false;
    if (!parse(bytes, out, error)) {
        error = "Damaged property list [" + path + "]: " + error;
        return false;
    }
    return true;
}

bool writeFile(const std::string& path, const Value& value, std::string& error) {
    std::string xml = toXml(value);
    if (xml.empty()) {
        error = "Nothing to write to [" + path + "]";
        return false;
    }
    return atomicfile::replace(path, xml, error);
}

}  // namespace plist

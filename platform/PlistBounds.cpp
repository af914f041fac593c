#include "platform/PlistBounds.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace plist {

namespace {

std::string tooDeep() { return "nested more than " + std::to_string(kMaxNesting) + " levels deep"; }
std::string tooMany() { return "holds more than " + std::to_string(kMaxValues) + " values"; }

// ---- The XML form: tags are counted as the parser reads them, with
// comments, character data, processing instructions and the document type
// skipped.

bool startsAt(const std::string& text, size_t at, const char* prefix) {
    return text.compare(at, std::strlen(prefix), prefix) == 0;
}

// The position of the '>' that ends the tag opened at `at`, quoted
// attribute values skipped; npos when there is none.
size_t tagEnd(const std::string& text, size_t at) {
    char quote = 0;
    for (size_t i = at; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i;
        }
    }
    return std::string::npos;
}

// The end of a document type, whose internal subset in [ ] may hold '>'.
// The subset is looked for only before the declaration's first '>', so that
// each declaration costs the bytes it spans, however many follow.
size_t doctypeEnd(const std::string& text, size_t at) {
    const size_t close = text.find('>', at);
    if (close == std::string::npos) return close;
    const size_t subset = std::string_view(text).substr(at, close - at).find('[');
    if (subset == std::string_view::npos) return close;
    const size_t subsetEnd = text.find(']', at + subset);
    return subsetEnd == std::string::npos ? subsetEnd : text.find('>', subsetEnd);
}

std::optional<std::string> xmlProblem(const std::string& text) {
    int depth = 0;
    size_t values = 0;
    size_t i = 0;
    while ((i = text.find('<', i)) != std::string::npos) {
        size_t end = std::string::npos;
        if (startsAt(text, i, "<!--")) {
            end = text.find("-->", i + 4);
            if (end == std::string::npos) return "an unterminated comment";
            i = end + 3;
            continue;
        }
        if (startsAt(text, i, "<![CDATA[")) {
            end = text.find("]]>", i + 9);
            if (end == std::string::npos) return "unterminated character data";
            i = end + 3;
            continue;
        }
        if (startsAt(text, i, "<?")) {
            end = text.find("?>", i + 2);
            if (end == std::string::npos) return "an unterminated processing instruction";
            i = end + 2;
            continue;
        }
        if (startsAt(text, i, "<!")) {
            end = doctypeEnd(text, i + 2);
            if (end == std::string::npos) return "an unterminated document type";
            i = end + 1;
            continue;
        }
        end = tagEnd(text, i + 1);
        if (end == std::string::npos) return "an unterminated tag";
        const bool closing = text[i + 1] == '/';
        const size_t nameStart = i + 1 + (closing ? 1 : 0);
        const size_t nameEnd = std::min(text.find_first_of(" \t\r\n/>", nameStart), end);
        const std::string name = text.substr(nameStart, nameEnd - nameStart);
        const bool container = name == "array" || name == "dict";
        if (closing) {
            if (container && depth > 0) --depth;
        } else {
            if (name != "plist" && ++values > kMaxValues) return tooMany();
            const bool empty = text[end - 1] == '/';
            if (container && !empty && ++depth > kMaxNesting) return tooDeep();
        }
        i = end + 1;
    }
    return std::nullopt;
}

// ---- The binary form: objects found through the offset table, containers
// referring to others by number. Each object is measured once (its nesting
// and the values it expands to are remembered), walking with a stack of its
// own that never holds more than kMaxNesting containers.

class BinaryMeasure {
public:
    explicit BinaryMeasure(const std::string& bytes) : b_(bytes) {}

    std::optional<std::string> run() {
        if (auto problem = readTrailer()) return problem;
        std::optional<std::string> problem = enter(top_);
        while (!problem && !stack_.empty()) problem = step();
        return problem;
    }

private:
    struct Measure {
        int levels = 0;      // nesting below and including the object
        size_t values = 1;   // values it expands to, itself included
        bool done = false;   // false while it is being walked: a reference back is a loop
    };
    struct Frame {
        uint64_t object;
        size_t refs;     // where its references begin
        uint64_t count;  // how many references
        uint64_t next = 0;
        Measure measure{};
    };

    uint64_t number(size_t at, size_t width) const {
        uint64_t n = 0;
        for (size_t k = 0; k < width; ++k) n = (n << 8) | static_cast<uint8_t>(b_[at + k]);
        return n;
    }

    std::optional<std::string> readTrailer() {
        const size_t size = b_.size();
        if (size < 8 + 2 + 32) return "a truncated binary property list";
        const size_t trailer = size - 32;
        offsetWidth_ = static_cast<uint8_t>(b_[trailer + 6]);
        refWidth_ = static_cast<uint8_t>(b_[trailer + 7]);
        objects_ = number(trailer + 8, 8);
        top_ = number(trailer + 16, 8);
        table_ = number(trailer + 24, 8);
        if (offsetWidth_ < 1 || offsetWidth_ > 8 || refWidth_ < 1 || refWidth_ > 8)
            return "a binary property list with a damaged trailer";
        if (table_ < 8 || table_ >= trailer || objects_ == 0 || objects_ > (trailer - table_) / offsetWidth_ ||
            top_ >= objects_)
            return "a binary property list with a damaged offset table";
        return std::nullopt;
    }

    // Starts walking an object: a container goes on the stack, anything
    // else is measured at once.
    std::optional<std::string> enter(uint64_t object) {
        if (measured_.size() >= kMaxValues) return tooMany();
        const uint64_t at = number(table_ + object * offsetWidth_, offsetWidth_);
        if (at < 8 || at >= table_) return "a binary property list object outside the object table";
        const uint8_t marker = static_cast<uint8_t>(b_[at]);
        const uint8_t kind = marker >> 4;
        const bool dict = kind == 0xD;
        if (!dict && (kind < 0xA || kind > 0xC)) {
            measured_[object] = Measure{0, 1, true};
            return fold(measured_[object]);
        }
        uint64_t count = marker & 0x0F;
        size_t refs = at + 1;
        if (count == 0x0F) {
            // The count follows as an integer object of 1, 2, 4 or 8 bytes.
            if (refs >= table_) return "a truncated binary property list container";
            const uint8_t intMarker = static_cast<uint8_t>(b_[refs]);
            const size_t width = size_t{1} << (intMarker & 0x0F);
            if ((intMarker >> 4) != 0x1 || (intMarker & 0x0F) > 3 || refs + 1 + width > table_)
                return "a binary property list container with a damaged count";
            count = number(refs + 1, width);
            refs += 1 + width;
        }
        if (count > (table_ - refs) / refWidth_ / (dict ? 2 : 1))
            return "a binary property list container larger than its file";
        if (stack_.size() + 1 > static_cast<size_t>(kMaxNesting)) return tooDeep();
        measured_[object] = Measure{0, 1, false};
        stack_.push_back(Frame{object, refs, count * (dict ? 2 : 1)});
        return std::nullopt;
    }

    // Takes in a measured child of the container on top of the stack.
    std::optional<std::string> fold(const Measure& child) {
        if (stack_.empty()) return std::nullopt;
        Measure& parent = stack_.back().measure;
        if (stack_.size() + static_cast<size_t>(child.levels) > static_cast<size_t>(kMaxNesting)) return tooDeep();
        parent.levels = std::max(parent.levels, child.levels);
        parent.values += child.values;
        if (parent.values > kMaxValues) return tooMany();
        return std::nullopt;
    }

    std::optional<std::string> step() {
        Frame& frame = stack_.back();
        if (frame.next == frame.count) {
            Measure done = frame.measure;
            done.levels += 1;
            done.done = true;
            measured_[frame.object] = done;
            stack_.pop_back();
            return fold(done);
        }
        const uint64_t child = number(frame.refs + frame.next * refWidth_, refWidth_);
        ++frame.next;
        if (child >= objects_) return "a binary property list reference to a missing object";
        auto known = measured_.find(child);
        if (known == measured_.end()) return enter(child);
        if (!known->second.done) return "a binary property list that contains itself";
        return fold(known->second);
    }

    const std::string& b_;
    size_t offsetWidth_ = 0, refWidth_ = 0;
    uint64_t objects_ = 0, top_ = 0, table_ = 0;
    std::vector<Frame> stack_;
    std::unordered_map<uint64_t, Measure> measured_;
};

}  // namespace

std::optional<std::string> boundsProblem(const std::string& bytes) {
    if (bytes.size() > kMaxFileBytes) return "larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB";
    if (bytes.compare(0, 8, "bplist00") == 0) return BinaryMeasure(bytes).run();
    return xmlProblem(bytes);
}

}  // namespace plist

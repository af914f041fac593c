#pragma once
// The shape a property list may have before it is parsed: its size, how deep
// its arrays and dictionaries nest and how many values it holds. The parsing
// library recurses once per level (the binary form while reading, both forms
// while freeing) and copies a binary object each time it is referred to, so a
// few hundred kilobytes of nested or shared objects would overflow the stack
// or take forever. The bytes are measured first, without recursion and in
// time linear in their size; a file past these bounds is damaged. Writers
// measure what they are about to write the same way, so nothing is ever
// written that the reader would refuse.

#include <cstddef>
#include <optional>
#include <string>

namespace plist {

constexpr size_t kMaxFileBytes = size_t{64} << 20;
// Levels of arrays and dictionaries, the outermost counting as one.
constexpr int kMaxNesting = 256;
// Values in all, keys included; a binary object counts each time it is used.
constexpr size_t kMaxValues = 1000000;

// Why the bytes are past a bound or are no property list that can be
// measured; nothing when they fit.
std::optional<std::string> boundsProblem(const std::string& bytes);

}  // namespace plist

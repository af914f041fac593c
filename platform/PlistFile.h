#pragma once
// Property-list files: the XML and the binary form of plist::Value. Dates are kept to whole seconds, as the XML form writes them.
// Entries and elements that hold nothing are left out when writing.

#include <string>

#include "util/plist/Value.h"

namespace plist {

// Parses an XML or binary property list. False (with the reason in error)
// for text that is no property list.
bool parse(const std::string& bytes, Value& out, std::string& error);

// The XML property-list text of a value; "" for a value that holds nothing.
std::string toXml(const Value& value);

// The binary property-list form of a value, which every property-list reader
// accepts whatever bytes its text holds; "" for a value that holds nothing.
// Text that is not UTF-8 is stored as the characters it shows as (its bytes
// read as Mac OS Roman).
std::string toBinary(const Value& value);

// Reads a property-list file. False when it is missing, unreadable, too large
// or damaged; error says which.
bool readFile(const std::string& path, Value& out, std::string& error);

// Writes the value as an XML property list, replacing the file atomically:
// a crash or a full disk leaves the old file as it was.
bool writeFile(const std::string& path, const Value& value, std::string& error);

}  // namespace plist

#pragma once
// The text of a file in the application's main bundle.

#include <string>

// Reads the resource name (no type) in the subdirectory directory of the main
// bundle's resources. True with out set to its text; false, with out empty,
// when the file is missing, unreadable or empty.
bool getFileInPackage(const std::string& directory, const std::string& name, std::string& out);

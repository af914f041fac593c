#pragma once
// Filling the formats of the string tables: "%@" takes the next text, "%d",
// "%i" and "%u" the next number (given as text), "%%" is a percent sign.
// Missing arguments leave nothing; a lone "%" stays as it is.

#include <string>
#include <vector>

std::string formatWithArguments(const std::string& format, const std::vector<std::string>& arguments);

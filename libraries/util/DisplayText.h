#pragma once
// Text reaches the user interface here. Inside the engine text is bytes as
// fetched (pages may be Latin-1, the degree sign is the Mac Roman byte 0xA1);
// the display needs UTF-8.

#include <string>

// Valid UTF-8 sequences pass through unchanged; every other byte is read as
// Mac OS Roman (so 0xA1 becomes "°").
std::string toDisplayText(const std::string& bytes);

#pragma once
// Text reaches the user interface here. Inside the engine, scraped text is
// UTF-8 (pages are read as UTF-8 when fetched) and the program's own texts
// may hold Mac Roman bytes (the degree sign is 0xA1); the display needs UTF-8.

#include <string>

// Valid UTF-8 sequences pass through unchanged; every other byte is read as
// Mac OS Roman (so 0xA1 becomes "°").
std::string toDisplayText(const std::string& bytes);

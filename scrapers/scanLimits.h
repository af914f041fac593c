#pragma once
// Bounds on the text that pattern searches of the scrapers run over. A
// search of one line, token or URL can cost more than its length (an
// unanchored pattern is tried from every position), so a hostile page with
// one huge line could hold a scraper thread for minutes. Real pages stay far
// below these bounds; longer pieces are passed over, not searched.

#include <cstddef>

namespace scanLimits {

// Longest line, token text or link that a pattern is searched in.
constexpr size_t kMaxSearchedText = 4096;

// How many tokens or lines a loop handles between two looks at the stop flag.
constexpr int kStopCheckEvery = 1024;

}  // namespace scanLimits

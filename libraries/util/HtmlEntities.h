#pragma once
// Character references of HTML text ("&quot;", "&#34;", "&#x22;", "&deg;",
// "&eacute;") turned into the characters they stand for, so that no scraped
// value reaches the user with its markup.

#include <string>

// Every named reference of HTML 4 (the markup five, the Latin-1 set and the
// common punctuation) and every numeric one becomes its character in UTF-8;
// "&nbsp;" and its numeric forms become a plain blank. A reference needs its
// closing ";". Unknown names are left as written; a numeric reference to no
// character (0, a surrogate, past U+10FFFF) becomes U+FFFD. Numbers 128-159
// are read as Windows-1252, as browsers read them ("&#146;" is an apostrophe).
std::string decodeHtmlEntities(const std::string& text);

#pragma once
// UTF-8 pieces shared by the text conversions: pages fetched in any of the
// common character sets become UTF-8 before they are read, character
// references are written as UTF-8, and the display keeps valid UTF-8.

#include <cstddef>
#include <string>
#include <string_view>

// Appends the code point's UTF-8 bytes.
void appendUtf8(std::string& out, char32_t code);

// The character a byte of 0x80..0xFF stands for in Windows-1252, the superset
// of Latin-1 browsers read Latin-1 pages as (U+FFFD for its five unused bytes).
char32_t windows1252Character(unsigned char byte);

// The bytes as UTF-8: valid UTF-8 sequences are kept (overlong forms and
// surrogates are not valid), and every other byte of 0x80 or more becomes the
// character `other` reads it as.
std::string bytesAsUtf8(std::string_view bytes, char32_t (*other)(unsigned char));

// A fetched page's text as UTF-8. Valid UTF-8 sequences are kept; every other
// byte of 0x80 or more is read as Windows-1252, so a page written in Latin-1
// ("72\xB0F", "Espa\xF1ola") reads as the same text in UTF-8, and a UTF-8 page
// with a stray Latin-1 byte keeps all its other characters. A no-break space
// becomes a plain blank, as "&nbsp;" does, so "72\xA0\xB0F" reads as "72 °F".
std::string pageTextAsUtf8(std::string_view bytes);

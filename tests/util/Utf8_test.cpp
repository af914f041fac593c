// Page text in the character sets real pages are written in, read as UTF-8.

#include <gtest/gtest.h>

#include "util/Utf8.h"

TEST(Utf8, PagesOfEveryCommonCharacterSetReadAsUtf8) {
    const std::pair<const char*, const char*> cases[] = {
        {"72\xB0" "F, Espa\xF1ola, Montr\xE9" "al", "72\u00b0F, Espa\u00f1ola, Montr\u00e9al"},  // Latin-1
        {"O\x92" "Fallon \x93" "Rain\x94 \x80 \x81", "O\u2019Fallon \u201cRain\u201d \u20ac \ufffd"},  // Windows-1252
        {"\xC3\xA9 \xE2\x80\x93 \xF0\x9F\x8C\xA7 \xE9t\xE9", "\u00e9 \u2013 \U0001F327 \u00e9t\u00e9"},  // UTF-8, mixed
        {"\xC3 \xC0\xAF \xED\xA0\x80", "\u00c3 \u00c0\u00af \u00ed \u20ac"},  // cut, overlong, surrogate
        {"72\xA0\xB0" "F 29.92\xC2\xA0in\xC2", "72 \u00b0F 29.92 in\u00c2"},  // no-break spaces are blanks
    };
    for (const auto& [page, read] : cases) EXPECT_EQ(pageTextAsUtf8(page), read) << page;
}

// Page text in the character sets real pages are written in, read as UTF-8.

#include <gtest/gtest.h>

#include "util/Utf8.h"

TEST(Utf8, PagesOfEveryCommonCharacterSetReadAsUtf8) {
    const std::pair<const char*, const char*> cases[] = {
        {"72\xB0" "F, Espa\xF1ola, Montr\xE9" "al", "72\u00b0F, Espa\u00f1ola, Montr\u00e9al"},  // Latin-1
        {"O\x92" "Fallon \x93" "Rain\x94 \x96 \x80 \x81", "O\u2019Fallon \u201cRain\u201d \u2013 \u20ac \ufffd"},  // 1252
        {"72\xC2\xB0" "F Montr\xC3\xA9" "al \xF0\x9F\x8C\xA7", "72\u00b0F Montr\u00e9al \U0001F327"},  // UTF-8 kept
        {"Montr\xC3\xA9" "al \xE9t\xE9", "Montr\u00e9al \u00e9t\u00e9"},  // UTF-8 with a stray Latin-1 byte
        {"\xC3 \xC0\xAF \xED\xA0\x80", "\u00c3 \u00c0\u00af \u00ed \u20ac"},  // cut, overlong, surrogate
        {"72\xA0\xB0" "F 29.92\xC2\xA0in\xC2", "72 \u00b0F 29.92 in\u00c2"},  // no-break spaces are blanks
        {"", ""},
    };
    for (const auto& [page, read] : cases) EXPECT_EQ(pageTextAsUtf8(page), read) << page;
    const std::string once = pageTextAsUtf8("\xB0\xF1\x92");
    EXPECT_EQ(pageTextAsUtf8(once), once);
}

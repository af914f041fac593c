// Character references as real pages write them, decoded once.

#include <gtest/gtest.h>

#include "util/HtmlEntities.h"

TEST(HtmlEntities, EveryFormPagesWrite) {
    const std::pair<const char*, const char*> cases[] = {
        {"30.12&quot; O&#39;Fallon &#x22; &#X22; O&#146;Fallon", "30.12\" O'Fallon \" \" O\u2019Fallon"},
        {"72&deg;F &#176; &#xB0; &eacute; &Eacute;&nbsp;&#160;&#xa0;x", "72\u00b0F \u00b0 \u00b0 \u00e9 \u00c9   x"},
        {"a=1&amp;b &amp;deg; &lt;b&gt; &ndash; &euro;&#x1F327;", "a=1&b &deg; <b> \u2013 \u20ac\U0001F327"},
        {"Rain & Fog &amp &bogus; &; &#; &#x; &#12a; &verylongname; &NBSP; &&amp;",  // not references: as written
         "Rain & Fog &amp &bogus; &; &#; &#x; &#12a; &verylongname; &NBSP; &&"},
        {"&#0;&#xD800;&#x7FFFFFFF;", "\ufffd\ufffd\ufffd"},  // numbers that name no character
    };
    for (const auto& [page, shown] : cases) EXPECT_EQ(decodeHtmlEntities(page), shown) << page;
}

// Character references as real pages write them, decoded once, where a
// scraped value leaves the page.

#include <gtest/gtest.h>

#include "util/HtmlEntities.h"

TEST(HtmlEntities, EveryFormPagesWrite) {
    const std::pair<const char*, const char*> cases[] = {
        {"30.12&quot; (1019.9 mb)", "30.12\" (1019.9 mb)"},
        {"30.12&#34;", "30.12\""},
        {"30.12&#x22; &#X22;", "30.12\" \""},
        {"72&deg;F 72&#176;F 72&#xB0;F", "72\u00b0F 72\u00b0F 72\u00b0F"},
        {"O&#39;Fallon, Missouri", "O'Fallon, Missouri"},
        {"O&#146;Fallon &apos;", "O\u2019Fallon '"},
        {"Montr&eacute;al, Qu&#233;bec", "Montr\u00e9al, Qu\u00e9bec"},
        {"a=1&amp;state=IL&amp;site=ILX", "a=1&state=IL&site=ILX"},
        {"Partly&nbsp;Cloudy&#160;&#xa0;x", "Partly Cloudy  x"},
        {"&lt;b&gt; &frac14; mi &ndash; &euro;&#x1F327;", "<b> \u00bc mi \u2013 \u20ac\U0001F327"},
        // Not a reference: left exactly as written.
        {"Rain & Fog &amp &bogus; &; &#; &#x; &#12a; &verylongname;", "Rain & Fog &amp &bogus; &; &#; &#x; &#12a; &verylongname;"},
        {"&&amp;", "&&"},
        // A number that names no character is shown as such, never as bytes.
        {"&#0;&#xD800;&#1114112;&#x7FFFFFFF;", "\ufffd\ufffd\ufffd\ufffd"},
        {"&NBSP; &Eacute;", "&NBSP; \u00c9"},
    };
    for (const auto& [page, shown] : cases) EXPECT_EQ(decodeHtmlEntities(page), shown) << page;
}

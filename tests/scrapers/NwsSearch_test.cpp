// City search of the National Weather Service source through the loopback
// fixture server: results lists, redirects to forecast and city-search pages,
// and the latitude/longitude links with their state look-up.

#include <gtest/gtest.h>

#include "NwsTestSupport.h"
#include "LogCapture.h"

using nwstest::key;

namespace {

const char* const kSearchHost = "www.srh.noaa.gov";

struct NwsSearch : ::testing::Test, nwstest::NwsFixture {
    void answerSearch(const std::string& query, FixtureReply reply) {
        server.route(kSearchHost, "/zipcity.php?inputstring=" + query, std::move(reply));
    }
};

}  // namespace

TEST_F(NwsSearch, ResultsListGivesOneCityPerRecognisedLink) {
    server.routeFile(kSearchHost, "/zipcity.php?inputstring=Springfield", "search/results_springfield.html");
    server.routeFile("www.wrh.noaa.gov", "/ifps/citysearch.php", "search/latlon_springfield_or.html");

    std::vector<SuperScraper::City> cities{{"kept", "Earlier City"}};
    EXPECT_EQ(scraper->search("Springfield", cities), 0);

    const std::vector<std::pair<std::string, std::string>> expected{
        {"kept", "Earlier City"},
        {key({"ifps", "crh", "Springfield", "IL", "ILX"}), "Springfield, IL"},
        {key({"total_forecast", "springfield, mo", "crh", "sgf", "MOZ082", "MOC077"}), "Springfield, MO"},
        {key({"total_forecast", "west springfield", "erh", "box", "MAZ011", "MAC013"}), "West Springfield, MA"},
        {key({"MAZ011", "MAC013", "Springfield"}), "Springfield, MA"},
        {key({"ll", "Springfield%2C+or", "wrh", "PQR", "44.05", "-123.02"}), "Springfield, OR"}};
    ASSERT_EQ(cities.size(), expected.size());
    for (size_t i = 0; i < cities.size(); ++i) {
        EXPECT_EQ(cities[i].key, expected[i].first);
        EXPECT_EQ(cities[i].name, expected[i].second);
    }

    // The name already has its state: no state look-up was made.
    for (const FixtureRequest& request : server.requests()) {
        EXPECT_EQ(request.path.find("get_state.php"), std::string::npos) << request.target;
    }
    EXPECT_TRUE(requested("http://www.srh.noaa.gov/zipcity.php?inputstring=Springfield"));
}

TEST_F(NwsSearch, RedirectsAndShortListsGiveTheirCities) {
    const std::string citySearch = "http://www.srh.noaa.gov/citysearch.php?inputstring=";
    answerSearch("Des+Moines", FixtureReply::redirect(
                                   "http://www.crh.noaa.gov/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX"));
    answerSearch("Atlantis", FixtureReply::redirect("http://www.weather.gov/notfound.html"));
    answerSearch("Kansas+City", FixtureReply::redirect(citySearch + "Kansas+City"));
    answerSearch("Portland", FixtureReply::redirect(citySearch + "Portland"));
    server.routeFile(kSearchHost, "/citysearch.php?inputstring=Kansas+City", "search/citysearch_replace.html");
    server.routeFile(kSearchHost, "/citysearch.php?inputstring=Portland", "search/citysearch_list.html");
    server.routeFile(kSearchHost, "/zipcity.php?inputstring=Salem+Town", "search/results_short_names.html");
    server.routeFile(kSearchHost, "/zipcity.php?inputstring=Springfield+HTML", "search/results_references.html");
    struct Case {
        std::string query;
        std::vector<SuperScraper::City> expected;  // keys checked where not empty
    };
    // A redirect to a forecast page gives that city; one to a page that is no
    // forecast link gives none. A city-search page's relative link is
    // resolved against that page. The search term is encoded, and links
    // beyond the names on the page still become cities.
    for (const Case& c : std::vector<Case>{
             {"Des Moines", {{key({"ifps", "crh", "Des+Moines", "IA", "DMX"}), "Des Moines, IA"}}},
             {"Atlantis", {}},
             {"Kansas City", {{key({"ifps", "srh", "Kansas+City", "MO", "EAX"}), "Kansas City, MO"}}},
             {"Portland", {{"", "Portland, OR"}, {key({"ifps", "erh", "Portland", "ME", "GYX"}), "Portland, ME"}}},
             {"Salem Town", {{"", "Salem, MA"}, {"", "Salem, OR"}, {"", "Salem, IL"}}},
             // Links with "&amp;" between arguments, names with references; a help link's cell is no result.
             {"Springfield HTML",
              {{key({"ifps", "crh", "Springfield", "IL", "ILX"}), "Springfield, IL"},
               {key({"total_forecast", "O'Fallon, mo", "crh", "lsx", "MOZ063", "MOC183"}), "O'Fallon, MO"},
               {key({"MAZ011", "MAC013", "Springfield"}), "Springfield, MA"}}},
         }) {
        std::vector<SuperScraper::City> cities;
        EXPECT_EQ(scraper->search(c.query, cities), 0) << c.query;
        ASSERT_EQ(cities.size(), c.expected.size()) << c.query;
        for (size_t i = 0; i < cities.size(); ++i) {
            EXPECT_EQ(cities[i].name, c.expected[i].name) << c.query;
            if (!c.expected[i].key.empty()) {
                EXPECT_EQ(cities[i].key, c.expected[i].key) << c.query;
            }
        }
    }
    // Redirects of the search are read, not followed.
    EXPECT_FALSE(requested("http://www.crh.noaa.gov/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX"));
}

TEST_F(NwsSearch, FailedFetchesReportStatus3) {
    std::vector<SuperScraper::City> cities;
    {
        // The city-search page cannot be fetched (not an http:// URL).
        answerSearch("Nome", FixtureReply::redirect("https://www.srh.noaa.gov/citysearch.php?inputstring=Nome"));
        LogCapture out;
        EXPECT_EQ(scraper->search("Nome", cities), 3);
        EXPECT_NE(out.output().find("Failed to access url[https://www.srh.noaa.gov/citysearch.php?inputstring=Nome]\n"),
                  std::string::npos);
    }
    {
        RefusedPort refused;
        scraper->setHttpProxy("127.0.0.1", refused.port());
        LogCapture out;
        EXPECT_EQ(scraper->search("Nome", cities), 3);
        EXPECT_NE(out.output().find("Fetch failed!\n"), std::string::npos);
    }
    EXPECT_TRUE(cities.empty());

    NwsScraper noSearch("credit=x\n", shippedConfig("n2"), "", "");
    EXPECT_EQ(noSearch.search("Nome", cities), 5);
}

TEST_F(NwsSearch, LatLonLinkAsksForTheStateOfAPlainName) {
    const std::string link = "http://www.crh.noaa.gov/ifps/citysearch.php?lat=41.73&lon=-93.60&input=Ankeny";
    const std::string statePath = "/get_state.php?pdv=1&latitude=41.73&longitude=-93.6";
    server.routeFile("www.crh.noaa.gov", "/ifps/citysearch.php", "search/latlon_ankeny.html");
    server.routeFile("*", statePath, "state/in_state.txt");

    std::string k;
    ASSERT_TRUE(scraper->urlToKey(link, "ignored", k, ""));
    EXPECT_EQ(k, key({"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}));
    std::string name;
    ASSERT_TRUE(scraper->keyToCityName(k, name));
    EXPECT_EQ(name, "Ankeny, IA");
    EXPECT_EQ(server.lastRequest().path, statePath);

    // A reply for a place outside the states, or one that is no state,
    // leaves the name alone.
    for (const std::string& reply : {std::string("1|Outside the United States\n"), std::string("0|I\x01\n"),
                                     std::string("0|\x01\x02"), std::string("0"), std::string()}) {
        server.route("*", statePath, FixtureReply::page(reply, 200, "text/plain"));
        ASSERT_TRUE(scraper->urlToKey(link, "", k, "")) << reply;
        EXPECT_EQ(k, key({"ll", "Ankeny", "crh", "DMX", "41.73", "-93.6"}));
    }

    // A state written out in letters and blanks is appended as it came.
    server.route("*", statePath, FixtureReply::page("0|New York\r\n", 200, "text/plain"));
    ASSERT_TRUE(scraper->urlToKey(link, "", k, ""));
    EXPECT_EQ(k, key({"ll", "Ankeny, New York", "crh", "DMX", "41.73", "-93.6"}));

    // Script text "location = <link>" is resolved against the page it was on.
    server.route("*", statePath, FixtureReply::page("0|IA"));
    ASSERT_TRUE(scraper->urlToKey("javascript:location = /ifps/citysearch.php?lat=41.73&lon=-93.60&input=Ankeny",
                                  "", k, "http://www.crh.noaa.gov/search.html"));
    EXPECT_EQ(k, key({"ll", "Ankeny, IA", "crh", "DMX", "41.73", "-93.6"}));
}

TEST_F(NwsSearch, LatLonLinkFailures) {
    LogCapture out;
    std::string k = "unchanged";
    // No region label of the service's domain.
    EXPECT_FALSE(scraper->urlToKey("http://www.example.com/citysearch.php?lat=1&lon=2&input=x", "", k, ""));
    // No query at all.
    EXPECT_FALSE(scraper->urlToKey("citysearch.php?lat", "", k, ""));
    // The page has no link to move on to.
    server.route("www.crh.noaa.gov", "/ifps/citysearch.php", FixtureReply::page("<html>nothing</html>"));
    EXPECT_FALSE(scraper->urlToKey("http://www.crh.noaa.gov/ifps/citysearch.php?lat=1&lon=2&input=x", "", k, ""));
    // The link has no query.
    server.route("www.crh.noaa.gov", "/ifps/citysearch.php",
                 FixtureReply::page("<script>location.replace('/port/MapClick.php');</script>"));
    EXPECT_FALSE(scraper->urlToKey("http://www.crh.noaa.gov/ifps/citysearch.php?lat=1&lon=2&input=x", "", k, ""));
    // The page cannot be fetched.
    RefusedPort refused;
    scraper->setHttpProxy("127.0.0.1", refused.port());
    EXPECT_FALSE(scraper->urlToKey("http://www.crh.noaa.gov/ifps/citysearch.php?lat=1&lon=2&input=x", "", k, ""));
    EXPECT_EQ(k, "unchanged");

    const std::string text = out.output();
    for (const char* line :
         {"Couldn't find the region in url[http://www.example.com/citysearch.php?lat=1&lon=2&input=x]\n",
          "Couldn't find link...\n", "Couldn't gather args from link[/port/MapClick.php]\n",
          "Error accessing [http://www.crh.noaa.gov/ifps/citysearch.php?lat=1&lon=2&input=x]\n"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
}

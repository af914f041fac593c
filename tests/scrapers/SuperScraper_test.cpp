#include "scrapers/SuperScraper.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

namespace {

// The least a scraper must be; what it fetches through is the proxy pair.
class ProbeScraper : public SuperScraper {
public:
    int search(const std::string&, std::vector<City>&) override { return EmptyKey; }
    int scrape(const std::string&, ScrapeReport&) override { return Success; }
};

std::vector<std::string> split(const std::string& key) {
    std::vector<std::string> parts;
    SuperScraper::splitKey(key, parts);
    return parts;
}

std::string join(const std::vector<std::string>& parts) {
    std::string key = "stale";
    SuperScraper::joinKey(parts, key);
    return key;
}

}  // namespace

TEST(SuperScraper, CompositeKeys) {
    const std::string sep(1, '\x01');
    EXPECT_EQ(join({"ifps", "", "Sunnyvale"}), "ifps" + sep + sep + "Sunnyvale");
    EXPECT_EQ(split("ifps" + sep + sep + "Sunnyvale"), (std::vector<std::string>{"ifps", "", "Sunnyvale"}));
    EXPECT_EQ(join({"boston"}), "boston");
    EXPECT_EQ(split("boston"), std::vector<std::string>{"boston"});
    EXPECT_EQ(join({}), "");
    EXPECT_TRUE(split("").empty());
    EXPECT_EQ(split("a" + sep + "b" + sep), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(split(sep), std::vector<std::string>{""});
    EXPECT_EQ(split(sep + "x"), (std::vector<std::string>{"", "x"}));
    // A separator inside a part is dropped rather than shifting the parts
    // after it.
    EXPECT_EQ(split(join({"a" + sep + "b", "c"})), (std::vector<std::string>{"ab", "c"}));
    // splitKey appends.
    std::vector<std::string> parts{"kept"};
    SuperScraper::splitKey("x" + sep + "y", parts);
    EXPECT_EQ(parts, (std::vector<std::string>{"kept", "x", "y"}));
    EXPECT_EQ(SuperScraper::NoScraper, 6);
}

TEST(SuperScraper, ProxyDefaultsAndUpdates) {
    ProbeScraper scraper;
    EXPECT_EQ(scraper.httpProxy().host, "");
    EXPECT_EQ(scraper.httpProxy().port, 80);
    scraper.setHttpProxy("127.0.0.1", 3128);
    EXPECT_EQ(scraper.httpProxy().host, "127.0.0.1");
    EXPECT_EQ(scraper.httpProxy().port, 3128);
    scraper.setHttpProxy("", 8080);
    EXPECT_EQ(scraper.httpProxy().host, "");  // a direct connection, whatever the port
}

TEST(SuperScraper, ProxyPairStaysWholeWhileSetFromAnotherThread) {
    ProbeScraper scraper;
    scraper.setHttpProxy("proxy-a.example", 1111);
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (int i = 0; i < 20000; ++i) {
            if (i % 2) scraper.setHttpProxy("proxy-a.example", 1111);
            else scraper.setHttpProxy("a-much-longer-proxy-host-name.example.org", 2222);
        }
        stop = true;
    });
    int torn = 0;
    while (!stop) {
        SuperScraper::HttpProxy proxy = scraper.httpProxy();
        bool a = proxy.host == "proxy-a.example" && proxy.port == 1111;
        bool b = proxy.host == "a-much-longer-proxy-host-name.example.org" && proxy.port == 2222;
        if (!a && !b) ++torn;
    }
    setter.join();
    EXPECT_EQ(torn, 0);
}

TEST(SuperScraper, CityDiagnostics) {
    std::vector<SuperScraper::City> cities{{"k1", "Boston, MA"}, {"k2", "Austin, TX"}};
    SuperScraper::City copy;
    copy = cities[1];
    EXPECT_EQ(copy.name, "Austin, TX");
    std::ostringstream os;
    os << cities;
    EXPECT_EQ(os.str(), "  Boston, MA --> k1\n  Austin, TX --> k2\n");
}

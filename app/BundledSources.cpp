#include "app/BundledSources.h"

#include "platform/Bundle.h"
#include "scrapers/scraperConfig.h"

namespace {

// The whole text of a configuration file of the bundle; "" (and a log line
// naming the file and why) when it is missing, unreadable or empty.
std::string configText(Bundle& bundle, const std::string& name) {
    return scraperConfig::readConfigFile(bundle.pathForResource(name, "conf", "config"), name + ".conf");
}

}  // namespace

void forEachBundledSource(Bundle& bundle, bool advanced, const BundledSourceHandler& take) {
    struct Source {
        AggrScraper::ServiceType service;
        std::vector<const char*> files;
        bool advancedOnly;
    };
    static const Source sources[] = {{AggrScraper::Nws, {"n1", "n2", "n3", "n4"}, false},
                                     {AggrScraper::Aol, {"a1", "a2"}, true},
                                     {AggrScraper::Ug, {"u1", "u2"}, true},
                                     {AggrScraper::Usa, {"t1", "t2"}, true}};
    for (const Source& source : sources) {
        if (source.advancedOnly && !advanced) continue;
        std::vector<std::string> texts;
        for (const char* file : source.files) {
            texts.push_back(configText(bundle, file));
            if (texts.back().empty()) break;
        }
        if (!texts.back().empty()) take(source.service, texts);
    }
}

void registerBundledSources(AggrScraper& aggr, Bundle& bundle, bool advanced) {
    forEachBundledSource(bundle, advanced, [&aggr](AggrScraper::ServiceType service,
                                                   const std::vector<std::string>& t) {
        switch (service) {
            case AggrScraper::Nws: aggr.initNwsScraper(t[0], t[1], t[2], t[3]); break;
            case AggrScraper::Aol: aggr.initAolScraper(t[0], t[1]); break;
            case AggrScraper::Ug: aggr.initUgScraper(t[0], t[1]); break;
            case AggrScraper::Usa: aggr.initUsaScraper(t[0], t[1]); break;
            default: break;
        }
    });
}

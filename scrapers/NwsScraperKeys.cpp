// Location keys of the National Weather Service source: from the links of its
// search pages to keys, and from keys to display names.

#include <cctype>

#include "scrapers/NwsScraper.h"
#include "scrapers/scanLimits.h"
#include "scrapers/scraperLog.h"
#include "util/GeneralUtils.h"
#include "util/StringMap.h"
#include "util/UrlUtils.h"
#include "util/regex.h"

namespace {

const char kKeySeparator = '\x01';

// Joins the parts into a key. Refuses keys that would split differently when
// read back: a part that holds the separator, or an empty last part (a
// trailing separator gives no component).
bool joinParts(const std::vector<std::string>& parts, std::string& key) {
    if (parts.empty() || parts.back().empty()) {
        return false;
    }
    for (const std::string& part : parts) {
        if (part.find(kKeySeparator) != std::string::npos) {
            return false;
        }
    }
    key.clear();
    SuperScraper::joinKey(parts, key);
    return true;
}

// A state as the state service writes it: letters and blanks ("IA",
// "Iowa", "New York"), perhaps followed by a line end. Control bytes could
// split the location key or a request line, so such a reply is refused.
bool cleanStateReply(std::string text, std::string& state) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    bool letter = false;
    for (unsigned char c : text) {
        if (std::isalpha(c)) {
            letter = true;
        } else if (c != ' ') {
            return false;
        }
    }
    if (!letter) return false;
    state = text;
    return true;
}

}  // namespace

bool NwsScraper::urlToKey(const std::string& url, const std::string& name, std::string& key,
                          const std::string& baseUrl) {
    // The link patterns are searched from every position of the link: a
    // link longer than any real one is no forecast link.
    if (url.size() > scanLimits::kMaxSearchedText) {
        scraperLog::print("urlToKey: a link of " + std::to_string(url.size()) + " bytes is passed over\n");
        return false;
    }
    if (url.find("citysearch.php?lat") != std::string::npos) {
        return latLonUrlToKey(url, key, baseUrl);
    }

    const std::string domain = kDomainPattern;
    std::vector<std::string> groups;
    if (regex::matchMany("[.]([a-z0-9]{3,5})[.]" + domain +
                             "/.{4,8}/MapClick[.]php[?]CityName=([a-zA-Z+]{1,50})&state=([A-Z]{2,3})&site=([A-Z]{2,4})",
                         url, groups, RegexFlags::Extended) &&
        groups.size() == 4) {
        return joinParts({"ifps", groups[0], groups[1], groups[2], groups[3]}, key);
    }

    groups.clear();
    if (regex::matchMany("[.]([a-z0-9]{3,5})[.]" + domain +
                             "/total_forecast/index[.]php[?]wfo=([a-zA-Z]{3,3})&zone=([a-zA-Z0-9]{6,6})&county=([a-zA-Z0-9]{6,6})",
                         url, groups, RegexFlags::Extended) &&
        groups.size() == 4) {
        return joinParts({"total_forecast", name, groups[0], groups[1], groups[2], groups[3]}, key);
    }

    groups.clear();
    if (regex::matchMany("[=a-z./:]*gov/data/forecasts/([A-Z]{3,3}[0-9]{3,3})[.]php[?]warncounty=([A-Z]{3,3}[0-9]{3,3})[&]city=([^&]*)",
                         url, groups, RegexFlags::Extended) &&
        groups.size() == 3) {
        return joinParts({groups[0], groups[1], groups[2]}, key);
    }
    return false;
}

bool NwsScraper::latLonUrlToKey(const std::string& url, std::string& key, const std::string& baseUrl) {
    std::map<std::string, std::string> args;
    if (!UrlUtils::gatherArgs(url, args)) {
        scraperLog::print(std::string("Couldn't gather args from url[") + url + "]\n");
        return false;
    }
    std::string searchName = getHash(args, "input", "");
    args.clear();

    // The link may come as script text, "location = <link>".
    std::string target = url;
    std::string assigned;
    if (regex::matchOne("= (.+)$", url, assigned, RegexFlags::Extended)) {
        target = UrlUtils::buildUrlFromHref(assigned, baseUrl);
    }

    std::string region;
    if (!regex::matchOne(std::string("http://www[.]([^.]+)[.]") + kDomainFirstLabel, target, region,
                         RegexFlags::Extended)) {
        scraperLog::print(std::string("Couldn't find the region in url[") + target + "]\n");
        return false;
    }

    std::string header;
    std::string page;
    if (!fetchPage(target, true, header, page)) {
        scraperLog::print(std::string("Error accessing [") + target + "]\n");
        return false;
    }
    std::string link;
    if (!regex::matchOne("replace[(]'([^']+)", page, link, RegexFlags::Extended)) {
        scraperLog::print("Couldn't find link...\n");
        return false;
    }
    if (!UrlUtils::gatherArgs(link, args)) {
        scraperLog::print(std::string("Couldn't gather args from link[") + link + "]\n");
        return false;
    }
    const std::string latitude = getHash(args, "textField1", "");
    const std::string longitude = getHash(args, "textField2", "");
    const std::string site = getHash(args, "site", "");

    if (searchName.find("%2C") == std::string::npos && !appendStateOf(latitude, longitude, searchName)) {
        return false;
    }
    return joinParts({"ll", searchName, region, site, latitude, longitude}, key);
}

bool NwsScraper::appendStateOf(const std::string& latitude, const std::string& longitude, std::string& name) {
    std::string service = radarServiceHost();
    if (service.compare(0, 7, "http://") != 0) {
        service = "http://" + service;
    }
    const std::string url = service + "/get_state.php?pdv=1&latitude=" + latitude + "&longitude=" + longitude;
    std::string header;
    std::string reply;
    if (!fetchPage(url, true, header, reply)) {
        scraperLog::print(std::string("Error accessing [") + url + "]\n");
        return false;
    }
    if (reply.empty()) {
        return true;
    }
    // "0|<state>" for a place in a state; anything else leaves the name.
    std::vector<std::string> pieces;
    GeneralUtils::splitByStr(reply, "|", pieces);
    std::string state;
    if (pieces.size() >= 2 && pieces[0] == "0" && cleanStateReply(pieces[1], state)) {
        name += ", " + state;
    }
    return true;
}

bool NwsScraper::keyToCityName(const std::string& key, std::string& name) {
    std::vector<std::string> parts;
    splitKey(key, parts);
    const std::string& form = parts.empty() ? std::string() : parts[0];

    std::string city;
    std::string state;
    if (form == "ifps") {
        if (parts.size() != 5) return false;
        city = parts[2];
        state = parts[3];
    } else if (form == "total_forecast") {
        if (parts.size() != 6) return false;
        city = capitalizeString(parts[1], false);
        if (parts[1].find(',') == std::string::npos) {
            state = capitalizeString(parts[4].substr(0, 2), true);
        }
    } else if (form == "ll") {
        if (parts.size() != 6) return false;
        const std::string text = regex::substitute("[%]2C", parts[1], ",", RegexFlags::Extended);
        std::vector<std::string> pieces;
        if (text.find(",+") != std::string::npos) {
            GeneralUtils::splitByStr(text, ",+", pieces);
        }
        if (pieces.size() == 2) {
            city = pieces[0];
            state = GeneralUtils::strToUpper(pieces[1]);
        } else {
            city = text;
        }
    } else {
        if (parts.size() != 3) return false;
        city = parts[2];
        state = parts[0].substr(0, 2);
    }

    std::string spaced;
    GeneralUtils::strReplace(city, "+", " ", spaced);
    city = regex::substitute("[%]28", spaced, "(", RegexFlags::Extended);
    city = regex::substitute("[%]29", city, ")", RegexFlags::Extended);
    name = state.empty() ? city : city + ", " + state;
    return true;
}

bool NwsScraper::insertCityFromKey(const std::string& key, std::vector<SuperScraper::City>& cities) {
    std::string name;
    if (!keyToCityName(key, name)) {
        return false;
    }
    SuperScraper::City city;
    city.key = key;
    city.name = name;
    cities.push_back(city);
    return true;
}

std::string NwsScraper::capitalizeString(const std::string& text, bool allUpper) {
    std::string out = text;
    bool afterSpace = false;
    for (size_t i = 0; i < out.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(out[i]);
        if (c == ',') {
            allUpper = true;  // the state after a comma is all capitals
        }
        if (allUpper) {
            out[i] = static_cast<char>(std::toupper(c));
            continue;
        }
        if (i == 0) {
            out[i] = static_cast<char>(std::toupper(c));
        }
        if (c == ' ') {
            afterSpace = true;
        } else if (afterSpace) {
            out[i] = static_cast<char>(std::toupper(c));
            afterSpace = false;
        }
    }
    return out;
}

std::string NwsScraper::unscreamifyText(const std::string& text) {
    std::string out = text;
    for (size_t i = 1; i < out.size(); ++i) {
        out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[i])));
    }
    return out;
}

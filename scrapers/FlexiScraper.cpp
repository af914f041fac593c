#include "scrapers/FlexiScraper.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "model/CodeTables.h"
#include "scrapers/numberedKeys.h"
#include "scrapers/tokenList.h"
#include "scrapers/tokenScorer.h"
#include "util/GeneralUtils.h"
#include "util/StopFlag.h"
#include "util/UrlUtils.h"
#include "util/regex.h"

using Table = std::map<std::string, std::string>;

namespace {

constexpr int kFetchTimeoutSecs = 5;

bool isControlByte(unsigned char c) { return c < 0x20 || c == 0x7f; }

// The code of the reply's status line ("HTTP/1.1 200 OK"), which must open
// the reply; false when there is none: nothing came back, or bytes that are
// no HTTP reply.
bool replyStatus(const std::string& header, int& status) {
    static const std::string prefix = "HTTP/";
    if (header.compare(0, prefix.size(), prefix) != 0) return false;
    size_t i = prefix.size();
    auto digits = [&header, &i] {
        const size_t from = i;
        while (i < header.size() && std::isdigit(static_cast<unsigned char>(header[i]))) ++i;
        return i - from;
    };
    if (digits() == 0) return false;
    if (i < header.size() && header[i] == '.') {
        ++i;
        if (digits() == 0) return false;
    }
    if (i >= header.size() || header[i] != ' ') return false;
    while (i < header.size() && header[i] == ' ') ++i;
    const size_t from = i;
    if (digits() != 3) return false;
    status = std::stoi(header.substr(from, 3));
    return true;
}

// A page is fetched only when the reply has a status line below 400: a reply
// without one is no page, and 400 and above are error pages.
bool isFetchedPage(const std::string& header) {
    int status = 0;
    return replyStatus(header, status) && status < 400;
}

}  // namespace

FlexiScraper::FlexiScraper(const std::string& searchText, const std::string& scrapeText)
    : searchConfig_(searchText), scrapeConfig_(scrapeText) {}

int FlexiScraper::scrape(const std::string& key, ScrapeReport& report) {
    setCredit(scrapeConfig_, report.getDisplayHashRef());
    std::string header;
    std::string page;
    const int status = fetchURL(header, page, scrapeConfig_, key, report.getDisplayHashRef(), false);
    if (status != Success) return status;
    scoreData(page, scrapeConfig_, report.getInputHashRef(), report.getOutputHashRef());
    // Stopped while reading the page: what was read is partial.
    if (isStopped()) return FetchFailed;
    postProcessScrape(report);
    return status;
}

int FlexiScraper::search(const std::string& cityName, std::vector<SuperScraper::City>&) {
    std::string header;
    std::string page;
    Table scratch;
    const int status = fetchURL(header, page, searchConfig_, cityName, scratch, false);
    if (status != Success) return status;
    return scoreData(page, searchConfig_, scratch, scratch);
}

int FlexiScraper::fetchURL(std::string& header, std::string& page, const scraperConfig& config,
                           const std::string& key, Table& table, bool followRedirect) {
    const Table& global = config.getGlobalConfig();
    return fetchURLWithHostAndUri(header, page, getHash(global, "host", ""), getHash(global, "uri", ""), key, table,
                                  followRedirect);
}

int FlexiScraper::fetchURLWithHostAndUri(std::string& header, std::string& page, const std::string& hostTemplate,
                                         const std::string& uriTemplate, const std::string& key, Table& table,
                                         bool followRedirect) {
    if (hostTemplate.empty() || uriTemplate.empty()) return NoHostOrUri;
    std::string host;
    std::string uri;
    if (!mergeKeysIntoString(hostTemplate, key, "uri_key", host) ||
        !mergeKeysIntoString(uriTemplate, key, "uri_key", uri)) {
        return EmptyKey;
    }
    const std::string url = "http://" + host + uri;
    table["url"] = url;
    table["fetch-host"] = host;
    table["fetch-uri"] = uri;

    // One copy of the proxy pair for the whole fetch: a refresh may set it
    // again meanwhile.
    const HttpProxy proxy = httpProxyForUrl(url);
    UrlUtils urls = fetcher();
    std::string redirect;
    if (!urls.accessUrlWithPlimLib(url, redirect, header, page, kFetchTimeoutSecs, followRedirect, proxy.host,
                                   proxy.port) ||
        !isFetchedPage(header)) {
        std::cout << "Failed to access url[" << url << std::endl;
        page.clear();
        return FetchFailed;
    }
    return Success;
}

bool FlexiScraper::mergeKeysIntoString(const std::string& templ, const std::string& key,
                                       const std::string& placeholder, std::string& out) {
    std::vector<std::string> parts;
    splitKey(key, parts);
    // Key parts are stored URL-encoded already and go into the request line
    // as they are; a control byte there could end the line, so such a key is
    // refused, and a raw blank is encoded.
    for (std::string& part : parts) {
        for (unsigned char c : part) {
            if (isControlByte(c) && c != keySeparator) return false;
        }
        std::string encoded;
        GeneralUtils::strReplace(part, " ", "%20", encoded);
        part = std::move(encoded);
    }

    const tokenList tokens(templ, false, false);
    out.clear();
    for (const tokenList::token& t : tokens.getTokens()) {
        if (t.type == tokenList::TOKEN_TEXT) {
            out += t.text;
        } else if (t.type == tokenList::TOKEN_TAG && t.tagName == placeholder) {
            const std::string idxText = tokenList::getFromTokenHash(t, "idx");
            const int idx = idxText.empty() ? 0 : GeneralUtils::strToInt(idxText);
            if (idx >= 0 && static_cast<size_t>(idx) < parts.size()) {
                out += parts[static_cast<size_t>(idx)];
            } else {
                std::cout << "couldn't match key..." << std::endl;
            }
        }
    }
    return true;
}

int FlexiScraper::scoreData(const std::string& page, const scraperConfig& config, Table& input, Table& output) {
    const bool bodyOnly = getHash(config.getGlobalConfig(), "parse_entire_page", "") != "1";
    // A stop ends the parse and the scoring early; the caller sees the flag.
    const std::shared_ptr<StopFlag> stop = stopFlag();
    const tokenList tokens(page, bodyOnly, true, stop.get());

    std::vector<std::string> wanted;
    const std::string inTokens = getHash(input, "in_tokens", "");
    if (!inTokens.empty()) regex::split(",", inTokens, wanted, RegexFlags::Extended);

    tokenScorer scorer(stop.get());
    for (const scraperConfig::chunk& chunk : config.getChunkList()) {
        if (stop && stop->isStopped()) break;
        if (!wanted.empty()) {
            const std::string desired = getHash(chunk.config, "desired_token", "");
            if (std::find(wanted.begin(), wanted.end(), desired) == wanted.end()) continue;
        }
        scorer.scoreForChunk(tokens, chunk, output);
    }
    return 0;
}

void FlexiScraper::setCredit(const scraperConfig& config, Table& table) {
    const Table& global = config.getGlobalConfig();
    if (auto it = global.find("credit"); it != global.end()) table["credit"] = it->second;
}

std::string FlexiScraper::encodeString(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (c == ' ') {
            out += '+';
        } else if (isControlByte(c) || c >= 0x80) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0f];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

void FlexiScraper::getCities(Table& found, std::vector<SuperScraper::City>& cities) {
    std::vector<std::string> urls;
    std::vector<std::string> names;
    getNumberedKeys(found, "url", urls);
    getNumberedKeys(found, "name", names);
    for (size_t i = 0; i < urls.size() && i < names.size(); ++i) insertCity(urls[i], names[i], cities);
}

bool FlexiScraper::insertCity(const std::string& key, const std::string& name,
                              std::vector<SuperScraper::City>& cities) {
    SuperScraper::City city;
    city.key = key;
    city.name = name;
    cleanText(city.name);
    std::vector<std::string> pieces;
    GeneralUtils::splitByStr(city.name, ", ", pieces);
    if (pieces.size() == 1) {
        pieces.clear();
        GeneralUtils::splitByStr(city.name, ",", pieces);
    }
    if (pieces.size() == 2) {
        const std::string abbrev = stateNameToStateAbbrev(pieces[1]);
        if (!abbrev.empty()) city.name = pieces[0] + ", " + abbrev;
    }
    cities.push_back(city);
    return true;
}

std::string FlexiScraper::composeNumberedKey(const std::string& key, int n) {
    return numberedKeys::composeNumberedKey(key, n);
}

int FlexiScraper::getNumberedKeys(const Table& table, const std::string& key, std::vector<std::string>& values) {
    return numberedKeys::getNumberedKeys(table, key, values);
}

void FlexiScraper::setNumberedKeys(Table& table, const std::string& key, const std::vector<std::string>& values) {
    numberedKeys::setNumberedKeys(table, key, values);
}

#pragma once
// URLs and page fetching: splitting URLs, resolving links found in pages,
// query arguments, and fetches through the HTTP client that follow one
// redirect. Only plain "http://" URLs are fetched; a URL may name a port
// ("http://host:8080/p"), otherwise port 80 is used.

#include <map>
#include <memory>
#include <string>

class StopFlag;

class UrlUtils {
public:
    // Every fetch of this object ends at once, failed and without a retry,
    // once the flag is set.
    void setStopFlag(std::shared_ptr<StopFlag> flag) { stop_ = std::move(flag); }

    // Fetches a page, through proxyHost:proxyPort unless proxyHost is empty.
    // With follow set, one redirect named by a Location header is followed:
    // redirect then holds its URL and header and body the second reply. The
    // HTTP status is not examined: an error page is a successful fetch. The
    // body is read as UTF-8, whatever character set the page was written in.
    bool accessUrlWithPlimLib(const std::string& url, std::string& redirect, std::string& header,
                              std::string& body, int timeoutSecs, bool follow, const std::string& proxyHost,
                              int proxyPort);
    // Fetches bytes, directly or through proxyHost:proxyPort. length: the
    // capacity of data on entry, the body length on success (unchanged on
    // failure). A status above 399 fails.
    bool accessUrlWithPlimLibBinary(const std::string& url, std::string& redirect, char* data, int& length,
                                    int timeoutSecs, bool follow, const std::string& proxyHost = "",
                                    int proxyPort = 0);
    // HEAD probe: true when the server answered; redirect is set when the
    // reply names another URL.
    bool isRedirectUrlWithPlimLib(const std::string& url, std::string& redirect);

    // Splits at the first "/" (or "?") after the host: host keeps any
    // ":port", path is "/" at least. Spaces become "%20". False for a URL
    // shorter than 4 characters.
    static bool separateUrl(const std::string& url, std::string& host, std::string& path);
    // Splits "host[:port]"; port 80 when none is given. False when the host
    // is empty or the port is not a number from 1 to 65535.
    static bool splitHostPort(const std::string& hostPort, std::string& host, int& port);
    // The absolute URL of a link found on the page at base (RFC 3986
    // reference resolution).
    static std::string buildUrlFromHref(const std::string& href, const std::string& base);

    // The target of the header's Location line, made absolute against url.
    bool getHeaderRedirect(const std::string& url, const std::string& header, std::string& redirect);
    // The status number of the header's "HTTP/x.y NNN" line.
    bool getHeaderStatus(const std::string& header, int& status);

    // Adds the name=value pairs of the URL's query (not decoded, not cleared
    // first); pieces that are not exactly one name and one value are skipped.
    static bool gatherArgs(const std::string& url, std::map<std::string, std::string>& args);
    // The URL up to its last "#".
    static std::string removeUrlAnchors(const std::string& url);
    // The last two dot-separated labels of the URL's host ("a.b.c" gives
    // "b.c"). False when the URL is too short or the host has no dot.
    static bool getTopDomains(const std::string& url, std::string& domain);
    // The host a URL names, without its port; "" for a URL that is not one.
    static std::string hostOf(const std::string& url);

private:
    std::shared_ptr<StopFlag> stop_;
};

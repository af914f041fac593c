#include "util/UrlUtils.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "util/GeneralUtils.h"
#include "util/Utf8.h"
#include "util/http.h"
#include "util/regex.h"

namespace {

const std::string kHttp = "http://";
constexpr int kFetchRetries = 1;
constexpr int kFetchRetryWaitSecs = 2;
constexpr int kProbeTimeoutSecs = 10;

bool isHttpUrl(const std::string& url) { return url.starts_with(kHttp); }

// The parts of a URI reference (RFC 3986, section 3): each keeps its
// delimiter ("http:", "//host", "?q", "#f"), so joining them gives the text back.
struct UriParts {
    std::string scheme;
    std::string authority;
    std::string path;
    std::string query;
    std::string fragment;
};

bool hasScheme(const std::string& ref) {
    if (ref.empty() || !std::isalpha(static_cast<unsigned char>(ref[0]))) return false;
    for (size_t i = 1; i < ref.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(ref[i]);
        if (c == ':') return true;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
    }
    return false;
}

UriParts splitUri(const std::string& ref) {
    UriParts parts;
    size_t pos = 0;
    if (hasScheme(ref)) {
        pos = ref.find(':') + 1;
        parts.scheme = ref.substr(0, pos);
    }
    if (ref.compare(pos, 2, "//") == 0) {
        size_t end = ref.find_first_of("/?#", pos + 2);
        if (end == std::string::npos) end = ref.size();
        parts.authority = ref.substr(pos, end - pos);
        pos = end;
    }
    size_t hash = ref.find('#', pos);
    if (hash != std::string::npos) parts.fragment = ref.substr(hash);
    size_t tail = hash == std::string::npos ? ref.size() : hash;
    size_t question = ref.find('?', pos);
    if (question != std::string::npos && question < tail) {
        parts.query = ref.substr(question, tail - question);
        tail = question;
    }
    parts.path = ref.substr(pos, tail - pos);
    return parts;
}

// Drops "." and ".." segments (RFC 3986, section 5.2.4). The input is
// consumed from the front through a view, not erased, so a path of many
// segments costs its length, not its length times its segments.
std::string removeDotSegments(const std::string& path) {
    std::string_view in(path);
    std::string out;
    auto dropLastSegment = [&out] {
        size_t slash = out.rfind('/');
        out.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!in.empty()) {
        if (in.starts_with("../")) {
            in.remove_prefix(3);
        } else if (in.starts_with("./")) {
            in.remove_prefix(2);
        } else if (in.starts_with("/./")) {
            in.remove_prefix(2);
        } else if (in == "/.") {
            in = "/";
        } else if (in.starts_with("/../")) {
            in.remove_prefix(3);
            dropLastSegment();
        } else if (in == "/..") {
            in = "/";
            dropLastSegment();
        } else if (in == "." || in == "..") {
            in = {};
        } else {
            size_t next = in.find('/', in[0] == '/' ? 1 : 0);
            if (next == std::string_view::npos) next = in.size();
            out.append(in.substr(0, next));
            in.remove_prefix(next);
        }
    }
    return out;
}

// The host (without port), path and port a URL names.
bool urlTarget(const std::string& url, std::string& host, std::string& path, int& port) {
    std::string hostPort;
    return UrlUtils::separateUrl(url, hostPort, path) && UrlUtils::splitHostPort(hostPort, host, port);
}

}  // namespace

bool UrlUtils::separateUrl(const std::string& url, std::string& host, std::string& path) {
    if (url.size() < 4) {
        host.clear();
        path.clear();
        return false;
    }
    std::string spaced;
    GeneralUtils::strReplace(url, " ", "%20", spaced);
    // Only a leading scheme is skipped: "http://" inside a query is part of it.
    size_t start = spaced.starts_with(kHttp) ? kHttp.size() : 0;
    size_t end = spaced.find_first_of("/?", start);
    if (end == std::string::npos) {
        host = spaced.substr(start);
        path = "/";
    } else {
        host = spaced.substr(start, end - start);
        path = spaced[end] == '/' ? spaced.substr(end) : "/" + spaced.substr(end);
    }
    return true;
}

bool UrlUtils::splitHostPort(const std::string& hostPort, std::string& host, int& port) {
    size_t colon = hostPort.rfind(':');
    if (colon == std::string::npos) {
        host = hostPort;
        port = http::kDefaultPort;
        return !host.empty();
    }
    std::string digits = hostPort.substr(colon + 1);
    if (digits.size() > 5) return false;
    int value = digits.empty() ? http::kDefaultPort : 0;
    for (char c : digits) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535 || colon == 0) return false;
    host = hostPort.substr(0, colon);
    port = value;
    return true;
}

std::string UrlUtils::buildUrlFromHref(const std::string& href, const std::string& base) {
    if (hasScheme(href)) return href;
    UriParts b = splitUri(base);
    UriParts r = splitUri(href);
    UriParts t;
    t.scheme = b.scheme;
    t.fragment = r.fragment;
    if (!r.authority.empty()) {
        t.authority = r.authority;
        t.path = removeDotSegments(r.path);
        t.query = r.query;
    } else {
        t.authority = b.authority;
        if (r.path.empty()) {
            t.path = b.path;
            t.query = r.query.empty() ? b.query : r.query;
        } else {
            if (r.path.starts_with("/")) {
                t.path = removeDotSegments(r.path);
            } else if (!b.authority.empty() && b.path.empty()) {
                t.path = removeDotSegments("/" + r.path);
            } else {
                size_t slash = b.path.rfind('/');
                std::string dir = slash == std::string::npos ? std::string() : b.path.substr(0, slash + 1);
                t.path = removeDotSegments(dir + r.path);
            }
            t.query = r.query;
        }
    }
    return t.scheme + t.authority + t.path + t.query + t.fragment;
}

bool UrlUtils::getHeaderRedirect(const std::string& url, const std::string& header, std::string& redirect) {
    // Only a real "Location:" header line names a redirect; "Content-Location:"
    // and the like do not. Header names are case-insensitive.
    std::vector<std::string> lines;
    regex::split("[\r\n]+", header, lines, RegexFlags::Extended);
    for (const std::string& line : lines) {
        if (line.size() < 9 || GeneralUtils::strToLower(line.substr(0, 9)) != "location:") continue;
        size_t begin = line.find_first_not_of(" \t", 9);
        if (begin == std::string::npos) continue;
        size_t end = line.find_last_not_of(" \t");
        redirect = buildUrlFromHref(line.substr(begin, end - begin + 1), url);
        return true;
    }
    return false;
}

bool UrlUtils::getHeaderStatus(const std::string& header, int& status) {
    std::string number;
    if (!regex::matchOne("HTTP/[0-9.]+[ ]+([0-9]+)", header, number, RegexFlags::Extended)) return false;
    status = GeneralUtils::strToInt(number);
    return true;
}

bool UrlUtils::accessUrlWithPlimLib(const std::string& url, std::string& redirect, std::string& header,
                                    std::string& body, int timeoutSecs, bool follow, const std::string& proxyHost,
                                    int proxyPort) {
    std::string host;
    std::string path;
    int port = 0;
    if (!isHttpUrl(url) || !urlTarget(url, host, path, port)) return false;
    http client(timeoutSecs, kFetchRetries, kFetchRetryWaitSecs);
    client.setStopFlag(stop_);
    if (client.get(host, path, port, proxyHost, proxyPort, header, body) != HttpResult::Ok) return false;
    body = pageTextAsUtf8(body);  // pages come in UTF-8, Latin-1 or Windows-1252
    redirect.clear();
    if (follow && getHeaderRedirect(url, header, redirect) && !redirect.empty()) {
        body.clear();
        std::string nextRedirect;
        return accessUrlWithPlimLib(redirect, nextRedirect, header, body, timeoutSecs, false, proxyHost, proxyPort);
    }
    return true;
}

bool UrlUtils::accessUrlWithPlimLibBinary(const std::string& url, std::string& redirect, char* data, int& length,
                                          int timeoutSecs, bool follow, const std::string& proxyHost, int proxyPort) {
    std::string host;
    std::string path;
    int port = 0;
    if (!isHttpUrl(url) || !urlTarget(url, host, path, port)) return false;
    http client(timeoutSecs, kFetchRetries, kFetchRetryWaitSecs);
    client.setStopFlag(stop_);
    std::string header;
    int bodyLength = 0;
    if (client.getBinary(host, path, port, header, data, length, bodyLength, proxyHost, proxyPort) != HttpResult::Ok)
        return false;
    int status = 0;
    if (getHeaderStatus(header, status) && status > 399) return false;
    redirect.clear();
    if (follow && getHeaderRedirect(url, header, redirect) && !redirect.empty()) {
        std::string nextRedirect;
        return accessUrlWithPlimLibBinary(redirect, nextRedirect, data, length, timeoutSecs, false, proxyHost,
                                          proxyPort);
    }
    length = bodyLength;
    return true;
}

bool UrlUtils::isRedirectUrlWithPlimLib(const std::string& url, std::string& redirect) {
    std::string host;
    std::string path;
    int port = 0;
    if (!isHttpUrl(url) || !urlTarget(url, host, path, port)) return false;
    http client(kProbeTimeoutSecs, kFetchRetries, kFetchRetryWaitSecs);
    client.setStopFlag(stop_);
    std::string header;
    if (client.head(host, path, header, port) != HttpResult::Ok) {
        GeneralUtils::error("Redir failed!\n");
        return false;
    }
    getHeaderRedirect(url, header, redirect);
    return true;
}

bool UrlUtils::gatherArgs(const std::string& url, std::map<std::string, std::string>& args) {
    std::string query;
    if (!regex::matchOne("[?](.+)$", url, query, RegexFlags::Extended)) {
        GeneralUtils::print("Couldn't get args!\n");
        return false;
    }
    std::vector<std::string> pieces;
    if (!regex::matchManyGlobal("([^&]+)", query, pieces, RegexFlags::Extended) || pieces.empty()) {
        GeneralUtils::print("Couldn't match args!\n");
        return false;
    }
    for (const std::string& piece : pieces) {
        std::vector<std::string> parts;
        GeneralUtils::splitByStr(piece, "=", parts);
        if (parts.size() == 2) args[parts[0]] = parts[1];
    }
    return true;
}

std::string UrlUtils::removeUrlAnchors(const std::string& url) {
    size_t hash = url.rfind('#');
    return hash == std::string::npos ? url : url.substr(0, hash);
}

bool UrlUtils::getTopDomains(const std::string& url, std::string& domain) {
    std::string host;
    std::string path;
    int port = 0;
    if (!urlTarget(url, host, path, port)) return false;
    size_t last = host.rfind('.');
    if (last == std::string::npos) return false;
    size_t before = last == 0 ? std::string::npos : host.rfind('.', last - 1);
    domain = before == std::string::npos ? host : host.substr(before + 1);
    return true;
}

std::string UrlUtils::hostOf(const std::string& url) {
    std::string host;
    std::string path;
    int port = 0;
    return urlTarget(url, host, path, port) ? host : std::string();
}

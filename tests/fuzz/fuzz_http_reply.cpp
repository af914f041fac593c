// HTTP reply parsing and URL handling over arbitrary bytes: header and body
// splitting, redirect, status and framing lookup, chunked decoding, URL splitting and link resolution
// must end, stay inside their text and keep the reply's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "util/HttpBody.h"
#include "util/UrlUtils.h"
#include "util/http.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);

    http client(5, 1, 2);
    std::string header;
    std::string body;
    std::string response = text;
    client.getHeaderAndData(response, header, body);
    if (!text.empty() && header.size() + body.size() + (text.find("\r\n\r\n") == std::string::npos ? 0 : 4) !=
                             text.size()) {
        std::abort();  // bytes lost or invented while splitting
    }
    std::string location;
    http::isRedirect(header, location);
    BodyFraming::of(header);
    // Chunks decode alike whether the bytes come whole or in two pieces, into no more bytes than came.
    ChunkedDecoder whole, pieces;
    std::string wholeBody, piecesBody;
    const size_t used = whole.decode(text.data(), size, [&](const char* b, size_t n) { wholeBody.append(b, n); });
    const BodySink toPieces = [&](const char* b, size_t n) { piecesBody.append(b, n); };
    const size_t split = size == 0 ? 0 : data[0] % (size + 1);
    if (pieces.decode(text.data(), split, toPieces) == split)
        pieces.decode(text.data() + split, size - split, toPieces);
    if (used > size || wholeBody.size() > used || wholeBody != piecesBody || whole.fault() != pieces.fault() ||
        whole.complete() != pieces.complete())
        std::abort();

    UrlUtils urls;
    int status = 0;
    urls.getHeaderStatus(header, status);
    std::string redirect;
    urls.getHeaderRedirect("http://a.b/dir/p.html", header, redirect);

    // The first line is a link, the rest the page URL it was found on.
    size_t newline = text.find('\n');
    std::string href = text.substr(0, newline);
    std::string base = newline == std::string::npos ? std::string() : text.substr(newline + 1);
    UrlUtils::buildUrlFromHref(href, base);
    UrlUtils::buildUrlFromHref(text, "http://a.b/dir/p.html?q=1");

    std::string host;
    std::string path;
    if (UrlUtils::separateUrl(text, host, path)) {
        std::string bare;
        int port = 0;
        if (UrlUtils::splitHostPort(host, bare, port) && (port < 1 || port > 65535)) std::abort();
    }
    std::string domain;
    UrlUtils::getTopDomains(text, domain);
    UrlUtils::removeUrlAnchors(text);
    if (text.find('?') != std::string::npos) {
        std::map<std::string, std::string> args;
        UrlUtils::gatherArgs(text, args);
    }
    return 0;
}

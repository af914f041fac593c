// HTTP reply parsing and URL handling over arbitrary bytes: header and body
// splitting, redirect, status and framing lookup, chunked decoding, URL
// splitting and link resolution must end, stay inside their text and keep the
// reply's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "util/HttpBody.h"
#include "util/UrlUtils.h"
#include "util/http.h"

namespace {

struct Decoded {
    std::string body;
    size_t used = 0;
    bool complete = false;
    bool broken = false;
    std::string fault;
};

// Decodes text as a chunked body handed over in two pieces, split at split.
Decoded decodeChunked(const std::string& text, size_t split) {
    Decoded out;
    ChunkedDecoder decoder;
    const BodySink sink = [&out](const char* bytes, size_t n) { out.body.append(bytes, n); };
    out.used = decoder.decode(text.data(), split, sink);
    if (!decoder.complete() && !decoder.broken())
        out.used += decoder.decode(text.data() + split, text.size() - split, sink);
    out.complete = decoder.complete();
    out.broken = decoder.broken();
    out.fault = decoder.fault();
    return out;
}

}  // namespace

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
    const BodyFraming framing = BodyFraming::of(header);
    if (framing.kind != BodyFraming::Kind::Invalid && !framing.fault.empty()) std::abort();

    // Chunks decode alike however the bytes arrive, into no more bytes than came.
    const size_t split = text.size() < 2 ? 0 : (static_cast<unsigned char>(text[0]) << 8 |
                                                 static_cast<unsigned char>(text[1])) % (text.size() + 1);
    const Decoded whole = decodeChunked(text, text.size());
    const Decoded pieces = decodeChunked(text, split);
    if (whole.used > text.size() || whole.body.size() > whole.used || whole.body != pieces.body ||
        whole.complete != pieces.complete || whole.broken != pieces.broken || whole.fault != pieces.fault ||
        (!whole.broken && whole.used != pieces.used)) {
        std::abort();
    }

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

#include "util/HttpBody.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <vector>

#include "util/GeneralUtils.h"

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text) {
    const size_t begin = text.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// The comma-separated elements of a field value, each trimmed.
std::vector<std::string_view> listElements(std::string_view value) {
    std::vector<std::string_view> elements;
    while (true) {
        const size_t comma = value.find(',');
        elements.push_back(trimmed(value.substr(0, comma)));
        if (comma == std::string_view::npos) return elements;
        value.remove_prefix(comma + 1);
    }
}

// A run of decimal digits and nothing else, within range.
bool plainNumber(std::string_view text, unsigned long long& number) {
    if (text.empty()) return false;
    number = 0;
    for (char digit : text) {
        if (digit < '0' || digit > '9') return false;
        const unsigned d = static_cast<unsigned>(digit - '0');
        if (number > (ULLONG_MAX - d) / 10) return false;
        number = number * 10 + d;
    }
    return true;
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

unsigned hexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    return static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

}  // namespace

BodyFraming BodyFraming::of(std::string_view header) {
    std::vector<std::string_view> lengths;  // every Content-Length element, in order
    std::string lengthText;
    std::string_view lastCoding;
    // The first line is the status line.
    size_t newline = header.find('\n');
    std::string_view rest = newline == std::string_view::npos ? std::string_view() : header.substr(newline + 1);
    while (!rest.empty()) {
        newline = rest.find('\n');
        const std::string_view line = rest.substr(0, newline);
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view name = trimmed(line.substr(0, colon));
        const std::string_view value = line.substr(colon + 1);
        if (equalsIgnoringCase(name, "Content-Length")) {
            lengthText += (lengthText.empty() ? "" : ", ") + std::string(trimmed(value));
            for (std::string_view element : listElements(value)) lengths.push_back(element);
        } else if (equalsIgnoringCase(name, "Transfer-Encoding")) {
            // Codings apply in the order listed, across repeated fields too.
            for (std::string_view coding : listElements(value))
                if (!coding.empty()) lastCoding = trimmed(coding.substr(0, coding.find(';')));
        }
    }
    BodyFraming framing;
    if (equalsIgnoringCase(lastCoding, "chunked")) {
        framing.kind = Kind::Chunked;
        return framing;
    }
    if (lengths.empty()) return framing;
    framing.kind = Kind::Length;
    for (size_t i = 0; i < lengths.size(); ++i) {
        unsigned long long number = 0;
        if (!plainNumber(lengths[i], number) || (i > 0 && number != framing.length)) {
            framing.kind = Kind::Invalid;
            framing.fault = lengthText;
            return framing;
        }
        framing.length = number;
    }
    return framing;
}

size_t ChunkedDecoder::decode(const char* data, size_t size, const BodySink& sink) {
    size_t at = 0;
    while (at < size && step_ != Step::Done && fault_.empty()) {
        switch (step_) {
            case Step::SizeLine: {
                const void* found = std::memchr(data + at, '\n', size - at);
                const size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - data) : size;
                const size_t room = kMaxSizeLineBytes - line_.size();
                if (end - at > room) {
                    at += room + 1;  // the byte that passes the bound
                    fault_ = "a chunk size line is too long";
                    break;
                }
                line_.append(data + at, end - at);
                at = end;
                if (found) {
                    ++at;
                    startChunk();
                }
                break;
            }
            case Step::Data: {
                const size_t n = static_cast<size_t>(std::min<unsigned long long>(dataLeft_, size - at));
                sink(data + at, n);
                at += n;
                dataLeft_ -= n;
                if (dataLeft_ == 0) step_ = Step::DataCR;
                break;
            }
            case Step::DataCR:
            case Step::DataLF:
                if (data[at++] != (step_ == Step::DataCR ? '\r' : '\n'))
                    fault_ = "a chunk is not followed by CR LF";
                else
                    step_ = step_ == Step::DataCR ? Step::DataLF : Step::SizeLine;
                break;
            case Step::Trailers: {
                // Header lines up to an empty one; their content is not used.
                const char c = data[at++];
                if (++trailerBytes_ > kMaxTrailerBytes) {
                    fault_ = "the trailer section is too long";
                } else if (c == '\n') {
                    if (trailerLineBytes_ == 0) step_ = Step::Done;
                    trailerLineBytes_ = 0;
                } else if (c != '\r') {
                    ++trailerLineBytes_;
                }
                break;
            }
            case Step::Done:
                break;
        }
    }
    return at;
}

void ChunkedDecoder::startChunk() {
    std::string_view line(line_);
    if (line.ends_with('\r')) line.remove_suffix(1);
    size_t at = 0;
    unsigned long long size = 0;
    for (; at < line.size() && isHexDigit(line[at]); ++at) {
        if (size > (ULLONG_MAX >> 4)) {
            fault_ = "a chunk size overflows";
            return;
        }
        size = (size << 4) | hexValue(line[at]);
    }
    // Some servers pad the size with blanks; an extension follows a ";".
    const size_t after = line.find_first_not_of(" \t", at);
    if (at == 0 || (after != std::string_view::npos && line[after] != ';')) {
        fault_ = "a chunk size line is not hex";
        return;
    }
    line_.clear();
    dataLeft_ = size;
    step_ = size == 0 ? Step::Trailers : Step::Data;
}

bool BodyReader::take(const char* data, size_t size, const BodySink& sink) {
    switch (framing_.kind) {
        case BodyFraming::Kind::Invalid:
            return false;
        case BodyFraming::Kind::Chunked:
            received_ += chunked_.decode(data, size, sink);
            return !chunked_.complete() && !chunked_.broken();
        case BodyFraming::Kind::Length:
        case BodyFraming::Kind::UntilClose:
            received_ += size;
            if (size > 0) sink(data, size);
            return true;
    }
    return true;
}

BodyReader::Outcome BodyReader::outcome() const {
    switch (framing_.kind) {
        case BodyFraming::Kind::Invalid:
            return Outcome::Faulty;
        case BodyFraming::Kind::Chunked:
            // Once the last chunk is in, the body is whole even if the
            // connection ended inside its trailers.
            if (chunked_.broken()) return Outcome::Faulty;
            return chunked_.sawLastChunk() ? Outcome::Whole : Outcome::Short;
        case BodyFraming::Kind::Length:
            return received_ >= framing_.length ? Outcome::Whole : Outcome::Short;
        case BodyFraming::Kind::UntilClose:
            return Outcome::Whole;
    }
    return Outcome::Whole;
}

void BodyReader::logProblem() const {
    const std::string got = std::to_string(received_);
    switch (framing_.kind) {
        case BodyFraming::Kind::Invalid:
            GeneralUtils::print("Bad Content-Length [" + framing_.fault + "], the reply's length is unknown\n");
            break;
        case BodyFraming::Kind::Chunked:
            if (chunked_.broken())
                GeneralUtils::print("Bad chunked body after [" + got + "] bytes: " + chunked_.fault() + "\n");
            else if (!chunked_.sawLastChunk())
                GeneralUtils::print("Got [" + got + "] body bytes, the reply ended before its last chunk\n");
            break;
        case BodyFraming::Kind::Length:
            if (received_ < framing_.length)
                GeneralUtils::print("Got [" + got + "] of [" + std::to_string(framing_.length) +
                                    "] body bytes, the reply was cut short\n");
            break;
        case BodyFraming::Kind::UntilClose:
            break;
    }
}

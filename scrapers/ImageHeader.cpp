#include "scrapers/ImageHeader.h"

#include <algorithm>

namespace {

std::uint32_t byteAt(std::string_view b, size_t i) { return static_cast<unsigned char>(b[i]); }
std::uint32_t bigEndian16(std::string_view b, size_t i) { return byteAt(b, i) << 8 | byteAt(b, i + 1); }
std::uint32_t littleEndian16(std::string_view b, size_t i) { return byteAt(b, i) | byteAt(b, i + 1) << 8; }
std::uint32_t bigEndian32(std::string_view b, size_t i) { return bigEndian16(b, i) << 16 | bigEndian16(b, i + 2); }

std::optional<DeclaredImageSize> pngSize(std::string_view b) {
    // Signature, then the first chunk, which must be IHDR: width and height.
    if (b.size() < 24 || b.substr(12, 4) != "IHDR") return std::nullopt;
    return DeclaredImageSize{bigEndian32(b, 16), bigEndian32(b, 20)};
}

// Skips a run of GIF sub-blocks starting at pos; false when the data ends first.
bool skipSubBlocks(std::string_view b, size_t& pos) {
    while (pos < b.size()) {
        const size_t length = byteAt(b, pos++);
        if (length == 0) return true;
        pos += length;
    }
    return false;
}

size_t colorTableBytes(std::uint32_t packed) { return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0; }

std::optional<DeclaredImageSize> gifSize(std::string_view b) {
    if (b.size() < 13) return std::nullopt;
    DeclaredImageSize size{littleEndian16(b, 6), littleEndian16(b, 8)};
    // Every frame's extent counts too: a decoder may size its canvas by it.
    size_t pos = 13 + colorTableBytes(byteAt(b, 10));
    while (pos < b.size()) {
        const std::uint32_t introducer = byteAt(b, pos);
        if (introducer == 0x21 && pos + 1 < b.size()) {
            pos += 2;
            if (!skipSubBlocks(b, pos)) break;
        } else if (introducer == 0x2C && pos + 10 <= b.size()) {
            size.width = std::max(size.width, littleEndian16(b, pos + 1) + littleEndian16(b, pos + 5));
            size.height = std::max(size.height, littleEndian16(b, pos + 3) + littleEndian16(b, pos + 7));
            pos += 10 + colorTableBytes(byteAt(b, pos + 9)) + 1;  // the LZW code size
            if (!skipSubBlocks(b, pos)) break;
        } else {
            break;  // the trailer, or bytes no decoder reads as a frame
        }
    }
    return size;
}

bool isStartOfFrame(std::uint32_t marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<DeclaredImageSize> jpegSize(std::string_view b) {
    size_t pos = 2;
    while (pos + 4 <= b.size() && byteAt(b, pos) == 0xFF) {
        const std::uint32_t marker = byteAt(b, pos + 1);
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (isStartOfFrame(marker)) {
            if (pos + 9 > b.size()) return std::nullopt;
            return DeclaredImageSize{bigEndian16(b, pos + 7), bigEndian16(b, pos + 5)};
        }
        pos += 2 + bigEndian16(b, pos + 2);
    }
    return std::nullopt;
}

}  // namespace

std::optional<DeclaredImageSize> declaredImageSize(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1a\n")) return pngSize(bytes);
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return gifSize(bytes);
    if (bytes.starts_with("\xFF\xD8")) return jpegSize(bytes);
    return std::nullopt;
}

bool isImageWithin(std::string_view bytes, std::uint32_t maxSide) {
    const std::optional<DeclaredImageSize> size = declaredImageSize(bytes);
    return size && size->width > 0 && size->height > 0 && size->width <= maxSide && size->height <= maxSide;
}

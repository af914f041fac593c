#pragma once
// The pixel size an image file declares, read from its header without
// decoding a pixel. The radar step uses it to refuse a small reply that
// declares an enormous image before it is stored for the menu to decode.

#include <cstdint>
#include <optional>
#include <string_view>

struct DeclaredImageSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The size declared by a GIF, PNG or JPEG file: for a GIF the largest extent
// of its screen and of every frame found; nullopt when the bytes do not start
// as one of these formats or end before the size.
std::optional<DeclaredImageSize> declaredImageSize(std::string_view bytes);

// True for a GIF, PNG or JPEG whose declared size is at least one pixel and at
// most maxSide pixels on each side.
bool isImageWithin(std::string_view bytes, std::uint32_t maxSide);

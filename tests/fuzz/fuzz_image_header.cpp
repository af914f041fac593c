// Image headers over arbitrary bytes: reading the declared size never reads
// past the input, and an image said to be within a bound declares no more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "scrapers/ImageHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto declared = declaredImageSize(bytes);
    if (isImageWithin(bytes, 4096) &&
        (!declared || declared->width == 0 || declared->height == 0 || declared->width > 4096 ||
         declared->height > 4096)) {
        std::abort();
    }
    return 0;
}

#pragma once
// The platform's image: a bitmap measured in points (one point is one pixel)
// that can be drawn into, composited, scaled, loaded, saved and read back.
// Images are shared (ImageRef); an operation that may answer "the image
// itself" returns the same ImageRef.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Geometry.h"

struct ImageStorage;

// One pixel as straight (not premultiplied) 8-bit samples.
struct Pixel {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Pixel&) const = default;
};

// An 8-bit-per-sample bitmap. Rows run top to bottom. In a meshed bitmap the
// samples of a pixel sit together; a planar one holds one plane per sample.
// Colour samples come first, alpha (when present) last; samples are straight.
struct Bitmap {
    int width = 0;
    int height = 0;
    int samplesPerPixel = 4;
    bool hasAlpha = true;
    bool planar = false;
    int bitsPerSample = 8;
    std::vector<uint8_t> data;

    Bitmap() = default;
    Bitmap(int w, int h, int spp, bool alpha, bool isPlanar);
    size_t index(int x, int row, int sample) const;
    uint8_t sample(int x, int row, int s) const { return data[index(x, row, s)]; }
    uint8_t& sample(int x, int row, int s) { return data[index(x, row, s)]; }
    int colorSamples() const { return samplesPerPixel - (hasAlpha ? 1 : 0); }
    bool valid() const;
};

class Image;
using ImageRef = std::shared_ptr<Image>;

class Image : public std::enable_shared_from_this<Image> {
public:
    // A transparent image of the size (whole pixels, rounded up); null for an empty size.
    static ImageRef create(Size size);
    // The most pixels a loaded file may declare on either side: far past any
    // icon or radar image.
    static constexpr int kMaxLoadSide = 4096;
    // An image read from a PNG, GIF, JPEG or TIFF file; null when unreadable,
    // or when its header declares more than kMaxLoadSide pixels on a side
    // (refused from the header, without decoding). Every image file, from the
    // bundle, the network or a cache, is read through here.
    static ImageRef load(const std::string& path);
    // An image holding the bitmap (one or two samples are gray, three or four
    // colour); null for a bitmap that is not 8-bit or whose data is short.
    static ImageRef fromBitmap(const Bitmap& bitmap);

    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    Size size() const { return size_; }
    int pixelsWide() const;
    int pixelsHigh() const;
    bool hasAlpha() const { return hasAlpha_; }
    // True for an image made from a one- or two-sample (gray) bitmap.
    bool isGray() const { return gray_; }

    // A meshed copy of the pixels: gray images give one sample per pixel
    // (two with alpha), colour images three (four with alpha).
    Bitmap bitmap() const;
    // The pixel at (x, y), counted from the bottom-left corner; transparent
    // black outside the image.
    Pixel pixelAt(int x, int y) const;
    bool savePNG(const std::string& path) const;
    ImageRef copy() const;

    // Draws `source` with its bottom-left corner at `at`, source-over, its
    // opacity multiplied by `fraction`.
    void composite(const Image& source, Point at, double fraction = 1.0);
    // Draws the whole of `source` scaled into `rect`, source-over.
    void drawScaled(const Image& source, const Rect& rect, double fraction = 1.0);

    // Colour saturation and grayscale copies. imageWithSaturation answers
    // the image itself when sat > 0.99; the others always make a new image,
    // or null on failure.
    ImageRef imageWithSaturation(float sat);
    ImageRef imageWithSaturationByColor(float r, float g, float b) const;
    ImageRef grayscaleImage() const;
    // One channel moved toward the pixel's luminance `avg` by `sat`; a factor
    // above 1 amplifies the channel up to 250.
    static uint8_t saturatePixIntensity(float value, float sat, float avg);

    ImageStorage& storage() const { return *storage_; }

private:
    Image(int pixelsWide, int pixelsHigh, Size size);

    std::unique_ptr<ImageStorage> storage_;
    Size size_;
    bool hasAlpha_ = true;
    bool gray_ = false;
};

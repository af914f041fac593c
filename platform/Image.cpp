#include "platform/Image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/ImageCanvas.h"
#include "platform/internal/ImageLoad.h"
#include "platform/internal/ImageStorage.h"

Bitmap::Bitmap(int w, int h, int spp, bool alpha, bool isPlanar)
    : width(w), height(h), samplesPerPixel(spp), hasAlpha(alpha), planar(isPlanar),
      data(static_cast<size_t>(std::max(w, 0)) * std::max(h, 0) * std::max(spp, 0)) {}

size_t Bitmap::index(int x, int row, int s) const {
    const size_t pixel = static_cast<size_t>(row) * width + x;
    if (planar) return static_cast<size_t>(s) * width * height + pixel;
    return pixel * samplesPerPixel + s;
}

bool Bitmap::valid() const {
    return width > 0 && height > 0 && bitsPerSample == 8 && samplesPerPixel >= 1 &&
           samplesPerPixel <= 4 && (!hasAlpha || samplesPerPixel >= 2) &&
           data.size() >= static_cast<size_t>(width) * height * samplesPerPixel;
}

namespace {

uint8_t unpremultiply(uint32_t c, uint32_t a) {
    return a == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>(255, (c * 255 + a / 2) / a));
}

uint32_t premultiplied(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    auto mul = [a](uint8_t c) { return static_cast<uint32_t>((c * a + 127) / 255); };
    return static_cast<uint32_t>(a) << 24 | mul(r) << 16 | mul(g) << 8 | mul(b);
}

Pixel readPixel(cairo_surface_t* s, int x, int row) {
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    uint32_t v;
    std::memcpy(&v, data + static_cast<size_t>(row) * stride + x * 4, 4);
    const uint32_t a = v >> 24;
    return {unpremultiply((v >> 16) & 0xFF, a), unpremultiply((v >> 8) & 0xFF, a),
            unpremultiply(v & 0xFF, a), static_cast<uint8_t>(a)};
}

void writePixel(cairo_surface_t* s, int x, int row, Pixel p) {
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const uint32_t v = premultiplied(p.r, p.g, p.b, p.a);
    std::memcpy(data + static_cast<size_t>(row) * stride + x * 4, &v, 4);
}

}  // namespace

Image::Image(int w, int h, Size size) : storage_(std::make_unique<ImageStorage>()), size_(size) {
    storage_->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
}

Image::~Image() = default;

ImageRef Image::create(Size size) {
    if (!(size.width > 0) || !(size.height > 0) || size.width > 32767 || size.height > 32767)
        return nullptr;
    const int w = static_cast<int>(std::ceil(size.width));
    const int h = static_cast<int>(std::ceil(size.height));
    ImageRef image(new Image(w, h, size));
    if (cairo_surface_status(image->storage_->surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    return image;
}

ImageRef Image::load(const std::string& path) {
    const PixbufRef loaded = loadPixbufWithin(path, kMaxLoadSide);
    if (!loaded) return nullptr;
    GdkPixbuf* pixbuf = loaded.get();
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf);
    ImageRef image;
    if (gdk_pixbuf_get_bits_per_sample(pixbuf) == 8 && (channels == 3 || channels == 4)) {
        image = create({static_cast<double>(w), static_cast<double>(h)});
    }
    if (image) {
        const guchar* src = gdk_pixbuf_read_pixels(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf);
        cairo_surface_t* s = image->storage_->surface;
        cairo_surface_flush(s);
        for (int row = 0; row < h; ++row) {
            const guchar* p = src + static_cast<size_t>(row) * stride;
            for (int x = 0; x < w; ++x, p += channels)
                writePixel(s, x, row, {p[0], p[1], p[2], alpha ? p[3] : uint8_t{255}});
        }
        cairo_surface_mark_dirty(s);
        image->hasAlpha_ = alpha;
    }
    return image;
}

ImageRef Image::fromBitmap(const Bitmap& bm) {
    if (!bm.valid()) return nullptr;
    ImageRef image = create({static_cast<double>(bm.width), static_cast<double>(bm.height)});
    if (!image) return nullptr;
    const int colors = bm.colorSamples();
    cairo_surface_t* s = image->storage_->surface;
    cairo_surface_flush(s);
    for (int row = 0; row < bm.height; ++row) {
        for (int x = 0; x < bm.width; ++x) {
            Pixel p;
            if (colors >= 3) {
                p = {bm.sample(x, row, 0), bm.sample(x, row, 1), bm.sample(x, row, 2), 255};
            } else {
                const uint8_t w = bm.sample(x, row, 0);
                p = {w, w, w, 255};
            }
            if (bm.hasAlpha) p.a = bm.sample(x, row, bm.samplesPerPixel - 1);
            writePixel(s, x, row, p);
        }
    }
    cairo_surface_mark_dirty(s);
    image->hasAlpha_ = bm.hasAlpha;
    image->gray_ = colors < 3;
    return image;
}

int Image::pixelsWide() const { return cairo_image_surface_get_width(storage_->surface); }

int Image::pixelsHigh() const { return cairo_image_surface_get_height(storage_->surface); }

Bitmap Image::bitmap() const {
    const int w = pixelsWide(), h = pixelsHigh();
    const int colors = gray_ ? 1 : 3;
    Bitmap bm(w, h, colors + (hasAlpha_ ? 1 : 0), hasAlpha_, false);
    cairo_surface_t* s = storage_->surface;
    cairo_surface_flush(s);
    for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
            const Pixel p = readPixel(s, x, row);
            if (gray_) {
                bm.sample(x, row, 0) = static_cast<uint8_t>((p.r + p.g + p.b) / 3);
            } else {
                bm.sample(x, row, 0) = p.r;
                bm.sample(x, row, 1) = p.g;
                bm.sample(x, row, 2) = p.b;
            }
            if (hasAlpha_) bm.sample(x, row, colors) = p.a;
        }
    }
    return bm;
}

Pixel Image::pixelAt(int x, int y) const {
    const int w = pixelsWide(), h = pixelsHigh();
    if (x < 0 || y < 0 || x >= w || y >= h) return {};
    cairo_surface_flush(storage_->surface);
    return readPixel(storage_->surface, x, h - 1 - y);
}

bool Image::savePNG(const std::string& path) const {
    cairo_surface_flush(storage_->surface);
    return cairo_surface_write_to_png(storage_->surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

ImageRef Image::copy() const {
    ImageRef result = create(size_);
    if (!result) return nullptr;
    result->composite(*this, {0, 0}, 1.0);
    result->hasAlpha_ = hasAlpha_;
    result->gray_ = gray_;
    return result;
}

void Image::composite(const Image& source, Point at, double fraction) {
    ImageCanvas canvas(*this);
    canvas.drawImage(source, at, fraction);
}

void Image::drawScaled(const Image& source, const Rect& rect, double fraction) {
    ImageCanvas canvas(*this);
    canvas.drawImage(source, rect, fraction);
}

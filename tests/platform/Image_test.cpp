#include "platform/Image.h"

#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>

#include "platform/ImageCanvas.h"
#include "support/TempDir.h"

namespace {

ImageRef solid(Size size, Color color) {
    ImageRef image = Image::create(size);
    ImageCanvas(*image).fillRect({0, 0, size.width, size.height}, color);
    return image;
}

ImageRef onePixel(Pixel p) {
    Bitmap bm(1, 1, 4, true, false);
    bm.data = {p.r, p.g, p.b, p.a};
    return Image::fromBitmap(bm);
}

}  // namespace

TEST(Image, CreateRefusesEmptySizesAndRoundsUpToWholePixels) {
    EXPECT_EQ(Image::create({0, 10}), nullptr);
    EXPECT_EQ(Image::create({10, -1}), nullptr);
    ImageRef image = Image::create({28.5, 19});
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->pixelsWide(), 29);
    EXPECT_EQ(image->pixelsHigh(), 19);
    EXPECT_EQ(image->size(), (Size{28.5, 19}));
    EXPECT_EQ(image->pixelAt(3, 3), (Pixel{0, 0, 0, 0}));  // transparent when new
    EXPECT_EQ(image->pixelAt(-1, 0), (Pixel{}));
    EXPECT_EQ(image->pixelAt(29, 0), (Pixel{}));
}

TEST(Image, OriginIsBottomLeftForDrawingAndProbing) {
    ImageRef image = Image::create({10, 10});
    ImageCanvas(*image).fillRect({0, 0, 10, 3}, Color::calibratedRGB(0, 0, 1));
    EXPECT_EQ(image->pixelAt(5, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(image->pixelAt(5, 2), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(image->pixelAt(5, 3).a, 0);
    // The bitmap's rows run top to bottom: the blue band is at the end.
    Bitmap bm = image->bitmap();
    EXPECT_EQ(bm.sample(5, 9, 2), 255);
    EXPECT_EQ(bm.sample(5, 0, 3), 0);
}

TEST(Image, CompositeAtAPointWithAFraction) {
    ImageRef target = solid({10, 10}, Color::white());
    ImageRef blue = solid({2, 2}, Color::calibratedRGB(0, 0, 1));
    target->composite(*blue, {3, 4}, 0.5);
    const Pixel p = target->pixelAt(3, 4);
    EXPECT_NEAR(p.r, 128, 1);
    EXPECT_NEAR(p.g, 128, 1);
    EXPECT_EQ(p.b, 255);
    EXPECT_EQ(p.a, 255);
    EXPECT_EQ(target->pixelAt(4, 5), p);
    EXPECT_EQ(target->pixelAt(2, 4), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(target->pixelAt(3, 6), (Pixel{255, 255, 255, 255}));

    // Fraction 1.0 source-over replaces opaque pixels and keeps the rest.
    ImageRef half = onePixel({255, 0, 0, 0});
    target->composite(*half, {0, 0}, 1.0);
    EXPECT_EQ(target->pixelAt(0, 0), (Pixel{255, 255, 255, 255}));
}

TEST(Image, DrawScaledFillsTheRectangle) {
    ImageRef target = Image::create({20, 20});
    ImageRef red = onePixel({255, 0, 0, 255});
    target->drawScaled(*red, {5, 5, 10, 10});
    EXPECT_EQ(target->pixelAt(5, 5), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(target->pixelAt(14, 14), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(target->pixelAt(4, 5).a, 0);
    EXPECT_EQ(target->pixelAt(15, 14).a, 0);
}

TEST(Image, BitmapsKeepStraightSamplesAndTheirLayout) {
    Bitmap gray(2, 1, 2, true, true);  // planar gray + alpha
    gray.data = {10, 200, 255, 128};
    ImageRef image = Image::fromBitmap(gray);
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->isGray());
    EXPECT_EQ(image->pixelAt(0, 0), (Pixel{10, 10, 10, 255}));
    EXPECT_EQ(image->pixelAt(1, 0).a, 128);
    EXPECT_NEAR(image->pixelAt(1, 0).r, 200, 1);
    Bitmap back = image->bitmap();
    EXPECT_EQ(back.samplesPerPixel, 2);
    EXPECT_FALSE(back.planar);
    EXPECT_EQ(back.sample(0, 0, 0), 10);
    EXPECT_EQ(back.sample(1, 0, 1), 128);

    Bitmap shortData(4, 4, 3, false, false);
    shortData.data.resize(10);
    EXPECT_EQ(Image::fromBitmap(shortData), nullptr);
    Bitmap sixteenBit(1, 1, 3, false, false);
    sixteenBit.bitsPerSample = 16;
    EXPECT_EQ(Image::fromBitmap(sixteenBit), nullptr);
}

TEST(Image, SavesAndLoadsPngTiffJpegAndGif) {
    TempDir dir;
    ImageRef image = solid({4, 3}, Color::calibratedRGB(0, 1, 0));
    ASSERT_TRUE(image->savePNG(dir.file("a.png")));
    ImageRef png = Image::load(dir.file("a.png"));
    ASSERT_NE(png, nullptr);
    EXPECT_EQ(png->size(), (Size{4, 3}));
    EXPECT_EQ(png->pixelAt(1, 1), (Pixel{0, 255, 0, 255}));

    // TIFF and JPEG files written by another program.
    GdkPixbuf* pb = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 5, 2);
    gdk_pixbuf_fill(pb, 0x0000FFFF);
    ASSERT_TRUE(gdk_pixbuf_save(pb, dir.file("b.tif").c_str(), "tiff", nullptr, nullptr));
    ASSERT_TRUE(gdk_pixbuf_save(pb, dir.file("c.jpg").c_str(), "jpeg", nullptr, "quality", "100", nullptr));
    g_object_unref(pb);
    ImageRef tif = Image::load(dir.file("b.tif"));
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(tif->size(), (Size{5, 2}));
    EXPECT_EQ(tif->pixelAt(4, 1), (Pixel{0, 0, 255, 255}));
    ImageRef jpg = Image::load(dir.file("c.jpg"));
    ASSERT_NE(jpg, nullptr);
    EXPECT_NEAR(jpg->pixelAt(2, 1).b, 255, 3);
    EXPECT_FALSE(jpg->hasAlpha());
    EXPECT_EQ(jpg->bitmap().samplesPerPixel, 3);

    // A 1 x 1 GIF whose only pixel is colour 0 of its table (red).
    const unsigned char gif[] = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xFF, 0, 0, 0, 0, 0,
                                 ',', 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, ';'};
    std::ofstream(dir.file("d.gif"), std::ios::binary).write(reinterpret_cast<const char*>(gif), sizeof gif);
    ImageRef g = Image::load(dir.file("d.gif"));
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->pixelAt(0, 0), (Pixel{255, 0, 0, 255}));

    EXPECT_EQ(Image::load(dir.file("missing.png")), nullptr);
    std::ofstream(dir.file("junk.png")) << "not an image";
    EXPECT_EQ(Image::load(dir.file("junk.png")), nullptr);
    EXPECT_FALSE(image->savePNG(dir.file("no/such/folder/x.png")));
}

long maxResidentKB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

TEST(Image, FilesDeclaringMoreThanTheBoundAreRefusedBeforeDecoding) {
    // 88 KB of compressed zero rows that declare 27000 x 27000 pixels: decoded,
    // they would take gigabytes.
    const long before = maxResidentKB();
    EXPECT_EQ(Image::load(std::string(SKYVANE_FIXTURES_DIR) + "/radar/declares-27000x27000.png"), nullptr);
    EXPECT_LT(maxResidentKB() - before, 200 * 1024);

    TempDir dir;
    for (Size size : {Size{4096, 1}, Size{1, 4096}, Size{4097, 1}, Size{1, 4097}}) {
        const std::string path = dir.file("edge.png");
        ASSERT_TRUE(Image::create(size)->savePNG(path));
        ImageRef loaded = Image::load(path);
        if (size.width > 4096 || size.height > 4096) {
            EXPECT_EQ(loaded, nullptr) << size.width << " x " << size.height;
        } else {
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->size(), size);
        }
    }
}

TEST(Image, CopyIsIndependent) {
    ImageRef a = solid({3, 3}, Color::black());
    ImageRef b = a->copy();
    ASSERT_NE(b, nullptr);
    ImageCanvas(*b).fillRect({0, 0, 3, 3}, Color::white());
    EXPECT_EQ(a->pixelAt(1, 1), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(b->pixelAt(1, 1), (Pixel{255, 255, 255, 255}));
}

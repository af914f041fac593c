#include <gtest/gtest.h>

#include "platform/Image.h"
#include "platform/ImageCanvas.h"

namespace {

ImageRef pixels(const std::vector<Pixel>& row) {
    Bitmap bm(static_cast<int>(row.size()), 1, 4, true, false);
    for (size_t i = 0; i < row.size(); ++i) {
        bm.data[i * 4] = row[i].r;
        bm.data[i * 4 + 1] = row[i].g;
        bm.data[i * 4 + 2] = row[i].b;
        bm.data[i * 4 + 3] = row[i].a;
    }
    return Image::fromBitmap(bm);
}

}  // namespace

TEST(ImageSaturation, PixelIntensity) {
    EXPECT_EQ(Image::saturatePixIntensity(200, 2.0f, 17), 250);
    EXPECT_EQ(Image::saturatePixIntensity(100, 2.0f, 17), 200);
    EXPECT_EQ(Image::saturatePixIntensity(100, 0.0f, 60), 60);
    EXPECT_EQ(Image::saturatePixIntensity(100, 0.5f, 60), 80);
    EXPECT_EQ(Image::saturatePixIntensity(100, 1.0f, 60), 100);
    // A factor below 0 would push a channel past a byte: it stops at the ends.
    EXPECT_EQ(Image::saturatePixIntensity(0, -1.0f, 200), 255);
    EXPECT_EQ(Image::saturatePixIntensity(255, -1.0f, 50), 0);
    EXPECT_EQ(Image::saturatePixIntensity(100, -0.5f, 60), 40);
}

TEST(ImageSaturation, FullSaturationIsTheImageItself) {
    ImageRef image = pixels({{255, 0, 0, 255}});
    EXPECT_EQ(image->imageWithSaturation(1.0f), image);
    ImageRef half = image->imageWithSaturation(0.5f);
    ASSERT_NE(half, nullptr);
    EXPECT_NE(half, image);
    EXPECT_EQ(image->pixelAt(0, 0), (Pixel{255, 0, 0, 255}));  // the source is unchanged
}

TEST(ImageSaturation, RedAtZeroBecomesGrayAndAlphaPassesThrough) {
    ImageRef image = pixels({{255, 0, 0, 255}, {255, 0, 0, 128}, {10, 200, 30, 0}});
    ImageRef gray = image->imageWithSaturation(0.0f);
    ASSERT_NE(gray, nullptr);
    EXPECT_EQ(gray->pixelAt(0, 0), (Pixel{76, 76, 76, 255}));
    const Pixel translucent = gray->pixelAt(1, 0);
    EXPECT_EQ(translucent.a, 128);
    EXPECT_NEAR(translucent.r, 76, 1);
    EXPECT_EQ(translucent.r, translucent.b);
    EXPECT_EQ(gray->pixelAt(2, 0).a, 0);

    ImageRef half = image->imageWithSaturation(0.5f);
    // 255 - (255 - 76.245) x 0.5 = 165.6; 0 - (0 - 76.245) x 0.5 = 38.1
    EXPECT_EQ(half->pixelAt(0, 0), (Pixel{165, 38, 38, 255}));
}

TEST(ImageSaturation, EachChannelHasItsOwnFactor) {
    ImageRef image = pixels({{100, 100, 200, 255}});
    // avg = 29.9 + 58.7 + 22.2 = 110.8
    ImageRef out = image->imageWithSaturationByColor(1.0f, 0.0f, 2.0f);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->pixelAt(0, 0), (Pixel{100, 110, 250, 255}));
}

TEST(ImageSaturation, GrayscaleHoldsTheLuminanceInOneSample) {
    ImageRef image = pixels({{255, 0, 0, 255}, {0, 0, 255, 64}});
    ImageRef gray = image->grayscaleImage();
    ASSERT_NE(gray, nullptr);
    EXPECT_TRUE(gray->isGray());
    Bitmap bm = gray->bitmap();
    EXPECT_EQ(bm.samplesPerPixel, 2);
    EXPECT_EQ(bm.sample(0, 0, 0), 76);
    EXPECT_EQ(bm.sample(0, 0, 1), 255);
    EXPECT_NEAR(bm.sample(1, 0, 0), 28, 1);  // 0.111 x 255 = 28.3
    EXPECT_EQ(bm.sample(1, 0, 1), 64);

    // Gray sources take the plain average (their only sample) in both operations.
    EXPECT_EQ(gray->imageWithSaturation(0.3f)->pixelAt(0, 0), (Pixel{76, 76, 76, 255}));
}

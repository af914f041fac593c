#include <gtest/gtest.h>

#include <filesystem>

#include "platform/AttributedString.h"
#include "platform/Image.h"
#include "platform/ImageCanvas.h"

namespace {

// The columns of the image that hold a visible pixel of text, as [first, last].
std::pair<int, int> inkColumns(const Image& image) {
    int first = -1, last = -1;
    for (int x = 0; x < image.pixelsWide(); ++x)
        for (int y = 0; y < image.pixelsHigh(); ++y)
            if (image.pixelAt(x, y).a > 100) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return {first, last};
}

}  // namespace

TEST(AttributedString, MeasuresByFontAndSize) {
    AttributedString small("Humidity", {Font::systemFont(10), Color::black()});
    AttributedString large("Humidity", {Font::systemFont(20), Color::black()});
    AttributedString bold("Humidity", {Font::boldSystemFont(10), Color::black()});
    EXPECT_GT(small.size().width, 20);
    EXPECT_GT(small.size().height, 8);
    EXPECT_NEAR(large.size().width / small.size().width, 2.0, 0.25);
    EXPECT_GT(bold.size().width, small.size().width);
    EXPECT_EQ(AttributedString("").size(), (Size{0, 0}));
    EXPECT_EQ(AttributedString("72\xA1").string(), "72\xC2\xB0");
}

TEST(AttributedString, DrawnRightAlignedInsideAnImage) {
    // A label whose right edge sits 5 points from the image's right edge, at height 0.
    AttributedString label("Wind", {Font::boldSystemFont(Font::systemFontSize()), Color::black()});
    ImageRef image = Image::create({100, 16});
    const Size size = label.size();
    ImageCanvas(*image).drawText(label, {100 - 5 - size.width, 0});
    auto [first, last] = inkColumns(*image);
    ASSERT_GE(first, 0);
    EXPECT_LE(last, 95);
    EXPECT_GE(last, 90);
    EXPECT_GE(first, static_cast<int>(100 - 5 - size.width) - 1);
    EXPECT_EQ(image->pixelAt(last, 8).r, 0);
}

TEST(AttributedString, MenuBarImageWithTextIsKeptAsAnArtifact) {
    // A menu-bar picture: an icon-sized sun and the temperature beside it.
    ImageRef image = Image::create({60, 22});
    {
        ImageCanvas canvas(*image);
        canvas.fillRect({0, 0, 60, 22}, Color::calibratedWhite(0.92));
        canvas.fill(BezierPath::ovalInRect({4, 4, 14, 14}), Color::calibratedRGB(1.0, 0.8, 0.1));
        AttributedString temp("72\xA1", {Font::menuBarFont(14), Color::black()});
        canvas.drawText(temp, {22, 11 - temp.size().height / 2});
    }
    std::filesystem::create_directories("artifacts");
    ASSERT_TRUE(image->savePNG("artifacts/menubar-text.png"));
    ImageRef back = Image::load("artifacts/menubar-text.png");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->pixelAt(11, 11), (Pixel{255, 204, 25, 255}));
    auto [first, last] = inkColumns(*back);
    EXPECT_EQ(first, 0);  // the background
    int dark = 0;
    for (int x = 22; x < 60; ++x)
        for (int y = 0; y < 22; ++y) dark += back->pixelAt(x, y).r < 80;
    EXPECT_GT(dark, 20);  // the text is there
}

#include <gtest/gtest.h>

#include <filesystem>

#include "menu/ClassicPlimIcon.h"
#include "menu/NeoPlimIcon.h"
#include "menu/PlimImageSet.h"
#include "menu/MenuTestBundle.h"
#include "support/CaptureStream.h"
#include "util/Clock.h"

namespace {

constexpr time_t kJan2Evening = 1136232000;  // 2006-01-02 20:00 UTC

struct PinnedClock {
    explicit PinnedClock(time_t t) { Clock::pin(t); }
    ~PinnedClock() { Clock::unpin(); }
};

ImageRef menuBarImage() { return Image::create({28, 19}); }

bool sameImage(const Image& a, const Image& b) { return a.bitmap().data == b.bitmap().data; }

int brightness(Pixel p) { return p.r + p.g + p.b; }

void expectPixelNear(Pixel got, Pixel want, int tolerance, const char* what) {
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
    EXPECT_NEAR(got.a, want.a, tolerance) << what;
}

}  // namespace

TEST(IconStyles, NeoDrawsTheTimeOfDayBlockUnderThePicture) {
    MenuTestBundle fixture;
    NeoPlimIcon neo(fixture.bundle());
    PlimImageSet blocks("gfx/blocks", fixture.bundle());

    // A corner far from the sun and below the sheen: the block alone.
    ImageRef noon = menuBarImage();
    ASSERT_TRUE(neo.render(*noon, 32, 0, 720, 1.0f, false, 360, 1080));
    expectPixelNear(noon->pixelAt(25, 3), blocks.imageForKey("daytime_block.png")->pixelAt(25, 3), 2, "noon");

    // At midnight the night variant (31, the moon) on the night block.
    ImageRef midnight = menuBarImage();
    ASSERT_TRUE(neo.render(*midnight, 32, 0, 0, 1.0f, false, 360, 1080));
    expectPixelNear(midnight->pixelAt(25, 3), blocks.imageForKey("nighttime_block.png")->pixelAt(25, 3), 2,
                    "midnight");

    // Halfway into the sunrise transition both blocks show.
    ImageRef dawn = menuBarImage();
    ASSERT_TRUE(neo.render(*dawn, 32, 0, 290, 1.0f, false, 360, 1080));
    EXPECT_FALSE(dawn->pixelAt(25, 3) == midnight->pixelAt(25, 3));
}

TEST(IconStyles, BadgesForWatchesAndWarningsOnly) {
    MenuTestBundle fixture;
    for (int style = 0; style < 2; ++style) {
        std::unique_ptr<PlimWeatherIcon> icon;
        if (style == 0) icon = std::make_unique<ClassicPlimIcon>(fixture.bundle());
        else icon = std::make_unique<NeoPlimIcon>(fixture.bundle());
        ImageRef plain = menuBarImage(), watch = menuBarImage(), warning = menuBarImage(), level3 = menuBarImage();
        ASSERT_TRUE(icon->render(*plain, 26, 0, 720, 1.0f, false, 360, 1080));
        ASSERT_TRUE(icon->render(*watch, 26, 1, 720, 1.0f, false, 360, 1080));
        ASSERT_TRUE(icon->render(*warning, 26, 2, 720, 1.0f, false, 360, 1080));
        ASSERT_TRUE(icon->render(*level3, 26, 3, 720, 1.0f, false, 360, 1080));
        EXPECT_TRUE(sameImage(*plain, *level3)) << icon->styleName();
        EXPECT_FALSE(sameImage(*plain, *watch)) << icon->styleName();
        EXPECT_FALSE(sameImage(*watch, *warning)) << icon->styleName();
        // The badge sits in the bottom-left corner: the top right is as before.
        EXPECT_EQ(plain->pixelAt(24, 15), warning->pixelAt(24, 15)) << icon->styleName();
    }
}

TEST(IconStyles, ClassicMoonShadowStaysWhereTheStyleSaysWhileThePicturesMoveDown) {
    MenuTestBundle fixture;
    PinnedClock clock(kJan2Evening);
    fixture.write("moonData.txt", moonTable("1.0", "1.0"));
    ClassicPlimIcon fullMoon(fixture.bundle());
    fixture.write("moonData.txt", moonTable("0.5", "0.4"));
    ClassicPlimIcon halfMoon(fixture.bundle());
    ImageRef full = menuBarImage(), half = menuBarImage();
    ASSERT_TRUE(fullMoon.render(*full, 31, 0, 1300, 1.0f, false, 360, 1080));
    ASSERT_TRUE(halfMoon.render(*half, 31, 0, 1300, 1.0f, false, 360, 1080));

    // Waxing half moon: the shadow darkens the left of the disc around
    // (11.5, 9.0) and leaves its right alone.
    EXPECT_LT(brightness(half->pixelAt(7, 8)) + 60, brightness(full->pixelAt(7, 8)));
    EXPECT_EQ(half->pixelAt(16, 10), full->pixelAt(16, 10));
    // The moon picture is drawn 2 points lower: its disc (centre 11.5, 11,
    // radius 8.2 in the picture) ends at y = 17.2 in the icon.
    EXPECT_EQ(full->pixelAt(11, 18).a, 0);
    EXPECT_GT(full->pixelAt(11, 16).a, 200);
}

TEST(IconStyles, SaturationZeroRendersGrey) {
    MenuTestBundle fixture;
    NeoPlimIcon neo(fixture.bundle());
    ImageRef grey = menuBarImage();
    ASSERT_TRUE(neo.render(*grey, 32, 0, 720, 0.0f, true, 360, 1080));
    for (Point at : {Point{25, 3}, Point{12, 10}}) {
        const Pixel p = grey->pixelAt(static_cast<int>(at.x), static_cast<int>(at.y));
        EXPECT_NEAR(p.r, p.g, 2);
        EXPECT_NEAR(p.g, p.b, 2);
    }
}

TEST(IconStyles, UnknownCodesAndMissingPicturesDrawNothing) {
    MenuTestBundle fixture;
    fixture.write("icon_config/neo.style",
                  "%chunk_start\ncode=daytime\nimg=daytime_block.png\n%chunk_end\n"
                  "%chunk_start\ncode=26\nfg=\nbg=no-such-picture.png\n%chunk_end\n");
    NeoPlimIcon neo(fixture.bundle());
    ClassicPlimIcon classic(fixture.bundle());
    const ImageRef blank = menuBarImage();
    ImageRef target = menuBarImage();

    CaptureStderr err;
    EXPECT_FALSE(neo.render(*target, 26, 0, 720, 1.0f, false, 360, 1080));
    EXPECT_FALSE(neo.render(*target, 99, 0, 720, 1.0f, false, 360, 1080));
    EXPECT_FALSE(classic.render(*target, 99, 0, 720, 1.0f, false, 360, 1080));
    const std::string log = err.text();
    EXPECT_NE(log.find("NeoPlimIcon::render both fg & bg img are NULL!\n"), std::string::npos) << log;
    EXPECT_NE(log.find("NeoPlimIcon::render: could not get renderData for code=[99]\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ClassicPlimIcon::render: could not get renderData for code=[99]\n"), std::string::npos)
        << log;
    EXPECT_TRUE(sameImage(*target, *blank));
}

TEST(IconStyles, EveryWeatherCodeHasPicturesInBothStyles) {
    MenuTestBundle fixture;
    ClassicPlimIcon classic(fixture.bundle());
    NeoPlimIcon neo(fixture.bundle());
    for (int code = 0; code <= 47; ++code) {
        for (int minute : {720, 1300}) {
            ImageRef a = menuBarImage(), b = menuBarImage();
            EXPECT_TRUE(classic.render(*a, code, 0, minute, 1.0f, false, 360, 1080)) << code << " at " << minute;
            EXPECT_TRUE(neo.render(*b, code, 0, minute, 1.0f, false, 360, 1080)) << code << " at " << minute;
        }
    }
}

// Leaves the menu-bar icon as PNG files under the build folder
// (artifacts/), at size and enlarged, for a person to look at.
TEST(IconStyles, SavesMenuBarIconsForALook) {
    MenuTestBundle fixture;
    PinnedClock clock(kJan2Evening);
    fixture.write("moonData.txt", moonTable("0.3", "0.2"));
    NeoPlimIcon neo(fixture.bundle());
    ClassicPlimIcon classic(fixture.bundle());

    const std::filesystem::path out = std::filesystem::current_path() / "artifacts";
    std::filesystem::create_directories(out);
    struct Shot { const char* name; PlimWeatherIcon* icon; int code, warning, minute; };
    const Shot shots[] = {{"neo-partly-cloudy-warning", &neo, 30, 2, 720, },
                          {"neo-clear-night", &neo, 32, 0, 1300},
                          {"neo-storm-dusk", &neo, 4, 1, 1090},
                          {"classic-partly-cloudy-night", &classic, 30, 0, 1300}};
    ImageRef sheet = Image::create({4 * 28 * 8, 19 * 8});
    int column = 0;
    for (const Shot& shot : shots) {
        ImageRef icon = menuBarImage();
        ASSERT_TRUE(shot.icon->render(*icon, shot.code, shot.warning, shot.minute, 1.0f, false, 360, 1080));
        ASSERT_TRUE(icon->savePNG((out / (std::string(shot.name) + ".png")).string()));
        sheet->drawScaled(*icon, Rect(column++ * 28 * 8, 0, 28 * 8, 19 * 8));
    }
    ASSERT_TRUE(sheet->savePNG((out / "menubar-icons-x8.png").string()));
    EXPECT_TRUE(std::filesystem::exists(out / "neo-partly-cloudy-warning.png"));
}

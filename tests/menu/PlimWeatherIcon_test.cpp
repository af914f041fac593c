#include <gtest/gtest.h>

#include <cmath>

#include "menu/MoonShapes.h"
#include "menu/NeoPlimIcon.h"
#include "menu/MenuTestBundle.h"
#include "support/CaptureStream.h"
#include "util/Clock.h"

namespace {

using State = PlimWeatherIcon::State;

struct PinnedClock {
    explicit PinnedClock(time_t t) { Clock::pin(t); }
    ~PinnedClock() { Clock::unpin(); }
};

// 2006-01-02 20:00 UTC: the moon's day is still 2 January (8 hours late).
constexpr time_t kJan2Evening = 1136232000;

void expectNear(Point p, double x, double y) {
    EXPECT_NEAR(p.x, x, 1e-3);
    EXPECT_NEAR(p.y, y, 1e-3);
}

}  // namespace

TEST(PlimWeatherIcon, DayStatesBlendAcrossSunriseAndSunset) {
    MenuTestBundle fixture;
    NeoPlimIcon icon(fixture.bundle());
    State first, second;

    ASSERT_EQ(icon.getDayStates(280, 360, 1080, first, second), 1);
    EXPECT_EQ(first.state, PlimWeatherIcon::nighttime);
    EXPECT_EQ(first.imageName, "nighttime_block.png");
    EXPECT_FLOAT_EQ(first.weight, 1.0f);

    ASSERT_EQ(icon.getDayStates(290, 360, 1080, first, second), 2);
    EXPECT_EQ(first.state, PlimWeatherIcon::nighttime);
    EXPECT_EQ(second.state, PlimWeatherIcon::presunrise);
    EXPECT_EQ(second.imageName, "presunrise_block.png");
    EXPECT_FLOAT_EQ(first.weight, 0.5f);
    EXPECT_FLOAT_EQ(second.weight, 0.5f);

    ASSERT_EQ(icon.getDayStates(300, 360, 1080, first, second), 1);
    EXPECT_EQ(first.state, PlimWeatherIcon::presunrise);

    ASSERT_EQ(icon.getDayStates(431, 360, 1080, first, second), 2);
    EXPECT_EQ(first.state, PlimWeatherIcon::postsunrise);
    EXPECT_NEAR(first.weight, 0.4f, 1e-5);
    EXPECT_EQ(second.state, PlimWeatherIcon::daytime);
    EXPECT_NEAR(second.weight, 0.6f, 1e-5);

    ASSERT_EQ(icon.getDayStates(500, 360, 1080, first, second), 1);
    EXPECT_EQ(first.state, PlimWeatherIcon::daytime);
    ASSERT_EQ(icon.getDayStates(1200, 360, 1080, first, second), 1);
    EXPECT_EQ(first.state, PlimWeatherIcon::nighttime);

    // Exactly on an entry (sunrise + 10 starts postsunrise): that entry is current.
    ASSERT_EQ(icon.getDayStates(370, 360, 1080, first, second), 2);
    EXPECT_EQ(first.state, PlimWeatherIcon::presunrise);
    EXPECT_EQ(second.state, PlimWeatherIcon::postsunrise);
    EXPECT_FLOAT_EQ(second.weight, 1.0f);
}

TEST(PlimWeatherIcon, WithoutSunTimesEveryMinuteIsNight) {
    MenuTestBundle fixture;
    NeoPlimIcon icon(fixture.bundle());
    State first, second;
    for (int minute : {0, 1, 300, 720, 1439}) {
        ASSERT_EQ(icon.getDayStates(minute, 0, 0, first, second), 1) << minute;
        EXPECT_EQ(first.state, PlimWeatherIcon::nighttime) << minute;
    }
}

TEST(PlimWeatherIcon, DayStateTableFollowsTwilightAndTransition) {
    PlimWeatherIcon::dayState table[PlimWeatherIcon::kDayStateEntries];
    PlimWeatherIcon::calcDayStates(table, 360, 1080, 20, 150);
    const int minutes[] = {0, 285, 295, 350, 370, 425, 435, 1005, 1015, 1070, 1090, 1145, 1155, -1};
    for (int i = 0; i < PlimWeatherIcon::kDayStateEntries; ++i) EXPECT_EQ(table[i].minute, minutes[i]) << i;
    EXPECT_EQ(table[8].state, PlimWeatherIcon::presunset);
    EXPECT_EQ(table[10].state, PlimWeatherIcon::postsunset);
}

TEST(PlimWeatherIcon, NightVariantOutsideDaylight) {
    EXPECT_EQ(PlimWeatherIcon::sanityCheckIconCode(32, 1300, 360, 1080), 31);
    EXPECT_EQ(PlimWeatherIcon::sanityCheckIconCode(32, 720, 360, 1080), 32);
    EXPECT_EQ(PlimWeatherIcon::sanityCheckIconCode(30, 100, 360, 1080), 29);
    EXPECT_EQ(PlimWeatherIcon::sanityCheckIconCode(12, 1300, 360, 1080), 12);  // no night variant
    EXPECT_EQ(PlimWeatherIcon::sanityCheckIconCode(32, 360, 360, 1080), 32);   // the bounds are daylight
    EXPECT_EQ(PlimWeatherIcon::sanityCheckIconCode(32, 1080, 360, 1080), 32);
}

TEST(MoonShapes, EllipseHalvesHaveTheirOwnWidths) {
    const BezierPath full = ellipseWithLeftWidth(1, 1);
    ASSERT_EQ(full.elementCount(), 30u);  // 29 points and the closing element
    EXPECT_EQ(full.element(0).kind, BezierPath::Kind::MoveTo);
    EXPECT_EQ(full.element(29).kind, BezierPath::Kind::ClosePath);
    expectNear(full.element(0).points[0], 0, -1);
    const double rad = std::acos(-1.0) / 180.0;
    expectNear(full.element(1).points[0], std::cos(-78 * rad), std::sin(-78 * rad));
    expectNear(full.element(14).points[0], std::cos(78 * rad), std::sin(78 * rad));
    expectNear(full.element(15).points[0], 0, 1);
    expectNear(full.element(28).points[0], std::cos(246 * rad), std::sin(246 * rad));

    const BezierPath crescent = ellipseWithLeftWidth(-0.5f, 2.0f);
    EXPECT_NEAR(crescent.element(7).points[0].x, 2.0 * std::cos(-6 * rad), 1e-3);
    EXPECT_NEAR(crescent.element(20).points[0].x, -0.5 * std::cos(150 * rad), 1e-3);  // on the right of the axis
}

TEST(PlimWeatherIcon, MoonShadowFollowsThePhase) {
    MenuTestBundle fixture;
    PinnedClock clock(kJan2Evening);

    // Half lit and waxing (0.4 the day before): the shadow is the left half, turned by -30 degrees.
    fixture.write("moonData.txt", moonTable("0.5", "0.4"));
    {
        NeoPlimIcon icon(fixture.bundle());
        auto path = icon.getMoonPath(14, 9, 8, 8);
        ASSERT_TRUE(path);
        ASSERT_EQ(path->elementCount(), 30u);
        expectNear(path->element(0).points[0], 14 - 8 * 0.5, 9 - 8 * std::sqrt(3.0) / 2);
        // (0, sin -78deg) rotated by -30 degrees, scaled and moved.
        const double s = std::sin(-78 * std::acos(-1.0) / 180.0);
        expectNear(path->element(1).points[0], 14 + 8 * (s * 0.5), 9 + 8 * (s * std::sqrt(3.0) / 2));
    }
    // Waning (0.6 the day before): the ellipse mirrors, turned by +30 degrees.
    fixture.write("moonData.txt", moonTable("0.5", "0.6"));
    {
        NeoPlimIcon icon(fixture.bundle());
        auto path = icon.getMoonPath(0, 0, 1, 1);
        ASSERT_TRUE(path);
        expectNear(path->element(0).points[0], 0.5, -std::sqrt(3.0) / 2);
        expectNear(path->element(15).points[0], -0.5, std::sqrt(3.0) / 2);  // (0, 1) turned by +30 degrees
    }
    fixture.write("moonData.txt", moonTable("0.0", "0.0"));
    {
        NeoPlimIcon icon(fixture.bundle());
        auto path = icon.getMoonPath(14, 9, 8, 8);
        ASSERT_TRUE(path);
        expectNear(path->element(0).points[0], 14, 1);  // the whole disc, not turned
    }
    fixture.write("moonData.txt", moonTable("1.0", "1.0"));
    EXPECT_FALSE(NeoPlimIcon(fixture.bundle()).getMoonPath(14, 9, 8, 8));

    fixture.remove("moonData.txt");
    CaptureStderr err;
    NeoPlimIcon icon(fixture.bundle());
    EXPECT_NE(err.text().find("Couldn't find moonData!"), std::string::npos);
    EXPECT_FALSE(icon.hasMoonData());
    EXPECT_FALSE(icon.getMoonPath(14, 9, 8, 8));
}

TEST(PlimWeatherIcon, MiscIconsComeFromTheWarningPictures) {
    MenuTestBundle fixture;
    NeoPlimIcon icon(fixture.bundle());
    ImageRef target = Image::create({25, 16});

    EXPECT_FALSE(icon.renderMiscIcon(*target, "tornado.png", 1.0f));
    EXPECT_EQ(target->bitmap().data, Image::create({25, 16})->bitmap().data);  // untouched

    ASSERT_TRUE(icon.renderMiscIcon(*target, "warning.png", 1.0f));
    const Pixel middle = target->pixelAt(5, 5);
    EXPECT_GT(middle.a, 200);
    EXPECT_GT(middle.r, middle.b + 80);  // the red triangle

    ImageRef grey = Image::create({25, 16});
    ASSERT_TRUE(icon.renderMiscIcon(*grey, "warning.png", 0.0f));
    const Pixel g = grey->pixelAt(5, 5);
    EXPECT_NEAR(g.r, g.g, 2);
    EXPECT_NEAR(g.g, g.b, 2);
}

TEST(MoonShapes, PathsDrawnAtAPointLeaveTheCanvasAsItWas) {
    ImageRef image = Image::create({20, 20});
    const BezierPath square = BezierPath::rect(Rect(0, 0, 4, 4));
    {
        ImageCanvas canvas(*image);
        fillAtPoint(square, {10, 10}, canvas, Color::black());
        canvas.fill(BezierPath::rect(Rect(0, 0, 2, 2)), Color::white());  // not moved any more
        strokeAtPoint(square, {2, 12}, canvas, Color::calibratedRGB(1, 0, 0));
    }
    EXPECT_EQ(image->pixelAt(12, 12), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(image->pixelAt(1, 1), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(image->pixelAt(5, 5).a, 0);
    EXPECT_GT(image->pixelAt(2, 14).r, 100);  // the stroke's left edge at x = 2
    EXPECT_EQ(image->pixelAt(4, 14).a, 0);    // inside the stroked square
}

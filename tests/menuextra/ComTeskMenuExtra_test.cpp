#include "app/menuextra/ComTeskMenuExtra.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/ComTeskPlim.h"
#include "app/menuextra/SkyvaneMenuExtra.h"
#include "platform/MainLoop.h"
#include "platform/StatusBar.h"
#include "platform/ui/Window.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

// A plug-in bundle with the project's resources, and a status item of the host.
struct Host {
    Host() {
        MainLoop::instance();
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("HOME", dir.path().c_str(), 1);
        unsetenv("http_proxy");
        fs::create_directories(bundle());
        fs::copy(fs::path(SKYVANE_SOURCE_DIR) / "resources", bundle() / "Resources", fs::copy_options::recursive);
        std::ofstream(bundle() / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>org.skyvane.menuextra</string>"
               "<key>CFBundleName</key><string>Skyvane</string>"
               "<key>CFBundleVersion</key><string>1.2</string></dict></plist>\n";
        item = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
    }
    ~Host() { StatusBar::systemStatusBar().removeStatusItem(item); }
    fs::path bundle() const { return dir.path() / "Skyvane Menu.menu"; }

    TempDir dir;
    StatusItemRef item;
};

// Whether the picture holds a pixel of that colour (opaque, near it).
bool hasPixel(const Image& picture, int r, int g, int b) {
    for (int y = 0; y < picture.pixelsHigh(); ++y)
        for (int x = 0; x < picture.pixelsWide(); ++x) {
            Pixel p = picture.pixelAt(x, y);
            if (p.a > 200 && std::abs(p.r - r) < 40 && std::abs(p.g - g) < 40 && std::abs(p.b - b) < 40) return true;
        }
    return false;
}

}  // namespace

TEST(ComTeskMenuExtra, AnswersLikeAStatusItemAndSizesItselfToFit) {
    Host host;
    ComTeskMenuExtra extra;
    ASSERT_TRUE(extra.initWithBundle(host.bundle().string(), host.item));
    ASSERT_NE(extra.view(), nullptr);
    EXPECT_EQ(extra.bundle().bundlePath(), host.bundle().string());
    EXPECT_TRUE(extra.title().empty());
    EXPECT_EQ(extra.image(), nullptr);

    // A title alone: the length is the title's width.
    AttributedString title("72\xC2\xB0");
    extra.setAttributedTitle(title);
    EXPECT_EQ(extra.title(), "72\xC2\xB0");
    EXPECT_DOUBLE_EQ(host.item->length(), title.size().width);
    ASSERT_TRUE(extra.view()->picture());

    // An image 2:1 adds the bar's thickness times its aspect.
    ImageRef wide = Image::create(Size{44, 22});
    extra.setImage(wide);
    EXPECT_DOUBLE_EQ(host.item->length(), 22.0 * 2 + title.size().width);
    // The same image again, or none, changes nothing and draws nothing.
    ImageRef shown = extra.view()->picture();
    extra.setImage(wide);
    extra.setImage(nullptr);
    EXPECT_EQ(extra.image(), wide);
    EXPECT_EQ(extra.view()->picture(), shown);

    // setTitle keeps the title's attributes.
    AttributedString big("1", TextAttributes{Font::boldSystemFont(20), Color::black()});
    extra.setAttributedTitle(big);
    extra.setTitle("55");
    EXPECT_EQ(extra.title(), "55");
    EXPECT_EQ(extra.attributedTitle().attributes().font, big.attributes().font);
}

TEST(ComTeskMenuExtra, TheHostItemShowsTheWeatherImageWithTheTitleAsItsLabel) {
    Host host;
    ComTeskMenuExtra extra;
    ASSERT_TRUE(extra.initWithBundle(host.bundle().string(), host.item));
    host.item->setMenu(Menu::create());
    // A weather image of the status item's size, in red, and a temperature.
    ImageRef weather = Image::create(Size{28, 19});
    {
        ImageCanvas canvas(*weather);
        canvas.fillRect(Rect(0, 0, 28, 19), Color::calibratedRGB(1, 0, 0));
    }
    const AttributedString title("-1\xC2\xB0" "C/30\xC2\xB0" "F", TextAttributes{Font::titleBarFont(14), Color::black()});
    extra.setImage(weather);
    extra.setAttributedTitle(title);
    extra.setToolTip("Des Moines, IA\nSunny, 30\xC2\xB0" "F");

    // The item's icon is the weather image itself, not the wide drawing of
    // image and title; the title is the item's label; the tool tip is there.
    EXPECT_EQ(host.item->image(), weather);
    EXPECT_EQ(host.item->attributedTitle(), title);
    EXPECT_EQ(host.item->toolTip(), "Des Moines, IA\nSunny, 30\xC2\xB0" "F");
    // The view still draws both, side by side, as the plug-in's own picture.
    const ImageRef drawn = extra.view()->picture();
    ASSERT_TRUE(drawn);
    EXPECT_GT(drawn->size().width, 22.0 * 28 / 19 + title.size().width / 2);
    EXPECT_TRUE(hasPixel(*drawn, 255, 0, 0));
    EXPECT_TRUE(hasPixel(*drawn, 0, 0, 0));

    EXPECT_FALSE(hasPixel(*drawn, 255, 255, 255));

    // Opening the menu redraws the view, white title on the highlight, and
    // leaves the item's icon and label as they are; closing it turns the
    // title black again.
    host.item->userOpenMenu();
    EXPECT_NE(extra.view()->picture(), drawn);
    EXPECT_TRUE(hasPixel(*extra.view()->picture(), 255, 255, 255));
    EXPECT_FALSE(hasPixel(*extra.view()->picture(), 0, 0, 0));
    EXPECT_EQ(host.item->image(), weather);
    EXPECT_EQ(host.item->attributedTitle(), title);
    host.item->userCloseMenu();
    EXPECT_TRUE(hasPixel(*extra.view()->picture(), 0, 0, 0));

    // A new image and a new title reach the item.
    ImageRef frame = Image::create(Size{28, 19});
    extra.setImage(frame);
    extra.setTitle("31\xC2\xB0");
    EXPECT_EQ(host.item->image(), frame);
    EXPECT_EQ(host.item->title(), "31\xC2\xB0");
    EXPECT_EQ(host.item->attributedTitle().attributes().font, title.attributes().font);
}

TEST(SkyvaneMenuExtra, StartsTheCoreWithItselfAsItsItemAndStopsItBeforeUnloading) {
    Host host;
    auto extra = std::make_unique<SkyvaneMenuExtra>();
    ASSERT_TRUE(extra->initWithBundle(host.bundle().string(), host.item));
    ComTeskPlim* core = extra->core();
    ASSERT_NE(core, nullptr);
    EXPECT_TRUE(core->isMenuExtra());
    EXPECT_EQ(core->itemTarget(), extra.get());
    EXPECT_EQ(&core->bundle(), &extra->bundle());
    EXPECT_EQ(host.item->length(), 47.0);
    EXPECT_EQ(host.item->menu(), core->menu());
    // The plug-in's menu has no Quit item; about is last.
    EXPECT_EQ(core->menu()->itemWithTag(ComTeskPlim::kQuit), nullptr);
    EXPECT_EQ(core->menu()->items().back()->tag(), ComTeskPlim::kAbout);
    // The first report (no city yet) sets the real look.
    ASSERT_TRUE(MainLoop::instance().runUntil([&] { return extra->image() != nullptr; }, 10000));
    EXPECT_NE(host.item->length(), 47.0);
    // The host's item shows the core's weather image, title and tool tip.
    EXPECT_EQ(host.item->image(), extra->image());
    EXPECT_EQ(host.item->attributedTitle(), extra->attributedTitle());
    // With no city the tool tip names the program and the menu's error line.
    EXPECT_TRUE(MainLoop::instance().runUntil(
        [&] { return host.item->toolTip() == "Skyvane\nPlease choose a US city or upgrade  (6)"; }, 10000))
        << host.item->toolTip();

    extra->willUnload();
    EXPECT_EQ(extra->core(), nullptr);
    EXPECT_EQ(host.item->menu(), nullptr);
}

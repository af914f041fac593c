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
    ASSERT_TRUE(host.item->image());

    // An image 2:1 adds the bar's thickness times its aspect.
    ImageRef wide = Image::create(Size{44, 22});
    extra.setImage(wide);
    EXPECT_DOUBLE_EQ(host.item->length(), 22.0 * 2 + title.size().width);
    // The same image again, or none, changes nothing and draws nothing.
    ImageRef shown = host.item->image();
    extra.setImage(wide);
    extra.setImage(nullptr);
    EXPECT_EQ(extra.image(), wide);
    EXPECT_EQ(host.item->image(), shown);

    // setTitle keeps the title's attributes.
    AttributedString big("1", TextAttributes{Font::boldSystemFont(20), Color::black()});
    extra.setAttributedTitle(big);
    extra.setTitle("55");
    EXPECT_EQ(extra.title(), "55");
    EXPECT_EQ(extra.attributedTitle().attributes().font, big.attributes().font);
}

TEST(ComTeskMenuExtra, TheTitleIsWhiteWhileTheMenuIsDown) {
    Host host;
    ComTeskMenuExtra extra;
    ASSERT_TRUE(extra.initWithBundle(host.bundle().string(), host.item));
    host.item->setMenu(Menu::create());
    extra.setAttributedTitle(AttributedString("88888", TextAttributes{Font::boldSystemFont(18), Color::black()}));
    ASSERT_TRUE(host.item->image());
    EXPECT_TRUE(hasPixel(*host.item->image(), 0, 0, 0));
    EXPECT_FALSE(hasPixel(*host.item->image(), 255, 255, 255));
    host.item->userOpenMenu();
    EXPECT_TRUE(hasPixel(*host.item->image(), 255, 255, 255));
    EXPECT_FALSE(hasPixel(*host.item->image(), 0, 0, 0));
    host.item->userCloseMenu();
    EXPECT_TRUE(hasPixel(*host.item->image(), 0, 0, 0));
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

    extra->willUnload();
    EXPECT_EQ(extra->core(), nullptr);
    EXPECT_EQ(host.item->menu(), nullptr);
}

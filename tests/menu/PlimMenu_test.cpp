#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <atomic>
#include <fstream>
#include <thread>
#include <vector>

#include "menu/PlimMenu.h"
#include "menu/PlimMenuItem.h"
#include "menu/PlimMenuWrapper.h"
#include "menu/MenuTestBundle.h"
#include "platform/MainLoop.h"
#include "platform/Tasks.h"
#include "platform/UserLocale.h"
#include "platform/EnvScope.h"
#include "support/CaptureStream.h"

namespace {

class TestLocale : public UserLocale {
public:
    explicit TestLocale(std::vector<std::string> days) : days_(std::move(days)) {}
    std::vector<std::string> shortWeekdayNames() const override { return days_; }
    std::vector<std::string> thisDayDesignations() const override { return {"heute abend", "jetzt"}; }
    std::vector<std::string> nextDayDesignations() const override { return {"morgen"}; }
    std::string timeFormat() const override { return "%H:%M:%S"; }
    std::string dateFormat() const override { return "%d.%m.%Y"; }

private:
    std::vector<std::string> days_;
};

class TestCore : public PlimCore {
public:
    explicit TestCore(Bundle& bundle) : bundle_(bundle) {
        plist::Dict sunny;
        sunny["DescriptionString"] = plist::Value(std::string("Sunny"));
        sunny["ImageFile"] = plist::Value(std::string("sun"));
        map_["32"] = plist::Value(sunny);
        plist::Dict tornado;
        tornado["DescriptionString"] = plist::Value(std::string("Tornado"));
        tornado["ImageFile"] = plist::Value(std::string("storm"));
        map_["0"] = plist::Value(tornado);
    }
    Bundle& bundle() override { return bundle_; }
    const plist::Dict& weatherCodeMap() override { return map_; }
    std::string shortDateFormatString() override { return "%Y-%m-%d"; }
    std::string timeFormatString() override { return "%H:%M"; }

private:
    Bundle& bundle_;
    plist::Dict map_;
};

struct LocaleScope {
    explicit LocaleScope(std::vector<std::string> days) {
        UserLocale::setCurrent(std::make_shared<TestLocale>(std::move(days)));
    }
    ~LocaleScope() { UserLocale::setCurrent(nullptr); }
};

const std::vector<std::string> kGermanDays = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

plist::Dict record(std::initializer_list<std::pair<const std::string, std::string>> entries) {
    plist::Dict dict;
    for (const auto& [key, text] : entries) dict[key] = plist::Value(text);
    return dict;
}

int opaquePixels(const Image& image, int fromX, int toX) {
    int count = 0;
    for (int x = fromX; x < toX; ++x)
        for (int y = 0; y < image.pixelsHigh(); ++y) count += image.pixelAt(x, y).a > 0;
    return count;
}

// A menu object over a fresh menu with `lines` empty lines and a status item.
class PlimMenuTest : public ::testing::Test {
protected:
    PlimMenuTest() : locale_(kGermanDays), core_(fixture_.bundle()) {
        statusItem_ = StatusBar::systemStatusBar().statusItemWithLength(kVariableStatusItemLength);
        target_ = std::make_unique<StatusItemTarget>(statusItem_);
        menu_ = Menu::create("theMenu");
        plim_ = std::make_unique<PlimMenu>(menu_, target_.get(), fixture_.bundle(), &core_);
        for (unsigned i = 0; i < 3; ++i) plim_->addItemAtIndex(i);
    }
    ~PlimMenuTest() override { StatusBar::systemStatusBar().removeStatusItem(statusItem_); }

    MenuItemRef line(int index) { return menu_->itemAtIndex(index); }

    MenuTestBundle fixture_;
    LocaleScope locale_;
    TestCore core_;
    StatusItemRef statusItem_;
    std::unique_ptr<StatusItemTarget> target_;
    MenuRef menu_;
    std::unique_ptr<PlimMenu> plim_;
};

}  // namespace

TEST_F(PlimMenuTest, DayNamesBecomeTheUsersWords) {
    EXPECT_EQ(plim_->localizedDateFor("Sunday"), "So");
    EXPECT_EQ(plim_->localizedDateFor("SAT"), "Sa");
    EXPECT_EQ(plim_->localizedDateFor("tuesday"), "Di");
    EXPECT_EQ(plim_->localizedDateFor("Today"), "Heute Abend");  // capitalized: the day names are
    EXPECT_EQ(plim_->localizedDateFor("TOMORROW"), "Morgen");
    EXPECT_EQ(plim_->localizedDateFor("Tonight"), "Tonight");
    EXPECT_EQ(plim_->localizedDateFor("Sundays"), "Sundays");

    LocaleScope lowerCase({"dom", "lun", "mar", "mié", "jue", "vie", "sáb"});
    PlimMenu spanish(menu_, target_.get(), fixture_.bundle(), &core_);
    EXPECT_EQ(spanish.localizedDateFor("today"), "heute abend");
    EXPECT_EQ(spanish.localizedDateFor("Wed"), "mié");
}

TEST_F(PlimMenuTest, LinesAreInsertedRemovedAndIgnoredByUnknownType) {
    ASSERT_EQ(menu_->numberOfItems(), 3);
    EXPECT_TRUE(line(0)->isEnabled());
    EXPECT_EQ(line(0)->title(), "");
    EXPECT_EQ(line(0)->action(), "nullClick:");
    EXPECT_EQ(line(0)->target(), plim_.get());

    plim_->setMenuItem(1, record({{"type", "7"}, {"err", "4"}}));
    plim_->removeItemAtIndex(0);
    ASSERT_EQ(menu_->numberOfItems(), 2);
    EXPECT_EQ(line(0)->title(), "Check your internet connection  (4)");

    plim_->setMenuItem(1, record({{"type", "12"}, {"err", "4"}}));
    plim_->setMenuItem(1, {});
    EXPECT_EQ(line(1)->title(), "");
    EXPECT_EQ(line(1)->action(), "nullClick:");

    CaptureStderr err;
    plim_->setMenuItem(9, record({{"type", "7"}, {"err", "4"}}));
    EXPECT_NE(err.text().find("no menu line at index [9]"), std::string::npos);
    EXPECT_EQ(menu_->numberOfItems(), 2);
}

TEST_F(PlimMenuTest, ErrorLinesShowTheTextAndTheCode) {
    plim_->setMenuItem(0, record({{"type", "7"}, {"err", "6"}}));
    EXPECT_EQ(line(0)->title(), "Please choose a US city or upgrade  (6)");
    EXPECT_EQ(line(0)->target(), nullptr);
    plim_->setMenuItem(0, record({{"type", "7"}, {"err", "42"}}));
    EXPECT_EQ(line(0)->title(), "Unknown problem occurred  (42)");
    EXPECT_FALSE(line(0)->userChoose());
}

TEST_F(PlimMenuTest, CityFavoriteAndUpdateLines) {
    std::vector<std::string> opened;
    setURLOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });

    plim_->setMenuItem(0, record({{"type", "2"}, {"code", "32"}, {"pcName", "Boston, MA"}, {"url", "http://w.example/b"}}));
    EXPECT_EQ(line(0)->title(), "Sunny: Boston, MA");
    EXPECT_EQ(line(0)->action(), "menuItemClicked:");
    EXPECT_TRUE(line(0)->userChoose());

    plim_->setMenuItem(1, record({{"type", "3"}, {"time", "1136232000"}}));
    EXPECT_EQ(line(1)->title(), "Updated 2006-01-02 20:00");
    EXPECT_EQ(line(1)->target(), nullptr);

    plim_->setMenuItem(2, record({{"type", "6"}, {"code", "28"}, {"temp", "72\xC2\xB0"}, {"pcName", "Austin, TX"},
                                  {"curMin", "720"}, {"riseMin", "360"}, {"setMin", "1080"}, {"url", "http://w.example/a"},
                                  {"wc", "2"}, {"sat", "1.0"}}));
    EXPECT_EQ(line(2)->title(), "72\xC2\xB0  Austin, TX");
    ASSERT_TRUE(line(2)->image());
    EXPECT_EQ(line(2)->image()->size(), (Size{25, 16}));
    EXPECT_GT(opaquePixels(*line(2)->image(), 0, 25), 100);
    EXPECT_TRUE(line(2)->userChoose());
    setURLOpener(nullptr);

    EXPECT_EQ(opened, (std::vector<std::string>{"http://w.example/b", "http://w.example/a"}));

    // A code missing from the map gives no description.
    plim_->setMenuItem(0, record({{"type", "2"}, {"code", "7"}, {"pcName", "Reno"}}));
    EXPECT_EQ(line(0)->title(), "Reno");
}

TEST_F(PlimMenuTest, LinesWithoutAWeatherCodeShowNoConditionAndNoPicture) {
    // An empty code is none at all, never code 0 (a tornado).
    plim_->setMenuItem(0, record({{"type", "2"}, {"code", ""}, {"pcName", "Des Moines, IA"}}));
    EXPECT_EQ(line(0)->title(), "Des Moines, IA");
    plim_->setMenuItem(0, record({{"type", "2"}, {"code", "0"}, {"pcName", "Des Moines, IA"}}));
    EXPECT_EQ(line(0)->title(), "Tornado: Des Moines, IA");
    plim_->setMenuItem(1, record({{"type", "1"}, {"fcDay", "Monday"}, {"fcHiLo", "75..50"}, {"curMin", "720"}}));
    EXPECT_EQ(line(1)->title(), "75..50");
    EXPECT_EQ(opaquePixels(*line(1)->image(), 75, 100), 0);

    CaptureStderr err;
    plim_->setMainWeatherImage(PlimMenuItem::NoWeatherCode, 0, 720, 360, 1080, 1.0f);
    ASSERT_TRUE(statusItem_->image());
    EXPECT_EQ(opaquePixels(*statusItem_->image(), 0, statusItem_->image()->pixelsWide()), 0);
    EXPECT_EQ(err.text(), "");
}

TEST_F(PlimMenuTest, DetailLinesCarryTheirLabelInAnImage) {
    plim_->setMenuItem(0, record({{"type", "4"}, {"condType", "humidity"}, {"condData", "45%"}}));
    EXPECT_EQ(line(0)->title(), "45%");
    ASSERT_TRUE(line(0)->image());
    EXPECT_EQ(line(0)->image()->size(), (Size{100, 16}));
    EXPECT_GT(opaquePixels(*line(0)->image(), 40, 95), 20);  // "Humidity:" ends 5 points from the right
    EXPECT_EQ(opaquePixels(*line(0)->image(), 96, 100), 0);
    EXPECT_EQ(line(0)->action(), "nullClick:");

    plim_->setMenuItem(1, record({{"type", "4"}, {"condType", "datafrom"}, {"condData", "weather.example"},
                                  {"url", "http://weather.example"}}));
    EXPECT_EQ(line(1)->action(), "menuItemClicked:");
    EXPECT_EQ(line(1)->representedObject().stringOr(""), "http://weather.example");

    plim_->setMenuItem(2, record({{"type", "5"}}));
    EXPECT_TRUE(line(2)->isSeparatorItem());
    EXPECT_EQ(menu_->numberOfItems(), 3);
}

TEST_F(PlimMenuTest, ForecastLinesShowDayAndIconOnTheRight) {
    plim_->setMenuItem(0, record({{"type", "1"}, {"fcDay", "Monday"}, {"code", "32"}, {"fcHiLo", "75..50"},
                                  {"curMin", "720"}, {"sat", "1.0"}}));
    EXPECT_EQ(line(0)->title(), "Sunny, 75..50");
    EXPECT_TRUE(line(0)->isEnabled());
    ASSERT_TRUE(line(0)->image());
    const Image& picture = *line(0)->image();
    EXPECT_EQ(picture.size(), (Size{100, 18}));
    EXPECT_GT(opaquePixels(picture, 75, 100), 150);  // the icon
    EXPECT_GT(opaquePixels(picture, 55, 71), 5);     // "Mo" ends 4 points left of it
    EXPECT_EQ(opaquePixels(picture, 0, 40), 0);
    // Left under the build folder for a person to look at.
    std::filesystem::create_directories("artifacts");
    EXPECT_TRUE(picture.savePNG("artifacts/menu-forecast-line.png"));

    // At "night" the forecast shows the night variant: a different picture.
    plim_->setMenuItem(1, record({{"type", "1"}, {"fcDay", "Monday"}, {"code", "32"}, {"fcHiLo", "75..50"},
                                  {"curMin", "1400"}, {"sat", "1.0"}}));
    EXPECT_NE(line(1)->image()->bitmap().data, picture.bitmap().data);
}

TEST_F(PlimMenuTest, WarningLinesUseThePictureOfTheSeverity) {
    plim_->setMenuItem(0, record({{"type", "8"}, {"wt", "Winter Storm"}, {"ws", "watch"}, {"sat", "0.500000"}}));
    EXPECT_EQ(line(0)->title(), "Winter Storm Watch");
    EXPECT_EQ(line(0)->action(), "nullClick:");
    ImageRef expected = Image::create({25, 16});
    ASSERT_TRUE(plim_->weatherIcon()->renderMiscIcon(*expected, "watch.png", 0.5f));
    ASSERT_TRUE(line(0)->image());
    EXPECT_EQ(line(0)->image()->bitmap().data, expected->bitmap().data);
}

TEST_F(PlimMenuTest, RadarLinesNeedAFileOfMoreThan1023Bytes) {
    TempDir home;
    EnvScope env;
    env.set("HOME", home.path().c_str());
    const auto folder = home.path() / "Library/Application Support/Skyvane/PlimDoppler";
    std::filesystem::create_directories(folder);
    // A 16 x 20 red PPM picture whose comment pads the file to `size` bytes.
    auto writeRadar = [&](const std::string& name, size_t size) {
        const std::string head = "P6\n16 20\n255\n";
        const std::string pixels = [] {
            std::string p;
            for (int i = 0; i < 16 * 20; ++i) p += "\xE0\x10\x10";
            return p;
        }();
        const std::string comment = "#" + std::string(size - head.size() - pixels.size() - 2, 'x') + "\n";
        std::ofstream(folder / name, std::ios::binary) << "P6\n" << comment << "16 20\n255\n" << pixels;
        ASSERT_EQ(std::filesystem::file_size(folder / name), size);
    };
    writeRadar("small.ppm", 1023);
    writeRadar("radar.ppm", 1024);
    std::ofstream(folder / "broken.gif", std::ios::binary) << std::string(2000, 'G');
    // 88 KB that declare 27000 x 27000 pixels: refused from the header.
    std::filesystem::copy_file(std::filesystem::path(SKYVANE_FIXTURES_DIR) / "radar/declares-27000x27000.png",
                               folder / "huge.gif");

    for (const char* name : {"", "small.ppm", "missing.gif", "broken.gif", "huge.gif"}) {
        plim_->setMenuItem(0, record({{"type", "9"}, {"pcName", name}}));
        EXPECT_EQ(line(0)->title(), "not available") << name;
        ASSERT_TRUE(line(0)->image()) << name;
        EXPECT_EQ(line(0)->image()->size(), (Size{100, 16})) << name;
    }

    plim_->setMenuItem(1, record({{"type", "9"}, {"pcName", "radar.ppm"}}));
    EXPECT_EQ(line(1)->title(), "");
    EXPECT_EQ(line(1)->action(), "nullClick:");
    ASSERT_TRUE(line(1)->image());
    const Image& picture = *line(1)->image();
    ImageRef overlay = Image::load((fixture_.resources() / "radar_overlay.png").string());
    ASSERT_TRUE(overlay);
    EXPECT_EQ(picture.size(), overlay->size());
    const Pixel radar = picture.pixelAt(2 + 8, 9 + 10);  // inside the radar picture, inside the frame
    EXPECT_EQ(radar, (Pixel{0xE0, 0x10, 0x10, 255}));
    EXPECT_EQ(picture.pixelAt(0, 0), overlay->pixelAt(0, 0));
}

TEST_F(PlimMenuTest, MenuBarImageAndTitle) {
    plim_->setMainImageOfSet("status", "kv2-3.png");
    ASSERT_TRUE(statusItem_->image());
    EXPECT_EQ(statusItem_->image(), plim_->getImageOfSet("status", "kv2-3.png"));

    CaptureStderr err;
    plim_->setMainImageOfSet("status", "kv2-9.png");
    plim_->setMainImageOfSet("nosuchset", "kv2-1.png");
    const std::string log = err.text();
    EXPECT_NE(log.find("Could not find img for [status][kv2-9.png]"), std::string::npos) << log;
    EXPECT_NE(log.find("Could not find img for [nosuchset][kv2-1.png]"), std::string::npos) << log;
    EXPECT_EQ(statusItem_->image(), plim_->getImageOfSet("status", "kv2-3.png"));

    plim_->setMainWeatherImage(30, 1, 720, 360, 1080, 1.0f);
    ASSERT_TRUE(statusItem_->image());
    EXPECT_EQ(statusItem_->image()->size(), (Size{28, 19}));
    EXPECT_GT(opaquePixels(*statusItem_->image(), 0, 28), 400);

    plim_->setMainWeatherImage(99, 0, 720, 360, 1080, 1.0f);  // no picture for the code: blank
    EXPECT_EQ(opaquePixels(*statusItem_->image(), 0, 28), 0);

    plim_->setMainText("72\xC2\xB0", 12);
    EXPECT_EQ(statusItem_->title(), "72\xC2\xB0");
    EXPECT_EQ(statusItem_->attributedTitle().attributes().font, Font::titleBarFont(12));
}

TEST_F(PlimMenuTest, IconSetChangesOnlyWhenDifferent) {
    EXPECT_EQ(plim_->currentIconSet(), 1);
    EXPECT_EQ(plim_->weatherIcon()->styleName(), "neo");
    PlimWeatherIcon* neo = plim_->weatherIcon();
    plim_->changeIconSet(1);
    EXPECT_EQ(plim_->weatherIcon(), neo);
    plim_->changeIconSet(0);
    EXPECT_EQ(plim_->weatherIcon()->styleName(), "classic");
    plim_->changeIconSet(2);
    EXPECT_EQ(plim_->weatherIcon()->styleName(), "neo");
    EXPECT_EQ(plim_->currentIconSet(), 2);
}

TEST_F(PlimMenuTest, WorkerThreadCallsArriveThroughTheFacade) {
    MainLoop& loop = MainLoop::instance();
    MainThreadChannel channel;
    PlimMenuWrapper wrapper(channel.poster(), plim_.get());

    std::thread worker([&] {
        wrapper.addItemAtIndex(0);
        PlimMenuItem error;
        error.set(PlimMenuItem::TypeKey, PlimMenuItem::ErrorLine);
        error.set(PlimMenuItem::ErrorCodeKey, 5ul);
        wrapper.setMenuItem(0, error);
        wrapper.setMainText("    ", 14);
        wrapper.setMainImage("status", "kv2-x.png");
    });
    worker.join();
    ASSERT_TRUE(loop.runUntil([&] { return statusItem_->image() != nullptr; }, 5000));
    EXPECT_EQ(menu_->numberOfItems(), 4);
    EXPECT_EQ(line(0)->title(), "Could not contact weather site  (5)");
    EXPECT_EQ(statusItem_->image(), plim_->getImageOfSet("status", "kv2-x.png"));
    channel.close();
}

TEST_F(PlimMenuTest, ARebuildIsOneBatchOfChangesToTheMenuThatNeverOutlivesTheMenuObject) {
    MainLoop& loop = MainLoop::instance();
    MainThreadChannel channel;
    PlimMenuWrapper wrapper(channel.poster(), plim_.get());
    // The batch opens and closes with the rebuild's pool, in order with its calls.
    std::atomic<bool> goOn{false};
    std::thread worker([&] {
        wrapper.beginRefresh();
        wrapper.removeItemAtIndex(0);
        while (!goOn) std::this_thread::yield();
        wrapper.addItemAtIndex(0);
        wrapper.finishRefresh();
    });
    const bool halfway = loop.runUntil([&] { return menu_->numberOfItems() == 2; }, 5000);
    EXPECT_TRUE(halfway && menu_->isChanging());
    goOn = true;
    worker.join();
    ASSERT_TRUE(loop.runUntil([&] { return menu_->numberOfItems() == 3 && !menu_->isChanging(); }, 5000));

    wrapper.beginRefresh();  // on the main thread: at once
    EXPECT_TRUE(menu_->isChanging());
    wrapper.beginRefresh();  // the rebuild's pool is kept: no second batch
    wrapper.finishRefresh();
    EXPECT_FALSE(menu_->isChanging());
    plim_->endChanges();  // none open: nothing
    menu_->beginChanges();
    plim_->endChanges();
    EXPECT_TRUE(menu_->isChanging()) << "a batch the menu object did not open stays open";
    menu_->endChanges();

    // A rebuild whose end is lost with the channel: the menu object's end
    // closes its batch.
    wrapper.beginRefresh();
    channel.close();
    EXPECT_TRUE(menu_->isChanging());
    plim_.reset();
    EXPECT_FALSE(menu_->isChanging());
}

TEST_F(PlimMenuTest, LabelImagesAreAsWideAsTheWidestLabelNeeds) {
    plim_->setMenuItem(0, record({{"type", "4"}, {"condType", "humidity"}, {"condData", "45%"}}));
    ASSERT_TRUE(line(0)->image());
    EXPECT_EQ(line(0)->image()->size().width, 100);
    EXPECT_EQ(line(0)->imageText(), "Humidity:");
    EXPECT_EQ(line(0)->imageIcon(), nullptr);

    // A day text longer than the usual day names widens every label image.
    const std::string longDay = "This Afternoon and Evening";
    plim_->setMenuItem(1, record({{"type", "1"}, {"fcDay", longDay}, {"code", "32"}, {"fcHiLo", "75/50"},
                                  {"curMin", "720"}, {"sat", "1.0"}}));
    TextAttributes bold;
    bold.font = Font::boldSystemFont(Font::systemFontSize());
    const double needed = AttributedString(longDay, bold).size().width + 4 + 25;
    ASSERT_GT(needed, 100);
    const Image& forecast = *line(1)->image();
    EXPECT_EQ(forecast.size().width, std::ceil(needed));
    EXPECT_EQ(line(1)->imageText(), longDay);
    ASSERT_TRUE(line(1)->imageIcon());
    EXPECT_EQ(line(1)->imageIcon()->size(), (Size{25, 16}));
    // The day text starts inside the image: nothing is cut at the left edge.
    EXPECT_GT(opaquePixels(forecast, 0, 12), 0);
    const int width = forecast.pixelsWide();
    const Image& detail = *line(0)->image();
    EXPECT_EQ(detail.pixelsWide(), width);
    // Right-aligned with the 5-point margin kept.
    EXPECT_EQ(opaquePixels(detail, width - 4, width), 0);
    EXPECT_GT(opaquePixels(detail, width - 30, width - 5), 20);
    EXPECT_EQ(opaquePixels(detail, 0, width - 100), 0);

    // When the wide line goes, the label images are 100 points again.
    plim_->setMenuItem(1, record({{"type", "7"}, {"err", "4"}}));
    plim_->setMenuItem(2, record({{"type", "4"}, {"condType", "wind"}, {"condData", "N 5 MPH"}}));
    EXPECT_EQ(line(2)->image()->size().width, 100);
    EXPECT_EQ(line(0)->image()->size().width, 100);
}

TEST_F(PlimMenuTest, ToolTipNamesTheProgramThenTheCityItsConditionsAndTemperature) {
    EXPECT_EQ(statusItem_->toolTip(), "Skyvane");
    plim_->setMainText("72\xA1", 12);  // a degree sign as the engine writes it
    EXPECT_EQ(statusItem_->toolTip(), "Skyvane");
    plim_->setMenuItem(0, record({{"type", "2"}, {"code", "32"}, {"pcName", "Zürich"}, {"url", "http://w.example/z"}}));
    EXPECT_EQ(statusItem_->toolTip(), "Zürich\nSunny, 72\xC2\xB0");
    plim_->setMainText("", 12);
    EXPECT_EQ(statusItem_->toolTip(), "Zürich\nSunny");
}

TEST_F(PlimMenuTest, ToolTipFollowsTheErrorAndCityLinesOfTheMenu) {
    // A good report for one city.
    plim_->setMainText("30\xA1", 14);
    plim_->setMenuItem(0, record({{"type", "2"}, {"code", "32"}, {"pcName", "Des Moines, IA"}}));
    EXPECT_EQ(statusItem_->toolTip(), "Des Moines, IA\nSunny, 30\xC2\xB0");

    // A rebuild as a failed new city sends it: the old lines go, the title
    // becomes blanks, an error line names the new city. Within the batch
    // the tip does not change; at its end it describes the new city only.
    plim_->beginChanges();
    for (int i = 0; i < 3; ++i) plim_->removeItemAtIndex(0);
    plim_->setMainText("    ", 14);
    plim_->addItemAtIndex(0);
    plim_->setMenuItem(0, record({{"type", "7"}, {"err", "5"}, {"pcName", "Springfield, MO"}}));
    EXPECT_EQ(statusItem_->toolTip(), "Des Moines, IA\nSunny, 30\xC2\xB0");
    plim_->endChanges();
    EXPECT_EQ(line(0)->title(), "Could not contact weather site  (5)");
    EXPECT_EQ(statusItem_->toolTip(), "Springfield, MO\nCould not contact weather site  (5)");

    // The same city failing again with its older weather on show.
    plim_->beginChanges();
    plim_->removeItemAtIndex(0);
    plim_->setMainText("31\xA1", 14);
    for (unsigned i = 0; i < 2; ++i) plim_->addItemAtIndex(i);
    plim_->setMenuItem(0, record({{"type", "7"}, {"err", "3"}, {"pcName", "Springfield, MO"}}));
    plim_->setMenuItem(1, record({{"type", "2"}, {"code", "99"}, {"pcName", "Springfield, MO"}}));
    plim_->endChanges();
    EXPECT_EQ(statusItem_->toolTip(), "Springfield, MO\nWarning: Last update failed  (3)\n31\xC2\xB0");

    // The error line laid out as another kind, then the city line removed:
    // nothing of either stays in the tip.
    plim_->setMenuItem(0, record({{"type", "4"}, {"condType", "wind"}, {"condData", "N 5 MPH"}}));
    EXPECT_EQ(statusItem_->toolTip(), "Springfield, MO\n31\xC2\xB0");
    plim_->removeItemAtIndex(1);
    EXPECT_EQ(statusItem_->toolTip(), "Skyvane");

    // A failure with no city named (an empty list) names the program.
    plim_->setMenuItem(0, record({{"type", "7"}, {"err", "6"}, {"pcName", " "}}));
    EXPECT_EQ(statusItem_->toolTip(), "Skyvane\nPlease choose a US city or upgrade  (6)");
}

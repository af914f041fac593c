// Under a locale with a decimal comma the numbers the program writes for
// itself keep their decimal point, so what it reads back is what it wrote.

#include <gtest/gtest.h>

#include <algorithm>

#include "menu/MenuTestBundle.h"
#include "menu/PlimMenu.h"
#include "menu/PlimMenuItem.h"
#include "menu/PlimMenuWrapper.h"
#include "platform/PlistFile.h"
#include "platform/ui/Controls.h"
#include "support/CommaLocale.h"
#include "util/GeneralUtils.h"
#include "util/StringMap.h"

namespace {

class BareCore : public PlimCore {
public:
    explicit BareCore(Bundle& bundle) : bundle_(bundle) {}
    Bundle& bundle() override { return bundle_; }
    const plist::Dict& weatherCodeMap() override { return map_; }
    std::string shortDateFormatString() override { return "%x"; }
    std::string timeFormatString() override { return "%X"; }

private:
    Bundle& bundle_;
    plist::Dict map_;
};

// A sunny midday line of the given kind at saturation 0.5.
PlimMenuItem item(PlimMenuItem::Type type, const std::vector<std::pair<std::string, std::string>>& values) {
    PlimMenuItem line;
    line.set(PlimMenuItem::TypeKey, type);
    for (const auto& [key, value] : values) line.set(key, value);
    line.set(PlimMenuItem::WeatherCodeKey, "32");
    line.set(PlimMenuItem::CurMinKey, "720");
    line.setFloat(PlimMenuItem::SaturationKey, 0.5f);
    return line;
}

// The largest difference between the colour samples of any visible pixel:
// 0 for a gray picture.
int colourfulness(const Image& image) {
    int most = 0;
    for (int x = 0; x < image.pixelsWide(); ++x)
        for (int y = 0; y < image.pixelsHigh(); ++y) {
            const Pixel p = image.pixelAt(x, y);
            if (p.a < 128) continue;
            most = std::max({most, std::abs(p.r - p.g), std::abs(p.g - p.b), std::abs(p.r - p.b)});
        }
    return most;
}

}  // namespace

TEST(CommaLocale, IconsAtHalfSaturationKeepTheirColour) {
    MenuTestBundle fixture;
    BareCore core(fixture.bundle());
    MenuRef menu = Menu::create("theMenu");
    PlimMenu plim(menu, nullptr, fixture.bundle(), &core);
    plim.addItemAtIndex(0);
    plim.addItemAtIndex(1);

    CommaLocale german;
    ASSERT_TRUE(german.active()) << "de_DE.UTF-8 could neither be found nor compiled";

    PlimMenuItem favorite = item(PlimMenuItem::Favorite, {{PlimMenuItem::TemperatureKey, "72"},
                                                          {PlimMenuItem::CityNameKey, "Austin, TX"},
                                                          {PlimMenuItem::RiseMinKey, "360"},
                                                          {PlimMenuItem::SetMinKey, "1080"}});
    EXPECT_EQ(favorite.get(PlimMenuItem::SaturationKey), "0.500000");
    PlimMenuItem forecast =
        item(PlimMenuItem::Forecast, {{PlimMenuItem::ForecastDayKey, "Monday"}, {PlimMenuItem::ForecastHiLoKey, "75/50"}});

    plim.setMenuItem(0, PlimMenuWrapper::toDictionary(favorite));
    plim.setMenuItem(1, PlimMenuWrapper::toDictionary(forecast));
    ASSERT_TRUE(menu->itemAtIndex(0)->image());
    ASSERT_TRUE(menu->itemAtIndex(1)->image());
    EXPECT_GT(colourfulness(*menu->itemAtIndex(0)->image()), 20);
    EXPECT_GT(colourfulness(*menu->itemAtIndex(1)->image()), 20);

    // A saturation of zero is gray: the measure tells the two apart.
    favorite.setFloat(PlimMenuItem::SaturationKey, 0.0f);
    plim.setMenuItem(0, PlimMenuWrapper::toDictionary(favorite));
    EXPECT_LT(colourfulness(*menu->itemAtIndex(0)->image()), 8);

    // The helpers that read and write such numbers elsewhere.
    EXPECT_FLOAT_EQ(getHashFloat({{"sat", "0.5"}}, "sat", 0.0f), 0.5f);
    EXPECT_EQ(GeneralUtils::valueOf(0.25f), "0.250000");
    EXPECT_FLOAT_EQ(GeneralUtils::strToFloat("41.59"), 41.59f);
    Slider slider({0, 0, 100, 20});
    slider.setMinValue(0);
    slider.setMaxValue(1);
    slider.setFloatValue(0.5);
    EXPECT_EQ(slider.stringValue(), "0.5");
    slider.setStringValue("0.75");
    EXPECT_DOUBLE_EQ(slider.floatValue(), 0.75);

    // Preference files: reals are read and written with a decimal point.
    plist::Value read;
    std::string error;
    ASSERT_TRUE(plist::parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                                 "<key>saturation</key><real>0.75</real></dict></plist>",
                                 read, error))
        << error;
    EXPECT_DOUBLE_EQ(read.get("saturation").asReal(), 0.75);
    EXPECT_NE(plist::toXml(plist::Value(0.5)).find("0.5"), std::string::npos);
}

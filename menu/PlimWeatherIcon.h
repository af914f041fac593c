#pragma once
// The base of the icon styles that draw the weather icon of the menu bar,
// the favorite lines and the forecast lines: the style file, the six times
// of day and their blending around sunrise and sunset, the moon's shadow for
// the current phase, the warning pictures and the final saturation step.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/BezierPath.h"
#include "platform/Bundle.h"
#include "platform/Image.h"

class MoonData;
class PlimImageSet;
class scraperConfig;

class PlimWeatherIcon {
public:
    enum TimeOfDayState { daytime = 0, nighttime = 1, presunrise = 2, postsunrise = 3, presunset = 4, postsunset = 5 };

    // One entry of a day's table: from this minute of the day on (-1 ends
    // the table) the state holds, blending into the next entry's state.
    struct dayState {
        int minute;
        TimeOfDayState state;
    };

    // A state to draw, its block picture's file name and its opacity.
    struct State {
        TimeOfDayState state = nighttime;
        std::string imageName;
        float weight = 0.0f;
    };

    // Entries calcDayStates writes, the end marker included.
    static constexpr int kDayStateEntries = 14;
    // The size of the work picture every style draws into.
    static constexpr double kIconWidth = 28.0;
    static constexpr double kIconHeight = 19.0;

    PlimWeatherIcon(const Bundle& bundle, const std::string& name);
    PlimWeatherIcon(const PlimWeatherIcon&) = delete;
    PlimWeatherIcon& operator=(const PlimWeatherIcon&) = delete;

    // Reads the style file, the day-state pictures, the moon data and the
    // warning pictures.
    virtual void initialize();
    virtual void loadGraphics() = 0;
    virtual void unloadGraphics() = 0;
    // The one or two states to draw at minute `now` of the day; answers how many.
    virtual int getDayStates(int now, int sunrise, int sunset, State& first, State& second);
    virtual ~PlimWeatherIcon();
    // Draws the weather code into target; false when the style cannot.
    virtual bool render(Image& target, int code, int warning, int minuteOfDay, float saturation, bool small,
                        int sunrise, int sunset) = 0;
    // Draws the warning picture of that file name into target; false, with
    // nothing drawn, when there is none.
    virtual bool renderMiscIcon(Image& target, const std::string& name, float saturation);

    // The block picture's file name of the state, or "" when the style has none.
    std::string getFileNameForState(TimeOfDayState state) const;
    // Fills kDayStateEntries entries: the day's states from midnight, with
    // transitions of `transition` minutes inside twilights of `twilight`
    // minutes around sunrise and sunset.
    static void calcDayStates(dayState* table, int sunrise, int sunset, int transition, int twilight);
    // The shadow part of a moon disc of radius 1, moved to (x, y) and scaled,
    // for the moon's phase today (the day starts 8 hours late, so a night
    // keeps its date until morning); nothing at full moon.
    std::optional<BezierPath> getMoonPath(float x, float y, float scaleX, float scaleY) const;
    // The code itself in daylight (sunrise <= now <= sunset), else its night variant.
    static int sanityCheckIconCode(int code, int now, int sunrise, int sunset);
    // Draws source scaled over the whole of target at the saturation.
    static void renderFinal(const Image& source, Image& target, float saturation);

    const std::string& styleName() const { return name_; }
    bool hasMoonData() const { return moonData_ != nullptr; }

protected:
    const Bundle& bundle_;
    std::string name_;
    std::unique_ptr<scraperConfig> config_;
    std::map<std::string, std::string> dayStateImages_;  // decimal TimeOfDayState -> file name
    std::unique_ptr<MoonData> moonData_;
    std::unique_ptr<PlimImageSet> warningImages_;
};

#include "menu/PlimWeatherIcon.h"

#include <ctime>
#include <exception>
#include <iostream>

#include "menu/MoonShapes.h"
#include "menu/PlimImageSet.h"
#include "model/CodeTables.h"
#include "model/MoonData.h"
#include "scrapers/scraperConfig.h"
#include "util/Clock.h"
#include "util/FileUtils.h"

namespace {

// The times of day in state order, as the style files name their chunks.
const char* const kStateNames[] = {"daytime", "nighttime", "presunrise", "postsunrise", "presunset", "postsunset"};

// Minutes of transition between two states, and of each twilight.
constexpr int kTransition = 20;
constexpr int kTwilight = 150;

// The moon's day begins this much after midnight, so that a night keeps its
// evening's phase until the morning.
constexpr time_t kMoonDayShift = 8 * 3600;

struct tm localDay(time_t t) {
    struct tm parts {};
    localtime_r(&t, &parts);
    return parts;
}

float illuminatedOn(const MoonData& moon, time_t t) {
    const struct tm d = localDay(t);
    return moon.getPercentageIlluminatedFor(d.tm_mon + 1, d.tm_mday, d.tm_year + 1900);
}

}  // namespace

PlimWeatherIcon::PlimWeatherIcon(const Bundle& bundle, const std::string& name) : bundle_(bundle), name_(name) {}

PlimWeatherIcon::~PlimWeatherIcon() = default;

void PlimWeatherIcon::initialize() {
    const std::string styleFile = "icon_config/" + name_ + ".style";
    config_ = std::make_unique<scraperConfig>(readFile(bundle_, styleFile.c_str()));

    dayStateImages_.clear();
    for (int state = daytime; state <= postsunset; ++state) {
        std::map<std::string, std::string> chunk;
        if (config_->getDataForCode(kStateNames[state], chunk)) dayStateImages_[std::to_string(state)] = chunk["img"];
    }

    moonData_.reset();
    std::string moonText;
    const std::string moonPath = bundle_.pathForResource("moonData", "txt", "");
    if (!moonPath.empty() && FileUtils::readFile(moonPath, moonText) > 0) {
        moonData_ = std::make_unique<MoonData>(moonText);
    } else {
        std::cerr << "PlimWeatherIcon: Couldn't find moonData!" << std::endl;
    }

    warningImages_ = std::make_unique<PlimImageSet>("gfx/warnings", bundle_);
}

std::string PlimWeatherIcon::getFileNameForState(TimeOfDayState state) const {
    auto it = dayStateImages_.find(std::to_string(state));
    return it == dayStateImages_.end() ? "" : it->second;
}

void PlimWeatherIcon::calcDayStates(dayState* table, int sunrise, int sunset, int transition, int twilight) {
    const int t = transition / 2;
    const int w = twilight / 2;
    const dayState entries[kDayStateEntries] = {
        {0, nighttime},
        {sunrise - w, nighttime},
        {sunrise - w + t, presunrise},
        {sunrise - t, presunrise},
        {sunrise + t, postsunrise},
        {sunrise + w - t, postsunrise},
        {sunrise + w, daytime},
        {sunset - w, daytime},
        {sunset - w + t, presunset},
        {sunset - t, presunset},
        {sunset + t, postsunset},
        {sunset + w - t, postsunset},
        {sunset + w, nighttime},
        {-1, nighttime},
    };
    for (int i = 0; i < kDayStateEntries; ++i) table[i] = entries[i];
}

int PlimWeatherIcon::getDayStates(int now, int sunrise, int sunset, State& first, State& second) {
    dayState table[kDayStateEntries];
    calcDayStates(table, sunrise, sunset, kTransition, kTwilight);

    const dayState* passed = nullptr;
    int i = 0;
    while (table[i].minute >= 0 && table[i].minute < now) passed = &table[i++];
    const dayState& current = table[i];

    auto only = [&](TimeOfDayState state) {
        first = {state, getFileNameForState(state), 1.0f};
        return 1;
    };
    if (current.minute < 0) return only(nighttime);
    if (!passed || passed->state == current.state || passed->minute == current.minute) return only(current.state);

    const float e = static_cast<float>(now - passed->minute) / static_cast<float>(current.minute - passed->minute);
    first = {passed->state, getFileNameForState(passed->state), 1.0f - e};
    second = {current.state, getFileNameForState(current.state), e};
    return 2;
}

std::optional<BezierPath> PlimWeatherIcon::getMoonPath(float x, float y, float scaleX, float scaleY) const {
    // Without the table the phase is unknown: the moon is drawn unshaded.
    if (!moonData_) return std::nullopt;
    const time_t moonNow = Clock::now() - kMoonDayShift;
    const float p = illuminatedOn(*moonData_, moonNow);
    const float q = illuminatedOn(*moonData_, moonNow - 24 * 3600);

    AffineTransform transform;
    transform.translate(x, y);
    transform.scale(scaleX, scaleY);

    BezierPath path;
    if (p == 0.0f) {
        path = ellipseWithLeftWidth(1.0f, 1.0f);
    } else if (p == 1.0f) {
        return std::nullopt;
    } else {
        const float k = 1.0f - 2.0f * p;
        if (p > q) {
            path = ellipseWithLeftWidth(1.0f, k);
            transform.rotateByDegrees(-30);
        } else {
            path = ellipseWithLeftWidth(k, 1.0f);
            transform.rotateByDegrees(30);
        }
    }
    path.transform(transform);
    return path;
}

int PlimWeatherIcon::sanityCheckIconCode(int code, int now, int sunrise, int sunset) {
    if (sunrise <= now && now <= sunset) return code;
    const std::string night = dayIconToNightIcon(std::to_string(code));
    if (night.empty()) return code;
    try {
        size_t used = 0;
        const int value = std::stoi(night, &used);
        return used == night.size() ? value : code;
    } catch (const std::exception&) {
        return code;
    }
}

void PlimWeatherIcon::renderFinal(const Image& source, Image& target, float saturation) {
    ImageRef scaled = Image::create(target.size());
    if (!scaled) return;
    scaled->drawScaled(source, Rect({0, 0}, target.size()));
    ImageRef saturated = scaled->imageWithSaturation(saturation);
    target.composite(saturated ? *saturated : *scaled, {0, 0});
}

bool PlimWeatherIcon::renderMiscIcon(Image& target, const std::string& name, float saturation) {
    ImageRef picture = warningImages_ ? warningImages_->imageForKey(name) : nullptr;
    if (!picture) return false;
    ImageRef work = Image::create({kIconWidth, kIconHeight});
    work->composite(*picture, {0, 0});
    renderFinal(*work, target, saturation);
    return true;
}

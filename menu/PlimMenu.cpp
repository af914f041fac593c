#include "menu/PlimMenu.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <charconv>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <strings.h>

#include "menu/ClassicPlimIcon.h"
#include "menu/NeoPlimIcon.h"
#include "menu/PlimImageSet.h"
#include "menu/PlimMenuItem.h"
#include "platform/Tasks.h"
#include "platform/UserLocale.h"
#include "util/DisplayText.h"
#include "util/FileUtils.h"
#include "util/teskThread.h"

namespace {

constexpr const char* kStringTable = "Skyvane";
constexpr const char* kRadarFolder = "Library/Application Support/Skyvane/PlimDoppler/";
// A radar file this long or shorter is an error page or a partial write.
constexpr int kSmallestRadarImage = 1024;
// Label images are never narrower than this, in points.
constexpr double kLeastLabelWidth = 100;

const std::string& value(const plist::Dict& dict, const std::string& key) {
    static const std::string empty;
    auto it = dict.find(key);
    return it != dict.end() && it->second.isString() ? it->second.asString() : empty;
}

// The leading decimal number of the text, as the menu's records carry it; 0 when there is none.
long intValue(const plist::Dict& dict, const std::string& key) {
    return std::strtol(value(dict, key).c_str(), nullptr, 10);
}

// A line's weather code; NoWeatherCode when its report gave none.
int codeValue(const plist::Dict& dict, const std::string& key) {
    return value(dict, key).empty() ? PlimMenuItem::NoWeatherCode : static_cast<int>(intValue(dict, key));
}

float floatValue(const plist::Dict& dict, const std::string& key) {
    const std::string& text = value(dict, key);
    // Records are written with a decimal point whatever the user's locale.
    float result = 0.0f;
    const char* begin = text.c_str();
    while (*begin == ' ') ++begin;
    std::from_chars(begin, text.c_str() + text.size(), result);
    return result;
}

std::string capitalized(std::string text) {
    bool wordStart = true;
    for (char& c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
            c = static_cast<char>(wordStart ? std::toupper(u) : std::tolower(u));
            wordStart = false;
        } else {
            wordStart = u < 0x80;  // bytes of a multi-byte character stay inside the word
        }
    }
    return text;
}

std::string firstOf(const std::vector<std::string>& list) { return list.empty() ? "" : list.front(); }

// The text without blanks and line breaks at either end.
std::string trimmed(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

const char* const kEnglishDays[7][2] = {{"Sun", "Sunday"},     {"Mon", "Monday"}, {"Tue", "Tuesday"},
                                        {"Wed", "Wednesday"},  {"Thu", "Thursday"}, {"Fri", "Friday"},
                                        {"Sat", "Saturday"}};

}  // namespace

PlimMenu::PlimMenu(MenuRef menu, PlimStatusItem* item, Bundle& bundle, PlimCore* plim)
    : menu_(std::move(menu)), item_(item), bundle_(bundle), plimRef_(plim), labelWidth_(kLeastLabelWidth) {
    images_["status"] = std::make_unique<PlimImageSet>("gfx/status", bundle_);
    changeIconSet(1);
    menuStringAttributes_.font = Font::boldSystemFont(Font::systemFontSize());

    auto locale = UserLocale::current();
    todayCap_ = firstOf(locale->thisDayDesignations());
    tomorrowCap_ = firstOf(locale->nextDayDesignations());
    const std::string firstDay = firstOf(locale->shortWeekdayNames());
    if (!firstDay.empty() && std::isupper(static_cast<unsigned char>(firstDay[0]))) {
        todayCap_ = capitalized(todayCap_);
        tomorrowCap_ = capitalized(tomorrowCap_);
    }
    programName_ = bundle_.objectForInfoDictionaryKey("CFBundleName").stringOr("");
    if (programName_.empty()) programName_ = "Skyvane";
    updateToolTip();
}

PlimMenu::~PlimMenu() {
    // A rebuild cut short (its end dropped with the channel) must not leave
    // the menu held.
    while (openChanges_ > 0) endChanges();
}

void PlimMenu::beginChanges() {
    ++openChanges_;
    menu_->beginChanges();
}

void PlimMenu::endChanges() {
    if (openChanges_ == 0) return;
    --openChanges_;
    menu_->endChanges();
    updateToolTip();
}

void PlimMenu::changeIconSet(int set) {
    if (set == currentIconSet_) return;
    weatherIcon_.reset();
    if (set != 0) weatherIcon_ = std::make_unique<NeoPlimIcon>(bundle_);
    else weatherIcon_ = std::make_unique<ClassicPlimIcon>(bundle_);
    currentIconSet_ = set;
}

ImageRef PlimMenu::getImageOfSet(const std::string& set, const std::string& key) const {
    auto it = images_.find(set);
    return it == images_.end() ? nullptr : it->second->imageForKey(key);
}

void PlimMenu::setMainImageOfSet(const std::string& set, const std::string& key) {
    ImageRef image = getImageOfSet(set, key);
    if (!image) {
        std::cerr << "PlimMenu: Could not find img for [" << set << "][" << key << "]" << std::endl;
        return;
    }
    if (item_) item_->setImage(std::move(image));
}

void PlimMenu::setMainWeatherImage(int code, int warning, int minuteOfDay, int sunrise, int sunset,
                                   float saturation) {
    ImageRef image = weatherPicture({PlimWeatherIcon::kIconWidth, PlimWeatherIcon::kIconHeight}, code, warning,
                                    minuteOfDay, saturation, false, sunrise, sunset);
    if (item_) item_->setImage(std::move(image));
}

ImageRef PlimMenu::weatherPicture(Size size, int code, int warning, int minuteOfDay, float saturation, bool small,
                                  int sunrise, int sunset) const {
    ImageRef image = Image::create(size);
    // No code, or one the style cannot draw, leaves the picture blank.
    if (code != PlimMenuItem::NoWeatherCode)
        weatherIcon_->render(*image, code, warning, minuteOfDay, saturation, small, sunrise, sunset);
    return image;
}

void PlimMenu::setMainText(const std::string& text, float size) {
    TextAttributes attributes;
    attributes.font = Font::titleBarFont(size);
    if (item_) item_->setAttributedTitle(AttributedString(text, attributes));
    // The failure picture's title is blanks: no temperature.
    tipTemperature_ = trimmed(toDisplayText(text));
    updateToolTip();
}

bool PlimMenu::inMenu(const std::weak_ptr<MenuItem>& line) const {
    auto shown = line.lock();
    return shown && shown->menu() == menu_.get();
}

void PlimMenu::updateToolTip() {
    if (!item_ || openChanges_ > 0) return;  // the batch's end composes it
    const bool weather = inMenu(cityLine_);
    const bool failure = inMenu(errorLine_) && !tipFailure_.empty();
    // The city line names the city whose weather is shown; without one the
    // error line names the city that failed.
    const std::string city = weather ? tipCity_ : failure ? tipFailureCity_ : "";
    if (!weather && !failure) {
        item_->setToolTip(programName_);
        return;
    }
    std::string tip = city.empty() ? programName_ : city;
    if (failure) tip += "\n" + tipFailure_;
    if (weather) {
        std::string conditions = tipConditions_;
        if (!conditions.empty() && !tipTemperature_.empty()) conditions += ", ";
        conditions += tipTemperature_;
        if (!conditions.empty()) tip += "\n" + conditions;
    }
    item_->setToolTip(tip);
}

void PlimMenu::addItemAtIndex(unsigned int index) {
    AutoreleasePool pool;
    MenuItemRef line = MenuItem::create("");
    line->setEnabled(true);
    line->setTarget(this);
    line->setAction("nullClick:", [this](MenuItem& sender) { nullClick(sender); });
    menu_->insertItem(line, static_cast<int>(index));
}

void PlimMenu::removeItemAtIndex(unsigned int index) {
    AutoreleasePool pool;
    menu_->removeItemAtIndex(static_cast<int>(index));
    updateToolTip();  // the city or the error line may have gone
}

void PlimMenu::setMenuItem(unsigned int index, const plist::Dict& dict) {
    AutoreleasePool pool;
    const int at = static_cast<int>(index);
    MenuItemRef line = menu_->itemAtIndex(at);
    if (!line) {
        std::cerr << "PlimMenu: no menu line at index [" << index << "]" << std::endl;
        return;
    }
    // A line laid out anew is a label line again only if its new kind says so.
    std::erase_if(labelLines_, [&line](const LabelLine& l) { return l.item.lock() == line; });
    // Likewise the city line and the error line of the tool tip.
    const bool wasTipLine = cityLine_.lock() == line || errorLine_.lock() == line;
    if (cityLine_.lock() == line) cityLine_.reset();
    if (errorLine_.lock() == line) errorLine_.reset();
    switch (intValue(dict, PlimMenuItem::TypeKey)) {
        case PlimMenuItem::Forecast:
            setForecastItem(*line, value(dict, PlimMenuItem::ForecastDayKey),
                            codeValue(dict, PlimMenuItem::WeatherCodeKey),
                            value(dict, PlimMenuItem::ForecastHiLoKey),
                            static_cast<int>(intValue(dict, PlimMenuItem::CurMinKey)),
                            floatValue(dict, PlimMenuItem::SaturationKey));
            break;
        case PlimMenuItem::PrimaryCity:
            setCityItem(*line, codeValue(dict, PlimMenuItem::WeatherCodeKey),
                        value(dict, PlimMenuItem::CityNameKey), value(dict, PlimMenuItem::URLKey));
            break;
        case PlimMenuItem::UpdateTime: setUpdateTimeItem(*line, intValue(dict, PlimMenuItem::TimeKey)); break;
        case PlimMenuItem::Condition:
            setConditionItem(*line, value(dict, PlimMenuItem::ConditionTypeKey),
                             value(dict, PlimMenuItem::ConditionDataKey), value(dict, PlimMenuItem::URLKey));
            break;
        case PlimMenuItem::Separator: setSeparatorItem(at); break;
        case PlimMenuItem::Favorite:
            setFavoriteItem(*line, value(dict, PlimMenuItem::CityNameKey), value(dict, PlimMenuItem::TemperatureKey),
                            codeValue(dict, PlimMenuItem::WeatherCodeKey),
                            static_cast<int>(intValue(dict, PlimMenuItem::WarnCodeKey)),
                            value(dict, PlimMenuItem::URLKey),
                            static_cast<int>(intValue(dict, PlimMenuItem::CurMinKey)),
                            static_cast<int>(intValue(dict, PlimMenuItem::RiseMinKey)),
                            static_cast<int>(intValue(dict, PlimMenuItem::SetMinKey)),
                            floatValue(dict, PlimMenuItem::SaturationKey));
            break;
        case PlimMenuItem::ErrorLine:
            setErrorItem(*line, static_cast<int>(intValue(dict, PlimMenuItem::ErrorCodeKey)));
            errorLine_ = line;
            tipFailure_ = trimmed(line->title());
            tipFailureCity_ = trimmed(value(dict, PlimMenuItem::CityNameKey));
            break;
        case PlimMenuItem::Warning:
            setWarningItem(*line, value(dict, PlimMenuItem::WarnTypeKey), value(dict, PlimMenuItem::WarnSeverityKey),
                           value(dict, PlimMenuItem::URLKey), floatValue(dict, PlimMenuItem::SaturationKey));
            break;
        case PlimMenuItem::Radar: setRadarItem(*line, value(dict, PlimMenuItem::CityNameKey)); break;
        default: break;
    }
    if (wasTipLine || cityLine_.lock() == line || errorLine_.lock() == line) updateToolTip();
}

std::string PlimMenu::localizedDateFor(const std::string& text) const {
    const std::vector<std::string> names = UserLocale::current()->shortWeekdayNames();
    for (int day = 0; day < 7; ++day) {
        if (strcasecmp(text.c_str(), kEnglishDays[day][0]) == 0 || strcasecmp(text.c_str(), kEnglishDays[day][1]) == 0)
            return day < static_cast<int>(names.size()) ? names[day] : text;
    }
    if (strcasecmp(text.c_str(), "today") == 0) return todayCap_;
    if (strcasecmp(text.c_str(), "tomorrow") == 0) return tomorrowCap_;
    return text;
}

void PlimMenu::menuItemClicked(MenuItem& item) {
    const std::string url = item.representedObject().stringOr("");
    if (!url.empty()) openURL(url);
}

std::string PlimMenu::errorText(int code) {
    switch (code) {
        case PlimMenuItem::ReadError: return "Problem reading weather site";
        case PlimMenuItem::LastUpdateFailed: return "Warning: Last update failed";
        case PlimMenuItem::NoConnection: return "Check your internet connection";
        case PlimMenuItem::NoContact: return "Could not contact weather site";
        case PlimMenuItem::NoLocationKey: return "Please choose a US city or upgrade";
        default: return "Unknown problem occurred";
    }
}

std::string PlimMenu::localized(const std::string& key) const {
    const Bundle& strings = plimRef_ ? plimRef_->bundle() : bundle_;
    return strings.localizedString(key, "", kStringTable);
}

std::string PlimMenu::conditionDescription(int code) const {
    if (!plimRef_) return "";
    const plist::Dict& map = plimRef_->weatherCodeMap();
    auto entry = map.find(std::to_string(code));
    if (entry == map.end() || !entry->second.isDict()) return "";
    const std::string description = entry->second.get("DescriptionString").stringOr("");
    return description.empty() ? "" : localized(description);
}

void PlimMenu::opensURL(MenuItem& item, const std::string& url) {
    item.setRepresentedObject(plist::Value(url));
    item.setTarget(this);
    item.setAction("menuItemClicked:", [this](MenuItem& sender) { menuItemClicked(sender); });
}

void PlimMenu::setForecastItem(MenuItem& item, const std::string& day, int code, const std::string& hiLo,
                               int minuteOfDay, float saturation) {
    const std::string dayText = localizedDateFor(day);
    const std::string condition = conditionDescription(code);
    const std::string title = condition.empty() ? hiLo : condition + ", " + hiLo;

    // Forecasts have no sun times: the day runs from 06:00 to 18:00.
    ImageRef icon = weatherPicture({25, 16}, code, 0, minuteOfDay, saturation, true, 360, 1080);

    showLabelImage(item, dayText, icon, 18, 4);
    item.setTitle(title);
    item.setEnabled(true);
}

double PlimMenu::LabelLine::neededWidth() const {
    return text.size().width + gap + (icon ? static_cast<int>(icon->size().width) : 0);
}

void PlimMenu::showLabelImage(MenuItem& item, const std::string& text, ImageRef icon, double height, double gap) {
    // Lines that left the menu no longer count.
    std::erase_if(labelLines_, [this, &item](const LabelLine& line) {
        auto shown = line.item.lock();
        return !shown || shown.get() == &item || shown->menu() != menu_.get();
    });
    labelLines_.push_back({item.weak_from_this(), AttributedString(text, menuStringAttributes_), std::move(icon),
                           height, gap});

    double widest = kLeastLabelWidth;
    for (const LabelLine& line : labelLines_) widest = std::max(widest, std::ceil(line.neededWidth()));
    if (widest != labelWidth_) {
        labelWidth_ = widest;
        for (const LabelLine& line : labelLines_) drawLabelImage(line);
    } else {
        drawLabelImage(labelLines_.back());
    }
}

void PlimMenu::drawLabelImage(const LabelLine& line) const {
    auto item = line.item.lock();
    if (!item) return;
    item->setLabelPicture({{labelWidth_, line.height}, line.text, line.gap, line.icon});
}

void PlimMenu::setCityItem(MenuItem& item, int code, const std::string& city, const std::string& url) {
    const std::string condition = conditionDescription(code);
    item.setTitle(condition.empty() ? city : condition + ": " + city);
    // Parts from different texts may come in different encodings: each is
    // made displayable on its own.
    cityLine_ = item.weak_from_this();
    tipCity_ = trimmed(toDisplayText(city));
    tipConditions_ = trimmed(toDisplayText(condition));
    opensURL(item, url);
}

void PlimMenu::setUpdateTimeItem(MenuItem& item, long time) {
    const time_t when = static_cast<time_t>(time);
    struct tm local {};
    localtime_r(&when, &local);
    auto format = [&local](const std::string& pattern) {
        char text[128];
        const size_t n = pattern.empty() ? 0 : std::strftime(text, sizeof text, pattern.c_str(), &local);
        return std::string(text, n);
    };
    const std::string date = format(plimRef_ ? plimRef_->shortDateFormatString() : "%x");
    const std::string clock = format(plimRef_ ? plimRef_->timeFormatString() : "%X");
    item.setTitle(localized("updated") + " " + date + " " + clock);
    item.setTarget(nullptr);
}

void PlimMenu::setConditionItem(MenuItem& item, const std::string& label, const std::string& data,
                                const std::string& url) {
    showLabelImage(item, localized(label), nullptr, 16, 5);
    item.setTitle(data);
    item.setTarget(this);
    if (!url.empty()) opensURL(item, url);
}

void PlimMenu::setSeparatorItem(int index) {
    menu_->removeItemAtIndex(index);
    menu_->insertItem(MenuItem::separatorItem(), index);
}

void PlimMenu::setFavoriteItem(MenuItem& item, const std::string& city, const std::string& temp, int code,
                               int warning, const std::string& url, int minuteOfDay, int sunrise, int sunset,
                               float saturation) {
    ImageRef icon = weatherPicture({25, 16}, code, warning, minuteOfDay, saturation, false, sunrise, sunset);
    item.setImage(icon);
    item.setTitle(temp + "  " + city);
    opensURL(item, url);
}

void PlimMenu::setErrorItem(MenuItem& item, int code) {
    item.setTitle(errorText(code) + "  (" + std::to_string(code) + ")");
    item.setTarget(nullptr);
}

void PlimMenu::setWarningItem(MenuItem& item, const std::string& type, const std::string& severity,
                              const std::string& url, float saturation) {
    ImageRef icon = Image::create({25, 16});
    weatherIcon_->renderMiscIcon(*icon, severity + ".png", saturation);
    item.setImage(icon);
    item.setTitle(localized(type) + " " + localized(severity));
    if (!url.empty()) opensURL(item, url);
}

void PlimMenu::setRadarItem(MenuItem& item, const std::string& fileName) {
    ImageRef radar;
    if (!fileName.empty()) {
        const std::string path = getUserHomeDirectory() + kRadarFolder + fileName;
        if (FileUtils::getFileLen(path) >= kSmallestRadarImage) radar = Image::load(path);
    }
    // No file, a short one, one that does not read as an image (it may be
    // replaced while we look), or one declaring a picture past the load bound
    // (refused from its header, never decoded): say so instead of a picture.
    if (!radar) {
        setConditionItem(item, "Radar", "not available", "");
        return;
    }
    const std::string overlayPath = bundle_.pathForResource("radar_overlay", "png", "");
    ImageRef overlay = overlayPath.empty() ? nullptr : Image::load(overlayPath);
    ImageRef picture = Image::create(overlay ? overlay->size() : Size{radar->size().width + 2, radar->size().height + 9});
    picture->composite(*radar, {2, 9});
    if (overlay) picture->composite(*overlay, {0, 0});
    item.setImage(picture);
}

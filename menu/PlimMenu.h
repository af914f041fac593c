#pragma once
// The weather part of the status menu and the menu-bar item's image and
// title, on the main thread. Worker threads reach it through PlimMenuWrapper;
// each menu line is laid out from a menu-line record by its type, and weather
// icons are drawn by the current icon style.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "menu/PlimCore.h"
#include "menu/PlimMenuTarget.h"
#include "menu/PlimWeatherIcon.h"
#include "platform/AttributedString.h"
#include "platform/Menu.h"

class PlimImageSet;

class PlimMenu : public PlimMenuTarget {
public:
    // The menu the weather lines go into, the item that shows the icon and
    // title (not owned; it outlives the menu object), the program's bundle
    // and the application core (not owned). Starts with the neo icon style.
    PlimMenu(MenuRef menu, PlimStatusItem* item, Bundle& bundle, PlimCore* plim);
    ~PlimMenu() override;

    // PlimMenuTarget
    void setMainImageOfSet(const std::string& set, const std::string& key) override;
    void setMainWeatherImage(int code, int warning, int minuteOfDay, int sunrise, int sunset,
                             float saturation) override;
    void setMainText(const std::string& text, float size) override;
    void addItemAtIndex(unsigned int index) override;
    void removeItemAtIndex(unsigned int index) override;
    void changeIconSet(int set) override;
    void setMenuItem(unsigned int index, const plist::Dict& dict) override;
    void beginChanges() override;
    void endChanges() override;

    // The image of that file name in the named set, or null.
    ImageRef getImageOfSet(const std::string& set, const std::string& key) const;
    // English day names (any case) become the user's short day names,
    // "today" and "tomorrow" the user's words; anything else is unchanged.
    std::string localizedDateFor(const std::string& text) const;
    // Opens the line's web address.
    void menuItemClicked(MenuItem& item);
    void nullClick(MenuItem&) {}
    void prepare(const plist::Dict& data) { prepareData_ = data; }

    // The menu text of an error code.
    static std::string errorText(int code);
    PlimWeatherIcon* weatherIcon() const { return weatherIcon_.get(); }
    int currentIconSet() const { return currentIconSet_; }

private:
    // A picture of the size with the weather icon of the code drawn in it.
    ImageRef weatherPicture(Size size, int code, int warning, int minuteOfDay, float saturation, bool small,
                            int sunrise, int sunset) const;
    void setForecastItem(MenuItem& item, const std::string& day, int code, const std::string& hiLo, int minuteOfDay,
                         float saturation);
    void setCityItem(MenuItem& item, int code, const std::string& city, const std::string& url);
    void setUpdateTimeItem(MenuItem& item, long time);
    void setConditionItem(MenuItem& item, const std::string& label, const std::string& data, const std::string& url);
    void setSeparatorItem(int index);
    void setFavoriteItem(MenuItem& item, const std::string& city, const std::string& temp, int code, int warning,
                         const std::string& url, int minuteOfDay, int sunrise, int sunset, float saturation);
    void setErrorItem(MenuItem& item, int code);
    void setWarningItem(MenuItem& item, const std::string& type, const std::string& severity, const std::string& url,
                        float saturation);
    void setRadarItem(MenuItem& item, const std::string& fileName);

    // A line's label image: the text right-aligned, then `gap` points, then
    // the icon (if any) at the right edge. All label images of the menu are
    // as wide as the widest of them needs, and never narrower than 100 points.
    struct LabelLine {
        std::weak_ptr<MenuItem> item;
        AttributedString text;
        ImageRef icon;
        double height = 0;
        double gap = 0;
        double neededWidth() const;
    };
    // The status item's tool tip follows the menu's lines: the program's
    // name while neither a city line nor an error line is shown; else the
    // city they are about, the error line's text when there is one, and the
    // city line's conditions with the title's temperature. Within a batch of
    // changes it is composed once, when the batch ends.
    void updateToolTip();
    bool inMenu(const std::weak_ptr<MenuItem>& line) const;
    void showLabelImage(MenuItem& item, const std::string& text, ImageRef icon, double height, double gap);
    void drawLabelImage(const LabelLine& line) const;

    std::string localized(const std::string& key) const;
    std::string conditionDescription(int code) const;
    void opensURL(MenuItem& item, const std::string& url);

    MenuRef menu_;
    PlimStatusItem* item_;
    Bundle& bundle_;
    std::map<std::string, std::unique_ptr<PlimImageSet>> images_;
    PlimCore* plimRef_;
    TextAttributes menuStringAttributes_;
    std::unique_ptr<PlimWeatherIcon> weatherIcon_;
    int currentIconSet_ = -1;
    plist::Dict prepareData_;
    std::string todayCap_;
    std::string tomorrowCap_;
    std::vector<LabelLine> labelLines_;
    std::string programName_;
    std::weak_ptr<MenuItem> cityLine_;   // the primary city's line
    std::weak_ptr<MenuItem> errorLine_;  // the error line
    std::string tipCity_;         // the city line's city
    std::string tipConditions_;   // and its conditions
    std::string tipFailure_;      // the error line's text
    std::string tipFailureCity_;  // the city the error is about
    std::string tipTemperature_;  // the menu-bar title
    double labelWidth_;
    int openChanges_ = 0;  // batches begun on menu_ and not yet ended
};

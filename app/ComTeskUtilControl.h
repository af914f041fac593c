#pragma once
// The application services that the menu program and the setup application
// share: the preference store, the about box, the e-mail signup window,
// opening web pages by key, the background version fetch, child tasks and the
// user's time and short-date formats. Its windows come from the
// user-interface file "Util", loaded on first need.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/MainLoop.h"
#include "platform/ui/Controls.h"
#include "platform/ui/UIFile.h"
#include "platform/ui/Window.h"
#include "util/plist/Value.h"

class ComTeskAppControl;
class MenuItem;
class PreferenceStore;

class ComTeskUtilControl : public UIOwner {
public:
    ComTeskUtilControl();
    ~ComTeskUtilControl() override;

    // Keeps the application (not owned) and shows the bundle's version.
    ComTeskUtilControl& initWithApp(ComTeskAppControl* app);
    ComTeskAppControl* app() const { return appRef_; }

    // Loads "Util" once; whether it is loaded.
    bool loadMyNib();

    void aboutAction(void* sender);
    // Opens the web page of the item's tag (nothing for a negative tag).
    void showUrl(const MenuItem& item);
    // Closes the window of the sender (ending it first when it is a sheet).
    void doneWithWindow(Control& sender);
    void emailAction(void* sender);
    void emailSheetAction(void* sender);
    void emailSignup(Control& sender);

    // Fetches the version file on a detached thread and reports it to the
    // application on the main thread; nothing is reported once this object is gone.
    void checkForUpdate();
    void loadUrlInBackground(const std::string& url);

    // Runs the program with the arguments and answers its standard output;
    // nothing when it could not run or wrote nothing.
    static std::optional<std::string> runTask(const std::string& launchPath, const std::vector<std::string>& args);
    // The user's time format without seconds (with an AM/PM mark when the
    // hours count to 12) and date format with short day and month names.
    static std::string getTimeFormatString();
    static std::string getShortDateFormatString();
    // The same rules applied to given formats.
    static std::string timeFormatWithoutSeconds(const std::string& format);
    static std::string shortDateFormat(const std::string& format);

    // The stored preferences; nothing when the domain holds no keys.
    std::optional<plist::Dict> copyPrefs();
    // Adds the bundle's default for every key the dictionary lacks.
    void fillPrefHoles(plist::Dict& prefs);
    // Replaces the whole stored set by the dictionary; an alert tells the
    // user when it could not be saved. Whether it was saved.
    bool writePrefs(const plist::Dict& prefs);

    // Connected by the "Util" user-interface file.
    WindowRef aboutWindow;
    std::shared_ptr<Button> aboutImageButton;
    std::shared_ptr<TextField> aboutTitleText;
    std::shared_ptr<TextField> aboutVersionText;
    std::shared_ptr<TextField> aboutCopyrightText;
    std::shared_ptr<Button> aboutButton;
    std::shared_ptr<TextView> aboutCreditsTV;
    std::shared_ptr<TextField> emailTF;
    WindowRef emailWindow;
    std::shared_ptr<TextField> versionLine;

private:
    PreferenceStore* store();
    // Logs a preference file the store set aside as damaged and tells the
    // user in an alert (the store reports each file once).
    void tellIfSetAside(PreferenceStore& prefs);
    std::string localized(const std::string& key) const;
    void showEmailError(const std::string& key, bool closeAfter, Control& sender);
    void updateVersionLine();

    ComTeskAppControl* appRef_ = nullptr;
    bool nibLoaded_ = false;
    MainThreadChannel versionChannel_;  // closed at destruction
};

// Registers the "Util" user-interface file (done once, before the first load).
void registerUtilUIFile();

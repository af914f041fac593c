#include "app/ComTeskUtilControl.h"

#include <cctype>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <thread>

#include "app/ComTeskAppControl.h"
#include "util/LocalizedFormat.h"
#include "app/RtfText.h"
#include "platform/Bundle.h"
#include "platform/Menu.h"
#include "platform/PlistFile.h"
#include "platform/PreferenceStore.h"
#include "platform/Tasks.h"
#include "platform/UserLocale.h"
#include "platform/ui/Alert.h"
#include "util/UrlUtils.h"
#include "util/teskThread.h"

namespace {

constexpr int kUrlVersionFile = 6;
constexpr int kUrlHomePage = 2;
constexpr int kRequestTimeoutSecs = 30;

// A page fetched directly; false when it could not be fetched or the server
// answered with an error status.
bool fetch(const std::string& url, std::string& body) {
    UrlUtils urls;
    std::string redirect, header;
    if (!urls.accessUrlWithPlimLib(url, redirect, header, body, kRequestTimeoutSecs, true, "", 0)) return false;
    int status = 0;
    return !urls.getHeaderStatus(header, status) || status < 400;
}

std::string percentEncode(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string infoString(Bundle& bundle, const char* key) {
    const plist::Value v = bundle.objectForInfoDictionaryKey(key);
    return v.isString() ? v.asString() : "";
}

bool hasInfoString(Bundle& bundle, const char* key) { return bundle.objectForInfoDictionaryKey(key).isString(); }

std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The composite conversions of the C library written out, so that the rules
// below see the seconds and the AM/PM mark they hold.
std::string expandCompositeFormats(const std::string& format) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char c = format[++i];
        switch (c) {
            case 'r': out += "%I:%M:%S %p"; break;
            case 'T': out += "%H:%M:%S"; break;
            case 'R': out += "%H:%M"; break;
            case 'D': out += "%m/%d/%y"; break;
            default:
                out += '%';
                out += c;
        }
    }
    return out;
}

void replaceFirst(std::string& text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    if (at != std::string::npos) text.replace(at, what.size(), with);
}

// Reads the version file and hands its text to the application through the
// poster (at once when called on the main thread). A failed fetch reports nothing.
void fetchVersion(ComTeskAppControl* app, const MainThreadPoster& poster, const std::string& url) {
    AutoreleasePool pool;
    std::string body;
    if (!app || !fetch(url, body)) return;
    for (unsigned char c : body)
        if (c > 127) return;  // not ASCII: no version text
    if (body.size() < 2) {
        std::cerr << "versionAvail is short: " << body << std::endl;
        return;
    }
    poster.post([app, body] { app->versionAvailable(plist::Value(body)); });
}

}  // namespace

ComTeskUtilControl::ComTeskUtilControl() {
    static std::once_flag registered;
    std::call_once(registered, registerUtilUIFile);
}

ComTeskUtilControl::~ComTeskUtilControl() { appRef_ = nullptr; }

ComTeskUtilControl& ComTeskUtilControl::initWithApp(ComTeskAppControl* app) {
    appRef_ = app;
    updateVersionLine();
    return *this;
}

void ComTeskUtilControl::updateVersionLine() {
    if (!nibLoaded_ || !versionLine || !appRef_) return;
    Bundle& bundle = appRef_->bundle();
    versionLine->setStringValue(hasInfoString(bundle, "CFBundleVersion") ? "v" + infoString(bundle, "CFBundleVersion")
                                                                          : "v?.??");
}

bool ComTeskUtilControl::loadMyNib() {
    if (nibLoaded_) return true;
    nibLoaded_ = loadUIFile("Util", *this);
    if (nibLoaded_) updateVersionLine();
    return nibLoaded_;
}

std::string ComTeskUtilControl::localized(const std::string& key) const {
    return appRef_ ? appRef_->bundle().localizedString(key, "", "Util") : key;
}

void ComTeskUtilControl::aboutAction(void*) {
    if (!appRef_ || !loadMyNib()) return;
    Bundle& bundle = appRef_->bundle();
    if (hasInfoString(bundle, "CFBundleName")) {
        const std::string name = infoString(bundle, "CFBundleName");
        if (aboutTitleText) aboutTitleText->setStringValue(name);
        // The format leaves room for a version; the box's title has none, so
        // the blank before it goes too.
        std::string title = formatWithArguments(localized("about"), {name, ""});
        while (!title.empty() && std::isspace(static_cast<unsigned char>(title.back()))) title.pop_back();
        if (aboutWindow) aboutWindow->setTitle(title);
    }
    if (hasInfoString(bundle, "CFBundleVersion") && aboutVersionText)
        aboutVersionText->setStringValue("v" + infoString(bundle, "CFBundleVersion"));
    if (hasInfoString(bundle, "NSHumanReadableCopyright") && aboutCopyrightText)
        aboutCopyrightText->setStringValue(infoString(bundle, "NSHumanReadableCopyright"));
    if (aboutButton) aboutButton->setTitle(localized("ok"));
    if (aboutImageButton) {
        std::string icon = infoString(bundle, "CFBundleIconFile");
        std::string path = icon.empty() ? "" : bundle.pathForResource(icon, "", "");
        if (path.empty() && !icon.empty()) path = bundle.pathForResource(icon, "png", "");
        if (!path.empty()) aboutImageButton->setImage(Image::load(path));
    }
    if (aboutCreditsTV) {
        const std::string credits = bundle.pathForResource("Credits", "rtf", "");
        if (!credits.empty()) aboutCreditsTV->setString(rtfToPlainText(readWholeFile(credits)));
        aboutCreditsTV->setAlignment(TextAlignment::Center);
    }
    if (aboutWindow) aboutWindow->makeKeyAndOrderFront();
}

void ComTeskUtilControl::showUrl(const MenuItem& item) {
    if (item.tag() < 0 || !appRef_) return;
    openURL(appRef_->urlFor(item.tag()));
}

void ComTeskUtilControl::doneWithWindow(Control& sender) {
    Window* window = sender.window();
    if (window) {
        WindowRef keep = window->shared_from_this();
        if (window->isSheet()) Application::shared().endSheet(*window, sender.tag());
        window->close();
    }
    if (appRef_) appRef_->windowClosed();
}

void ComTeskUtilControl::emailAction(void*) {
    if (!appRef_ || !loadMyNib() || !emailWindow) return;
    emailWindow->makeKeyAndOrderFront();
}

void ComTeskUtilControl::emailSheetAction(void*) {
    if (!appRef_ || !loadMyNib() || !emailWindow) return;
    Application::shared().beginSheet(emailWindow, Application::shared().mainWindow());
    appRef_->setCurrentWindow(emailWindow.get(), false, true);
}

void ComTeskUtilControl::emailSignup(Control& sender) {
    if (!appRef_) return;
    const std::string address = emailTF ? emailTF->stringValue() : "";
    const size_t at = address.find('@');
    if (!emailTF || address.size() <= 4 || at == std::string::npos || at == 0 || at == address.size() - 1) {
        showEmailError("emailInvalidError", false, sender);
        return;
    }
    std::string site = appRef_->urlFor(kUrlHomePage);
    while (!site.empty() && site.back() == '/') site.pop_back();
    // Both texts are percent-encoded: an address may hold "&" or "+", a name spaces.
    const std::string url = site + "/cgi-bin/emailsignup.pl?" +
                            formatWithArguments("username=%@&program=%@",
                                                {percentEncode(address),
                                                 percentEncode(infoString(appRef_->bundle(), "CFBundleName"))});
    std::string body;
    if (!fetch(url, body) || body.empty()) {
        showEmailError("emailError", true, sender);
    } else if (body.compare(0, 6, "<html>") == 0) {
        doneWithWindow(sender);
    } else {
        showEmailError("emailInvalidError", true, sender);
    }
}

void ComTeskUtilControl::showEmailError(const std::string& key, bool closeAfter, Control& sender) {
    AlertRef alert = Alert::create(localized("emailErrorTitle"), localized(key), localized("ok"));
    Window* parent = emailWindow && !emailWindow->isSheet() ? emailWindow.get() : nullptr;
    std::weak_ptr<View> weakSender = sender.weak_from_this();
    alert->beginSheet(parent, [this, closeAfter, weakSender](int) {
        if (!closeAfter) return;
        if (auto view = std::dynamic_pointer_cast<Control>(weakSender.lock())) doneWithWindow(*view);
    });
}

void ComTeskUtilControl::checkForUpdate() {
    if (!appRef_) return;
    // The thread keeps only the poster: once this object is gone its report is dropped.
    std::thread(fetchVersion, appRef_, versionChannel_.poster(), appRef_->urlFor(kUrlVersionFile)).detach();
}

void ComTeskUtilControl::loadUrlInBackground(const std::string& url) {
    fetchVersion(appRef_, versionChannel_.poster(), url);
}

std::optional<std::string> ComTeskUtilControl::runTask(const std::string& launchPath,
                                                       const std::vector<std::string>& args) {
    return ::runTask(launchPath, args);
}

std::string ComTeskUtilControl::timeFormatWithoutSeconds(const std::string& format) {
    std::string result = expandCompositeFormats(format);
    replaceFirst(result, ":%S", "");
    if (result.find('I') != std::string::npos && result.find("%p") == std::string::npos) result += "%p";
    return result;
}

std::string ComTeskUtilControl::shortDateFormat(const std::string& format) {
    std::string result = expandCompositeFormats(format);
    replaceFirst(result, "%A", "%a");
    replaceFirst(result, "%B", "%b");
    return result;
}

std::string ComTeskUtilControl::getTimeFormatString() {
    return timeFormatWithoutSeconds(UserLocale::current()->timeFormat());
}

std::string ComTeskUtilControl::getShortDateFormatString() {
    return shortDateFormat(UserLocale::current()->dateFormat());
}

PreferenceStore* ComTeskUtilControl::store() {
    if (!appRef_) return nullptr;
    return &PreferenceStore::shared(appRef_->bundle().bundleIdentifier(),
                                    appRef_->anyUserScope() ? PreferenceScope::AnyUserCurrentHost
                                                            : PreferenceScope::CurrentUserAnyHost);
}

std::optional<plist::Dict> ComTeskUtilControl::copyPrefs() {
    PreferenceStore* prefs = store();
    if (!prefs) return std::nullopt;
    const std::vector<std::string> keys = prefs->copyKeyList();
    tellIfSetAside(*prefs);
    if (keys.empty()) return std::nullopt;
    return prefs->copyMultiple();
}

void ComTeskUtilControl::fillPrefHoles(plist::Dict& prefs) {
    if (!appRef_) return;
    const std::string path = appRef_->bundle().pathForResource("DefaultPreferences", "plist", "");
    if (path.empty()) return;
    plist::Value defaults;
    std::string error;
    if (!plist::readFile(path, defaults, error)) {
        std::cerr << "Couldn't read DefaultPreferences: " << error << std::endl;
        return;
    }
    if (!defaults.isDict()) return;
    for (const auto& [key, value] : defaults.asDict())
        if (!prefs.count(key)) prefs[key] = value;
}

bool ComTeskUtilControl::writePrefs(const plist::Dict& prefs) {
    PreferenceStore* target = store();
    bool saved = false;
    if (target) {
        // Every stored key the dictionary lacks goes; the store applies the
        // removals and the new values in one replacement of its file.
        std::vector<std::string> remove;
        for (const auto& key : target->copyKeyList())
            if (!prefs.count(key) || prefs.at(key).isNone()) remove.push_back(key);
        target->setMultiple(prefs, remove);
        saved = target->synchronize();
        if (!saved) std::cerr << "Couldn't save preferences: " << target->lastError() << std::endl;
        tellIfSetAside(*target);
    }
    if (!saved) {
        AlertRef alert = Alert::create("Problem Saving Preferences",
                                       "Couldn't save preferences.  Any changes you make to your preferences will "
                                       "not be persistent throughout different runs of the application.",
                                       localized("ok"));
        alert->beginSheet(nullptr);
    }
    return saved;
}

void ComTeskUtilControl::tellIfSetAside(PreferenceStore& prefs) {
    std::string keptAs;
    const std::string damage = prefs.takeDamageReport(&keptAs);
    if (damage.empty()) return;
    std::cerr << damage << std::endl;
    const std::string message = keptAs.empty()
                                    ? "Skyvane's preferences could not be read; it starts with new ones."
                                    : "Skyvane's preferences could not be read and were kept as " + keptAs +
                                          "; it starts with new ones.";
    Alert::create("Problem Reading Preferences", message, localized("ok"))->beginSheet(nullptr);
}

#include "setup/ComTeskPlimSetup.h"

#include <filesystem>
#include <iostream>
#include <stdexcept>

#include "app/ComTeskPlim.h"
#include "app/ComTeskUtilControl.h"
#include "app/SkyvaneProtocols.h"
#include "platform/Bundle.h"
#include "platform/BusObject.h"
#include "platform/MainLoop.h"
#include "platform/ui/UIFile.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Window.h"
#include "setup/SkyvanePrefs.h"

namespace {

const char kSupportAddress[] = "mailto:support@skyvane.org";
// A call to the menu program waits this long for its answer.
constexpr int kSkyvaneCallTimeoutMs = 10000;

}  // namespace

ComTeskPlimSetup::ComTeskPlimSetup() : KVRegisteredName_(kSkyvaneDefaultBusName) {
    // The application's user-interface files.
    if (!hasUIFile("Util")) registerUtilUIFile();
    if (!hasUIFile("Prefs")) registerPrefsUIFile();
}

ComTeskPlimSetup::~ComTeskPlimSetup() {
    if (vendingConnection_) vendingConnection_->withdraw();
    // The panes reach the setup object while they go; they go first.
    prefControl_.reset();
    util_.reset();
}

bool ComTeskPlimSetup::awakeFromNib() {
    vendingConnection_ = std::make_unique<VendedObject>(
        std::vector<BusProtocol>{kSkyvaneSetupPublic},
        [this](const std::string&, const std::string& method, const plist::Array& args) {
            return serve(method, args);
        });
    if (!vendingConnection_->registerName(kSkyvaneSetupBusName)) {
        std::cerr << "Couldn't vend object " << kSkyvaneSetupBusName << std::endl;
        vendingConnection_.reset();
        return false;
    }
    return true;
}

plist::Value ComTeskPlimSetup::serve(const std::string& method, const plist::Array& args) {
    // A name is a string or nothing; anything else is refused to the caller.
    auto nameArg = [&](size_t i, std::string& holder) -> const std::string* {
        if (args.at(i).isNone()) return nullptr;
        if (!args.at(i).isString()) throw std::invalid_argument(method + ": the name must be a string");
        holder = args.at(i).asString();
        return &holder;
    };
    std::string name;
    if (method == "runAboutBox") {
        runAboutBox();
    } else if (method == "runEmailSignupForApp") {
        runEmailSignupForApp(nameArg(0, name));
    } else if (method == "runPreferences_advanced_forApp_pane_firstRun") {
        if (!args.at(0).isDict()) throw std::invalid_argument(method + ": the preferences must be a dictionary");
        if (!args.at(3).isString()) throw std::invalid_argument(method + ": the pane must be a string");
        runPreferences(args.at(0).asDict(), args.at(1).asBool(), nameArg(2, name), args.at(3).asString(),
                       args.at(4).asBool());
    } else {
        throw std::invalid_argument("no such method: " + method);
    }
    return plist::Value();
}

void ComTeskPlimSetup::takeName(const std::string* name) {
    if (name) KVRegisteredName_ = *name;
}

std::unique_ptr<RemoteObject> ComTeskPlimSetup::vendedSkyvane() const {
    std::unique_ptr<RemoteObject> skyvane = RemoteObject::lookup(KVRegisteredName_, kSkyvanePublic);
    if (!skyvane) std::cerr << "Couldn't get vended Skyvane" << std::endl;
    return skyvane;
}

Delivery ComTeskPlimSetup::callSkyvane(const std::string& method, const plist::Array& args) const {
    std::unique_ptr<RemoteObject> skyvane = vendedSkyvane();
    if (!skyvane) return {};
    try {
        skyvane->call(method, args, kSkyvaneCallTimeoutMs);
        return {Delivery::Outcome::Delivered, ""};
    } catch (const RemoteCallError& e) {
        std::cerr << "Skyvane did not take " << method << ": " << e.what() << std::endl;
        // The menu program answered with an error: it refused, and its
        // reason follows the name of the call.
        if (e.kind() != RemoteCallError::Kind::Failed) return {};
        std::string reason = e.what();
        const std::string call = KVRegisteredName_ + " " + method + ": ";
        if (reason.starts_with(call)) reason.erase(0, call.size());
        return {Delivery::Outcome::Refused, reason};
    }
}

bool ComTeskPlimSetup::loadUtilAndItsNib() {
    if (!util_) {
        util_ = std::make_unique<ComTeskUtilControl>();
        util_->initWithApp(this);
    }
    if (!util_->loadMyNib()) {
        std::cerr << "Couldn't load util nib!" << std::endl;
        return false;
    }
    // Closing the about box or the signup window from the desktop ends it as
    // its own button does, so the program quits when nothing is left.
    for (const WindowRef& window : {util_->aboutWindow, util_->emailWindow})
        if (window)
            window->setCloseRequestHandler([this](Window& w) {
                w.close();
                windowClosed();
            });
    return true;
}

void ComTeskPlimSetup::runAboutBox() {
    if (!loadUtilAndItsNib()) return;
    Application::shared().activateIgnoringOtherApps(true);
    // The box answers the menu program's "About" item, so it names that
    // program (and shows its icon) rather than this helper.
    aboutSubject_ = menuProgramBundle();
    util_->aboutAction(nullptr);
    aboutSubject_.reset();
}

std::unique_ptr<Bundle> ComTeskPlimSetup::menuProgramBundle() const {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(Bundle::mainBundle().bundlePath()).parent_path();
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (!fs::exists(entry.path() / "Info.plist", error)) continue;
        auto candidate = std::make_unique<Bundle>(entry.path().string());
        if (candidate->bundleIdentifier() == KVRegisteredName_) return candidate;
    }
    return nullptr;
}

void ComTeskPlimSetup::runEmailSignupForApp(const std::string* name) {
    takeName(name);
    if (!loadUtilAndItsNib()) return;
    Application::shared().activateIgnoringOtherApps(true);
    util_->emailAction(nullptr);
}

void ComTeskPlimSetup::runPreferences(plist::Dict prefs, bool advanced, const std::string* name,
                                      const std::string& pane, bool firstRun) {
    takeName(name);
    if (!prefControl_) prefControl_ = std::make_unique<SkyvanePrefs>(this);
    passedPrefs_ = std::make_shared<plist::Dict>(std::move(prefs));
    advMode_ = advanced;
    prefControl_->runPreferences(passedPrefs_, advanced, pane, firstRun);
}

Bundle& ComTeskPlimSetup::bundle() { return aboutSubject_ ? *aboutSubject_ : Bundle::mainBundle(); }

std::string ComTeskPlimSetup::urlFor(int key) {
    switch (key) {
        // The maker's site is the one setting the menu program uses too.
        case 1:
            return kSupportAddress;
        case 2:
            return ComTeskPlim::site() + "/";
        case 6:
            return ComTeskPlim::site() + "/products/skyvane/version.txt";
        default:
            return ComTeskPlim::site() + "/products/skyvane/";
    }
}

void ComTeskPlimSetup::windowClosed() {
    for (const WindowRef& window : Application::shared().windows())
        if (window->isVisible()) return;
    // An alert still on screen has something to tell; its end asks again.
    for (const AlertRef& alert : Application::shared().alerts())
        if (alert->isShowing()) return;
    Application::shared().terminate();
}

int runSetupApplication() {
    MainLoop& loop = MainLoop::instance();
    Application::shared().setTerminateHandler([&loop] { loop.quit(); });
    ComTeskPlimSetup setup;
    setup.awakeFromNib();
    loop.run();
    return 0;
}

#pragma once
// A stand-in for the application object the utility controller serves: a
// bundle made in a temporary folder from the project's resources, web
// addresses on a local server, and a record of what the controller told it.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/ComTeskAppControl.h"
#include "platform/Bundle.h"
#include "platform/MainLoop.h"
#include "support/TempDir.h"

class TestApp : public ComTeskAppControl {
public:
    // A bundle "Skyvane.app" with the given Info.plist entries (XML inside <dict>).
    explicit TestApp(const TempDir& dir, const std::string& infoEntries = defaultInfo())
        : bundle_(makeBundle(dir, infoEntries)) {}

    static std::string defaultInfo() {
        return "<key>CFBundleIdentifier</key><string>org.skyvane.test</string>"
               "<key>CFBundleName</key><string>Skyvane</string>"
               "<key>CFBundleVersion</key><string>1.2</string>"
               "<key>CFBundleDevelopmentRegion</key><string>en</string>"
               "<key>NSHumanReadableCopyright</key><string>Copyright 2026 the Skyvane authors</string>";
    }

    bool useGUI() override { return true; }
    Bundle& bundle() override { return bundle_; }
    bool anyUserScope() override { return false; }
    ComTeskUtilControl* getUtil() override { return nullptr; }
    std::string urlFor(int key) override {
        if (key == 5) return site + "/products/skyvane";
        if (key == 6) return site + "/products/skyvane/version.txt";
        return site + "/";
    }
    void versionAvailable(const plist::Value& version) override {
        std::lock_guard<std::mutex> lock(mutex_);
        versions.push_back(version.stringOr("?"));
        if (!MainLoop::instance().isMainThread()) ++offMainThread;
    }
    void prefsModified() override {}
    void windowClosed() override { ++windowsClosed; }
    void closeCurrentWindow(Window*) override {}
    void closeCurrentWindow(Window*, int, void*) override {}
    void setCurrentWindow(Window* w, bool modal, bool sheet) override {
        currentWindow = w;
        currentModal = modal;
        currentSheet = sheet;
    }

    // Runs the main loop until a version has been reported.
    bool runUntilVersion(int timeoutMs = 5000) {
        return MainLoop::instance().runUntil([this] { return !versionsSeen().empty(); }, timeoutMs);
    }
    std::vector<std::string> versionsSeen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return versions;
    }

    std::string site = "http://127.0.0.1:9";
    int windowsClosed = 0;
    int offMainThread = 0;  // versions reported on another thread than the main one
    Window* currentWindow = nullptr;
    bool currentModal = true, currentSheet = false;

private:
    static std::string makeBundle(const TempDir& dir, const std::string& info) {
        namespace fs = std::filesystem;
        const fs::path root = dir.path() / "Skyvane.app";
        fs::create_directories(root / "Resources");
        std::ofstream(root / "Info.plist") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                           << info << "</dict></plist>\n";
        const fs::path resources = fs::path(SKYVANE_SOURCE_DIR) / "resources";
        for (const char* name : {"DefaultPreferences.plist", "Credits.rtf"})
            fs::copy_file(resources / name, root / "Resources" / name);
        fs::copy(resources / "en.lproj", root / "Resources" / "en.lproj", fs::copy_options::recursive);
        return root.string();
    }

    Bundle bundle_;
    std::mutex mutex_;
    std::vector<std::string> versions;
};

// Pins HOME and XDG_CONFIG_HOME to a temporary folder for one test.
class PinnedConfig {
public:
    explicit PinnedConfig(const TempDir& dir) : old_(get("XDG_CONFIG_HOME")), oldHome_(get("HOME")) {
        std::filesystem::create_directories(dir.path() / "config");
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        setenv("HOME", dir.path().c_str(), 1);
    }
    ~PinnedConfig() {
        restore("XDG_CONFIG_HOME", old_);
        restore("HOME", oldHome_);
    }

private:
    static std::pair<bool, std::string> get(const char* name) {
        const char* v = std::getenv(name);
        return {v != nullptr, v ? v : ""};
    }
    static void restore(const char* name, const std::pair<bool, std::string>& v) {
        if (v.first)
            setenv(name, v.second.c_str(), 1);
        else
            unsetenv(name);
    }
    std::pair<bool, std::string> old_, oldHome_;
};

#pragma once
// A menu program for one test: its bundle in a temporary folder (the
// project's resources and an Info.plist of its own, so each test has its own
// preference domain), the preference folder and home pinned there, the
// National Weather Service fixture pages served by a loopback server that is
// the system proxy, and the clock pinned.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FakeSetup.h"
#include "app/ComTeskPlim.h"
#include "app/SkyvaneProtocols.h"
#include "model/LocationManagerMac.h"
#include "platform/Bundle.h"
#include "platform/MainLoop.h"
#include "platform/PreferenceStore.h"
#include "platform/ui/Window.h"
#include "scrapers/SuperScraper.h"
#include "support/FastHttp.h"
#include "support/FixtureServer.h"
#include "support/ScraperFixtures.h"
#include "util/Clock.h"

class CoreFixture : public ::testing::Test {
protected:
    static constexpr time_t kNow = 1796752800;  // 2026-12-08 18:00 UTC
    static constexpr const char* kDesMoinesPath = "/ifps/MapClick.php?CityName=Des+Moines&state=IA&site=DMX";

    CoreFixture() : domain_("org.skyvane.core" + std::to_string(++instances)) {
        namespace fs = std::filesystem;
        MainLoop::instance();
        Application::shared().reset();
        setenv("XDG_CONFIG_HOME", session.dir.file("config").c_str(), 1);
        setenv("HOME", session.dir.path().c_str(), 1);
        setProxyPort(server.port());
        // Product pages and the version file come from the local server too.
        ComTeskPlim::setSite(server.url(""));
        const fs::path bundle = apps() / "Skyvane.app";
        fs::create_directories(bundle);
        fs::copy(fs::path(SKYVANE_SOURCE_DIR) / "resources", bundle / "Resources", fs::copy_options::recursive);
        std::ofstream(bundle / "Info.plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
               "<key>CFBundleIdentifier</key><string>" << domain_ << "</string>"
               "<key>CFBundleName</key><string>Skyvane</string>"
               "<key>CFBundleVersion</key><string>1.2</string>"
               "<key>CFBundleDevelopmentRegion</key><string>en</string></dict></plist>\n";
        Bundle::setMainBundlePath(bundle.string());
        server.route("www.crh.noaa.gov", kDesMoinesPath,
                     FixtureReply::page(fixtureText("nws/forecast/point_des_moines.html")));
        server.routeFile("weather.noaa.gov", "/pub/data/observations/metar/decoded/KDSM.TXT", "observations/KDSM.TXT");
        Clock::pin(kNow);
    }
    ~CoreFixture() override {
        ComTeskPlim::setSite("");
        Clock::unpin();
        unsetenv("http_proxy");
    }

    static inline int instances = 0;  // each test its own preference domain
    std::filesystem::path apps() const { return session.dir.path() / "apps"; }
    void setProxyPort(int port) { setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1); }

    static plist::Value city(const std::string& name, int status, bool withKey = true) {
        plist::Dict d;
        d["city"] = plist::Value(name);
        d["locStatus"] = plist::Value(status);
        if (withKey) {
            std::string key;
            SuperScraper::joinKey({"ifps", "crh", "Des+Moines", "IA", "DMX"}, key);
            d["nws"] = plist::Value(key);
        }
        return plist::Value(d);
    }
    // Stored preferences of an earlier run (so this is not the first).
    plist::Dict earlierPrefs(const std::string& mode, plist::Array locations) const {
        plist::Dict prefs;
        prefs["mode"] = plist::Value(mode);
        prefs["version"] = plist::Value(2.0);
        prefs["source_pref"] = plist::Value(plist::Array{plist::Value(1)});
        prefs["update_frequency"] = plist::Value(30);
        prefs["radar"] = plist::Value(false);
        prefs["units"] = plist::Value(1);
        prefs["locations"] = plist::Value(std::move(locations));
        return prefs;
    }
    void store(const plist::Dict& prefs) {
        PreferenceStore file(domain_, PreferenceScope::CurrentUserAnyHost);
        file.setMultiple(prefs, {});
        ASSERT_TRUE(file.synchronize());
    }
    plist::Dict stored() {
        PreferenceStore file(domain_, PreferenceScope::CurrentUserAnyHost);
        return file.copyMultiple();
    }
    std::string prefsPath() const { return PreferenceStore(domain_, PreferenceScope::CurrentUserAnyHost).path(); }
    // The preference file as it lies on disk.
    std::string storedBytes() const { return fileBytes(prefsPath()); }
    static bool waitFor(const std::function<bool()>& done, int ms = 15000) {
        return MainLoop::instance().runUntil(done, ms);
    }
    // Calls the core's named object as the setup application does, from
    // another thread while the main loop serves the call; the error text
    // when the call failed.
    // Pushes of tens of megabytes take seconds to marshal in a loaded
    // sanitizer build; a refusal must not turn into a time-out there.
    static constexpr int kPushTimeoutMs = 60000;
    static std::optional<std::string> push(const std::string& name, const std::string& method, plist::Array args) {
        std::optional<std::string> error = "nobody holds " + name;
        std::atomic<bool> done{false};
        MainThreadChannel wake;  // ends the main loop's wait as soon as the call is back
        std::thread caller([&, poster = wake.poster()] {
            try {
                if (auto remote = RemoteObject::lookup(name, kSkyvanePublic)) {
                    remote->call(method, args, kPushTimeoutMs);
                    error.reset();
                }
            } catch (const RemoteCallError& e) {
                error = e.what();
            }
            done = true;
            poster.post([] {});
        });
        MainLoop::instance().runUntil([&] { return done.load(); }, kPushTimeoutMs + 1000);
        caller.join();
        return error;
    }
    static std::vector<std::string> titles(const MenuRef& menu) {
        std::vector<std::string> out;
        for (const MenuItemRef& item : menu->items()) out.push_back(item->isSeparatorItem() ? "-" : item->title());
        return out;
    }

    FakeSetupSession session;
    FastHttp fast;
    FixtureServer server{std::string(SKYVANE_FIXTURES_DIR) + "/nws"};

private:
    std::string domain_;
};

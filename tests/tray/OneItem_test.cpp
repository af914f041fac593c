// One copy per session on a desktop: the standalone program runs with its
// item registered at the test's StatusNotifierWatcher; starting it again, or
// starting the menu-bar host, ends with status 0 and no second item.

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "appbus/CoreFixture.h"
#include "platform/PreferenceStore.h"
#include "support/SpawnedProgram.h"
#include "tray/TestWatcher.h"

#ifdef SKYVANE_APP_BINARY

namespace {

using OneItemTest = CoreFixture;

}  // namespace

TEST_F(OneItemTest, ASecondStartEndsWithStatusZeroAndOneItemStaysRegistered) {
    const char* display = std::getenv("DISPLAY");
    ASSERT_NE(display, nullptr) << "no display";
    TestWatcher watcher;
    for (const char* domain : {"com.tesk.Skyvane", "com.tesk.SkyvaneMenu"}) {
        PreferenceStore file(domain, PreferenceScope::CurrentUserAnyHost);
        file.setMultiple(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}), {});
        ASSERT_TRUE(file.synchronize());
    }
    const std::vector<std::string> onDisplay{std::string("DISPLAY=") + display};

    TempDir firstLogs;
    SpawnedProgram first(SKYVANE_APP_BINARY, firstLogs, onDisplay);
    ASSERT_TRUE(first.started());
    ASSERT_TRUE(MainLoop::instance().runUntil([&] { return !watcher.senders.empty(); }, 60000)) << first.log();

    std::vector<std::string> again{SKYVANE_APP_BINARY};
#ifdef SKYVANE_MENU_HOST_BINARY
    again.push_back(SKYVANE_MENU_HOST_BINARY);
#endif
    for (const std::string& path : again) {
        SCOPED_TRACE(path);
        TempDir logs;
        SpawnedProgram second(path, logs, onDisplay);
        ASSERT_TRUE(second.started());
        const SpawnedProgram::Exit exit = second.waitForExit(std::chrono::seconds(30));
        ASSERT_TRUE(exit.ended) << "still running:\n" << second.log();
        ASSERT_TRUE(WIFEXITED(exit.status)) << exit.status << "\n" << second.log();
        EXPECT_EQ(WEXITSTATUS(exit.status), 0) << second.log();
        EXPECT_NE(second.log().find("Skyvane is already running"), std::string::npos) << second.log();
        // Whatever the second start sent reached the watcher before this look.
        watcher.catchUp();
        EXPECT_EQ(std::set<std::string>(watcher.senders.begin(), watcher.senders.end()).size(), 1u);
    }
    EXPECT_TRUE(first.terminate().ended) << first.log();
}

#endif

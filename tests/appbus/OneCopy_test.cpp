// The real programs over their whole life on a private session bus: a
// preview pushed by Preferences is gone with the program, not stored; a
// second start while Skyvane runs ends at once and changes nothing; and only
// a live Skyvane stops a start (not a foreign holder of its name, not a
// stopped copy, not a missing bus).

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CoreFixture.h"
#include "app/RunningCopy.h"
#include "app/SkyvaneProtocols.h"
#include "platform/BusObject.h"
#include "platform/PreferenceStore.h"
#include "support/SpawnedProgram.h"

#ifdef SKYVANE_APP_BINARY

namespace {

using std::chrono::seconds;

struct Program {
    const char* path;
    const char* domain;  // of its preferences
};

std::vector<Program> programs() {
    std::vector<Program> all{{SKYVANE_APP_BINARY, "com.tesk.Skyvane"}};
#ifdef SKYVANE_MENU_HOST_BINARY
    // The menu-bar host with the plug-in beside it.
    all.push_back({SKYVANE_MENU_HOST_BINARY, "com.tesk.SkyvaneMenu"});
#endif
    return all;
}

// The unique name of the program holding `name` on the session bus; "" for none.
std::string ownerOf(const std::string& name) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) return "";
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "GetNameOwner",
                                                  g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(s)"),
                                                  G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
    g_object_unref(bus);
    if (!reply) return "";
    const gchar* owner = nullptr;
    g_variant_get(reply, "(&s)", &owner);
    std::string result = owner;
    g_variant_unref(reply);
    return result;
}

// Whether `name` is held (or, with `held` false, free) within the bound. A
// program holds its name once it has started and stored its preferences,
// which it does before it vends itself; the bus frees the name soon after
// its holder has ended.
bool waitForOwner(const std::string& name, bool held = true, seconds bound = seconds(60)) {
    for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < bound;) {
        if (ownerOf(name).empty() != held) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string pushTo(const std::string& name, const std::string& method, const plist::Array& args) {
    std::unique_ptr<RemoteObject> remote = RemoteObject::lookup(name, kSkyvanePublic);
    if (!remote) return "nobody holds " + name;
    try {
        remote->call(method, args, 10000);
    } catch (const RemoteCallError& e) {
        return e.what();
    }
    return "";
}

class OneCopyTest : public CoreFixture {
protected:
    // Stores preferences of an earlier run for the program; the file's path.
    std::string storeOf(const Program& p) {
        PreferenceStore file(p.domain, PreferenceScope::CurrentUserAnyHost);
        file.setMultiple(earlierPrefs("free_mode", {city("Des Moines, IA", Location::kPrimary)}), {});
        EXPECT_TRUE(file.synchronize());
        return file.path();
    }
    static std::string modified(const std::string& path) {
        struct stat info{};
        if (::stat(path.c_str(), &info) != 0) return "missing";
        return std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec);
    }
};

}  // namespace

TEST_F(OneCopyTest, APreviewPushedAndThenSIGTERMLeavesTheStoredFileUnchanged) {
    for (const Program& p : programs()) {
        SCOPED_TRACE(p.path);
        const std::string file = storeOf(p);
        TempDir logs;
        SpawnedProgram program(p.path, logs);
        ASSERT_TRUE(program.started());
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane0")) << program.log();
        const std::string before = fileBytes(file);
        ASSERT_FALSE(before.empty());

        // Live previews of an open Preferences window, then the session ends.
        EXPECT_EQ(pushTo("com.tesk.Skyvane0", "setPreference_toValue", {plist::Value("units"), plist::Value(0)}), "");
        EXPECT_EQ(pushTo("com.tesk.Skyvane0", "setPreference_toValue", {plist::Value("font_size"), plist::Value(1)}), "");
        const SpawnedProgram::Exit exit = program.terminate();
        ASSERT_TRUE(exit.ended) << program.log();
        ASSERT_TRUE(WIFEXITED(exit.status)) << exit.status << "\n" << program.log();
        EXPECT_EQ(WEXITSTATUS(exit.status), 0) << program.log();
        EXPECT_TRUE(fileBytes(file) == before);
        EXPECT_EQ(PreferenceStore(p.domain, PreferenceScope::CurrentUserAnyHost).copyMultiple().at("units").asInt(-1), 1);
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane0", false));
    }
}

TEST_F(OneCopyTest, ASecondStartEndsAtOnceAndChangesNothing) {
    for (const Program& first : programs()) {
        const std::string firstFile = storeOf(first);
        TempDir firstLogs;
        SpawnedProgram running(first.path, firstLogs);
        ASSERT_TRUE(running.started());
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane0")) << running.log();
        const std::string owner = ownerOf("com.tesk.Skyvane0");

        for (const Program& second : programs()) {
            SCOPED_TRACE(std::string(first.path) + " then " + second.path);
            const std::string secondFile = storeOf(second);
            const std::string firstBytes = fileBytes(firstFile), secondBytes = fileBytes(secondFile);
            const std::string firstTime = modified(firstFile), secondTime = modified(secondFile);

            TempDir logs;
            SpawnedProgram again(second.path, logs);
            ASSERT_TRUE(again.started());
            const SpawnedProgram::Exit exit = again.waitForExit(seconds(30));
            ASSERT_TRUE(exit.ended) << "still running:\n" << again.log();
            ASSERT_TRUE(WIFEXITED(exit.status)) << exit.status << "\n" << again.log();
            EXPECT_EQ(WEXITSTATUS(exit.status), 0) << again.log();
            EXPECT_NE(again.log().find("Skyvane is already running"), std::string::npos) << again.log();
            EXPECT_EQ(again.log().find("Couldn't vend"), std::string::npos) << again.log();

            // The first keeps its name; nobody took another; no file changed.
            EXPECT_EQ(ownerOf("com.tesk.Skyvane0"), owner);
            EXPECT_EQ(ownerOf("com.tesk.Skyvane1"), "");
            EXPECT_TRUE(fileBytes(firstFile) == firstBytes);
            EXPECT_TRUE(fileBytes(secondFile) == secondBytes);
            EXPECT_EQ(modified(firstFile), firstTime);
            EXPECT_EQ(modified(secondFile), secondTime);
        }
        const SpawnedProgram::Exit exit = running.terminate();
        ASSERT_TRUE(exit.ended) << running.log();
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane0", false));
    }
}

// A holder of the name that is no Skyvane, a copy that is stopped and so
// answers nothing, and a session without a bus: each start goes on.
TEST_F(OneCopyTest, OnlyALiveSkyvaneStopsAStart) {
    const Program app = programs().front();
    storeOf(app);
    {
        // Another program's object under Skyvane's first name.
        VendedObject squatter({kSkyvaneSetupPublic}, [](const std::string&, const std::string&, const plist::Array&) {
            return plist::Value();
        });
        ASSERT_TRUE(squatter.registerName("com.tesk.Skyvane0"));
        TempDir logs;
        SpawnedProgram program(app.path, logs);
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane1")) << program.log();
        EXPECT_EQ(program.log().find("Skyvane is already running"), std::string::npos) << program.log();
        ASSERT_TRUE(program.terminate().ended);
        squatter.withdraw();
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane1", false));
    }
    {
        // Three stopped copies: a start goes on, and the live copy behind them is still found.
        std::array<TempDir, 3> stoppedLogs;
        std::vector<std::unique_ptr<SpawnedProgram>> stopped;
        for (const TempDir& dir : stoppedLogs) {
            stopped.push_back(std::make_unique<SpawnedProgram>(app.path, dir));
            ASSERT_TRUE(waitForOwner("com.tesk.Skyvane" + std::to_string(stopped.size() - 1))) << stopped.back()->log();
            ASSERT_EQ(::kill(stopped.back()->pid(), SIGSTOP), 0);
        }
        TempDir logs;
        SpawnedProgram program(app.path, logs);
        const bool started = waitForOwner("com.tesk.Skyvane3");
        const std::string found = runningSkyvane();
        for (const auto& copy : stopped) ::kill(copy->pid(), SIGCONT);
        ASSERT_TRUE(started) << program.log();
        EXPECT_EQ(found, "com.tesk.Skyvane3");
        EXPECT_EQ(program.log().find("Skyvane is already running"), std::string::npos) << program.log();
        ASSERT_TRUE(program.terminate().ended);
        for (const auto& copy : stopped) ASSERT_TRUE(copy->terminate().ended);
        ASSERT_TRUE(waitForOwner("com.tesk.Skyvane0", false));
    }
    {
        // No session bus at all: the program starts and asks for its city's weather.
        TempDir logs;
        const size_t asked = server.requests().size();
        SpawnedProgram program(app.path, logs, {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + logs.file("no-bus")});
        ASSERT_TRUE(server.waitForRequests(asked + 1, 60000)) << program.log();
        EXPECT_EQ(program.log().find("Skyvane is already running"), std::string::npos) << program.log();
        const SpawnedProgram::Exit exit = program.terminate();
        ASSERT_TRUE(exit.ended) << program.log();
        EXPECT_TRUE(WIFEXITED(exit.status) && WEXITSTATUS(exit.status) == 0) << program.log();
    }
}

#endif

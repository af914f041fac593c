#include "app/SetupLink.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "FakeSetup.h"
#include "platform/MainLoop.h"
#include "platform/Tasks.h"
#include "platform/ui/Alert.h"
#include "support/CaptureStream.h"

namespace {

namespace fs = std::filesystem;

// A menu program in a temporary folder: its bundle, and where a setup
// application may sit beside it or inside it.
struct MenuProgram {
    explicit MenuProgram(const FakeSetupSession& session) : root(session.dir.path() / "apps") {
        fs::create_directories(bundle() / "Resources");
    }
    fs::path bundle() const { return root / "Skyvane.app"; }
    fs::path beside() const { return root / "Skyvane Setup.app"; }
    fs::path inside() const { return bundle() / "Resources" / "Skyvane Setup.app"; }

    SetupLink::Peer peer() const {
        SetupLink::Peer p;
        p.preferences = [] { return plist::Dict{{"mode", plist::Value("free_mode")}, {"units", plist::Value(1)}}; };
        p.registeredName = [] { return std::string("com.tesk.Skyvane0"); };
        p.bundlePath = [this] { return bundle().string(); };
        p.bundledSetupPath = [this] { return fs::exists(inside()) ? inside().string() : std::string(); };
        return p;
    }
    fs::path root;
};

class SetupLinkTest : public ::testing::Test {
protected:
    SetupLinkTest() {
        SetupLink::setConnectPauseMs(100);
        Application::shared().reset();
    }
    ~SetupLinkTest() override { SetupLink::setConnectPauseMs(1000); }

    std::vector<std::string> alertTexts() {
        std::vector<std::string> texts;
        for (const AlertRef& a : Application::shared().alerts()) texts.push_back(a->messageText() + ": " + a->informativeText());
        return texts;
    }

    FakeSetupSession session;
    MenuProgram program{session};
};

}  // namespace

TEST_F(SetupLinkTest, StartsTheSetupApplicationBesideTheBundleAndSendsCommands) {
    session.makeSetupBundle(program.beside());
    SetupLink link(program.peer(), false);
    EXPECT_FALSE(link.isConnected());
    // First run in free mode: the new-location window in first-run form.
    link.getProxyAndPerformAction(SetupLink::kNewLocation, plist::Value(true));
    ASSERT_TRUE(session.waitForCalls(1));
    EXPECT_TRUE(link.isConnected());
    // Free mode never passes the flag with the other panes; unknown codes send nothing.
    link.getProxyAndPerformAction(SetupLink::kManageLocations, plist::Value(true));
    link.getProxyAndPerformAction(SetupLink::kPreferences, plist::Value("yes"));
    link.getProxyAndPerformAction(999, plist::Value());
    link.getProxyAndPerformAction(SetupLink::kAbout, plist::Value());
    ASSERT_TRUE(session.waitForCalls(4));
    EXPECT_EQ(session.calls(),
              (std::vector<std::string>{
                  "runPreferences_advanced_forApp_pane_firstRun dict(2) 0 com.tesk.Skyvane0 newloc 1 mode=free_mode",
                  "runPreferences_advanced_forApp_pane_firstRun dict(2) 0 com.tesk.Skyvane0 locations 0 mode=free_mode",
                  "runPreferences_advanced_forApp_pane_firstRun dict(2) 0 com.tesk.Skyvane0 general 0 mode=free_mode",
                  "runAboutBox"}));
    EXPECT_TRUE(alertTexts().empty());
}

TEST_F(SetupLinkTest, ARunningSetupApplicationIsUsedAtOnceAndAStaleOneIsStartedAgain) {
    // Started beforehand, from a bundle the link does not know.
    const std::string elsewhere = session.makeSetupBundle(session.dir.path() / "elsewhere" / "Skyvane Setup.app");
    ASSERT_TRUE(launchApplication(elsewhere));
    for (int i = 0; i < 500 && !FakeSetupSession::setupIsVending(); ++i) usleep(20000);
    ASSERT_TRUE(FakeSetupSession::setupIsVending());

    // Nothing beside or inside the bundle: a start would fail, so a
    // delivered call proves the running one was used. Advanced mode passes
    // the data flag with every pane.
    SetupLink link(program.peer(), true);
    link.getProxyAndPerformAction(SetupLink::kManageLocations, plist::Value(1));
    ASSERT_TRUE(session.waitForCalls(1));
    EXPECT_EQ(session.calls()[0],
              "runPreferences_advanced_forApp_pane_firstRun dict(2) 1 com.tesk.Skyvane0 locations 1 mode=free_mode");

    // The setup application quits; the next command starts it again (from
    // inside the bundle now) and is delivered once.
    session.stopAll();
    session.makeSetupBundle(program.inside());
    CaptureStdout out;
    CaptureStderr err;
    link.getProxyAndPerformAction(SetupLink::kPreferences, plist::Value(false));
    EXPECT_NE(out.text().find("Setup app not found in normal location, checking backup location..."), std::string::npos);
    ASSERT_TRUE(session.waitForCalls(2));
    EXPECT_EQ(session.calls()[1],
              "runPreferences_advanced_forApp_pane_firstRun dict(2) 1 com.tesk.Skyvane0 general 0 mode=free_mode");
    EXPECT_NE(err.text().find("reconnecting"), std::string::npos);
    EXPECT_TRUE(alertTexts().empty());
}

TEST_F(SetupLinkTest, MissingOrSilentSetupApplicationsAreToldToTheUser) {
    SetupLink link(program.peer(), false);
    {
        CaptureStdout out;
        std::optional<bool> connected;
        link.getSetupProxy([&](bool c) { connected = c; });
        EXPECT_EQ(connected, false);
    }
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"Skyvane Setup Problem: Couldn't find Skyvane Setup!"}));

    // Found and started, but it never vends its object.
    Application::shared().reset();
    session.makeSetupBundle(program.beside(), "/bin/true");
    link.getProxyAndPerformAction(SetupLink::kAbout, plist::Value());
    ASSERT_TRUE(MainLoop::instance().runUntil([&] { return !link.isStarting(); }, 20000));
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(alertTexts(), (std::vector<std::string>{"Skyvane Setup Problem: Could not communicate with Skyvane Setup"}));
    EXPECT_TRUE(session.calls().empty());
}

TEST_F(SetupLinkTest, TheMenuStaysLiveWhileTheSetupApplicationStarts) {
    session.makeSetupBundle(program.beside());
    SetupLink link(program.peer(), false);
    // Another main-loop timer, as the menu's own events: it counts its runs
    // while the link waits for the setup application.
    int runsWhileStarting = 0;
    const unsigned ticker = MainLoop::instance().addTimer(1, [&] {
        if (link.isStarting()) ++runsWhileStarting;
        return true;
    });
    link.getProxyAndPerformAction(SetupLink::kAbout, plist::Value());
    // The command returned with the setup application still starting; a
    // second one given meanwhile waits with it.
    EXPECT_TRUE(link.isStarting());
    EXPECT_FALSE(link.isConnected());
    link.getProxyAndPerformAction(SetupLink::kManageLocations, plist::Value());
    ASSERT_TRUE(session.waitForCalls(2));
    MainLoop::instance().removeTimer(ticker);
    EXPECT_GT(runsWhileStarting, 0);
    EXPECT_FALSE(link.isStarting());
    EXPECT_EQ(session.calls(),
              (std::vector<std::string>{
                  "runAboutBox",
                  "runPreferences_advanced_forApp_pane_firstRun dict(2) 0 com.tesk.Skyvane0 locations 0 mode=free_mode"}));

    // A link that goes while it waits leaves no timer behind to call it.
    session.stopAll();
    auto gone = std::make_unique<SetupLink>(program.peer(), false);
    gone->getProxyAndPerformAction(SetupLink::kAbout, plist::Value());
    ASSERT_TRUE(gone->isStarting());
    gone.reset();
    // The setup application it started comes up; nothing calls it.
    for (int waited = 0; waited < 10000 && !FakeSetupSession::setupIsVending(); waited += 20)
        MainLoop::instance().runUntil([] { return false; }, 20);
    ASSERT_TRUE(FakeSetupSession::setupIsVending());
    MainLoop::instance().runUntil([] { return false; }, 300);
    EXPECT_EQ(session.calls().size(), 2u);
    EXPECT_TRUE(alertTexts().empty());
}

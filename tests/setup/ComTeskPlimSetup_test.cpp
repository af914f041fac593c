#include "SetupFixture.h"
#include "app/ComTeskPlim.h"
#include "app/ComTeskUtilControl.h"
#include "support/CaptureStream.h"

namespace {

class PlimSetupTest : public SetupTest {
protected:
    ComTeskPlimSetup setup;
};

// Serves the bus until a caller peer with PEER_CASE `which` says its line.
std::string callFromPeer(const std::string& which, const std::string& name = "") {
    PeerProcess peer("SetupPeer.DISABLED_Caller", {{"PEER_CASE", which}, {"PEER_NAME", name}});
    std::string line;
    // The peer's pipe is no event of the loop: a short timer wakes it to look.
    MainLoop& loop = MainLoop::instance();
    const unsigned waker = loop.addTimer(10, [] { return true; });
    loop.runUntil([&] { return !(line = peer.readLine(0)).empty(); }, 10000);
    loop.removeTimer(waker);
    return line;
}

}  // namespace

TEST_F(PlimSetupTest, TheMenuProgramReachesTheVendedObject) {
    ASSERT_TRUE(setup.awakeFromNib());

    // The about box as first call leaves the default name.
    EXPECT_EQ(callFromPeer("about"), "ok");
    ASSERT_TRUE(setup.getUtil());
    EXPECT_TRUE(setup.getUtil()->aboutWindow->isVisible());
    EXPECT_EQ(setup.registeredName(), "com.tesk.Skyvane");

    EXPECT_EQ(callFromPeer("locations", "com.tesk.Skyvane7"), "ok");
    ASSERT_TRUE(setup.prefControl());
    EXPECT_TRUE(setup.advanceMode());
    EXPECT_EQ(setup.registeredName(), "com.tesk.Skyvane7");
    EXPECT_EQ(setup.passedPrefs()->at("units"), plist::Value(2));
    EXPECT_TRUE(setup.prefControl()->managePaneOpen());
    EXPECT_TRUE(setup.prefControl()->prefsWindow->isVisible());

    // A malformed request is refused to the caller and opens nothing.
    setup.prefControl()->prefsWindow->orderOut();
    const std::string answer = callFromPeer("bad");
    EXPECT_EQ(answer.rfind("error ", 0), 0u) << answer;
    EXPECT_NE(answer.find("must be a dictionary"), std::string::npos) << answer;
    EXPECT_FALSE(setup.prefControl()->prefsWindow->isVisible());

    // A second setup application cannot take the name.
    ComTeskPlimSetup second;
    CaptureStderr err;
    EXPECT_FALSE(second.awakeFromNib());
    EXPECT_NE(err.text().find("Couldn't vend object com.tesk.SkyvaneSetup"), std::string::npos);
}

TEST_F(PlimSetupTest, NamesAreKeptUntilACallerPassesItsOwn) {
    EXPECT_FALSE(setup.getUtil());
    const std::string mine = "com.tesk.Skyvane3";
    setup.runEmailSignupForApp(&mine);
    EXPECT_EQ(setup.registeredName(), mine);
    ASSERT_TRUE(setup.getUtil());
    EXPECT_TRUE(setup.getUtil()->emailWindow->isVisible());
    setup.runPreferences(samplePrefs(), false, nullptr, "general", false);
    EXPECT_EQ(setup.registeredName(), mine);
    EXPECT_FALSE(setup.advanceMode());

    // Without its user-interface file the about box shows nothing.
    ComTeskPlimSetup other;
    unregisterUIFile("Util");
    CaptureStderr err;
    other.runAboutBox();
    EXPECT_NE(err.text().find("Couldn't load util nib!"), std::string::npos);
    EXPECT_FALSE(other.getUtil()->aboutWindow);
    registerUtilUIFile();
}

TEST_F(PlimSetupTest, TheApplicationEndsWhenItsLastVisibleWindowCloses) {
    FakeSkyvane menu;
    ASSERT_TRUE(menu.ready);
    setup.runAboutBox();
    setup.runPreferences(samplePrefs(), true, &menu.name, "general", false);
    setup.prefControl()->OKAction(nullptr);
    EXPECT_FALSE(setup.prefControl()->prefsWindow->isVisible());
    EXPECT_FALSE(Application::shared().isTerminated()) << "the about box is still up";
    setup.getUtil()->aboutWindow->orderOut();
    setup.windowClosed();
    EXPECT_TRUE(Application::shared().isTerminated());
}

TEST_F(PlimSetupTest, WebAddressesComeFromTheMenuProgramsSite) {
    EXPECT_EQ(setup.urlFor(1).rfind("mailto:", 0), 0u);
    for (int key : {4, 5, 7, -1}) EXPECT_EQ(setup.urlFor(key), setup.urlFor(0)) << key;
    ComTeskPlim::setSite("http://127.0.0.1:8123");
    EXPECT_EQ(setup.urlFor(0), "http://127.0.0.1:8123/products/skyvane/");
    EXPECT_EQ(setup.urlFor(6), "http://127.0.0.1:8123/products/skyvane/version.txt");
    ComTeskPlim::setSite("");
}

TEST_F(PlimSetupTest, TheAboutBoxNamesTheMenuProgramBesideThisOne) {
    namespace fs = std::filesystem;
    const fs::path menu = bundleRoot.parent_path() / "Skyvane.app";
    makeBundle(menu, {{"CFBundleIdentifier", "com.tesk.Skyvane"},
                      {"CFBundleName", "Skyvane"},
                      {"CFBundleVersion", "0.7"},
                      {"CFBundleIconFile", "skyvane.png"}});
    fs::copy(fs::path(SKYVANE_SOURCE_DIR) / "resources" / "en.lproj", menu / "Resources" / "en.lproj",
             fs::copy_options::recursive);
    fs::copy_file(fs::path(SKYVANE_SOURCE_DIR) / "desktop" / "skyvane.png", menu / "Resources" / "skyvane.png");

    setup.runAboutBox();
    ComTeskUtilControl& util = *setup.getUtil();
    EXPECT_EQ(util.aboutWindow->title(), "About Skyvane");
    EXPECT_EQ(util.aboutTitleText->stringValue(), "Skyvane");
    EXPECT_EQ(util.aboutVersionText->stringValue(), "v0.7");
    ASSERT_TRUE(util.aboutImageButton->image());
    EXPECT_GT(util.aboutImageButton->image()->size().width, 0);
    // Everything else still comes from the setup program's own bundle.
    EXPECT_EQ(setup.bundle().bundleIdentifier(), "com.tesk.SkyvaneSetup");
}

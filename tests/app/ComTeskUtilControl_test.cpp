#include "app/ComTeskUtilControl.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TestApp.h"
#include "app/RtfText.h"
#include "platform/Menu.h"
#include "platform/Tasks.h"
#include "platform/UserLocale.h"
#include "platform/ui/Alert.h"
#include "support/CaptureStream.h"
#include "support/FixtureServer.h"

namespace {

class UtilTest : public ::testing::Test {
protected:
    TempDir dir;
    PinnedConfig pin{dir};
    TestApp app{dir};
    ComTeskUtilControl util;
    std::vector<std::string> opened;

    void SetUp() override {
        Application::shared().reset();
        registerUtilUIFile();
        util.initWithApp(&app);
        setURLOpener([this](const std::string& url) {
            opened.push_back(url);
            return true;
        });
    }
    void TearDown() override {
        setURLOpener(nullptr);
        Application::shared().reset();
    }

    // Opens the e-mail window and signs up with the address.
    void signUp(const std::string& address) {
        util.emailAction(nullptr);
        util.emailTF->setStringValue(address);
        signUpButton().userClick();
    }

    // The sign-up button of the e-mail window.
    Button& signUpButton() {
        for (const auto& v : util.emailWindow->contentView()->subviews())
            if (auto b = std::dynamic_pointer_cast<Button>(v); b && b->title() == "Sign Up") return *b;
        throw std::runtime_error("no sign-up button");
    }
};

class FixedLocale : public UserLocale {
public:
    FixedLocale(std::string time, std::string date) : time_(std::move(time)), date_(std::move(date)) {}
    std::vector<std::string> shortWeekdayNames() const override { return {}; }
    std::vector<std::string> thisDayDesignations() const override { return {"today"}; }
    std::vector<std::string> nextDayDesignations() const override { return {"tomorrow"}; }
    std::string timeFormat() const override { return time_; }
    std::string dateFormat() const override { return date_; }

private:
    std::string time_, date_;
};

}  // namespace

TEST(UtilFormats, TimeWithoutSecondsAndShortDates) {
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("%I:%M:%S"), "%I:%M%p");
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("%H:%M:%S"), "%H:%M");
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("%I:%M %p"), "%I:%M %p");
    // The C library's composite conversions are written out first.
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("%r"), "%I:%M %p");
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("%T"), "%H:%M");
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("%R"), "%H:%M");
    EXPECT_EQ(ComTeskUtilControl::timeFormatWithoutSeconds("100%%"), "100%%");
    EXPECT_EQ(ComTeskUtilControl::shortDateFormat("%A, %B %e, %Y"), "%a, %b %e, %Y");
    EXPECT_EQ(ComTeskUtilControl::shortDateFormat("%A %A"), "%a %A");
    EXPECT_EQ(ComTeskUtilControl::shortDateFormat("%D"), "%m/%d/%y");

    UserLocale::setCurrent(std::make_shared<FixedLocale>("%r", "%A, %d %B %Y"));
    EXPECT_EQ(ComTeskUtilControl::getTimeFormatString(), "%I:%M %p");
    EXPECT_EQ(ComTeskUtilControl::getShortDateFormatString(), "%a, %d %b %Y");
    UserLocale::setCurrent(nullptr);
}

TEST(UtilFormats, CreditsAsPlainText) {
    EXPECT_EQ(rtfToPlainText("{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}{\\colortbl;\\red255;}"
                             "\\pard\\qc\\f0\\fs24 Skyvane\\par by {\\b the} authors\\\n"
                             "caf\\'e9 \\{braces\\}{\\*\\generator Writer;}}"),
              "Skyvane\nby the authors\ncaf\xE9 {braces}");
    EXPECT_EQ(rtfToPlainText("plain text"), "plain text");
    EXPECT_EQ(rtfToPlainText("{\\rtf1 unterminated \\"), "unterminated ");
}

TEST(UtilTasks, RunTaskReadsTheOutputAndLeavesNoChild) {
    EXPECT_EQ(ComTeskUtilControl::runTask("/bin/echo", {"hello", "world"}), "hello world\n");
    EXPECT_FALSE(ComTeskUtilControl::runTask("/bin/true", {}).has_value());
    EXPECT_FALSE(ComTeskUtilControl::runTask("/no/such/program", {"x"}).has_value());
    const std::string big(100000, 'x');
    auto out = ComTeskUtilControl::runTask("/bin/sh", {"-c", "head -c 100000 /dev/zero | tr '\\0' x"});
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(*out, big);
    siginfo_t info{};
    EXPECT_EQ(waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(UtilTest, ShowUrlOpensThePageOfTheTag) {
    MenuItemRef item = MenuItem::create("newversion");
    item->setTag(-1);
    util.showUrl(*item);
    EXPECT_TRUE(opened.empty());
    item->setTag(5);
    util.showUrl(*item);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], app.site + "/products/skyvane");
}

TEST_F(UtilTest, AboutBoxDescribesTheBundle) {
    util.aboutAction(nullptr);
    ASSERT_NE(util.aboutWindow, nullptr);
    EXPECT_TRUE(util.aboutWindow->isVisible());
    EXPECT_TRUE(util.aboutWindow->isKeyWindow());
    // No blank is left where the format has room for a version.
    EXPECT_EQ(util.aboutWindow->title(), "About Skyvane");
    EXPECT_EQ(util.aboutTitleText->stringValue(), "Skyvane");
    EXPECT_EQ(util.aboutVersionText->stringValue(), "v1.2");
    EXPECT_EQ(util.aboutCopyrightText->stringValue(), "Copyright 2026 the Skyvane authors");
    EXPECT_EQ(util.aboutButton->title(), "OK");
    // The name, version and copyright are centred as the credits are.
    for (const auto& line : {util.aboutTitleText, util.aboutVersionText, util.aboutCopyrightText})
        EXPECT_EQ(line->alignment(), TextAlignment::Center) << line->stringValue();
    EXPECT_EQ(util.aboutCreditsTV->alignment(), TextAlignment::Center);
    const std::string credits = util.aboutCreditsTV->string();
    EXPECT_EQ(credits.rfind("Skyvane\nWeather in your menu bar.", 0), 0u) << credits;
    EXPECT_EQ(credits.find('\\'), std::string::npos);
    EXPECT_EQ(util.versionLine->stringValue(), "v1.2");

    // The OK button closes the box and tells the application.
    EXPECT_TRUE(util.aboutButton->userClick());
    EXPECT_FALSE(util.aboutWindow->isVisible());
    EXPECT_EQ(app.windowsClosed, 1);
}

TEST_F(UtilTest, NoUtilFileShowsNothing) {
    unregisterUIFile("Util");
    util.aboutAction(nullptr);
    util.emailAction(nullptr);
    EXPECT_EQ(util.aboutWindow, nullptr);
    EXPECT_FALSE(util.loadMyNib());
    EXPECT_TRUE(Application::shared().windows().empty());
    registerUtilUIFile();
    EXPECT_TRUE(util.loadMyNib());

    ComTeskUtilControl unattached;
    unattached.aboutAction(nullptr);
    EXPECT_EQ(unattached.aboutWindow, nullptr);
}

TEST_F(UtilTest, VersionLineWithoutABundleVersion) {
    TempDir other;
    TestApp bare(other, "<key>CFBundleIdentifier</key><string>org.skyvane.bare</string>");
    ComTeskUtilControl u;
    ASSERT_TRUE(u.loadMyNib());
    u.initWithApp(&bare);
    EXPECT_EQ(u.versionLine->stringValue(), "v?.??");
    u.aboutAction(nullptr);
    EXPECT_EQ(u.aboutVersionText->stringValue(), "");
    EXPECT_EQ(u.aboutWindow->title(), "About");  // the builder's title stays without a name
}

TEST_F(UtilTest, InvalidAddressesKeepTheWindowOpen) {
    util.emailAction(nullptr);
    ASSERT_TRUE(util.emailWindow->isVisible());
    for (const char* address : {"", "a@bc", "nobody.example.org", "@example.org", "someone@"}) {
        Application::shared().clearAlerts();
        util.emailTF->setStringValue(address);
        signUpButton().userClick();
        ASSERT_EQ(Application::shared().alerts().size(), 1u) << address;
        AlertRef alert = Application::shared().alerts()[0];
        EXPECT_EQ(alert->messageText(), "E-mail Signup");
        EXPECT_EQ(alert->informativeText(), "Please enter a valid e-mail address.");
        EXPECT_EQ(alert->parentWindow(), util.emailWindow.get());
        alert->userPressButton(kAlertDefaultReturn);
        EXPECT_TRUE(util.emailWindow->isVisible()) << address;
    }
    EXPECT_EQ(app.windowsClosed, 0);
}

TEST_F(UtilTest, SignupRequestIsEncodedAndAnHtmlAnswerCloses) {
    FixtureServer server;
    server.route("*", "/cgi-bin/emailsignup.pl", FixtureReply::page("<html><body>Thanks</body></html>"));
    app.site = server.url("");
    signUp("a+b&c@example.org");
    ASSERT_EQ(server.requestCount(), 1u);
    EXPECT_EQ(server.lastRequest().path, "/cgi-bin/emailsignup.pl?username=a%2Bb%26c%40example.org&program=Skyvane");
    EXPECT_TRUE(Application::shared().alerts().empty());
    EXPECT_FALSE(util.emailWindow->isVisible());
    EXPECT_EQ(app.windowsClosed, 1);
}

TEST_F(UtilTest, RequestErrorsAreShownAndThenCloseTheWindow) {
    FixtureServer server;
    server.route("*", "/cgi-bin/emailsignup.pl", FixtureReply::page("ERROR: already signed up"));
    app.site = server.url("");
    signUp("someone@example.org");
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    EXPECT_EQ(Application::shared().alerts()[0]->informativeText(), "Please enter a valid e-mail address.");
    EXPECT_TRUE(util.emailWindow->isVisible());  // until the alert is dismissed
    Application::shared().alerts()[0]->userPressButton(kAlertDefaultReturn);
    EXPECT_FALSE(util.emailWindow->isVisible());

    // Nobody answering: the request error, and the window closes after it too.
    RefusedPort refused;
    app.site = "http://127.0.0.1:" + std::to_string(refused.port());
    signUp("someone@example.org");
    ASSERT_EQ(Application::shared().alerts().size(), 2u);
    EXPECT_EQ(Application::shared().alerts()[1]->informativeText(),
              "Could not reach the signup service. Please try again later.");
    Application::shared().alerts()[1]->userPressButton(kAlertDefaultReturn);
    EXPECT_FALSE(util.emailWindow->isVisible());
    EXPECT_EQ(app.windowsClosed, 2);
}

TEST_F(UtilTest, EmailSheetEndsWithTheSendersTag) {
    WindowRef main = Window::create({0, 0, 500, 400}, "Preferences");
    main->makeKeyAndOrderFront();
    util.emailSheetAction(nullptr);
    ASSERT_TRUE(util.emailWindow->isSheet());
    EXPECT_EQ(util.emailWindow->sheetParent(), main.get());
    EXPECT_EQ(app.currentWindow, util.emailWindow.get());
    EXPECT_FALSE(app.currentModal);
    EXPECT_TRUE(app.currentSheet);

    // An error alert of a sheet has no parent window.
    util.emailTF->setStringValue("bad");
    signUpButton().userClick();
    ASSERT_EQ(Application::shared().alerts().size(), 1u);
    EXPECT_FALSE(Application::shared().alerts()[0]->isSheet());

    // Cancel (tag 0) ends the sheet and closes it.
    for (const auto& v : util.emailWindow->contentView()->subviews())
        if (auto b = std::dynamic_pointer_cast<Button>(v); b && b->title() == "Cancel") b->userClick();
    EXPECT_FALSE(util.emailWindow->isSheet());
    EXPECT_FALSE(util.emailWindow->isVisible());
    EXPECT_EQ(main->attachedSheet(), nullptr);
}

TEST_F(UtilTest, VersionFetchReportsTheText) {
    FixtureServer server;
    server.route("*", "/products/skyvane/version.txt", FixtureReply::page("2.1", 200, "text/plain"));
    app.site = server.url("");
    util.checkForUpdate();
    ASSERT_TRUE(app.runUntilVersion());
    EXPECT_EQ(app.versionsSeen(), (std::vector<std::string>{"2.1"}));
    EXPECT_EQ(app.offMainThread, 0);
}

TEST_F(UtilTest, VersionArrivingAfterTheControllerIsGoneIsDropped) {
    FixtureServer server;
    server.route("*", "/products/skyvane/version.txt", FixtureReply::page("2.1", 200, "text/plain").delay(300));
    app.site = server.url("");
    {
        ComTeskUtilControl gone;
        gone.initWithApp(&app);
        gone.checkForUpdate();
    }
    EXPECT_FALSE(app.runUntilVersion(1500));
    EXPECT_TRUE(app.versionsSeen().empty());
}

TEST_F(UtilTest, ShortMissingOrFailedVersionsAreNotReported) {
    FixtureServer server;
    server.route("*", "/short", FixtureReply::page("2", 200, "text/plain"));
    {
        CaptureStderr err;
        util.loadUrlInBackground(server.url("/short"));
        EXPECT_NE(err.text().find("versionAvail is short: 2"), std::string::npos);
    }
    util.loadUrlInBackground(server.url("/missing"));  // a 404 page is no version
    RefusedPort refused;
    util.loadUrlInBackground("http://127.0.0.1:" + std::to_string(refused.port()) + "/v.txt");
    EXPECT_TRUE(app.versionsSeen().empty());
}

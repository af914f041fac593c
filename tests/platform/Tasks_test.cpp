#include "platform/Tasks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>

#include "PeerProcess.h"
#include "platform/MainLoop.h"
#include "platform/PlistFile.h"
#include "support/CaptureStream.h"
#include "support/TempDir.h"

namespace {

bool noChildrenLeft() {
    errno = 0;
    return waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD;
}

std::string waitForFile(const std::string& path, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 10) {
        std::ifstream in(path);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!text.empty() && text.back() == '\n') return text.substr(0, text.size() - 1);
        usleep(10000);
    }
    return "";
}

void writeScript(const std::filesystem::path& path, const std::string& body) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
}

}  // namespace

TEST(Tasks, RunTaskReturnsTheWholeOutputAndReapsTheChild) {
    EXPECT_EQ(runTask("/bin/echo", {"hello", "two words"}), "hello two words\n");
    // More than a pipe holds at once.
    auto big = runTask("/bin/sh", {"-c", "head -c 1000000 /dev/zero"});
    ASSERT_TRUE(big);
    EXPECT_EQ(big->size(), 1000000u);
    // Empty output, a failing program and one that cannot start give nothing.
    EXPECT_FALSE(runTask("/bin/true", {}));
    EXPECT_FALSE(runTask("/bin/sh", {"-c", "exit 3"}));
    EXPECT_EQ(runTask("/bin/sh", {"-c", "echo partial; exit 3"}), "partial\n");
    // Standard input is empty, so a program that reads it does not hang.
    EXPECT_FALSE(runTask("/bin/cat", {}));
    CaptureStderr err;
    EXPECT_FALSE(runTask("/nonexistent/program", {}));
    EXPECT_NE(err.text().find("/nonexistent/program"), std::string::npos);
    EXPECT_TRUE(noChildrenLeft());
}

TEST(Tasks, DetachedProgramsRunOnTheirOwnAndLeaveNoZombie) {
    TempDir dir;
    std::string marker = dir.file("ran");
    ASSERT_TRUE(launchDetached("/bin/sh", {"-c", "echo $PPID > \"$0\"", marker}));
    std::string parent = waitForFile(marker);
    ASSERT_NE(parent, "");
    EXPECT_NE(parent, std::to_string(getpid()));
    EXPECT_TRUE(noChildrenLeft());

    std::filesystem::path app = dir.path() / "Skyvane Setup.app";
    std::string error;
    std::filesystem::create_directories(app);
    ASSERT_TRUE(plist::writeFile(app / "Info.plist", plist::Dict{{"CFBundleExecutable", "skyvane-setup"}}, error));
    writeScript(app / "skyvane-setup", "echo started > \"" + dir.file("setup") + "\"");
    ASSERT_TRUE(launchApplication(app));
    EXPECT_EQ(waitForFile(dir.file("setup")), "started");

    CaptureStderr err;
    EXPECT_FALSE(launchApplication(dir.file("Missing.app")));
    EXPECT_FALSE(launchDetached("/nonexistent/program", {}));
    std::string log = err.text();
    EXPECT_NE(log.find("Missing.app"), std::string::npos);
    EXPECT_NE(log.find("/nonexistent/program"), std::string::npos);
    EXPECT_TRUE(noChildrenLeft());
}

TEST(Tasks, UrlsGoToTheOpenerInUse) {
    std::vector<std::string> opened;
    setURLOpener([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    EXPECT_TRUE(openURL("http://www.example.com/products/skyvane"));
    CaptureStderr err;
    EXPECT_FALSE(openURL("not a url"));
    EXPECT_FALSE(openURL(""));
    EXPECT_NE(err.text().find("not a URL"), std::string::npos);
    setURLOpener(nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{"http://www.example.com/products/skyvane"});
}

// Opens a URL through the desktop's handler, in a process whose desktop
// configuration names a handler of ours.
TEST(Tasks, DISABLED_PeerOpensUrl) { peerSay(openURL(peerEnv("PEER_URL")) ? "opened" : "failed"); }

TEST(Tasks, UrlsOpenInTheDesktopsDefaultHandler) {
    TempDir dir;
    std::string record = dir.file("opened");
    writeScript(dir.path() / "browser", "echo \"$1\" > \"" + record + "\"");
    std::filesystem::create_directories(dir.path() / "data/applications");
    std::ofstream(dir.path() / "data/applications/skyvane-test-browser.desktop")
        << "[Desktop Entry]\nType=Application\nName=Test Browser\nExec=" << dir.file("browser")
        << " %u\nMimeType=x-scheme-handler/http;\n";
    std::filesystem::create_directories(dir.path() / "config");
    std::ofstream(dir.path() / "config/mimeapps.list")
        << "[Default Applications]\nx-scheme-handler/http=skyvane-test-browser.desktop\n";

    PeerProcess peer("Tasks.DISABLED_PeerOpensUrl", {{"PEER_URL", "http://www.example.com/a?b=c"},
                                                     {"XDG_DATA_HOME", dir.file("data")},
                                                     {"XDG_DATA_DIRS", dir.file("nothing")},
                                                     {"XDG_CONFIG_HOME", dir.file("config")},
                                                     {"XDG_CONFIG_DIRS", dir.file("nothing")},
                                                     {"XDG_CURRENT_DESKTOP", ""}});
    EXPECT_EQ(peer.readLine(), "opened");
    EXPECT_EQ(waitForFile(record), "http://www.example.com/a?b=c");
    EXPECT_EQ(peer.wait(), 0);
}

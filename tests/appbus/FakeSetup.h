#pragma once
// A stand-in for the setup application on the private session bus: this
// test program run again as its one disabled test "FakeSetup.DISABLED_Run",
// vending the setup protocol under "com.tesk.SkyvaneSetup". It writes one
// line per call it gets to the file named by FAKE_SETUP_LOG and ends when
// the file named by FAKE_SETUP_STOP appears (or after 60 seconds).
//
// A FakeSetupSession gives one test its log and stop files and bundles that
// start the stand-in, and at its end stops every stand-in it started.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/SkyvaneProtocols.h"
#include "platform/BusObject.h"
#include "platform/MainLoop.h"
#include "support/TempDir.h"

class FakeSetupSession {
public:
    FakeSetupSession() {
        setenv("FAKE_SETUP_LOG", logPath().c_str(), 1);
        setenv("FAKE_SETUP_STOP", stopPath().c_str(), 1);
        std::filesystem::remove(stopPath());
    }
    ~FakeSetupSession() { stopAll(); }

    std::string logPath() const { return dir.file("calls.log"); }
    std::string stopPath() const { return dir.file("stop"); }

    // A bundle <name> whose program is the stand-in (or `program` when given).
    std::string makeSetupBundle(const std::filesystem::path& where, const std::string& program = "") {
        namespace fs = std::filesystem;
        fs::create_directories(where / "Resources");
        const fs::path script = where / "fake-setup";
        {
            std::ofstream out(script);
            if (program.empty())
                out << "#!/bin/sh\nexec '" << fs::read_symlink("/proc/self/exe").string()
                    << "' --gtest_also_run_disabled_tests --gtest_filter=FakeSetup.DISABLED_Run >/dev/null\n";
            else
                out << "#!/bin/sh\nexec " << program << "\n";
        }
        ::chmod(script.c_str(), 0755);
        std::ofstream(where / "Info.plist") << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                                               "<key>CFBundleExecutable</key><string>fake-setup</string>"
                                               "</dict></plist>\n";
        return where.string();
    }

    // The calls the stand-ins got so far, one line each.
    std::vector<std::string> calls() const {
        std::vector<std::string> lines;
        std::ifstream in(logPath());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
    // Waits until at least n calls arrived, running the main loop meanwhile
    // (a starting setup application is looked for from its timers). The
    // default outlasts the link's 15 looks a second apart, so a setup program
    // that starts slowly on a loaded machine still counts.
    bool waitForCalls(size_t n, int timeoutMs = 20000) const {
        for (int waited = 0; waited < timeoutMs; waited += 20) {
            if (calls().size() >= n) return true;
            MainLoop::instance().runUntil([] { return false; }, 20);
        }
        return calls().size() >= n;
    }

    static bool setupIsVending() { return RemoteObject::lookup(kSkyvaneSetupBusName, kSkyvaneSetupPublic) != nullptr; }

    // Ends every stand-in and waits until the name is free again.
    void stopAll() const {
        std::ofstream(stopPath()) << "stop\n";
        for (int waited = 0; waited < 10000 && setupIsVending(); waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::filesystem::remove(stopPath());
    }

    TempDir dir;
};

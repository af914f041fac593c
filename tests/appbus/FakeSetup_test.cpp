#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeSetup.h"
#include "platform/MainLoop.h"

namespace {

std::string describe(const plist::Value& v) {
    if (v.isNone()) return "nil";
    if (v.isString()) return v.asString();
    if (v.isDict()) return "dict(" + std::to_string(v.asDict().size()) + ")";
    return std::to_string(v.asInt());
}

}  // namespace

TEST(FakeSetup, DISABLED_Run) {
    const std::string log = std::getenv("FAKE_SETUP_LOG") ? std::getenv("FAKE_SETUP_LOG") : "/dev/null";
    const std::string stop = std::getenv("FAKE_SETUP_STOP") ? std::getenv("FAKE_SETUP_STOP") : "";
    VendedObject object({kSkyvaneSetupPublic}, [&](const std::string&, const std::string& method, const plist::Array& args) {
        std::ostringstream line;
        line << method;
        for (const plist::Value& arg : args) line << " " << describe(arg);
        if (!args.empty() && args[0].isDict()) line << " mode=" << describe(args[0].get("mode"));
        std::ofstream(log, std::ios::app) << line.str() << "\n";
        return plist::Value();
    });
    if (!object.registerName(kSkyvaneSetupBusName)) return;
    int ticks = 0;
    MainLoop::instance().addTimer(20, [&] {
        if (++ticks > 3000 || (!stop.empty() && std::filesystem::exists(stop))) {
            MainLoop::instance().quit();
            return false;
        }
        return true;
    });
    MainLoop::instance().run();
    object.withdraw();
}

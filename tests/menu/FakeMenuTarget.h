#pragma once
// A status menu for the menu-layer tests: it keeps the lines that the posted
// calls build (so a test sees the menu the calls leave behind) and a log of
// every call, both touched on the main thread only.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "menu/PlimMenuTarget.h"
#include "platform/MainLoop.h"

class FakeMenuTarget : public PlimMenuTarget {
public:
    struct Line {
        bool filled = false;
        plist::Dict dict;
        std::string get(const std::string& key) const {
            auto it = dict.find(key);
            return it == dict.end() ? std::string("<none>") : it->second.stringOr("<not a string>");
        }
    };

    void setMainImageOfSet(const std::string& set, const std::string& key) override {
        noteThread();
        log.push_back("image " + set + "/" + key);
    }
    void setMainWeatherImage(int code, int warning, int minuteOfDay, int sunrise, int sunset,
                             float saturation) override {
        noteThread();
        log.push_back("weather " + std::to_string(code) + " " + std::to_string(warning) + " " +
                      std::to_string(minuteOfDay) + " " + std::to_string(sunrise) + " " + std::to_string(sunset) +
                      " " + std::to_string(saturation));
    }
    void setMainText(const std::string& text, float size) override {
        noteThread();
        log.push_back("text [" + text + "] " + std::to_string(static_cast<int>(size)));
    }
    void addItemAtIndex(unsigned int index) override {
        noteThread();
        log.push_back("add " + std::to_string(index));
        if (index > lines.size()) {
            faults.push_back("add out of range " + std::to_string(index));
            return;
        }
        lines.insert(lines.begin() + index, Line{});
    }
    void removeItemAtIndex(unsigned int index) override {
        noteThread();
        log.push_back("remove " + std::to_string(index));
        if (index >= lines.size()) {
            faults.push_back("remove out of range " + std::to_string(index));
            return;
        }
        lines.erase(lines.begin() + index);
    }
    void changeIconSet(int set) override {
        noteThread();
        log.push_back("iconset " + std::to_string(set));
    }
    void setMenuItem(unsigned int index, const plist::Dict& dict) override {
        noteThread();
        log.push_back("set " + std::to_string(index));
        if (index >= lines.size()) {
            faults.push_back("set out of range " + std::to_string(index));
            return;
        }
        lines[index] = Line{true, dict};
    }

    // The "item" value of each line, in menu order.
    std::vector<std::string> itemNames() const {
        std::vector<std::string> names;
        for (const Line& line : lines) names.push_back(line.get("item"));
        return names;
    }
    const Line* line(const std::string& item) const {
        for (const Line& l : lines)
            if (l.get("item") == item) return &l;
        return nullptr;
    }
    // Lines the calls log since the mark, and the mark moved to the end.
    std::vector<std::string> takeLog() {
        std::vector<std::string> out(log.begin() + static_cast<long>(mark), log.end());
        mark = log.size();
        return out;
    }

    void noteThread() {
        if (!MainLoop::instance().isMainThread()) ++offMainThread;
    }

    std::vector<Line> lines;
    std::atomic<int> offMainThread{0};  // calls that ran on another thread
    std::vector<std::string> log;
    std::vector<std::string> faults;
    size_t mark = 0;
};

// Runs the main loop until every call posted before now has run: a marker
// posted from another thread queues behind them.
inline bool drainMainThreadPosts() {
    std::atomic<bool> done{false};
    MainThreadChannel marker;
    std::thread([&] { marker.post([&] { done = true; }); }).join();
    return MainLoop::instance().runUntil([&] { return done.load(); }, 10000);
}

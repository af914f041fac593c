#pragma once
// Collects what the scraping engine logs while an instance lives.

#include <mutex>
#include <string>

#include "scrapers/scraperLog.h"

class LogCapture {
public:
    LogCapture() {
        std::lock_guard<std::mutex> guard(mutex());
        text()[0].clear();
        text()[1].clear();
        scraperLog::setSink(&collect);
    }
    ~LogCapture() { scraperLog::setSink(nullptr); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string errors() { return take(scraperLog::Stream::Err); }
    std::string output() { return take(scraperLog::Stream::Out); }

    static size_t count(const std::string& haystack, const std::string& needle) {
        size_t n = 0;
        for (size_t pos = haystack.find(needle); pos != std::string::npos; pos = haystack.find(needle, pos + 1)) ++n;
        return n;
    }

private:
    static std::mutex& mutex() {
        static std::mutex m;
        return m;
    }
    static std::string (&text())[2] {
        static std::string t[2];
        return t;
    }
    static void collect(scraperLog::Stream stream, const std::string& message) {
        std::lock_guard<std::mutex> guard(mutex());
        text()[stream == scraperLog::Stream::Err ? 1 : 0] += message;
    }
    std::string take(scraperLog::Stream stream) {
        std::lock_guard<std::mutex> guard(mutex());
        return text()[stream == scraperLog::Stream::Err ? 1 : 0];
    }
};

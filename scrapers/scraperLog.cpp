#include "scrapers/scraperLog.h"

#include <atomic>

#include "util/GeneralUtils.h"

namespace {
std::atomic<scraperLog::Sink> currentSink{nullptr};
}

void scraperLog::error(const std::string& text) {
    if (Sink sink = currentSink.load(std::memory_order_acquire)) {
        sink(Stream::Err, text);
    } else {
        GeneralUtils::error(text);
    }
}

void scraperLog::print(const std::string& text) {
    if (Sink sink = currentSink.load(std::memory_order_acquire)) {
        sink(Stream::Out, text);
    } else {
        GeneralUtils::print(text);
    }
}

void scraperLog::setSink(Sink sink) { currentSink.store(sink, std::memory_order_release); }

void scraperLog::discard(Stream, const std::string&) {}

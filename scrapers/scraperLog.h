#pragma once
// Diagnostics of the scraping engine. They go to standard error (errors) and
// standard output (notes) unless a sink is installed, so tests and benchmarks
// can collect or silence them.

#include <string>

class scraperLog {
public:
    enum class Stream { Out, Err };
    using Sink = void (*)(Stream stream, const std::string& text);

    static void error(const std::string& text);
    static void print(const std::string& text);

    // Installs a sink for every later message of every thread; nullptr
    // restores the standard streams.
    static void setSink(Sink sink);
    // A sink that drops everything.
    static void discard(Stream stream, const std::string& text);
};

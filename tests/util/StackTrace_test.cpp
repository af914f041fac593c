#include "util/StackTrace.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/TempDir.h"

namespace {

__attribute__((noinline)) StackTrace traceFromNamedFunction() {
    StackTrace t = StackTrace::current();
    asm volatile("");  // keep the call from becoming a tail call
    return t;
}

__attribute__((noinline)) void throwTraced() {
    throw TracedException("initialization failed");
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// True once this process has no child left, exited or running (WNOWAIT: the
// check itself reaps nothing).
bool noChildrenWithin(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        siginfo_t info{};
        if (waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) < 0 && errno == ECHILD) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

}  // namespace

TEST(StackTrace, SymbolizesFunctionNamesOfTheProgram) {
    StackTrace trace = traceFromNamedFunction();
    ASSERT_FALSE(trace.empty());
    TempDir dir;
    const std::string out = dir.file("trace.txt");
    {
        std::FILE* f = std::fopen(out.c_str(), "w");
        ASSERT_NE(f, nullptr);
        EXPECT_TRUE(symbolizeStackTrace(trace, fileno(f)));
        std::fclose(f);
    }
    const std::string text = readFile(out);
    // The innermost frame is the function that asked for the trace, then this test.
    EXPECT_NE(text.find("traceFromNamedFunction"), std::string::npos) << text;
    EXPECT_NE(text.find("SymbolizesFunctionNamesOfTheProgram"), std::string::npos) << text;
    EXPECT_LT(text.find("traceFromNamedFunction"), text.find("SymbolizesFunctionNamesOfTheProgram"));
    EXPECT_TRUE(noChildrenWithin(std::chrono::seconds(1)));
}

TEST(StackTrace, ExceptionsKeepTheTraceOfWhereTheyWereMade) {
    try {
        throwTraced();
        FAIL() << "no exception";
    } catch (const TracedException& e) {
        EXPECT_STREQ(e.what(), "initialization failed");
        TempDir dir;
        std::FILE* f = std::fopen(dir.file("t.txt").c_str(), "w");
        ASSERT_NE(f, nullptr);
        symbolizeStackTrace(e.trace(), fileno(f));
        std::fclose(f);
        EXPECT_NE(readFile(dir.file("t.txt")).find("throwTraced"), std::string::npos);
    }
}

TEST(StackTrace, PrintReturnsAtOnceAndLeavesNoZombie) {
    TempDir dir;
    const std::string out = dir.file("stdout.txt");
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    std::FILE* f = std::fopen(out.c_str(), "w");
    ASSERT_NE(f, nullptr);
    dup2(fileno(f), STDOUT_FILENO);
    const bool started = printStackTrace(std::runtime_error("plain"));
    // Wait for the background symboliser to write and end.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (readFile(out).find("PrintReturnsAtOnceAndLeavesNoZombie") == std::string::npos &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const bool reaped = noChildrenWithin(std::chrono::seconds(10));
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::fclose(f);
    EXPECT_TRUE(started);
    EXPECT_NE(readFile(out).find("PrintReturnsAtOnceAndLeavesNoZombie"), std::string::npos);
    EXPECT_TRUE(reaped);
}

TEST(StackTrace, NothingStartsWithoutTheTool) {
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", "/nonexistent", 1);
    const bool started = printStackTrace(StackTrace::current());
    TempDir dir;
    std::FILE* f = std::fopen(dir.file("t.txt").c_str(), "w");
    const bool symbolized = symbolizeStackTrace(StackTrace::current(), fileno(f));
    std::fclose(f);
    setenv("PATH", oldPath.c_str(), 1);
    EXPECT_FALSE(started);
    EXPECT_FALSE(symbolized);
    EXPECT_FALSE(printStackTrace(StackTrace()));
}

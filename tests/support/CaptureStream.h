#pragma once
// Captures what code under test writes to standard output or standard error.
// text() ends the capture; a capture that was never read ends with its scope.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

class CaptureStderr {
public:
    CaptureStderr() { ::testing::internal::CaptureStderr(); }
    ~CaptureStderr() {
        if (!done_) text();
    }
    CaptureStderr(const CaptureStderr&) = delete;
    CaptureStderr& operator=(const CaptureStderr&) = delete;
    std::string text() {
        done_ = true;
        return ::testing::internal::GetCapturedStderr();
    }

private:
    bool done_ = false;
};

class CaptureStdout {
public:
    CaptureStdout() { ::testing::internal::CaptureStdout(); }
    ~CaptureStdout() {
        if (!done_) text();
    }
    CaptureStdout(const CaptureStdout&) = delete;
    CaptureStdout& operator=(const CaptureStdout&) = delete;
    std::string text() {
        done_ = true;
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }

private:
    bool done_ = false;
};

#pragma once
// Captures what code under test writes to standard output or standard error.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

class CaptureStderr {
public:
    CaptureStderr() { ::testing::internal::CaptureStderr(); }
    std::string text() { return ::testing::internal::GetCapturedStderr(); }
};

class CaptureStdout {
public:
    CaptureStdout() { ::testing::internal::CaptureStdout(); }
    std::string text() {
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    }
};

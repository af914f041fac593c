#include <gtest/gtest.h>

#include <clocale>
#include <csignal>

int main(int argc, char** argv) {
    // Tests must not depend on the locale of whoever runs them.
    std::setlocale(LC_ALL, "C");
    // A peer that closes a socket must not kill the test program.
    std::signal(SIGPIPE, SIG_IGN);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

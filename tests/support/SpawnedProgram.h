#pragma once
// A real program started headless with this test's environment, its output
// in a log file; ending it sends SIGTERM and waits, up to a deadline, for it
// to exit, so a hung program fails the test instead of stalling it.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;
// What every test program tells the sanitizers to leave alone (the shared test main).
extern "C" const char* __tsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions();

class SpawnedProgram {
public:
    // `extra` entries (NAME=value) replace the test's own; the display goes.
    SpawnedProgram(const std::string& path, const TempDir& dir, std::vector<std::string> extra = {})
        : log_(dir.file(path.substr(path.rfind('/') + 1) + ".log")) {
        std::ofstream(dir.file("tsan.supp")) << __tsan_default_suppressions();
        std::ofstream(dir.file("lsan.supp")) << __lsan_default_suppressions();
        extra.push_back("TSAN_OPTIONS=suppressions=" + dir.file("tsan.supp"));
        extra.push_back("LSAN_OPTIONS=suppressions=" + dir.file("lsan.supp"));
        std::vector<std::string> env = extra;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
            bool replaced = name == "DISPLAY=" || name == "WAYLAND_DISPLAY=";
            for (const std::string& own : extra) replaced = replaced || own.rfind(name, 0) == 0;
            if (!replaced) env.push_back(entry);
        }
        std::vector<char*> envp;
        for (std::string& entry : env) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = path;
        char* argv[] = {program.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~SpawnedProgram() {
        if (pid_ > 0) ::kill(pid_, SIGKILL), ::waitpid(pid_, nullptr, 0);
    }
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    std::string log() const { return fileBytes(log_); }
    // Whether the log says `text` within `bound`.
    bool waitForLog(const std::string& text, std::chrono::seconds bound) const {
        for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < bound;) {
            if (log().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    struct Exit {
        bool ended = false;  // within the deadline; killed otherwise
        std::chrono::steady_clock::duration took{};
        int status = 0;  // as waitpid gives it
    };
    Exit terminate(std::chrono::seconds deadline = std::chrono::seconds(20)) {
        if (pid_ > 0) ::kill(pid_, SIGTERM);  // never a signal to pid -1, which means every process
        return waitForExit(deadline);
    }
    // Waits for the program to end on its own; killed after the deadline.
    Exit waitForExit(std::chrono::seconds deadline = std::chrono::seconds(20)) {
        Exit exit;
        if (pid_ <= 0) return exit;
        const auto start = std::chrono::steady_clock::now();
        pid_t ended = 0;
        while ((ended = ::waitpid(pid_, &exit.status, WNOHANG)) == 0 &&
               std::chrono::steady_clock::now() - start < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        exit.took = std::chrono::steady_clock::now() - start;
        exit.ended = ended == pid_;
        if (!exit.ended) ::kill(pid_, SIGKILL), ::waitpid(pid_, &exit.status, 0);
        pid_ = -1;
        return exit;
    }

private:
    std::string log_;
    pid_t pid_ = -1;
};

#pragma once
// Runs this test program again as a second process that runs one disabled
// test (the "peer"), with extra environment. The peer reports on a pipe that
// it finds as descriptor 3 (peerSay); the test reads those lines.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

extern char** environ;

class PeerProcess {
public:
    PeerProcess(const std::string& testName, const std::map<std::string, std::string>& env = {}) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return;
        std::vector<std::string> args = {"/proc/self/exe", "--gtest_also_run_disabled_tests",
                                         "--gtest_filter=" + testName};
        std::vector<std::string> envs;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            if (!env.count(entry.substr(0, entry.find('=')))) envs.push_back(entry);
        }
        for (const auto& [k, v] : env) envs.push_back(k + "=" + v);
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envs) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (posix_spawn(&pid, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data()) == 0) pid_ = pid;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        fd_ = fds[0];
    }
    ~PeerProcess() {
        kill();
        if (fd_ >= 0) ::close(fd_);
    }
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // The next line the peer said, without its newline; "" after timeoutMs
    // or when the peer closed the pipe.
    std::string readLine(int timeoutMs = 10000) {
        for (;;) {
            size_t nl = buffer_.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer_.substr(0, nl);
                buffer_.erase(0, nl + 1);
                return line;
            }
            pollfd p{fd_, POLLIN, 0};
            int r = poll(&p, 1, timeoutMs);
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return "";
            char buf[256];
            ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) return "";
            buffer_.append(buf, static_cast<size_t>(n));
        }
    }

    // Waits for the peer to end; its exit status, or -1 when it was killed.
    int wait() {
        if (pid_ <= 0) return -1;
        int status = 0;
        while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        wait();
    }

private:
    int pid_ = -1;
    int fd_ = -1;
    std::string buffer_;
};

// In a peer: says one line to the test that started it.
inline void peerSay(const std::string& line) {
    std::string text = line + "\n";
    [[maybe_unused]] ssize_t n = ::write(3, text.data(), text.size());
}

// The value of a peer's environment variable, "" when unset.
inline std::string peerEnv(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? v : "";
}

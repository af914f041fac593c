#include "platform/Tasks.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>

#include "platform/Bundle.h"

extern char** environ;

namespace {

// More output than this is no answer a caller can use; the child is stopped.
constexpr size_t kMaxOutput = 16u << 20;

std::mutex openerMutex;
std::function<bool(const std::string&)> urlOpener;

std::vector<char*> argvOf(const std::string& path, const std::vector<std::string>& args, std::vector<std::string>& store) {
    store.clear();
    store.push_back(path);
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : store) argv.push_back(s.data());
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

std::optional<std::string> runTask(const std::string& path, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        std::cerr << "runTask: no pipe for [" << path << "]: " << std::strerror(errno) << std::endl;
        return std::nullopt;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<std::string> store;
    std::vector<char*> argv = argvOf(path, args, store);
    pid_t pid = -1;
    int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ::close(fds[0]);
        std::cerr << "runTask: cannot start [" << path << "]: " << std::strerror(spawned) << std::endl;
        return std::nullopt;
    }
    std::string output;
    bool ok = true;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::cerr << "runTask: cannot read the output of [" << path << "]: " << std::strerror(errno) << std::endl;
            ok = false;
            break;
        }
        if (n == 0) break;
        if (output.size() + static_cast<size_t>(n) > kMaxOutput) {
            std::cerr << "runTask: [" << path << "] wrote more than " << kMaxOutput << " bytes; stopped" << std::endl;
            ::kill(pid, SIGKILL);
            ok = false;
            break;
        }
        output.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ok || output.empty()) return std::nullopt;
    return output;
}

bool launchDetached(const std::string& path, const std::vector<std::string>& args) {
    std::vector<std::string> store;
    std::vector<char*> argv = argvOf(path, args, store);
    GError* error = nullptr;
    // Without DO_NOT_REAP_CHILD GLib starts the program through an
    // intermediate child, so nothing is left to reap.
    gboolean ok = g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_STDIN_FROM_DEV_NULL, nullptr, nullptr, nullptr,
                                &error);
    if (!ok) {
        std::cerr << "launchDetached: cannot start [" << path << "]: " << error->message << std::endl;
        g_clear_error(&error);
        return false;
    }
    return true;
}

bool launchApplication(const std::string& bundlePath) {
    std::string executable = Bundle(bundlePath).executablePath();
    if (executable.empty()) {
        std::cerr << "launchApplication: [" << bundlePath << "] has no executable" << std::endl;
        return false;
    }
    return launchDetached(executable, {});
}

bool openURL(const std::string& url) {
    if (!g_uri_is_valid(url.c_str(), G_URI_FLAGS_NONE, nullptr)) {
        std::cerr << "openURL: not a URL [" << url << "]" << std::endl;
        return false;
    }
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard<std::mutex> lock(openerMutex);
        opener = urlOpener;
    }
    if (opener) return opener(url);
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
        std::cerr << "openURL: cannot open [" << url << "]: " << error->message << std::endl;
        g_clear_error(&error);
        return false;
    }
    return true;
}

void setURLOpener(std::function<bool(const std::string&)> opener) {
    std::lock_guard<std::mutex> lock(openerMutex);
    urlOpener = std::move(opener);
}

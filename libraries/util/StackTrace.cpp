#include "util/StackTrace.h"

#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

extern char** environ;

namespace {

// The object file (shared library or the program itself) a code address is in.
struct CodeObject {
    std::string path;
    uintptr_t bias = 0;  // where the object was loaded
};

// The program's own file (the symboliser's /proc/self would be its own).
std::string programPath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

struct Lookup {
    uintptr_t address;
    CodeObject* out;
    bool found;
};

int findObject(dl_phdr_info* info, size_t, void* data) {
    auto* lookup = static_cast<Lookup*>(data);
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const auto& ph = info->dlpi_phdr[i];
        if (ph.p_type != PT_LOAD) continue;
        const uintptr_t start = info->dlpi_addr + ph.p_vaddr;
        if (lookup->address >= start && lookup->address < start + ph.p_memsz) {
            // The program itself has an empty name.
            lookup->out->path = info->dlpi_name && *info->dlpi_name ? info->dlpi_name : programPath();
            lookup->out->bias = info->dlpi_addr;
            lookup->found = true;
            return 1;
        }
    }
    return 0;
}

void writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::string hex(uintptr_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zx", static_cast<size_t>(v));
    return buf;
}

// Runs addr2line on the offsets of one object and waits for it, so that the
// output stays in frame order and no child is left behind.
bool runAddr2line(const std::string& object, const std::vector<std::string>& offsets, int fd) {
    std::vector<std::string> args = {"addr2line", "-C", "-f", "-i", "-p", "-e", object};
    args.insert(args.end(), offsets.begin(), offsets.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (fd != STDOUT_FILENO) posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "addr2line", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

// True when an executable of that name is in one of the PATH folders.
bool onPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    for (;;) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

}  // namespace

StackTrace StackTrace::current(int skip) {
    StackTrace trace;
    void* frames[128];
    const int n = backtrace(frames, 128);
    for (int i = 1 + (skip > 0 ? skip : 0); i < n; ++i) trace.frames_.push_back(frames[i]);
    return trace;
}

TracedException::TracedException(const std::string& what)
    : std::runtime_error(what), trace_(StackTrace::current(1)) {}

bool symbolizeStackTrace(const StackTrace& trace, int fd) {
    bool started = false;
    // Consecutive frames of the same object go to one addr2line run.
    std::string object;
    std::vector<std::string> offsets;
    auto flush = [&] {
        if (!offsets.empty() && runAddr2line(object, offsets, fd)) started = true;
        offsets.clear();
    };
    for (void* frame : trace.frames()) {
        // A return address points after the call: step back into the call.
        const uintptr_t address = reinterpret_cast<uintptr_t>(frame) - 1;
        CodeObject found;
        Lookup lookup{address, &found, false};
        dl_iterate_phdr(findObject, &lookup);
        if (!lookup.found) {
            flush();
            writeAll(fd, hex(address + 1) + ": ??\n");
            continue;
        }
        if (found.path != object) flush();
        object = found.path;
        offsets.push_back(hex(address - found.bias));
    }
    flush();
    return started;
}

bool printStackTrace(const StackTrace& trace) {
    if (trace.empty()) return false;
    if (!onPath("addr2line")) return false;
    std::fflush(stdout);
    std::thread([trace] { symbolizeStackTrace(trace, STDOUT_FILENO); }).detach();
    return true;
}

bool printStackTrace(const std::exception& e) {
    if (const auto* traced = dynamic_cast<const TracedException*>(&e)) return printStackTrace(traced->trace());
    return printStackTrace(StackTrace::current(1));
}

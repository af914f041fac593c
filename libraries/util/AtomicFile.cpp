#include "util/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

namespace atomicfile {

namespace {

std::string reason(const std::string& what, const std::string& path) {
    return what + " [" + path + "]: " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr size_t kUniqueChars = 6;  // what mkostemp puts in place of "XXXXXX"

bool isTempNameOf(const std::string& name, const std::string& base) {
    if (name.size() != base.size() + 2 + kUniqueChars || name[0] != '.' ||
        name.compare(1, base.size(), base) != 0 || name[base.size() + 1] != '.')
        return false;
    return std::all_of(name.end() - kUniqueChars, name.end(),
                       [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// Calls act(folder, name) for every leftover temporary file of path, until it
// returns false. Entries are looked at, never followed.
void forEachLeftover(const std::string& path, const std::function<bool(int, const char*)>& act) {
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    DIR* entries = ::fdopendir(folder);
    if (!entries) {
        ::close(folder);
        return;
    }
    const std::string base = baseOf(path);
    while (const dirent* entry = ::readdir(entries)) {
        if (!isTempNameOf(entry->d_name, base)) continue;
        struct stat st {};
        if (::fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (!act(folder, entry->d_name)) break;
    }
    ::closedir(entries);  // closes folder too
}

bool writeAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

bool read(const std::string& path, std::string& out, std::string& error, size_t maxBytes) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = reason("Cannot open", path);
        return false;
    }
    char buf[65536];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = reason("Cannot read", path);
            ok = false;
            break;
        }
        if (n == 0) break;
        if (out.size() + static_cast<size_t>(n) > maxBytes) {
            error = "File too large [" + path + "]";
            ok = false;
            break;
        }
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    if (!ok) out.clear();
    return ok;
}

bool replace(const std::string& path, const std::string& data, std::string& error, unsigned mode) {
    std::string folder = folderOf(path);
    std::string pattern = folder + "/." + baseOf(path) + "." + std::string(kUniqueChars, 'X');
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = reason("Cannot create a temporary file beside", path);
        return false;
    }
    std::string temp = name.data();
    bool ok = writeAll(fd, data);
    if (!ok) error = reason("Cannot write", temp);
    // The new file must be whole on disk before it takes the old one's place.
    if (ok && fsync(fd) != 0) {
        error = reason("Cannot sync", temp);
        ok = false;
    }
    if (ok && fchmod(fd, static_cast<mode_t>(mode)) != 0) {
        error = reason("Cannot set the mode of", temp);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = reason("Cannot close", temp);
        ok = false;
    }
    if (ok && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = reason("Cannot rename " + temp + " to", path);
        ok = false;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return true;
}

bool hasLeftovers(const std::string& path) {
    bool found = false;
    forEachLeftover(path, [&found](int, const char*) {
        found = true;
        return false;
    });
    return found;
}

int removeLeftovers(const std::string& path) {
    int removed = 0;
    forEachLeftover(path, [&removed](int folder, const char* name) {
        if (::unlinkat(folder, name, 0) == 0) ++removed;
        return true;
    });
    return removed;
}

bool makeFolders(const std::string& path, std::string& error) {
    if (path.empty()) return true;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        std::string part = path.substr(0, pos);
        if (part.empty()) continue;
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = reason("Cannot create the folder", part);
            return false;
        }
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error = "Not a folder [" + path + "]";
        return false;
    }
    return true;
}

}  // namespace atomicfile

#include "util/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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
    std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::string pattern = folder + "/." + base + ".XXXXXX";
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

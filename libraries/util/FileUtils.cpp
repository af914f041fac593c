#include "util/FileUtils.h"

#include <pwd.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "util/AtomicFile.h"
#include "util/GeneralUtils.h"
#include "util/ResourceLocator.h"

namespace {

constexpr size_t kBlock = 131072;

bool modeIs(const std::string& mode, std::initializer_list<const char*> allowed) {
    for (const char* m : allowed) {
        if (mode == m) return true;
    }
    return false;
}

}  // namespace

FileUtils::~FileUtils() { close(); }

int FileUtils::writeFile(const std::string& name, const std::string& data) {
    FILE* f = std::fopen(name.c_str(), "w");
    if (f == nullptr) return -1;
    size_t written = std::fwrite(data.data(), 1, data.size(), f);
    bool ok = written == data.size();
    if (std::fclose(f) != 0) ok = false;
    if (!ok) {
        GeneralUtils::error("The entire file was not written!\n");
        return -1;
    }
    return static_cast<int>(written);
}

int FileUtils::safeWriteFile(const std::string& name, const std::string& data) {
    if (data.empty()) return 0;
    std::string error;
    if (!atomicfile::replace(name, data, error)) {
        GeneralUtils::error("Some error occurred writing file [" + name + "]: " + error + "\n");
        return 0;
    }
    return static_cast<int>(data.size());
}

int FileUtils::readFile(const std::string& name, std::string& out) {
    FileUtils f;
    if (f.openForReading(name) != 0) return -1;
    return f.readEntireFile(out);
}

time_t FileUtils::getLastModificationTime(const std::string& name) {
    struct stat st {};
    return stat(name.c_str(), &st) == 0 ? st.st_mtime : 0;
}

int FileUtils::getFileLen(const std::string& name) {
    struct stat st {};
    return stat(name.c_str(), &st) == 0 ? static_cast<int>(st.st_size) : 0;
}

int FileUtils::removeFile(const std::string& name) {
    if (name.size() <= 5) return -1;
    return ::unlink(name.c_str());
}

int FileUtils::open(const std::string& name, const std::string& mode) {
    if (file_ != nullptr) {
        GeneralUtils::error("Can't open [" + name + "] fp active!\n");
        return -1;
    }
    file_ = std::fopen(name.c_str(), mode.c_str());
    if (file_ == nullptr) return -1;
    name_ = name;
    mode_ = mode == "a" ? "w" : mode;
    return 0;
}

int FileUtils::seek(long offset, int whence) {
    if (file_ == nullptr) return -1;
    return std::fseek(file_, offset, whence);
}

int FileUtils::rename(const std::string& newName) {
    if (file_ == nullptr) return -1;
    int rc = std::rename(name_.c_str(), newName.c_str());
    if (rc == 0) name_ = newName;
    return rc;
}

// Flushes at once so a full disk shows up as a short write here, not later.
bool FileUtils::writeAll(const char* data, size_t n) {
    return std::fwrite(data, 1, n, file_) == n && std::fflush(file_) == 0;
}

int FileUtils::write(const std::string& text, unsigned int threshold) {
    if (file_ == nullptr || mode_ != "w") return -1;
    if (writeBuffer_.size() + text.size() <= threshold) {
        writeBuffer_ += text;
        return static_cast<int>(text.size());
    }
    bool ok;
    if (text.size() <= 10000) {
        writeBuffer_ += text;
        ok = writeAll(writeBuffer_.data(), writeBuffer_.size());
    } else {
        ok = writeAll(writeBuffer_.data(), writeBuffer_.size()) && writeAll(text.data(), text.size());
    }
    writeBuffer_.clear();
    if (!ok) {
        GeneralUtils::error("The entire file was not written!\n");
        return -1;
    }
    return static_cast<int>(text.size());
}

int FileUtils::flushWriteBuffer() {
    if (file_ == nullptr || mode_ != "w") return -1;
    if (writeBuffer_.empty()) return 0;
    int n = static_cast<int>(writeBuffer_.size());
    if (!writeAll(writeBuffer_.data(), writeBuffer_.size())) {
        GeneralUtils::error("The entire file was not written!\n");
    }
    writeBuffer_.clear();
    return n;
}

int FileUtils::binaryWrite(const char* data, int n) {
    if (file_ == nullptr || !modeIs(mode_, {"w", "a+", "r+"}) || n < 0) return -1;
    if (!writeAll(data, static_cast<size_t>(n))) {
        GeneralUtils::error("The entire inData string was not written!\n");
        return -1;
    }
    return n;
}

int FileUtils::binaryRead(char* data, int n) {
    if (file_ == nullptr || !modeIs(mode_, {"r", "a+", "r+"}) || n < 0) return -1;
    size_t count = std::fread(data, 1, static_cast<size_t>(n), file_);
    if (count < static_cast<size_t>(n)) {
        GeneralUtils::error("Tried to read [" + std::to_string(n) + "] but only got [" + std::to_string(count) +
                            "] bytes\n");
    }
    return static_cast<int>(count);
}

int FileUtils::readFilePart(unsigned long offset, unsigned long length, std::string& out) {
    if (file_ == nullptr || mode_ != "r") return -1;
    if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
        GeneralUtils::error("FSeek failed!\n");
        return -1;
    }
    std::vector<char> block(kBlock);
    unsigned long count = 0;
    while (count < length) {
        size_t want = std::min<unsigned long>(kBlock, length - count);
        size_t got = std::fread(block.data(), 1, want, file_);
        out.append(block.data(), got);
        count += got;
        if (got < want) break;
    }
    if (count < length) {
        GeneralUtils::error("Read [" + std::to_string(count) + "] bytes, expected to read [" +
                            std::to_string(length) + "] bytes!\n");
        return -1;
    }
    return static_cast<int>(length);
}

int FileUtils::readEntireFile(std::string& out) {
    if (file_ == nullptr || mode_ != "r") return -1;
    std::vector<char> block(kBlock);
    size_t total = 0;
    while (true) {
        size_t got = std::fread(block.data(), 1, kBlock, file_);
        out.append(block.data(), got);
        total += got;
        if (got < kBlock) break;
    }
    return static_cast<int>(total);
}

int FileUtils::close() {
    if (file_ == nullptr) return -1;
    if (mode_ == "w") flushWriteBuffer();
    std::fclose(file_);
    file_ = nullptr;
    name_.clear();
    mode_.clear();
    return 0;
}

std::string getUserHomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
        struct passwd* pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : "/tmp";
    }
    std::string dir = home;
    if (dir.empty() || dir.back() != '/') dir += "/";
    return dir;
}

std::string readFile(const ResourceLocator& resources, const char* name) {
    std::string fileName = name ? name : "";
    std::string path;
    if (!fileName.empty() && fileName.front() == '/') {
        path = fileName;
    } else {
        std::string directory;
        std::string base = fileName;
        if (size_t slash = fileName.rfind('/'); slash != std::string::npos) {
            directory = fileName.substr(0, slash);
            base = fileName.substr(slash + 1);
        }
        path = resources.pathForResource(base, "", directory);
    }
    if (path.empty()) {
        syslog(LOG_NOTICE, "readFile: fullpath is null! afilename=[%s]", fileName.c_str());
        GeneralUtils::error("readFile: fullpath is null! afilename=[" + fileName + "]\n");
        return "";
    }
    std::string text;
    if (FileUtils::readFile(path, text) < 0) return "";
    return text;
}

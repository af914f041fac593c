#include "platform/PreferenceStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <optional>
#include <tuple>

#include "util/AtomicFile.h"
#include "platform/PlistBounds.h"
#include "platform/PlistFile.h"

namespace {

// Holds an exclusive lock on <path>.lock for the life of the object. flock
// locks belong to the open file, so threads of one process exclude each other
// as separate processes do.
class FileLock {
public:
    explicit FileLock(const std::string& path) {
        fd_ = ::open((path + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ < 0) return;
        while (flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

std::string hostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0 || !buf[0]) return "localhost";
    std::string name = buf;
    for (char& c : name) {
        if (c == '/') c = '_';
    }
    return name;
}

bool acceptableDomain(const std::string& domain) {
    return !domain.empty() && domain[0] != '.' && domain.find('/') == std::string::npos &&
           domain.find('\0') == std::string::npos;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

PreferenceStore::PreferenceStore(std::string domain, PreferenceScope scope, std::string folder)
    : domain_(std::move(domain)) {
    if (!acceptableDomain(domain_)) {
        std::cerr << "PreferenceStore: refusing the preference domain [" << domain_ << "]" << std::endl;
        return;
    }
    if (folder.empty()) folder = defaultFolder();
    if (scope == PreferenceScope::CurrentUserAnyHost) {
        path_ = folder + "/" + domain_ + ".plist";
    } else {
        path_ = folder + "/ByHost/" + domain_ + "." + hostName() + ".plist";
    }
}

std::string PreferenceStore::defaultFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return std::string(config) + "/skyvane";
    const char* home = std::getenv("HOME");
    std::string base;
    if (home && home[0] == '/') {
        base = home;
    } else if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
        base = pw->pw_dir;
    } else {
        base = "/tmp";
    }
    return base + "/.config/skyvane";
}

PreferenceStore& PreferenceStore::shared(const std::string& domain, PreferenceScope scope) {
    static std::mutex mutex;
    static std::map<std::tuple<std::string, std::string, PreferenceScope>, std::unique_ptr<PreferenceStore>> stores;
    std::string folder = defaultFolder();
    std::lock_guard<std::mutex> lock(mutex);
    auto& slot = stores[{folder, domain, scope}];
    if (!slot) slot = std::make_unique<PreferenceStore>(domain, scope, folder);
    return *slot;
}

PreferenceStore::FileStamp PreferenceStore::stampLocked() const {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return {};
    return {static_cast<long long>(st.st_ino), static_cast<long long>(st.st_size),
            static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec};
}

PreferenceStore::Load PreferenceStore::readLocked(plist::Dict& out, std::string& error) {
    out.clear();
    std::string bytes;
    if (!atomicfile::read(path_, bytes, error)) {
        if (!exists(path_)) return Load::Missing;
        // A file too large to be preferences is damaged; other errors
        // (permissions, I/O) are not the file's fault.
        return error.rfind("File too large", 0) == 0 ? Load::Damaged : Load::Failed;
    }
    plist::Value root;
    if (!plist::parse(bytes, root, error)) return Load::Damaged;
    if (!root.isDict()) {
        error = "not a dictionary";
        return Load::Damaged;
    }
    out = root.asDict();
    return Load::Ok;
}

void PreferenceStore::moveAsideLocked(const std::string& why) {
    char stamp[32] = {};
    time_t now = time(nullptr);
    tm parts {};
    gmtime_r(&now, &parts);
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
    std::string aside = path_ + ".damaged-" + stamp;
    for (int n = 2; exists(aside); ++n) aside = path_ + ".damaged-" + stamp + "-" + std::to_string(n);
    std::string message;
    damagedKeptAs_.clear();
    if (std::rename(path_.c_str(), aside.c_str()) == 0) {
        damagedKeptAs_ = aside;
        message = "The preference file [" + path_ + "] is damaged (" + why + "); it was kept as [" + aside +
                  "] and the preferences start empty.";
    } else {
        message = "The preference file [" + path_ + "] is damaged (" + why + ") and could not be moved aside: " +
                  std::strerror(errno);
    }
    std::cerr << "PreferenceStore: " << message << std::endl;
    damageReport_ = message;
}

void PreferenceStore::removeLeftoversLocked(bool writerLockHeld) {
    if (leftoversRemoved_ || !isValid()) return;
    // Looked for first, so that a store that is only read creates no lock
    // file; removed under the writers' lock, where no save of another program
    // can have its temporary file open. Without the lock the clean-up is left
    // for the next read or write.
    if (!writerLockHeld && !atomicfile::hasLeftovers(path_)) {
        leftoversRemoved_ = true;
        return;
    }
    std::optional<FileLock> lock;
    if (!writerLockHeld) {
        lock.emplace(path_);
        if (!lock->held()) return;
    }
    leftoversRemoved_ = true;
    if (const int removed = atomicfile::removeLeftovers(path_); removed > 0) {
        std::cerr << "PreferenceStore: removed " << removed << " temporary file(s) of an interrupted save beside ["
                  << path_ << "]" << std::endl;
    }
}

void PreferenceStore::refreshLocked() {
    if (!isValid()) return;
    removeLeftoversLocked(false);
    FileStamp now = stampLocked();
    if (loaded_ && now == stamp_) return;
    plist::Dict dict;
    std::string error;
    Load load = readLocked(dict, error);
    if (load == Load::Damaged) {
        // Look again under the lock: a writer may have replaced it meanwhile.
        FileLock lock(path_);
        load = readLocked(dict, error);
        if (load == Load::Damaged) {
            moveAsideLocked(error);
            load = Load::Missing;
        }
    }
    if (load == Load::Failed) {
        std::cerr << "PreferenceStore: " << error << std::endl;
        lastError_ = error;
    }
    stored_ = std::move(dict);
    stamp_ = stampLocked();
    loaded_ = true;
}

plist::Dict PreferenceStore::currentLocked() {
    refreshLocked();
    plist::Dict result = stored_;
    for (const auto& [key, value] : pending_) {
        if (value) {
            result[key] = *value;
        } else {
            result.erase(key);
        }
    }
    return result;
}

std::vector<std::string> PreferenceStore::copyKeyList() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& entry : currentLocked()) keys.push_back(entry.first);
    return keys;
}

plist::Dict PreferenceStore::copyMultiple() {
    std::lock_guard<std::mutex> lock(mutex_);
    return currentLocked();
}

plist::Value PreferenceStore::get(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    plist::Dict all = currentLocked();
    auto it = all.find(key);
    return it == all.end() ? plist::Value() : it->second;
}

void PreferenceStore::setMultiple(const plist::Dict& set, const std::vector<std::string>& remove) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, value] : set) {
        if (value.isNone()) {
            pending_[key] = std::nullopt;
        } else {
            pending_[key] = value;
        }
    }
    for (const std::string& key : remove) pending_[key] = std::nullopt;
}

void PreferenceStore::set(const std::string& key, const plist::Value& value) { setMultiple({{key, value}}, {}); }

void PreferenceStore::remove(const std::string& key) { setMultiple({}, {key}); }

bool PreferenceStore::synchronize() {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!isValid()) {
        lastError_ = "Invalid preference domain [" + domain_ + "]";
        return false;
    }
    std::string folder = path_.substr(0, path_.rfind('/'));
    std::string error;
    if (!atomicfile::makeFolders(folder, error)) {
        lastError_ = error;
        return false;
    }
    FileLock lock(path_);
    if (!lock.held()) {
        lastError_ = "Cannot lock [" + path_ + ".lock]: " + std::strerror(errno);
        return false;
    }
    removeLeftoversLocked(true);
    // Merge into what is stored now, so another program's keys survive.
    plist::Dict merged;
    Load load = readLocked(merged, error);
    if (load == Load::Damaged) {
        moveAsideLocked(error);
    } else if (load == Load::Failed) {
        lastError_ = error;
        return false;
    }
    if (!pending_.empty()) {
        for (const auto& [key, value] : pending_) {
            if (value) {
                merged[key] = *value;
            } else {
                merged.erase(key);
            }
        }
        // Never write a file the reader would refuse (and so set aside).
        const std::string bytes = plist::toBinary(plist::Value(merged));
        if (auto problem = plist::boundsProblem(bytes)) {
            lastError_ = "The preferences were not saved: the file [" + path_ + "] would be " + *problem +
                         "; it was left as it was.";
            std::cerr << "PreferenceStore: " << lastError_ << std::endl;
            return false;
        }
        if (!atomicfile::replace(path_, bytes, error, 0600)) {
            std::cerr << "PreferenceStore: " << error << std::endl;
            lastError_ = error;
            return false;
        }
        pending_.clear();
    }
    stored_ = std::move(merged);
    stamp_ = stampLocked();
    loaded_ = true;
    return true;
}

std::string PreferenceStore::lastError() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
}

std::string PreferenceStore::takeDamageReport(std::string* keptAs) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string report;
    report.swap(damageReport_);
    if (keptAs) *keptAs = damagedKeptAs_;
    damagedKeptAs_.clear();
    return report;
}

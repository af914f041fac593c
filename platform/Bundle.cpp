#include "platform/Bundle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <iostream>

#include "platform/PlistFile.h"

namespace {

std::mutex mainMutex;
std::deque<std::unique_ptr<Bundle>> mainBundles;  // the last is current; the others stay valid

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool climbsOut(const std::string& part) {
    if (part == "..") return true;
    return part.rfind("../", 0) == 0 || part.find("/../") != std::string::npos ||
           (part.size() >= 3 && part.compare(part.size() - 3, 3, "/..") == 0);
}

std::string join(const std::string& folder, const std::string& sub) {
    return sub.empty() ? folder : folder + "/" + sub;
}

std::string executableFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
}

// "de_DE.UTF-8@euro" gives "de_DE" and "de".
void addLanguage(const std::string& entry, std::vector<std::string>& out) {
    std::string lang = entry.substr(0, entry.find_first_of(".@"));
    if (lang.empty() || lang == "C" || lang == "POSIX") return;
    out.push_back(lang);
    size_t sep = lang.find_first_of("_-");
    if (sep != std::string::npos) out.push_back(lang.substr(0, sep));
}

}  // namespace

Bundle::Bundle(std::string path) : path_(std::move(path)) {
    while (path_.size() > 1 && path_.back() == '/') path_.pop_back();
}

Bundle& Bundle::mainBundle() {
    std::lock_guard<std::mutex> lock(mainMutex);
    if (mainBundles.empty()) mainBundles.push_back(std::make_unique<Bundle>(executableFolder()));
    return *mainBundles.back();
}

void Bundle::setMainBundlePath(const std::string& path) {
    std::lock_guard<std::mutex> lock(mainMutex);
    mainBundles.push_back(std::make_unique<Bundle>(path));
}

std::string Bundle::executablePath() const {
    std::string name = objectForInfoDictionaryKey("CFBundleExecutable").stringOr("");
    if (name.empty() || name.find('/') != std::string::npos) return "";
    std::string path = path_ + "/" + name;
    return exists(path) ? path : "";
}

std::string Bundle::pathForResource(const std::string& name, const std::string& type,
                                    const std::string& subdirectory) const {
    if (name.empty() || climbsOut(name) || climbsOut(subdirectory) || name[0] == '/' ||
        (!subdirectory.empty() && subdirectory[0] == '/')) {
        return "";
    }
    std::string file = type.empty() ? name : name + "." + type;
    std::string direct = join(join(resourcePath(), subdirectory), file);
    if (exists(direct)) return direct;
    for (const std::string& lang : preferredLocalizations()) {
        std::string localized = join(join(resourcePath() + "/" + lang + ".lproj", subdirectory), file);
        if (exists(localized)) return localized;
    }
    return "";
}

std::vector<std::string> Bundle::pathsForResourcesOfType(const std::string& type,
                                                         const std::string& subdirectory) const {
    std::vector<std::string> paths;
    if (climbsOut(subdirectory)) return paths;
    std::error_code ec;
    std::string suffix = type.empty() ? "" : "." + type;
    for (const auto& entry : std::filesystem::directory_iterator(join(resourcePath(), subdirectory), ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string name = entry.path().filename().string();
        if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            paths.push_back(entry.path().string());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

const plist::Dict& Bundle::infoDictionary() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!infoLoaded_) {
        infoLoaded_ = true;
        plist::Value info;
        std::string error;
        std::string path = path_ + "/Info.plist";
        if (plist::readFile(path, info, error)) {
            info_ = info.asDict();
        } else if (exists(path)) {
            std::cerr << "Bundle: " << error << std::endl;
        }
    }
    return info_;
}

plist::Value Bundle::objectForInfoDictionaryKey(const std::string& key) const {
    const plist::Dict& info = infoDictionary();
    auto it = info.find(key);
    return it == info.end() ? plist::Value() : it->second;
}

std::string Bundle::bundleIdentifier() const { return objectForInfoDictionaryKey("CFBundleIdentifier").stringOr(""); }

std::vector<std::string> Bundle::preferredLocalizations() const {
    std::string development = objectForInfoDictionaryKey("CFBundleDevelopmentRegion").stringOr("en");
    std::lock_guard<std::mutex> lock(mutex_);
    if (languagesResolved_) return languages_;
    std::vector<std::string> wanted;
    if (const char* list = std::getenv("LANGUAGE")) {
        std::string rest = list;
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find(':', start);
            if (end == std::string::npos) end = rest.size();
            addLanguage(rest.substr(start, end - start), wanted);
            start = end + 1;
        }
    }
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(var); value && *value) {
            addLanguage(value, wanted);
            break;
        }
    }
    wanted.push_back(development);
    wanted.push_back("Base");
    for (const std::string& lang : wanted) {
        if (std::find(languages_.begin(), languages_.end(), lang) == languages_.end() &&
            isFolder(resourcePath() + "/" + lang + ".lproj")) {
            languages_.push_back(lang);
        }
    }
    languagesResolved_ = true;
    return languages_;
}

const plist::Dict& Bundle::tableLocked(const std::string& language, const std::string& table) const {
    std::string id = language + "/" + table;
    auto it = tables_.find(id);
    if (it != tables_.end()) return it->second;
    plist::Dict& slot = tables_[id];
    std::string path = resourcePath() + "/" + language + ".lproj/" + table + ".strings";
    plist::Value strings;
    std::string error;
    if (plist::readFile(path, strings, error)) {
        if (strings.isDict()) {
            slot = strings.asDict();
        } else {
            std::cerr << "Bundle: the string table [" << path << "] is no dictionary" << std::endl;
        }
    } else if (exists(path)) {
        std::cerr << "Bundle: " << error << std::endl;
    }
    return slot;
}

std::string Bundle::localizedString(const std::string& key, const std::string& value,
                                    const std::string& table) const {
    std::string name = table.empty() ? "Localizable" : table;
    if (name.find('/') == std::string::npos) {
        for (const std::string& lang : preferredLocalizations()) {
            std::lock_guard<std::mutex> lock(mutex_);
            const plist::Dict& strings = tableLocked(lang, name);
            auto it = strings.find(key);
            if (it != strings.end() && it->second.isString()) return it->second.asString();
        }
    }
    return value.empty() ? key : value;
}

#pragma once
// A program's bundle: a folder <Name>.app (or .menu) holding Info.plist, the
// executable or module, and Resources/ with the resource files, their
// subfolders and the localized string tables <lang>.lproj/<Table>.strings
// (property-list dictionaries). Safe to use from several threads.

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "util/ResourceLocator.h"
#include "util/plist/Value.h"

class Bundle : public ResourceLocator {
public:
    explicit Bundle(std::string path);

    // The bundle of the running program: the folder that holds its
    // executable, unless setMainBundlePath named another one.
    static Bundle& mainBundle();
    // Makes path the main bundle from now on (hosts and tests). Bundles
    // handed out before stay valid.
    static void setMainBundlePath(const std::string& path);

    const std::string& bundlePath() const { return path_; }
    std::string resourcePath() const { return path_ + "/Resources"; }
    // The executable named by CFBundleExecutable; "" when there is none.
    std::string executablePath() const;

    // Full path of name[.type] (a file or a folder) in subdirectory of the
    // resources, or of a preferred localization's folder; "" when there is
    // none. Names that would climb out of the bundle are refused.
    std::string pathForResource(const std::string& name, const std::string& type,
                                const std::string& subdirectory) const override;
    // Every file of subdirectory whose name ends in "." + type (any file when
    // type is empty), sorted by name.
    std::vector<std::string> pathsForResourcesOfType(const std::string& type, const std::string& subdirectory) const;

    const plist::Dict& infoDictionary() const;
    plist::Value objectForInfoDictionaryKey(const std::string& key) const;
    std::string bundleIdentifier() const;

    // The string of key in table ("Localizable" when empty) for the user's
    // language; value when no table has it (key when value is empty).
    std::string localizedString(const std::string& key, const std::string& value, const std::string& table) const;

    // The bundle's localizations in the order the user prefers them: the
    // languages of LANGUAGE, LC_ALL, LC_MESSAGES and LANG (each also without
    // its region), then the development region and "Base"; only those the
    // bundle has.
    std::vector<std::string> preferredLocalizations() const;

private:
    const plist::Dict& tableLocked(const std::string& language, const std::string& table) const;

    std::string path_;
    mutable std::mutex mutex_;
    mutable bool infoLoaded_ = false;
    mutable plist::Dict info_;
    mutable bool languagesResolved_ = false;
    mutable std::vector<std::string> languages_;
    mutable std::map<std::string, plist::Dict> tables_;  // by "<language>/<table>"
};

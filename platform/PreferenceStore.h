#pragma once
// The preference store: one dictionary per domain and scope, kept as a
// property list under the user's configuration folder
// ($XDG_CONFIG_HOME/skyvane, or ~/.config/skyvane). It is written in the
// binary form, which holds any text (location keys carry the byte 0x01,
// which XML cannot hold) and which every property-list reader accepts; files
// in the XML form, as earlier versions wrote them, are read as well.
//
// Changes wait in memory until synchronize(), which merges them into what is
// stored now and replaces the file atomically under an exclusive lock, so two
// programs writing one domain never produce a torn file and a crash or a full
// disk never leaves it empty or half-written. A damaged file is moved aside
// (kept beside the new one as <file>.damaged-<time>) and reported, never
// silently overwritten; a file past the reader's bounds (platform/PlistBounds.h)
// is damaged too, and a save that would write one fails and keeps the old
// file. Temporary files that an interrupted save left beside the file are
// removed the first time the store reads or writes it. Safe to use from
// several threads.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "util/plist/Value.h"

enum class PreferenceScope {
    CurrentUserAnyHost,  // <folder>/<domain>.plist
    AnyUserCurrentHost,  // <folder>/ByHost/<domain>.<host name>.plist
};

class PreferenceStore {
public:
    // folder "" means defaultFolder(). A domain that is empty, starts with a
    // dot or holds a "/" is refused: the store then holds nothing and every
    // synchronize fails.
    PreferenceStore(std::string domain, PreferenceScope scope, std::string folder = "");

    // The process-wide store of a domain and scope in the default folder (the
    // folder as the environment names it at the time of the call).
    static PreferenceStore& shared(const std::string& domain, PreferenceScope scope);
    static std::string defaultFolder();

    const std::string& path() const { return path_; }
    bool isValid() const { return !path_.empty(); }

    // What the store holds now: the file as last written by anyone, with this
    // object's unsynchronized changes applied.
    std::vector<std::string> copyKeyList();
    plist::Dict copyMultiple();
    plist::Value get(const std::string& key);

    // Changes in memory; a key in both set and remove ends up removed.
    void setMultiple(const plist::Dict& set, const std::vector<std::string>& remove);
    void set(const std::string& key, const plist::Value& value);  // a None value removes
    void remove(const std::string& key);

    // Writes the changes. False when they could not be stored (they stay
    // pending for the next try); lastError() says why.
    bool synchronize();
    std::string lastError();

    // The message about a damaged file that was moved aside, once; "" when
    // there is none to report. keptAs (when given) receives the path the
    // damaged file was kept as ("" when it could not be moved).
    std::string takeDamageReport(std::string* keptAs = nullptr);

private:
    struct FileStamp {
        long long inode = -1, size = -1, mtimeNs = -1;
        bool operator==(const FileStamp&) const = default;
    };
    enum class Load { Ok, Missing, Damaged, Failed };

    void refreshLocked();
    Load readLocked(plist::Dict& out, std::string& error);
    void moveAsideLocked(const std::string& why);
    // Once per store: removes what interrupted saves left. writerLockHeld:
    // the caller holds the file lock already.
    void removeLeftoversLocked(bool writerLockHeld);
    FileStamp stampLocked() const;
    plist::Dict currentLocked();

    std::string domain_;
    std::string path_;
    std::mutex mutex_;
    plist::Dict stored_;
    FileStamp stamp_;
    bool loaded_ = false;
    bool leftoversRemoved_ = false;
    std::map<std::string, std::optional<plist::Value>> pending_;
    std::string lastError_;
    std::string damageReport_;
    std::string damagedKeptAs_;
};

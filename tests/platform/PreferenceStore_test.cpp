#include "platform/PreferenceStore.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "EnvScope.h"
#include "PeerProcess.h"
#include "platform/PlistFile.h"
#include "support/CaptureStream.h"
#include "support/HostilePlists.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Replaces the whole stored set the way the preference writer does.
void replaceAll(PreferenceStore& store, const plist::Dict& prefs) {
    store.setMultiple({}, store.copyKeyList());
    store.setMultiple(prefs, {});
}

}  // namespace

TEST(PreferenceStore, ChangesReachTheFileOnlyWhenSynchronized) {
    TempDir dir;
    PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    EXPECT_EQ(store.path(), dir.file("com.tesk.Skyvane.plist"));
    EXPECT_TRUE(store.copyKeyList().empty());

    store.setMultiple({{"units", 1}, {"mode", "free_mode"}, {"locations", plist::Array{plist::Dict{{"city", "X"}}}}},
                      {});
    EXPECT_EQ(store.copyKeyList(), (std::vector<std::string>{"locations", "mode", "units"}));
    PreferenceStore other("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    EXPECT_TRUE(other.copyKeyList().empty());

    ASSERT_TRUE(store.synchronize()) << store.lastError();
    EXPECT_EQ(other.copyMultiple(), store.copyMultiple());
    EXPECT_EQ(other.get("mode").asString(), "free_mode");

    // A key removed disappears from the file at the next write.
    replaceAll(store, {{"units", 0}});
    ASSERT_TRUE(store.synchronize());
    EXPECT_EQ(other.copyKeyList(), std::vector<std::string>{"units"});
    EXPECT_EQ(filesIn(dir.path()), (std::vector<std::string>{"com.tesk.Skyvane.plist", "com.tesk.Skyvane.plist.lock"}));
}

TEST(PreferenceStore, ScopesAndDomainsAreSeparateFiles) {
    TempDir dir;
    PreferenceStore user("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    PreferenceStore host("com.tesk.Skyvane", PreferenceScope::AnyUserCurrentHost, dir.path());
    PreferenceStore setup("com.tesk.SkyvaneSetup", PreferenceScope::CurrentUserAnyHost, dir.path());
    user.set("a", 1);
    host.set("a", 2);
    ASSERT_TRUE(user.synchronize());
    ASSERT_TRUE(host.synchronize());
    EXPECT_NE(host.path().find("/ByHost/com.tesk.Skyvane."), std::string::npos);
    EXPECT_EQ(PreferenceStore("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path()).get("a").asInt(), 1);
    EXPECT_EQ(PreferenceStore("com.tesk.Skyvane", PreferenceScope::AnyUserCurrentHost, dir.path()).get("a").asInt(), 2);
    EXPECT_TRUE(setup.copyKeyList().empty());

    CaptureStderr err;
    PreferenceStore bad("../escape", PreferenceScope::CurrentUserAnyHost, dir.path());
    EXPECT_FALSE(bad.isValid());
    bad.set("a", 1);
    EXPECT_FALSE(bad.synchronize());
    EXPECT_NE(err.text().find("../escape"), std::string::npos);
}

TEST(PreferenceStore, DefaultFolderFollowsTheEnvironment) {
    TempDir dir;
    EnvScope env;
    env.set("XDG_CONFIG_HOME", dir.path().c_str());
    EXPECT_EQ(PreferenceStore::defaultFolder(), dir.file("skyvane"));
    PreferenceStore& shared = PreferenceStore::shared("com.tesk.Test", PreferenceScope::CurrentUserAnyHost);
    EXPECT_EQ(&shared, &PreferenceStore::shared("com.tesk.Test", PreferenceScope::CurrentUserAnyHost));
    shared.set("k", "v");
    ASSERT_TRUE(shared.synchronize());
    EXPECT_TRUE(std::filesystem::exists(dir.file("skyvane/com.tesk.Test.plist")));
    env.set("XDG_CONFIG_HOME", "relative");
    env.set("HOME", dir.path().c_str());
    EXPECT_EQ(PreferenceStore::defaultFolder(), dir.file(".config/skyvane"));
}

TEST(PreferenceStore, TheFileIsOneEveryPropertyListReaderAcceptsAndOldFilesStillLoad) {
    TempDir dir;
    const std::string key("ifps\x01" "CA\x01" "MTR");
    const plist::Array locations{plist::Dict{{"city", "San Jos\xC3\xA9"}, {"nws", key}, {"locStatus", 1}}};
    auto fileStart = [](const std::string& path) {
        char head[8] = {};
        std::ifstream(path, std::ios::binary).read(head, sizeof head);
        return std::string(head, sizeof head);
    };
    {
        PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        store.setMultiple({{"locations", locations}, {"icon_saturation", 0.5}, {"temp", std::string("72\xA1")}}, {});
        ASSERT_TRUE(store.synchronize()) << store.lastError();
    }
    const std::string path = dir.file("com.tesk.Skyvane.plist");
    EXPECT_EQ(fileStart(path), "bplist00");
    // Back in this program every value is as it was; text that is not UTF-8
    // is kept as the characters it shows as.
    PreferenceStore back("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    EXPECT_EQ(back.get("locations"), plist::Value(locations));
    EXPECT_EQ(back.get("icon_saturation").type(), plist::Value::Type::Real);
    EXPECT_EQ(back.get("temp").asString(), "72\xC2\xB0");

    // A second reader: Python's plistlib, which refuses what XML forbids.
    std::ofstream(dir.file("read.py")) << "import plistlib, sys\n"
                                          "d = plistlib.load(open(sys.argv[1], 'rb'))\n"
                                          "print(repr([d['locations'], d['icon_saturation'], d['temp']]))\n";
    const std::string command = "PYTHONIOENCODING=utf-8 python3 " + dir.file("read.py") + " " + path + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char chunk[256];
    while (size_t n = fread(chunk, 1, sizeof chunk, pipe)) out.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0) << out;
    EXPECT_EQ(out, "[[{'city': 'San Jos\xC3\xA9', 'locStatus': 1, 'nws': 'ifps\\x01CA\\x01MTR'}], 0.5, '72\xC2\xB0']\n");

    // The XML form earlier versions wrote, the separator raw in the text,
    // still loads; the next write makes it binary.
    const std::string old = dir.file("old");
    std::filesystem::create_directories(old);
    std::ofstream(old + "/com.tesk.Skyvane.plist")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
           "\t<key>locations</key>\n\t<array>\n\t\t<dict>\n"
           "\t\t\t<key>city</key>\n\t\t\t<string>San Jos\xC3\xA9</string>\n"
           "\t\t\t<key>locStatus</key>\n\t\t\t<integer>1</integer>\n"
           "\t\t\t<key>nws</key>\n\t\t\t<string>" + key + "</string>\n"
           "\t\t</dict>\n\t</array>\n</dict>\n</plist>\n";
    PreferenceStore earlier("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, old);
    EXPECT_EQ(earlier.get("locations"), plist::Value(locations));
    earlier.set("units", 1);
    ASSERT_TRUE(earlier.synchronize()) << earlier.lastError();
    EXPECT_EQ(fileStart(earlier.path()), "bplist00");
    EXPECT_EQ(PreferenceStore("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, old).get("locations"),
              plist::Value(locations));
}

TEST(PreferenceStore, ADamagedFileIsKeptAsideAndReportedNeverOverwritten) {
    TempDir dir;
    std::string path = dir.file("com.tesk.Skyvane.plist");
    const std::string damaged = "<?xml version=\"1.0\"?><plist><dict><key>units</key><integer>1";
    std::ofstream(path) << damaged;

    PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    CaptureStderr err;
    EXPECT_TRUE(store.copyKeyList().empty());
    std::string logged = err.text();
    std::string report = store.takeDamageReport();
    EXPECT_NE(report.find("damaged"), std::string::npos);
    EXPECT_NE(logged.find(report), std::string::npos);
    EXPECT_EQ(store.takeDamageReport(), "");

    store.set("units", 0);
    ASSERT_TRUE(store.synchronize());
    std::vector<std::string> names = filesIn(dir.path());
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "com.tesk.Skyvane.plist");
    EXPECT_EQ(names[1].rfind("com.tesk.Skyvane.plist.damaged-", 0), 0u);
    std::ifstream aside(dir.file(names[1]));  // the damaged file, untouched
    std::string kept((std::istreambuf_iterator<char>(aside)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, damaged);

    // A file whose top is no dictionary is damaged as well; the next one
    // moved aside does not replace the first.
    std::string error;
    ASSERT_TRUE(plist::writeFile(path, plist::Array{1, 2}, error));
    PreferenceStore again("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    CaptureStderr second;
    again.set("units", 2);
    ASSERT_TRUE(again.synchronize());
    std::string report2 = again.takeDamageReport();
    EXPECT_NE(report2, "");
    EXPECT_NE(second.text().find(report2), std::string::npos);
    EXPECT_EQ(filesIn(dir.path()).size(), 4u);
    EXPECT_EQ(again.get("units").asInt(), 2);
}

TEST(PreferenceStore, DISABLED_PeerFullDisk) {
    // Runs in its own process: the file-size limit applies to every file it
    // writes, its own output included.
    int null = ::open("/dev/null", O_WRONLY);
    dup2(null, 2);
    PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, peerEnv("PEER_FOLDER"));
    // Every key removed first, then a large set: the write fails part way.
    replaceAll(store, {{"units", 2}, {"big", std::string(200000, 'x')}});
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    bool ok = store.synchronize();
    setrlimit(RLIMIT_FSIZE, &saved);
    peerSay(ok ? "stored" : store.lastError());
    while (!std::filesystem::exists(peerEnv("PEER_FOLDER") + "/../go")) usleep(1000);
    // The changes stay pending and land at the next synchronize.
    peerSay(store.synchronize() ? "stored" : store.lastError());
}

TEST(PreferenceStore, AFullDiskLeavesTheStoredSetWholeAndKeepsTheChanges) {
    TempDir top;
    std::filesystem::path dir = top.path() / "prefs";
    PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir);
    store.setMultiple({{"units", 1}, {"mode", "advance_mode"}}, {});
    ASSERT_TRUE(store.synchronize());

    PeerProcess peer("PreferenceStore.DISABLED_PeerFullDisk", {{"PEER_FOLDER", dir}});
    std::string first = peer.readLine();
    EXPECT_NE(first.find("Cannot write"), std::string::npos) << first;
    PreferenceStore reader("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir);
    EXPECT_EQ(reader.copyMultiple(), (plist::Dict{{"units", 1}, {"mode", "advance_mode"}}));
    EXPECT_EQ(filesIn(dir).size(), 2u);  // no temporary file left
    std::ofstream(top.file("go")).close();

    EXPECT_EQ(peer.readLine(), "stored");
    EXPECT_EQ(peer.wait(), 0);
    EXPECT_EQ(reader.copyKeyList(), (std::vector<std::string>{"big", "units"}));
}

TEST(PreferenceStore, DISABLED_PeerWriter) {
    PreferenceStore store("com.tesk.Shared", PreferenceScope::CurrentUserAnyHost, peerEnv("PEER_FOLDER"));
    std::string me = peerEnv("PEER_NAME");
    for (int i = 1; i <= 200; ++i) {
        store.set(me, i);
        store.set(me + "-" + std::to_string(i % 10), std::string(500, 'a' + i % 26));
        ASSERT_TRUE(store.synchronize()) << store.lastError();
    }
    peerSay("done");
}

TEST(PreferenceStore, TwoProgramsWritingOneDomainLoseNothing) {
    TempDir dir;
    PeerProcess a("PreferenceStore.DISABLED_PeerWriter", {{"PEER_FOLDER", dir.path()}, {"PEER_NAME", "a"}});
    PeerProcess b("PreferenceStore.DISABLED_PeerWriter", {{"PEER_FOLDER", dir.path()}, {"PEER_NAME", "b"}});
    ASSERT_TRUE(a.started() && b.started());
    // Meanwhile every read sees a whole file.
    std::string path = dir.file("com.tesk.Shared.plist");
    int reads = 0;
    while (reads < 200 && !std::filesystem::exists(path)) usleep(1000), ++reads;
    for (int i = 0; i < 100; ++i) {
        plist::Value v;
        std::string error;
        ASSERT_TRUE(plist::readFile(path, v, error)) << error;
    }
    EXPECT_EQ(a.readLine(60000), "done");
    EXPECT_EQ(b.readLine(60000), "done");
    EXPECT_EQ(a.wait(), 0);
    EXPECT_EQ(b.wait(), 0);

    PreferenceStore store("com.tesk.Shared", PreferenceScope::CurrentUserAnyHost, dir.path());
    EXPECT_EQ(store.get("a").asInt(), 200);
    EXPECT_EQ(store.get("b").asInt(), 200);
    EXPECT_EQ(store.copyKeyList().size(), 22u);
}

// A file nested 60,000 deep (either form) is damaged like any other: kept
// aside, reported with the name it was kept as, and the store starts empty.
TEST(PreferenceStore, AFileNestedPastTheLimitIsKeptAsideAndTheStoreStartsEmpty) {
    for (const hostile::FileForm& file : hostile::deepFiles()) {
        SCOPED_TRACE(file.form);
        TempDir dir;
        std::ofstream(dir.file("com.tesk.Skyvane.plist"), std::ios::binary) << file.bytes;
        PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        CaptureStderr err;
        EXPECT_TRUE(store.copyKeyList().empty());
        std::string keptAs;
        EXPECT_NE(store.takeDamageReport(&keptAs).find("nested more than 256 levels"), std::string::npos);
        EXPECT_EQ(keptAs.rfind(dir.file("com.tesk.Skyvane.plist.damaged-"), 0), 0u) << keptAs;
        EXPECT_EQ(fileBytes(keptAs), file.bytes);

        store.set("units", 1);
        ASSERT_TRUE(store.synchronize());
        PreferenceStore again("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        EXPECT_EQ(again.copyMultiple(), (plist::Dict{{"units", 1}}));
    }
}

// A save whose file the reader would refuse is not written: the old file
// stays byte for byte, and the error says why.
TEST(PreferenceStore, ASaveLargerThanTheReaderAcceptsLeavesTheOldFile) {
    TempDir dir;
    PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
    store.set("locations", plist::Array{plist::Dict{{"city", "Ames, IA"}}});
    ASSERT_TRUE(store.synchronize());
    const std::string before = fileBytes(store.path());

    store.set("big1", std::string(35u << 20, 'x'));
    store.set("big2", std::string(35u << 20, 'y'));
    CaptureStderr err;
    EXPECT_FALSE(store.synchronize());
    EXPECT_NE(store.lastError().find("larger than 64 MiB"), std::string::npos) << store.lastError();
    EXPECT_NE(err.text().find("larger than 64 MiB"), std::string::npos);
    EXPECT_EQ(fileBytes(store.path()), before);
    EXPECT_EQ(filesIn(dir.path()).size(), 2u);  // the file and its lock, nothing set aside
}

// Text in another notation than XML or binary (JSON, OpenStep) is a damaged
// preference file: kept aside, and the store starts empty.
TEST(PreferenceStore, AFileInAnotherNotationIsDamaged) {
    for (const char* text : {"{\"units\": 1}", "{ units = 1; }"}) {
        SCOPED_TRACE(text);
        TempDir dir;
        std::ofstream(dir.file("com.tesk.Skyvane.plist")) << text;
        PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        CaptureStderr err;
        EXPECT_TRUE(store.copyKeyList().empty());
        std::string keptAs;
        EXPECT_NE(store.takeDamageReport(&keptAs).find("not a property list"), std::string::npos);
        EXPECT_EQ(fileBytes(keptAs), text);
    }
}

// What interrupted saves left (".<file>.XXXXXX" beside the file) is removed
// the first time the store reads or writes; the file itself, other names, a
// link and a folder that look alike stay.
TEST(PreferenceStore, TemporaryFilesOfInterruptedSavesAreRemovedAtStart) {
    TempDir dir;
    TempDir elsewhere;
    std::ofstream(elsewhere.file("target")) << "not ours";
    const std::vector<std::string> leftovers = {".com.tesk.Skyvane.plist.AbC123", ".com.tesk.Skyvane.plist.zzzzzz"};
    const std::vector<std::string> others = {
        ".com.tesk.Skyvane.plist.12345",  ".com.tesk.Skyvane.plist.ab-123", ".com.tesk.Skyvane.plist.ABCDEFG",
        "com.tesk.Skyvane.plist.ABCDEF",  ".com.tesk.SkyvaneSetup.plist.ABCDEF", ".other.plist.ABCDEF",
        "com.tesk.Skyvane.plist.damaged-20260101-000000"};
    auto plant = [&] {
        for (const std::string& name : leftovers) std::ofstream(dir.file(name)) << "<?xml";
        for (const std::string& name : others) std::ofstream(dir.file(name)) << "kept";
        std::filesystem::create_symlink(elsewhere.file("target"), dir.file(".com.tesk.Skyvane.plist.Link00"));
        std::filesystem::create_directory(dir.file(".com.tesk.Skyvane.plist.Dir000"));
    };
    std::vector<std::string> expected = others;
    expected.insert(expected.end(), {".com.tesk.Skyvane.plist.Dir000", ".com.tesk.Skyvane.plist.Link00",
                                     "com.tesk.Skyvane.plist", "com.tesk.Skyvane.plist.lock"});
    std::sort(expected.begin(), expected.end());
    {
        PreferenceStore first("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        first.set("units", 2);
        ASSERT_TRUE(first.synchronize()) << first.lastError();
    }
    plant();
    {
        // A start that reads.
        PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        CaptureStderr err;
        EXPECT_EQ(store.get("units").asInt(), 2);
        EXPECT_NE(err.text().find("removed 2 temporary file(s) of an interrupted save"), std::string::npos)
            << err.text();
        EXPECT_EQ(filesIn(dir.path()), expected);
        EXPECT_EQ(fileBytes(elsewhere.file("target")), "not ours");
    }
    for (const std::string& name : leftovers) std::ofstream(dir.file(name)) << "<?xml";
    {
        // A start whose first step is a save.
        PreferenceStore store("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, dir.path());
        CaptureStderr err;
        store.set("mode", "free_mode");
        ASSERT_TRUE(store.synchronize()) << store.lastError();
        EXPECT_EQ(filesIn(dir.path()), expected);
        EXPECT_EQ(store.copyMultiple(), (plist::Dict{{"units", 2}, {"mode", "free_mode"}}));
    }
    // A store that only reads, with nothing left over, creates no lock file.
    TempDir clean;
    std::string error;
    ASSERT_TRUE(plist::writeFile(clean.file("com.tesk.Skyvane.plist"), plist::Dict{{"units", 1}}, error));
    PreferenceStore reader("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, clean.path());
    EXPECT_EQ(reader.get("units").asInt(), 1);
    EXPECT_EQ(filesIn(clean.path()), std::vector<std::string>{"com.tesk.Skyvane.plist"});
    // A read that cannot take the lock leaves the clean-up for the next one.
    std::ofstream(clean.file(leftovers[0])) << "<?xml";
    std::filesystem::create_directory(clean.file("com.tesk.Skyvane.plist.lock"));
    PreferenceStore blocked("com.tesk.Skyvane", PreferenceScope::CurrentUserAnyHost, clean.path());
    EXPECT_EQ(blocked.get("units").asInt(), 1);
    EXPECT_TRUE(std::filesystem::exists(clean.file(leftovers[0])));
    std::filesystem::remove(clean.file("com.tesk.Skyvane.plist.lock"));
    plist::writeFile(clean.file("com.tesk.Skyvane.plist"), plist::Dict{{"units", 3}}, error);
    EXPECT_EQ(blocked.get("units").asInt(), 3);
    EXPECT_FALSE(std::filesystem::exists(clean.file(leftovers[0])));
}

// Keeps a recent radar image of the primary city in a cache folder of the
// user's account, for the menu to show.

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string_view>
#include <vector>

#include "model/CodeTables.h"
#include "scrapers/FlexiScraper.h"
#include "scrapers/ImageHeader.h"
#include "util/Clock.h"
#include "util/FileUtils.h"
#include "util/GeneralUtils.h"
#include "util/UrlUtils.h"

namespace {

constexpr int kRadarCapacity = 102400;
constexpr int kSmallestImage = 2000;
constexpr time_t kFreshAge = 1800;
constexpr time_t kSmallFileAge = 10800;
constexpr int kSmallFileSize = 1023;
// Far past any real radar image. A reply declaring more is refused from its
// header: a few kilobytes of compressed zeros can declare a picture that
// takes gigabytes and seconds to decode.
constexpr std::uint32_t kLargestRadarSide = 4096;
const char* const kSalt = "kelpdrawnfist";

std::mutex hostMutex;
std::string radarHost = "radar.skyvane.org";

bool makeFolder(const std::string& path, const char* failure) {
    if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
    const int error = errno;
    std::cout << failure << "mkdir failed, errno = " << error << " (" << std::strerror(error) << ")" << std::endl;
    return false;
}

// A cache file name must stay a plain name inside the cache folder.
bool isPlainFileName(const std::string& name) {
    return name.find('/') == std::string::npos && name.find("..") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// True when the file starts as an image whose declared size is past the
// bound; a file that is no image at all is left to the menu, which shows
// "not available" for it.
bool declaresTooLarge(const std::string& path, int fileLength) {
    FileUtils file;
    std::string head;
    if (file.openForReading(path) != 0) return false;
    file.readFilePart(0, static_cast<unsigned long>(std::min(fileLength, kRadarCapacity)), head);
    return declaredImageSize(head).has_value() && !isImageWithin(head, kLargestRadarSide);
}

}  // namespace

void FlexiScraper::setRadarServiceHost(const std::string& hostAndPort) {
    std::lock_guard<std::mutex> lock(hostMutex);
    radarHost = hostAndPort;
}

std::string FlexiScraper::radarServiceHost() {
    std::lock_guard<std::mutex> lock(hostMutex);
    return radarHost;
}

void FlexiScraper::processRadar(ScrapeReport& report) {
    std::map<std::string, std::string>& in = report.getInputHashRef();
    std::map<std::string, std::string>& out = report.getOutputHashRef();
    out["radar"] = "0";
    if (getHash(in, "isFavorite", "") == "1" || getHash(in, "radar", "") != "1" || getHash(in, "advance", "") != "1") return;

    // A fresh Linux home has no "Library/Application Support" yet.
    const std::string library = getUserHomeDirectory() + "Library/";
    const std::string support = library + "Application Support/Skyvane/";
    const char* const supportFailure = "Couldn't create Skyvane directory in Application Support...\n";
    if (!makeFolder(library, supportFailure) || !makeFolder(library + "Application Support/", supportFailure) ||
        !makeFolder(support, supportFailure)) {
        return;
    }
    const std::string cache = support + "PlimDoppler/";
    if (!makeFolder(cache, "Couldn't create PlimDoppler directory in Application Support...\n")) return;

    const std::string latitude = out["latitude"];
    const std::string longitude = out["longitude"];
    std::string fileName;
    std::string query;
    std::string location;
    if (!latitude.empty() && !longitude.empty()) {
        fileName = "Location " + latitude + " by " + longitude + " Radar.gif";
        query = "&latitude=" + latitude + "&longitude=" + longitude;
        location = latitude + longitude;
    } else {
        std::vector<std::string> parts;
        const std::string cityName = getHash(in, "cityName", "");
        GeneralUtils::splitByStr(cityName, ", ", parts);
        if (parts.size() != 2 || stateAbbrevToStateName(parts[1]).empty()) return;
        fileName = cityName + " Radar.gif";
        query = "&location=" + cityName;
        location = cityName;
    }
    if (!isPlainFileName(fileName)) return;
    out["radarFile"] = fileName;
    const std::string path = cache + fileName;

    // A cached image past the bound (stored by an older version) is dropped,
    // so that a proper one is asked for now instead of after its age runs out.
    int size = FileUtils::getFileLen(path);
    if (size > 0 && declaresTooLarge(path, size)) {
        FileUtils::removeFile(path);
        size = 0;
    }
    const time_t allowedAge = size <= kSmallFileSize ? kSmallFileAge : kFreshAge;
    if (size > 0 && Clock::now() - FileUtils::getLastModificationTime(path) < allowedAge) return;

    const std::string t = std::to_string(static_cast<long long>(Clock::now()));
    const std::string url = "http://" + radarServiceHost() + "/get_radar.php?pdv=1" + query + "&time=" + t +
                            "&key=" + GeneralUtils::md5(location + kSalt + t);
    std::vector<char> data(kRadarCapacity);
    int length = kRadarCapacity;
    std::string redirect;
    // Through the same proxy as the pages: where the network lets traffic out
    // only through the proxy, a direct fetch could never succeed.
    const HttpProxy proxy = httpProxyForUrl(url);
    UrlUtils urls = fetcher();
    if (!urls.accessUrlWithPlimLibBinary(url, redirect, data.data(), length, 5, true, proxy.host, proxy.port)) {
        std::cout << "Failed to access url[" << url << std::endl;
        return;
    }
    if (length <= kSmallestImage) return;
    const std::string_view reply(data.data(), static_cast<size_t>(length));
    if (!isImageWithin(reply, kLargestRadarSide)) {
        std::cout << "FlexiScraper: radar reply is not an image of at most " << kLargestRadarSide << " x "
                  << kLargestRadarSide << " pixels[" << url << std::endl;
        return;
    }
    // Replaced through a temporary file and a rename: a reader sees the old
    // image or the new one, never a missing or half-written file.
    if (FileUtils::safeWriteFile(path, std::string(reply)) == length) {
        out["radar"] = "1";
    }
}

#include "scrapers/SuperScraper.h"

#include <mutex>

void SuperScraper::setHttpProxy(const std::string& host, int port) {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    proxyHost_ = host;
    proxyPort_ = port;
}

SuperScraper::HttpProxy SuperScraper::httpProxy() const {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    return HttpProxy{proxyHost_, proxyPort_};
}

void SuperScraper::splitKey(const std::string& key, std::vector<std::string>& parts) {
    size_t start = 0;
    while (start < key.size()) {
        size_t end = key.find(keySeparator, start);
        if (end == std::string::npos) {
            parts.push_back(key.substr(start));
            return;
        }
        parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
}

void SuperScraper::joinKey(const std::vector<std::string>& parts, std::string& key) {
    key.clear();
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) key += keySeparator;
        for (char c : parts[i]) {
            if (c != keySeparator) key += c;
        }
    }
}

std::ostream& operator<<(std::ostream& os, const SuperScraper::City& city) {
    return os << "  " << city.name << " --> " << city.key;
}

std::ostream& operator<<(std::ostream& os, const std::vector<SuperScraper::City>& cities) {
    for (const SuperScraper::City& city : cities) os << city << std::endl;
    return os;
}

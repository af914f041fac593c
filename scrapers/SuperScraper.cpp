#include "scrapers/SuperScraper.h"

#include <mutex>

#include "util/StopFlag.h"

void SuperScraper::setHttpProxy(const std::string& host, int port) {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    proxyHost_ = host;
    proxyPort_ = port;
}

SuperScraper::HttpProxy SuperScraper::httpProxy() const {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    return HttpProxy{proxyHost_, proxyPort_};
}

void SuperScraper::setProxyChooser(ProxyChooser chooser) {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    chooser_ = std::move(chooser);
}

SuperScraper::ProxyChooser SuperScraper::proxyChooser() const {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    return chooser_;
}

SuperScraper::HttpProxy SuperScraper::httpProxyForUrl(const std::string& url) const {
    // The chooser is called without the lock: it may take its time.
    ProxyChooser chooser = proxyChooser();
    return chooser ? chooser(UrlUtils::hostOf(url)) : httpProxy();
}

void SuperScraper::setStopFlag(std::shared_ptr<StopFlag> flag) {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    stop_ = std::move(flag);
}

std::shared_ptr<StopFlag> SuperScraper::stopFlag() const {
    std::lock_guard<teskMutex> lock(proxyMutex_);
    return stop_;
}

bool SuperScraper::isStopped() const {
    std::shared_ptr<StopFlag> flag = stopFlag();
    return flag && flag->isStopped();
}

UrlUtils SuperScraper::fetcher() const {
    UrlUtils urls;
    urls.setStopFlag(stopFlag());
    return urls;
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

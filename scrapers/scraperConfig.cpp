#include "scrapers/scraperConfig.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "scrapers/scraperLog.h"
#include "util/GeneralUtils.h"
#include "util/StringMap.h"

namespace {

bool startsWith(const std::string& line, const char* marker) { return line.rfind(marker, 0) == 0; }

// The lines between newlines; a newline at the very end starts no extra line.
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) nl = text.size();
        lines.emplace_back(text, start, nl - start);
        start = nl + 1;
    }
    return lines;
}

}  // namespace

scraperConfig::scraperConfig(const std::string& text, const std::string& name) {
    if (text.empty() && !name.empty()) {
        scraperLog::error("scraperConfig: the configuration " + name + " is empty; its source finds nothing\n");
    }
    parseFileData(text);
}

std::string scraperConfig::readConfigFile(const std::string& path, const std::string& name) {
    const std::string prefix = "scraperConfig: the configuration file " + name;
    if (path.empty()) {
        scraperLog::error(prefix + " is missing from the bundle\n");
        return std::string();
    }
    auto fail = [&](const std::string& why) {
        scraperLog::error(prefix + " (" + path + ") cannot be read: " + why + "\n");
        return std::string();
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT) {
            scraperLog::error(prefix + " (" + path + ") is missing\n");
            return std::string();
        }
        return fail(std::strerror(error));
    }
    std::string text;
    char buffer[16384];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return fail(std::strerror(error));
        }
        if (got == 0) break;
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    if (text.empty()) scraperLog::error(prefix + " (" + path + ") is empty\n");
    return text;
}

scraperConfig::~scraperConfig() = default;

bool scraperConfig::parseKeyValuePair(const std::string& line, std::string& key, std::string& value) {
    if (line.empty() || line.front() == '#') return false;
    size_t eq = line.find('=');
    if (eq == std::string::npos || eq + 1 == line.size()) return false;
    key = line.substr(0, eq);
    value = line.substr(eq + 1);
    return true;
}

void scraperConfig::parseFileData(const std::string& text) {
    const std::vector<std::string> lines = splitLines(text);
    size_t i = 0;
    while (i < lines.size()) {
        if (!startsWith(lines[i], "%chunk_start")) {
            std::string key;
            std::string value;
            if (parseKeyValuePair(lines[i], key, value)) globalConfig_[key] = value;
            ++i;
            continue;
        }
        size_t close = i + 1;
        while (close < lines.size() && !startsWith(lines[close], "%chunk_end")) ++close;
        if (close == lines.size()) {
            scraperLog::error("scraperConfig: the chunk opened on line " + std::to_string(i + 1) +
                              " is never closed; it and the " + std::to_string(lines.size() - i - 1) +
                              " lines after it are ignored\n");
            break;
        }
        parseChunk(lines, i + 1, close);
        i = close + 1;
    }
}

void scraperConfig::parseChunk(const std::vector<std::string>& lines, size_t first, size_t last) {
    chunk parsed;
    std::string html;
    bool inTemplate = false;
    for (size_t i = first; i < last; ++i) {
        const std::string& line = lines[i];
        if (inTemplate) {
            if (startsWith(line, "%html_end")) {
                inTemplate = false;
                continue;
            }
            if (!html.empty()) html += '\n';
            html += line;
            continue;
        }
        if (startsWith(line, "%html_start")) {
            inTemplate = true;
            continue;
        }
        std::string key;
        std::string value;
        if (parseKeyValuePair(line, key, value)) parsed.config[key] = value;
    }
    parsed.templateTokens.parseHtml(html, false, true);
    parsed.templateTokens.compileRegexes();

    const int dataTokens = parsed.templateTokens.getNumberOfDataTokens();
    if (dataTokens == 0) {
        chunks_.push_back(std::move(parsed));
        return;
    }
    for (int n = 0; n < dataTokens; ++n) {
        chunk copy = parsed;
        copy.templateTokens.setOnlyNthDataToken(n);
        copy.config[DESIRED_TOKEN] = copy.templateTokens.getDataTokenKey();
        chunks_.push_back(std::move(copy));
    }
}

bool scraperConfig::getDataForCode(const std::string& code, std::map<std::string, std::string>& out) {
    for (const chunk& c : chunks_) {
        std::vector<std::string> codes;
        GeneralUtils::splitByStr(getHash(c.config, "code", ""), ",", codes);
        for (const std::string& piece : codes) {
            if (piece == code) {
                out = c.config;
                return true;
            }
        }
    }
    return false;
}

bool scraperConfig::getDataForCode(int code, std::map<std::string, std::string>& out) {
    return getDataForCode(std::to_string(code), out);
}

std::ostream& operator<<(std::ostream& os, const scraperConfig& config) {
    os << "Global Config start --------------\n";
    os << config.getGlobalConfig();
    os << "Global Config end --------------\n";
    for (const scraperConfig::chunk& c : config.getChunkList()) {
        os << "---- Chunk: \n";
        os << c.templateTokens;
        os << c.config;
    }
    return os;
}

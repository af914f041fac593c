#pragma once
// A site configuration file (or an icon style file) read once: global
// key/value settings, and chunks, each an annotated HTML template with the
// settings that steer how its value is found and cleaned.

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "scrapers/tokenList.h"

class scraperConfig {
public:
    // One value to find: its template and its settings. A template with
    // several data tokens is stored as one chunk per data token.
    struct chunk {
        tokenList templateTokens;
        std::map<std::string, std::string> config;
    };

    static inline const std::string MAX_FOUND = "max_found";
    static inline const std::string CLUMP_DROPOFF = "clump_dropoff";
    static inline const std::string DESIRED_TOKEN = "desired_token";

    // text is the whole content of a configuration file; name names it in
    // the log line an empty text gets.
    explicit scraperConfig(const std::string& text, const std::string& name = "");
    virtual ~scraperConfig();

    const std::map<std::string, std::string>& getGlobalConfig() const { return globalConfig_; }
    const std::vector<chunk>& getChunkList() const { return chunks_; }

    // Replaces out with the settings of the first chunk whose comma-separated
    // "code" list holds code exactly; false (out untouched) when none does.
    bool getDataForCode(const std::string& code, std::map<std::string, std::string>& out);
    bool getDataForCode(int code, std::map<std::string, std::string>& out);

    // The whole text of the configuration file at path ("" when the bundle
    // has no file of that name). A file that is missing, cannot be read or is
    // empty gets a line on standard error naming it and why; the text is then
    // "" and the source it configures finds nothing.
    static std::string readConfigFile(const std::string& path, const std::string& name);

    // Splits a "key=value" line at its first "=". False for comments, empty
    // lines, lines without "=" and lines with nothing after the "=".
    static bool parseKeyValuePair(const std::string& line, std::string& key, std::string& value);

private:
    void parseFileData(const std::string& text);
    void parseChunk(const std::vector<std::string>& lines, size_t first, size_t last);

    std::vector<chunk> chunks_;
    std::map<std::string, std::string> globalConfig_;
};

std::ostream& operator<<(std::ostream& os, const scraperConfig& config);

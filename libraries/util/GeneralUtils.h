#pragma once
// Static text helpers: digests, escaping, tags, splitting, numbers and the
// diagnostic streams.

#include <string>
#include <vector>

#include "util/StringMap.h"

class GeneralUtils {
public:
    // MD5 of the text's bytes as 32 lower-case hex digits.
    static std::string md5(const std::string& text);
    // The first four digest bytes as a non-negative 32-bit integer.
    static int md5Int(const std::string& text);
    // A stable bucket 0..n-1 for the text; 0 when n is 1 or less.
    static int bucketize(const std::string& text, int n);

    static std::string xmlEscape(const std::string& text);
    static std::string sqlEscape(const std::string& text);

    static void error(const std::string& text);
    static void warning(const std::string& text);
    static void print(const std::string& text);

    static int strToInt(const std::string& text);
    static float strToFloat(const std::string& text);
    static std::string valueOf(int n);
    static std::string valueOf(float f);

    // The first run of ASCII letters; the text itself when it has none.
    static std::string removeWhitespace(std::string text);
    // The span start..start+len widened by margin on both sides, cut to the text.
    static std::string getTextSurround(unsigned long start, unsigned long len, const std::string& text,
                                       unsigned long margin);
    static std::string removeHtml(const std::string& text);
    // Position of needle in text, -1 when absent; wholeWord needs a space (or
    // the start) before and no letter after.
    static int stringMatch(const std::string& needle, const std::string& text, bool wholeWord);
    // Appends text to out with every from replaced by to.
    static void strReplace(const std::string& text, const std::string& from, const std::string& to,
                           std::string& out);
    static std::string strToLower(std::string text);
    static std::string strToUpper(std::string text);

    static std::string rebuildTag(const std::string& name, const StringMap& attrs);
    static bool decomposeTag(std::string tag, std::string& name, StringMap& attrs);

    static void getStringMapPrintableRepresentation(std::string& out, const StringMap& map);
    static std::string joinHash(const StringMap& map, const std::string& entrySep, const std::string& kvSep);
    static void splitHash(const std::string& text, const std::string& entrySep, const std::string& kvSep,
                          StringMap& map);
    static std::string getStringMap(const StringMap& map, const std::string& key);
    static int getStringMapInt(const StringMap& map, const std::string& key);
    static float getStringMapFloat(const StringMap& map, const std::string& key);

    // Splits at an extended pattern compiled for this call only.
    static void split(const std::string& text, const std::string& pattern, std::vector<std::string>& out);
    // Splits at a literal separator; empty pieces are kept, an empty tail is not.
    static void splitByStr(const std::string& text, const std::string& sep, std::vector<std::string>& out);
};

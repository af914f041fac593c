#include "model/CodeTables.h"

#include <vector>

#include "util/GeneralUtils.h"
#include "util/regex.h"

// Rows 18 on are tried only after the first seventeen: they give words those
// leave to the default "32" (sunny) the nearest code of their own.
const Mapping::StringPair conditionRegex[] = {
    {"01", "Fair|32"},         {"02", "Partly Cloudy|30"}, {"03", "Mostly Cloudy|28"}, {"04", "Overcast|26"},
    {"05", "Snow|14"},         {"06", "Rain|39"},          {"07", "Shower|39"},        {"08", "T-Storm|35"},
    {"09", "Lightning|37"},    {"10", "Wind|24"},          {"11", "Thunderstorm|35"},  {"12", "Fog|20"},
    {"13", "Sunny|32"},        {"14", "cloud|30"},         {"15", "mist|20"},          {"16", "drizzle|20"},
    {"17", "clear|32"},        {"18", "Tornado|0"},        {"19", "Hail|17"},          {"20", "Pellet|18"},
    {"21", "Sleet|18"},        {"22", "Ice|18"},           {"23", "Haze|21"},          {"24", "Smoke|22"},
    {"25", "Ash|22"},          {"26", "Dust|19"},          {"27", "Sand|19"},          {"28", "Squall|23"},
    {"29", "Spray|20"},        {nullptr, nullptr},
};

const Mapping::StringPair timebasedConditionIcons[] = {
    {"28", "27"}, {"30", "29"}, {"32", "31"}, {"34", "31"}, {"44", "29"}, {"36", "33"}, {nullptr, nullptr},
};

const Mapping::StringPair timezones[] = {
    {"NST", "-3.5"}, {"NDT", "-2.5"}, {"AST", "-4"},  {"ADT", "-3"},   {"EST", "-5"},   {"EDT", "-4"},
    {"ET", "-5"},    {"CST", "-6"},   {"CT", "-6"},   {"CDT", "-5"},   {"MST", "-7"},   {"MDT", "-6"},
    {"MT", "-7"},    {"PST", "-8"},   {"PDT", "-7"},  {"PT", "-8"},    {"HST", "-10"},  {"AKST", "-9"},
    {"AKDT", "-8"},  {"GMT", "0"},    {"BST", "1"},   {"IST", "1"},    {"WET", "0"},    {"WEST", "1"},
    {"CET", "1"},    {"CEST", "2"},   {"EET", "2"},   {"EEST", "3"},   {"MSK", "3"},    {"MSD", "4"},
    {"JST", "9"},    {"KST", "9"},    {"ROK", "9"},   {"AEST", "10"},  {"ADST", "11"},  {"ACST", "9.5"},
    {"ACDT", "10.5"}, {"AZT", "4"},   {nullptr, nullptr},
};

const Mapping::StringPair statesToTimezones[] = {
    {"Washington", "PT"},     {"Oregon", "PT"},         {"Nevada", "PT"},         {"California", "PT"},
    {"Idaho", "MT"},          {"Montana", "MT"},        {"Wyoming", "MT"},        {"Utah", "MT"},
    {"Colorado", "MT"},       {"Arizona", "MT"},        {"New Mexico", "MT"},     {"North Dakota", "CT"},
    {"South Dakota", "CT"},   {"Nebraska", "CT"},       {"Kansas", "CT"},         {"Oklahoma", "CT"},
    {"Texas", "CT"},          {"Minnesota", "CT"},      {"Iowa", "CT"},           {"Missouri", "CT"},
    {"Arkansas", "CT"},       {"Louisiana", "CT"},      {"Mississippi", "CT"},    {"Alabama", "CT"},
    {"Tennessee", "CT"},      {"Illinois", "CT"},       {"Wisconsin", "CT"},      {"Michigan", "ET"},
    {"Ohio", "ET"},           {"Kentucky", "ET"},       {"West Virginia", "ET"},  {"Virginia", "ET"},
    {"North Carolina", "ET"}, {"South Carolina", "ET"}, {"Georgia", "ET"},        {"Florida", "ET"},
    {"Maryland", "ET"},       {"New York", "ET"},       {"Pennsylvania", "ET"},   {"Delaware", "ET"},
    {"New Jersey", "ET"},     {"Maine", "ET"},          {"Connecticut", "ET"},    {"Rhode Island", "ET"},
    {"New Hampshire", "ET"},  {"Vermont", "ET"},        {"Hawaii", "HST"},        {"Alaska", "AKST"},
    {nullptr, nullptr},
};

const Mapping::StringPair countriesToTimezones[] = {
    {"United Kingdom", "WEST"}, {"France", "WEST"}, {"Italy", "WEST"}, {"Germany", "WEST"}, {"Spain", "WEST"},
    {"Norway", "WEST"},         {"Sweden", "WEST"}, {"Japan", "JST"},  {"Korea", "JST"},    {nullptr, nullptr},
};

const Mapping::StringPair months[] = {
    {"January", "1"}, {"February", "2"}, {"March", "3"},     {"April", "4"},    {"May", "5"},       {"June", "6"},
    {"July", "7"},    {"August", "8"},   {"September", "9"}, {"October", "10"}, {"November", "11"}, {"December", "12"},
    {nullptr, nullptr},
};

const Mapping::StringPair shortMonths[] = {
    {"Jan", "1"}, {"Feb", "2"}, {"Mar", "3"}, {"Apr", "4"},  {"May", "5"},  {"Jun", "6"},
    {"Jul", "7"}, {"Aug", "8"}, {"Sep", "9"}, {"Oct", "10"}, {"Nov", "11"}, {"Dec", "12"},
    {nullptr, nullptr},
};

const Mapping::StringPair states[] = {
    {"AL", "Alabama"},
    {"AK", "Alaska"},
    {"AS", "American Samoa"},
    {"AZ", "Arizona"},
    {"AR", "Arkansas"},
    {"CA", "California"},
    {"CO", "Colorado"},
    {"CT", "Connecticut"},
    {"DE", "Delaware"},
    {"DC", "District of Columbia"},
    {"FM", "Federated States of Micronesia"},
    {"FL", "Florida"},
    {"GA", "Georgia"},
    {"GU", "Guam"},
    {"HI", "Hawaii"},
    {"ID", "Idaho"},
    {"IL", "Illinois"},
    {"IN", "Indiana"},
    {"IA", "Iowa"},
    {"KS", "Kansas"},
    {"KY", "Kentucky"},
    {"LA", "Louisiana"},
    {"ME", "Maine"},
    {"MH", "Marshall Islands"},
    {"MD", "Maryland"},
    {"MA", "Massachusetts"},
    {"MI", "Michigan"},
    {"MN", "Minnesota"},
    {"MS", "Mississippi"},
    {"MO", "Missouri"},
    {"MT", "Montana"},
    {"NE", "Nebraska"},
    {"NV", "Nevada"},
    {"NH", "New Hampshire"},
    {"NJ", "New Jersey"},
    {"NM", "New Mexico"},
    {"NY", "New York"},
    {"NC", "North Carolina"},
    {"ND", "North Dakota"},
    {"MP", "Northern Mariana Islands"},
    {"OH", "Ohio"},
    {"OK", "Oklahoma"},
    {"OR", "Oregon"},
    {"PW", "Palau"},
    {"PA", "Pennsylvania"},
    {"PR", "Puerto Rico"},
    {"RI", "Rhode Island"},
    {"SC", "South Carolina"},
    {"SD", "South Dakota"},
    {"TN", "Tennessee"},
    {"TX", "Texas"},
    {"UT", "Utah"},
    {"VT", "Vermont"},
    {"VI", "Virgin Islands"},
    {"VA", "Virginia"},
    {"WA", "Washington"},
    {"WV", "West Virginia"},
    {"WI", "Wisconsin"},
    {"WY", "Wyoming"},
    {nullptr, nullptr},
};

const Mapping::StringPair provinces[] = {
    {"Alberta", "Canada"},      {"British Columbia", "Canada"},      {"Manitoba", "Canada"},
    {"New Brunswick", "Canada"}, {"Newfoundland", "Canada"},         {"Northwest Territories", "Canada"},
    {"Nova Scotia", "Canada"},  {"Nunavut", "Canada"},               {"Ontario", "Canada"},
    {"Prince Edward Island", "Canada"}, {"Quebec", "Canada"},        {"Saskatchewan", "Canada"},
    {"Yukon", "Canada"},        {nullptr, nullptr},
};

const Mapping::StringPair auTerritories[] = {
    {"Australian Capital Territory", "Australia"}, {"New South Wales", "Australia"},
    {"Northern Territory", "Australia"},           {"Queensland", "Australia"},
    {"Tasmania", "Australia"},                     {"Victoria", "Australia"},
    {"Western Australia", "Australia"},            {"South Australia", "Australia"},
    {nullptr, nullptr},
};

size_t tableRowCount(const Mapping::StringPair* table) {
    size_t rows = 0;
    while (table != nullptr && table[rows].first != nullptr) ++rows;
    return rows;
}

std::string conditionWordToCode(const std::string& text) {
    // Built once, in key order; each row is split into its expression and
    // its code ahead of use.
    struct Row {
        std::string pattern;
        std::string code;
    };
    static const std::vector<Row> rows = [] {
        std::vector<Row> out;
        for (const auto& [key, value] : Mapping(conditionRegex, false)) {
            std::vector<std::string> parts;
            GeneralUtils::splitByStr(value, "|", parts);
            if (parts.size() >= 2) out.push_back({parts[0], parts[1]});
        }
        return out;
    }();
    for (const Row& row : rows) {
        if (regex::match(row.pattern, text, RegexFlags::Extended | RegexFlags::IgnoreCase)) return row.code;
    }
    return "32";
}

std::string dayIconToNightIcon(const std::string& code) {
    static const Mapping table(timebasedConditionIcons, false);
    std::string night = table.get(code);
    return night.empty() ? code : night;
}

std::string tzToGMTOffset(const std::string& zone) {
    static const Mapping table(timezones, false);
    return table.get(zone);
}

std::string stateToTz(const std::string& stateName) {
    static const Mapping table(statesToTimezones, false);
    return table.get(stateName);
}

std::string countryToTz(const std::string& country) {
    static const Mapping table(countriesToTimezones, false);
    return table.get(country);
}

std::string monthToNum(const std::string& month) {
    static const Mapping full(months, false);
    static const Mapping abbreviated(shortMonths, false);
    std::string number = full.get(month);
    return number.empty() ? abbreviated.get(month) : number;
}

std::string stateAbbrevToStateName(const std::string& abbrev) {
    static const Mapping table(states, false);
    return table.get(abbrev);
}

std::string stateNameToStateAbbrev(const std::string& name) {
    static const Mapping table(states, true);
    return table.get(name);
}

std::string provinceToCanada(const std::string& province) {
    static const Mapping table(provinces, false);
    return table.get(province);
}

std::string territoryToAustralia(const std::string& territory) {
    static const Mapping table(auTerritories, false);
    return table.get(territory);
}

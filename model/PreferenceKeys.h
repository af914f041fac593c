#pragma once
// The names every program shares: preference keys and their values, the keys
// of the weather-code map and of the display tables, the weather-source
// numbers and keys, and the names of the preference panes.
//
// Texts are character arrays so that they work wherever a C string or a
// std::string is expected (dictionary keys, string maps, comparisons).

// Weather-code map (WeatherCodeMap.plist) entries.
inline constexpr char kDescriptionString[] = "DescriptionString";  // localizable description of a code
inline constexpr char kImageFile[] = "ImageFile";                  // image file name without ".tif"

// Display keys.
inline constexpr char kWeatherCode[] = "weatherCode";
inline constexpr char kTemperature[] = "temperature";
inline constexpr char kCity[] = "city";  // also the name key of a stored location
inline constexpr char kSunrise[] = "sunrise";
inline constexpr char kSunset[] = "sunset";
inline constexpr char kCredit[] = "credit";
inline constexpr char kUrl[] = "url";
inline constexpr char kCityID[] = "cityID";  // older single location key (read as the AOL key)

// Forecast prefixes, followed by the day number.
inline constexpr char kFCCode[] = "code-";
inline constexpr char kFCHigh[] = "high-";
inline constexpr char kFCLow[] = "low-";
inline constexpr char kFCDay[] = "day-";

// Old temperature unit preference, replaced by kUnits at start-up.
inline constexpr char kTempUnits[] = "tempUnit";
inline constexpr char kCelsius[] = "c";
inline constexpr char kFahrenheit[] = "f";

// Locations.
inline constexpr char kLocations[] = "locations";        // array of location dictionaries
inline constexpr char kLocationStatus[] = "locStatus";  // key inside a location dictionary

// Preferences.
inline constexpr char kUnits[] = "units";
inline constexpr char kMode[] = "mode";
inline constexpr char kFreeMode[] = "free_mode";
inline constexpr char kAdvanceMode[] = "advance_mode";
inline constexpr char kDisplayColor[] = "display_color";
inline constexpr char kTempFontSize[] = "font_size";
inline constexpr char kMaxLocations[] = "max_no_locations";
inline constexpr char kSourcePreference[] = "source_pref";
inline constexpr char kFiveDayForecast[] = "five_day_forecast";
inline constexpr char kHumidity[] = "humidity";
inline constexpr char kWind[] = "wind";
inline constexpr char kBarometer[] = "barometer";
inline constexpr char kVisibility[] = "visibility";
inline constexpr char kSunriseSunset[] = "sunrise_sunset";
inline constexpr char kFeelsLike[] = "feels_like";
inline constexpr char kRadar[] = "radar";
inline constexpr char kDewpoint[] = "dewpoint";
inline constexpr char kIconSaturation[] = "icon_saturation";  // 0.0 to 1.0, advanced mode
inline constexpr char kUpdateFrequency[] = "update_frequency";  // minutes, at least 15
inline constexpr char kDateForVersionCheck[] = "date_new_version_checked";  // seconds since 1970
inline constexpr char kPreferenceVersion[] = "version";  // layout version, 2.0
inline constexpr char kIconSet[] = "icon_set";

// Source keys of a location's key map.
inline constexpr char kWeatherGovKey[] = "nws";
inline constexpr char kAolKey[] = "aol";
inline constexpr char kUgKey[] = "ug";
inline constexpr char kUsaKey[] = "usa";

// Preference pane names.
inline constexpr char kPrefpaneGeneral[] = "general";
inline constexpr char kPrefpaneLocations[] = "locations";
inline constexpr char kPrefpaneSources[] = "sources";
inline constexpr char kPrefpaneNewLoc[] = "newloc";  // the new-location window

// Temperature tags.
inline constexpr int kCelsiusTag = 0;
inline constexpr int kFahrenheitTag = 1;

// Values of kUnits.
inline constexpr int kUnitsMetric = 0;
inline constexpr int kUnitsUSStandard = 1;
inline constexpr int kUnitsBoth = 2;

// Weather-source numbers (the elements of kSourcePreference).
inline constexpr int kAutomatic = 0;
inline constexpr int kWeatherGov = 1;
inline constexpr int kWeatherYahoo = 2;
inline constexpr int kAol = 3;
inline constexpr int kMsn = 4;
inline constexpr int kUg = 5;
inline constexpr int kUsa = 6;

// Values of kIconSet.
inline constexpr int kClassicIcon = 0;
inline constexpr int kSkyIcon = 1;

// Values of kDisplayColor.
inline constexpr int kGrey = 0;
inline constexpr int kBlack = 1;

// Values of kTempFontSize.
inline constexpr int kSmaller = 0;
inline constexpr int kLarger = 1;

// Display texts of the sources, indexed by source number.
inline constexpr const char* kSourceToString[7] = {
    "auto",
    "weather.gov",
    "weather.yahoo.com",
    "aol.com",
    "msn.com",
    "wunderground.com",
    "usatoday.com",
};

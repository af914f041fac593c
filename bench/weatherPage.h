#pragma once
// Realistic weather-page HTML of a chosen size and a site configuration of
// the kind the scrapers use on it, for the tokenizer and scorer benchmarks.

#include <cstdint>
#include <string>

namespace weatherPage {

inline std::string number(uint32_t& seed, int low, int high) {
    seed = seed * 1664525u + 1013904223u;
    return std::to_string(low + static_cast<int>((seed >> 8) % static_cast<uint32_t>(high - low + 1)));
}

// A page of at least `bytes` bytes: head with styles and scripts, navigation,
// current conditions, a location chooser, repeated hourly and detail tables,
// the forecast and a footer.
inline std::string make(size_t bytes) {
    static const char* const kConditions[] = {"Sunny", "Partly Cloudy", "Mostly Cloudy", "Rain", "Fog", "Clear"};
    static const char* const kIcons[] = {"sunny", "partlycloudy", "mostlycloudy", "rain", "fog", "clear"};
    static const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
    uint32_t seed = 12345;
    std::string page;
    page.reserve(bytes + 8192);
    page +=
        "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\n<html lang=\"en\">\n<head>\n"
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\n"
        "<title>Springfield, IL (62701) Weather Conditions and Forecast</title>\n"
        "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/main.css\">\n"
        "<style type=\"text/css\">\n.obs td { padding: 2px 6px; } .fc td.hi { color: #c00; }\n"
        "a:hover { text-decoration: underline; } .ad { width: 300px; height: 250px; }\n</style>\n"
        "<script type=\"text/javascript\">\nvar pageId = 'wx-62701'; if (a < b && c > d) { track(pageId); }\n"
        "document.write('<img src=\"/px.gif?id=' + pageId + '\" width=1 height=1>');\n</script>\n"
        "</head>\n<body bgcolor=\"#ffffff\" onload=\"init()\">\n";
    page +=
        "<div id=\"header\"><a href=\"/\"><img src=\"/img/logo.gif\" alt=\"Example Weather\" border=\"0\"></a>\n"
        "<form action=\"/search\" method=\"get\"><input type=\"text\" name=\"where\" size=\"20\">"
        "<select name=\"units\"><option value=\"f\" selected>&deg;F</option><option value=\"c\">&deg;C</option>"
        "</select><input type=\"submit\" value=\"Go\"></form></div>\n"
        "<div id=\"nav\"><ul><li><a href=\"/local/\">Local</a></li><li><a href=\"/radar/\">Radar &amp; Maps</a>"
        "</li><li><a href=\"/news/\">News</a></li><li><a href=\"/travel/\">Travel</a></li></ul></div>\n"
        "<!-- begin current conditions -->\n<div class=\"current\">\n"
        "<h1 class=\"city\">Springfield, IL</h1>\n<p class=\"updated\">Updated: 9:53 AM CDT on June 14</p>\n"
        "<table class=\"obs\" cellpadding=\"0\" cellspacing=\"0\">\n"
        "<tr><td class=\"big\"><img src=\"/icons/partlycloudy.gif\" width=\"64\" height=\"64\" alt=\"\"></td>"
        "<td class=\"temp\"><b>72&deg;F</b></td></tr>\n"
        "<tr><td class=\"label\">Conditions:</td><td class=\"value\">Partly&nbsp;Cloudy</td></tr>\n"
        "<tr><td class=\"label\">Feels Like:</td><td class=\"value\">74&deg;F</td></tr>\n"
        "<tr><td class=\"label\">Humidity:</td><td class=\"value\">64%</td></tr>\n"
        "<tr><td class=\"label\">Dew Point:</td><td class=\"value\">59&deg;F</td></tr>\n"
        "<tr><td class=\"label\">Wind:</td><td class=\"value\">SW at 12 mph</td></tr>\n"
        "<tr><td class=\"label\">Pressure:</td><td class=\"value\">30.02 in and rising</td></tr>\n"
        "<tr><td class=\"label\">Visibility:</td><td class=\"value\">10.0 miles</td></tr>\n"
        "<tr><td class=\"label\">Sunrise:</td><td class=\"value\">5:28 AM</td></tr>\n"
        "<tr><td class=\"label\">Sunset:</td><td class=\"value\">8:27 PM</td></tr>\n"
        "</table>\n<p class=\"station\">Reported at <a href=\"/obs/KSPI.html\">KSPI</a></p>\n"
        "<p class=\"warn\"><a class=\"alert\" href=\"/alerts/1.html\">+HEAT ADVISORY until 8 PM</a></p>\n"
        "</div>\n<!-- end current conditions -->\n";
    page += "<div class=\"forecast\"><h2>5-Day Forecast</h2>\n<table class=\"fc\">\n";
    for (int d = 0; d < 5; ++d) {
        const int c = (d * 7 + 3) % 6;
        page += "<tr><td class=\"day\">" + std::string(kDays[d]) + "</td><td class=\"icon\"><img src=\"/icons/" +
                kIcons[c] + ".gif\" alt=\"" + kConditions[c] + "\"></td><td class=\"hi\">" +
                number(seed, 70, 90) + "&deg;</td><td class=\"lo\">" + number(seed, 50, 65) +
                "&deg;</td><td class=\"desc\">" + kConditions[c] + "</td></tr>\n";
    }
    page += "</table></div>\n";

    // Hourly tables, news teasers and ads until the page reaches its size.
    int hour = 0;
    while (page.size() + 600 < bytes) {
        const int c = static_cast<int>(number(seed, 0, 5)[0] - '0');
        page += "<div class=\"hourly\"><table class=\"hr\" width=\"100%\">\n<tr><th>Time</th><th>Temp</th>"
                "<th>Conditions</th><th>Wind</th></tr>\n";
        for (int r = 0; r < 6; ++r, ++hour) {
            page += "<tr class=\"" + std::string(r % 2 ? "odd" : "even") + "\"><td>" +
                    std::to_string(hour % 12 + 1) + ":00 " + (hour % 24 < 12 ? "AM" : "PM") + "</td><td>" +
                    number(seed, 55, 95) + "&deg;F</td><td><img src=\"/icons/small/" + kIcons[(c + r) % 6] +
                    ".gif\" width=\"25\" height=\"25\"> " + kConditions[(c + r) % 6] + "</td><td>" +
                    number(seed, 0, 25) + " mph</td></tr>\n";
        }
        page += "</table></div>\n<!-- ad slot " + std::to_string(hour) +
                " -->\n<div class=\"ad\"><script>ad_slot(" + std::to_string(hour) +
                ", \"300x250\");</script><noscript><a href=\"/ad/click?" + std::to_string(hour) +
                "\"><img src=\"/ad/img?" + std::to_string(hour) +
                "\" border=\"0\"></a></noscript></div>\n<div class=\"news\"><h3><a href=\"/news/" +
                std::to_string(hour) + ".html\">Storm season outlook, part " + std::to_string(hour) +
                "</a></h3><p>Forecasters expect an active few weeks with&nbsp;scattered storms across the "
                "region; residents should review their plans &amp; stay alert.</p></div>\n";
    }
    page +=
        "<div id=\"footer\"><p class=\"credit\">Weather data provided by Example Weather</p>"
        "<p>&copy; 2026 Example Weather. <a href=\"/privacy/\">Privacy</a> | <a href=\"/terms/\">Terms</a></p>"
        "</div>\n</body>\n</html>\n";
    return page;
}

// Eighteen chunks (after data-token copies): current conditions, the
// forecast lists, links and the city name.
inline const char* config() {
    return R"(# Example Weather: weather page
host=www.example.com
uri=/cgi-bin/wx?zip=<uri_key>
credit=Example Weather

%chunk_start
temperature-post=([0-9-]+)
%html_start
<td class="big"><img src="/icons/x.gif"></td><td class="temp"><b>72&deg;F<%data=temperature></b></td></tr>
%html_end
%chunk_end

%chunk_start
icon-post=/icons/([a-z]+)[.]gif
%html_start
<table class="obs"><tr><td class="big"><img src="/icons/[a-z]+[.]gif"><%regex=1,data=icon>
%html_end
%chunk_end

%chunk_start
%html_start
<tr><td class="label">Conditions:</td><td class="value">Sunny<%data=weatherCode,map=1></td></tr>
%html_end
weatherCode-map-Partly&nbsp;Cloudy=30
weatherCode-map-Sunny=32
weatherCode-map-default=44
%chunk_end

%chunk_start
%html_start
<tr><td class="label">Feels Like:</td><td class="value">70&deg;F<%data=feels_like></td></tr>
<tr><td class="label">Humidity:</td><td class="value">50%<%data=humidity></td></tr>
<tr><td class="label">Dew Point:</td><td class="value">50&deg;F<%data=dewpoint></td></tr>
%html_end
%chunk_end

%chunk_start
%html_start
<tr><td class="label">Wind:</td><td class="value">N at 5 mph<%data=wind></td></tr>
<tr><td class="label">Pressure:</td><td class="value">30.00 in<%data=barometer></td></tr>
<tr><td class="label">Visibility:</td><td class="value">10 miles<%data=visibility></td></tr>
%html_end
%chunk_end

%chunk_start
%html_start
<tr><td class="label">Sunrise:</td><td class="value">6:00 AM<%data=sunrise></td></tr>
<tr><td class="label">Sunset:</td><td class="value">8:00 PM<%data=sunset></td></tr>
%html_end
%chunk_end

%chunk_start
time-post=Updated: (.*)
%html_start
<h1 class="city">City</h1><p class="updated">Updated: .*<%regex=1,data=time></p>
%html_end
%chunk_end

%chunk_start
%html_start
<div class="current"><h1 class="city">City<%data=name></h1>
%html_end
%chunk_end

%chunk_start
%html_start
<p class="station">Reported at <a href="/obs/KXXX.html">KXXX<%data=metar></a></p>
%html_end
%chunk_end

%chunk_start
max_found=3
%html_start
<p class="warn"><a class="alert"><%regex=1>ADVISORY<%data=warninglink></a></p>
%html_end
%chunk_end

%chunk_start
max_found=5
clump_dropoff=40
forecast-info-post=([A-Za-z]+day)
%html_start
<table class="fc"><tr><td class="day">Day<%data=day></td><td class="icon"><img src="/icons/x.gif"></td>
%html_end
%chunk_end

%chunk_start
max_found=5
hi-post=([0-9]+)
%html_start
<tr><td class="day">Day</td><td class="icon"><img></td><td class="hi"><%regex=1>80&deg;<%data=hi></td>
%html_end
%chunk_end

%chunk_start
max_found=5
lo-post=([0-9]+)
%html_start
<td class="hi">80&deg;</td><td class="lo"><%regex=1>60&deg;<%data=lo></td><td class="desc">
%html_end
%chunk_end
)";
}

}  // namespace weatherPage

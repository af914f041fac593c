#include "menu/PlimMenuItem.h"

#include <cstdio>
#include <iostream>

#include "util/CLocaleScope.h"

const std::string PlimMenuItem::ItemKey = "item";
const std::string PlimMenuItem::TypeKey = "type";
const std::string PlimMenuItem::SaturationKey = "sat";
const std::string PlimMenuItem::ErrorCodeKey = "err";
const std::string PlimMenuItem::WarnCodeKey = "wc";
const std::string PlimMenuItem::WarnTypeKey = "wt";
const std::string PlimMenuItem::WarnSeverityKey = "ws";
const std::string PlimMenuItem::TemperatureKey = "temp";
const std::string PlimMenuItem::SetMinKey = "setMin";
const std::string PlimMenuItem::RiseMinKey = "riseMin";
const std::string PlimMenuItem::CurMinKey = "curMin";
const std::string PlimMenuItem::ForecastHiLoKey = "fcHiLo";
const std::string PlimMenuItem::ForecastDayKey = "fcDay";
const std::string PlimMenuItem::ConditionDataKey = "condData";
const std::string PlimMenuItem::ConditionTypeKey = "condType";
const std::string PlimMenuItem::TimeKey = "time";
const std::string PlimMenuItem::URLKey = "url";
const std::string PlimMenuItem::WeatherCodeKey = "code";
const std::string PlimMenuItem::CityNameKey = "pcName";

void PlimMenuItem::set(const std::string& key, const std::string& value) { map_[key] = value; }

void PlimMenuItem::set(const std::string& key, unsigned long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%lu", value);
    map_[key] = text;
}

void PlimMenuItem::setFloat(const std::string& key, float value) {
    char text[64];
    formatInCLocale(text, sizeof text, "%f", static_cast<double>(value));
    map_[key] = text;
}

void PlimMenuItem::set(const std::string& key, Type value) {
    if (key != TypeKey) {
        std::cerr << "PlimMenuItem::set, cannot set key=[" + key + "] to PlimMenuItem::Type!\n";
        return;
    }
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    map_[key] = text;
}

std::string PlimMenuItem::get(const std::string& key) const {
    auto it = map_.find(key);
    return it == map_.end() ? std::string() : it->second;
}

#include "platform/UserLocale.h"

#include <langinfo.h>
#include <locale.h>

#include <mutex>

namespace {

std::mutex currentMutex;
std::shared_ptr<const UserLocale> replaced;

}  // namespace

std::shared_ptr<const UserLocale> UserLocale::current() {
    std::lock_guard<std::mutex> lock(currentMutex);
    if (replaced) return replaced;
    static const std::shared_ptr<const UserLocale> system = std::make_shared<SystemUserLocale>();
    return system;
}

void UserLocale::setCurrent(std::shared_ptr<const UserLocale> locale) {
    std::lock_guard<std::mutex> lock(currentMutex);
    replaced = std::move(locale);
}

SystemUserLocale::SystemUserLocale() {
    locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    locale_ = loc;
}

SystemUserLocale::~SystemUserLocale() {
    if (locale_) freelocale(static_cast<locale_t>(locale_));
}

std::string SystemUserLocale::item(int which) const {
    const char* text = locale_ ? nl_langinfo_l(static_cast<nl_item>(which), static_cast<locale_t>(locale_))
                               : nl_langinfo(static_cast<nl_item>(which));
    return text ? text : "";
}

std::vector<std::string> SystemUserLocale::shortWeekdayNames() const {
    std::vector<std::string> names;
    for (int day = 0; day < 7; ++day) names.push_back(item(ABDAY_1 + day));
    return names;
}

std::string SystemUserLocale::timeFormat() const { return item(T_FMT); }

std::string SystemUserLocale::dateFormat() const { return item(D_FMT); }

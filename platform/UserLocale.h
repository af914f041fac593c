#pragma once
// The user's locale data that the menus and the date texts use: day names
// and the date and time formats (strftime conventions). The system's answer
// comes from the C library's data for the user's LC_TIME; tests replace it.

#include <memory>
#include <string>
#include <vector>

class UserLocale {
public:
    virtual ~UserLocale() = default;

    // Seven abbreviated day names, Sunday first.
    virtual std::vector<std::string> shortWeekdayNames() const = 0;
    // Words for "today" and "tomorrow", the usual one first.
    virtual std::vector<std::string> thisDayDesignations() const = 0;
    virtual std::vector<std::string> nextDayDesignations() const = 0;
    // strftime formats of a time of day and of a date.
    virtual std::string timeFormat() const = 0;
    virtual std::string dateFormat() const = 0;

    // The locale in use: the system's unless replaced.
    static std::shared_ptr<const UserLocale> current();
    // Replaces the locale in use; null restores the system's.
    static void setCurrent(std::shared_ptr<const UserLocale> locale);
};

// The C library's data for the LC_TIME the environment names (LC_ALL,
// LC_TIME, LANG), read without touching the program's own locale.
class SystemUserLocale : public UserLocale {
public:
    SystemUserLocale();
    ~SystemUserLocale() override;
    SystemUserLocale(const SystemUserLocale&) = delete;
    SystemUserLocale& operator=(const SystemUserLocale&) = delete;

    std::vector<std::string> shortWeekdayNames() const override;
    std::vector<std::string> thisDayDesignations() const override { return {"today"}; }
    std::vector<std::string> nextDayDesignations() const override { return {"tomorrow"}; }
    std::string timeFormat() const override;
    std::string dateFormat() const override;

private:
    std::string item(int which) const;
    void* locale_;  // a locale_t; null when the environment's locale is unknown
};

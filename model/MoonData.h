#pragma once
// The lit fraction of the moon's disc for each day from 2006 on, read from
// the "moonData" text resource. The night weather icons are shaded with it.
//
// The text is a sequence of year blocks, the first for 2006: a header line
// (the year, not read) and 31 day lines. A day line is tab-separated: the day
// number (not read: the line's position gives the day), then one field per
// month from January; a field that is no number (an empty one for 30
// February) gives no value. Lines end with a line feed or a carriage return.

#include <array>
#include <string>
#include <vector>

class MoonData {
public:
    explicit MoonData(const std::string& text);

    // The lit fraction, 0.0 (new moon) to 1.0 (full moon); 1.0 when the table
    // has no value for the date, so that the night icon is drawn unshaded.
    float getPercentageIlluminatedFor(unsigned int month, unsigned int day, unsigned int year) const;

    // The number of year blocks read.
    size_t numYears() const { return years_.size(); }

    static constexpr unsigned int kFirstYear = 2006;

private:
    static constexpr int kMonths = 12;
    static constexpr int kDays = 31;
    using Year = std::array<float, kMonths * kDays>;  // (month - 1) * 31 + (day - 1); -1 = no value

    std::vector<Year> years_;
};

// date_stamp.cpp — the date stamp of today, read from the platform's clock.
#include <cstdlib>

#include "draw/strings.h"
#include "platform/platform.h"

int64_t DateStamp(const std::string& date) {
    std::string d = date.empty() ? CurrentDate() : date;
    d = Upper(d);
    const int64_t year = std::abs(ToInt(Mid(d, 8, 4)));
    static const char* const kMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                            "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const std::string monthText = Mid(d, 4, 3);
    int64_t month = 0;
    for (int m = 0; m < 12; ++m) {
        if (monthText == kMonths[m]) month = m + 1;
    }
    const int64_t day = std::abs(ToInt(Mid(d, 1, 2)));
    const std::string t = CurrentTime();
    const int64_t hour = std::abs(ToInt(Mid(t, 1, 2)));
    const int64_t minute = std::abs(ToInt(Mid(t, 4, 2)));
    const int64_t second = std::abs(ToInt(Mid(t, 7, 2)));
    return ((((year * 12 + month) * 31 + day) * 24 + hour) * 60 + minute) * 60 + second;
}

#include "ZADosTime.h"

namespace {

bool IsLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : Days[month - 1];
}

} // namespace

bool ZADosToTime(std::uint16_t date, std::uint16_t time, std::time_t& out) {
    const int year = 1980 + (date >> 9);
    const int month = (date >> 5) & 15;
    const int day = date & 31;
    const int hour = time >> 11;
    const int minute = (time >> 5) & 63;
    const int second = (time & 31) * 2;
    if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    out = std::mktime(&tm);
    return out != static_cast<std::time_t>(-1);
}

std::uint32_t ZATimeToDos(std::time_t moment) {
    std::tm tm{};
    if (localtime_r(&moment, &tm) == nullptr || tm.tm_year < 80 || tm.tm_year > 207)
        return 0;
    const std::uint32_t date = ((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday;
    const std::uint32_t time = (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2);
    return (date << 16) | time;
}

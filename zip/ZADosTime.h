#pragma once

#include <cstdint>
#include <ctime>

// DOS date and time stamps (local time, two-second steps).
// False when the stamp names no real moment (month 0, 30 February, hour 25, ...).
bool ZADosToTime(std::uint16_t date, std::uint16_t time, std::time_t& out);
// date * 65536 + time for a moment in local time (0 for one outside 1980 to 2107).
std::uint32_t ZATimeToDos(std::time_t moment);

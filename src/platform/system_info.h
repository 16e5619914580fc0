#pragma once

#include <ctime>
#include <optional>
#include <string>

// The computer's name as the system gives it (gethostname), or nullopt when it cannot be had.
std::optional<std::string> computerName();

// The offset of local time from UTC at the moment t, in minutes, daylight saving included:
// +60 one hour ahead of UTC, -300 five hours behind. nullopt when the C library cannot tell.
std::optional<int> utcOffsetMinutes(std::time_t t);

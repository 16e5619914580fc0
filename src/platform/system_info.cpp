#include "platform/system_info.h"

#include <unistd.h>

#include <climits>
#include <cstring>

std::optional<std::string> computerName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0)
        return std::nullopt;
    buf[sizeof buf - 1] = '\0';
    if (buf[0] == '\0')
        return std::nullopt;
    return std::string(buf);
}

std::optional<int> utcOffsetMinutes(std::time_t t) {
    std::tm local{};
    if (!localtime_r(&t, &local))
        return std::nullopt;
    return static_cast<int>(local.tm_gmtoff / 60);
}

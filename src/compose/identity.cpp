#include "compose/identity.h"

#include "platform/system_info.h"

#include <sys/time.h>

#include <cctype>
#include <cstdio>
#include <ctime>
#include <tuple>

namespace {
std::uint32_t g_seed = 0;

// The moment of the last Message-ID handed out: (days, seconds, milliseconds).
bool g_haveLastId = false;
std::tuple<std::int64_t, std::int64_t, std::int64_t> g_lastId;
}  // namespace

std::int32_t RandomBelow(std::int32_t n) {
    if (n < 1)
        n = 1;
    g_seed = g_seed * 134775813u + 1u;
    return static_cast<std::int32_t>((static_cast<std::uint64_t>(n) * g_seed) >> 32);
}

std::uint32_t RandomSeed() {
    return g_seed;
}

void ResetComposeRunState() {
    g_seed = 0;
    g_haveLastId = false;
    g_lastId = {};
}

std::string NewBoundary() {
    std::string b = "------------";
    const int count = RandomBelow(8) + 12;
    for (int i = 0; i < count; ++i)
        b += "0123456789ABCDE"[RandomBelow(15)];
    return b;
}

TMIME::TMIME() : Boundary(NewBoundary()) {
    ContentType = "multipart/mixed; boundary=\"" + Boundary + "\"";
}

LocalMoment SystemLocalMoment() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &local);
    LocalMoment m;
    m.year = local.tm_year + 1900;
    m.month = local.tm_mon + 1;
    m.day = local.tm_mday;
    m.hour = local.tm_hour;
    m.minute = local.tm_min;
    m.second = local.tm_sec > 59 ? 59 : local.tm_sec;
    m.millisecond = static_cast<int>(tv.tv_usec / 1000);
    m.utcOffsetMinutes = utcOffsetMinutes(secs);
    return m;
}

std::string MonthName(const LocalMoment& t) {
    static const char* const names[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int m = t.month < 1 ? 1 : (t.month > 12 ? 12 : t.month);
    return names[m - 1];
}

std::string TimeZoneSuffix(const LocalMoment& t) {
    if (!t.utcOffsetMinutes)
        return {};
    // The bias is what is added to local time to get UTC: the negated offset.
    const int total = -*t.utcOffsetMinutes;
    const int a = total < 0 ? -total : total;
    char buf[32];
    std::snprintf(buf, sizeof buf, " %c%2.2d%2.2d", total <= 0 ? '+' : '-', a / 60, a % 60);
    return buf;
}

std::string DateValue(const LocalMoment& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d %s %02d %02d:%02d:%02d", t.day % 100, MonthName(t).c_str(),
                  ((t.year % 100) + 100) % 100, t.hour, t.minute, t.second);
    return buf + TimeZoneSuffix(t);
}

std::int64_t DaysSince18991230(const LocalMoment& t) {
    // Days from 1970-01-01 of a civil date (proleptic Gregorian), after H. Hinnant.
    auto daysFromCivil = [](std::int64_t y, unsigned m, unsigned d) {
        y -= m <= 2;
        const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
    };
    return daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day)) -
           daysFromCivil(1899, 12, 30);
}

std::string MessageIdLocalPart(const LocalMoment& t) {
    std::tuple<std::int64_t, std::int64_t, std::int64_t> id{
        DaysSince18991230(t), t.hour * 3600 + t.minute * 60 + t.second, t.millisecond};
    if (g_haveLastId && id <= g_lastId) {
        id = g_lastId;
        ++std::get<2>(id);
    }
    g_lastId = id;
    g_haveLastId = true;
    char buf[80];
    std::snprintf(buf, sizeof buf, "%llx.%llx.%llx",
                  static_cast<unsigned long long>(std::get<0>(id)),
                  static_cast<unsigned long long>(std::get<1>(id)),
                  static_cast<unsigned long long>(std::get<2>(id)));
    return buf;
}

std::string MessageIdHostPart(const std::string& hostName) {
    if (hostName.empty())
        return "lunet";
    std::string out = hostName;
    for (char& c : out) {
        const unsigned char u = static_cast<unsigned char>(c);
        // The dot-atom characters of a Message-ID's right side.
        const bool ok =
            std::isalnum(u) != 0 ||
            (u < 128 && std::string_view(".!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos);
        if (!ok || u >= 128)
            c = '_';
    }
    return out;
}

std::string NewMessageId(const ComposeEnvironment& env) {
    const LocalMoment now = env.now ? env.now() : SystemLocalMoment();
    std::string id = "<";
    id += MessageIdLocalPart(now);
    id += '@';
    id += MessageIdHostPart(env.hostName);
    id += '>';
    return id;
}

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The values that identify an article and that nobody types: Date, Message-ID and the MIME
// boundary, plus the program's pseudo-random generator that the boundary and the random header
// picks share.

// ---- Pseudo-random draws --------------------------------------------------------------------
// One seed for the whole program, 0 when the program starts and never reseeded, so a run's
// draws depend only on the order of the calls.

// An integer in 0..n-1 (n at least 1; a smaller n is taken as 1); advances the seed.
std::int32_t RandomBelow(std::int32_t n);
std::uint32_t RandomSeed();

// Puts the seed back to 0 and forgets the last Message-ID moment, as at program start. Only
// tests (and a command that wants a fresh run's values) call it.
void ResetComposeRunState();

// ---- The MIME record of one run ---------------------------------------------------------------
// Made once per run, before any random pick, so every MIME article of a run shares one boundary
// and the boundary is the run's first draw.
struct TMIME {
    TMIME();
    std::string MimeVersion = "1.0";
    std::string Boundary;
    std::string ContentType;  // multipart/mixed; boundary="..."
};

// "------------" followed by 12 to 19 upper-case hexadecimal digits 0..E.
std::string NewBoundary();

// ---- Local time as the clock gives it ------------------------------------------------------
struct LocalMoment {
    int year = 1899;
    int month = 12;  // 1..12
    int day = 30;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    // Local time minus UTC in minutes (+60 one hour ahead of UTC); nullopt when unknown.
    std::optional<int> utcOffsetMinutes;
};

// The real clock and time zone.
LocalMoment SystemLocalMoment();

// What identity values depend on besides the seed: the clock and the host name in force.
// The program uses the real clock and the advanced settings' host name; tests fix both.
struct ComposeEnvironment {
    std::function<LocalMoment()> now = SystemLocalMoment;
    std::string hostName = "lunet";
};

// "Jan".."Dec".
std::string MonthName(const LocalMoment& t);
// " +0100", " -0500", " +0000", or "" when the offset is unknown.
std::string TimeZoneSuffix(const LocalMoment& t);
// "05 Dec 26 12:04:44 +0100": no weekday, two-digit year.
std::string DateValue(const LocalMoment& t);

// Whole days from 30 December 1899 to the moment's date (negative before it).
std::int64_t DaysSince18991230(const LocalMoment& t);

// "%x.%x.%x" of days, seconds of the day and milliseconds. Two calls of one run never give
// the same text: a moment not later than the last one used takes the last one's milliseconds
// plus one, so parts sent within one millisecond still get distinct IDs.
std::string MessageIdLocalPart(const LocalMoment& t);
// Only characters that may stand in a Message-ID are kept; the others become "_". An empty
// name gives "lunet".
std::string MessageIdHostPart(const std::string& hostName);
// "<local@host>" for the environment's clock and host name.
std::string NewMessageId(const ComposeEnvironment& env);

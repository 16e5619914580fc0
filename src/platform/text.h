#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Text as files from either platform hold it: UTF-8 passes unchanged; anything that is not
// valid UTF-8 is taken as Windows-1252 (what the Windows program wrote) and turned into UTF-8.
// A leading UTF-8 byte order mark is dropped.
std::string decodeText(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);
std::string windows1252ToUtf8(std::string_view bytes);
// Appends one code point (up to U+10FFFF) in UTF-8.
void appendUtf8(std::string& out, std::uint32_t cp);
// UTF-16LE as registry exports hold it. Unpaired surrogates and a dangling odd byte become
// U+FFFD rather than an error.
std::string utf16leToUtf8(std::string_view bytes);
// The input must be valid UTF-8.
std::string utf8ToUtf16le(std::string_view utf8);

// A line list kept in one text value: every line followed by CR LF.
std::string joinLines(const std::vector<std::string>& lines);
// Splits at CR LF, CR or LF; a final line break adds no empty line; "" gives no lines.
std::vector<std::string> splitLines(std::string_view text);

// The largest text file the program loads into a field or list: a message, signature or list
// file bigger than this is refused rather than read into memory whole.
inline constexpr std::uintmax_t kMaxTextFileBytes = 256u << 20;

// Reads a text file as the user's files hold it: decodeText's rule for the characters and
// splitLines's for the line ends, so no line keeps a CR whatever system wrote it. Only regular
// files up to kMaxTextFileBytes are read. On failure returns false, leaves lines empty and sets
// error (when given) to a sentence naming the file and the reason.
bool readTextFileLines(const std::filesystem::path& file, std::vector<std::string>& lines,
                       std::string* error = nullptr);

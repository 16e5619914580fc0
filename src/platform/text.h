#pragma once

#include <string>
#include <string_view>
#include <vector>

// Text as files from either platform hold it: UTF-8 passes unchanged; anything that is not
// valid UTF-8 is taken as Windows-1252 (what the Windows program wrote) and turned into UTF-8.
// A leading UTF-8 byte order mark is dropped.
std::string decodeText(std::string_view bytes);
bool isValidUtf8(std::string_view bytes);
std::string windows1252ToUtf8(std::string_view bytes);

// A line list kept in one text value: every line followed by CR LF.
std::string joinLines(const std::vector<std::string>& lines);
// Splits at CR LF, CR or LF; a final line break adds no empty line; "" gives no lines.
std::vector<std::string> splitLines(std::string_view text);

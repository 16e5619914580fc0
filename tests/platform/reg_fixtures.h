#pragma once

#include "platform/reg_format.h"

#include <string>
#include <string_view>

// Fixture text names the program's key "ROOT": "[ROOT\\Servers]" stands for
// "[HKEY_CURRENT_USER\\Software\\Pellido Software\\Kavrin/32\\Servers]".
inline std::string withRoot(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.substr(i, 4) == "ROOT") {
            out += kRegistryRoot;
            i += 4;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// ASCII text as UTF-16LE bytes, as regedit writes its version 5 exports.
inline std::string utf16le(std::string_view ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

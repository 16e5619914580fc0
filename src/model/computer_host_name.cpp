#include "model/advanced_storage.h"

#include "platform/system_info.h"

std::string GetComputerHostName(const std::optional<std::string>& computerName) {
    if (!computerName || computerName->empty())
        return "lunet";
    // The name as a 64-character buffer would hold it, and only its own characters.
    std::string out = computerName->substr(0, 64);
    for (char& c : out) {
        if (c == ' ')
            c = '_';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    }
    return out;
}

std::string GetComputerHostName() {
    return GetComputerHostName(computerName());
}

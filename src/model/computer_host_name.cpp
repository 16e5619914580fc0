#include "model/advanced_storage.h"

#include "platform/system_info.h"

std::string GetComputerHostName(const std::optional<std::string>& computerName) {
    // The name is asked for with room for 64 characters; a longer one is no name at all, as
    // the system call then fails, rather than a cut one.
    if (!computerName || computerName->empty() || computerName->size() > 64)
        return "lunet";
    std::string out = *computerName;
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

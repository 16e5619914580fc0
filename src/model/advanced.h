#pragma once

#include <string>

// Program-wide settings: the progress log file, the host name used in Message-IDs, and whether
// a posting of attached files leaves an NZB file of what the server accepted.
struct TAdvanced {
    bool SaveLogFile = false;
    bool UseProjectNameAsLogFile = true;
    std::string LogFile = "LunetLog.txt";
    bool UseComputerNameAsHostName = true;
    std::string HostName;
    bool SaveNzbFile = false;  // "Save NZB File"
};

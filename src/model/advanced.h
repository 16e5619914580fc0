#pragma once

#include <string>

// Program-wide settings: the progress log file and the host name used in Message-IDs.
struct TAdvanced {
    bool SaveLogFile = false;
    bool UseProjectNameAsLogFile = true;
    std::string LogFile = "LunetLog.txt";
    bool UseComputerNameAsHostName = true;
    std::string HostName;
};

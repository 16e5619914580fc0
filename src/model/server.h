#pragma once

#include <cstdint>
#include <string>

// A news server. Only the host name and port travel with a project; the rest lives in the
// server's own key of the settings store.
struct TServer {
    std::string HostName;
    std::int32_t Port = 0;
    std::int32_t NumberOfNewsgroups = 0;
    double LastUpdated = 0.0;  // days since 30 December 1899, local time
    std::string UserName;
    std::string Password;  // clear text in memory only
    // How the connection is secured: 0 none, 1 TLS on connect, 2 STARTTLS.
    std::int32_t Security = 0;
    // A PEM file of certificate authorities trusted for this server besides the system's (a
    // private server's own authority); empty for none.
    std::string CaFile;
};

// Values of TServer::Security.
inline constexpr std::int32_t kSecurityNone = 0;
inline constexpr std::int32_t kSecurityTlsOnConnect = 1;
inline constexpr std::int32_t kSecurityStartTls = 2;

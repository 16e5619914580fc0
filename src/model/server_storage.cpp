#include "model/server_storage.h"

#include "model/stored_values.h"
#include "platform/text.h"

#include <cmath>

namespace {

constexpr std::uint16_t kMultiplier = 0xE726;
constexpr std::uint16_t kAddend = 0xD7AC;

std::uint16_t nextKey(std::uint16_t key, unsigned char scrambled) {
    // In unsigned 32-bit arithmetic: the product of the promoted 16-bit values overflows int,
    // and only its low 16 bits are kept anyway.
    return static_cast<std::uint16_t>((std::uint32_t{key} + scrambled) * kMultiplier + kAddend);
}

// Days since 30 December 1899 from 1 January 0001 to the end of 9999: anything outside is no
// date, and would overflow the date arithmetic of the callers.
constexpr double kFirstDay = -693593.0;
constexpr double kPastLastDay = 2958466.0;

constexpr std::string_view kServers = "Servers";

}  // namespace

std::string EncryptPassword(std::string_view password, std::uint16_t startKey) {
    if (password.empty())
        return {};
    std::string out;
    out.reserve(password.size() + 1);
    // The leading byte carries nothing; readers skip it.
    out += '\0';
    std::uint16_t key = startKey;
    for (char c : password) {
        auto b = static_cast<unsigned char>(static_cast<unsigned char>(c) ^ (key >> 8));
        out += static_cast<char>(b);
        key = nextKey(key, b);
    }
    return out;
}

std::string DecryptPassword(std::string_view stored, std::uint16_t startKey) {
    std::string out;
    if (stored.size() <= 1)
        return out;
    out.reserve(stored.size() - 1);
    std::uint16_t key = startKey;
    for (std::size_t i = 1; i < stored.size(); ++i) {
        auto b = static_cast<unsigned char>(stored[i]);
        out += static_cast<char>(b ^ (key >> 8));
        key = nextKey(key, b);
    }
    return out;
}

std::string serverKeyPath(std::string_view hostName) {
    // A "\" would address a key below another one, never the server's own.
    if (hostName.find('\\') != std::string_view::npos)
        throw SettingsError("a host name cannot hold \"\\\"");
    return settingsPath(kServers, hostName);
}

bool isRefusedHostNameByte(unsigned char c) {
    return c <= 32 || c == 127 || c == '/' || c == '\\';
}

bool isValidHostName(std::string_view host) {
    if (host.empty() || host.find("..") != std::string_view::npos)
        return false;
    for (char c : host)
        if (isRefusedHostNameByte(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::vector<std::string> serverNames(SettingsStore& store) {
    return store.subkeyNames(kServers);
}

std::string GetServerNames(SettingsStore& store) {
    return joinLines(serverNames(store));
}

bool LoadServer(TServer& server, SettingsStore& store, UserPrompts& prompts) {
    if (server.HostName.empty())
        return true;
    try {
        const std::string key = serverKeyPath(server.HostName);
        // No key means no server: report it, and leave no empty key behind as a trace.
        if (!store.keyExists(key))
            throw SettingsError("no such server");
        server.Port = store.readInteger(key, "Port Number");
        server.NumberOfNewsgroups = store.readInteger(key, "Number of Newsgroups");
        if (auto bytes = readFixedBinary(store, key, "Last Updated", 8)) {
            double when = doubleFromBytes(*bytes);
            if (!std::isfinite(when) || when < kFirstDay || when >= kPastLastDay)
                throw SettingsError("\"Last Updated\" is no date");
            server.LastUpdated = when;
        }
        server.UserName = store.readString(key, "User Name");
        auto stored = store.readBinary(key, "Password", kMaxPasswordBytes + 2);
        server.Password = DecryptPassword(stored.value_or(std::string()));
        std::int32_t security = 0;
        if (store.value(key, "Security"))
            security = store.readInteger(key, "Security");
        if (security < kSecurityNone || security > kSecurityStartTls)
            throw SettingsError("unknown \"Security\"");
        // The two go together: a failure leaves neither half-taken.
        std::string caFile = store.readString(key, "CA File");
        server.Security = security;
        server.CaFile = std::move(caFile);
    } catch (const std::exception&) {
        prompts.error("Unable to load server from registry");
        return false;
    }
    return true;
}

bool SaveServer(const TServer& server, SettingsStore& store, UserPrompts& prompts) {
    if (server.HostName.empty())
        return true;
    if (!isValidHostName(server.HostName)) {
        prompts.error(kInvalidHostNameMessage);
        return false;
    }
    if (server.Password.size() > kMaxPasswordBytes) {
        prompts.error(kPasswordTooLongMessage);
        return false;
    }
    const std::string stored = EncryptPassword(server.Password);
    std::string key;
    try {
        key = serverKeyPath(server.HostName);
        SettingsUpdate update(store);
        store.writeInteger(key, "Port Number", server.Port);
        store.writeInteger(key, "Number of Newsgroups", server.NumberOfNewsgroups);
        store.writeBinary(key, "Last Updated", bytesFromDouble(server.LastUpdated));
        store.writeString(key, "User Name", server.UserName);
        store.writeBinary(key, "Password", stored);
        store.writeInteger(key, "Security", server.Security);
        store.writeString(key, "CA File", server.CaFile);
        update.commit();
    } catch (const std::exception&) {
        prompts.error("Unable to save news server to registry");
        return false;
    }
    // What the store hands back is what the next start will see.
    bool same = false;
    try {
        auto back = store.readBinary(key, "Password", kMaxPasswordBytes + 2);
        same = DecryptPassword(back.value_or(std::string())) == server.Password;
    } catch (const std::exception&) {
    }
    if (!same)
        prompts.error("Error saving encrypted password!");
    return true;
}

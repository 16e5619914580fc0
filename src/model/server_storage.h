#pragma once

#include "model/server.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Server records live in "Servers\<host name>", one key per server; the list of servers is the
// set of those keys. Passwords are stored scrambled (EncryptPassword).

// The start key of the password scrambler.
inline constexpr std::uint16_t kPasswordStartKey = 0x942E;
// The longest password, in bytes (UTF-8), that the stored form holds.
inline constexpr std::size_t kMaxPasswordBytes = 126;

// The stored form of a password: empty for an empty password, else one leading byte that
// carries nothing followed by one scrambled byte per password byte. Any length is scrambled;
// the store takes at most kMaxPasswordBytes (SaveServer refuses longer ones).
std::string EncryptPassword(std::string_view password, std::uint16_t startKey = kPasswordStartKey);
// The password of a stored form; 0 or 1 stored bytes give the empty password.
std::string DecryptPassword(std::string_view stored, std::uint16_t startKey = kPasswordStartKey);

// The names of the stored servers in list-text form (each followed by CR LF), in the store's
// order. Creates nothing.
std::string GetServerNames(SettingsStore& store);
// The same names as a list.
std::vector<std::string> serverNames(SettingsStore& store);

// Fills port, number of newsgroups, last updated, user name, password, security and the trusted
// certificate file ("CA File") from the key named by server.HostName. Any failure (no such key,
// a missing "Port Number" or "Number of Newsgroups", a value of the wrong type or size, a date
// that is no date) shows "Unable to load server from registry" and returns false; fields read
// before it keep their new values. Creates nothing. An empty host name does nothing and returns
// true.
bool LoadServer(TServer& server, SettingsStore& store, UserPrompts& prompts);

// Writes the record in one write of the store, creating its key. A host name that
// isValidHostName refuses, or a password longer than kMaxPasswordBytes, is refused before
// anything is written: an error box says so and the result is false. A failed write shows "Unable
// to save news server to registry"; a password that does not read back equal shows "Error saving
// encrypted password!". An empty host name does nothing and returns true.
bool SaveServer(const TServer& server, SettingsStore& store, UserPrompts& prompts);

// The error text shown when a host name cannot be saved as a server.
inline constexpr std::string_view kInvalidHostNameMessage =
    "A news server's host name cannot be empty or contain blanks, control characters, \"/\", "
    "\"\\\" or \"..\".";

// The error text shown when a password is too long to be stored.
inline constexpr std::string_view kPasswordTooLongMessage =
    "The password is too long to be saved: at most 126 characters (bytes of UTF-8) can be "
    "stored.";

// Host names that may be saved as a server: not empty, and nothing that could make the server's
// newsgroup list file land outside the data folder or be hard to handle there ("/", "\", "..",
// blanks, control characters).
bool isValidHostName(std::string_view host);
// True for a byte that isValidHostName refuses anywhere in a name.
bool isRefusedHostNameByte(unsigned char c);

// Settings-store key path of a server: "Servers\<hostName>".
std::string serverKeyPath(std::string_view hostName);

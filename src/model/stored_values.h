#pragma once

#include "platform/settings_store.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Fixed-size binary values of the settings store, shared by the model's storage code.

// A binary value that must have exactly `size` bytes. Missing: nullopt. Another type or another
// length: SettingsError, so a short value never fills part of a field.
inline std::optional<std::string> readFixedBinary(SettingsStore& store, std::string_view key,
                                                  std::string_view name, std::size_t size) {
    auto v = store.readBinary(key, name, size);
    if (v && v->size() != size)
        throw SettingsError("value \"" + std::string(name) + "\" has the wrong size");
    return v;
}

// Flags are one byte, 0 or 1 when written; any non-zero byte reads as true.
inline void readFlag(SettingsStore& store, std::string_view key, std::string_view name,
                     bool& field) {
    if (auto v = readFixedBinary(store, key, name, 1))
        field = (*v)[0] != 0;
}

inline void writeFlag(SettingsStore& store, std::string_view key, std::string_view name,
                      bool flag) {
    store.writeBinary(key, name, flag ? std::string_view("\x01", 1) : std::string_view("\0", 1));
}

inline std::uint64_t fromLittleEndian(std::string_view bytes) {
    std::uint64_t v = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(bytes[i]);
    return v;
}

inline std::string toLittleEndian(std::uint64_t v, std::size_t size) {
    std::string out(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

// Counts are 4-byte little-endian signed integers, clamped to [low, high] when read.
inline void readCount(SettingsStore& store, std::string_view key, std::string_view name,
                      std::int32_t& field, std::int32_t low, std::int32_t high) {
    if (auto v = readFixedBinary(store, key, name, 4))
        field = std::clamp(
            static_cast<std::int32_t>(static_cast<std::uint32_t>(fromLittleEndian(*v))), low, high);
}

inline void writeCount(SettingsStore& store, std::string_view key, std::string_view name,
                       std::int32_t count) {
    store.writeBinary(key, name, toLittleEndian(static_cast<std::uint32_t>(count), 4));
}

inline double doubleFromBytes(std::string_view eightBytes) {
    return std::bit_cast<double>(fromLittleEndian(eightBytes));
}

inline std::string bytesFromDouble(double v) {
    return toLittleEndian(std::bit_cast<std::uint64_t>(v), 8);
}

#include "platform/settings_store.h"

#include <algorithm>
#include <cstring>

RegValue RegValue::dword(std::uint32_t v) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return {RegType::DWord, std::move(bytes)};
}

std::string SettingsStore::readString(std::string_view path, std::string_view name) {
    auto v = value(path, name);
    if (!v)
        return {};
    if (v->type != RegType::String && v->type != RegType::ExpandString)
        throw SettingsError("value \"" + std::string(name) + "\" is not a string");
    // A REG_SZ ends at its first NUL, as the registry's readers see it.
    auto nul = v->data.find('\0');
    if (nul != std::string::npos)
        v->data.resize(nul);
    return std::move(v->data);
}

std::int32_t SettingsStore::readInteger(std::string_view path, std::string_view name) {
    auto v = value(path, name);
    if (!v)
        throw SettingsError("value \"" + std::string(name) + "\" is missing");
    if (v->type != RegType::DWord || v->data.size() != 4)
        throw SettingsError("value \"" + std::string(name) + "\" is not an integer");
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= std::uint32_t(static_cast<unsigned char>(v->data[i])) << (8 * i);
    return static_cast<std::int32_t>(u);
}

std::optional<std::string> SettingsStore::readBinary(std::string_view path, std::string_view name,
                                                     std::size_t maxBytes) {
    auto v = value(path, name);
    if (!v)
        return std::nullopt;
    if (v->type != RegType::Binary)
        throw SettingsError("value \"" + std::string(name) + "\" is not binary");
    if (v->data.size() > maxBytes)
        throw SettingsError("value \"" + std::string(name) + "\" is too long");
    return std::move(v->data);
}

void SettingsStore::writeString(std::string_view path, std::string_view name,
                                std::string_view text) {
    setValue(path, name, RegValue::string(std::string(text)));
}

void SettingsStore::writeInteger(std::string_view path, std::string_view name, std::int32_t v) {
    setValue(path, name, RegValue::dword(static_cast<std::uint32_t>(v)));
}

void SettingsStore::writeBinary(std::string_view path, std::string_view name,
                                std::string_view bytes) {
    setValue(path, name, RegValue::binary(std::string(bytes)));
}

void SettingsUpdate::commit() {
    if (m_done)
        return;
    m_done = true;
    m_store.endUpdate();
}

SettingsUpdate::~SettingsUpdate() {
    if (m_done)
        return;
    try {
        m_store.endUpdate();
    } catch (const SettingsError&) {
        // Unwinding already; the caller that wanted to know called commit().
    }
}

std::string settingsPath(std::string_view a, std::string_view b) {
    if (a.empty())
        return std::string(b);
    if (b.empty())
        return std::string(a);
    std::string r(a);
    r += '\\';
    r += b;
    return r;
}

namespace {
unsigned char foldName(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + 32) : u;
}
}  // namespace

bool namesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldName(a[i]) != foldName(b[i]))
            return false;
    return true;
}

bool NamesLess::operator()(std::string_view a, std::string_view b) const {
    // A name is most often looked up as it was written, and a path lookup compares every part
    // with its key's name: identical bytes are settled by one memcmp.
    if (a == b)
        return false;
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = foldName(a[i]), y = foldName(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

#include "platform/profile_file.h"

// Placeholder until the profile file lands.
ProfileFile::ProfileFile(std::filesystem::path path) : m_path(std::move(path)) {}
bool ProfileFile::hasKey(std::string_view, std::string_view) const {
    return false;
}
std::string ProfileFile::readString(std::string_view, std::string_view,
                                    std::string_view fallback) const {
    return std::string(fallback);
}
std::int32_t ProfileFile::readInteger(std::string_view, std::string_view,
                                      std::int32_t fallback) const {
    return fallback;
}
std::vector<std::string> ProfileFile::sectionEntries(std::string_view) const {
    return {};
}
void ProfileFile::writeString(std::string_view, std::string_view, std::string_view) {}
void ProfileFile::eraseSection(std::string_view) {}
void ProfileFile::save() const {}

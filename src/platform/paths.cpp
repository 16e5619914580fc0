#include "platform/paths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <system_error>

namespace {
std::filesystem::path fromEnv(const char* own, const char* xdg, const char* homeRelative) {
    if (const char* v = std::getenv(own); v && *v)
        return std::filesystem::path(v);
    if (const char* v = std::getenv(xdg); v && *v)
        return std::filesystem::path(v) / "kavrin32";
    const char* home = std::getenv("HOME");
    std::filesystem::path base = (home && *home) ? std::filesystem::path(home) : "/tmp";
    return base / homeRelative / "kavrin32";
}
}  // namespace

std::filesystem::path configDir() {
    static const std::filesystem::path dir =
        fromEnv("KAVRIN32_CONFIG_DIR", "XDG_CONFIG_HOME", ".config");
    return dir;
}

std::filesystem::path dataDir() {
    static const std::filesystem::path dir =
        fromEnv("KAVRIN32_DATA_DIR", "XDG_DATA_HOME", ".local/share");
    return dir;
}

bool ensureDir(const std::filesystem::path& dir) {
    std::error_code ec;
    if (std::filesystem::is_directory(dir, ec))
        return true;
    std::filesystem::create_directories(dir, ec);
    if (ec)
        return false;
    ::chmod(dir.c_str(), 0700);
    return std::filesystem::is_directory(dir, ec);
}

#include "platform/profile_file.h"

#include "platform/regular_file.h"
#include "platform/settings_store.h"
#include "platform/text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <stdexcept>
#include <utility>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string fold(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return r;
}

// The section name of a header line "[name]", or nullopt for any other line.
std::optional<std::string_view> headerName(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    t.remove_prefix(1);
    auto close = t.find(']');
    if (close != std::string_view::npos)
        t = t.substr(0, close);
    return trim(t);
}

struct Entry {
    std::string_view key;    // trimmed
    std::string_view value;  // as it stands after "="
};

std::optional<Entry> parseEntry(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';')
        return std::nullopt;
    auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return Entry{trim(line.substr(0, eq)), line.substr(eq + 1)};
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& path, int err) {
    throw std::runtime_error(what + " " + path.string() + ": " + std::strerror(err));
}

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path path) : m_path(std::move(path)) {
    m_sections.emplace_back();  // lines before the first header
    WholeFile file = readRegularFile(m_path, kMaxBytes);
    if (file.problem != FileProblem::None && file.problem != FileProblem::Missing)
        throw std::runtime_error("the profile file " + m_path.string() + " " +
                                 describeFileProblem(file.problem, file.error, kMaxBytes));
    const std::string& bytes = file.bytes;
    // Windows reads profile files saved as "Unicode" (UTF-16LE with its byte order mark) too.
    std::string text = bytes.starts_with("\xFF\xFE")
                           ? utf16leToUtf8(std::string_view(bytes).substr(2))
                           : decodeText(bytes);
    for (std::string& line : splitLines(text)) {
        if (auto name = headerName(line)) {
            Section s;
            s.hasHeader = true;
            s.name = std::string(*name);
            s.header = std::move(line);
            m_sections.push_back(std::move(s));
            continue;
        }
        Section& s = m_sections.back();
        if (auto e = parseEntry(line))
            s.keys.try_emplace(fold(e->key), s.lines.size());
        s.lines.push_back(std::move(line));
    }
}

const ProfileFile::Section* ProfileFile::findSection(std::string_view name) const {
    for (const Section& s : m_sections)
        if (s.hasHeader && namesEqual(s.name, name))
            return &s;
    return nullptr;
}

ProfileFile::Section* ProfileFile::findSection(std::string_view name) {
    return const_cast<Section*>(std::as_const(*this).findSection(name));
}

const std::string* ProfileFile::findValueLine(std::string_view section,
                                              std::string_view key) const {
    const Section* s = findSection(section);
    if (!s)
        return nullptr;
    auto it = s->keys.find(fold(trim(key)));
    return it == s->keys.end() ? nullptr : &s->lines[it->second];
}

bool ProfileFile::hasKey(std::string_view section, std::string_view key) const {
    return findValueLine(section, key) != nullptr;
}

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view fallback) const {
    const std::string* line = findValueLine(section, key);
    if (!line)
        return std::string(fallback);
    return std::string(trim(parseEntry(*line)->value));
}

std::int32_t ProfileFile::readInteger(std::string_view section, std::string_view key,
                                      std::int32_t fallback) const {
    const std::string* line = findValueLine(section, key);
    if (!line)
        return fallback;
    std::string_view t = trim(parseEntry(*line)->value);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    bool hex = t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    if (hex)
        t.remove_prefix(2);
    if (t.empty())
        return fallback;
    const std::uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t v = 0;
    for (char c : t) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return fallback;
        v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
        if (v > limit)
            return fallback;
    }
    // Hexadecimal values are the 32 bits as written ("0xFFFFFFFF" is -1).
    auto bits = static_cast<std::uint32_t>(v);
    if (negative)
        bits = 0u - bits;
    return static_cast<std::int32_t>(bits);
}

std::vector<std::string> ProfileFile::sectionEntries(std::string_view section) const {
    std::vector<std::string> out;
    const Section* s = findSection(section);
    if (!s)
        return out;
    for (const std::string& line : s->lines)
        if (auto e = parseEntry(line)) {
            std::string entry(e->key);
            entry += '=';
            entry += e->value;
            out.push_back(std::move(entry));
        }
    return out;
}

void ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value))
        throw std::invalid_argument("a profile entry cannot hold a line break");
    Section* s = findSection(section);
    if (!s) {
        Section fresh;
        fresh.hasHeader = true;
        fresh.name = std::string(trim(section));
        fresh.header = "[" + fresh.name + "]";
        m_sections.push_back(std::move(fresh));
        s = &m_sections.back();
    }
    std::string folded = fold(trim(key));
    auto it = s->keys.find(folded);
    if (it != s->keys.end()) {
        // Keep the key as first written, as the registry-like stores of the program do.
        std::string& line = s->lines[it->second];
        std::string kept(parseEntry(line)->key);
        line = kept + "=" + std::string(value);
        return;
    }
    // A new key goes after the section's last non-blank line, so a blank line that separates
    // the section from the next one stays where it is.
    std::size_t pos = s->lines.size();
    while (pos > 0 && trim(s->lines[pos - 1]).empty())
        --pos;
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(pos),
                    std::string(trim(key)) + "=" + std::string(value));
    // Only blank lines moved, and no key points at one: the index stays valid.
    s->keys.emplace(std::move(folded), pos);
}

void ProfileFile::eraseSection(std::string_view section) {
    std::erase_if(m_sections,
                  [&](const Section& s) { return s.hasHeader && namesEqual(s.name, section); });
}

void ProfileFile::save() const {
    std::string out;
    // Reading drops one byte order mark; a text that begins with one (only a line before the
    // first header can, as a header begins with "[") keeps it behind a second, or its first
    // line would read back as something else.
    const std::vector<std::string>& top = m_sections.front().lines;
    if (!top.empty() && top.front().starts_with("\xEF\xBB\xBF"))
        out = "\xEF\xBB\xBF";
    for (const Section& s : m_sections) {
        if (s.hasHeader) {
            out += s.header;
            out += "\r\n";
        }
        for (const std::string& line : s.lines) {
            out += line;
            out += "\r\n";
        }
    }
    writeFileAtomically(m_path, out);
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = path;
    // Replacing a link with a file would cut the user's link; write where it points instead.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path to = fs::read_symlink(target, ec);
        if (!ec)
            target = to.is_absolute() ? to : target.parent_path() / to;
    }
    // Replacing needs only the folder's permission, but a file the user may not write stays
    // as it is, as it would for a program that writes the file in place.
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
        fail("cannot write", target, errno);
    fs::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";

    static std::atomic<unsigned> counter{0};
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "." + string.
    std::string tempName(1, '.');
    tempName += target.filename().string();
    tempName += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fs::path temp = dir / tempName;
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        fail("cannot create", temp, errno);

    auto abandon = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        fail(what, target, err);
    };

    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd, old.st_mode & 07777);

    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon("cannot write", errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0)
        abandon("cannot flush", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail("cannot write", target, err);
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        fail("cannot replace", target, err);
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

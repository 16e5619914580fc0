#include "platform/file_settings_store.h"

#include "platform/paths.h"
#include "platform/regular_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>

namespace {

std::string quotedPath(const std::filesystem::path& p) {
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about "\"" + string.
    std::string quoted(1, '"');
    quoted += p.string();
    quoted += '"';
    return quoted;
}

std::string errnoText(int err) {
    return std::strerror(err);
}

// What identifies one version of the file. The store keeps the version it read open, so its
// inode number cannot be handed to a newer file while we compare against it.
struct FileId {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    static FileId of(const struct stat& st) {
        return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    }
    bool operator==(const FileId& o) const {
        if (exists != o.exists)
            return false;
        return !exists || (dev == o.dev && ino == o.ino && size == o.size &&
                           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec);
    }
};

FileId statFile(const std::filesystem::path& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return {};
    return FileId::of(st);
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// An exclusive lock on "<file>.lock", held by one writer at a time across processes. A
// separate file, because the settings file itself is replaced by every write.
class FileLock {
public:
    explicit FileLock(const std::filesystem::path& file) {
        std::string name = file.string() + ".lock";
        m_fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0) {
            m_error = errno;
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~FileLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return m_fd >= 0; }
    int error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

std::string timestamp() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// Renames without ever replacing an existing file: the moved-aside copy is the user's data.
bool renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without RENAME_NOREPLACE: a hard link never replaces either.
    if (::link(from.c_str(), to.c_str()) != 0)
        return false;
    ::unlink(from.c_str());
    return true;
}

void fsyncDir(const std::filesystem::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

void checkPath(std::string_view path) {
    auto parts = splitSettingsPath(path);
    if (parts.size() > kMaxKeyDepth)
        throw SettingsError("settings keys nested too deep");
    for (const auto& p : parts)
        if (p.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
            throw SettingsError("a settings key name cannot hold a line break");
}

}  // namespace

struct FileSettingsStore::Impl {
    struct Op {
        enum Kind { Set, Delete, Create, DeleteTree } kind;
        std::string path;
        std::string name;
        RegValue value;
    };

    std::filesystem::path file;
    UserPrompts* prompts = nullptr;
    MemorySettingsStore tree;
    bool loaded = false;
    FileId seen;              // the version of the file the tree was read from
    int heldFd = -1;          // that version, kept open (see FileId)
    bool unreadable = false;  // a file we could neither read nor move aside: never replace it
    std::optional<FileId> reported;  // the unreadable version the user was told about
    // Messages wait until the lock is released: a message box left open must not hold up the
    // other running copies.
    std::vector<std::string> pending;
    int depth = 0;
    std::vector<Op> journal;  // the open update's changes, to replay onto a newer file

    ~Impl() {
        if (heldFd >= 0)
            ::close(heldFd);
    }

    void hold(int fd, const FileId& id) {
        if (heldFd >= 0)
            ::close(heldFd);
        heldFd = fd;
        seen = id;
    }

    void apply(const Op& op) {
        switch (op.kind) {
            case Op::Set:
                tree.setValue(op.path, op.name, op.value);
                break;
            case Op::Delete:
                tree.deleteValue(op.path, op.name);
                break;
            case Op::Create:
                tree.createKey(op.path);
                break;
            case Op::DeleteTree:
                tree.deleteKeyTree(op.path);
                break;
        }
    }

    void deliver() {
        std::vector<std::string> texts = std::move(pending);
        pending.clear();
        if (prompts)
            for (const auto& text : texts)
                prompts->error(text);
    }

    // Picks up another process's writes; this update's own changes stay on top.
    void refresh(bool locked = false) {
        if (loaded && statFile(file) == seen)
            return;
        readDisk(locked);
        for (const Op& op : journal)
            apply(op);
        loaded = true;
        if (!locked)
            deliver();
    }

    // Replaces the tree with the file's content.
    void readDisk(bool locked) {
        unreadable = false;
        for (int attempt = 0;; ++attempt) {
            tree.replaceRoot(std::make_unique<MemorySettingsStore::Key>());
            const RegularFile f = openRegularFile(file);
            if (f.problem == FileProblem::Missing) {
                hold(-1, {});
                return;
            }
            if (f.problem != FileProblem::None) {
                // A folder, a FIFO or a link to a device would hang or flood every command;
                // it is left as it stands, like any file that cannot be read.
                const FileId id = statFile(file);
                hold(-1, id);
                reportUnreadable(f.problem == FileProblem::NotRegular
                                     ? "is not a regular file"
                                     : "cannot be opened: " + errnoText(f.error),
                                 id);
                return;
            }
            std::string bytes;
            int err = 0;
            // A file over the limit is not even read: junk of that size would only fill the
            // memory. One that grows past it while read (or claims a size it does not have)
            // is stopped there.
            const FileProblem read = f.info.st_size > off_t(kMaxRegFileBytes)
                                         ? FileProblem::TooLarge
                                         : readToEnd(f.fd, kMaxRegFileBytes, bytes, err);
            const FileId id = FileId::of(f.info);
            hold(f.fd, id);
            if (read == FileProblem::Failed) {
                reportUnreadable("cannot be read: " + errnoText(err), id);
                return;
            }
            if (read == FileProblem::TooLarge) {
                if (moveAside(RegParseError(1, "the file is too large to be a registry file"), id,
                              locked) ||
                    attempt >= 2)
                    return;
                continue;
            }
            if (bytes.empty())
                return;
            try {
                tree.replaceRoot(buildTree(parseRegFile(bytes)));
                return;
            } catch (const RegParseError& e) {
                if (moveAside(e, id, locked) || attempt >= 2)
                    return;
                // Another copy replaced the file meanwhile: read that one.
            }
        }
    }

    void reportUnreadable(const std::string& why, const FileId& id) {
        unreadable = true;
        if (reported && *reported == id)
            return;
        reported = id;
        pending.push_back("The settings file " + quotedPath(file) + " " + why +
                          ". The program goes on with empty settings and will not replace it.");
    }

    // Puts a file that cannot be parsed out of the way, so the next write cannot destroy it.
    // Returns false when the file had already been replaced by another copy of the program.
    bool moveAside(const RegParseError& e, const FileId& bad, bool locked) {
        std::optional<FileLock> lock;
        if (!locked)
            lock.emplace(file);
        if (statFile(file) != bad)
            return false;
        std::string why = "line " + std::to_string(e.line()) + ": " + e.what();
        std::string base = file.string() + ".bad-" + timestamp();
        for (int n = 1; n < 100; ++n) {
            std::filesystem::path aside = n == 1 ? base : base + "-" + std::to_string(n);
            if (renameNoReplace(file, aside)) {
                fsyncDir(file.parent_path());
                hold(-1, {});
                pending.push_back("The settings file " + quotedPath(file) + " cannot be read (" +
                                  why + "). It was moved to " + quotedPath(aside) +
                                  " and the program goes on with empty settings.");
                return true;
            }
            if (errno != EEXIST)
                break;
        }
        const int err = errno;
        reportUnreadable(
            "cannot be read (" + why + ") and could not be moved aside (" + errnoText(err) + ")",
            bad);
        return true;
    }

    // Where a write lands: a settings file that is a symbolic link (a dotfile kept elsewhere)
    // stays one, and its target is replaced.
    std::filesystem::path writeTarget() const {
        std::error_code ec;
        if (std::filesystem::is_symlink(file, ec)) {
            auto target = std::filesystem::weakly_canonical(file, ec);
            if (!ec)
                return target;
        }
        return file;
    }

    static void removeStaleTemporaries(const std::filesystem::path& target) {
        std::filesystem::path dir = target.parent_path();
        std::string prefix = target.filename().string() + ".tmp-";
        DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
        if (!d)
            return;
        while (dirent* ent = ::readdir(d))
            if (std::string_view(ent->d_name).starts_with(prefix))
                ::unlink((dir / ent->d_name).c_str());
        ::closedir(d);
    }

    // Drops the update and goes back to what the file holds, so no value that failed to land
    // seems stored.
    [[noreturn]] void fail(const std::string& why) {
        journal.clear();
        loaded = false;
        try {
            refresh(true);
        } catch (...) {
        }
        throw SettingsError(why);
    }

    void flush() {
        try {
            flushLocked();
        } catch (...) {
            deliver();
            throw;
        }
        deliver();
    }

    void flushLocked() {
        if (journal.empty())
            return;
        FileLock lock(file);
        if (!lock.held())
            fail("Cannot lock the settings file " + quotedPath(file) + ": " +
                 errnoText(lock.error()));
        refresh(true);
        if (unreadable)
            fail("The settings file " + quotedPath(file) + " cannot be read and is not replaced");
        const std::filesystem::path target = writeTarget();
        removeStaleTemporaries(target);
        const std::string text = writeRegFile(tree.root());

        std::string tmpl = target.string() + ".tmp-XXXXXX";
        int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd < 0) {
            const int err = errno;
            fail("Cannot write the settings file " + quotedPath(file) + ": " + errnoText(err));
        }
        struct stat st {};
        if (::fchmod(fd, 0600) != 0 || !writeAll(fd, text) || ::fsync(fd) != 0 ||
            ::fstat(fd, &st) != 0 || ::rename(tmpl.c_str(), target.c_str()) != 0) {
            int err = errno;
            ::close(fd);
            ::unlink(tmpl.c_str());
            fail("Cannot write the settings file " + quotedPath(file) + ": " + errnoText(err));
        }
        fsyncDir(target.parent_path());
        hold(fd, FileId::of(st));
        journal.clear();
    }

    void change(Op op) {
        refresh();
        apply(op);
        journal.push_back(std::move(op));
        if (depth == 0)
            flush();
    }
};

FileSettingsStore::FileSettingsStore(std::filesystem::path file, UserPrompts* prompts)
    : m_file(std::move(file)), m_impl(std::make_unique<Impl>()) {
    m_impl->file = m_file;
    m_impl->prompts = prompts;
}

FileSettingsStore::~FileSettingsStore() {
    if (m_impl->depth > 0) {
        m_impl->depth = 0;
        try {
            m_impl->flush();
        } catch (const SettingsError&) {
        }
    }
}

bool FileSettingsStore::keyExists(std::string_view p) {
    m_impl->refresh();
    return m_impl->tree.keyExists(p);
}

std::vector<std::string> FileSettingsStore::subkeyNames(std::string_view p) {
    m_impl->refresh();
    return m_impl->tree.subkeyNames(p);
}

std::vector<std::string> FileSettingsStore::valueNames(std::string_view p) {
    m_impl->refresh();
    return m_impl->tree.valueNames(p);
}

std::optional<RegValue> FileSettingsStore::value(std::string_view p, std::string_view n) {
    m_impl->refresh();
    return m_impl->tree.value(p, n);
}

void FileSettingsStore::createKey(std::string_view p) {
    checkPath(p);
    m_impl->change({Impl::Op::Create, toUtf8Text(p), {}, {}});
}

void FileSettingsStore::setValue(std::string_view p, std::string_view n, RegValue v) {
    checkPath(p);
    // The file holds UTF-8; keeping the tree the same means a re-read changes nothing.
    if (v.type == RegType::String || v.type == RegType::ExpandString)
        v.data = toUtf8Text(v.data);
    m_impl->change({Impl::Op::Set, toUtf8Text(p), toUtf8Text(n), std::move(v)});
}

void FileSettingsStore::deleteValue(std::string_view p, std::string_view n) {
    m_impl->change({Impl::Op::Delete, toUtf8Text(p), toUtf8Text(n), {}});
}

void FileSettingsStore::deleteKeyTree(std::string_view p) {
    m_impl->change({Impl::Op::DeleteTree, toUtf8Text(p), {}, {}});
}

void FileSettingsStore::beginUpdate() {
    ++m_impl->depth;
}

void FileSettingsStore::endUpdate() {
    if (m_impl->depth == 0)
        return;
    if (--m_impl->depth == 0)
        m_impl->flush();
}

std::unique_ptr<SettingsStore> openUserSettings(UserPrompts* prompts) {
    std::filesystem::path dir = configDir();
    if (!ensureDir(dir) && prompts)
        prompts->error("Cannot create the settings folder " + quotedPath(dir) + ".");
    return std::make_unique<FileSettingsStore>(dir / "settings.reg", prompts);
}

#include "platform/file_settings_store.h"

#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n";
const std::string kRoot(kRegistryRoot);

// The files of a folder other than the settings file and its lock, e.g. temporaries.
std::vector<std::string> strayFiles(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::string n = e.path().filename().string();
        if (n != "settings.reg" && n != "settings.reg.lock")
            names.push_back(n);
    }
    return names;
}

// Names, sizes and inodes of a folder's files (the lock file aside): changes when a save begins.
std::string fileSignature(const fs::path& dir) {
    std::string sig;
    for (const auto& e : fs::directory_iterator(dir)) {
        struct stat st {};
        if (e.path().filename() == "settings.reg.lock" || ::stat(e.path().c_str(), &st) != 0)
            continue;
        sig += e.path().filename().string() + ":" + std::to_string(st.st_ino) + ":" +
               std::to_string(st.st_size) + ";";
    }
    return sig;
}

// Makes a folder unwritable for the test's length. Root is not bound by permissions; for root
// the immutable attribute does it where the file system has one.
class UnwritableFolder {
public:
    explicit UnwritableFolder(fs::path dir) : m_dir(std::move(dir)) {
        fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
        if (::access(m_dir.c_str(), W_OK) != 0) {
            m_held = true;
            return;
        }
        int fd = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_immutable = m_held = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        if (fd >= 0)
            ::close(fd);
    }
    ~UnwritableFolder() {
        if (m_immutable) {
            int fd = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            int flags = 0;
            if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            if (fd >= 0)
                ::close(fd);
        }
        fs::permissions(m_dir, fs::perms::owner_all);
    }
    UnwritableFolder(const UnwritableFolder&) = delete;
    UnwritableFolder& operator=(const UnwritableFolder&) = delete;
    bool held() const { return m_held; }

private:
    fs::path m_dir;
    bool m_held = false;
    bool m_immutable = false;
};

// Runs fn in a child process; returns its exit status (or 128 + signal).
template <typename Fn>
pid_t spawn(Fn fn) {
    pid_t pid = ::fork();
    if (pid == 0) {
        int rc = 1;
        try {
            rc = fn();
        } catch (...) {
            rc = 3;
        }
        ::_exit(rc);
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

TEST(FileSettingsStore, KeepsValuesAcrossRunsInAPrivateFileWrittenOncePerUpdate) {
    TempDir dir;
    const fs::path file = dir / "settings.reg";
    RecordingPrompts prompts;
    {
        FileSettingsStore s(file, &prompts);
        EXPECT_EQ(s.readString("Projects\\Last", "Name"), "");
        EXPECT_FALSE(fs::exists(file)) << "reading must not create the file";

        s.beginUpdate();
        {
            SettingsUpdate inner(s);
            s.writeString("Projects\\Last", "Name", "Untitled");
            s.writeInteger("Projects\\Last", "Port Number", 119);
            inner.commit();
        }
        EXPECT_FALSE(fs::exists(file)) << "only the outermost update writes";
        s.writeBinary("Projects\\Last", "Cut Here", std::string("\x01"));
        EXPECT_EQ(s.readString("projects\\LAST", "name"), "Untitled");
        s.endUpdate();
        ASSERT_TRUE(fs::exists(file));
        EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);

        // Outside any update every write lands at once.
        s.writeString("Servers\\News.Example.COM", "User Name", "me");
        s.createKey("Lists");
    }
    EXPECT_TRUE(readFile(file).starts_with(kHeader));

    FileSettingsStore again(file, &prompts);
    EXPECT_EQ(again.readString("PROJECTS\\last", "NAME"), "Untitled");
    EXPECT_EQ(again.readInteger("Projects\\Last", "Port Number"), 119);
    EXPECT_EQ(again.readBinary("Projects\\Last", "Cut Here", 1), std::string("\x01"));
    EXPECT_EQ(again.subkeyNames(""), (std::vector<std::string>{"Projects", "Servers", "Lists"}));
    EXPECT_EQ(again.subkeyNames("servers"), std::vector<std::string>{"News.Example.COM"});
    again.deleteKeyTree("servers\\news.example.com");
    again.deleteValue("Projects\\Last", "cut here");
    FileSettingsStore third(file, &prompts);
    EXPECT_TRUE(third.subkeyNames("Servers").empty());
    EXPECT_EQ(third.valueNames("Projects\\Last"),
              (std::vector<std::string>{"Name", "Port Number"}));
    EXPECT_TRUE(prompts.shown().empty());
    EXPECT_TRUE(strayFiles(dir.path()).empty());
}

TEST(FileSettingsStore, RefusesKeyNamesTheFileCannotHold) {
    TempDir dir;
    FileSettingsStore s(dir / "settings.reg", nullptr);
    EXPECT_THROW(s.writeString("Servers\\bad\nhost", "Port", "x"), SettingsError);
    std::string deep;
    for (std::size_t i = 0; i <= kMaxKeyDepth; ++i)
        deep += "k\\";
    EXPECT_THROW(s.createKey(deep), SettingsError);
    EXPECT_FALSE(s.keyExists("Servers"));
}

TEST(FileSettingsStore, SetsAsideAFileItCannotParseAndReportsItOnce) {
    struct Case {
        const char* what;
        std::string bytes;
        std::string line;
    } cases[] = {
        {"binary junk",
         std::string("\x7F"
                     "ELF\x02\x01\x01\0\0\0",
                     10),
         "line 1"},
        {"truncated", kHeader + "[" + kRoot + "]\n\"Long\"=hex:01,02,\\\n", "line 3"},
        {"bad value", kHeader + "\r\n[" + kRoot + "]\r\n\"A\"=dword:zz\r\n", "line 4"},
        {"foreign key", kHeader + "[HKEY_CURRENT_USER\\Software\\Other]\n", "line 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path file = dir / "settings.reg";
        writeFile(file, c.bytes);
        RecordingPrompts prompts;
        FileSettingsStore s(file, &prompts);

        EXPECT_EQ(s.readString("", "A"), "");
        EXPECT_TRUE(s.subkeyNames("").empty());
        EXPECT_FALSE(s.keyExists("Projects"));
        ASSERT_EQ(prompts.shown().size(), 1u);
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
        const std::string& text = prompts.shown()[0].text;
        EXPECT_NE(text.find(file.string()), std::string::npos) << text;
        EXPECT_NE(text.find(c.line), std::string::npos) << text;

        auto stray = strayFiles(dir.path());
        ASSERT_EQ(stray.size(), 1u);
        EXPECT_TRUE(stray[0].starts_with("settings.reg.bad-")) << stray[0];
        EXPECT_NE(text.find(stray[0]), std::string::npos) << text;
        EXPECT_EQ(readFile(dir / stray[0]), c.bytes);

        // The program goes on: new settings land in a fresh file, the bad one stays as it was.
        s.writeString("", "A", "new");
        FileSettingsStore other(file, &prompts);
        EXPECT_EQ(other.readString("", "A"), "new");
        EXPECT_EQ(prompts.shown().size(), 1u);
        EXPECT_EQ(readFile(dir / stray[0]), c.bytes);
    }
}

TEST(FileSettingsStore, EmptyFileIsAnEmptyStore) {
    TempDir dir;
    writeFile(dir / "settings.reg", "");
    RecordingPrompts prompts;
    FileSettingsStore s(dir / "settings.reg", &prompts);
    EXPECT_TRUE(s.subkeyNames("").empty());
    EXPECT_TRUE(prompts.shown().empty());
}

// A write that cannot land raises, leaves the old file as it was, and the store forgets the
// values that did not land.
TEST(FileSettingsStore, FailedWriteKeepsTheOldFileAndForgetsTheUpdate) {
    enum Failure { ReadOnlyFolder, DiskFull };
    for (Failure failure : {ReadOnlyFolder, DiskFull}) {
        SCOPED_TRACE(failure == ReadOnlyFolder ? "read-only folder" : "disk full");
        TempDir dir;
        const fs::path file = dir / "settings.reg";
        FileSettingsStore s(file, nullptr);
        s.writeString("Projects\\Last", "Name", "old");
        const std::string before = readFile(file);

        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        auto saveHandler = ::signal(SIGXFSZ, SIG_IGN);
        std::optional<UnwritableFolder> readOnly;
        if (failure == ReadOnlyFolder) {
            readOnly.emplace(dir.path());
            if (!readOnly->held()) {
                ::signal(SIGXFSZ, saveHandler);
                std::cout << "skipped read-only folder: this user can write anywhere here\n";
                continue;
            }
        } else {
            // Lets the write start and fail part-way, as a full disk does.
            rlimit small = saved;
            small.rlim_cur = 4096;
            ::setrlimit(RLIMIT_FSIZE, &small);
        }

        SettingsUpdate update(s);
        s.writeString("Projects\\Last", "Name", "new");
        s.writeString("Projects\\Last", "Body", std::string(64 * 1024, 'x'));
        s.createKey("Servers\\phantom");
        EXPECT_THROW(update.commit(), SettingsError);

        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, saveHandler);
        readOnly.reset();

        EXPECT_EQ(readFile(file), before);
        EXPECT_EQ(s.readString("Projects\\Last", "Name"), "old");
        EXPECT_EQ(s.readString("Projects\\Last", "Body"), "");
        EXPECT_FALSE(s.keyExists("Servers"));
        EXPECT_TRUE(strayFiles(dir.path()).empty());
        // The store still works once the cause is gone.
        s.writeString("Projects\\Last", "Name", "later");
        EXPECT_EQ(FileSettingsStore(file, nullptr).readString("Projects\\Last", "Name"), "later");
    }
}

// A copy of the program killed at any moment of a save leaves either the old or the new
// settings, never a mix or a broken file.
TEST(FileSettingsStore, WriterKilledWhileSavingLeavesOldOrNewContent) {
    TempDir dir;
    const fs::path file = dir / "settings.reg";
    std::mt19937 rng(12345);
    std::int32_t lastGen = 0;  // of the last save seen to land
    for (int round = 0; round < 10; ++round) {
        const int kItems = 40;
        const std::string filler(32 * 1024, 'x');
        pid_t child = spawn([&] {
            FileSettingsStore s(file, nullptr);
            for (std::int32_t gen = round * 100000 + 1;; ++gen) {
                SettingsUpdate update(s);
                s.writeInteger("", "Generation", gen);
                // Few large values: most of the time goes into writing the file.
                for (int i = 0; i < kItems; ++i)
                    s.writeString("Lists\\Subjects", "Item" + std::to_string(i),
                                  std::to_string(gen) + filler);
                update.commit();
            }
            return 0;
        });
        // Wait for the child's save to begin (a new file appears or the file changes), then
        // kill it a random moment later: while writing, syncing or renaming.
        const std::string before = fileSignature(dir.path());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (fileSignature(dir.path()) == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 2000));
        ::kill(child, SIGKILL);
        EXPECT_EQ(waitFor(child), 128 + SIGKILL);

        SCOPED_TRACE("round " + std::to_string(round));
        RecordingPrompts prompts;
        FileSettingsStore s(file, &prompts);
        EXPECT_TRUE(prompts.shown().empty());
        const auto names = s.valueNames("Lists\\Subjects");
        // Only a child killed before any save landed may leave nothing behind; from then on,
        // every load holds a whole generation, never an older one.
        if (names.empty() && lastGen == 0)
            continue;
        ASSERT_EQ(names.size(), std::size_t(kItems));
        const std::int32_t gen = s.readInteger("", "Generation");
        EXPECT_GE(gen, lastGen);
        lastGen = gen;
        for (int i = 0; i < kItems; ++i)
            EXPECT_EQ(s.readString("Lists\\Subjects", "Item" + std::to_string(i)),
                      std::to_string(gen) + filler);
    }
    // A temporary file left by a killed writer goes at the next save.
    FileSettingsStore s(file, nullptr);
    s.writeString("", "After", "x");
    EXPECT_TRUE(strayFiles(dir.path()).empty());
}

// Two running copies that write at the same time must not undo each other's writes.
TEST(FileSettingsStore, TwoProcessesWritingDifferentKeysBothLand) {
    TempDir dir;
    const fs::path file = dir / "settings.reg";
    FileSettingsStore(file, nullptr).writeString("", "Before", "kept");
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    auto writer = [&](const std::string& host) {
        return spawn([&, host] {
            char c;
            if (::read(go[0], &c, 1) != 1)
                return 4;
            FileSettingsStore s(file, nullptr);
            for (int i = 0; i < 40; ++i) {
                SettingsUpdate update(s);
                s.writeString("Servers\\" + host + std::to_string(i), "User Name", host);
                s.writeInteger("Servers\\" + host + std::to_string(i), "Port Number", i);
                update.commit();
            }
            return 0;
        });
    };
    pid_t a = writer("alpha");
    pid_t b = writer("beta");
    ASSERT_EQ(::write(go[1], "ab", 2), 2);
    EXPECT_EQ(waitFor(a), 0);
    EXPECT_EQ(waitFor(b), 0);
    ::close(go[0]);
    ::close(go[1]);

    FileSettingsStore s(file, nullptr);
    EXPECT_EQ(s.subkeyNames("Servers").size(), 80u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(s.readString("Servers\\alpha" + std::to_string(i), "User Name"), "alpha");
        EXPECT_EQ(s.readInteger("Servers\\beta" + std::to_string(i), "Port Number"), i);
    }
    EXPECT_EQ(s.readString("", "Before"), "kept");
}

TEST(FileSettingsStore, SeesWhatAnotherCopyWroteAndKeepsItsOwnOpenUpdateOnTop) {
    TempDir dir;
    const fs::path file = dir / "settings.reg";
    FileSettingsStore a(file, nullptr);
    FileSettingsStore b(file, nullptr);
    a.writeString("Advanced", "Host Name", "one");
    EXPECT_EQ(b.readString("Advanced", "Host Name"), "one");
    a.writeString("Advanced", "Host Name", "two");
    EXPECT_EQ(b.readString("Advanced", "Host Name"), "two");

    // The same change made by hand in the file, as an editor that writes in place does.
    std::string text = readFile(file);
    text.replace(text.find("\"two\""), 5, "\"TWO\"");
    const auto stamp = fs::last_write_time(file);
    {
        std::ofstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    // Within one tick of the file system's clock an edit of the same size is invisible; an
    // editor's save comes later than that.
    fs::last_write_time(file, stamp + std::chrono::seconds(1));
    EXPECT_EQ(b.readString("Advanced", "Host Name"), "TWO");

    SettingsUpdate update(b);
    b.writeString("Advanced", "Log File", "mine");
    b.deleteValue("Advanced", "Host Name");
    a.writeString("Lists", "Subjects", "theirs");
    a.writeString("Advanced", "Host Name", "three");
    // b reads the other copy's new values under its own unsaved changes.
    EXPECT_EQ(b.readString("Lists", "Subjects"), "theirs");
    EXPECT_EQ(b.readString("Advanced", "Log File"), "mine");
    EXPECT_EQ(b.readString("Advanced", "Host Name"), "");
    update.commit();

    FileSettingsStore c(file, nullptr);
    EXPECT_EQ(c.readString("Lists", "Subjects"), "theirs");
    EXPECT_EQ(c.readString("Advanced", "Log File"), "mine");
    EXPECT_FALSE(c.value("Advanced", "Host Name"));
    EXPECT_EQ(a.readString("Advanced", "Log File"), "mine");
}

TEST(FileSettingsStore, UserSettingsLiveInTheConfigFolderWhichIsCreatedPrivate) {
    TempDir dir;
    const fs::path config = dir / "config" / "kavrin32";
    // The config folder is fixed once per process, so this runs in a child of its own.
    pid_t child = spawn([&] {
        ::setenv("KAVRIN32_CONFIG_DIR", config.c_str(), 1);
        RecordingPrompts prompts;
        auto store = openUserSettings(&prompts);
        store->writeString("Advanced", "Host Name", "pc");
        return prompts.shown().empty() ? 0 : 5;
    });
    ASSERT_EQ(waitFor(child), 0);
    EXPECT_EQ(fs::status(config).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(
        FileSettingsStore(config / "settings.reg", nullptr).readString("Advanced", "Host Name"),
        "pc");
}

TEST(FileSettingsStore, SetsAsideAHugeFileWithoutReadingIt) {
    TempDir dir;
    const fs::path file = dir / "settings.reg";
    writeFile(file, kHeader);
    fs::resize_file(file, kMaxRegFileBytes + 1);  // sparse: costs no disk
    RecordingPrompts prompts;
    FileSettingsStore s(file, &prompts);
    EXPECT_TRUE(s.subkeyNames("").empty());
    ASSERT_EQ(prompts.texts().size(), 1u);
    EXPECT_NE(prompts.texts()[0].find("too large"), std::string::npos);
    auto stray = strayFiles(dir.path());
    ASSERT_EQ(stray.size(), 1u);
    EXPECT_EQ(fs::file_size(dir / stray[0]), kMaxRegFileBytes + 1);
}

TEST(FileSettingsStore, ASettingsFileThatIsALinkStaysALink) {
    TempDir dir;
    fs::create_directory(dir / "dotfiles");
    const fs::path target = dir / "dotfiles" / "settings.reg";
    const fs::path link = dir / "settings.reg";
    writeFile(target, kHeader + "[" + kRoot + "]\n\"Old\"=\"kept\"\n");
    fs::create_symlink(target, link);
    FileSettingsStore s(link, nullptr);
    s.writeString("", "New", "added");
    EXPECT_TRUE(fs::is_symlink(link));
    FileSettingsStore fresh(target, nullptr);
    EXPECT_EQ(fresh.readString("", "Old"), "kept");
    EXPECT_EQ(fresh.readString("", "New"), "added");
}

// A file spoilt while the program runs is found when saving, under the lock; the message box
// must wait until the lock is released, or every other running copy would hang on it.
TEST(FileSettingsStore, CorruptFileFoundWhileSavingIsReportedOutsideTheLock) {
    struct LockProbe : RecordingPrompts {
        fs::path lockFile;
        bool lockWasFree = false;
        PromptAnswer show(PromptKind kind, PromptButtons buttons, std::string_view text,
                          std::string_view caption) override {
            int fd = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
            lockWasFree = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            if (fd >= 0)
                ::close(fd);
            return RecordingPrompts::show(kind, buttons, text, caption);
        }
    };
    TempDir dir;
    const fs::path file = dir / "settings.reg";
    LockProbe prompts;
    prompts.lockFile = dir / "settings.reg.lock";
    FileSettingsStore s(file, &prompts);
    s.writeString("", "A", "1");

    SettingsUpdate update(s);
    s.writeString("", "B", "2");
    writeFile(file, "spoilt\n");
    update.commit();
    ASSERT_EQ(prompts.shown().size(), 1u);
    EXPECT_TRUE(prompts.lockWasFree);
    EXPECT_EQ(FileSettingsStore(file, nullptr).readString("", "B"), "2");
    auto stray = strayFiles(dir.path());
    ASSERT_EQ(stray.size(), 1u);
    EXPECT_EQ(readFile(dir / stray[0]), "spoilt\n");
}

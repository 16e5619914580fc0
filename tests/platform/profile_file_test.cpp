#include "platform/profile_file.h"

#include "support/file_size_limit.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>

namespace fs = std::filesystem;

namespace {

ProfileFile loaded(const TempDir& dir, std::string_view bytes) {
    writeFile(dir / "p.kv32", bytes);
    return ProfileFile(dir / "p.kv32");
}

}  // namespace

TEST(ProfileFileRead, FollowsWindowsLookupRules) {
    struct Case {
        const char* what;
        std::string file;
        const char* section;
        const char* key;
        const char* expected;  // nullptr: the key is not found
    };
    const Case cases[] = {
        {"CR LF", "[A]\r\nk=v\r\n", "A", "k", "v"},
        {"LF only", "[A]\nk=v\n", "A", "k", "v"},
        {"byte order mark", "\xEF\xBB\xBF[A]\r\nk=v\r\n", "A", "k", "v"},
        {"no final line break", "[A]\nk=v", "A", "k", "v"},
        {"case of section and key", "[Kavrin/32]\nSubject=x\n", "KAVRIN/32", "subJECT", "x"},
        {"blanks trimmed", "  [ A ]  \n  k  =  v w \t\n", "A", "k", "v w"},
        {"first of duplicate keys", "[A]\nk=1\nK=2\n", "A", "k", "1"},
        {"first of duplicate sections", "[A]\nk=1\n[a]\nk=2\n", "A", "k", "1"},
        {"key only in the second duplicate section", "[A]\n[a]\nk=2\n", "A", "k", nullptr},
        {"value keeps later equals signs", "[A]\nk=a=b\n", "A", "k", "a=b"},
        {"empty value", "[A]\nk=\n", "A", "k", ""},
        {"comment is no key", "[A]\n;k=v\n", "A", ";k", nullptr},
        {"line without equals is no key", "[A]\nk\n", "A", "k", nullptr},
        {"key before any section", "k=v\n[A]\n", "A", "k", nullptr},
        {"key of another section", "[A]\nk=v\n[B]\n", "B", "k", nullptr},
        {"Windows-1252 text", "[A]\nk=caf\xE9\n", "A", "k", "caf\xC3\xA9"},
        {"UTF-8 text", "[A]\nk=caf\xC3\xA9\n", "A", "k", "caf\xC3\xA9"},
        {"UTF-16LE with its mark", std::string("\xFF\xFE[\0A\0]\0\r\0\n\0k\0=\0\xE9\0", 18), "A",
         "k", "\xC3\xA9"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProfileFile f = loaded(dir, c.file);
        EXPECT_EQ(f.hasKey(c.section, c.key), c.expected != nullptr);
        EXPECT_EQ(f.readString(c.section, c.key, "<none>"), c.expected ? c.expected : "<none>");
    }
}

TEST(ProfileFileRead, IntegersAreDecimalOrHexOrTheFallback) {
    struct Case {
        const char* text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"42", 42},
        {" 42 ", 42},
        {"-5", -5},
        {"+7", 7},
        {"0x1F", 31},
        {"0XfF", 255},
        {"0xFFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", -99},  // out of range
        {"0x100000000", -99},
        {"12abc", -99},
        {"abc", -99},
        {"", -99},
        {"0x", -99},
        {"-", -99},
        {"1 2", -99},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ProfileFile f = loaded(dir, std::string("[A]\nn=") + c.text + "\n");
        EXPECT_EQ(f.readInteger("A", "n", -99), c.expected);
    }
    EXPECT_EQ(loaded(dir, "[A]\n").readInteger("A", "n", 1000), 1000);
}

TEST(ProfileFileRead, SectionEntriesKeepListLinesAsTheyStand) {
    TempDir dir;
    ProfileFile f = loaded(dir,
                           "[Body]\r\n0=  indented\r\n; a comment\r\n\r\n1=-- \r\n2=\r\n"
                           "3=a=b\r\n[Other]\r\nx=y\r\n");
    EXPECT_EQ(f.sectionEntries("body"),
              (std::vector<std::string>{"0=  indented", "1=-- ", "2=", "3=a=b"}));
    EXPECT_TRUE(f.sectionEntries("Missing").empty());
}

TEST(ProfileFileWrite, KeepsWhatItDoesNotWriteAndUsesCrLf) {
    TempDir dir;
    ProfileFile f = loaded(dir,
                           "; written by hand\n"
                           "[Kavrin/32]\n"
                           "subject=old\n"
                           "Unknown=kept\n"
                           "\n"
                           "[Body]\n"
                           "0=gone\n"
                           "[Extra]\n"
                           "z=1\n"
                           "[body]\n"
                           "0=also gone\n");
    f.writeString("KAVRIN/32", "Subject", "new");
    f.writeString("Kavrin/32", "Port Number", "119");
    f.eraseSection("Body");
    f.writeString("Body", "0", "line");
    f.save();
    EXPECT_EQ(readFile(dir / "p.kv32"),
              "; written by hand\r\n"
              "[Kavrin/32]\r\n"
              "subject=new\r\n"
              "Unknown=kept\r\n"
              "Port Number=119\r\n"
              "\r\n"
              "[Extra]\r\n"
              "z=1\r\n"
              "[Body]\r\n"
              "0=line\r\n");
}

TEST(ProfileFileWrite, ReadsBackWhatItWrote) {
    TempDir dir;
    const fs::path path = dir / "new.kv32";
    {
        ProfileFile f(path);
        EXPECT_FALSE(fs::exists(path));  // reading a missing file creates nothing
        f.writeString("A", "k", "caf\xC3\xA9");
        f.writeString("A", "n", "0x10");
        f.writeString("B", "0", "  blanks  ");
        f.save();
    }
    ProfileFile back(path);
    EXPECT_EQ(back.readString("A", "k"), "caf\xC3\xA9");
    EXPECT_EQ(back.readInteger("A", "n", 0), 16);
    EXPECT_EQ(back.sectionEntries("B"), std::vector<std::string>{"0=  blanks  "});
}

// A byte order mark that is text (a second one, or one after UTF-16's) makes the first line no
// header; the saved file must read back the same, not with that line turned into a header.
TEST(ProfileFileWrite, AByteOrderMarkInTheTextSurvivesTheSave) {
    const std::string lines = "[A]\r\nk=before\r\n[A]\r\nk=old\r\n";
    std::string utf16 = "\xFF\xFE\xFF\xFE";
    for (char c : lines)
        utf16 += std::string{c, '\0'};
    for (const std::string& bytes : {"\xEF\xBB\xBF\xEF\xBB\xBF" + lines, utf16}) {
        TempDir dir;
        ProfileFile f = loaded(dir, bytes);
        ASSERT_EQ(f.readString("A", "k"), "old");
        f.writeString("A", "k", "new");
        f.save();
        const ProfileFile back(dir / "p.kv32");
        EXPECT_EQ(back.readString("A", "k"), "new");
        EXPECT_EQ(back.sectionEntries("A"), std::vector<std::string>{"k=new"});
    }
}

TEST(ProfileFileWrite, RefusesLineBreaksThatWouldChangeTheStructure) {
    TempDir dir;
    ProfileFile f(dir / "p.kv32");
    EXPECT_THROW(f.writeString("A", "k", "one\r\n[Evil]"), std::invalid_argument);
    EXPECT_THROW(f.writeString("A", "k\n", "v"), std::invalid_argument);
    EXPECT_THROW(f.writeString("A]\r\n[B", "k", "v"), std::invalid_argument);
    EXPECT_FALSE(f.hasKey("A", "k"));
}

TEST(ProfileFileBadInput, JunkHugeLinesAndOversizedFilesDoNotCrashOrGetWritten) {
    TempDir dir;
    std::mt19937 random(7);
    std::string junk(4096, '\0');
    for (char& c : junk)
        c = static_cast<char>(random());
    junk += "\n[A]\nk=v\n";  // still found after the junk
    const std::string huge = "[A]\nk=" + std::string(3 << 20, 'x') + "\nn=5\n";
    for (const std::string& bytes : {junk, huge, std::string("[A]\nk=trunc"), std::string()}) {
        writeFile(dir / "p.kv32", bytes);
        ProfileFile f(dir / "p.kv32");
        EXPECT_NO_THROW(f.readString("A", "k"));
        EXPECT_EQ(readFile(dir / "p.kv32"), bytes) << "a reader wrote the file";
    }
    EXPECT_EQ(ProfileFile(dir / "p.kv32").readInteger("A", "n", 0), 0);
    writeFile(dir / "p.kv32", huge);
    EXPECT_EQ(ProfileFile(dir / "p.kv32").readInteger("A", "n", 0), 5);

    // Larger than any project file: refused before it is read into memory.
    writeFile(dir / "big.kv32", "");
    fs::resize_file(dir / "big.kv32", ProfileFile::kMaxBytes + 1);
    EXPECT_THROW(ProfileFile(dir / "big.kv32"), std::runtime_error);
    EXPECT_THROW(ProfileFile(dir.path()), std::runtime_error);  // a folder
    EXPECT_THROW(ProfileFile("/dev/zero"), std::runtime_error);
}

TEST(ProfileFileSave, AFailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    // Tests run as root, whom folder permissions do not stop; these failures hold for root too.
    struct Case {
        const char* what;
        const char* target;  // relative to the test folder
        bool limitSize;
    };
    const Case cases[] = {
        {"disk full", "old.kv32", true},
        {"folder is a file", "old.kv32/p.kv32", false},
        {"target is a folder", "folder", false},
    };
    const std::string content = "[A]\r\nk=" + std::string(100000, 'n') + "\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        writeFile(dir / "old.kv32", "[A]\r\nk=old\r\n");
        fs::create_directory(dir / "folder");
        {
            std::optional<FileSizeLimit> limit;
            if (c.limitSize)
                limit.emplace(1000);
            EXPECT_THROW(writeFileAtomically(dir / c.target, content), std::runtime_error);
        }
        EXPECT_EQ(readFile(dir / "old.kv32"), "[A]\r\nk=old\r\n");
        EXPECT_TRUE(fs::is_directory(dir / "folder"));
        for (const auto& e : fs::directory_iterator(dir.path()))
            EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
    }
}

TEST(ProfileFileSave, AReadOnlyFileIsRefusedNotReplaced) {
    // The folder would let a new file take the old one's place; the file's own permission
    // still says no, as it does to a program that writes the file in place.
    TempDir dir;
    writeFile(dir / "ro.kv32", "[A]\r\nk=old\r\n");
    fs::permissions(dir.path(), fs::perms::all);
    ::chmod((dir / "ro.kv32").c_str(), 0444);
    // Root may write any file: the save runs as an ordinary user.
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        if (::access(dir.path().c_str(), W_OK | X_OK) != 0)
            ::_exit(2);
        try {
            writeFileAtomically(dir / "ro.kv32", "[A]\r\nk=new\r\n");
        } catch (const std::runtime_error&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2)
        GTEST_SKIP() << "no ordinary user to save as";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the read-only file was replaced";
    EXPECT_EQ(readFile(dir / "ro.kv32"), "[A]\r\nk=old\r\n");
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
}

TEST(ProfileFileSave, ThroughALinkKeepsTheLinkAndThePermissions) {
    TempDir dir;
    writeFile(dir / "real.kv32", "[A]\r\nk=old\r\n");
    ::chmod((dir / "real.kv32").c_str(), 0640);
    fs::create_symlink("real.kv32", dir / "link.kv32");
    ProfileFile f(dir / "link.kv32");
    f.writeString("A", "k", "new");
    f.save();
    EXPECT_TRUE(fs::is_symlink(dir / "link.kv32"));
    EXPECT_EQ(readFile(dir / "real.kv32"), "[A]\r\nk=new\r\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real.kv32").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

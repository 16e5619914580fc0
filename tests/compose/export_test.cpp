#include "app/cli.h"
#include "platform/file_settings_store.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

namespace {

using ::testing::ElementsAre;

std::vector<std::string> crlfLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back("<no CR LF>" + text.substr(pos));
            break;
        }
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

std::vector<std::string> listDir(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The program fixes its folders at the first use, so one folder serves every test here.
const TempDir& configHome() {
    static const TempDir home;
    return home;
}

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The command reads the user's settings from here, emptied for each test.
        ::setenv("KAVRIN32_CONFIG_DIR", (configHome() / "config").c_str(), 1);
        std::filesystem::remove_all(configHome() / "config");
        RecordingPrompts prompts;
        auto store = openUserSettings(&prompts);
        store->writeBinary("Advanced", "Use Windows Computer Name As Host Name",
                           std::string(1, '\0'));
        store->writeString("Advanced", "Host Name", "export.test");
        store->writeString("Lists", "Names", "Picked Name\r\n");
        data = dir / "data.bin";
        std::string bytes;
        for (int i = 0; i < 100; ++i)
            bytes += static_cast<char>(i * 7);
        writeFile(data, bytes);
        ::chmod(data.c_str(), 0644);
    }

    std::filesystem::path project(const std::string& firstSection) {
        const auto path = dir / "project.kv32";
        writeFile(path, "[Kavrin/32]\r\n" + firstSection +
                            "[Newsgroups]\r\n0=alt.a\r\n1=alt.b\r\n"
                            "[Body]\r\n0=Hello\r\n1=\r\n"
                            "[Attachments]\r\n0=" +
                            data.string() + "\r\n1=" + (dir / "missing.bin").string() + "\r\n");
        return path;
    }

    // Exports the project into out/ and runs the decoder in a fresh decoded/; returns how many
    // documents (NNNN.eml) were written.
    std::size_t exportAndDecode(const std::filesystem::path& project, const std::string& decoder) {
        const auto out = dir / "out", decoded = dir / "decoded";
        std::filesystem::remove_all(out);
        std::filesystem::remove_all(decoded);
        std::filesystem::create_directories(decoded);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runExport({out.string(), project.string()}), 0);
        ::testing::internal::GetCapturedStderr();
        const std::string command = "cd '" + decoded.string() + "' && " + decoder + " >/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << decoder;
        if (!std::filesystem::exists(out))
            return 0;
        const auto names = listDir(out);
        return std::size_t(std::count_if(names.begin(), names.end(),
                                         [](const std::string& n) { return n.ends_with(".eml"); }));
    }

    TempDir dir;
    std::filesystem::path data;
};

// Crossposting off, one message per file, split over 5 lines: each of the two groups gets the
// file in two parts; the missing file is warned about and its messages carry the text only.
TEST_F(ExportTest, WritesEveryDocumentInPostingOrder) {
    const auto path = project(
        "Subject=S\r\nFrom Name=N\r\nFrom E-mail Address=a@example.org\r\nX-No-Archive=Yes\r\n"
        "Randomize From Name=1\r\nPost Seperate Message for Each Attached File=1\r\n"
        "Crosspost=0\r\nEncoding Method=0\r\nSplit Large Messages=1\r\nSplit Lines=5\r\n");
    const auto out = dir / "out";
    ::testing::internal::CaptureStderr();
    const int status = runExport({out.string(), path.string()});
    const std::string errors = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(status, 0) << errors;
    const std::string missing = (dir / "missing.bin").string();
    EXPECT_NE(errors.find("Attachment " + missing + " not found"), std::string::npos) << errors;
    EXPECT_THAT(listDir(out), ElementsAre("0001.eml", "0002.eml", "0003.eml", "0004.eml",
                                          "0005.eml", "0006.eml", "posting.nzb"));

    // Body of a file's message: Hello, an empty line, begin, 3 data lines, "`", end: 8 lines,
    // cut into parts of 4.
    const auto first = crlfLines(readFile(out / "0001.eml"));
    ASSERT_EQ(first.size(), 6u + 1 + 4);
    EXPECT_EQ(first[0], "From: Picked Name <a@example.org>");
    EXPECT_TRUE(std::regex_match(first[1], std::regex("Date: \\d\\d [A-Z][a-z]{2} \\d\\d "
                                                      "\\d\\d:\\d\\d:\\d\\d( [+-]\\d{4})?")))
        << first[1];
    EXPECT_EQ(first[2], "Newsgroups: alt.a");
    EXPECT_EQ(first[3], "Subject: S - data.bin [1/2]");
    EXPECT_TRUE(std::regex_match(first[4], std::regex("Message-Id: <[0-9a-f]+\\.[0-9a-f]+\\."
                                                      "[0-9a-f]+@export\\.test>")))
        << first[4];
    EXPECT_EQ(first[5], "X-No-Archive: Yes");
    EXPECT_EQ(first[6], "");
    EXPECT_EQ(first[7], "Hello");
    EXPECT_EQ(first[8], "");
    EXPECT_EQ(first[9], "begin 644 data.bin");
    EXPECT_EQ(first[10].size(), 61u);

    const auto second = crlfLines(readFile(out / "0002.eml"));
    EXPECT_EQ(second[3], "Subject: S - data.bin [2/2]");
    EXPECT_NE(second[4], first[4]);
    ASSERT_EQ(second.size(), 7u + 4);
    EXPECT_EQ(second[7].size(), 61u);
    EXPECT_EQ(second[8].substr(0, 1), "*");  // 10 bytes left
    EXPECT_EQ(second[9], "`");
    EXPECT_EQ(second[10], "end");

    const auto third = crlfLines(readFile(out / "0003.eml"));
    EXPECT_EQ(third[3], "Subject: S - missing.bin");
    EXPECT_THAT(std::vector<std::string>(third.begin() + 6, third.end()),
                ElementsAre("", "Hello", ""));
    EXPECT_EQ(crlfLines(readFile(out / "0004.eml"))[2], "Newsgroups: alt.b");
}

// What readers will do with the documents: uudeview joins the UUEncoded parts, munpack takes
// the MIME message apart, and both give back the attached file's bytes.
TEST_F(ExportTest, DecodersGetTheFileBack) {
    std::string bytes;
    for (int i = 0; i < 150001; ++i)
        bytes += static_cast<char>((i * 2654435761u) >> 13);
    const auto picture = dir / "pic.jpg";
    writeFile(picture, bytes);
    const struct {
        const char* options;
        const char* decoder;
        std::size_t documents;
    } cases[] = {
        {"Encoding Method=0\r\nCut Here=1\r\nSplit Large Messages=1\r\nSplit Lines=1000\r\n",
         "uudeview -i -q -p . ../out/*.eml", 4},
        {"Encoding Method=1\r\n", "munpack -q -C . ../out/0001.eml", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.decoder);
        const auto path = dir / "p.kv32";
        writeFile(path, std::string("[Kavrin/32]\r\nSubject=S\r\nFrom Name=N\r\nCrosspost=1\r\n") +
                            c.options + "[Newsgroups]\r\n0=alt.test\r\n[Attachments]\r\n0=" +
                            picture.string() + "\r\n");
        EXPECT_EQ(exportAndDecode(path, c.decoder), c.documents);
        EXPECT_TRUE(readFile(dir / "decoded" / "pic.jpg") == bytes);
    }
}

// yEnc through uudeview, which joins parts by their "=ypart" lines: sizes around the 128-byte
// line and the part size, every byte value at every place of a line, all in one message; then
// a few MB in many parts, one message per file.
TEST_F(ExportTest, UudeviewDecodesYEncPartsByteForByte) {
    std::string everyByte;
    for (int round = 0; round < 131; ++round)
        for (int b = 0; b < 256; ++b)
            everyByte += static_cast<char>((b * 7 + round) & 0xFF);
    std::string big;
    for (std::size_t i = 0; i < (std::size_t{3} << 20) + 17; ++i)
        big += static_cast<char>((i * 2654435761u) >> 11);
    std::vector<std::pair<std::string, std::string>> small;
    for (const std::size_t n : {1, 127, 128, 129, 383, 384, 385, 769})
        small.emplace_back("s" + std::to_string(n) + ".bin", everyByte.substr(n, n));
    small.emplace_back("every.bin", everyByte);
    const struct {
        const char* options;
        std::vector<std::pair<std::string, std::string>> files;
        std::size_t documents;
    } cases[] = {
        // Parts of 3 lines (384 bytes).
        {"Post Seperate Message for Each Attached File=0\r\nSplit Lines=4\r\n", small, 0},
        {"Post Seperate Message for Each Attached File=1\r\nSplit Lines=1000\r\n",
         {{"big.bin", big}},
         25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        std::string attachments;
        for (std::size_t i = 0; i < c.files.size(); ++i) {
            writeFile(dir / c.files[i].first, c.files[i].second);
            attachments += std::to_string(i) + "=" + (dir / c.files[i].first).string() + "\r\n";
        }
        const auto path = dir / "y.kv32";
        writeFile(path, std::string("[Kavrin/32]\r\nSubject=S\r\nFrom Name=N\r\nCrosspost=1\r\n"
                                    "Encoding Method=2\r\nSplit Large Messages=1\r\n") +
                            c.options + "[Newsgroups]\r\n0=alt.test\r\n[Attachments]\r\n" +
                            attachments);
        const std::size_t documents = exportAndDecode(path, "uudeview -i -q -p . ../out/*.eml");
        if (c.documents != 0) {
            EXPECT_EQ(documents, c.documents);
        }
        for (const auto& [name, bytes] : c.files)
            EXPECT_TRUE(readFile(dir / "decoded" / name) == bytes) << name;

        // posting.nzb lists every file, with the Message-IDs of the documents that carry it.
        const auto nzb = dir / "out" / "posting.nzb";
        const std::string xml = readFile(nzb);
        std::size_t fileEntries = 0;
        for (auto at = xml.find("<file "); at != std::string::npos; at = xml.find("<file ", at + 1))
            ++fileEntries;
        EXPECT_EQ(fileEntries, c.files.size());
        for (const auto& name : listDir(dir / "out")) {
            if (!name.ends_with(".eml"))
                continue;
            const auto lines = crlfLines(readFile(dir / "out" / name));
            const auto id = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
                return l.starts_with("Message-Id: <");
            });
            ASSERT_NE(id, lines.end());
            EXPECT_NE(xml.find(">" + id->substr(13, id->size() - 14) + "</segment>"),
                      std::string::npos)
                << *id;
        }
        const std::string validate = "xmllint --noout --nonet --dtdvalid '" KAVRIN32_NZB_DTD "' '" +
                                     nzb.string() + "' 2>/dev/null";
        EXPECT_EQ(std::system(validate.c_str()), 0) << xml;
    }
}

// Every export is a run of its own: the seed starts at 0, so the boundary, the run's first draw,
// is the same each time.
TEST_F(ExportTest, EveryRunStartsTheRandomSequenceAfresh) {
    const auto path = dir / "mime.kv32";
    writeFile(path,
              "[Kavrin/32]\r\nSubject=S\r\nFrom Name=N\r\nCrosspost=1\r\nEncoding Method=1\r\n"
              "[Newsgroups]\r\n0=alt.test\r\n");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        const auto out = dir / ("out" + std::to_string(run));
        ::testing::internal::CaptureStderr();
        ASSERT_EQ(runExport({out.string(), path.string()}), 0);
        ::testing::internal::GetCapturedStderr();
        EXPECT_THAT(crlfLines(readFile(out / "0001.eml")),
                    ::testing::Contains("Content-Type: multipart/mixed; "
                                        "boundary=\"------------0C34A4256171\""));
    }
}

TEST_F(ExportTest, ValidationErrorEndsWithStatusOneAndNoDocument) {
    const auto path = project("From Name=N\r\nCrosspost=1\r\n");
    const auto out = dir / "out";
    ::testing::internal::CaptureStderr();
    const int status = runExport({out.string(), path.string()});
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_NE(errors.find("A subject is reqired to post a message."), std::string::npos) << errors;
    EXPECT_TRUE(listDir(out).empty());
}

// An export needs no server, so a project naming one that is not stored says nothing about it.
TEST_F(ExportTest, AServerThatIsNotStoredIsNoConcernOfTheExport) {
    const auto path =
        project("Subject=S\r\nFrom Name=N\r\nNewsgroup Server=news.unknown.example\r\n");
    ::testing::internal::CaptureStderr();
    const int status = runExport({(dir / "out").string(), path.string()});
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors.find("server"), std::string::npos) << errors;
}

// Each attached file is open only while it is encoded, so one message carries more files than
// the process may hold open at once.
TEST_F(ExportTest, AMessageCarriesMoreFilesThanCanBeOpenAtOnce) {
    constexpr int kFiles = 10000;
    std::string list;
    for (int i = 0; i < kFiles; ++i) {
        const auto file = dir / ("f" + std::to_string(i) + ".bin");
        writeFile(file, "file " + std::to_string(i));
        list += std::to_string(i) + "=" + file.string() + "\r\n";
    }
    const struct {
        const char* method;
        const char* perFile;
    } cases[] = {{"0", "begin 644 f"}, {"1", "Content-Transfer-Encoding: base64"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.method);
        const auto path = dir / "many.kv32";
        writeFile(path, std::string("[Kavrin/32]\r\nSubject=S\r\nFrom Name=N\r\nCrosspost=1\r\n"
                                    "Post Seperate Message for Each Attached File=0\r\n"
                                    "Encoding Method=") +
                            c.method + "\r\n[Newsgroups]\r\n0=alt.test\r\n[Attachments]\r\n" +
                            list);
        const auto out = dir / ("out" + std::string(c.method));
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &old), 0);
        rlimit few = old;
        few.rlim_cur = 64;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
        ::testing::internal::CaptureStderr();
        const int status = runExport({out.string(), path.string()});
        const std::string errors = ::testing::internal::GetCapturedStderr();
        ::setrlimit(RLIMIT_NOFILE, &old);
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(errors.empty()) << errors.substr(0, 500);
        ASSERT_THAT(listDir(out), ElementsAre("0001.eml", "posting.nzb"));
        const std::string text = readFile(out / "0001.eml");
        std::size_t carried = 0;
        for (auto at = text.find(c.perFile); at != std::string::npos;
             at = text.find(c.perFile, at + 1))
            ++carried;
        EXPECT_EQ(carried, std::size_t{kFiles});
    }
}

// A name already in the folder is never written through: a link where a document, the NZB file
// or a temporary file of the export could go leaves the file it leads to as it was.
TEST_F(ExportTest, LinksInTheFolderAreNotWrittenThrough) {
    const auto path = project("Subject=S\r\nFrom Name=N\r\nCrosspost=1\r\n");
    const auto out = dir / "out";
    std::filesystem::create_directories(out);
    writeFile(dir / "victim.txt", "precious");
    std::filesystem::create_symlink(dir / "victim.txt", out / "0001.eml.part");
    std::filesystem::create_symlink(dir / "victim.txt", out / "posting.nzb");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runExport({out.string(), path.string()}), 0);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(dir / "victim.txt"), "precious");
    for (const char* name : {"0001.eml", "posting.nzb"})
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(out / name)))
            << name;
}

// Documents of an earlier, longer export would stay beside the new ones: such a folder is
// refused, named, unless --replace is given, which removes those documents (and nothing else)
// first.
TEST_F(ExportTest, AnEarlierExportIsReplacedOnlyWhenAskedTo) {
    const auto path = project("Subject=S\r\nFrom Name=N\r\nCrosspost=1\r\n");
    const auto out = dir / "out";
    std::filesystem::create_directories(out);
    for (const char* name : {"0001.eml", "0002.eml", "0003.eml"})
        writeFile(out / name, "old");
    writeFile(out / "notes.txt", "mine");
    writeFile(out / "123.eml", "mine");
    writeFile(dir / "victim.txt", "precious");
    std::filesystem::create_symlink(dir / "victim.txt", out / "0004.eml");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runExport({out.string(), path.string()}), 1);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("The folder \"" + out.string() +
                          "\" already holds 4 exported documents (0001.eml to 0004.eml)"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("--replace"), std::string::npos) << errors;
    EXPECT_EQ(readFile(out / "0003.eml"), "old");

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runExport({out.string(), path.string(), "--replace"}), 0);
    ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(listDir(out),
                ElementsAre("0001.eml", "0002.eml", "123.eml", "notes.txt", "posting.nzb"));
    EXPECT_TRUE(readFile(out / "0001.eml").starts_with("From: "));
    EXPECT_EQ(readFile(dir / "victim.txt"), "precious");
}

TEST_F(ExportTest, BadArguments) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runExport({"only-one"}), 2);
    EXPECT_EQ(runExport({"only-one", "--replace"}), 2);
    EXPECT_EQ(runExport({(dir / "out").string(), (dir / "nothing.kv32").string()}), 1);
    ::testing::internal::GetCapturedStderr();
}

}  // namespace

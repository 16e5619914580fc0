#include "compose/article.h"
#include "compose/attachment.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

namespace {

using ::testing::ElementsAre;

// Standard output of a shell command.
std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

std::vector<std::string> splitLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// The body of a document made of just this file's lines, as the reader produces it.
std::string readAll(AttachedFile& file, std::size_t chunk) {
    ArticleBody body;
    body.addAttachment(std::shared_ptr<AttachedFile>(&file, [](AttachedFile*) {}));
    OutgoingDocument doc({}, body, 0, body.lineCount(), nullptr);
    std::string out;
    while (doc.readBody(out, chunk)) {
    }
    EXPECT_EQ(out.size(), doc.bodySize());
    return out;
}

class EncoderTest : public ::testing::Test {
protected:
    std::string file(const std::string& name, std::string_view bytes) {
        const auto path = (dir / name).string();
        writeFile(path, bytes);
        ::chmod(path.c_str(), 0644);
        return path;
    }
    TempDir dir;
    RecordingPrompts prompts;
};

TEST_F(EncoderTest, SmallInputsGiveTheKnownLines) {
    const struct {
        const char* bytes;
        const char* uu;
        const char* base64;
    } cases[] = {
        {"abc", "#86)C", "YWJj"},
        {"a", "!80", "YQ=="},
        {"ab", "\"86(", "YWI="},
    };
    for (const auto& c : cases) {
        const auto path = file("x.bin", c.bytes);
        EXPECT_THAT(EncodeAttachment(kMethodUUEncode, path, prompts),
                    ElementsAre("begin 644 x.bin", c.uu, "`", "end"));
        EXPECT_THAT(EncodeAttachment(kMethodBase64, path, prompts),
                    ElementsAre("Content-Type: application/octet-stream; name=\"x.bin\"",
                                "Content-Transfer-Encoding: base64",
                                "Content-Disposition: inline; filename=\"x.bin\"", "", c.base64));
    }
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(EncoderTest, EmptyFileGivesOnlyTheFixedLines) {
    const auto path = file("empty file.jpg", "");
    EXPECT_THAT(EncodeAttachment(kMethodUUEncode, path, prompts),
                ElementsAre("begin 644 empty file.jpg", "`", "end"));
    EXPECT_THAT(EncodeAttachment(kMethodBase64, path, prompts),
                ElementsAre("Content-Type: image/jpeg; name=\"empty file.jpg\"",
                            "Content-Transfer-Encoding: base64",
                            "Content-Disposition: inline; filename=\"empty file.jpg\"", ""));
}

// Every size around the line and group boundaries, byte for byte against coreutils base64 and
// sharutils uuencode. uuencode pads its last group to four characters where ours stops after
// the characters the bytes need, so its last data line must start with ours.
class PeerComparison : public EncoderTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override { AllowWideEncoder(GetParam()); }
    void TearDown() override { AllowWideEncoder(true); }
};

INSTANTIATE_TEST_SUITE_P(Encoders, PeerComparison, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Wide" : "Portable"; });

TEST_P(PeerComparison, MatchesBase64AndUuencodeForEverySize) {
    const std::size_t sizes[] = {0,  1,  2,   3,   44,  45,      46,      53,
                                 54, 55, 107, 108, 109, 1048576, 1048583, 3000001};
    for (const std::size_t n : sizes) {
        SCOPED_TRACE(n);
        const auto path = file("data.bin", randomBytes(n, static_cast<unsigned>(n)));

        auto b64 = OpenAttachment(kMethodBase64, path, prompts);
        ASSERT_TRUE(b64);
        const std::string ours64 = readAll(*b64, 1000);
        std::string expected64 = run("base64 -w 72 '" + path + "'");
        std::string oursLf;
        for (const auto& l : splitLf(ours64))
            oursLf += l.substr(0, l.size() - 1) + "\n";  // CR LF to LF
        const std::string header =
            "Content-Type: application/octet-stream; name=\"data.bin\"\n"
            "Content-Transfer-Encoding: base64\n"
            "Content-Disposition: inline; filename=\"data.bin\"\n\n";
        ASSERT_EQ(oursLf.substr(0, header.size()), header);
        EXPECT_TRUE(oursLf.substr(header.size()) == expected64) << "base64 differs";

        auto uu = OpenAttachment(kMethodUUEncode, path, prompts);
        ASSERT_TRUE(uu);
        const auto ours = splitLf(readAll(*uu, 4096));
        const auto theirs = splitLf(run("uuencode '" + path + "' data.bin"));
        ASSERT_EQ(ours.size(), theirs.size());
        ASSERT_EQ(ours.front(), "begin 644 data.bin\r");
        for (std::size_t i = 1; i < ours.size(); ++i) {
            const std::string line = ours[i].substr(0, ours[i].size() - 1);
            const bool lastData = i + 3 == ours.size();
            if (!lastData) {
                ASSERT_EQ(line, theirs[i]) << "line " << i;
                continue;
            }
            EXPECT_EQ(theirs[i].compare(0, line.size(), line), 0);
        }
        EXPECT_EQ(ours[ours.size() - 2], "`\r");
        EXPECT_EQ(ours.back(), "end\r");
    }
}

TEST_F(EncoderTest, LineLengthsAtTheBoundaries) {
    const auto lines45 =
        EncodeAttachment(kMethodUUEncode, file("a", std::string(45, 'x')), prompts);
    ASSERT_EQ(lines45.size(), 4u);
    EXPECT_EQ(lines45[1].size(), 61u);
    EXPECT_EQ(lines45[1][0], 'M');
    const auto lines46 =
        EncodeAttachment(kMethodUUEncode, file("a", std::string(46, 'x')), prompts);
    ASSERT_EQ(lines46.size(), 5u);
    EXPECT_EQ(lines46[2], "!>`");
    const auto b55 = EncodeAttachment(kMethodBase64, file("a", std::string(55, 'x')), prompts);
    ASSERT_EQ(b55.size(), 6u);
    EXPECT_EQ(b55[4].size(), 72u);
    EXPECT_EQ(b55[5], "eA==");
}

TEST_F(EncoderTest, ContentTypes) {
    const struct {
        const char* path;
        const char* type;
    } cases[] = {
        {"PHOTO.Jpg", "image/jpeg"},
        {"dir.d/photo.jpeg", "image/jpeg"},
        {"archive.tar.gz", "application/x-gzip"},
        {"README", "application/octet-stream"},
        {"ends.", "application/octet-stream"},
        {"v.d/noext", "application/octet-stream"},
        {"macro.vbs", "video/mpeg"},
        {"a.Z", "application/x-compress"},
        {"a.xlw", "application/vnd.ms-excel"},
        {"a.MPEGA", "audio/x-mpeg"},
        {"a.mpeg", "video/mpeg"},
        {"a.qtvr", "video/quicktime"},
        {"a.zip", "application/x-zip-compressed"},
        {"a.nws", "message/rfc822"},
        {"a.txt", "text/plain"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContentTypeFor(c.path), c.type) << c.path;
}

TEST_F(EncoderTest, NameParametersCarryOnlyTheCleanedFileName) {
    const auto dirPath = dir / "sub dir";
    std::filesystem::create_directory(dirPath);
    const auto path = (dirPath / "say \"hi\".png").string();
    writeFile(path, "z");
    EXPECT_THAT(
        EncodeAttachment(kMethodBase64, path, prompts),
        ElementsAre("Content-Type: image/png; name=\"say \\\"hi\\\".png\"",
                    "Content-Transfer-Encoding: base64",
                    "Content-Disposition: inline; filename=\"say \\\"hi\\\".png\"", "", "eg=="));
    const auto evil = (dir / "a\nb\rc.txt").string();
    writeFile(evil, "z");
    EXPECT_EQ(EncodeAttachment(kMethodUUEncode, evil, prompts).front(), "begin 644 a b c.txt");
}

TEST_F(EncoderTest, UnusableFilesAreReportedAndGiveNoLines) {
    const auto missing = (dir / "gone.jpg").string();
    const auto fifo = (dir / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto unreadable = file("secret.bin", "x");
    ::chmod(unreadable.c_str(), 0);
    const bool root = ::geteuid() == 0;

    EXPECT_TRUE(EncodeAttachment(kMethodUUEncode, missing, prompts).empty());
    EXPECT_TRUE(EncodeAttachment(kMethodBase64, dir.path().string(), prompts).empty());
    EXPECT_TRUE(EncodeAttachment(kMethodUUEncode, fifo, prompts).empty());
    EXPECT_TRUE(EncodeAttachment(kMethodBase64, "/dev/zero", prompts).empty());
    std::vector<std::string> expected = {
        "Attachment " + missing + " not found",
        "Could not open attachment " + dir.path().string(),
        "Could not open attachment " + fifo,
        "Could not open attachment /dev/zero",
    };
    if (!root) {
        EXPECT_TRUE(EncodeAttachment(kMethodUUEncode, unreadable, prompts).empty());
        expected.push_back("Could not open attachment " + unreadable);
    }
    EXPECT_EQ(prompts.texts(), expected);
    for (const auto& s : prompts.shown())
        EXPECT_EQ(s.kind, PromptKind::Warning);
    // A method that is neither gives no lines, but the file is looked at first like for the
    // others: a usable file passes silently, a missing one is still reported.
    prompts.clear();
    EXPECT_TRUE(EncodeAttachment(7, file("fine.bin", "x"), prompts).empty());
    EXPECT_TRUE(EncodeAttachment(7, missing, prompts).empty());
    EXPECT_THAT(prompts.texts(), ElementsAre("Attachment " + missing + " not found"));
}

struct ProgressLog : EncodeProgress {
    void show(std::string_view caption) override {
        events.push_back("show " + std::string(caption));
    }
    void position(int percent) override { percents.push_back(percent); }
    void hide() override { events.push_back("hide"); }
    std::vector<std::string> events;
    std::vector<int> percents;
};

TEST_F(EncoderTest, ProgressRunsFromCaptionToHundred) {
    const auto path = file("big.gif", randomBytes(300000, 1));
    for (const auto method : {kMethodUUEncode, kMethodBase64}) {
        ProgressLog progress;
        auto f = OpenAttachment(method, path, prompts);
        ASSERT_TRUE(f);
        std::string out;
        f->appendLines(out, 0, f->lineCount(), 100000, &progress);
        std::uint64_t line = 0;
        out.clear();
        while (line < f->lineCount())
            line = f->appendLines(out, line, f->lineCount(), 100000, &progress);
        ASSERT_FALSE(progress.percents.empty());
        EXPECT_TRUE(std::is_sorted(progress.percents.begin(), progress.percents.end()));
        EXPECT_EQ(progress.percents.back(), 100);
        EXPECT_EQ(progress.events.front(), method == kMethodUUEncode
                                               ? "show UUEncode - big.gif"
                                               : "show MIME/Base64 Encode - big.gif");
        EXPECT_EQ(progress.events.back(), "hide");
    }
}

// A file is sized when attached. If it then shrinks or grows, reading its lines fails with the
// read error before the last line, so no shortened copy can be sent.
TEST_F(EncoderTest, FileChangingSizeAfterAttachingRaisesTheReadError) {
    for (const int delta : {-1, +1, -100000}) {
        SCOPED_TRACE(delta);
        const auto path = file("moving.bin", randomBytes(200000, 2));
        auto f = OpenAttachment(kMethodUUEncode, path, prompts);
        ASSERT_TRUE(f);
        ASSERT_EQ(::truncate(path.c_str(), 200000 + delta), 0);
        ArticleBody body;
        body.addAttachment(f);
        OutgoingDocument doc({}, body, 0, body.lineCount(), nullptr);
        std::string out;
        try {
            while (doc.readBody(out, 65536)) {
            }
            FAIL() << "no error";
        } catch (const ComposeError& e) {
            EXPECT_STREQ(e.what(), ("Could not read attachment " + path).c_str());
        }
        EXPECT_EQ(out.find("\r\nend\r\n"), std::string::npos);
    }
}

// Offsets and counts are 64-bit: the lines of a file past 4 GiB are placed and sized right.
TEST_F(EncoderTest, FilesPastFourGigabytesAreSizedAndReadAtTheRightOffsets) {
    const std::uint64_t size = (std::uint64_t{4} << 30) + 15;  // ends in a 1-byte UU line
    const auto path = (dir / "huge.bin").string();
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
            ::close(fd);
            GTEST_SKIP() << "no sparse files here";
        }
        const char tail = 'a';
        ASSERT_EQ(::pwrite(fd, &tail, 1, static_cast<off_t>(size - 1)), 1);
        ::close(fd);
    }
    auto f = OpenAttachment(kMethodUUEncode, path, prompts);
    ASSERT_TRUE(f);
    const std::uint64_t data = (size + 44) / 45;
    EXPECT_EQ(f->lineCount(), data + 3);
    EXPECT_EQ(f->byteCount(0, f->lineCount()), (std::string("begin 644 huge.bin").size() + 2) +
                                                   (data - 1) * 63 + (1 + 2 + 2) + 3 + 5);
    std::string out;
    f->appendLines(out, data, f->lineCount(), 1 << 20);  // the last data line on
    EXPECT_EQ(out, "!80\r\n`\r\nend\r\n");

    auto b = OpenAttachment(kMethodBase64, path, prompts);
    ASSERT_TRUE(b);
    const std::uint64_t lines64 = (size + 53) / 54;
    EXPECT_EQ(b->lineCount(), lines64 + 4);
    out.clear();
    b->appendLines(out, b->lineCount() - 1, b->lineCount(), 1 << 20);
    // The last line holds 37 bytes: 36 zeros and the "a".
    EXPECT_EQ(out, std::string(48, 'A') + "YQ==\r\n");
}

}  // namespace

#include "compose/attachment.h"
#include "compose/compose_error.h"
#include "compose/crc32.h"
#include "compose/yenc.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <functional>

namespace {

using ::testing::ElementsAre;

// The CRC the slow way, one bit at a time: what the fast paths must agree with.
std::uint32_t bitwiseCrc(std::string_view bytes) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ ((c & 1) ? 0xEDB88320u : 0);
    }
    return ~c;
}

std::uint32_t crcOf(std::string_view bytes) {
    return Crc32(0, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

std::string hex8(std::uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

// Encodes in pieces of the given sizes (the last piece flagged), as a reader that carries the
// column from one call to the next does.
std::string encode(std::string_view data, std::size_t piece = std::string::npos) {
    std::string out(YEncOutputBound(data.size()) + 64, '\0');
    char* p = out.data();
    int column = 0;
    std::size_t done = 0;
    do {
        const std::size_t n = std::min(piece, data.size() - done);
        p = EncodeYEnc(reinterpret_cast<const unsigned char*>(data.data()) + done, n, p, column,
                       done + n == data.size());
        done += n;
    } while (done < data.size());
    out.resize(static_cast<std::size_t>(p - out.data()));
    EXPECT_EQ(column, 0);
    return out;
}

// What any decoder does: drop line ends, undo the escapes, take 42 away. Also checks every line
// against the rules: at most 128 characters (129 when the last one is escaped), shorter only at
// the end, no critical character unescaped, and no TAB, blank or "." at either end.
std::string decodeChecked(const std::string& text) {
    std::string data;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos);
        const std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        const bool lastLine = pos == text.size();
        EXPECT_FALSE(line.empty());
        const bool escapedEnd = line.size() >= 2 && line[line.size() - 2] == '=';
        EXPECT_LE(line.size(), escapedEnd ? 129u : 128u) << line;
        if (!lastLine) {
            EXPECT_GE(line.size(), 128u);
        }
        for (const char edge : {line.front(), line.back()})
            EXPECT_TRUE(edge != '\t' && edge != ' ' && edge != '.') << "line edge " << int(edge);
        for (std::size_t i = 0; i < line.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(line[i]);
            EXPECT_TRUE(c != 0 && c != '\r' && c != '\n');
            if (c == '=' && i + 1 < line.size())
                c = static_cast<unsigned char>(line[++i] - 64);
            else
                EXPECT_NE(c, '=') << "escape at the end of a line";
            data += static_cast<char>(c - 42);
        }
    }
    return data;
}

// Each test runs on every path the processor has: AVX-512, AVX2 and the portable code.
class YEncTest : public ::testing::TestWithParam<WideEncoder> {
protected:
    void SetUp() override { LimitWideEncoder(GetParam()); }
    void TearDown() override { LimitWideEncoder(WideEncoder::All); }
};

INSTANTIATE_TEST_SUITE_P(Paths, YEncTest,
                         ::testing::Values(WideEncoder::All, WideEncoder::UpToAvx2,
                                           WideEncoder::Portable),
                         [](const auto& info) {
                             return info.param == WideEncoder::All        ? "Widest"
                                    : info.param == WideEncoder::UpToAvx2 ? "Avx2"
                                                                          : "Portable";
                         });

TEST_P(YEncTest, CrcMatchesTheBitwiseReference) {
    EXPECT_EQ(crcOf(""), 0u);
    EXPECT_EQ(crcOf("123456789"), 0xCBF43926u);
    const std::string data = randomBytes(5000, 7);
    for (std::size_t start : {0, 1, 7}) {
        for (std::size_t n : {0, 1, 15, 16, 63, 64, 65, 127, 128, 200, 256, 1000, 4993}) {
            SCOPED_TRACE(std::to_string(start) + "+" + std::to_string(n));
            const std::string_view piece = std::string_view(data).substr(start, n);
            ASSERT_EQ(crcOf(piece), bitwiseCrc(piece));
            // Block by block, and from the CRCs of two halves.
            const std::string_view a = piece.substr(0, n / 3), b = piece.substr(n / 3);
            const std::uint32_t first = crcOf(a);
            EXPECT_EQ(Crc32(first, reinterpret_cast<const unsigned char*>(b.data()), b.size()),
                      bitwiseCrc(piece));
            EXPECT_EQ(Crc32Combine(first, crcOf(b), b.size()), bitwiseCrc(piece));
        }
    }
}

TEST_P(YEncTest, EscapesAndLineEdges) {
    // Input bytes whose characters (byte + 42) are NUL, LF, CR, "=", TAB, blank and ".".
    const std::string critical = "\xD6\xE0\xE3\x13";
    const char tab = '\xDF', blank = '\xF6', dot = '\x04';
    const struct {
        std::string data;
        std::string encoded;
    } cases[] = {
        {"", ""},
        {"abc", "\x8B\x8C\x8D\r\n"},
        {critical, "=@=J=M=}\r\n"},
        // TAB, blank and "." are escaped at a line's start and end only.
        {std::string{blank, tab, dot, blank}, "=`\t.=`\r\n"},
        {std::string{dot}, "=n\r\n"},
        {std::string{tab}, "=I\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(encode(c.data), c.encoded) << c.data.size();
}

TEST_P(YEncTest, LinesEndAtTheirLengthAndOnlyThere) {
    // 127 plain bytes then a blank: the blank is the line's last character, so it is escaped,
    // and the line is 129 characters long.
    std::string data(127, 'a');
    data += '\xF6';
    data += "bc";
    const std::string text = encode(data);
    EXPECT_EQ(text, std::string(127, '\x8B') + "=`\r\n\x8C\x8D\r\n");
    // An escaped byte at place 127 makes a 129-character line, a plain blank at 126 does not
    // end the line.
    std::string second(126, 'a');
    second += '\xF6';
    second += "aa";
    EXPECT_EQ(encode(second), std::string(126, '\x8B') + "\x20\x8B\r\n\x8B\r\n");
}

// Every byte value at every place of a line, and random data, in pieces that cut lines anywhere:
// every path gives exactly the portable path's text, and the text decodes to the input.
TEST_P(YEncTest, RoundTripsInAnyPieces) {
    std::string everyByte;
    for (int round = 0; round < 129; ++round)
        for (int b = 0; b < 256; ++b)
            everyByte += static_cast<char>((b + round) & 0xFF);
    std::string critical;
    for (int i = 0; i < 5000; ++i)
        critical += "\xD6\xE0\xE3\x13\xDF\xF6\x04"[i % 7];
    for (const std::string& data : {everyByte, critical, randomBytes(100000, 3)}) {
        const std::string whole = encode(data);
        EXPECT_TRUE(decodeChecked(whole) == data);
        for (std::size_t piece : {1, 31, 32, 33, 127, 128, 4096})
            ASSERT_TRUE(encode(data, piece) == whole) << piece;
        LimitWideEncoder(WideEncoder::Portable);
        EXPECT_TRUE(encode(data) == whole) << "the portable path differs";
        LimitWideEncoder(GetParam());
    }
}

class YEncFileTest : public ::testing::Test {
protected:
    std::string file(const std::string& name, std::string_view bytes) {
        const auto path = (dir / name).string();
        writeFile(path, bytes);
        return path;
    }
    TempDir dir;
    RecordingPrompts prompts;
};

TEST_F(YEncFileTest, PartsCarryTheirFrameAndCrcs) {
    const std::string data = randomBytes(300, 4);
    auto f = OpenYEncAttachment(file("x y.bin", data), prompts);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->partCount(), 1u);
    const auto single = splitCrLf(f->partText(1));
    EXPECT_EQ(single.front(), "=ybegin line=128 size=300 name=x y.bin");
    EXPECT_EQ(single.back(), "=yend size=300 crc32=" + hex8(bitwiseCrc(data)));

    f->setPartBytes(128);
    ASSERT_EQ(f->partCount(), 3u);
    std::string joined;
    const struct {
        std::uint32_t part;
        std::size_t begin, end;
    } parts[] = {{1, 1, 128}, {2, 129, 256}, {3, 257, 300}};
    for (const auto& p : parts) {
        SCOPED_TRACE(p.part);
        const std::string text = f->partText(p.part);
        EXPECT_EQ(f->partSize(p.part), text.size());
        const auto l = splitCrLf(text);
        ASSERT_GE(l.size(), 4u);
        EXPECT_EQ(l[0], "=ybegin part=" + std::to_string(p.part) +
                            " total=3 line=128 size=300 name=x y.bin");
        EXPECT_EQ(l[1],
                  "=ypart begin=" + std::to_string(p.begin) + " end=" + std::to_string(p.end));
        const std::string piece = data.substr(p.begin - 1, p.end - p.begin + 1);
        std::string yend = "=yend size=" + std::to_string(piece.size()) +
                           " part=" + std::to_string(p.part) + " pcrc32=" + hex8(bitwiseCrc(piece));
        if (p.part == 3)
            yend += " crc32=" + hex8(bitwiseCrc(data));
        EXPECT_EQ(l.back(), yend);
        const std::size_t dataStart = l[0].size() + l[1].size() + 4;
        joined += decodeChecked(text.substr(dataStart, text.size() - dataStart - yend.size() - 2));
    }
    EXPECT_TRUE(joined == data);
}

// The last part's whole-file CRC is found even when the earlier parts were never read, and a
// file whose size is a multiple of the part size has no empty last part.
TEST_F(YEncFileTest, TheLastPartAloneAndExactMultiples) {
    const std::string data = randomBytes(1024, 5);
    auto f = OpenYEncAttachment(file("d.bin", data), prompts);
    ASSERT_TRUE(f);
    f->setPartBytes(512);
    EXPECT_EQ(f->partCount(), 2u);
    EXPECT_THAT(splitCrLf(f->partText(2)).back(),
                ::testing::EndsWith(" crc32=" + hex8(bitwiseCrc(data))));
    auto empty = OpenYEncAttachment(file("empty.bin", ""), prompts);
    ASSERT_TRUE(empty);
    empty->setPartBytes(512);
    EXPECT_EQ(empty->partCount(), 1u);
    EXPECT_THAT(splitCrLf(empty->partText(1)), ElementsAre("=ybegin line=128 size=0 name=empty.bin",
                                                           "=yend size=0 crc32=00000000"));
}

// A part that is sized is sent from what sizing encoded; a part too large to keep is encoded
// again when read, and a file whose bytes changed meanwhile gives the read error, never a part
// that differs from the size and CRC announced.
TEST_F(YEncFileTest, AFileThatChangesBetweenSizingAndReadingIsAnError) {
    const std::size_t big = (std::size_t{8} << 20) + 5;
    for (const std::size_t size : {std::size_t{70000}, big}) {
        SCOPED_TRACE(size);
        const std::string data = randomBytes(size, 6);
        const std::string path = file("c.bin", data);
        auto f = OpenYEncAttachment(path, prompts);
        ASSERT_TRUE(f);
        const std::uint64_t announced = f->partSize(1);

        // Same file, same size, one bit changed in place.
        FILE* out = std::fopen(path.c_str(), "r+b");
        ASSERT_TRUE(out);
        std::fseek(out, static_cast<long>(size / 2), SEEK_SET);
        std::fputc(data[size / 2] ^ 1, out);
        std::fclose(out);
        if (size == big) {
            EXPECT_THROW(f->partText(1), ComposeError);
            continue;
        }
        const std::string text = f->partText(1);
        EXPECT_EQ(text.size(), announced);
        const std::size_t dataStart = text.find("\r\n") + 2;
        EXPECT_TRUE(decodeChecked(text.substr(dataStart, text.rfind("=yend") - dataStart)) == data);
        EXPECT_TRUE(f->partText(1) == text);  // a second reading too
    }
}

// The file stays open from part to part; a size change shows at the next part, and a file
// replaced after its end was read (which closes it) when it is opened again.
TEST_F(YEncFileTest, AFileReplacedGrownOrShrunkIsAnError) {
    const std::string data = randomBytes(5000, 8);
    const struct {
        const char* what;
        std::uint32_t readFirst;
        std::function<void(const std::string&)> change;
    } cases[] = {
        {"grown", 1, [&](const std::string& p) { writeFile(p, data + "x"); }},
        {"shrunk", 1, [&](const std::string& p) { ASSERT_EQ(::truncate(p.c_str(), 4999), 0); }},
        {"replaced", 5,
         [&](const std::string& p) {
             writeFile(p + ".new", data);
             ASSERT_EQ(::rename((p + ".new").c_str(), p.c_str()), 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = file("m.bin", data);
        auto f = OpenYEncAttachment(path, prompts);
        ASSERT_TRUE(f);
        f->setPartBytes(1000);
        for (std::uint32_t k = 1; k <= c.readFirst; ++k)
            f->partText(k);
        c.change(path);
        try {
            f->partText(2);
            ADD_FAILURE() << "no error";
        } catch (const ComposeError& e) {
            EXPECT_STREQ(e.what(), ("Could not read attachment " + path).c_str());
        }
    }
}

TEST_F(YEncFileTest, UnusableFilesGetTheUsualWarnings) {
    const std::string missing = (dir / "gone.bin").string();
    EXPECT_FALSE(OpenYEncAttachment(missing, prompts));
    EXPECT_FALSE(OpenYEncAttachment(dir.path().string(), prompts));
    EXPECT_THAT(prompts.texts(), ElementsAre("Attachment " + missing + " not found",
                                             "Could not open attachment " + dir.path().string()));
}

}  // namespace

#include "platform/text.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

TEST(ListText, SplitsAtEveryKindOfBreakWithoutAFinalEmptyLine) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"\r\n", {""}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\n\r", {"a", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitLines(c.text), c.lines) << c.text;
}

TEST(ListText, JoinEndsEveryLineWithCrLfAndRoundTrips) {
    std::vector<std::string> lines{"alt.test", "", "misc.test"};
    EXPECT_EQ(joinLines(lines), "alt.test\r\n\r\nmisc.test\r\n");
    EXPECT_EQ(splitLines(joinLines(lines)), lines);
    EXPECT_EQ(joinLines({}), "");
}

TEST(TextDecoding, KeepsUtf8AndTakesOtherBytesAsWindows1252) {
    EXPECT_EQ(decodeText("plain"), "plain");
    EXPECT_EQ(decodeText("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(decodeText("\xEF\xBB\xBFx"), "x");
    EXPECT_EQ(decodeText("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(decodeText("\x80 \x9F \xA0"), "\xE2\x82\xAC \xC5\xB8 \xC2\xA0");
    // Overlong encodings and lone continuation bytes are not UTF-8.
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));
    EXPECT_FALSE(isValidUtf8("\x80"));
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));
    EXPECT_TRUE(isValidUtf8("\xF0\x9F\x98\x80"));
}

TEST(TextDecoding, ConvertsUtf16LittleEndianBothWays) {
    struct Case {
        std::string utf16;
        std::string utf8;
    } cases[] = {
        {std::string("A\0\xE9\0\xAC\x20", 6), "A\xC3\xA9\xE2\x82\xAC"},
        {std::string("\x3D\xD8\x42\xDE", 4), "\xF0\x9F\x99\x82"},  // a surrogate pair
        {std::string("\0\0", 2), std::string("\0", 1)},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf16leToUtf8(c.utf16), c.utf8);
        EXPECT_EQ(utf8ToUtf16le(c.utf8), c.utf16);
    }
    // Broken input decodes with replacement characters instead of failing.
    EXPECT_EQ(utf16leToUtf8(std::string("\x3D\xD8"
                                        "A\0",
                                        4)),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(utf16leToUtf8(std::string("\x42\xDE", 2)), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16leToUtf8(std::string("A\0B", 3)), "A\xEF\xBF\xBD");
}

TEST(TextFiles, ReadsAnyLineEndAndEitherCharacterSet) {
    TempDir dir;
    writeFile(dir / "mixed.txt", "crlf\r\nlf\nlone cr\rcaf\xE9\r\n");
    std::vector<std::string> lines;
    ASSERT_TRUE(readTextFileLines(dir / "mixed.txt", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"crlf", "lf", "lone cr", "caf\xC3\xA9"}));
}

TEST(TextFiles, RefusesWhatIsNotARegularFileWithAReason) {
    TempDir dir;
    std::vector<std::string> lines{"old"};
    std::string error;
    EXPECT_FALSE(readTextFileLines(dir / "missing.txt", lines, &error));
    EXPECT_TRUE(lines.empty());
    EXPECT_NE(error.find("missing.txt"), std::string::npos) << error;
    EXPECT_FALSE(readTextFileLines(dir.path(), lines, &error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
}

#include "compose/identity.h"

#include <gtest/gtest.h>

#include <set>

namespace {

LocalMoment moment(int y, int mo, int d, int h, int mi, int s, int ms,
                   std::optional<int> offset = 60) {
    LocalMoment m;
    m.year = y;
    m.month = mo;
    m.day = d;
    m.hour = h;
    m.minute = mi;
    m.second = s;
    m.millisecond = ms;
    m.utcOffsetMinutes = offset;
    return m;
}

class IdentityTest : public ::testing::Test {
protected:
    void SetUp() override { ResetComposeRunState(); }
    void TearDown() override { ResetComposeRunState(); }
};

TEST_F(IdentityTest, FirstBoundaryOfARunIsFixedBySeedZero) {
    EXPECT_EQ(NewBoundary(), "------------0C34A4256171");
    ResetComposeRunState();
    const TMIME mime;
    EXPECT_EQ(mime.Boundary, "------------0C34A4256171");
    EXPECT_EQ(mime.ContentType, "multipart/mixed; boundary=\"------------0C34A4256171\"");
    EXPECT_EQ(mime.MimeVersion, "1.0");
}

TEST_F(IdentityTest, RandomBelowOneIsZeroButAdvancesTheSeed) {
    const std::uint32_t before = RandomSeed();
    EXPECT_EQ(RandomBelow(1), 0);
    EXPECT_NE(RandomSeed(), before);
    EXPECT_EQ(RandomSeed(), 1u);  // 0 * 134775813 + 1
    EXPECT_EQ(RandomBelow(1), 0);
    EXPECT_EQ(RandomSeed(), 134775814u);
    // A nonsensical bound never divides by zero or leaves the range.
    EXPECT_EQ(RandomBelow(0), 0);
    EXPECT_EQ(RandomBelow(-5), 0);
}

TEST_F(IdentityTest, RandomBelowStaysInRange) {
    for (int i = 0; i < 1000; ++i) {
        const int v = RandomBelow(7);
        ASSERT_GE(v, 0);
        ASSERT_LT(v, 7);
    }
}

TEST_F(IdentityTest, TimeZoneSuffixes) {
    const struct {
        std::optional<int> offset;
        const char* suffix;
    } cases[] = {
        {-300, " -0500"}, {330, " +0530"},  {0, " +0000"},
        {60, " +0100"},   {-570, " -0930"}, {std::nullopt, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TimeZoneSuffix(moment(2026, 1, 1, 0, 0, 0, 0, c.offset)), c.suffix);
}

TEST_F(IdentityTest, DateValue) {
    EXPECT_EQ(DateValue(moment(2026, 12, 5, 12, 4, 44, 500)), "05 Dec 26 12:04:44 +0100");
    EXPECT_EQ(DateValue(moment(2005, 1, 31, 0, 0, 9, 0, std::nullopt)), "31 Jan 05 00:00:09");
    EXPECT_EQ(DateValue(moment(1999, 7, 4, 23, 59, 59, 999, -240)), "04 Jul 99 23:59:59 -0400");
}

TEST_F(IdentityTest, MessageIdOfTheExampleMoment) {
    ComposeEnvironment env;
    env.now = [] { return moment(2026, 12, 5, 12, 4, 44, 500); };
    env.hostName = "news.example.org";
    EXPECT_EQ(NewMessageId(env), "<b519.a9dc.1f4@news.example.org>");
}

TEST_F(IdentityTest, MessageIdAtMidnightAndDayCount) {
    EXPECT_EQ(DaysSince18991230(moment(1899, 12, 30, 0, 0, 0, 0)), 0);
    EXPECT_EQ(DaysSince18991230(moment(1900, 3, 1, 0, 0, 0, 0)), 61);
    EXPECT_EQ(MessageIdLocalPart(moment(2000, 1, 1, 0, 0, 0, 0)), "8eae.0.0");
}

TEST_F(IdentityTest, MessageIdsOfOneRunNeverRepeat) {
    // The clock standing still, then going back: every ID still differs, in the same format.
    const LocalMoment still = moment(2026, 12, 5, 12, 4, 44, 500);
    EXPECT_EQ(MessageIdLocalPart(still), "b519.a9dc.1f4");
    EXPECT_EQ(MessageIdLocalPart(still), "b519.a9dc.1f5");
    EXPECT_EQ(MessageIdLocalPart(moment(2026, 12, 5, 12, 4, 43, 0)), "b519.a9dc.1f6");
    // A later moment is used as it is.
    EXPECT_EQ(MessageIdLocalPart(moment(2026, 12, 5, 12, 4, 45, 0)), "b519.a9dd.0");

    ComposeEnvironment env;
    env.now = [] { return moment(2026, 1, 2, 3, 4, 5, 6); };
    std::set<std::string> ids;
    for (int i = 0; i < 2000; ++i)
        ids.insert(NewMessageId(env));
    EXPECT_EQ(ids.size(), 2000u);
}

TEST_F(IdentityTest, HostPartKeepsOnlyMessageIdCharacters) {
    EXPECT_EQ(MessageIdHostPart("my_pc"), "my_pc");
    EXPECT_EQ(MessageIdHostPart("news.example-1.org"), "news.example-1.org");
    EXPECT_EQ(MessageIdHostPart("my pc"), "my_pc");
    EXPECT_EQ(MessageIdHostPart("a@b<c>d\r\ne"), "a_b_c_d__e");
    EXPECT_EQ(MessageIdHostPart("caf\xC3\xA9"), "caf__");
    EXPECT_EQ(MessageIdHostPart(""), "lunet");
}

}  // namespace

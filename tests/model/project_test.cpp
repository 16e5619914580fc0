#include "model/project.h"

#include <gtest/gtest.h>

TEST(Project, ANewRecordIsEmptyAndTheFirstStartDefaultIsUsable) {
    const TProject fresh;
    EXPECT_EQ(fresh.Name, "");
    EXPECT_EQ(fresh.Server.HostName, "");
    EXPECT_TRUE(fresh.Newsgroups.empty());
    EXPECT_TRUE(fresh.Body.empty());
    EXPECT_FALSE(fresh.Crosspost);  // one article per newsgroup
    EXPECT_FALSE(fresh.PostSeparateMessageForEachAttachedFile);
    EXPECT_EQ(fresh.EncodingMethod, kEncodingUUEncode);
    EXPECT_EQ(fresh.CrosspostingLimit, 0);

    const TProject d = TProject::FirstStartDefault();
    EXPECT_EQ(d.Name, "Default");
    EXPECT_TRUE(d.PostSeparateMessageForEachAttachedFile);
    EXPECT_TRUE(d.Crosspost);
    EXPECT_FALSE(d.LimitCrossposting);
    EXPECT_EQ(d.CrosspostingLimit, 10);
    EXPECT_EQ(d.SplitLines, 1000);
    EXPECT_FALSE(d.SplitLargeMessages);
    EXPECT_EQ(d.EncodingMethod, kEncodingUUEncode);
    EXPECT_EQ(d.Subject, "");
}

TEST(Project, NewsgroupsFollowTheirText) {
    struct Case {
        const char* text;
        std::vector<std::string> groups;
    };
    const Case cases[] = {
        {"alt.test\r\nmisc.test\r\n", {"alt.test", "misc.test"}},
        {"alt.test\r\nmisc.test", {"alt.test", "misc.test"}},
        {"alt.test\nmisc.test\r", {"alt.test", "misc.test"}},
        {"", {}},
    };
    TProject p;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        p.SetNewsgroupsText(c.text);
        EXPECT_EQ(p.NewsgroupsText(), c.text);
        EXPECT_EQ(p.Newsgroups, c.groups);
    }
}

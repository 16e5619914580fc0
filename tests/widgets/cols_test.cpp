#include "widgets/cols.h"

#include <gtest/gtest.h>

TEST(Cols, ReadsAndRewritesTheColumnLines) {
    TCols cols;
    int changes = 0;
    cols.OnChange = [&] { ++changes; };
    ASSERT_EQ(cols.Count(), 1);
    EXPECT_EQ(cols.Title(0), QStringLiteral("Column 1"));

    cols.SetColumns({QStringLiteral("Group;35;0;0"), QStringLiteral("Posts;60"),
                     QStringLiteral("Date;-4;2;1")});
    cols.Add(QStringLiteral("Size"), 50, 1, 2);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(cols.Columns().last(), QStringLiteral("Size;50;1;2"));

    struct Case {
        int i;
        QString title;
        int width, valign, halign;
    } cases[] = {
        {0, QStringLiteral("Group"), 35, 0, 0},
        {1, QStringLiteral("Posts"), 60, 0, 0},
        {2, QStringLiteral("Date"), 0, 2, 1},
        {3, QStringLiteral("Size"), 50, 1, 2},
        {4, QStringLiteral("Error: Column not assigned!"), 0, 0, 0},
        {-1, QStringLiteral("Error: Column not assigned!"), 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cols.Title(c.i), c.title) << c.i;
        EXPECT_EQ(cols.Width(c.i), c.width) << c.i;
        EXPECT_EQ(cols.VAlign(c.i), c.valign) << c.i;
        EXPECT_EQ(cols.HAlign(c.i), c.halign) << c.i;
    }

    EXPECT_EQ(cols.Alignment(2), Qt::AlignHCenter | Qt::AlignBottom);
    EXPECT_EQ(cols.Alignment(3), Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(cols.Alignment(0), Qt::AlignLeft | Qt::AlignTop);

    // A line without alignments gets them; titles and alignments are kept.
    cols.SetWidth(1, 80);
    cols.SetWidth(2, 10);
    cols.SetWidth(9, 10);
    EXPECT_EQ(cols.Columns().at(1), QStringLiteral("Posts;80;0;0"));
    EXPECT_EQ(cols.Columns().at(2), QStringLiteral("Date;10;2;1"));
    EXPECT_EQ(changes, 4);

    // A title is text, even where it looks like a placeholder.
    cols.Add(QStringLiteral("% of %1"), 20, 2, 1);
    cols.SetWidth(4, 30);
    EXPECT_EQ(cols.Columns().at(4), QStringLiteral("% of %1;30;2;1"));
    EXPECT_EQ(cols.Title(4), QStringLiteral("% of %1"));
}

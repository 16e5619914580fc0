#include "widgets/selections.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

// Every selected row in SelectedItem order, read through SelectedItem itself.
std::vector<int> selectedOrder(const TSelections& s) {
    std::vector<int> rows;
    for (int k = 1; k <= s.SelectedCount(); ++k)
        rows.push_back(s.SelectedItem(k));
    return rows;
}

void fillToCapacity(TSelections& s) {
    // Rows 0, 2, 4, ... never touch, so each takes a range of its own.
    for (int i = 0; s.RangeCount() < TSelections::MaxRanges; ++i)
        ASSERT_TRUE(s.SelectRange(2 * i, 1));
}

}  // namespace

TEST(Selections, KeepsRangesInTheOrderAddedAndMergesWhereTheyTouch) {
    struct Case {
        std::string name;
        std::function<void(TSelections&)> ops;
        std::vector<TRowRange> ranges;
        std::vector<int> order;
    } cases[] = {
        {"added order, not sorted",
         [](TSelections& s) {
             s.SelectRange(9, 1);
             s.SelectRange(4, 1);
         },
         {{9, 1}, {4, 1}},
         {9, 4}},
        {"touching ranges become one",
         [](TSelections& s) {
             s.SelectRange(3, 3);
             s.SelectRange(6, 3);
         },
         {{3, 6}},
         {3, 4, 5, 6, 7, 8}},
        {"a bridge joins two ranges in the place of the older",
         [](TSelections& s) {
             s.SelectRange(20, 1);
             s.SelectRange(10, 3);
             s.SelectRange(1, 2);
             s.SelectRange(3, 7);
         },
         {{20, 1}, {1, 12}},
         {20, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        {"overlap inside an existing range changes nothing",
         [](TSelections& s) {
             s.SelectRange(0, 10);
             s.SelectRange(2, 3);
         },
         {{0, 10}},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"deselecting inside splits, the tail right after the head",
         [](TSelections& s) {
             s.SelectRange(0, 6);
             s.SelectRange(40, 1);
             s.DeselectRow(2);
         },
         {{0, 2}, {3, 3}, {40, 1}},
         {0, 1, 3, 4, 5, 40}},
        {"deselecting the ends shortens, a lone row goes",
         [](TSelections& s) {
             s.SelectRange(5, 4);
             s.SelectRange(30, 1);
             s.DeselectRow(5);
             s.DeselectRow(8);
             s.DeselectRow(30);
             s.DeselectRow(99);
         },
         {{6, 2}},
         {6, 7}},
        {"toggle adds and removes single rows",
         [](TSelections& s) {
             s.Toggle(7);
             s.Toggle(3);
             s.Toggle(7);
             s.Toggle(4);
         },
         {{3, 2}},
         {3, 4}},
        {"empty and negative requests are refused",
         [](TSelections& s) {
             EXPECT_FALSE(s.SelectRange(5, 0));
             EXPECT_FALSE(s.SelectRange(-1, 3));
         },
         {},
         {}},
        {"truncate drops rows past a shorter list",
         [](TSelections& s) {
             s.SelectRange(8, 4);
             s.SelectRange(2, 2);
             s.SelectRange(20, 3);
             s.Truncate(10);
         },
         {{8, 2}, {2, 2}},
         {8, 9, 2, 3}},
    };
    for (const auto& c : cases) {
        TSelections s;
        c.ops(s);
        EXPECT_EQ(s.Ranges(), c.ranges) << c.name;
        EXPECT_EQ(selectedOrder(s), c.order) << c.name;
        EXPECT_EQ(s.SelectedItem(0), -1) << c.name;
        EXPECT_EQ(s.SelectedItem(s.SelectedCount() + 1), -1) << c.name;
    }
}

TEST(Selections, HugeRangesStayOneRangeAndNeverOverflow) {
    TSelections s;
    ASSERT_TRUE(s.SelectRange(0, 50000));
    EXPECT_EQ(s.RangeCount(), 1);
    EXPECT_EQ(s.SelectedCount(), 50000);

    s.Clear();
    ASSERT_TRUE(s.SelectRange(0, INT_MAX));
    EXPECT_EQ(s.SelectedCount(), INT_MAX);
    EXPECT_EQ(s.SelectedItem(INT_MAX), INT_MAX - 1);
    EXPECT_TRUE(s.IsSelected(INT_MAX - 1));
    ASSERT_TRUE(s.DeselectRow(INT_MAX - 1));
    EXPECT_FALSE(s.IsSelected(INT_MAX - 1));

    s.Clear();
    ASSERT_TRUE(s.SelectRange(INT_MAX - 3, 100));
    EXPECT_EQ(s.Ranges(), (std::vector<TRowRange>{{INT_MAX - 3, 3}}));
}

TEST(Selections, AtCapacityNothingChangesAndTheFailureIsReported) {
    TSelections s;
    std::vector<int> deselected;
    s.OnDeSelect = [&](int row) { deselected.push_back(row); };
    s.SelectRange(100000, 5);  // rows 100000..100004, a range to split later
    fillToCapacity(s);
    ASSERT_EQ(s.RangeCount(), TSelections::MaxRanges);
    const auto before = s.Ranges();

    EXPECT_FALSE(s.SelectRange(50001, 1));
    EXPECT_FALSE(s.Toggle(50001));
    // Splitting would need a range more: the row stays selected, as the list shows it.
    EXPECT_FALSE(s.DeselectRow(100002));
    EXPECT_FALSE(s.Toggle(100002));
    EXPECT_TRUE(s.IsSelected(100002));
    EXPECT_EQ(s.Ranges(), before);
    EXPECT_TRUE(deselected.empty());

    // Shortening a range needs no new one and still works.
    EXPECT_TRUE(s.DeselectRow(100004));
    EXPECT_EQ(deselected, std::vector<int>{100004});
}

TEST(Selections, ProtectedRowsAreTakenOutAndOnlyRealChangesAreNotified) {
    TSelections s;
    std::vector<int> selected, deselected, repainted;
    s.OnIsProtected = [](int row) { return row == 3 || row == 5; };
    s.OnSelect = [&](int row) { selected.push_back(row); };
    s.OnDeSelect = [&](int row) { deselected.push_back(row); };
    s.OnInvalidate = [&](int first, int count) {
        repainted.insert(repainted.end(), {first, count});
    };

    ASSERT_TRUE(s.SelectRange(2, 5));
    EXPECT_EQ(selectedOrder(s), (std::vector<int>{2, 4, 6}));
    EXPECT_EQ(selected, (std::vector<int>{2, 4, 6}));
    EXPECT_TRUE(deselected.empty());
    EXPECT_EQ(repainted, (std::vector<int>{2, 5}));

    ASSERT_TRUE(s.SelectRange(10, 2, /*Notify=*/false, /*Repaint=*/false));
    EXPECT_EQ(selected.size(), 3u);
    EXPECT_EQ(repainted.size(), 2u);

    s.Clear();
    EXPECT_EQ(deselected, (std::vector<int>{2, 4, 6, 10, 11}));
    EXPECT_EQ(s.SelectedCount(), 0);
}

#include "widgets/vlistbox.h"

#include "support/gui_test.h"
#include "support/wait.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int RowH = 16;
constexpr int ShownRows = 10;

// One user action on the list: a click, press, move or release on a row, or a key.
struct Step {
    enum Kind { Click, Press, Move, Release, Key } kind;
    int arg;  // the row, or the key
    Qt::KeyboardModifiers mods = Qt::NoModifier;
};

constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;

class VListBox : public ::testing::Test {
protected:
    void SetUp() override {
        list = std::make_unique<TVListBox>();
        list->setObjectName(QStringLiteral("lstNewsgroups"));
        list->SetRowHeight(RowH);
        list->resize(260, list->HeaderSize() + RowH * ShownRows + 2 * list->frameWidth());
        list->OnGetItem = [this](TVListBox*, int Index, int Col, QString& Strg, TOwnerDrawState,
                                 QFont&, QColor&, QColor&) {
            asked.insert({Index, Col});
            Strg = TVListBox::ItemOf(items, Index);
        };
        setRows(100);
        showAndWait(list.get());
        ASSERT_EQ(list->VisibleRows(), ShownRows);
    }

    void setRows(int n) {
        items.clear();
        for (int i = 0; i < n; ++i)
            items << QStringLiteral("alt.test.group%1").arg(i);
        list->SetRowCount(n);
    }

    QWidget* rows() const { return list->viewport(); }

    QPoint at(int row) const {
        const QRect r = list->RowRect(row);
        EXPECT_FALSE(r.isEmpty()) << "row " << row << " not in view";
        return r.center();
    }

    std::vector<int> order() const {
        std::vector<int> rows;
        const TSelections& s = list->Selections();
        for (int k = 1; k <= s.SelectedCount(); ++k)
            rows.push_back(s.SelectedItem(k));
        return rows;
    }

    void run(const std::vector<Step>& steps) {
        for (const Step& s : steps) {
            switch (s.kind) {
                case Step::Click:
                    clickAt(rows(), at(s.arg), s.mods);
                    break;
                case Step::Press:
                    pressAt(rows(), at(s.arg), s.mods);
                    break;
                case Step::Move:
                    dragTo(rows(), at(s.arg), s.mods);
                    break;
                case Step::Release:
                    releaseAt(rows(), at(s.arg), s.mods);
                    break;
                case Step::Key:
                    pressKey(list.get(), Qt::Key(s.arg), s.mods);
                    break;
            }
        }
    }

    QColor colorAt(int row) {
        const QImage image = rows()->grab().toImage();
        return image.pixelColor(list->RowRect(row).left() + 1, list->RowRect(row).center().y());
    }

    std::unique_ptr<TVListBox> list;
    QStringList items;
    std::set<std::pair<int, int>> asked;
};

enum Mode { Single, Extended, Toggling };

struct SelectionCase {
    std::string name;
    Mode mode;
    std::vector<Step> steps;
    std::vector<int> order;
    int itemIndex;
};

void configure(TVListBox& list, Mode mode) {
    list.SetMultiSelect(mode != Single);
    list.SetExtendedSelect(mode == Extended);
}

}  // namespace

TEST_F(VListBox, MouseSelectionFollowsTheRuleForEveryMode) {
    const SelectionCase cases[] = {
        {"single: a click replaces", Single, {{Step::Click, 3}, {Step::Click, 5}}, {5}, 5},
        {"single: modifiers change nothing",
         Single,
         {{Step::Click, 3}, {Step::Click, 6, Shift}, {Step::Click, 1, Ctrl}},
         {1},
         1},
        {"single: a drag follows the pointer",
         Single,
         {{Step::Press, 2}, {Step::Move, 4}, {Step::Release, 4}},
         {4},
         4},
        {"extended: ctrl-click keeps the order of clicks",
         Extended,
         {{Step::Click, 9}, {Step::Click, 4, Ctrl}},
         {9, 4},
         4},
        {"extended: plain click clears", Extended, {{Step::Click, 9}, {Step::Click, 4}}, {4}, 4},
        {"extended: shift-click down",
         Extended,
         {{Step::Click, 2}, {Step::Click, 5, Shift}},
         {2, 3, 4, 5},
         5},
        {"extended: shift-click up",
         Extended,
         {{Step::Click, 5}, {Step::Click, 2, Shift}},
         {2, 3, 4, 5},
         2},
        {"extended: shift moves from the same anchor",
         Extended,
         {{Step::Click, 5}, {Step::Click, 8, Shift}, {Step::Click, 3, Shift}},
         {3, 4, 5},
         3},
        {"extended: ctrl+shift adds a range to the old selection",
         Extended,
         {{Step::Click, 1}, {Step::Click, 7, Ctrl}, {Step::Click, 9, Ctrl | Shift}},
         {1, 7, 8, 9},
         9},
        {"extended: ctrl-click again removes",
         Extended,
         {{Step::Click, 2}, {Step::Click, 8, Ctrl}, {Step::Click, 2, Ctrl}},
         {8},
         2},
        {"extended: shift from an unselected focus moves only the focus",
         Extended,
         {{Step::Click, 3}, {Step::Click, 3, Ctrl}, {Step::Click, 6, Shift}},
         {},
         6},
        {"extended: a drag selects from the pressed row",
         Extended,
         {{Step::Press, 2}, {Step::Move, 4}, {Step::Move, 6}, {Step::Release, 6}},
         {2, 3, 4, 5, 6},
         6},
        {"extended: dragging back above the anchor",
         Extended,
         {{Step::Press, 4}, {Step::Move, 7}, {Step::Move, 1}, {Step::Release, 1}},
         {1, 2, 3, 4},
         1},
        {"extended: a ctrl-drag adds to what was there",
         Extended,
         {{Step::Click, 1},
          {Step::Press, 4, Ctrl},
          {Step::Move, 6, Ctrl},
          {Step::Release, 6, Ctrl}},
         {1, 4, 5, 6},
         6},
        {"extended: a ctrl-drag back above the anchor starts over",
         Extended,
         {{Step::Click, 1},
          {Step::Press, 5, Ctrl},
          {Step::Move, 7, Ctrl},
          {Step::Move, 3, Ctrl},
          {Step::Release, 3, Ctrl}},
         {3, 4, 5},
         3},
        {"toggling: every click toggles",
         Toggling,
         {{Step::Click, 2}, {Step::Click, 5}, {Step::Click, 2}, {Step::Click, 7, Shift}},
         {5, 7},
         7},
        {"toggling: a drag moves only the focus",
         Toggling,
         {{Step::Press, 2}, {Step::Move, 5}, {Step::Release, 5}},
         {2},
         5},
    };
    for (const auto& c : cases) {
        list->Selections().Clear();
        list->SetItemIndex(-1);
        configure(*list, c.mode);
        run(c.steps);
        EXPECT_EQ(order(), c.order) << c.name;
        EXPECT_EQ(list->ItemIndex(), c.itemIndex) << c.name;
    }
}

TEST_F(VListBox, KeysMoveTheFocusAndSelectAsTheModeSays) {
    const SelectionCase cases[] = {
        {"single: down from nothing takes the top row",
         Single,
         {{Step::Key, Qt::Key_Down}},
         {0},
         0},
        {"single: up from nothing takes the top row", Single, {{Step::Key, Qt::Key_Up}}, {0}, 0},
        {"single: page down from nothing goes a page below the top",
         Single,
         {{Step::Key, Qt::Key_PageDown}},
         {ShownRows},
         ShownRows},
        {"single: selection follows the focus",
         Single,
         {{Step::Click, 3}, {Step::Key, Qt::Key_Down}, {Step::Key, Qt::Key_Down}},
         {5},
         5},
        {"single: end, page up, home",
         Single,
         {{Step::Key, Qt::Key_End}, {Step::Key, Qt::Key_PageUp}},
         {99 - ShownRows},
         99 - ShownRows},
        {"single: page up stops at the first row",
         Single,
         {{Step::Click, 4}, {Step::Key, Qt::Key_PageUp}},
         {0},
         0},
        {"single: left and right act as up and down without a horizontal bar",
         Single,
         {{Step::Click, 4},
          {Step::Key, Qt::Key_Right},
          {Step::Key, Qt::Key_Right},
          {Step::Key, Qt::Key_Left}},
         {5},
         5},
        {"extended: shift+down extends from the anchor",
         Extended,
         {{Step::Click, 2}, {Step::Key, Qt::Key_Down, Shift}, {Step::Key, Qt::Key_Down, Shift}},
         {2, 3, 4},
         4},
        {"extended: shift+up past the anchor",
         Extended,
         {{Step::Click, 4},
          {Step::Key, Qt::Key_Down, Shift},
          {Step::Key, Qt::Key_Up, Shift},
          {Step::Key, Qt::Key_Up, Shift}},
         {3, 4},
         3},
        {"extended: an arrow alone selects only the target",
         Extended,
         {{Step::Click, 2}, {Step::Key, Qt::Key_Down, Shift}, {Step::Key, Qt::Key_Down}},
         {4},
         4},
        {"extended: ctrl+arrow moves the focus only",
         Extended,
         {{Step::Click, 2}, {Step::Key, Qt::Key_Down, Ctrl}, {Step::Key, Qt::Key_Down, Ctrl}},
         {2},
         4},
        {"extended: shift+home selects up to the first row",
         Extended,
         {{Step::Click, 3}, {Step::Key, Qt::Key_Home, Shift}},
         {0, 1, 2, 3},
         0},
        {"extended: ctrl+page, ctrl+end and ctrl+home move the focus only",
         Extended,
         {{Step::Click, 2},
          {Step::Key, Qt::Key_PageDown, Ctrl},
          {Step::Key, Qt::Key_End, Ctrl},
          {Step::Key, Qt::Key_PageUp, Ctrl},
          {Step::Key, Qt::Key_Home, Ctrl}},
         {2},
         0},
        {"extended: ctrl+space picks scattered rows, kept in the order picked",
         Extended,
         {{Step::Click, 9},
          {Step::Key, Qt::Key_Up, Ctrl},
          {Step::Key, Qt::Key_Up, Ctrl},
          {Step::Key, Qt::Key_Up, Ctrl},
          {Step::Key, Qt::Key_Up, Ctrl},
          {Step::Key, Qt::Key_Up, Ctrl},
          {Step::Key, Qt::Key_Space, Ctrl},
          {Step::Key, Qt::Key_End, Ctrl},
          {Step::Key, Qt::Key_Space, Ctrl},
          {Step::Key, Qt::Key_Home, Ctrl},
          {Step::Key, Qt::Key_Space, Ctrl}},
         {9, 4, 99, 0},
         0},
        {"extended: ctrl+space on a picked row takes it out",
         Extended,
         {{Step::Click, 2},
          {Step::Key, Qt::Key_Down, Ctrl},
          {Step::Key, Qt::Key_Space, Ctrl},
          {Step::Key, Qt::Key_Up, Ctrl},
          {Step::Key, Qt::Key_Space, Ctrl}},
         {3},
         2},
        {"extended: space selects the focused row, keeps the rest and never deselects",
         Extended,
         {{Step::Click, 2},
          {Step::Key, Qt::Key_Down, Ctrl},
          {Step::Key, Qt::Key_Down, Ctrl},
          {Step::Key, Qt::Key_Space},
          {Step::Key, Qt::Key_Space}},
         {2, 4},
         4},
        {"extended: space with nothing focused takes the top row shown",
         Extended,
         {{Step::Key, Qt::Key_Space}},
         {0},
         0},
        {"extended: ctrl+shift+arrow extends from a ctrl+space pick and keeps the rest",
         Extended,
         {{Step::Click, 2},
          {Step::Key, Qt::Key_Down, Ctrl},
          {Step::Key, Qt::Key_Down, Ctrl},
          {Step::Key, Qt::Key_Down, Ctrl},
          {Step::Key, Qt::Key_Space, Ctrl},
          {Step::Key, Qt::Key_Down, Ctrl | Shift}},
         {2, 5, 6},
         6},
        {"single: space changes nothing",
         Single,
         {{Step::Click, 3}, {Step::Key, Qt::Key_Space}, {Step::Key, Qt::Key_Space, Ctrl}},
         {3},
         3},
        {"toggling: arrows keep the selection, space toggles",
         Toggling,
         {{Step::Click, 2},
          {Step::Key, Qt::Key_Down},
          {Step::Key, Qt::Key_Down},
          {Step::Key, Qt::Key_Space},
          {Step::Key, Qt::Key_Up},
          {Step::Key, Qt::Key_Up},
          {Step::Key, Qt::Key_Space}},
         {4},
         2},
    };
    for (const auto& c : cases) {
        list->Selections().Clear();
        list->SetItemIndex(-1);
        list->SetTopRow(1);
        configure(*list, c.mode);
        run(c.steps);
        EXPECT_EQ(order(), c.order) << c.name;
        EXPECT_EQ(list->ItemIndex(), c.itemIndex) << c.name;
    }
}

TEST_F(VListBox, KeysThatWouldNotMoveDoNothing) {
    QSignalSpy changes(list.get(), &TVListBox::OnChange);
    clickAt(rows(), at(0));
    pressKey(list.get(), Qt::Key_Up);
    pressKey(list.get(), Qt::Key_Home);
    pressKey(list.get(), Qt::Key_PageUp);
    EXPECT_EQ(changes.count(), 1);
    pressKey(list.get(), Qt::Key_End);
    pressKey(list.get(), Qt::Key_Down);
    pressKey(list.get(), Qt::Key_End);
    pressKey(list.get(), Qt::Key_PageDown);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_EQ(list->ItemIndex(), 99);
}

TEST_F(VListBox, WithNothingFocusedKeysStartFromTheTopRowShownOrTheFirstPage) {
    configure(*list, Single);
    const struct {
        Qt::Key key;
        int row;
    } cases[] = {
        {Qt::Key_Up, 29},
        {Qt::Key_Down, 29},
        {Qt::Key_PageUp, 29},
        // Page Down counts its page from the first row of the list, not from the view.
        {Qt::Key_PageDown, ShownRows},
    };
    for (const auto& c : cases) {
        list->Selections().Clear();
        list->SetItemIndex(-1);
        list->SetTopRow(30);
        pressKey(list.get(), c.key);
        EXPECT_EQ(list->ItemIndex(), c.row) << c.key;
        EXPECT_EQ(order(), std::vector<int>{c.row}) << c.key;
        EXPECT_FALSE(list->RowRect(c.row).isEmpty()) << c.key;
    }
}

TEST_F(VListBox, ProtectedRowsAreNeverSelected) {
    list->OnIsProtected = [](TVListBox*, int Index, bool& Protect) {
        Protect = Index == 3 || Index == 4;
    };
    configure(*list, Extended);
    run({{Step::Click, 1}, {Step::Click, 6, Shift}});
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 5, 6}));
    // A protected focused row still anchors a shift-click.
    run({{Step::Click, 3}, {Step::Click, 5, Shift}});
    EXPECT_EQ(order(), (std::vector<int>{5}));
    EXPECT_EQ(list->ItemIndex(), 5);
}

TEST_F(VListBox, TypedCharactersAskTheOwnerForTheRow) {
    configure(*list, Single);
    QString pressed;
    list->OnCharToItem = [&](TVListBox*, QChar PressedChar, int& Index) {
        pressed += PressedChar;
        if (PressedChar == QLatin1Char('g'))
            Index = 42;
    };
    typeText(list.get(), QStringLiteral("x7g"));
    EXPECT_EQ(pressed, QStringLiteral("x7g"));
    EXPECT_EQ(list->ItemIndex(), 42);
    EXPECT_EQ(order(), std::vector<int>{42});
    EXPECT_FALSE(list->RowRect(42).isEmpty());
}

TEST_F(VListBox, ShiftEndOverFiftyThousandRowsStoresOneRange) {
    setRows(50000);
    configure(*list, Extended);
    clickAt(rows(), at(0));
    pressKey(list.get(), Qt::Key_End, Shift);
    EXPECT_EQ(list->Selections().RangeCount(), 1);
    EXPECT_EQ(list->Selections().SelectedCount(), 50000);
    EXPECT_EQ(list->ItemIndex(), 49999);
}

TEST_F(VListBox, AFullRangeArrayRefusesAndTheScreenShowsWhatIsSelected) {
    configure(*list, Extended);
    TSelections& s = list->Selections();
    s.SelectRange(20, 5);  // rows 20..24 on screen later
    for (int i = 0; s.RangeCount() < TSelections::MaxRanges; ++i)
        s.SelectRange(1000 + 2 * i, 1);
    QSignalSpy refused(list.get(), &TVListBox::OnCannotSelect);

    clickAt(rows(), at(3), Ctrl);
    EXPECT_EQ(refused.count(), 1);
    EXPECT_FALSE(s.IsSelected(3));

    // Taking row 22 out would split its range: it stays selected, on screen as well.
    list->SetTopRow(15);
    const QColor highlight = list->palette().color(QPalette::Active, QPalette::Highlight);
    clickAt(rows(), at(22), Ctrl);
    EXPECT_EQ(refused.count(), 2);
    EXPECT_TRUE(s.IsSelected(22));
    EXPECT_EQ(colorAt(22), highlight);
    EXPECT_NE(colorAt(19), highlight);
    EXPECT_EQ(s.SelectedCount(), 5 + TSelections::MaxRanges - 1);
}

TEST_F(VListBox, ZeroRowsIsTheDefaultAndAnEmptiedListHasNothingToSelect) {
    TVListBox fresh;
    EXPECT_EQ(fresh.RowCount(), 0);
    EXPECT_EQ(fresh.ItemIndex(), -1);

    configure(*list, Extended);
    run({{Step::Click, 2}, {Step::Click, 5, Shift}});
    ASSERT_EQ(list->Selections().SelectedCount(), 4);
    items.clear();
    list->SetRowCount(0);
    EXPECT_EQ(list->RowCount(), 0);
    EXPECT_EQ(list->Selections().SelectedCount(), 0);
    EXPECT_EQ(list->ItemIndex(), -1);

    asked.clear();
    clickAt(rows(), QPoint(10, 10));
    pressKey(list.get(), Qt::Key_Down);
    pressKey(list.get(), Qt::Key_End, Shift);
    rows()->repaint();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(list->Selections().SelectedCount(), 0);
    EXPECT_EQ(list->ItemIndex(), -1);

    list->SetRowCount(-5);
    EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(VListBox, PaintingAsksOnlyForRowsThatExist) {
    list->Columns().SetColumns({QStringLiteral("Group;120;0;0"), QStringLiteral("Count;60;1;2")});
    list->SetRowCount(5);  // the owner's list still has 100 lines
    asked.clear();
    rows()->repaint();
    std::set<std::pair<int, int>> expected;
    for (int i = 0; i < 5; ++i)
        expected.insert({{i, 1}, {i, 2}});
    EXPECT_EQ(asked, expected);

    // The owner shortened its list before it set the row count: lookups give empty text.
    items = items.mid(0, 2);
    list->SetRowCount(8);
    asked.clear();
    rows()->repaint();
    EXPECT_EQ(asked.size(), 16u);
    EXPECT_EQ(TVListBox::ItemOf(items, 7), QString());
    EXPECT_EQ(TVListBox::ItemOf(items, -1), QString());
}

TEST_F(VListBox, ShrinkingBelowTheFocusResetsItAndGrowingKeepsTheTopRow) {
    list->SetItemIndex(80);
    const int top = list->TopRow();
    ASSERT_GT(top, 1);
    list->SetRowCount(200);
    EXPECT_EQ(list->TopRow(), top);
    EXPECT_EQ(list->ItemIndex(), 80);
    list->SetRowCount(50);
    EXPECT_EQ(list->ItemIndex(), -1);
    EXPECT_EQ(list->TopRow(), 1);
    list->SetItemIndex(50);
    EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(VListBox, TheScrollBarMapsAnyRowCountOntoItsFixedRange) {
    QScrollBar* bar = list->verticalScrollBar();
    setRows(0);
    for (const int n : {0, 1, ShownRows}) {
        list->SetRowCount(n);
        list->SetTopRow(5);
        EXPECT_EQ(list->TopRow(), 1) << n;
        EXPECT_EQ(bar->value(), 0) << n;
        EXPECT_FALSE(bar->isVisible()) << n;
    }
    list->SetAlwaysVScrollbar(true);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(bar->isEnabled());

    list->SetRowCount(100000);
    EXPECT_TRUE(bar->isEnabled());
    list->SetTopRow(50000);
    EXPECT_NEAR(bar->value(), 15000, 1);

    bar->setValue(30000);
    EXPECT_EQ(list->TopRow(), 100000 - ShownRows + 1);
    bar->setValue(0);
    EXPECT_EQ(list->TopRow(), 1);
}

TEST_F(VListBox, ScrollBarStepsMoveByRowsWhateverTheRowCount) {
    QScrollBar* bar = list->verticalScrollBar();
    list->SetRowCount(100000000);
    list->SetTopRow(1000);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(list->TopRow(), 1001);
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(list->TopRow(), 1001 + ShownRows);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(list->TopRow(), 1000 + ShownRows);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    // The last row is in full view at the bottom.
    EXPECT_EQ(list->TopRow(), 100000000 - ShownRows + 1);
    EXPECT_EQ(list->RowRect(99999999).bottom(), rows()->height() - 1 - rows()->height() % RowH);

    // The largest row count: a row far below the view is simply not in it.
    list->SetRowCount(INT_MAX);
    list->SetTopRow(1);
    EXPECT_TRUE(list->RowRect(INT_MAX - 1).isEmpty());
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_FALSE(list->RowRect(INT_MAX - 1).isEmpty());
    EXPECT_TRUE(list->RowRect(0).isEmpty());
}

TEST_F(VListBox, TheViewFollowsTheThumbOnlyWhenTrackingIsOn) {
    QScrollBar* bar = list->verticalScrollBar();
    for (const bool track : {false, true}) {
        list->SetVScrollTrack(track);
        list->SetTopRow(1);
        bar->setSliderDown(true);
        bar->setSliderPosition(15000);
        EXPECT_EQ(list->TopRow() != 1, track) << track;
        bar->setSliderDown(false);
        EXPECT_NEAR(list->TopRow(), 46, 1) << track;
    }
}

TEST_F(VListBox, TheEndKeyBringsTheLastRowFullyIntoView) {
    for (const int extra : {0, RowH / 2}) {
        list->resize(list->width(),
                     list->HeaderSize() + RowH * ShownRows + 2 * list->frameWidth() + extra);
        list->SetItemIndex(-1);
        list->SetTopRow(1);
        clickAt(rows(), at(0));
        pressKey(list.get(), Qt::Key_End);
        const QRect last = list->RowRect(99);
        ASSERT_FALSE(last.isEmpty()) << extra;
        EXPECT_LE(last.bottom(), rows()->height() - 1) << extra;
    }
}

TEST_F(VListBox, DraggingPastTheEdgeScrollsOnATimerUntilRelease) {
    configure(*list, Extended);
    pressAt(rows(), at(2));
    // Three rows below the area: four rows per tick.
    dragTo(rows(), QPoint(10, rows()->height() + 3 * RowH + 1));
    ASSERT_TRUE(waitFor([&] { return list->ItemIndex() >= 30; }));
    const int reached = list->ItemIndex();
    EXPECT_EQ((reached - 2) % 4, 0);
    EXPECT_EQ(list->Selections().SelectedCount(), reached - 1);
    EXPECT_EQ(list->Selections().SelectedItem(1), 2);
    EXPECT_FALSE(list->RowRect(reached).isEmpty());

    releaseAt(rows(), QPoint(10, rows()->height() + 3 * RowH + 1));
    QSignalSpy changes(list.get(), &TVListBox::OnChange);
    EXPECT_FALSE(changes.wait(4 * TVListBox::AutoScrollInterval));

    // Upwards it stops at the first row.
    pressAt(rows(), at(list->TopRow() + 1));
    dragTo(rows(), QPoint(10, -40));
    ASSERT_TRUE(waitFor([&] { return list->ItemIndex() == 0; }));
    releaseAt(rows(), QPoint(10, -40));
}

TEST_F(VListBox, ClicksAndDoubleClicksAreReported) {
    QSignalSpy clicks(list.get(), &TVListBox::OnClick);
    QSignalSpy doubles(list.get(), &TVListBox::OnDblClick);
    clickAt(rows(), at(1));
    doubleClickAt(rows(), at(1));
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_GE(clicks.count(), 1);
    EXPECT_TRUE(list->hasFocus());
}

TEST_F(VListBox, HeaderClicksChooseTheSortColumnOnlyWhenOneIsInUse) {
    list->Columns().SetColumns({QStringLiteral("Group;100;0;0"), QStringLiteral("Posts;60;0;2"),
                                QStringLiteral("Date;60;0;0")});
    QWidget* header = findControl<QWidget>(list.get(), QStringLiteral("header"));
    QSignalSpy sectionClicks(list.get(), &TVListBox::OnHeaderSectionClick);
    QSignalSpy indexChanges(list.get(), &TVListBox::OnHeaderIndexChanged);

    clickAt(header, QPoint(130, 10));
    EXPECT_EQ(sectionClicks.count(), 0);
    EXPECT_EQ(list->HeaderSortedIndex(), -1);

    list->SetHeaderSortedIndex(1);
    clickAt(header, QPoint(130, 10));
    ASSERT_EQ(sectionClicks.count(), 1);
    EXPECT_EQ(sectionClicks.at(0).at(0).toInt(), 2);
    EXPECT_EQ(list->HeaderSortedIndex(), 2);
    EXPECT_EQ(indexChanges.count(), 2);

    pressKey(list.get(), Qt::Key_Right, Shift);
    pressKey(list.get(), Qt::Key_Right, Shift);
    EXPECT_EQ(list->HeaderSortedIndex(), 3);
    for (int i = 0; i < 4; ++i)
        pressKey(list.get(), Qt::Key_Left, Shift);
    EXPECT_EQ(list->HeaderSortedIndex(), 1);

    for (const int invalid : {0, 4, -2}) {
        list->SetHeaderSortedIndex(invalid);
        EXPECT_EQ(list->HeaderSortedIndex(), 1) << invalid;
    }
}

TEST_F(VListBox, DraggingAHeaderBorderSizesTheColumn) {
    QWidget* header = findControl<QWidget>(list.get(), QStringLiteral("header"));
    for (const bool immediate : {false, true}) {
        list->Columns().SetColumns({QStringLiteral("Group;100;0;0"), QStringLiteral("Flag;0;0;0"),
                                    QStringLiteral("Hidden;0;0;0"), QStringLiteral("Date;60;0;0")});
        list->SetChangeColsImmediate(immediate);
        QSignalSpy changed(list.get(), &TVListBox::OnHeaderChanged);
        // The border at 100 hides two empty columns; the last of them is pulled open.
        drag(header, QPoint(101, 10), QPoint(141, 10));
        EXPECT_EQ(list->Columns().Width(0), 100) << immediate;
        EXPECT_EQ(list->Columns().Width(1), 0) << immediate;
        EXPECT_EQ(list->Columns().Width(2), 40) << immediate;
        EXPECT_EQ(changed.count() > 1, immediate) << immediate;
        EXPECT_GE(changed.count(), 1) << immediate;

        // Never below zero.
        drag(header, QPoint(140, 10), QPoint(20, 10));
        EXPECT_EQ(list->Columns().Width(2), 0) << immediate;
    }
}

TEST_F(VListBox, TheSplitCursorShowsOnlyWhereAColumnCanBeSized) {
    list->Columns().SetColumns({QStringLiteral("Group;100;0;0"), QStringLiteral("Date;60;0;0")});
    QWidget* header = findControl<QWidget>(list.get(), QStringLiteral("header"));
    auto hover = [&](int x) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 10), header->mapToGlobal(QPointF(x, 10)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header, &move);
        return header->cursor().shape();
    };
    EXPECT_EQ(hover(98), Qt::SplitHCursor);
    EXPECT_EQ(hover(102), Qt::SplitHCursor);
    EXPECT_EQ(hover(50), Qt::ArrowCursor);
    EXPECT_EQ(hover(160), Qt::ArrowCursor);  // the last column has no border to drag

    list->SetHeaderAllowSizing(false);
    EXPECT_EQ(hover(100), Qt::ArrowCursor);
    drag(header, QPoint(100, 10), QPoint(140, 10));
    EXPECT_EQ(list->Columns().Width(0), 100);
}

TEST_F(VListBox, ColumnsWiderThanTheViewScrollSideways) {
    QScrollBar* hbar = list->horizontalScrollBar();
    EXPECT_FALSE(hbar->isVisible());
    // A bar kept in view while the columns fit still owns the sideways keys: they move no row.
    list->SetAlwaysHScrollbar(true);
    ASSERT_TRUE(hbar->isVisible());
    ASSERT_FALSE(hbar->isEnabled());
    clickAt(rows(), at(4));
    pressKey(list.get(), Qt::Key_Right);
    pressKey(list.get(), Qt::Key_Left);
    pressKey(list.get(), Qt::Key_Left);
    EXPECT_EQ(list->ItemIndex(), 4);
    EXPECT_EQ(list->HOffset(), 0);
    list->SetAlwaysHScrollbar(false);
    ASSERT_FALSE(hbar->isVisible());
    list->Columns().SetColumns({QStringLiteral("Group;200;0;0"), QStringLiteral("Posts;600;0;0")});
    ASSERT_TRUE(hbar->isVisible());
    clickAt(rows(), at(4));
    pressKey(list.get(), Qt::Key_Right);
    EXPECT_EQ(list->HOffset(), 1);
    EXPECT_EQ(list->ItemIndex(), 4);
    pressKey(list.get(), Qt::Key_Right, Ctrl);
    EXPECT_EQ(list->HOffset(), 1 + rows()->width() * 9 / 10);
    pressKey(list.get(), Qt::Key_Left, Ctrl);
    pressKey(list.get(), Qt::Key_Left, Ctrl);
    EXPECT_EQ(list->HOffset(), 0);
    EXPECT_EQ(list->TotalWidth(), 800);
}

TEST_F(VListBox, OwnerDrawnCellsAndRowColours) {
    configure(*list, Extended);
    list->OnGetItem = [](TVListBox*, int Index, int, QString& Strg, TOwnerDrawState, QFont&,
                         QColor&, QColor& BGColor) {
        Strg = QString::number(Index);
        if (Index == 1)
            BGColor = Qt::yellow;
    };
    std::vector<int> drawnCols;
    list->OnDrawItem = [&](TVListBox*, QPainter* Canvas, const QRect& Rect, int Index, int Col,
                           TOwnerDrawState State, bool& DrawStandard) {
        drawnCols.push_back(Col);
        if (Index == 2) {
            Canvas->fillRect(Rect, Qt::green);
            DrawStandard = false;
        }
        EXPECT_EQ(bool(State & odSelected), Index == 4);
    };
    list->SetOwnerDraw(true);
    clickAt(rows(), at(4));
    EXPECT_EQ(colorAt(1), QColor(Qt::yellow));
    EXPECT_EQ(colorAt(2), QColor(Qt::green));
    EXPECT_EQ(colorAt(4), list->palette().color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(colorAt(5), list->palette().color(QPalette::Active, QPalette::Base));
    EXPECT_EQ(drawnCols.front(), 1);
}

TEST_F(VListBox, RightAlignedTextsOfTheLastColumnLineUpAtTheLongestOne) {
    list->Columns().SetColumns({QStringLiteral("Posts;50;0;2")});
    const QString texts[] = {QStringLiteral("7"), QString(80, QLatin1Char('W')),
                             QStringLiteral("12345")};
    list->OnGetItem = [&](TVListBox*, int Index, int, QString& Strg, TOwnerDrawState, QFont&,
                          QColor&, QColor&) { Strg = Index < 3 ? texts[Index] : QString(); };
    std::map<int, QRect> drawn;
    list->OnDrawItem = [&](TVListBox*, QPainter*, const QRect& Rect, int Index, int,
                           TOwnerDrawState, bool&) { drawn[Index] = Rect; };
    list->SetOwnerDraw(true);
    rows()->repaint();  // the first pass meets the longest text
    drawn.clear();
    rows()->repaint();
    ASSERT_EQ(drawn.count(2), 1u);
    EXPECT_GT(drawn[1].right(), rows()->width());
    EXPECT_EQ(drawn[0].right(), drawn[1].right());
    EXPECT_EQ(drawn[2].right(), drawn[1].right());
}

TEST_F(VListBox, APictureShowsHeaderSelectionAndScrollBars) {
    configure(*list, Extended);
    list->Columns().SetColumns({QStringLiteral("Newsgroup;130;0;0"), QStringLiteral("Posts;50;1;2"),
                                QStringLiteral("Description;200;0;0")});
    list->SetHeaderSortedIndex(1);
    list->OnGetItem = [this](TVListBox*, int Index, int Col, QString& Strg, TOwnerDrawState, QFont&,
                             QColor&, QColor&) {
        Strg = Col == 1   ? TVListBox::ItemOf(items, Index)
               : Col == 2 ? QString::number(Index * 37)
                          : QStringLiteral("Binaries and tests, moderated");
    };
    run({{Step::Click, 2}, {Step::Click, 4, Shift}, {Step::Click, 7, Ctrl}});
    const QString path = savePicture(list.get(), QStringLiteral("vlistbox"));
    const QImage picture(path);
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), list->size() * picture.devicePixelRatio());
    EXPECT_TRUE(list->verticalScrollBar()->isVisible());
    EXPECT_TRUE(list->horizontalScrollBar()->isVisible());
}

TEST_F(VListBox, AutomaticDragStartsOnceThePointerMovesAndEndsThePress) {
    list->SetDragMode(dmAutomatic);
    configure(*list, Extended);
    QSignalSpy ended(list.get(), &TVListBox::OnEndDrag);
    pressAt(rows(), at(2));
    EXPECT_EQ(order(), std::vector<int>{2});
    // The drag runs its own event loop until the button comes up.
    QTimer::singleShot(50, list.get(), [this] {
        QTest::mouseRelease(list->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                            rows()->mapTo(list.get(), at(6)));
    });
    dragTo(rows(), at(6));
    ASSERT_EQ(ended.count(), 1);
    // The press is over: later moves select nothing.
    dragTo(rows(), at(8));
    EXPECT_EQ(order(), std::vector<int>{2});
    EXPECT_EQ(list->ItemIndex(), 2);
}

TEST_F(VListBox, RemovingSelectedRowsDeletesFromTheOwnersListHighestFirst) {
    configure(*list, Extended);
    setRows(12);
    run({{Step::Click, 9},
         {Step::Click, 4, Ctrl},
         {Step::Click, 6, Ctrl},
         {Step::Click, 7, Ctrl | Shift}});
    ASSERT_EQ(order(), (std::vector<int>{9, 4, 6, 7}));
    RemoveSelectedRows(*list, items);
    QStringList left;
    for (const int i : {0, 1, 2, 3, 5, 8, 10, 11})
        left << QStringLiteral("alt.test.group%1").arg(i);
    EXPECT_EQ(items, left);
    EXPECT_EQ(list->RowCount(), 8);
    EXPECT_EQ(list->Selections().SelectedCount(), 0);

    // Rows the owner's list no longer has are skipped; removing everything empties the view.
    list->SetRowCount(20);
    list->Selections().SelectRange(6, 14);
    list->Selections().SelectRange(0, 2);
    RemoveSelectedRows(*list, items);
    EXPECT_EQ(items, left.mid(2, 4));
    run({{Step::Click, 0}, {Step::Click, 3, Shift}});
    RemoveSelectedRows(*list, items);
    EXPECT_TRUE(items.isEmpty());
    EXPECT_EQ(list->RowCount(), 0);
}

TEST_F(VListBox, SelectNotificationsNameEachRowThatChanged) {
    configure(*list, Extended);
    QSignalSpy selected(list.get(), &TVListBox::OnSelect);
    QSignalSpy deselected(list.get(), &TVListBox::OnDeSelect);
    run({{Step::Click, 2}, {Step::Click, 4, Shift}});
    auto rowsOf = [](const QSignalSpy& spy) {
        std::vector<int> rows;
        for (const auto& args : spy)
            rows.push_back(args.at(0).toInt());
        return rows;
    };
    EXPECT_EQ(rowsOf(selected), (std::vector<int>{2, 2, 3, 4}));
    EXPECT_EQ(rowsOf(deselected), (std::vector<int>{2}));
}

TEST_F(VListBox, TheWheelScrollsByLinesAndStaysInRange) {
    list->SetTopRow(50);
    const QPoint pos = at(55);
    QWheelEvent down(pos, rows()->mapToGlobal(pos), QPoint(), QPoint(0, -240), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(rows(), &down);
    EXPECT_EQ(list->TopRow(), 50 + 2 * QApplication::wheelScrollLines());
    QWheelEvent up(pos, rows()->mapToGlobal(pos), QPoint(), QPoint(0, 120 * 100), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(rows(), &up);
    EXPECT_EQ(list->TopRow(), 1);
}

TEST_F(VListBox, AHorizontalBarThatTakesARowBringsTheVerticalBarAlong) {
    setRows(ShownRows);
    QScrollBar* vbar = list->verticalScrollBar();
    ASSERT_FALSE(vbar->isVisible());
    list->Columns().SetColumns({QStringLiteral("Group;400;0;0"), QStringLiteral("Posts;60;0;0")});
    ASSERT_TRUE(list->horizontalScrollBar()->isVisible());
    EXPECT_EQ(list->VisibleRows(), ShownRows - 1);
    EXPECT_TRUE(vbar->isVisible());
    EXPECT_TRUE(vbar->isEnabled());
    clickAt(rows(), at(0));
    pressKey(list.get(), Qt::Key_End);
    EXPECT_FALSE(list->RowRect(ShownRows - 1).isEmpty());
    EXPECT_EQ(list->TopRow(), 2);
}

TEST_F(VListBox, APressBelowTheLastRowTakesTheLastRow) {
    setRows(3);
    QSignalSpy clicks(list.get(), &TVListBox::OnClick);
    clickAt(rows(), QPoint(20, rows()->height() - 2));
    EXPECT_EQ(list->ItemIndex(), 2);
    EXPECT_EQ(order(), std::vector<int>{2});
    EXPECT_EQ(clicks.count(), 1);
}

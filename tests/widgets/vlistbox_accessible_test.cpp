// What a screen reader gets from the virtual list box: rows made on demand from the owner's
// texts, their states, and the events that make it speak the focused row.

#include "widgets/vlistbox.h"
#include "widgets/vlistbox_accessible.h"

#include "support/gui_test.h"
#include "support/wait.h"

#include <QAccessible>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int MillionRows = 1000000;

// One event as a screen reader's bridge receives it, with the name it would read for a row.
struct Heard {
    QAccessible::Event type;
    int child;
    QString name;
    friend bool operator==(const Heard&, const Heard&) = default;
};

void PrintTo(const Heard& h, std::ostream* os) {
    *os << "{0x" << std::hex << h.type << std::dec << ", " << h.child << ", \""
        << h.name.toStdString() << "\"}";
}

std::vector<Heard>* g_heard = nullptr;
const QObject* g_listened = nullptr;

void recordEvent(QAccessibleEvent* event) {
    if (!g_heard || event->object() != g_listened)
        return;
    QString name;
    if (event->child() >= 0 && event->type() == QAccessible::Focus)
        name = event->accessibleInterface()->text(QAccessible::Name);
    g_heard->push_back({event->type(), event->child(), name});
}

// A window with an edit box and, below it, a list box of a million newsgroups; the test acts
// as the screen reader (accessibility on, every event of the list recorded) unless it turns
// that off.
class VListBoxAccessible : public ::testing::Test {
protected:
    void SetUp() override {
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        edit = new QLineEdit(window.get());
        list = new TVListBox(window.get());
        list->setAccessibleName(QStringLiteral("Available Newsgroups"));
        list->SetHeader(false);
        list->SetRowHeight(16);
        list->SetMultiSelect(true);
        list->OnGetItem = [this](TVListBox*, int Index, int Col, QString& Strg, TOwnerDrawState,
                                 QFont&, QColor&, QColor&) {
            asked.insert(Index);
            Strg = Col == 1 ? QStringLiteral("alt.test.group%1").arg(Index) : QString();
        };
        list->SetRowCount(MillionRows);
        layout->addWidget(edit);
        layout->addWidget(list);
        window->resize(300, 220);
        showAndWait(window.get());
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

        g_heard = &heard;
        g_listened = list;
        TVListBoxAccessible::SetEventWatch(recordEvent);
        // As a platform bridge does when a screen reader registers; the offscreen platform
        // has no bridge of its own.
        QAccessible::setActive(true);
    }

    void TearDown() override {
        QAccessible::setActive(false);
        TVListBoxAccessible::SetEventWatch(nullptr);
        g_heard = nullptr;
        g_listened = nullptr;
    }

    QAccessibleInterface* listInterface() const {
        return QAccessible::queryAccessibleInterface(list);
    }

    std::unique_ptr<QWidget> window;
    QLineEdit* edit = nullptr;
    TVListBox* list = nullptr;
    std::set<int> asked;
    std::vector<Heard> heard;
};

Heard focusOn(int row) {
    return {QAccessible::Focus, row, QStringLiteral("alt.test.group%1").arg(row)};
}
Heard added(int row) {
    return {QAccessible::SelectionAdd, row, {}};
}
Heard removed(int row) {
    return {QAccessible::SelectionRemove, row, {}};
}

}  // namespace

TEST_F(VListBoxAccessible, AMillionRowsAreAListWhoseRowsAreReadOnlyWhenAsked) {
    list->Selections().SelectRange(500000, 1);
    asked.clear();

    QAccessibleInterface* box = listInterface();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->role(), QAccessible::List);
    EXPECT_EQ(box->text(QAccessible::Name), QStringLiteral("Available Newsgroups"));
    EXPECT_TRUE(box->state().multiSelectable);
    EXPECT_EQ(box->childCount(), MillionRows);
    ASSERT_NE(box->tableInterface(), nullptr);
    EXPECT_EQ(box->tableInterface()->rowCount(), MillionRows);
    EXPECT_EQ(box->tableInterface()->selectedRows(), QList<int>{500000});

    QAccessibleInterface* row = box->child(500000);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->role(), QAccessible::ListItem);
    EXPECT_EQ(row->text(QAccessible::Name), QStringLiteral("alt.test.group500000"));
    EXPECT_TRUE(row->state().selected);
    EXPECT_TRUE(row->state().selectable);
    EXPECT_TRUE(row->state().invisible);  // far below the view
    EXPECT_FALSE(box->child(500001)->state().selected);
    EXPECT_EQ(box->child(500000), row);  // the same row stays the same object
    EXPECT_EQ(box->indexOfChild(row), 500000);
    EXPECT_EQ(row->parent(), box);
    EXPECT_EQ(row->tableCellInterface()->rowIndex(), 500000);
    EXPECT_EQ(box->child(MillionRows), nullptr);
    EXPECT_EQ(box->child(-1), nullptr);

    // Only the row whose name was read was asked for its text.
    EXPECT_EQ(asked, std::set<int>{500000});
}

TEST_F(VListBoxAccessible, TheFocusedRowIsAnnouncedAndScatteredPicksAreHeard) {
    list->setFocus();
    ASSERT_TRUE(list->hasFocus());
    heard.clear();
    asked.clear();

    pressKey(list, Qt::Key_Down);  // the top row, selected alone
    pressKey(list, Qt::Key_End, Qt::ControlModifier);
    pressKey(list, Qt::Key_Space, Qt::ControlModifier);
    pressKey(list, Qt::Key_Space, Qt::ControlModifier);
    pressKey(list, Qt::Key_Space);
    pressKey(list, Qt::Key_Home, Qt::ControlModifier);
    pressKey(list, Qt::Key_Down);  // a plain arrow: the next row alone
    const std::vector<Heard> expected = {
        added(0),      focusOn(0), focusOn(999999), added(999999), removed(999999),
        added(999999), focusOn(0), added(1),        removed(0),    focusOn(1)};
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(listInterface()->focusChild(), listInterface()->child(1));
    EXPECT_TRUE(listInterface()->child(1)->state().focused);

    // Reading the focused rows' names asked for those rows and nothing else; the view was
    // not painted in between.
    EXPECT_EQ(asked, (std::set<int>{0, 1, 999999}));
}

TEST_F(VListBoxAccessible, ComingBackToTheListAnnouncesItsFocusedRowAfterTheListItself) {
    list->SetItemIndex(42);
    edit->setFocus();
    heard.clear();

    // The toolkit announces the list when the focus has moved (on a desktop; the offscreen
    // platform has no bridge for it); the row must come after that, not inside the move.
    list->setFocus(Qt::TabFocusReason);
    const auto rowsHeard = [&] {
        return std::count_if(heard.begin(), heard.end(),
                             [](const Heard& h) { return h.child >= 0; });
    };
    EXPECT_EQ(rowsHeard(), 0);
    ASSERT_TRUE(waitFor([&] { return rowsHeard() > 0; }));
    EXPECT_EQ(heard.back(), focusOn(42));
}

TEST_F(VListBoxAccessible, AScreenReaderCanPickAndDropRows) {
    QAccessibleTableInterface* table = listInterface()->tableInterface();
    list->SetItemIndex(3);
    heard.clear();

    EXPECT_TRUE(table->selectRow(700000));
    EXPECT_TRUE(table->selectRow(5));
    listInterface()->child(9)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(table->unselectRow(5));
    EXPECT_EQ(list->Selections().SelectedItem(1), 700000);
    EXPECT_EQ(list->Selections().SelectedItem(2), 9);
    EXPECT_EQ(list->Selections().SelectedCount(), 2);
    EXPECT_EQ(list->ItemIndex(), 3);  // picking does not move the focus
    EXPECT_EQ(heard, (std::vector<Heard>{added(700000), added(5), added(9), removed(5)}));

    // A single-selection list keeps one row, as it does for the user.
    list->SetMultiSelect(false);
    EXPECT_TRUE(table->selectRow(8));
    EXPECT_EQ(table->selectedRows(), QList<int>{8});
    EXPECT_FALSE(table->unselectRow(8));
    EXPECT_TRUE(table->isRowSelected(8));
}

TEST_F(VListBoxAccessible, RowsPastANewEndAreGoneAndStaleOnesAreNotKept) {
    QAccessibleInterface* box = listInterface();
    const QAccessible::Id far = QAccessible::uniqueId(box->child(900000));
    ASSERT_NE(QAccessible::accessibleInterface(far), nullptr);
    list->SetRowCount(1000);
    EXPECT_EQ(QAccessible::accessibleInterface(far), nullptr);
    EXPECT_EQ(box->childCount(), 1000);
    EXPECT_EQ(box->child(900000), nullptr);

    // A client walking many rows leaves no more than a bounded number behind once it is done;
    // the focused row survives.
    list->setFocus();
    list->SetItemIndex(999);
    const QAccessible::Id focused = QAccessible::uniqueId(box->child(999));
    std::vector<QAccessible::Id> walked;
    for (int row = 0; row < 1000; ++row)
        walked.push_back(QAccessible::uniqueId(box->child(row)));
    ASSERT_TRUE(waitFor([&] { return QAccessible::accessibleInterface(walked[100]) == nullptr; }));
    EXPECT_NE(QAccessible::accessibleInterface(focused), nullptr);
    EXPECT_NE(QAccessible::accessibleInterface(walked[998]), nullptr);  // in view
}

TEST_F(VListBoxAccessible, WithNoScreenReaderTheListSaysNothing) {
    QAccessible::setActive(false);
    list->setFocus();
    heard.clear();
    asked.clear();

    pressKey(list, Qt::Key_Down);
    pressKey(list, Qt::Key_End, Qt::ControlModifier);
    pressKey(list, Qt::Key_Space, Qt::ControlModifier);
    list->SetRowCount(10);
    edit->setFocus();
    list->setFocus();
    EXPECT_TRUE(asked.empty());

    // Anything the list had queued for a screen reader would run before this.
    bool turned = false;
    QMetaObject::invokeMethod(
        list, [&] { turned = true; }, Qt::QueuedConnection);
    ASSERT_TRUE(waitFor([&] { return turned; }));
    EXPECT_TRUE(heard.empty());
}

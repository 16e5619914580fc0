// The newsgroup selection and search dialogs, offscreen, driven through their controls.

#include "gui/newsgroups_dialog.h"
#include "gui/search_dialog.h"

#include "dialog_fixture.h"

#include "support/scripted_nntp_server.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QUrl>

#include "widgets/speed_button.h"
#include "widgets/vlistbox.h"

namespace {

using Names = std::vector<std::string>;

const std::string kHost = "news.example.com";

Names namesOf(const QStringList& list) {
    Names names;
    for (const QString& s : list)
        names.push_back(s.toStdString());
    return names;
}

Names namesOf(const TNewsgroupList& list) {
    return Names(list.names().begin(), list.names().end());
}

class NewsgroupsDialogTest : public DialogTest {
protected:
    // The selection dialog over a server whose list file holds `available`, for a window whose
    // newsgroups are `target`.
    std::unique_ptr<TfrmNewsgroups> openDialog(const Names& available, const Names& target = {}) {
        storeServer(kHost, 119, 45000.5, static_cast<int>(available.size()));
        writeList(kHost, available);
        host.groups.clear();
        for (const std::string& g : target)
            host.groups.append(QString::fromStdString(g));
        auto dialog =
            std::make_unique<TfrmNewsgroups>(context, QString::fromStdString(kHost), host);
        dialog->open();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
        return dialog;
    }

    TVListBox* view(QWidget* dialog, const char* name) { return control<TVListBox>(dialog, name); }
    // Clicks rows in turn, each with its modifiers (Ctrl to add a row to the selection).
    void clickRows(TVListBox* list,
                   const std::vector<std::pair<int, Qt::KeyboardModifiers>>& rows) {
        for (const auto& [row, mods] : rows)
            clickAt(list->viewport(), list->RowRect(row).center(), mods);
    }
    void doubleClickRow(TVListBox* list, int row) {
        clickAt(list->viewport(), list->RowRect(row).center());
        doubleClickAt(list->viewport(), list->RowRect(row).center());
    }
    // What a view shows, row by row.
    Names shown(TVListBox* list) {
        Names rows;
        for (int i = 0; i < list->RowCount(); ++i) {
            QString text;
            QFont font;
            QColor colour, background;
            list->OnGetItem(list, i, 1, text, {}, font, colour, background);
            rows.push_back(text.toStdString());
        }
        return rows;
    }
};

const Names kAvailable = {"alt.binaries", "alt.test",    "comp.lang.c", "misc.kids", "rec.arts",
                          "sci.math",     "soc.culture", "talk.x",      "uk.misc",   "zeta.last"};

TEST_F(NewsgroupsDialogTest, OpensWithTheServersListAndTheWindowsNewsgroups) {
    auto dialog = openDialog(kAvailable, {"Comp.Lang.C", "not.on.this.server"});
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Kavrin/32 - " + kHost);
    EXPECT_EQ(shown(view(dialog.get(), "lstAvailableNewsgroups")), kAvailable);
    EXPECT_EQ(shown(view(dialog.get(), "lstSelectedNewsgroups")),
              (Names{"Comp.Lang.C", "not.on.this.server"}));
    EXPECT_EQ(label(dialog.get(), "lblAvailableNewsgroups"), "Available Newsgroups (10)");
    EXPECT_EQ(label(dialog.get(), "lblSelectedNewsgroups"), "Selected Newsgroups (2)");
    EXPECT_TRUE(control<QWidget>(dialog.get(), "btnNewNewsgroups")->isEnabled());

    // A server whose list was never fetched: no rows at all, and the caption names it.
    std::filesystem::remove(listFile(kHost));
    storeServer(kHost, 119);
    TfrmNewsgroups empty(context, QString::fromStdString(kHost), host);
    EXPECT_EQ(view(&empty, "lstAvailableNewsgroups")->RowCount(), 0);
    EXPECT_EQ(label(&empty, "lblAvailableNewsgroups"), "Available Newsgroups (0)");
    EXPECT_EQ(empty.windowTitle().toStdString(), "Kavrin/32 - " + kHost);
    EXPECT_FALSE(control<QWidget>(&empty, "btnNewNewsgroups")->isEnabled());
    EXPECT_TRUE(control<QWidget>(&empty, "btnGetNewsgroups")->isEnabled());
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(NewsgroupsDialogTest, AddSelectedAppendsInTheOrderOfSelectingAndNeverTwice) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    struct Case {
        const char* what;
        Names target;
        std::vector<std::pair<int, Qt::KeyboardModifiers>> clicks;
        int chosen;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"rows 9, 2 and 5, in that order",
         {},
         {{9, {}}, {2, ctrl}, {5, ctrl}},
         3,
         {"zeta.last", "comp.lang.c", "sci.math"}},
        {"a range from the anchor",
         {},
         {{3, {}}, {1, Qt::ShiftModifier}},
         3,
         {"alt.test", "comp.lang.c", "misc.kids"}},
        {"already selected in another case",
         {"ALT.Test"},
         {{1, {}}, {0, ctrl}},
         2,
         {"ALT.Test", "alt.binaries"}},
        {"nothing chosen", {"kept"}, {}, 0, {"kept"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto dialog = openDialog(kAvailable, c.target);
        clickRows(view(dialog.get(), "lstAvailableNewsgroups"), c.clicks);
        click(dialog.get(), "btnAddSelected");
        EXPECT_EQ(shown(view(dialog.get(), "lstSelectedNewsgroups")), c.expected);
        EXPECT_EQ(label(dialog.get(), "lblSelectedNewsgroups"),
                  "Selected Newsgroups (" + std::to_string(c.expected.size()) + ")");
        // The choice on the left stays for another go.
        EXPECT_EQ(view(dialog.get(), "lstAvailableNewsgroups")->Selections().SelectedCount(),
                  c.chosen);
    }
}

TEST_F(NewsgroupsDialogTest, EveryWayToAddOrRemoveDoesWhatItsButtonDoes) {
    const Names available = {"alt.one", "alt.two", "alt.three"};
    struct Way {
        const char* what;
        std::function<void(TfrmNewsgroups*)> add;  // after row 1 was clicked on the left
    };
    const std::vector<Way> adds = {
        {"button", [&](TfrmNewsgroups* d) { click(d, "btnAddSelected"); }},
        {"menu", [&](TfrmNewsgroups* d) { control<QAction>(d, "mniAddSelectedItems")->trigger(); }},
        {"double-click",
         [&](TfrmNewsgroups* d) { doubleClickRow(view(d, "lstAvailableNewsgroups"), 1); }},
    };
    for (const Way& way : adds) {
        SCOPED_TRACE(way.what);
        auto dialog = openDialog(available);
        clickRows(view(dialog.get(), "lstAvailableNewsgroups"), {{1, {}}});
        way.add(dialog.get());
        EXPECT_EQ(shown(view(dialog.get(), "lstSelectedNewsgroups")), Names{"alt.two"});
    }

    // Removing from the right: rows 0 and 2 chosen, then each way.
    const Names picked = {"alt.one", "alt.two", "alt.three"};
    struct Removal {
        const char* what;
        std::function<void(TfrmNewsgroups*, TVListBox*)> run;
        Names left;
    };
    const std::vector<Removal> removals = {
        {"Remove Selected",
         [&](TfrmNewsgroups* d, TVListBox*) { click(d, "btnRemoveSelected"); },
         {"alt.two"}},
        {"its menu item",
         [&](TfrmNewsgroups* d, TVListBox*) {
             control<QAction>(d, "mniRemoveSelectedItems")->trigger();
         },
         {"alt.two"}},
        {"Delete",
         [&](TfrmNewsgroups*, TVListBox* v) { pressKey(v, Qt::Key_Delete); },
         {"alt.two"}},
        {"Enter", [&](TfrmNewsgroups*, TVListBox* v) { pressKey(v, Qt::Key_Return); }, {"alt.two"}},
        {"Remove All", [&](TfrmNewsgroups* d, TVListBox*) { click(d, "btnRemoveAll"); }, {}},
        {"Remove All's menu item",
         [&](TfrmNewsgroups* d, TVListBox*) {
             control<QAction>(d, "mniRemoveAllItems")->trigger();
         },
         {}},
        {"Ctrl+Delete",
         [&](TfrmNewsgroups*, TVListBox* v) { pressKey(v, Qt::Key_Delete, Qt::ControlModifier); },
         {}},
        {"Ctrl+Enter",
         [&](TfrmNewsgroups*, TVListBox* v) { pressKey(v, Qt::Key_Enter, Qt::ControlModifier); },
         {}},
        // A double-click takes out the row clicked, whatever else is selected.
        {"double-click",
         [&](TfrmNewsgroups*, TVListBox* v) { doubleClickRow(v, 2); },
         {"alt.one", "alt.two"}},
    };
    for (const Removal& r : removals) {
        SCOPED_TRACE(r.what);
        auto dialog = openDialog(available, picked);
        TVListBox* selected = view(dialog.get(), "lstSelectedNewsgroups");
        clickRows(selected, {{0, {}}, {2, Qt::ControlModifier}});
        r.run(dialog.get(), selected);
        EXPECT_EQ(shown(selected), r.left);
        EXPECT_EQ(selected->Selections().SelectedCount(), 0);
        EXPECT_EQ(label(dialog.get(), "lblSelectedNewsgroups"),
                  "Selected Newsgroups (" + std::to_string(r.left.size()) + ")");
    }
}

TEST_F(NewsgroupsDialogTest, AddAllCopiesTheWholeListRepeatsIncluded) {
    // Repeats can come from updates; earlier picks the list does not hold go.
    const Names available = {"alt.test", "ALT.TEST", "comp.x"};
    auto dialog = openDialog(available, {"gone.elsewhere"});
    control<QAction>(dialog.get(), "mniAddAllItems")->trigger();
    EXPECT_EQ(shown(view(dialog.get(), "lstSelectedNewsgroups")), available);
    EXPECT_EQ(label(dialog.get(), "lblSelectedNewsgroups"), "Selected Newsgroups (3)");
    // Add Selected after it adds no second copy.
    clickRows(view(dialog.get(), "lstAvailableNewsgroups"), {{2, {}}});
    click(dialog.get(), "btnAddSelected");
    EXPECT_EQ(shown(view(dialog.get(), "lstSelectedNewsgroups")), available);
}

TEST_F(NewsgroupsDialogTest, OnlyRowsDraggedFromTheAvailableListAreTaken) {
    auto dialog = openDialog(kAvailable);
    TVListBox* available = view(dialog.get(), "lstAvailableNewsgroups");
    TVListBox* selected = view(dialog.get(), "lstSelectedNewsgroups");
    QMimeData rows;
    rows.setData(TVListBox::DragMimeType(), QByteArray());
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/groups.txt"))});
    struct Case {
        const char* what;
        const QObject* source;
        const QMimeData* data;
        bool accepted;
    };
    const Case cases[] = {
        {"rows from the available list", available, &rows, true},
        {"rows from the selected list itself", selected, &rows, false},
        {"something from another program", nullptr, &rows, false},
        {"files", available, &files, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dialog->AcceptsDrop(c.source, c.data), c.accepted) << c.what;
    EXPECT_FALSE(available->viewport()->acceptDrops());

    // A drop whose source is not the available list (here: none) changes nothing.
    clickRows(available, {{0, {}}});
    const QPoint at = selected->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &rows, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(selected->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &rows, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(selected->viewport(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(selected->RowCount(), 0);
}

TEST_F(NewsgroupsDialogTest, OkHandsTheListToTheWindowAndCancelLeavesItAlone) {
    {
        auto dialog = openDialog(kAvailable, {"kept.as.is"});
        clickRows(view(dialog.get(), "lstAvailableNewsgroups"), {{4, {}}});
        click(dialog.get(), "btnAddSelected");
        click(dialog.get(), "btnCancel");
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(host.groupsSet, 0);
    }
    {
        auto dialog = openDialog(kAvailable, {"kept.as.is"});
        clickRows(view(dialog.get(), "lstAvailableNewsgroups"), {{4, {}}});
        click(dialog.get(), "btnAddSelected");
        click(dialog.get(), "btnOk");
        EXPECT_EQ(host.groupsSet, 1);
        EXPECT_EQ(namesOf(host.groups), (Names{"kept.as.is", "rec.arts"}));
    }
    {
        auto dialog = openDialog(kAvailable, {"kept.as.is"});
        click(dialog.get(), "btnRemoveAll");
        click(dialog.get(), "btnOk");
        EXPECT_TRUE(host.groups.isEmpty());
    }
}

TEST_F(NewsgroupsDialogTest, GetNewsgroupsFillsTheListAndStoresTheRecordAtOnce) {
    ScriptedNntpServer server;
    server.replies("MODE", {"200 reader\r\n"});
    server.replies("QUIT", {"205 bye\r\n"});
    server.replies("LIST", {"215 list\r\nz.last 1 1 y\r\nA.first 1 1 y\r\n.\r\n"});
    const std::string local = "127.0.0.1";
    storeServer(local, server.port(), 45000.5, 1);
    writeList(local, {"old.group"});
    host.groups = QStringList{QStringLiteral("picked")};
    auto dialog = std::make_unique<TfrmNewsgroups>(context, QString::fromStdString(local), host);
    dialog->open();
    click(dialog.get(), "btnGetNewsgroups");
    // While the list comes in all nine buttons are off; the lists stay usable.
    for (const char* name :
         {"btnAddSelected", "btnAddAll", "btnRemoveSelected", "btnRemoveAll", "btnGetNewsgroups",
          "btnNewNewsgroups", "btnSearch", "btnOk", "btnCancel"})
        EXPECT_FALSE(control<QWidget>(dialog.get(), name)->isEnabled()) << name;
    ASSERT_TRUE(waitFor(
        [&] { return label(dialog.get(), "lblAvailableNewsgroups") == "Available Newsgroups (2)"; },
        30000))
        << ::testing::PrintToString(prompts.texts());
    EXPECT_EQ(shown(view(dialog.get(), "lstAvailableNewsgroups")), (Names{"A.first", "z.last"}));
    EXPECT_EQ(stored(local).NumberOfNewsgroups, 2);
    EXPECT_GT(stored(local).LastUpdated, 45000.5);
    EXPECT_EQ(readFile(listFile(local)), "A.first\r\nz.last\r\n");
    EXPECT_TRUE(control<QWidget>(dialog.get(), "btnOk")->isEnabled());
    EXPECT_EQ(shown(view(dialog.get(), "lstSelectedNewsgroups")), Names{"picked"});
}

// ---- the search dialog ----

class SearchDialogTest : public NewsgroupsDialogTest {
protected:
    void search(TfrmSearch* dialog, const QString& typed) {
        auto* edit = control<QLineEdit>(dialog, "edtSearchText");
        edit->clear();
        typeText(edit, typed);
        pressKey(edit, Qt::Key_Return);
    }
};

TEST_F(SearchDialogTest, OnlyTheLettersAToZOfANameAreFolded) {
    const Names available = {"ALT.Binaries.Test", "alt.test",       "comp.lang.c",
                             "fr.CAF\xC3\x89",    "fr.caf\xC3\xA9", "misc.Alt"};
    auto selection = openDialog(available);
    TfrmSearch dialog(context, *selection);
    dialog.open();
    auto* edit = control<QLineEdit>(&dialog, "edtSearchText");
    EXPECT_FALSE(control<QWidget>(&dialog, "btnSearch")->isEnabled());
    struct Case {
        const char* typed;
        const char* text;  // as the edit holds it
        Names matches;
    };
    const Case cases[] = {
        {"ALT", "alt", {"ALT.Binaries.Test", "alt.test", "misc.Alt"}},
        {"t.t", "t.t", {"alt.test"}},
        // An accented capital in a name is no lower-case letter.
        {"CAF\xC3\x89", "caf\xC3\xA9", {"fr.caf\xC3\xA9"}},
        {"nothing", "nothing", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        search(&dialog, QString::fromUtf8(c.typed));
        EXPECT_EQ(edit->text().toStdString(), c.text);
        EXPECT_EQ(shown(view(&dialog, "lstMatchingNewsgroups")), c.matches);
        EXPECT_EQ(label(&dialog, "lblMatchingNewsgroups"),
                  "Matching Newsgroups (" + std::to_string(c.matches.size()) + ")");
        EXPECT_EQ(control<QProgressBar>(&dialog, "barSearchProgress")->value(), 0);
    }
}

TEST_F(SearchDialogTest, ASearchOverOneEntryOrMatchingEveryEntryListsThemAll) {
    for (const Names& available : {Names{"only.one"}, kAvailable}) {
        SCOPED_TRACE(available.size());
        auto selection = openDialog(available);
        TfrmSearch dialog(context, *selection);
        dialog.open();
        search(&dialog, QStringLiteral("."));
        EXPECT_EQ(shown(view(&dialog, "lstMatchingNewsgroups")), available);
        EXPECT_EQ(control<QProgressBar>(&dialog, "barSearchProgress")->value(), 0);
    }
}

TEST_F(SearchDialogTest, AddSelectedTakesTheCurrentItemOrTheSelectionTopToBottom) {
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    struct Case {
        const char* what;
        Names target;
        std::vector<std::pair<int, Qt::KeyboardModifiers>> clicks;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"a current item that was clicked off", {}, {{2, {}}, {2, ctrl}}, {"misc.kids"}},
        {"several, top to bottom", {}, {{3, {}}, {0, ctrl}}, {"alt.binaries", "rec.arts"}},
        {"one already selected in another case", {"MISC.KIDS"}, {{2, {}}}, {"MISC.KIDS"}},
        {"no current item", {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto selection = openDialog(kAvailable, c.target);
        TfrmSearch dialog(context, *selection);
        dialog.open();
        search(&dialog, QStringLiteral("s"));  // alt.binaries, alt.test, misc.kids, rec.arts...
        TVListBox* matches = view(&dialog, "lstMatchingNewsgroups");
        ASSERT_EQ(shown(matches)[3], "rec.arts");
        clickRows(matches, c.clicks);
        click(&dialog, "btnAddSelected");
        EXPECT_EQ(namesOf(selection->SelectedNewsgroups()), c.expected);
        EXPECT_EQ(label(selection.get(), "lblSelectedNewsgroups"),
                  "Selected Newsgroups (" + std::to_string(c.expected.size()) + ")");
    }
}

TEST_F(SearchDialogTest, KeysMenuAndDoubleClickAddAndDoingItTwiceChangesNothingMore) {
    struct Way {
        const char* what;
        std::function<void(TfrmSearch*, TVListBox*)> run;
        bool all;
    };
    const std::vector<Way> ways = {
        {"Insert", [](TfrmSearch*, TVListBox* v) { pressKey(v, Qt::Key_Insert); }, false},
        {"Enter", [](TfrmSearch*, TVListBox* v) { pressKey(v, Qt::Key_Return); }, false},
        {"double-click", [&](TfrmSearch*, TVListBox* v) { doubleClickRow(v, 1); }, false},
        {"menu",
         [&](TfrmSearch* d, TVListBox*) { control<QAction>(d, "mniAddSelectedItems")->trigger(); },
         false},
        {"Ctrl+Insert",
         [](TfrmSearch*, TVListBox* v) { pressKey(v, Qt::Key_Insert, Qt::ControlModifier); }, true},
        {"Ctrl+Enter",
         [](TfrmSearch*, TVListBox* v) { pressKey(v, Qt::Key_Enter, Qt::ControlModifier); }, true},
        {"Add All", [&](TfrmSearch* d, TVListBox*) { click(d, "btnAddAll"); }, true},
        {"Add All's menu item",
         [&](TfrmSearch* d, TVListBox*) { control<QAction>(d, "mniAddAllItems")->trigger(); },
         true},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.what);
        auto selection = openDialog(kAvailable, {"dropped.by.add.all"});
        TfrmSearch dialog(context, *selection);
        dialog.open();
        search(&dialog, QStringLiteral("alt."));
        TVListBox* matches = view(&dialog, "lstMatchingNewsgroups");
        clickRows(matches, {{1, {}}});
        for (int times = 0; times < 2; ++times)
            way.run(&dialog, matches);
        const Names expected =
            way.all ? Names{"alt.binaries", "alt.test"} : Names{"dropped.by.add.all", "alt.test"};
        EXPECT_EQ(namesOf(selection->SelectedNewsgroups()), expected);
        EXPECT_EQ(shown(view(selection.get(), "lstSelectedNewsgroups")), expected);
    }
}

TEST_F(SearchDialogTest, ASearchStartedDuringAnotherOneTakesOver) {
    Names available;
    for (int i = 0; i < 5000; ++i)
        available.push_back((i % 2 ? "alt.g" : "comp.g") + std::to_string(i));
    auto selection = openDialog(available);
    TfrmSearch dialog(context, *selection);
    dialog.open();
    auto* edit = control<QLineEdit>(&dialog, "edtSearchText");
    // The first search lets the window run between its steps; halfway, the second one starts.
    auto* bar = control<QProgressBar>(&dialog, "barSearchProgress");
    bool started = false;
    QTimer halfway;
    QObject::connect(&halfway, &QTimer::timeout, [&] {
        if (started || bar->value() < 50)
            return;
        started = true;
        edit->setText(QStringLiteral("comp."));
        click(&dialog, "btnSearch");
    });
    halfway.start(0);
    search(&dialog, QStringLiteral("alt."));
    EXPECT_TRUE(started);
    const Names matches = shown(view(&dialog, "lstMatchingNewsgroups"));
    ASSERT_EQ(matches.size(), 2500u);
    EXPECT_EQ(matches.front(), "comp.g0");
    EXPECT_EQ(matches.back(), "comp.g4998");
}

TEST_F(SearchDialogTest, SearchNewsgroupsOpensAFreshSearchEachTime) {
    auto selection = openDialog(kAvailable);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        const auto handler = ModalHandler::on<TfrmSearch>([&](TfrmSearch* dialog) {
            EXPECT_EQ(control<QLineEdit>(dialog, "edtSearchText")->text().toStdString(), "");
            EXPECT_EQ(label(dialog, "lblMatchingNewsgroups"), "Matching Newsgroups (0)");
            search(dialog, QStringLiteral("zeta"));
            pressKey(view(dialog, "lstMatchingNewsgroups"), Qt::Key_Insert, Qt::ControlModifier);
            click(dialog, "btnOK");
        });
        click(selection.get(), "btnSearch");
    }
    EXPECT_EQ(shown(view(selection.get(), "lstSelectedNewsgroups")), Names{"zeta.last"});
}

TEST_F(SearchDialogTest, EverythingCanBeDoneFromTheKeyboard) {
    using Order = std::vector<std::string>;
    auto selection = openDialog(kAvailable);
    auto* available = view(selection.get(), "lstAvailableNewsgroups");
    EXPECT_EQ(tabOrder(selection.get(), available),
              (Order{"lstAvailableNewsgroups", "btnAddSelected", "btnAddAll", "btnRemoveSelected",
                     "btnRemoveAll", "lstSelectedNewsgroups", "btnGetNewsgroups",
                     "btnNewNewsgroups", "btnSearch", "btnOk", "btnCancel"}));
    // Down picks the first row, Tab goes to the arrow, Space adds it.
    available->setFocus(Qt::TabFocusReason);
    QTest::keyClick(available, Qt::Key_Down);
    QTest::keyClick(available, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(namesOf(selection->SelectedNewsgroups()), Names{"alt.binaries"});

    TfrmSearch dialog(context, *selection);
    dialog.open();
    auto* edit = control<QLineEdit>(&dialog, "edtSearchText");
    EXPECT_EQ(tabOrder(&dialog, edit), (Order{"edtSearchText", "lstMatchingNewsgroups",
                                              "btnAddSelected", "btnAddAll", "btnOK"}));
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(edit, QStringLiteral("misc"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget()->objectName().toStdString(), "btnSearch");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* matches = view(&dialog, "lstMatchingNewsgroups");
    ASSERT_EQ(QApplication::focusWidget(), matches);
    QTest::keyClick(matches, Qt::Key_End);
    QTest::keyClick(matches, Qt::Key_Insert);
    EXPECT_EQ(namesOf(selection->SelectedNewsgroups()), (Names{"alt.binaries", "uk.misc"}));
}

}  // namespace

#include "newsgroups/newsgroup_picks.h"

#include "list_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(NewsgroupPicks, AddingSkipsWhatIsSelectedInAnyLetterCase) {
    const TNewsgroupList available = listOf({"alt.test", "ALT.Test", "comp.lang.c",
                                             "\xC3\x9C"
                                             "ber.de",
                                             "misc.kids"});
    struct Case {
        const char* what;
        Names selected;
        std::vector<TRowSpan> rows;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"rows in the order given, not in row order",
         {},
         {{4, 1}, {0, 1}, {2, 1}},
         {"misc.kids", "alt.test", "comp.lang.c"}},
        {"a name already selected in another case",
         {"Comp.Lang.C"},
         {{0, 3}},
         {"Comp.Lang.C", "alt.test"}},
        {"letters beyond ASCII fold too",
         {"\xC3\xBC"
          "ber.de"},
         {{3, 1}},
         {"\xC3\xBC"
          "ber.de"}},
        {"rows past the end are skipped", {"x"}, {{4, 10}, {99, 2}}, {"x", "misc.kids"}},
        {"nothing chosen", {"x"}, {}, {"x"}},
    };
    for (const Case& c : cases) {
        TNewsgroupList selected = listOf(c.selected);
        const std::size_t added = addUnlessSelected(selected, available, c.rows);
        EXPECT_EQ(namesOf(selected), c.expected) << c.what;
        EXPECT_EQ(added, c.expected.size() - c.selected.size()) << c.what;
    }
}

TEST(NewsgroupPicks, RemovingRowsKeepsTheOthersInOrder) {
    struct Case {
        const char* what;
        std::vector<TRowSpan> rows;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"rows 9, 2 and 5, chosen in that order",
         {{9, 1}, {2, 1}, {5, 1}},
         {"g0", "g1", "g3", "g4", "g6", "g7", "g8"}},
        {"runs, the last reaching past the end",
         {{8, 5}, {0, 2}},
         {"g2", "g3", "g4", "g5", "g6", "g7"}},
        {"everything", {{0, 10}}, {}},
    };
    for (const Case& c : cases) {
        TNewsgroupList list = listOf({"g0", "g1", "g2", "g3", "g4", "g5", "g6", "g7", "g8", "g9"});
        list.removeRows(c.rows);
        EXPECT_EQ(namesOf(list), c.expected) << c.what;
    }
}

TEST(NewsgroupPicks, OnlyTheNamesLettersAToZAreFoldedForTheSearch) {
    struct Case {
        const char* name;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"ALT.Binaries.Test", "binaries.t", true},
        {"alt.test", "alt.test", true},
        {"alt.test", "alt.test.x", false},
        {"alt.test", "ALT", false},                // the text is not folded
        {"fr.caf\xC3\x89", "caf\xC3\xA9", false},  // an accented capital stays as it is
        {"fr.caf\xC3\xA9", "caf\xC3\xA9", true},
        {"alt.test", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TNewsgroupMatcher(c.text).matches(c.name), c.matches)
            << c.name << " / " << c.text;
}

// Long names are searched eight places at a time: the text at every place of a name, among
// capitals of its letters and bytes one bit away from its first one, as the plain rule says.
TEST(NewsgroupPicks, LongNamesMatchWhereverTheTextIs) {
    const auto plainRule = [](std::string name, std::string_view text) {
        for (char& c : name)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return !text.empty() && name.find(text) != std::string::npos;
    };
    const std::string fillers[] = {"alt.binaries.pictures.misc.", "GAMES.GAMES.G.g.",
                                   "@`[{.,/\x80\xC7\xE7 "};
    for (const std::string text : {"games.l", "g", ".", "`x", "[x", "{", "Games"}) {
        for (const std::string& filler : fillers) {
            for (std::size_t at = 0; at <= filler.size(); ++at) {
                std::string name = filler;
                name.insert(at, text);
                const std::string near = filler.substr(0, at) + "G" + text.substr(1);
                for (const std::string& n : {name, near, filler})
                    EXPECT_EQ(TNewsgroupMatcher(text).matches(n), plainRule(n, text))
                        << n << " / " << text;
            }
        }
    }
}

TEST(NewsgroupPicks, SearchKeepsTheListsOrderAndStepsAboutAHundredTimes) {
    struct Case {
        std::size_t length;
        std::size_t steps;  // calls of atStep
    };
    for (const Case& c : {Case{1, 1}, Case{100, 100}, Case{101, 101}, Case{250, 125}}) {
        TNewsgroupList list;
        for (std::size_t i = 0; i < c.length; ++i)
            list.append((i % 2 ? "Alt.x" : "comp.y") + std::to_string(i));
        TNewsgroupMatches matches;
        std::vector<std::size_t> at;
        std::size_t lastSeen = 0;
        ASSERT_TRUE(searchNewsgroups(list, "alt", matches, [&](std::size_t i, std::size_t last) {
            at.push_back(i);
            lastSeen = last;
            return true;
        }));
        EXPECT_EQ(at.size(), c.steps) << c.length;
        EXPECT_EQ(at.front(), 0u);
        EXPECT_EQ(lastSeen, c.length - 1);
        ASSERT_EQ(matches.size(), c.length / 2) << c.length;
        for (std::size_t k = 0; k < matches.size(); ++k)
            EXPECT_EQ(matches.row(k), 2 * k + 1);
    }

    // A search stopped at a step goes no further.
    TNewsgroupList list = listOf({"a1", "a2", "a3"});
    TNewsgroupMatches matches;
    EXPECT_FALSE(
        searchNewsgroups(list, "a", matches, [](std::size_t i, std::size_t) { return i < 1; }));
    EXPECT_EQ(matches.size(), 2u);
}

TEST(NewsgroupPicks, MatchesAreRunsOfRowsThatMapBackToTheList) {
    // Rows 2-4, 7 and 9-10 of the list matched.
    TNewsgroupMatches matches;
    for (std::size_t row : {2, 3, 4, 7, 9, 10})
        matches.add(row);
    EXPECT_EQ(matches.runs().size(), 3u);
    EXPECT_EQ(matches.size(), 6u);
    const std::size_t rows[] = {2, 3, 4, 7, 9, 10};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(matches.row(i), rows[i]) << i;
    struct Case {
        std::size_t first, count;
        std::vector<std::pair<std::size_t, std::size_t>> spans;
    };
    const Case cases[] = {
        {0, 6, {{2, 3}, {7, 1}, {9, 2}}},
        {1, 3, {{3, 2}, {7, 1}}},
        {5, 9, {{10, 1}}},  // past the end: cut short
        {6, 1, {}},
    };
    for (const Case& c : cases) {
        std::vector<TRowSpan> out;
        matches.appendRows(c.first, c.count, out);
        std::vector<std::pair<std::size_t, std::size_t>> got;
        for (const TRowSpan& s : out)
            got.emplace_back(s.First, s.Count);
        EXPECT_EQ(got, c.spans) << c.first << "+" << c.count;
    }
    const TNewsgroupList list = listOf({"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"});
    EXPECT_EQ(namesOf(namesInRows(list, matches.runs())), (Names{"c", "d", "e", "h", "j", "k"}));
}

}  // namespace

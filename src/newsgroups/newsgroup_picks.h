#pragma once

#include "newsgroups/newsgroup_list.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The rules by which newsgroups are picked from a server's list into a project's: adding
// without repeats, removing rows, and the name search. Big servers carry a million groups, so
// each runs in time linear in the lists' lengths.

// Two newsgroup names that differ only in letter case name the same group for the "already
// selected" test: ASCII letters fold to lower case, other letters by Unicode case folding.
bool sameNewsgroup(std::string_view a, std::string_view b);

// Appends to `selected` the names of `from` in the rows given, in that order, except those
// that `selected` already holds (sameNewsgroup), counting the ones this call appended. Rows
// past the end of `from` are skipped. Names are shared with `from`, not copied. Returns how
// many were appended.
std::size_t addUnlessSelected(TNewsgroupList& selected, const TNewsgroupList& from,
                              const std::vector<TRowSpan>& rows);

// The search rule: the text occurs somewhere in the name once the name's letters A to Z are
// turned to a to z. Only those 26 letters are folded, and only on the name's side: the text is
// taken as it is (the search box gives it in lower case). An empty text matches nothing.
class TNewsgroupMatcher {
public:
    explicit TNewsgroupMatcher(std::string text);
    bool matches(std::string_view name) const;

private:
    std::string m_text;
};

// The rows of a list that a search found, kept as runs of consecutive rows: a search that
// every name matches is one run however long the list, and one that matches a few names costs
// a few runs.
class TNewsgroupMatches {
public:
    void clear();
    // Rows are added in ascending order.
    void add(std::size_t row);
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    // The list row of match i.
    std::size_t row(std::size_t i) const;
    // The list rows of matches first .. first + count - 1, as runs.
    void appendRows(std::size_t first, std::size_t count, std::vector<TRowSpan>& out) const;
    const std::vector<TRowSpan>& runs() const { return m_runs; }

private:
    std::vector<TRowSpan> m_runs;
    std::vector<std::size_t> m_before;  // matches in the runs before each run
    std::size_t m_size = 0;
};

// The names of `from` in the rows given, in that order (repeats included), shared with it.
TNewsgroupList namesInRows(const TNewsgroupList& from, const std::vector<TRowSpan>& rows);

// Searches the list from the first name to the last, adding the row of each name that matches
// to `matches`. The progress step is 1 for a list of up to 100 names, else (length - 1) / 100;
// at every entry i that is a multiple of it, atStep(i, length - 1) is called, and returning
// false from it stops the search there. Returns false when stopped.
bool searchNewsgroups(const TNewsgroupList& list, std::string_view text, TNewsgroupMatches& matches,
                      const std::function<bool(std::size_t i, std::size_t last)>& atStep);

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
    mutable std::string m_folded;  // the name being looked at, folded; kept between calls
};

// Searches the list from the first name to the last, appending each name that matches (as it
// is written, repeats included) to `matches`, which shares its storage with `list`. The
// progress step is 1 for a list of up to 100 names, else (length - 1) / 100; at every entry i
// that is a multiple of it, atStep(i, length - 1) is called, and returning false from it stops
// the search there. Returns false when stopped.
bool searchNewsgroups(const TNewsgroupList& list, std::string_view text, TNewsgroupList& matches,
                      const std::function<bool(std::size_t i, std::size_t last)>& atStep);

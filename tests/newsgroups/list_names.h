#pragma once

#include "newsgroups/newsgroup_list.h"

#include <string>
#include <vector>

// Lists written and read as plain vectors of names, for tables of cases.
using Names = std::vector<std::string>;

inline TNewsgroupList listOf(const Names& names) {
    TNewsgroupList list;
    for (const std::string& n : names)
        list.append(n);
    return list;
}

inline Names namesOf(const TNewsgroupList& list) {
    return Names(list.names().begin(), list.names().end());
}

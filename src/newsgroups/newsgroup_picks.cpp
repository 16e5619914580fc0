#include "newsgroups/newsgroup_picks.h"

#include <QString>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <functional>

namespace {

unsigned char lowerAscii(unsigned char c) {
    // Without a branch: the loops below run over every byte of a million names.
    return static_cast<unsigned char>(c | (static_cast<unsigned char>(c - 'A') < 26u ? 0x20 : 0));
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) & 0x80)
            return false;
    return true;
}

// The name with its letter case folded, in `out` (reused, so no allocation per name).
std::string_view foldCase(std::string_view name, std::string& out) {
    if (isAscii(name)) {
        out.resize(name.size());
        for (std::size_t i = 0; i < name.size(); ++i)
            out[i] = static_cast<char>(lowerAscii(static_cast<unsigned char>(name[i])));
    } else {
        out = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                  .toCaseFolded()
                  .toUtf8()
                  .toStdString();
    }
    return out;
}

// The names of a list by their folded form: an open-addressing table of row numbers, with a
// part of each name's hash beside it so most probes need no comparison of names.
class FoldedNames {
public:
    FoldedNames(const TNewsgroupList& list, std::size_t room) : m_list(list) {
        std::size_t size = 16;
        while (size < room * 2)
            size <<= 1;
        m_slots.assign(size, Slot{});
        m_mask = size - 1;
        for (std::size_t i = 0; i < list.size(); ++i)
            insert(list[i], i);
    }

    // Adds row `row` of the list under `name` unless an equal name is there already; false
    // when it was.
    bool insert(std::string_view name, std::size_t row) {
        const std::string_view key = foldCase(name, m_key);
        const std::uint64_t hash = std::hash<std::string_view>{}(key);
        const auto tag = static_cast<std::uint32_t>(hash >> 32);
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            Slot& slot = m_slots[at];
            if (slot.row == 0) {
                slot.row = static_cast<std::uint32_t>(row + 1);
                slot.tag = tag;
                return true;
            }
            if (slot.tag == tag && sameFolded(key, m_list[slot.row - 1]))
                return false;
        }
    }

private:
    struct Slot {
        std::uint32_t row = 0;  // row + 1; 0 is empty
        std::uint32_t tag = 0;
    };

    bool sameFolded(std::string_view key, std::string_view other) {
        return foldCase(other, m_other) == key;
    }

    const TNewsgroupList& m_list;
    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::string m_key, m_other;
};

}  // namespace

bool sameNewsgroup(std::string_view a, std::string_view b) {
    std::string fa, fb;
    return foldCase(a, fa) == foldCase(b, fb);
}

std::size_t addUnlessSelected(TNewsgroupList& selected, const TNewsgroupList& from,
                              const std::vector<TRowSpan>& rows) {
    std::size_t wanted = 0;
    for (const TRowSpan& r : rows)
        if (r.First < from.size())
            wanted += std::min(r.Count, from.size() - r.First);
    if (wanted == 0)
        return 0;
    selected.shareStorageOf(from);
    selected.reserve(selected.size() + wanted);
    FoldedNames known(selected, selected.size() + wanted);
    std::size_t added = 0;
    for (const TRowSpan& r : rows) {
        if (r.First >= from.size())
            continue;
        const std::size_t end = r.First + std::min(r.Count, from.size() - r.First);
        for (std::size_t i = r.First; i < end; ++i) {
            const std::string_view name = from[i];
            if (known.insert(name, selected.size())) {
                selected.appendView(name);
                ++added;
            }
        }
    }
    return added;
}

TNewsgroupMatcher::TNewsgroupMatcher(std::string text) : m_text(std::move(text)) {}

bool TNewsgroupMatcher::matches(std::string_view name) const {
    const std::size_t m = m_text.size();
    if (m == 0 || name.size() < m)
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(name.data());
    const auto* t = reinterpret_cast<const unsigned char*>(m_text.data());
    const unsigned char first = t[0];
    // Folded names hold no capital, so a text that begins with one matches nothing.
    if (first >= 'A' && first <= 'Z')
        return false;
    const auto restMatches = [&](std::size_t at) {
        std::size_t j = 1;
        while (j < m && lowerAscii(p[at + j]) == t[j])
            ++j;
        return j == m;
    };
    const std::size_t last = name.size() - m;  // the last place the text can begin
    std::size_t i = 0;
    // Eight places at a time: the bytes equal to the text's first one are found in a word
    // (setting bit 0x20 folds a byte to a small letter only where it is the letter's capital).
    const std::uint64_t fold = first >= 'a' && first <= 'z' ? 0x2020202020202020ull : 0;
    const std::uint64_t firsts = 0x0101010101010101ull * first;
    constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
    for (; i <= last && last - i >= 7; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, sizeof word);
        const std::uint64_t x = (word | fold) ^ firsts;
        // 0x80 in exactly the bytes of x that are 0.
        std::uint64_t hits = ~(((x & kLow7) + kLow7) | x | kLow7);
        while (hits != 0) {
            const auto at = i + static_cast<std::size_t>(std::countr_zero(hits) / 8);
            if (restMatches(at))
                return true;
            hits &= hits - 1;
        }
    }
    for (; i <= last; ++i)
        if (lowerAscii(p[i]) == first && restMatches(i))
            return true;
    return false;
}

void TNewsgroupMatches::clear() {
    m_runs.clear();
    m_before.clear();
    m_size = 0;
}

void TNewsgroupMatches::add(std::size_t row) {
    if (!m_runs.empty() && m_runs.back().First + m_runs.back().Count == row) {
        ++m_runs.back().Count;
    } else {
        m_runs.push_back({row, 1});
        m_before.push_back(m_size);
    }
    ++m_size;
}

std::size_t TNewsgroupMatches::row(std::size_t i) const {
    // The last run that starts at or before match i.
    const auto after = std::upper_bound(m_before.begin(), m_before.end(), i);
    const auto run = static_cast<std::size_t>(after - m_before.begin()) - 1;
    return m_runs[run].First + (i - m_before[run]);
}

void TNewsgroupMatches::appendRows(std::size_t first, std::size_t count,
                                   std::vector<TRowSpan>& out) const {
    if (first >= m_size)
        return;
    count = std::min(count, m_size - first);
    auto run = static_cast<std::size_t>(std::upper_bound(m_before.begin(), m_before.end(), first) -
                                        m_before.begin()) -
               1;
    std::size_t at = first;
    while (count > 0) {
        const std::size_t offset = at - m_before[run];
        const std::size_t take = std::min(count, m_runs[run].Count - offset);
        out.push_back({m_runs[run].First + offset, take});
        at += take;
        count -= take;
        ++run;
    }
}

TNewsgroupList namesInRows(const TNewsgroupList& from, const std::vector<TRowSpan>& rows) {
    TNewsgroupList names;
    names.shareStorageOf(from);
    std::size_t total = 0;
    for (const TRowSpan& r : rows)
        if (r.First < from.size())
            total += std::min(r.Count, from.size() - r.First);
    names.reserve(total);
    for (const TRowSpan& r : rows) {
        if (r.First >= from.size())
            continue;
        const std::size_t end = r.First + std::min(r.Count, from.size() - r.First);
        for (std::size_t i = r.First; i < end; ++i)
            names.appendView(from[i]);
    }
    return names;
}

bool searchNewsgroups(const TNewsgroupList& list, std::string_view text, TNewsgroupMatches& matches,
                      const std::function<bool(std::size_t i, std::size_t last)>& atStep) {
    if (list.empty())
        return true;
    const std::size_t last = list.size() - 1;
    const std::size_t step = last < 100 ? 1 : last / 100;
    const TNewsgroupMatcher matcher{std::string(text)};
    // The next multiple of the step is counted down to rather than found by a division for
    // every name: with short names the division took as long as the match.
    std::size_t untilStep = 0;
    for (std::size_t i = 0; i <= last; ++i) {
        if (matcher.matches(list[i]))
            matches.add(i);
        if (untilStep == 0) {
            untilStep = step;
            if (atStep && !atStep(i, last))
                return false;
        }
        --untilStep;
    }
    return true;
}

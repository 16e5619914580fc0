#include "newsgroups/newsgroup_picks.h"

#include <QString>

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
    m_folded.resize(name.size());
    char* out = m_folded.data();
    for (std::size_t i = 0; i < name.size(); ++i)
        out[i] = static_cast<char>(lowerAscii(static_cast<unsigned char>(name[i])));
    return ::memmem(out, name.size(), m_text.data(), m) != nullptr;
}

bool searchNewsgroups(const TNewsgroupList& list, std::string_view text, TNewsgroupList& matches,
                      const std::function<bool(std::size_t i, std::size_t last)>& atStep) {
    if (list.empty())
        return true;
    matches.shareStorageOf(list);
    const std::size_t last = list.size() - 1;
    const std::size_t step = last < 100 ? 1 : last / 100;
    const TNewsgroupMatcher matcher{std::string(text)};
    for (std::size_t i = 0; i <= last; ++i) {
        const std::string_view name = list[i];
        if (matcher.matches(name))
            matches.appendView(name);
        if (i % step == 0 && atStep && !atStep(i, last))
            return false;
    }
    return true;
}

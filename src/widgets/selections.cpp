#include "widgets/selections.h"

#include <algorithm>
#include <limits>

namespace {

bool overlapsOrTouches(const TRowRange& a, std::int64_t first, std::int64_t last) {
    return a.First <= last + 1 && a.Last() + 1 >= first;
}

}  // namespace

bool TSelections::SelectRange(int First, int Count, bool Notify, bool Repaint) {
    if (Count < 1 || First < 0 || RangeCount() >= MaxRanges)
        return false;
    // Rows are 0 .. 2147483646, so a range never reaches past the last possible row.
    const std::int64_t last = std::min<std::int64_t>(std::int64_t{First} + Count - 1,
                                                     std::numeric_limits<int>::max() - 1);
    std::int64_t first = First;
    const std::int64_t newFirst = first;
    const std::int64_t newLast = last;

    // The ranges are disjoint and never touch, so the new range merges with exactly those it
    // touches itself; the merged range takes the place of the oldest of them.
    std::int64_t mergedFirst = first;
    std::int64_t mergedLast = last;
    int keep = -1;
    for (int i = 0; i < RangeCount();) {
        if (overlapsOrTouches(m_ranges[i], first, last)) {
            mergedFirst = std::min<std::int64_t>(mergedFirst, m_ranges[i].First);
            mergedLast = std::max(mergedLast, m_ranges[i].Last());
            if (keep < 0) {
                keep = i++;
            } else {
                m_ranges.erase(m_ranges.begin() + i);
            }
        } else {
            ++i;
        }
    }
    const TRowRange merged{static_cast<std::int32_t>(mergedFirst),
                           static_cast<std::int32_t>(mergedLast - mergedFirst + 1)};
    if (keep < 0)
        m_ranges.push_back(merged);
    else
        m_ranges[keep] = merged;

    // A loop over every row costs as much as the range is long; only pay it when somebody
    // listens or protects rows.
    if (OnIsProtected || (Notify && OnSelect)) {
        for (std::int64_t row = newFirst; row <= newLast; ++row) {
            const int r = static_cast<int>(row);
            if (OnIsProtected && OnIsProtected(r)) {
                DeselectRow(r, false, false);
            } else if (Notify && OnSelect) {
                OnSelect(r);
            }
        }
    }
    if (Repaint)
        invalidate(newFirst, newLast - newFirst + 1);
    return true;
}

bool TSelections::DeselectRow(int Row, bool Repaint, bool Notify) {
    for (auto it = m_ranges.begin(); it != m_ranges.end(); ++it) {
        if (Row < it->First || Row > it->Last())
            continue;
        if (it->Count == 1) {
            m_ranges.erase(it);
        } else if (Row == it->First) {
            ++it->First;
            --it->Count;
        } else if (Row == it->Last()) {
            --it->Count;
        } else {
            if (RangeCount() >= MaxRanges)
                return false;
            const TRowRange tail{Row + 1, static_cast<std::int32_t>(it->Last() - Row)};
            it->Count = Row - it->First;
            m_ranges.insert(it + 1, tail);
        }
        if (Notify && OnDeSelect)
            OnDeSelect(Row);
        if (Repaint)
            invalidate(Row, 1);
        return true;
    }
    return true;
}

bool TSelections::Toggle(int Row) {
    if (IsSelected(Row))
        return DeselectRow(Row, true, true);
    return SelectRange(Row, 1, true, true);
}

bool TSelections::IsSelected(int Row) const {
    return std::any_of(m_ranges.begin(), m_ranges.end(),
                       [Row](const TRowRange& r) { return Row >= r.First && Row <= r.Last(); });
}

int TSelections::SelectedCount() const {
    std::int64_t total = 0;
    for (const auto& r : m_ranges)
        total += r.Count;
    return static_cast<int>(std::min<std::int64_t>(total, std::numeric_limits<int>::max()));
}

int TSelections::SelectedItem(int K) const {
    if (K < 1)
        return -1;
    std::int64_t k = K;
    for (const auto& r : m_ranges) {
        if (k <= r.Count)
            return static_cast<int>(r.First + k - 1);
        k -= r.Count;
    }
    return -1;
}

void TSelections::Clear(bool Repaint) {
    std::vector<TRowRange> old;
    old.swap(m_ranges);
    for (const auto& r : old) {
        notifyDeselect(r);
        if (Repaint)
            invalidate(r.First, r.Count);
    }
}

void TSelections::Truncate(int RowCount) {
    for (auto it = m_ranges.begin(); it != m_ranges.end();) {
        if (it->Last() < RowCount) {
            ++it;
            continue;
        }
        const std::int32_t keep = std::max(0, RowCount - it->First);
        const TRowRange dropped{it->First + keep, it->Count - keep};
        if (keep == 0) {
            it = m_ranges.erase(it);
        } else {
            it->Count = keep;
            ++it;
        }
        notifyDeselect(dropped);
    }
}

void TSelections::notifyDeselect(const TRowRange& range) {
    if (!OnDeSelect)
        return;
    for (std::int64_t row = range.First; row <= range.Last(); ++row)
        OnDeSelect(static_cast<int>(row));
}

void TSelections::invalidate(std::int64_t first, std::int64_t count) {
    if (OnInvalidate)
        OnInvalidate(static_cast<int>(first), static_cast<int>(count));
}

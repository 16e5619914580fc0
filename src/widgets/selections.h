#pragma once

#include <cstdint>
#include <functional>
#include <vector>

// One run of selected rows: First (0-based) and the number of rows.
struct TRowRange {
    std::int32_t First = 0;
    std::int32_t Count = 0;
    std::int64_t Last() const { return std::int64_t{First} + Count - 1; }
    friend bool operator==(const TRowRange&, const TRowRange&) = default;
};

// The selected rows of a list box as a compact set of row ranges, so that selecting every
// row of a huge list costs one range. Ranges keep the order in which they were added (merged
// where they overlap or touch); they are not sorted, so an owner that deletes the selected
// rows from its own list must sort the rows and delete from the highest down.
class TSelections {
public:
    // The fixed capacity of the range array; an operation that would need more fails and
    // leaves the selection as it was.
    static constexpr int MaxRanges = 8000;

    // Fired per row when notification is asked for.
    std::function<void(int Index)> OnSelect;
    std::function<void(int Index)> OnDeSelect;
    // The owner's say whether a row may be selected at all.
    std::function<bool(int Index)> OnIsProtected;
    // The owner repaints these rows.
    std::function<void(int First, int Count)> OnInvalidate;

    // Adds rows First .. First + Count - 1; protected rows are taken out again. False when
    // Count is below 1, First is negative, or every range is in use.
    bool SelectRange(int First, int Count, bool Notify = true, bool Repaint = true);
    // Takes one row out. False, with nothing changed, when splitting its range would need
    // a range beyond the capacity.
    bool DeselectRow(int Row, bool Repaint = true, bool Notify = true);
    // Deselects a selected row, else selects it alone. False when that failed.
    bool Toggle(int Row);
    bool IsSelected(int Row) const;
    int SelectedCount() const;
    // The K-th selected row (1-based), counted range by range in the order the ranges were
    // added; -1 when K is out of range.
    int SelectedItem(int K) const;
    void Clear(bool Repaint = true);
    // Drops every selected row at or past RowCount, for a list that became shorter.
    void Truncate(int RowCount);

    int RangeCount() const { return static_cast<int>(m_ranges.size()); }
    const std::vector<TRowRange>& Ranges() const { return m_ranges; }

private:
    void notifyDeselect(const TRowRange& range);
    void invalidate(std::int64_t first, std::int64_t count);

    std::vector<TRowRange> m_ranges;
};

#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// A run of rows of a list: the first (0-based) and how many.
struct TRowSpan {
    std::size_t First = 0;
    std::size_t Count = 0;
};

// A server's newsgroup list in memory: an ordered list of names (bytes, UTF-8) without a
// uniqueness rule. Big providers carry several hundred thousand groups, so the names are not
// held one allocation each: they are views into a few large buffers the list owns, such as the
// server's whole reply or the whole list file. Copies share those buffers.
class TNewsgroupList {
public:
    TNewsgroupList() = default;
    TNewsgroupList(const TNewsgroupList& other);
    TNewsgroupList& operator=(const TNewsgroupList& other);
    TNewsgroupList(TNewsgroupList&&) noexcept = default;
    TNewsgroupList& operator=(TNewsgroupList&&) noexcept = default;

    std::size_t size() const { return m_names.size(); }
    bool empty() const { return m_names.empty(); }
    std::string_view operator[](std::size_t i) const { return m_names[i]; }
    // The name for display.
    QString text(std::size_t i) const;
    const std::vector<std::string_view>& names() const { return m_names; }

    // Appends a copy of the name.
    void append(std::string_view name);
    // Keeps the buffer alive for as long as the list (or a copy of it) holds views into it, so
    // names can be taken from it without copying them (appendView).
    void adopt(QByteArray buffer);
    // Appends a view into a buffer the list has adopted.
    void appendView(std::string_view name) { m_names.push_back(name); }
    // The same for many names at once; an empty list takes the vector over without copying.
    void appendViews(std::vector<std::string_view>&& names);
    // Keeps the buffers of another list alive for as long as this one, so views into them
    // (other's names) can be appended with appendView rather than copied.
    void shareStorageOf(const TNewsgroupList& other);
    void reserve(std::size_t n) { m_names.reserve(n); }
    void removeAt(std::size_t i);
    // Removes the names in the rows given, in any order and none overlapping another; rows past
    // the end are skipped. The others keep their order. One pass over the list, whatever the
    // number of rows removed.
    void removeRows(std::vector<TRowSpan> rows);
    void clear();

    // Sorts ascending, comparing without regard to letter case in the locale's order. Names that
    // compare equal that way are ordered by their bytes, so the file comes out the same every
    // time. A list whose first `sortedPrefix` names are known to be in order (an update
    // appends to a sorted list) is sorted by merging.
    void sort(const QLocale& locale = QLocale(), std::size_t sortedPrefix = 0);

private:
    std::vector<std::string_view> m_names;
    std::vector<QByteArray> m_buffers;
    std::vector<std::shared_ptr<char[]>> m_chunks;
    // Room left at the end of the last chunk, which only this list writes to.
    char* m_free = nullptr;
    std::size_t m_freeSize = 0;
};

// The list file's name for a host: the host name followed by ".txt", letter case kept. Any
// character that isValidHostName refuses is replaced by "_" (and ".." by "__"), so even a
// record that was stored by other means names a file in the data folder.
std::string newsgroupListFileName(std::string_view host);
std::filesystem::path newsgroupListPath(const std::filesystem::path& dataDir,
                                        std::string_view host);

// Reads a list file: one name per line, lines ending in CR LF, LF or CR; empty lines are
// skipped. Returns false (and leaves the list empty) when the file cannot be read or is not a
// regular file.
bool loadNewsgroupList(const std::filesystem::path& file, TNewsgroupList& list);

// Replaces the file with the list, one name per line ended by CR LF. The new content is
// written beside the file and renamed over it only when complete, so a failure (full disk,
// folder not writable) leaves the old file as it was. On failure returns false and sets error
// to the reason.
bool writeNewsgroupList(const std::filesystem::path& file, const TNewsgroupList& list,
                        QString* error = nullptr);

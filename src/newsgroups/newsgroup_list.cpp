#include "newsgroups/newsgroup_list.h"

#include "model/server_storage.h"
#include "platform/regular_file.h"

#include <QCollator>
#include <QFile>
#include <QSaveFile>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <cstring>

namespace {

// Appended names go into chunks of this size, so a list that grows by updates does not hold
// one allocation per name either.
constexpr std::size_t kChunkSize = 64 * 1024;

unsigned char foldAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

bool isAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) & 0x80)
            return false;
    return true;
}

int rawCompare(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A weight for each byte such that comparing two names byte by byte by weight (a shorter name
// first when one is the start of the other) gives the locale's case-insensitive order. Only
// bytes from `low` to `high` have one; 0 is kept for "ended".
struct ByteWeights {
    std::array<unsigned char, 256> weight{};
    unsigned char low = 0, high = 0;

    bool covers(std::string_view s) const {
        for (char c : s) {
            const auto b = static_cast<unsigned char>(c);
            if (b < low || b > high)
                return false;
        }
        return true;
    }
    int compare(std::string_view a, std::string_view b) const {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const unsigned char wa = weight[static_cast<unsigned char>(a[i])];
            const unsigned char wb = weight[static_cast<unsigned char>(b[i])];
            if (wa != wb)
                return wa < wb ? -1 : 1;
        }
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
        return 0;
    }
};

// In the C locale: case folding, for every ASCII byte but NUL.
ByteWeights foldWeights() {
    ByteWeights w;
    for (int c = 1; c < 128; ++c)
        w.weight[static_cast<std::size_t>(c)] = foldAscii(static_cast<unsigned char>(c));
    w.low = 1;
    w.high = 127;
    return w;
}

// In another locale, for the printable ASCII characters that make up newsgroup names: each
// character is weighed by where the collator puts it alone. That holds only for a locale with
// no contractions among them (Czech sorts "ch" after "h", Danish "aa" as "å") and no ignored
// punctuation, so it is checked against the collator on every string of one and two such
// characters; a locale that fails the check is sorted by the collator itself.
std::optional<ByteWeights> collatorWeights(const QCollator& collator) {
    std::vector<std::string> singles;
    for (char c = 33; c < 127; ++c)
        singles.emplace_back(1, c);
    auto collate = [&](const std::string& a, const std::string& b) {
        return collator.compare(QString::fromLatin1(a.data(), qsizetype(a.size())),
                                QString::fromLatin1(b.data(), qsizetype(b.size())));
    };
    std::sort(singles.begin(), singles.end(),
              [&](const std::string& a, const std::string& b) { return collate(a, b) < 0; });
    ByteWeights w;
    w.low = 33;
    w.high = 126;
    unsigned char rank = 1;
    for (std::size_t i = 0; i < singles.size(); ++i) {
        if (i > 0 && collate(singles[i - 1], singles[i]) != 0)
            ++rank;
        w.weight[static_cast<unsigned char>(singles[i][0])] = rank;
    }

    std::vector<std::string> probe;
    std::vector<QString> text;
    for (char a = 33; a < 127; ++a) {
        probe.emplace_back(1, a);
        for (char b = 33; b < 127; ++b)
            probe.push_back(std::string{a, b});
    }
    for (const std::string& p : probe)
        text.push_back(QString::fromLatin1(p.data(), qsizetype(p.size())));
    std::vector<std::size_t> byCollator(probe.size()), byWeights(probe.size());
    for (std::size_t i = 0; i < probe.size(); ++i)
        byCollator[i] = byWeights[i] = i;
    std::sort(byCollator.begin(), byCollator.end(), [&](std::size_t x, std::size_t y) {
        const int c = collator.compare(text[x], text[y]);
        return c != 0 ? c < 0 : probe[x] < probe[y];
    });
    std::sort(byWeights.begin(), byWeights.end(), [&](std::size_t x, std::size_t y) {
        const int c = w.compare(probe[x], probe[y]);
        return c != 0 ? c < 0 : probe[x] < probe[y];
    });
    if (byCollator != byWeights)
        return std::nullopt;
    return w;
}

// Worked out once per locale.
std::optional<ByteWeights> weightsFor(const QLocale& locale, const QCollator& collator) {
    if (locale.language() == QLocale::C)
        return foldWeights();
    static std::mutex lock;
    static std::map<QString, std::optional<ByteWeights>> known;
    const std::lock_guard<std::mutex> guard(lock);
    const QString key = locale.name();
    auto found = known.find(key);
    if (found == known.end())
        found = known.emplace(key, collatorWeights(collator)).first;
    return found->second;
}

// The order of the list: case-insensitive in the user's locale. Names whose bytes all have a
// weight (ASCII, which nearly every newsgroup name is) are compared by weight; the others in
// the C locale by case-folded text (what QCollator does there too), elsewhere by the collator,
// with ASCII names widened into stack buffers rather than allocated strings.
class NameOrder {
public:
    explicit NameOrder(const QLocale& locale)
        : m_plain(locale.language() == QLocale::C), m_collator(locale) {
        m_collator.setCaseSensitivity(Qt::CaseInsensitive);
        m_weights = weightsFor(locale, m_collator);
    }

    bool operator()(std::string_view a, std::string_view b) const { return compare(a, b) < 0; }
    const std::optional<ByteWeights>& weights() const { return m_weights; }

    int compare(std::string_view a, std::string_view b) const {
        int c;
        if (m_weights && m_weights->covers(a) && m_weights->covers(b))
            c = m_weights->compare(a, b);
        else
            c = m_plain ? foldCompare(a, b) : collate(a, b);
        return c != 0 ? c : rawCompare(a, b);
    }

private:
    static int unicodeCompare(std::string_view a, std::string_view b) {
        const QString qa = QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()));
        const QString qb = QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size()));
        const int c = qa.compare(qb, Qt::CaseInsensitive);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }

    static int foldCompare(std::string_view a, std::string_view b) {
        const std::size_t n = std::min(a.size(), b.size());
        for (std::size_t i = 0; i < n; ++i) {
            const auto ca = static_cast<unsigned char>(a[i]);
            const auto cb = static_cast<unsigned char>(b[i]);
            if (ca == cb)
                continue;
            if ((ca | cb) & 0x80)
                return unicodeCompare(a, b);
            const unsigned char la = foldAscii(ca), lb = foldAscii(cb);
            if (la != lb)
                return la < lb ? -1 : 1;
        }
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
        return 0;
    }

    int collate(std::string_view a, std::string_view b) const {
        constexpr std::size_t kMax = 256;
        if (a.size() <= kMax && b.size() <= kMax && isAscii(a) && isAscii(b)) {
            char16_t wa[kMax], wb[kMax];
            std::copy(a.begin(), a.end(), wa);
            std::copy(b.begin(), b.end(), wb);
            const int c = m_collator.compare(QStringView(wa, static_cast<qsizetype>(a.size())),
                                             QStringView(wb, static_cast<qsizetype>(b.size())));
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
        const int c =
            m_collator.compare(QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size())),
                               QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }

    bool m_plain;
    QCollator m_collator;
    std::optional<ByteWeights> m_weights;
};

// Sorts names whose bytes all have a weight by those weights, eight bytes at a time: each
// name carries the weights of its next eight bytes as one big-endian number, the names are
// sorted by that number, and each run that ties is sorted again on the following eight.
// Compared with sorting by string comparisons this reads each byte about once and keeps the
// work in one array, which matters for group names: long runs of them share their first dozen
// bytes ("alt.binaries."). Gives exactly the order of NameOrder. Weight 0 stands for "ended"
// (so shorter names come first).
struct Keyed {
    std::uint64_t key;
    std::string_view name;
};

std::uint64_t weightKey(std::string_view s, std::size_t d, const ByteWeights& w) {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        const std::size_t at = d + i;
        key = (key << 8) | (at < s.size() ? w.weight[static_cast<unsigned char>(s[at])] : 0u);
    }
    return key;
}

void weightSort(Keyed* a, std::size_t n, std::size_t d, const ByteWeights& w) {
    for (std::size_t i = 0; i < n; ++i)
        a[i].key = weightKey(a[i].name, d, w);
    std::sort(a, a + n, [](const Keyed& x, const Keyed& y) { return x.key < y.key; });
    for (std::size_t i = 0; i < n;) {
        std::size_t j = i + 1;
        while (j < n && a[j].key == a[i].key)
            ++j;
        if (j - i > 1) {
            if ((a[i].key & 0xFF) != 0) {
                weightSort(a + i, j - i, d + 8, w);
            } else {
                // Names equal but for letter case: by their bytes.
                std::sort(a + i, a + j,
                          [](const Keyed& x, const Keyed& y) { return x.name < y.name; });
            }
        }
        i = j;
    }
}

}  // namespace

TNewsgroupList::TNewsgroupList(const TNewsgroupList& other)
    : m_names(other.m_names), m_buffers(other.m_buffers), m_chunks(other.m_chunks) {
    // The free room of the last chunk stays with the original; this copy starts a chunk of its
    // own when it appends.
}

TNewsgroupList& TNewsgroupList::operator=(const TNewsgroupList& other) {
    if (this != &other) {
        m_names = other.m_names;
        m_buffers = other.m_buffers;
        m_chunks = other.m_chunks;
        m_free = nullptr;
        m_freeSize = 0;
    }
    return *this;
}

QString TNewsgroupList::text(std::size_t i) const {
    const std::string_view n = m_names[i];
    return QString::fromUtf8(n.data(), static_cast<qsizetype>(n.size()));
}

void TNewsgroupList::append(std::string_view name) {
    if (name.size() > m_freeSize) {
        const std::size_t size = std::max(kChunkSize, name.size());
        m_chunks.push_back(std::shared_ptr<char[]>(new char[size]));
        m_free = m_chunks.back().get();
        m_freeSize = size;
    }
    if (!name.empty())
        std::memcpy(m_free, name.data(), name.size());
    m_names.emplace_back(m_free, name.size());
    m_free += name.size();
    m_freeSize -= name.size();
}

void TNewsgroupList::appendViews(std::vector<std::string_view>&& names) {
    if (m_names.empty())
        m_names = std::move(names);
    else
        m_names.insert(m_names.end(), names.begin(), names.end());
    names = {};
}

void TNewsgroupList::adopt(QByteArray buffer) {
    m_buffers.push_back(std::move(buffer));
}

void TNewsgroupList::shareStorageOf(const TNewsgroupList& other) {
    if (&other == this)
        return;
    // A buffer or chunk this list holds already is not taken twice, so picking from the same
    // list again and again does not make these grow.
    for (const QByteArray& buffer : other.m_buffers) {
        const bool held = std::any_of(m_buffers.begin(), m_buffers.end(), [&](const QByteArray& b) {
            return b.constData() == buffer.constData();
        });
        if (!held)
            m_buffers.push_back(buffer);
    }
    for (const std::shared_ptr<char[]>& chunk : other.m_chunks) {
        if (std::find(m_chunks.begin(), m_chunks.end(), chunk) == m_chunks.end())
            m_chunks.push_back(chunk);
    }
}

void TNewsgroupList::removeRows(std::vector<TRowSpan> rows) {
    std::sort(rows.begin(), rows.end(),
              [](const TRowSpan& a, const TRowSpan& b) { return a.First < b.First; });
    std::size_t kept = 0;
    std::size_t next = 0;  // the first row not yet looked at
    for (const TRowSpan& r : rows) {
        if (r.First >= m_names.size())
            break;
        const std::size_t end =
            std::min(r.First + std::min(r.Count, m_names.size()), m_names.size());
        for (; next < r.First; ++next)
            m_names[kept++] = m_names[next];
        next = std::max(next, end);
    }
    for (; next < m_names.size(); ++next)
        m_names[kept++] = m_names[next];
    m_names.resize(kept);
}

void TNewsgroupList::removeAt(std::size_t i) {
    m_names.erase(m_names.begin() + static_cast<std::ptrdiff_t>(i));
}

void TNewsgroupList::clear() {
    m_names.clear();
    m_buffers.clear();
    m_chunks.clear();
    m_free = nullptr;
    m_freeSize = 0;
}

void TNewsgroupList::sort(const QLocale& locale, std::size_t sortedPrefix) {
    const NameOrder order(locale);
    const auto begin = m_names.begin();
    const auto mid = begin + static_cast<std::ptrdiff_t>(std::min(sortedPrefix, m_names.size()));
    auto sortRange = [&](std::vector<std::string_view>::iterator from) {
        const std::optional<ByteWeights>& weights = order.weights();
        if (weights && std::all_of(from, m_names.end(),
                                   [&](std::string_view n) { return weights->covers(n); })) {
            std::vector<Keyed> keyed;
            keyed.reserve(static_cast<std::size_t>(m_names.end() - from));
            for (auto it = from; it != m_names.end(); ++it)
                keyed.push_back({0, *it});
            weightSort(keyed.data(), keyed.size(), 0, *weights);
            for (const Keyed& k : keyed)
                *from++ = k.name;
        } else {
            std::sort(from, m_names.end(), order);
        }
    };
    if (mid != begin && std::is_sorted(begin, mid, order)) {
        sortRange(mid);
        std::inplace_merge(begin, mid, m_names.end(), order);
    } else if (begin != m_names.end()) {
        sortRange(begin);
    }
}

std::string newsgroupListFileName(std::string_view host) {
    std::string name;
    name.reserve(host.size() + 4);
    for (std::size_t i = 0; i < host.size(); ++i) {
        const auto c = static_cast<unsigned char>(host[i]);
        const bool dotPair = c == '.' && ((i + 1 < host.size() && host[i + 1] == '.') ||
                                          (i > 0 && host[i - 1] == '.'));
        name += (isRefusedHostNameByte(c) || dotPair) ? '_' : static_cast<char>(c);
    }
    return name + ".txt";
}

std::filesystem::path newsgroupListPath(const std::filesystem::path& dataDir,
                                        std::string_view host) {
    return dataDir / newsgroupListFileName(host);
}

bool loadNewsgroupList(const std::filesystem::path& file, TNewsgroupList& list) {
    list.clear();
    // A FIFO or a device standing where a list file belongs would hang or flood the program.
    const RegularFile regular = openRegularFile(file);
    if (regular.problem != FileProblem::None)
        return false;
    QFile in;
    if (!in.open(regular.fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(regular.fd);
        return false;
    }
    QByteArray content = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    const char* p = content.constData();
    const std::size_t size = static_cast<std::size_t>(content.size());
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size || p[i] == '\n' || p[i] == '\r') {
            if (i > start)
                list.appendView(std::string_view(p + start, i - start));
            start = i + 1;
        }
    }
    list.adopt(std::move(content));
    return true;
}

bool writeNewsgroupList(const std::filesystem::path& file, const TNewsgroupList& list,
                        QString* error) {
    QSaveFile out(QString::fromStdString(file.string()));
    auto fail = [&] {
        if (error)
            *error = out.errorString();
        out.cancelWriting();
        return false;
    };
    if (!out.open(QIODevice::WriteOnly))
        return fail();
    // Written a block at a time; a short list needs no more than its own size.
    constexpr std::size_t kBlock = 1 << 20;
    std::size_t bytes = 0;
    for (std::string_view name : list.names())
        bytes += name.size() + 2;
    std::string block;
    block.reserve(std::min(bytes, kBlock + 512));
    for (std::string_view name : list.names()) {
        block.append(name);
        block.append("\r\n");
        if (block.size() >= kBlock) {
            if (out.write(block.data(), static_cast<qint64>(block.size())) !=
                static_cast<qint64>(block.size()))
                return fail();
            block.clear();
        }
    }
    if (!block.empty() && out.write(block.data(), static_cast<qint64>(block.size())) !=
                              static_cast<qint64>(block.size()))
        return fail();
    if (!out.commit()) {
        if (error)
            *error = out.errorString();
        return false;
    }
    return true;
}

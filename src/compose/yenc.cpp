#include "compose/yenc.h"

#include "compose/attachment.h"
#include "compose/compose_error.h"
#include "compose/cpu_features.h"
#include "compose/crc32.h"
#include "platform/user_prompts.h"

#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace {

// What an input byte becomes: 0 passes as its character, 1 is escaped only at a line's first or
// last place (TAB, blank, "."), 2 is always escaped (NUL, LF, CR, "=").
constexpr std::array<unsigned char, 256> kClass = [] {
    std::array<unsigned char, 256> t{};
    for (unsigned b = 0; b < 256; ++b) {
        const unsigned c = (b + 42) & 0xFF;
        t[b] = (c == 0 || c == '\n' || c == '\r' || c == '=') ? 2
               : (c == '\t' || c == ' ' || c == '.')          ? 1
                                                              : 0;
    }
    return t;
}();

constexpr std::size_t kChunk = std::size_t{256} << 10;  // input bytes per read
constexpr std::uint64_t kCacheLimit = std::uint64_t{8} << 20;

// One byte, ending the line first when it is full. isLast marks the part's final byte, which
// ends its line whatever the column.
inline char* encodeOne(unsigned char b, char* dst, int& column, bool isLast) {
    if (column >= kYEncLineLength) {
        *dst++ = '\r';
        *dst++ = '\n';
        column = 0;
    }
    const unsigned cls = kClass[b];
    const bool edge = column == 0 || isLast || column >= kYEncLineLength - 1;
    const unsigned escape = cls == 2 || (cls == 1 && edge) ? 1 : 0;
    const auto c = static_cast<unsigned char>(b + 42);
    dst[0] = '=';
    dst[escape] = static_cast<char>(c + 64 * escape);
    dst += 1 + escape;
    column += 1 + static_cast<int>(escape);
    return dst;
}

char* finish(char* dst, int& column, bool last) {
    if (last && column > 0) {
        *dst++ = '\r';
        *dst++ = '\n';
        column = 0;
    }
    return dst;
}

char* encodeScalar(const unsigned char* in, std::size_t n, char* dst, int& lineLength, bool last) {
    int column = lineLength;
    for (std::size_t i = 0; i < n; ++i)
        dst = encodeOne(in[i], dst, column, last && i + 1 == n);
    dst = finish(dst, column, last);
    lineLength = column;
    return dst;
}

// The wide paths work in two passes over blocks of the input. The first adds 42 and escapes the
// critical characters only, into a stream with no line ends; it has no branch on the data and
// no dependence from one 64 bytes to the next. The second cuts the stream into lines: a line
// is 128 places from where it starts, and only its first and last characters need a look
// (escaped when they are TAB, blank or "."; a "=" in the stream always begins an escape, so an
// escape cut by the 128th place is kept whole).
constexpr std::size_t kBlock = 4096;

inline bool isEdge(unsigned char c) {
    return c == '\t' || c == ' ' || c == '.';
}

// The first pass for the bytes a wide loop leaves over.
inline char* escapeCritical(const unsigned char* in, std::size_t n, char* s) {
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(in[i] + 42);
        const unsigned escape = kClass[in[i]] == 2 ? 1 : 0;
        s[0] = '=';
        s[escape] = static_cast<char>(c + 64 * escape);
        s += 1 + escape;
    }
    return s;
}

// Copies a line's worth of the stream and an escape that ends past its last place: 144 bytes,
// in moves as wide as the processor the caller is built for has (a call to memcpy for each
// line would cost more than the copy).
[[gnu::always_inline]] inline void copyLine(char* dst, const char* src) {
    __builtin_memcpy(dst, src, 64);
    __builtin_memcpy(dst + 64, src + 64, 64);
    __builtin_memcpy(dst + 128, src + 128, kYEncLineLength + 16 - 128);
}

// The second pass: lays the stream s[0..len) out in lines after the line in progress, which
// holds column characters. Returns where the stream stops short of a line's last place; the
// rest stays for the next block.
[[gnu::always_inline]] inline std::size_t cutLines(const char* s, std::size_t len, char*& dst,
                                                   int& column) {
    std::size_t q = 0;
    while (true) {
        if (column >= kYEncLineLength) {
            *dst++ = '\r';
            *dst++ = '\n';
            column = 0;
        }
        if (column == 0 && q < len && isEdge(static_cast<unsigned char>(s[q]))) {
            dst[0] = '=';
            dst[1] = static_cast<char>(s[q] + 64);
            dst += 2;
            column = 2;
            ++q;
        }
        // The stream character at the line's last place.
        const std::size_t j = q + static_cast<std::size_t>(kYEncLineLength - 1 - column);
        if (j >= len)
            return q;
        copyLine(dst, s + q);
        std::size_t used = j + 1 - q, written = used;
        if (j > q && s[j - 1] == '=') {
            // An escape at places 126 and 127 ends the line.
        } else if (s[j] == '=') {
            used = written = j + 2 - q;  // an escape at 127 and 128
        } else if (isEdge(static_cast<unsigned char>(s[j]))) {
            dst[j - q] = '=';
            dst[j - q + 1] = static_cast<char>(s[j] + 64);
            written = used + 1;
        }
        dst += written;
        column += static_cast<int>(written);
        q += used;
    }
}

using EscapePass = char* (*)(const unsigned char* in, std::size_t n, char* s);

// Both passes, block by block; the part's final byte goes through encodeOne.
[[gnu::always_inline]] inline char* encodeTwoPass(EscapePass escape, const unsigned char* in,
                                                  std::size_t n, char* dst, int& lineLength,
                                                  bool last) {
    int column = lineLength;
    // A block's stream (at most two characters a byte) after what the last one left, with room
    // for the wide stores past its end.
    alignas(64) char stream[2 * kBlock + 3 * kYEncLineLength + 128];
    std::size_t left = 0;
    const std::size_t bulk = last && n > 0 ? n - 1 : n;
    for (std::size_t i = 0; i < bulk;) {
        const std::size_t block = std::min(kBlock, bulk - i);
        const char* end = escape(in + i, block, stream + left);
        const std::size_t len = static_cast<std::size_t>(end - stream);
        const std::size_t cut = cutLines(stream, len, dst, column);
        left = len - cut;
        std::memmove(stream, stream + cut, left);
        i += block;
    }
    // The rest of the line: none of it reaches the line's last place.
    std::memcpy(dst, stream, left);
    dst += left;
    column += static_cast<int>(left);
    if (bulk < n)
        dst = encodeOne(in[n - 1], dst, column, true);
    dst = finish(dst, column, last);
    lineLength = column;
    return dst;
}

#if defined(__x86_64__)
#define KAVRIN32_AVX2 __attribute__((target("avx2,popcnt,bmi")))
#define KAVRIN32_AVX512 \
    __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vbmi2,bmi2,popcnt")))

KAVRIN32_AVX2 inline __m256i plus42(const unsigned char* p) {
    return _mm256_add_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)),
                           _mm256_set1_epi8(42));
}

// 32 bytes at a time, written whole; each escape then rewrites the rest of the chunk one place
// further on, from the input. Splicing reads up to 32 bytes past a chunk, so the loop stops 64
// bytes before the end.
KAVRIN32_AVX2 char* escapeAvx2(const unsigned char* in, std::size_t n, char* s) {
    const __m256i nul = _mm256_setzero_si256(), lf = _mm256_set1_epi8('\n'),
                  cr = _mm256_set1_epi8('\r'), eq = _mm256_set1_epi8('=');
    std::size_t i = 0;
    for (; n - i >= 64; i += 32) {
        const __m256i v = plus42(in + i);
        const __m256i critical =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(v, nul), _mm256_cmpeq_epi8(v, lf)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(v, cr), _mm256_cmpeq_epi8(v, eq)));
        const auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(critical));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(s), v);
        char* p = s;
        unsigned from = 0;
        for (std::uint32_t m = mask; m != 0; m &= m - 1) {
            const unsigned at = static_cast<unsigned>(__builtin_ctz(m));
            p += at - from;
            p[0] = '=';
            p[1] = static_cast<char>(in[i + at] + 42 + 64);
            p += 2;
            from = at + 1;
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), plus42(in + i + from));
        }
        s += 32 + __builtin_popcount(mask);
    }
    return escapeCritical(in + i, n - i, s);
}

// Every byte has two places, an even one used only when it is escaped (for "=") and an odd one
// for its character: with the escaped bytes of 32 as a mask, the places they take are a 64-bit
// mask too.
constexpr std::uint64_t kOdd = 0xAAAAAAAAAAAAAAAAull, kEven = 0x5555555555555555ull;

// Writes the 32 characters in the low half of v with their escapes (64 bytes are written; the
// text is 32 + escapes long): the characters are spread over their places by one byte
// expansion, and the places left free hold "=".
KAVRIN32_AVX512 inline char* expandStore(char* s, __m512i v, std::uint32_t escape) {
    v = _mm512_mask_add_epi8(v, escape, v, _mm512_set1_epi8(64));
    const std::uint64_t places = _pext_u64(kOdd, kOdd | _pdep_u64(escape, kEven));
    _mm512_storeu_si512(s, _mm512_mask_expand_epi8(_mm512_set1_epi8('='), places, v));
    return s + 32 + __builtin_popcount(escape);
}

// 64 bytes at a time; the critical characters, all below 64, are found by one table lookup.
KAVRIN32_AVX512 char* escapeAvx512(const unsigned char* in, std::size_t n, char* s) {
    alignas(64) static constexpr std::array<char, 64> kCritical = [] {
        std::array<char, 64> t{};
        for (const char c : {'\0', '\n', '\r', '='})
            t[static_cast<unsigned char>(c)] = 1;
        return t;
    }();
    const __m512i critical = _mm512_load_si512(kCritical.data());
    const __m512i add = _mm512_set1_epi8(42), high = _mm512_set1_epi8(static_cast<char>(0xC0)),
                  one = _mm512_set1_epi8(1);
    std::size_t i = 0;
    for (; n - i >= 64; i += 64) {
        const __m512i v = _mm512_add_epi8(_mm512_loadu_si512(in + i), add);
        const std::uint64_t escape =
            _mm512_test_epi8_mask(_mm512_maskz_permutexvar_epi8(~0ull, v, critical), one) &
            _mm512_testn_epi8_mask(v, high);
        s = expandStore(s, v, static_cast<std::uint32_t>(escape));
        s = expandStore(s, _mm512_maskz_shuffle_i64x2(0xFF, v, v, 0xEE),
                        static_cast<std::uint32_t>(escape >> 32));
    }
    return escapeCritical(in + i, n - i, s);
}
#endif

// Appends the yEnc text of n bytes to out, which grows by little more than the text: the bytes
// go in pieces small enough for the room left to hold whatever they become.
template <typename Buffer>
void appendYEnc(Buffer& out, const unsigned char* in, std::size_t n, int& column, bool last) {
    std::size_t at = out.size();
    out.resize(at + n + n / 16 + 1024);
    for (std::size_t done = 0;;) {
        const std::size_t room = out.size() - at;
        const std::size_t take = std::min(n - done, room > 1024 ? (room - 512) / 3 : 0);
        if (take == 0 && done < n) {
            out.resize(out.size() + YEncOutputBound(n - done));
            continue;
        }
        char* end = EncodeYEnc(in + done, take, out.data() + at, column, last && done + take == n);
        at = static_cast<std::size_t>(end - out.data());
        done += take;
        if (done == n)
            break;
    }
    out.resize(at);
}

std::string hex8(std::uint32_t v) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", v);
    return text;
}

}  // namespace

std::size_t YEncOutputBound(std::size_t n) {
    return 2 * n + n / 32 + 256;
}

#if defined(__x86_64__)
namespace {

// Both passes built for the processor of their first pass, so the second one copies lines in
// that processor's widest moves.
KAVRIN32_AVX512 char* encodeAvx512(const unsigned char* in, std::size_t n, char* dst, int& column,
                                   bool last) {
    return encodeTwoPass(escapeAvx512, in, n, dst, column, last);
}

KAVRIN32_AVX2 char* encodeAvx2(const unsigned char* in, std::size_t n, char* dst, int& column,
                               bool last) {
    return encodeTwoPass(escapeAvx2, in, n, dst, column, last);
}

}  // namespace
#endif

char* EncodeYEnc(const unsigned char* in, std::size_t n, char* dst, int& column, bool last) {
#if defined(__x86_64__)
    if (UseAvx512())
        return encodeAvx512(in, n, dst, column, last);
    if (UseAvx2())
        return encodeAvx2(in, n, dst, column, last);
#endif
    return encodeScalar(in, n, dst, column, last);
}

// ---- YEncFile -----------------------------------------------------------------------------

YEncFile::~YEncFile() {
    hideProgress();
    closeFile();
}

void YEncFile::setPartBytes(std::uint64_t partBytes) {
    m_partBytes = partBytes >= m_size ? 0 : partBytes;
    m_parts = m_partBytes == 0 ? 1
                               : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                     (m_size + m_partBytes - 1) / m_partBytes, UINT32_MAX));
    // A file too large for as many parts as a count can hold gets bigger parts.
    if (m_partBytes != 0 && std::uint64_t{m_parts} * m_partBytes < m_size)
        m_partBytes = (m_size + m_parts - 1) / m_parts;
    m_partCrc.assign(m_parts, std::nullopt);
    m_partSize.assign(m_parts, 0);
    m_cachedPart = 0;
    m_part = 0;
    m_stage = Stage::Done;
}

std::uint64_t YEncFile::partBegin(std::uint32_t part) const {
    return m_partBytes == 0 ? 0 : std::uint64_t{part - 1} * m_partBytes;
}

std::uint64_t YEncFile::partLength(std::uint32_t part) const {
    if (m_partBytes == 0)
        return m_size;
    return std::min(m_partBytes, m_size - partBegin(part));
}

std::string YEncFile::headLines(std::uint32_t part) const {
    const std::string rest = "line=" + std::to_string(kYEncLineLength) +
                             " size=" + std::to_string(m_size) + " name=" + m_name + "\r\n";
    if (m_parts == 1)
        return "=ybegin " + rest;
    const std::uint64_t begin = partBegin(part);
    return "=ybegin part=" + std::to_string(part) + " total=" + std::to_string(m_parts) + " " +
           rest + "=ypart begin=" + std::to_string(begin + 1) +
           " end=" + std::to_string(begin + partLength(part)) + "\r\n";
}

std::string YEncFile::tailLine(std::uint32_t part, bool withCrcs) {
    const std::string size = "=yend size=" + std::to_string(partLength(part));
    if (m_parts == 1)
        return size + " crc32=" + hex8(m_partCrc[0].value_or(0)) + "\r\n";
    std::string line =
        size + " part=" + std::to_string(part) + " pcrc32=" + hex8(m_partCrc[part - 1].value_or(0));
    if (part == m_parts) {
        // The whole file's CRC from the parts' CRCs; a part not read in this run (a document
        // sent on its own) is read for it now.
        std::uint32_t whole = 0;
        for (std::uint32_t k = 1; withCrcs && k <= m_parts; ++k) {
            if (!m_partCrc[k - 1]) {
                const auto [bytes, crc] = encodeRange(k, nullptr, false);
                notePass(k, crc, bytes);
            }
            whole = Crc32Combine(whole, *m_partCrc[k - 1], partLength(k));
        }
        line += " crc32=" + hex8(whole);
    }
    return line + "\r\n";
}

void YEncFile::failRead() {
    closeFile();
    hideProgress();
    throw ComposeError("Could not read attachment " + m_path);
}

void YEncFile::openIfClosed() {
    struct stat st {};
    if (m_fd >= 0) {
        // Kept open from the part before: it must not have changed size meanwhile.
        if (::fstat(m_fd, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != m_size)
            failRead();
        return;
    }
    m_fd = ReopenAttachmentFile(m_path, m_device, m_inode, m_size);
    if (m_fd < 0)
        failRead();
}

void YEncFile::closeFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void YEncFile::readAt(std::uint64_t offset, std::size_t n) {
    if (m_fd < 0)
        openIfClosed();
    if (m_in.size() < n)
        m_in.resize(n);
    if (!ReadFileAt(m_fd, m_in.data(), n, offset))
        failRead();
    if (offset + n == m_size) {
        // A file that grew since it was attached would be sent cut off at its old size.
        if (!FileEndsAt(m_fd, m_size))
            failRead();
        // Parts are read in order, so the file is done with; a later reading opens it again.
        closeFile();
    }
}

void YEncFile::showProgress(std::uint64_t done) {
    if (!m_progress)
        return;
    if (!m_shown) {
        m_progress->show("yEnc Encode - " + m_name);
        m_shown = true;
    }
    m_bytesDone = std::max(m_bytesDone, done);
    m_progress->position(m_size == 0 ? 100 : static_cast<int>(m_bytesDone * 100 / m_size));
}

void YEncFile::hideProgress() {
    if (m_progress && m_shown)
        m_progress->hide();
    m_shown = false;
}

void YEncFile::notePass(std::uint32_t part, std::uint32_t crc, std::uint64_t bytes) {
    auto& known = m_partCrc[part - 1];
    auto& size = m_partSize[part - 1];
    if ((known && *known != crc) || (size != 0 && size != bytes))
        failRead();
    known = crc;
    size = bytes;
}

std::pair<std::uint64_t, std::uint32_t> YEncFile::encodeRange(std::uint32_t part, ByteBuffer* out,
                                                              bool withProgress) {
    const std::uint64_t begin = partBegin(part), length = partLength(part);
    ByteBuffer& sink = out ? *out : m_scratch;
    std::uint64_t bytes = 0;
    std::uint32_t crc = 0;
    int column = 0;
    if (length != 0)
        openIfClosed();
    for (std::uint64_t done = 0; done < length;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - done));
        readAt(begin + done, n);
        crc = Crc32(crc, m_in.data(), n);
        if (!out)
            sink.clear();
        const std::size_t start = sink.size();
        appendYEnc(sink, m_in.data(), n, column, done + n == length);
        bytes += sink.size() - start;
        done += n;
        if (withProgress)
            showProgress(begin + done);
    }
    return {bytes, crc};
}

std::uint64_t YEncFile::partSize(std::uint32_t part, EncodeProgress* progress) {
    if (part < 1 || part > m_parts)
        return 0;
    if (m_cachedPart == part)
        return m_cache.size();
    // The frame's length does not depend on the CRCs it will carry.
    const std::uint64_t frame = headLines(part).size() + tailLine(part, false).size();
    if (m_partSize[part - 1] != 0 || partLength(part) == 0)
        return frame + m_partSize[part - 1];
    if (partLength(part) <= kCacheLimit) {
        // Encoded once now and sent from memory, so posting reads every byte once.
        m_progress = progress;
        m_cachedPart = 0;
        m_cache.clear();
        // Room for the usual text at once, so the buffer does not grow by doubling.
        m_cache.reserve(partLength(part) + partLength(part) / 16 + 4096);
        m_cache.append(headLines(part));
        const auto [bytes, crc] = encodeRange(part, &m_cache, true);
        notePass(part, crc, bytes);
        if (part == m_parts)
            hideProgress();
        m_cache.append(tailLine(part, true));
        m_cachedPart = part;
        return m_cache.size();
    }
    // A large part is counted by encoding it without keeping the result; reading it encodes
    // it again and must find the same bytes.
    const auto [bytes, crc] = encodeRange(part, nullptr, false);
    notePass(part, crc, bytes);
    return frame + bytes;
}

void YEncFile::beginPart(std::uint32_t part, EncodeProgress* progress) {
    m_part = part;
    m_stage = part >= 1 && part <= m_parts ? Stage::Head : Stage::Done;
    m_offset = 0;
    m_cachePos = 0;
    m_column = 0;
    m_crc = 0;
    m_written = 0;
    m_progress = progress;
}

bool YEncFile::nextPart(std::string& out, std::size_t maxBytes) {
    if (m_stage == Stage::Done)
        return false;
    const std::size_t start = out.size();
    if (m_cachedPart == m_part) {
        const std::size_t n =
            std::min(m_cache.size() - m_cachePos, std::max<std::size_t>(maxBytes, 1));
        out.append(m_cache.data() + m_cachePos, n);
        m_cachePos += n;
        if (m_cachePos == m_cache.size())
            m_stage = Stage::Done;
        return true;
    }
    const std::uint64_t begin = partBegin(m_part), length = partLength(m_part);
    while (m_stage != Stage::Done && (out.size() == start || out.size() - start < maxBytes)) {
        if (m_stage == Stage::Head) {
            out += headLines(m_part);
            m_stage = length == 0 ? Stage::Tail : Stage::Data;
            if (length != 0)
                openIfClosed();
        } else if (m_stage == Stage::Data) {
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, length - m_offset));
            readAt(begin + m_offset, n);
            m_crc = Crc32(m_crc, m_in.data(), n);
            const std::size_t at = out.size();
            appendYEnc(out, m_in.data(), n, m_column, m_offset + n == length);
            m_written += out.size() - at;
            m_offset += n;
            showProgress(begin + m_offset);
            if (m_offset == length) {
                if (m_part == m_parts)
                    hideProgress();
                notePass(m_part, m_crc, m_written);
                m_stage = Stage::Tail;
            }
        } else {
            out += tailLine(m_part, true);
            m_stage = Stage::Done;
        }
    }
    return true;
}

std::string_view YEncFile::heldPart() {
    if (m_stage == Stage::Done || m_cachedPart != m_part)
        return {};
    const std::string_view rest = m_cache.view().substr(m_cachePos);
    m_cachePos = m_cache.size();
    m_stage = Stage::Done;
    return rest;
}

std::string YEncFile::partText(std::uint32_t part) {
    std::string text;
    beginPart(part);
    while (nextPart(text, std::size_t{1} << 20)) {
    }
    return text;
}

std::shared_ptr<YEncFile> OpenYEncAttachment(const std::string& path, UserPrompts& prompts) {
    struct stat st {};
    const int fd = OpenAttachmentFile(path, prompts, st);
    if (fd < 0)
        return nullptr;
    ::close(fd);
    std::shared_ptr<YEncFile> file(new YEncFile);
    file->m_path = path;
    file->m_name = CleanHeaderValue(FileNameOfPath(path));
    file->m_size = static_cast<std::uint64_t>(st.st_size);
    file->m_device = st.st_dev;
    file->m_inode = st.st_ino;
    file->setPartBytes(0);
    return file;
}

#include "compose/attachment.h"

#include "compose/compose_error.h"
#include "compose/cpu_features.h"
#include "platform/user_prompts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace {

// Two output characters per 12 input bits, so a 3-byte group costs two table loads and no
// branches. Entry v holds the characters of v's upper and lower six bits, first in the low byte.
using PairTable = std::array<std::uint16_t, 4096>;

constexpr char uuChar(unsigned v) {
    return v == 0 ? '`' : static_cast<char>(v + 32);
}
constexpr char base64Char(unsigned v) {
    return "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[v];
}

template <char (*Map)(unsigned)>
constexpr PairTable makePairs() {
    PairTable t{};
    for (unsigned v = 0; v < 4096; ++v)
        t[v] = static_cast<std::uint16_t>(static_cast<unsigned char>(Map(v >> 6)) |
                                          (static_cast<unsigned char>(Map(v & 63)) << 8));
    return t;
}

constexpr PairTable kUUPairs = makePairs<uuChar>();
constexpr PairTable kBase64Pairs = makePairs<base64Char>();

inline void encodeGroups(const PairTable& t, const unsigned char* in, std::size_t groups,
                         char* dst) {
    std::size_t g = 0;
    // Two groups at a time from one 8-byte load, written as one 8-byte store. The load reads
    // two bytes past the pair, so it is used only while another group follows.
    for (; g + 2 < groups; g += 2, in += 6, dst += 8) {
        std::uint64_t w;
        std::memcpy(&w, in, 8);
        w = __builtin_bswap64(w);
        const std::uint64_t out =
            std::uint64_t{t[(w >> 52) & 4095]} | (std::uint64_t{t[(w >> 40) & 4095]} << 16) |
            (std::uint64_t{t[(w >> 28) & 4095]} << 32) | (std::uint64_t{t[(w >> 16) & 4095]} << 48);
        std::memcpy(dst, &out, 8);
    }
    for (; g < groups; ++g, in += 3, dst += 4) {
        const unsigned v = (unsigned{in[0]} << 16) | (unsigned{in[1]} << 8) | in[2];
        std::memcpy(dst, &t[v >> 12], 2);
        std::memcpy(dst + 2, &t[v & 4095], 2);
    }
}

// The four 6-bit values of a final group of r (1 or 2) bytes, zero-padded.
inline void tailValues(const unsigned char* in, std::size_t r, unsigned out[4]) {
    const unsigned b0 = in[0], b1 = r > 1 ? in[1] : 0;
    out[0] = b0 >> 2;
    out[1] = ((b0 & 3) << 4) | (b1 >> 4);
    out[2] = (b1 & 15) << 2;
    out[3] = 0;
}

std::size_t encodeUU(const unsigned char* in, std::size_t n, char* dst);
std::size_t encodeBase64(const unsigned char* in, std::size_t n, char* dst);

// Bytes readable past the input of the full-line encoders: their wide loads overrun it.
constexpr std::size_t kInputSlack = 32;

// Encodes whole lines of 45 (UU) or 54 (Base64) bytes, each followed by CR LF.
char* encodeFullLinesScalar(bool uu, const unsigned char* in, std::size_t lines, char* dst) {
    for (std::size_t i = 0; i < lines; ++i) {
        if (uu) {
            dst += encodeUU(in, kUUBytesPerLine, dst);
            in += kUUBytesPerLine;
        } else {
            dst += encodeBase64(in, kBase64BytesPerLine, dst);
            in += kBase64BytesPerLine;
        }
        *dst++ = '\r';
        *dst++ = '\n';
    }
    return dst;
}

#if defined(__x86_64__)
// 24 input bytes to their 32 six-bit values, one per byte (after W. Mula and D. Lemire).
__attribute__((target("avx2"))) inline __m256i sixBitValues(const unsigned char* in) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 12));
    __m256i v = _mm256_set_m128i(hi, lo);
    v = _mm256_shuffle_epi8(v, _mm256_setr_epi8(1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10,
                                                1, 0, 2, 1, 4, 3, 5, 4, 7, 6, 8, 7, 10, 9, 11, 10));
    const __m256i t0 = _mm256_and_si256(v, _mm256_set1_epi32(0x0fc0fc00));
    const __m256i t1 = _mm256_mulhi_epu16(t0, _mm256_set1_epi32(0x04000040));
    const __m256i t2 = _mm256_and_si256(v, _mm256_set1_epi32(0x003f03f0));
    const __m256i t3 = _mm256_mullo_epi16(t2, _mm256_set1_epi32(0x01000010));
    return _mm256_or_si256(t1, t3);
}

__attribute__((target("avx2"))) inline __m256i uuChars(__m256i v) {
    // value + 32, and the grave accent (96) for 0.
    const __m256i zero = _mm256_cmpeq_epi8(v, _mm256_setzero_si256());
    return _mm256_add_epi8(_mm256_add_epi8(v, _mm256_set1_epi8(32)),
                           _mm256_and_si256(zero, _mm256_set1_epi8(64)));
}

__attribute__((target("avx2"))) inline __m256i base64Chars(__m256i v) {
    __m256i r = _mm256_subs_epu8(v, _mm256_set1_epi8(51));
    const __m256i less = _mm256_cmpgt_epi8(_mm256_set1_epi8(26), v);
    r = _mm256_or_si256(r, _mm256_and_si256(less, _mm256_set1_epi8(13)));
    const __m256i shift =
        _mm256_setr_epi8('a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                         '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0,
                         'a' - 26, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52, '0' - 52,
                         '0' - 52, '0' - 52, '0' - 52, '0' - 52, '+' - 62, '/' - 63, 'A', 0, 0);
    return _mm256_add_epi8(_mm256_shuffle_epi8(shift, r), v);
}

__attribute__((target("avx2"))) char* encodeFullLinesAvx2(bool uu, const unsigned char* in,
                                                          std::size_t lines, char* dst) {
    for (std::size_t i = 0; i < lines; ++i) {
        if (uu) {
            // "M", 32 characters for bytes 0..23, then 28 for bytes 24..44. While another line
            // follows, the second block is stored whole: its last 4 characters land where the
            // line end and the next line go, which are written over next.
            *dst = 'M';
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 1), uuChars(sixBitValues(in)));
            if (i + 1 < lines) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 33),
                                    uuChars(sixBitValues(in + 24)));
            } else {
                encodeGroups(kUUPairs, in + 24, 7, dst + 33);
            }
            dst += 61;
            in += kUUBytesPerLine;
        } else {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), base64Chars(sixBitValues(in)));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 32),
                                base64Chars(sixBitValues(in + 24)));
            encodeGroups(kBase64Pairs, in + 48, 2, dst + 64);
            dst += 72;
            in += kBase64BytesPerLine;
        }
        *dst++ = '\r';
        *dst++ = '\n';
    }
    return dst;
}

#endif

// Full lines from a buffer with kInputSlack readable bytes past its end.
char* encodeFullLines(bool uu, const unsigned char* in, std::size_t lines, char* dst) {
#if defined(__x86_64__)
    if (UseAvx2())
        return encodeFullLinesAvx2(uu, in, lines, dst);
#endif
    return encodeFullLinesScalar(uu, in, lines, dst);
}

// A MIME quoted-string's content: backslash and double quote escaped.
std::string quotedContent(std::string_view s) {
    std::string out;
    for (char c : CleanHeaderValue(s)) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

constexpr std::size_t kMaxReadChunk = std::size_t{1} << 20;

struct ContentTypeRow {
    std::string_view type;
    std::string_view extensions;  // blank-separated, upper case, with the full stop
};

constexpr ContentTypeRow kContentTypes[] = {
    {"audio/x-mpeg", ".ABS .MP2 .MP3 .MPA .MPEGA"},
    {"text/html", ".ACGI .CGI .HTM .HTML"},
    {"audio/aiff", ".AIF .AIFF"},
    {"application/x-aim", ".AIM"},
    {"image/x-jg", ".ART"},
    {"video/avi", ".AVI"},
    {"audio/basic", ".AU .SND"},
    {"image/x-ms-bmp", ".BMP"},
    {"application/vnd.ms-artgalry", ".CIL"},
    {"application/x-x509-ca-cert", ".CRT .DER"},
    {"application/x-director", ".DCR .DIR .DXR .SWA"},
    {"application/msword", ".DOC"},
    {"application/pre-encrypted", ".ENC"},
    {"message/rfc822", ".EML .NWS"},
    {"application/vnd.fdf", ".FDF"},
    {"image/gif", ".GIF"},
    {"application/x-gzip", ".GZ"},
    {"application/mac-binhex40", ".HQX"},
    {"application/x-iphone", ".III"},
    {"application/x-internet-signup", ".INS .ISP"},
    {"image/jpeg", ".JFIF .JPE .JPEG .JPG .PJP .PJPEG"},
    {"application/x-javascript", ".JS"},
    {"audio/mid", ".MID .RMI"},
    {"video/mpeg", ".MPE .MPEG .MPEGV .MPG .MPV .VBS"},
    {"video/quicktime", ".MOV .QT .QTVR"},
    {"text/ofc", ".OFC"},
    {"image/x-photo-cd", ".PCD"},
    {"application/pdf", ".PDF"},
    {"image/pict", ".PICT"},
    {"image/png", ".PNG"},
    {"application/vnd.ms-powerpoint", ".POT .PPA .PPS .PPT .PWZ"},
    {"audio/x-pn-realaudio", ".RA .RAM"},
    {"application/rtf", ".RTF"},
    {"application/x-shockwave-flash", ".SWF"},
    {"application/x-tar", ".TAR"},
    {"text/plain", ".TEXT .TXT"},
    {"application/x-compressed", ".TGZ"},
    {"image/tiff", ".TIF .TIFF"},
    {"audio/wav", ".WAV"},
    {"x-world/x-vrml", ".WRL"},
    {"image/x-xbitmap", ".XBM"},
    {"application/vnd.ms-excel", ".XLA .XLC .XLD .XLL .XLM .XLS .XLT .XLW"},
    {"application/x-compress", ".Z"},
    {"application/x-zip-compressed", ".ZIP"},
};

}  // namespace

namespace {
std::size_t encodeUU(const unsigned char* in, std::size_t n, char* dst) {
    // The length character is the byte count + 32 (45 gives "M"), never the grave accent.
    dst[0] = static_cast<char>(n + 32);
    char* p = dst + 1;
    const std::size_t groups = n / 3;
    encodeGroups(kUUPairs, in, groups, p);
    p += groups * 4;
    if (const std::size_t r = n % 3) {
        unsigned v[4];
        tailValues(in + groups * 3, r, v);
        for (std::size_t k = 0; k <= r; ++k)
            *p++ = uuChar(v[k]);
    }
    return static_cast<std::size_t>(p - dst);
}

std::size_t encodeBase64(const unsigned char* in, std::size_t n, char* dst) {
    char* p = dst;
    const std::size_t groups = n / 3;
    encodeGroups(kBase64Pairs, in, groups, p);
    p += groups * 4;
    if (const std::size_t r = n % 3) {
        unsigned v[4];
        tailValues(in + groups * 3, r, v);
        for (std::size_t k = 0; k <= r; ++k)
            *p++ = base64Char(v[k]);
        for (std::size_t k = r; k < 3; ++k)
            *p++ = '=';
    }
    return static_cast<std::size_t>(p - dst);
}

}  // namespace

std::size_t EncodeUULine(const unsigned char* in, std::size_t n, char* dst) {
    return encodeUU(in, n, dst);
}

std::size_t EncodeBase64Line(const unsigned char* in, std::size_t n, char* dst) {
    return encodeBase64(in, n, dst);
}

std::string CleanHeaderValue(std::string_view value) {
    std::string out(value);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = ' ';
    return out;
}

std::string FileNameOfPath(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ContentTypeFor(std::string_view path) {
    const std::string name = FileNameOfPath(path);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos) {
        std::string ext = name.substr(dot);
        for (char& c : ext)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        for (const auto& row : kContentTypes) {
            std::string_view list = row.extensions;
            while (!list.empty()) {
                const auto blank = list.find(' ');
                if (list.substr(0, blank) == ext)
                    return std::string(row.type);
                list =
                    blank == std::string_view::npos ? std::string_view{} : list.substr(blank + 1);
            }
        }
    }
    return "application/octet-stream";
}

AttachedFile::~AttachedFile() {
    // A message dropped half-way (an error in another file, a failed transfer) still takes
    // its progress window down.
    if (m_progress && m_shown)
        m_progress->hide();
    if (m_fd >= 0)
        ::close(m_fd);
}

std::uint64_t AttachedFile::dataLineCount() const {
    const std::uint64_t per = m_method == kMethodBase64 ? kBase64BytesPerLine : kUUBytesPerLine;
    return (m_size + per - 1) / per;
}

std::uint64_t AttachedFile::dataLineBytes(std::uint64_t index) const {
    const std::uint64_t per = m_method == kMethodBase64 ? kBase64BytesPerLine : kUUBytesPerLine;
    const std::uint64_t n = std::min(per, m_size - index * per);
    if (m_method == kMethodBase64)
        return 4 * ((n + 2) / 3);
    return 1 + 4 * (n / 3) + (n % 3 ? n % 3 + 1 : 0);
}

std::uint64_t AttachedFile::lineCount() const {
    return m_before.size() + dataLineCount() + m_after.size();
}

std::uint64_t AttachedFile::byteCount(std::uint64_t first, std::uint64_t last) const {
    last = std::min(last, lineCount());
    std::uint64_t total = 0;
    const std::uint64_t nb = m_before.size(), nd = dataLineCount();
    for (std::uint64_t i = first; i < std::min(last, nb); ++i)
        total += m_before[i].size() + 2;
    // Data lines: all full but the last one.
    const std::uint64_t a = std::max(first, nb) - nb;
    const std::uint64_t b = std::min(last, nb + nd) > nb ? std::min(last, nb + nd) - nb : 0;
    if (b > a) {
        const std::uint64_t fullEnd = std::min(b, nd - 1);
        if (fullEnd > a)
            total += (fullEnd - a) * (dataLineBytes(0) + 2);
        if (b == nd)
            total += dataLineBytes(nd - 1) + 2;
    }
    for (std::uint64_t i = std::max(first, nb + nd); i < last; ++i)
        total += m_after[i - nb - nd].size() + 2;
    return total;
}

void AttachedFile::appendDataLines(std::string& out, std::uint64_t first, std::uint64_t count) {
    const std::uint64_t per = m_method == kMethodBase64 ? kBase64BytesPerLine : kUUBytesPerLine;
    const std::uint64_t offset = first * per;
    const std::size_t bytes = static_cast<std::size_t>(std::min(count * per, m_size - offset));
    if (m_progress && !m_shown) {
        m_progress->show(m_caption);
        m_shown = true;
    }
    if (m_buffer.size() < bytes + kInputSlack)
        m_buffer.resize(bytes + kInputSlack);
    openForReading();
    if (!ReadFileAt(m_fd, m_buffer.data(), bytes, offset))
        throw ComposeError("Could not read attachment " + m_path);
    // Every line but the file's last is full, so the output size follows from the count.
    const std::uint64_t last = first + count - 1;
    const std::size_t outBytes = static_cast<std::size_t>((count - 1) * (dataLineBytes(first) + 2) +
                                                          dataLineBytes(last) + 2);
    const std::size_t start = out.size();
    out.resize(start + outBytes);
    char* dst = out.data() + start;
    const unsigned char* in = m_buffer.data();
    const bool uu = m_method != kMethodBase64;
    const std::size_t full = bytes / per;
    dst = encodeFullLines(uu, in, full, dst);
    if (const std::size_t left = bytes - full * per) {
        in += full * per;
        dst += uu ? encodeUU(in, left, dst) : encodeBase64(in, left, dst);
        *dst++ = '\r';
        *dst++ = '\n';
    }
    m_bytesDone = std::max(m_bytesDone, offset + bytes);
    if (m_progress)
        m_progress->position(static_cast<int>(m_bytesDone * 100 / m_size));
}

void AttachedFile::openForReading() {
    if (m_fd < 0)
        m_fd = ReopenAttachmentFile(m_path, m_device, m_inode, m_size);
    if (m_fd < 0)
        throw ComposeError("Could not read attachment " + m_path);
}

void AttachedFile::finishData() {
    // A file that grew since it was attached would be sent cut off at its old size.
    openForReading();
    const bool ends = FileEndsAt(m_fd, m_size);
    // Read to its end: the next reading (a document sent again) opens it anew.
    ::close(m_fd);
    m_fd = -1;
    std::vector<unsigned char>().swap(m_buffer);
    if (m_progress && m_shown) {
        m_progress->hide();
        m_shown = false;
    }
    if (!ends)
        throw ComposeError("Could not read attachment " + m_path);
}

std::uint64_t AttachedFile::appendLines(std::string& out, std::uint64_t first, std::uint64_t last,
                                        std::size_t maxBytes, EncodeProgress* progress) {
    m_progress = progress;
    last = std::min(last, lineCount());
    const std::uint64_t nb = m_before.size(), nd = dataLineCount();
    const std::uint64_t per = m_method == kMethodBase64 ? kBase64BytesPerLine : kUUBytesPerLine;
    const std::size_t start = out.size();
    std::uint64_t line = first;
    try {
        while (line < last && (line == first || out.size() - start < maxBytes)) {
            if (line < nb) {
                out += m_before[line];
                out += "\r\n";
                ++line;
                if (line == nb && nd == 0)
                    finishData();
            } else if (line < nb + nd) {
                const std::uint64_t index = line - nb;
                const std::size_t room =
                    maxBytes > out.size() - start ? maxBytes - (out.size() - start) : 0;
                std::uint64_t count = std::max<std::uint64_t>(
                    1, std::min<std::uint64_t>(room / (dataLineBytes(0) + 2), kMaxReadChunk / per));
                count = std::min({count, last - line, nd - index});
                appendDataLines(out, index, count);
                line += count;
                if (index + count == nd)
                    finishData();
            } else {
                out += m_after[line - nb - nd];
                out += "\r\n";
                ++line;
            }
        }
    } catch (...) {
        if (m_progress && m_shown) {
            m_progress->hide();
            m_shown = false;
        }
        throw;
    }
    return line;
}

std::vector<std::string> AttachedFile::allLines() {
    std::string text;
    appendLines(text, 0, lineCount(), SIZE_MAX);
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

int OpenAttachmentFile(const std::string& path, UserPrompts& prompts, struct stat& st) {
    if (::stat(path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) {
        prompts.warning("Attachment " + path + " not found");
        return -1;
    }
    // Only a regular file has an end: a FIFO or device would be read forever, a directory not
    // at all. O_NONBLOCK keeps a FIFO swapped in after the check from blocking the open.
    int fd = -1;
    if (S_ISREG(st.st_mode))
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0)
        prompts.warning("Could not open attachment " + path);
    return fd;
}

int ReopenAttachmentFile(const std::string& path, dev_t device, ino_t inode, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != device ||
        st.st_ino != inode || static_cast<std::uint64_t>(st.st_size) != size) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadFileAt(int fd, unsigned char* buffer, std::size_t n, std::uint64_t offset) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, buffer + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

bool FileEndsAt(int fd, std::uint64_t size) {
    unsigned char probe;
    ssize_t r;
    do {
        r = ::pread(fd, &probe, 1, static_cast<off_t>(size));
    } while (r < 0 && errno == EINTR);
    return r == 0;
}

std::shared_ptr<AttachedFile> OpenAttachment(std::int32_t method, const std::string& path,
                                             UserPrompts& prompts) {
    struct stat st {};
    const int fd = OpenAttachmentFile(path, prompts, st);
    if (fd < 0)
        return nullptr;
    // The file is looked at (and an unusable one reported) whatever the method; only the two
    // known methods make lines of it. It is opened again when its data is read.
    ::close(fd);
    if (method != kMethodUUEncode && method != kMethodBase64)
        return nullptr;
    std::shared_ptr<AttachedFile> file(new AttachedFile);
    file->m_method = method;
    file->m_path = path;
    file->m_device = st.st_dev;
    file->m_inode = st.st_ino;
    file->m_size = static_cast<std::uint64_t>(st.st_size);
    const std::string name = FileNameOfPath(path);
    if (method == kMethodUUEncode) {
        file->m_caption = "UUEncode - " + name;
        file->m_before = {"begin 644 " + CleanHeaderValue(name)};
        file->m_after = {"`", "end"};
    } else {
        file->m_caption = "MIME/Base64 Encode - " + name;
        const std::string quoted = quotedContent(name);
        file->m_before = {"Content-Type: " + ContentTypeFor(path) + "; name=\"" + quoted + "\"",
                          "Content-Transfer-Encoding: base64",
                          "Content-Disposition: inline; filename=\"" + quoted + "\"", ""};
    }
    return file;
}

std::vector<std::string> EncodeAttachment(std::int32_t method, const std::string& path,
                                          UserPrompts& prompts) {
    auto file = OpenAttachment(method, path, prompts);
    if (!file)
        return {};
    return file->allLines();
}

// The attachment encoders as round trips: any bytes, any size, read out in pieces of any size,
// encoded by every method and by every width of the encoder (portable, AVX2, AVX-512), and
// decoded again by a small decoder of each format written here: the bytes come back, the
// frame lines say what they must, and the sizes announced before encoding are the sizes sent.
//
// Input: one byte of options (the method, and how often the rest is repeated to make the file,
// so sizes reach past the encoders' blocks), one byte for the size of the pieces read out, one
// for the size of a yEnc part, then the file's bytes.

#include "compose/attachment.h"
#include "compose/yenc.h"
#include "fuzz_support.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Each method: how a file is read out as its text, and how that text is decoded back.
struct Method {
    std::int32_t number;
    std::string (*encode)(const std::string& path, std::size_t piece, std::uint64_t partBytes);
    std::string (*decode)(std::string_view text, std::string_view name, std::uint64_t size);
};

std::vector<std::string_view> crlfLines(std::string_view text) {
    FUZZ_CHECK(text.empty() || text.ends_with("\r\n"));
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find("\r\n");
        lines.push_back(text.substr(0, end));
        FUZZ_CHECK(lines.back().find_first_of("\r\n") == std::string_view::npos);
        text.remove_prefix(end + 2);
    }
    return lines;
}

std::string lineMethodText(std::int32_t method, const std::string& path, std::size_t piece) {
    FuzzPrompts prompts;
    auto file = OpenAttachment(method, path, prompts);
    FUZZ_CHECK(file && prompts.texts.empty());
    std::string text;
    for (std::uint64_t line = 0; line < file->lineCount();)
        line = file->appendLines(text, line, file->lineCount(), piece);
    FUZZ_CHECK(text.size() == file->byteCount(0, file->lineCount()));
    FUZZ_CHECK(crlfLines(text).size() == file->lineCount());
    return text;
}

// ---- UUEncode -----------------------------------------------------------------------------

std::string encodeUU(const std::string& path, std::size_t piece, std::uint64_t) {
    return lineMethodText(0, path, piece);
}

unsigned uuValue(char c) {
    FUZZ_CHECK(c > ' ' && c <= '`');  // a blank never stands for 0: "`" does
    return static_cast<unsigned>(c - ' ') & 63;
}

std::string decodeUU(std::string_view text, std::string_view name, std::uint64_t size) {
    const auto lines = crlfLines(text);
    FUZZ_CHECK(lines.size() >= 3);
    FUZZ_CHECK(lines.front() == "begin 644 " + std::string(name));
    FUZZ_CHECK(lines[lines.size() - 2] == "`" && lines.back() == "end");
    std::string bytes;
    for (std::size_t i = 1; i + 2 < lines.size(); ++i) {
        const std::string_view l = lines[i];
        const unsigned n = uuValue(l[0]);
        // Full lines of 45 bytes but the last; the last group without padding.
        FUZZ_CHECK(n == 45 || i + 3 == lines.size());
        FUZZ_CHECK(n > 0 && l.size() == 1 + 4 * (n / 3) + (n % 3 ? n % 3 + 1 : 0));
        std::array<unsigned, 4> v{};
        for (std::size_t g = 0; g * 3 < n; ++g) {
            for (std::size_t k = 0; k < 4; ++k)
                v[k] = 1 + 4 * g + k < l.size() ? uuValue(l[1 + 4 * g + k]) : 0;
            const unsigned word = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
            for (std::size_t k = 0; k < 3 && g * 3 + k < n; ++k)
                bytes += static_cast<char>(word >> (16 - 8 * k));
        }
    }
    FUZZ_CHECK(bytes.size() == size);
    return bytes;
}

// ---- Base64 -------------------------------------------------------------------------------

std::string encodeBase64(const std::string& path, std::size_t piece, std::uint64_t) {
    return lineMethodText(1, path, piece);
}

unsigned base64Value(char c) {
    static constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::size_t v = kAlphabet.find(c);
    FUZZ_CHECK(v != std::string_view::npos);
    return static_cast<unsigned>(v);
}

std::string decodeBase64(std::string_view text, std::string_view name, std::uint64_t size) {
    const auto lines = crlfLines(text);
    FUZZ_CHECK(lines.size() >= 4);
    FUZZ_CHECK(lines[0].starts_with("Content-Type: ") &&
               lines[0].ends_with("; name=\"" + std::string(name) + "\""));
    FUZZ_CHECK(lines[1] == "Content-Transfer-Encoding: base64");
    FUZZ_CHECK(lines[2] == "Content-Disposition: inline; filename=\"" + std::string(name) + "\"");
    FUZZ_CHECK(lines[3].empty());
    std::string bytes;
    for (std::size_t i = 4; i < lines.size(); ++i) {
        std::string_view l = lines[i];
        FUZZ_CHECK(l.size() % 4 == 0 && !l.empty() && (l.size() == 72 || i + 1 == lines.size()));
        std::size_t pad = 0;
        while (l.ends_with('=')) {
            l.remove_suffix(1);
            ++pad;
        }
        FUZZ_CHECK(pad <= 2 && (pad == 0 || i + 1 == lines.size()));
        for (std::size_t g = 0; g * 4 < l.size(); ++g) {
            unsigned word = 0;
            for (std::size_t k = 0; k < 4; ++k)
                word = (word << 6) | (g * 4 + k < l.size() ? base64Value(l[g * 4 + k]) : 0);
            const std::size_t take = std::min<std::size_t>(3, (l.size() - g * 4) * 6 / 8);
            for (std::size_t k = 0; k < take; ++k)
                bytes += static_cast<char>(word >> (16 - 8 * k));
        }
    }
    FUZZ_CHECK(bytes.size() == size);
    return bytes;
}

// ---- yEnc ---------------------------------------------------------------------------------

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

std::string hex8(std::uint32_t v) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return buf;
}

// Every part as its own text, one after the other, each started with "=ybegin".
std::string encodeYEnc(const std::string& path, std::size_t piece, std::uint64_t partBytes) {
    FuzzPrompts prompts;
    auto file = OpenYEncAttachment(path, prompts);
    FUZZ_CHECK(file && prompts.texts.empty());
    file->setPartBytes(partBytes);
    std::string text;
    for (std::uint32_t k = 1; k <= file->partCount(); ++k) {
        const std::uint64_t announced = file->partSize(k);
        const std::size_t start = text.size();
        file->beginPart(k);
        while (file->nextPart(text, piece)) {
        }
        FUZZ_CHECK(file->partEnded());
        FUZZ_CHECK(text.size() - start == announced);
    }
    return text;
}

std::string decodeYEnc(std::string_view text, std::string_view name, std::uint64_t size) {
    const auto lines = crlfLines(text);
    std::string bytes;
    std::size_t i = 0;
    std::uint32_t parts = 0, total = 0;
    while (i < lines.size()) {
        const std::string_view begin = lines[i++];
        FUZZ_CHECK(begin.starts_with("=ybegin "));
        ++parts;
        const std::string tail =
            "line=128 size=" + std::to_string(size) + " name=" + std::string(name);
        const bool multi = begin.starts_with("=ybegin part=");
        std::uint64_t from = 0, to = size;
        if (multi) {
            unsigned part = 0;
            FUZZ_CHECK(std::sscanf(std::string(begin).c_str(), "=ybegin part=%u total=%u", &part,
                                   &total) == 2);
            FUZZ_CHECK(part == parts && begin.ends_with(" " + tail));
            unsigned long long b = 0, e = 0;
            FUZZ_CHECK(i < lines.size());
            FUZZ_CHECK(std::sscanf(std::string(lines[i++]).c_str(), "=ypart begin=%llu end=%llu",
                                   &b, &e) == 2);
            FUZZ_CHECK(b == bytes.size() + 1 && e >= b - 1 && e <= size);
            from = b - 1;
            to = e;
        } else {
            FUZZ_CHECK(begin == "=ybegin " + tail && parts == 1);
        }
        std::string part;
        for (; i < lines.size() && !lines[i].starts_with("=yend "); ++i) {
            const std::string_view l = lines[i];
            FUZZ_CHECK(!l.empty() && l.size() <= 129);
            // Never a blank, TAB or "." where a line begins or ends, nor a NUL anywhere.
            FUZZ_CHECK(l.front() != ' ' && l.front() != '\t' && l.front() != '.');
            FUZZ_CHECK(l.back() != ' ' && l.back() != '\t' && l.back() != '.');
            FUZZ_CHECK(l.find('\0') == std::string_view::npos);
            for (std::size_t k = 0; k < l.size(); ++k) {
                unsigned char c = static_cast<unsigned char>(l[k]);
                if (c == '=') {
                    FUZZ_CHECK(k + 1 < l.size());
                    c = static_cast<unsigned char>(l[++k] - 64);
                }
                part += static_cast<char>(c - 42);
            }
        }
        FUZZ_CHECK(i < lines.size());
        const std::string end(lines[i++]);
        FUZZ_CHECK(part.size() == to - from);
        bytes += part;
        std::string expected = "=yend size=" + std::to_string(part.size());
        if (multi) {
            expected += " part=" + std::to_string(parts) + " pcrc32=" + hex8(crc32(part));
            if (parts == total)
                expected += " crc32=" + hex8(crc32(bytes));
        } else {
            expected += " crc32=" + hex8(crc32(part));
        }
        FUZZ_CHECK(end == expected);
    }
    FUZZ_CHECK(parts >= 1 && (total == 0 || parts == total));
    FUZZ_CHECK(bytes.size() == size);
    return bytes;
}

const Method kMethods[] = {
    {kMethodUUEncode, encodeUU, decodeUU},
    {kMethodBase64, encodeBase64, decodeBase64},
    {kMethodYEnc, encodeYEnc, decodeYEnc},
};

// The yEnc kernel fed the same bytes in pieces, the line in progress carried between them,
// writes what it writes for them at once.
void checkYEncPieces(const std::string& bytes, std::size_t piece) {
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string whole(YEncOutputBound(bytes.size()), '\0');
    int column = 0;
    whole.resize(static_cast<std::size_t>(EncodeYEnc(in, bytes.size(), whole.data(), column, true) -
                                          whole.data()));
    std::string pieces;
    column = 0;
    for (std::size_t done = 0; done < bytes.size() || done == 0;) {
        const std::size_t n = std::min(piece, bytes.size() - done);
        const std::size_t at = pieces.size();
        pieces.resize(at + YEncOutputBound(n));
        char* end = EncodeYEnc(in + done, n, pieces.data() + at, column, done + n == bytes.size());
        pieces.resize(static_cast<std::size_t>(end - pieces.data()));
        done += n;
        if (done == bytes.size())
            break;
    }
    FUZZ_CHECK(pieces == whole);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const Method& method = kMethods[data[0] % std::size(kMethods)];
    const std::size_t repeat = 1 + (data[0] >> 4);  // 1..16 copies
    const std::size_t piece = 1 + std::size_t{data[1]} * 61;
    const std::uint64_t partBytes = data[2] < 16 ? 0 : std::uint64_t{data[2]} * 37;
    const std::string_view body(reinterpret_cast<const char*>(data + 3), size - 3);
    std::string bytes;
    for (std::size_t k = 0; k < repeat; ++k)
        bytes += body;

    clearFuzzScratchDir();
    // A name that needs quoting in MIME and cleaning in a header.
    const std::string name = "a \"b\\c\".bin";
    const std::string path = (fuzzScratchDir() / name).string();
    writeFile(path, bytes);

    std::string text;
    for (WideEncoder widest : {WideEncoder::All, WideEncoder::UpToAvx2, WideEncoder::Portable}) {
        LimitWideEncoder(widest);
        const std::string t = method.encode(path, piece, partBytes);
        FUZZ_CHECK(text.empty() || t == text);
        text = t;
        if (method.number == kMethodYEnc)
            checkYEncPieces(bytes, piece);
    }
    LimitWideEncoder(WideEncoder::All);

    const std::string cleaned =
        method.number == kMethodBase64 ? "a \\\"b\\\\c\\\".bin" : "a \"b\\c\".bin";
    FUZZ_CHECK(method.decode(text, cleaned, bytes.size()) == bytes);
    return 0;
}

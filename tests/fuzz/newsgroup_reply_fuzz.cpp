// A LIST or NEWGROUPS reply as the newsgroup parse reads it: the tokenizer over any bytes, in
// both modes, and the sort of the names it takes, in the locales whose order differs most.
//
// Input: one byte of options (bit 0: space-delimited; bits 1-2: the locale), then the reply.

#include "fuzz_support.h"
#include "newsgroups/newsgroup_list.h"
#include "newsgroups/parser.h"

#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool endsWord(unsigned char c, bool spaced) {
    return c == '\0' || c == '\r' || c == '\n' || (spaced && (c == ' ' || c == '\t'));
}

// Line ends before an offset: CR LF counts once, a lone CR or LF once each. Counted on from
// where the last question stopped, as the offsets asked for only grow.
class LineCounter {
public:
    explicit LineCounter(std::string_view text) : m_text(text) {}
    std::int32_t before(std::size_t to) {
        for (; m_at < to; ++m_at)
            if (m_text[m_at] == '\n' ||
                (m_text[m_at] == '\r' && (m_at + 1 == m_text.size() || m_text[m_at + 1] != '\n')))
                ++m_lines;
        return m_lines;
    }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
    std::int32_t m_lines = 0;
};

unsigned char fold(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + 32 : c;
}

// The order of ASCII names: letter case folded, a name before the longer ones it starts, ties
// by their bytes.
bool asciiBefore(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = fold(a[i]), y = fold(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool isAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return (c & 0x80) == 0; });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const bool spaced = data[0] & 1;
    static const QLocale locales[] = {QLocale::c(), QLocale(QLocale::English),
                                      QLocale(QLocale::Czech), QLocale(QLocale::Danish)};
    const QLocale& locale = locales[(data[0] >> 1) & 3];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);

    // Every token lies in the text, is a maximal run of word bytes after blanks only, stands on
    // the line it says, and the tokens come in order; the end comes after the last line end.
    std::vector<std::string_view> firstOfLine;
    std::int32_t lastLine = 0;
    std::size_t end = 0;  // where the previous token ended
    TParser parser(text, spaced);
    LineCounter lines(text);
    for (;;) {
        FUZZ_CHECK(parser.TokenStart >= end && parser.TokenStart <= text.size());
        for (std::size_t i = end; i < parser.TokenStart; ++i)
            FUZZ_CHECK(static_cast<unsigned char>(text[i]) <= 32);
        FUZZ_CHECK(parser.Line == 1 + lines.before(parser.TokenStart));
        if (parser.TokenKind == TParser::tkEndOfText) {
            FUZZ_CHECK(parser.Token.empty() && parser.TokenStart == text.size());
            break;
        }
        const std::string_view token = parser.Token;
        FUZZ_CHECK(!token.empty());
        FUZZ_CHECK(token.data() == text.data() + parser.TokenStart);
        FUZZ_CHECK(static_cast<unsigned char>(token[0]) > 32);
        for (char c : token.substr(1))
            FUZZ_CHECK(!endsWord(static_cast<unsigned char>(c), spaced));
        const std::size_t after = parser.TokenStart + token.size();
        FUZZ_CHECK(after == text.size() ||
                   endsWord(static_cast<unsigned char>(text[after]), spaced));
        const bool digits =
            std::all_of(token.begin(), token.end(), [](char c) { return c >= '0' && c <= '9'; });
        FUZZ_CHECK(parser.TokenKind == (digits ? TParser::tkNumber : TParser::tkWord));
        if (parser.Line != lastLine && token != ".")
            firstOfLine.push_back(token);
        lastLine = parser.Line;
        end = after;
        parser.NextToken();
    }

    // The sort keeps every name and orders the ASCII ones by folded bytes; a comparison that is
    // not a strict weak order would show here or as a read outside the list.
    TNewsgroupList list;
    for (std::string_view name : firstOfLine)
        list.append(name);
    list.sort(locale);
    std::vector<std::string_view> before = firstOfLine, after = list.names();
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    FUZZ_CHECK(before == after);
    if (locale.language() == QLocale::C) {
        std::vector<std::string_view> ascii;
        for (std::string_view name : list.names())
            if (isAscii(name))
                ascii.push_back(name);
        FUZZ_CHECK(std::is_sorted(ascii.begin(), ascii.end(), asciiBefore));
    }
    return 0;
}

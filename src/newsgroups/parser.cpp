#include "newsgroups/parser.h"

#include <array>

namespace {

// What ends a word: a line end or NUL always, a space or tab only in space-delimited mode.
constexpr std::array<bool, 256> wordEnds(bool spaceDelimited) {
    std::array<bool, 256> ends{};
    ends['\0'] = ends['\r'] = ends['\n'] = true;
    if (spaceDelimited)
        ends[' '] = ends['\t'] = true;
    return ends;
}

constexpr std::array<bool, 256> kEndsSpaced = wordEnds(true);
constexpr std::array<bool, 256> kEndsPlain = wordEnds(false);

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

TParser::TParser(std::string_view text, bool spaceDelimited)
    : SpaceDelimited(spaceDelimited), m_text(text) {
    NextToken();
}

void TParser::SkipBlanks() {
    const char* p = m_text.data();
    const std::size_t size = m_text.size();
    std::size_t i = m_position;
    while (i < size) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c > 32)
            break;
        // CR LF counts once, at its LF; a CR on its own ends a line by itself.
        if (c == '\n' || (c == '\r' && (i + 1 == size || p[i + 1] != '\n')))
            ++Line;
        ++i;
    }
    m_position = i;
}

void TParser::NextToken() {
    SkipBlanks();
    TokenStart = m_position;
    if (m_position >= m_text.size()) {
        Token = {};
        TokenKind = tkEndOfText;
        return;
    }
    const std::array<bool, 256>& ends = SpaceDelimited ? kEndsSpaced : kEndsPlain;
    const char* p = m_text.data();
    const std::size_t size = m_text.size();
    std::size_t i = m_position + 1;  // the first byte always belongs to the token
    bool digitsOnly = isDigit(p[m_position]);
    while (i < size && !ends[static_cast<unsigned char>(p[i])]) {
        digitsOnly = digitsOnly && isDigit(p[i]);
        ++i;
    }
    Token = m_text.substr(m_position, i - m_position);
    TokenKind = digitsOnly ? tkNumber : tkWord;
    m_position = i;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The tokenizer behind the newsgroup list parse: it walks a server reply (or any text) token by
// token and tells on which line each token stands, so the parse can take the first field of
// every line and skip the rest.
//
// The text is not copied: the caller keeps it alive and unchanged while the parser and the
// tokens it handed out are in use. A reply of a million groups is tens of megabytes, and a
// second copy of it would be the largest thing in memory.
//
// Lines end in CR LF, LF or a lone CR (old Macintosh files and some servers). Bytes 0 to 32
// separate tokens; a NUL is a blank like any other, so a stray NUL in a reply cannot cut the
// rest of it off.
class TParser {
public:
    enum Kind : std::uint8_t { tkEndOfText = 0, tkWord = 1, tkNumber = 3 };

    // Reads the first token. With spaceDelimited a word also ends at a space or a tab (a blank
    // separates the fields of a reply line); without it only a line end ends a word.
    TParser(std::string_view text, bool spaceDelimited);

    // Advances to the following token and sets Token, TokenKind, TokenStart and Line.
    void NextToken();

    // The current token: a view into the text. A token that starts with a digit runs on like a
    // word ("3dfx.products" is one token) and is a number when it holds digits only.
    std::string_view Token;
    Kind TokenKind = tkEndOfText;
    // Offset of the current token in the text.
    std::size_t TokenStart = 0;
    // The line the current token stands on, counting from 1.
    std::int32_t Line = 1;
    bool SpaceDelimited;

private:
    void SkipBlanks();

    std::string_view m_text;
    std::size_t m_position = 0;
};

#include "newsgroups/parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Tok {
    std::string text;
    int line;
    int kind;
    friend bool operator==(const Tok&, const Tok&) = default;
};

void PrintTo(const Tok& t, std::ostream* os) {
    *os << '{' << '"' << t.text << "\" line " << t.line << " kind " << t.kind << '}';
}

std::vector<Tok> tokens(std::string_view text, bool spaceDelimited = true) {
    std::vector<Tok> out;
    for (TParser p(text, spaceDelimited); p.TokenKind != TParser::tkEndOfText; p.NextToken()) {
        EXPECT_EQ(text.substr(p.TokenStart, p.Token.size()), p.Token);
        out.push_back({std::string(p.Token), p.Line, p.TokenKind});
    }
    return out;
}

constexpr int W = TParser::tkWord;
constexpr int N = TParser::tkNumber;

struct Case {
    const char* what;
    std::string text;
    std::vector<Tok> expected;
};

TEST(ParserTest, TokensCarryTheirLineAndKind) {
    const std::vector<Case> cases = {
        {"a LIST line: name, two numbers, flag",
         "alt.test 0000000010 0000000001 y\r\n",
         {{"alt.test", 1, W}, {"0000000010", 1, N}, {"0000000001", 1, N}, {"y", 1, W}}},
        {"a name that starts with digits is one word",
         "3dfx.products 12 1 y\r\n0 1 2\r\n",
         {{"3dfx.products", 1, W},
          {"12", 1, N},
          {"1", 1, N},
          {"y", 1, W},
          {"0", 2, N},
          {"1", 2, N},
          {"2", 2, N}}},
        {"blank lines only move the line count",
         "\r\n\r\na.b 1\r\n\r\n\r\nc.d 2\r\n",
         {{"a.b", 3, W}, {"1", 3, N}, {"c.d", 6, W}, {"2", 6, N}}},
        {"LF line ends, a name alone on its line ends at the LF",
         "a.b\nc.d 5\n.\n",
         {{"a.b", 1, W}, {"c.d", 2, W}, {"5", 2, N}, {".", 3, W}}},
        {"a lone CR ends a line by itself",
         "a 1\rb 2\r\rc\r",
         {{"a", 1, W}, {"1", 1, N}, {"b", 2, W}, {"2", 2, N}, {"c", 4, W}}},
        {"tabs separate fields",
         "a.b\t1\t2 y\r\n",
         {{"a.b", 1, W}, {"1", 1, N}, {"2", 1, N}, {"y", 1, W}}},
        {"a NUL is a blank, not the end of the text",
         std::string("a 1\0 junk\r\nb\r\n", 14),
         {{"a", 1, W}, {"1", 1, N}, {"junk", 1, W}, {"b", 2, W}}},
        {"no final line end", "x.y 7", {{"x.y", 1, W}, {"7", 1, N}}},
        {"empty text", "", {}},
        {"blanks only", " \r\n\t\r\n", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tokens(c.text), c.expected) << c.what;
}

TEST(ParserTest, WithoutSpaceDelimitingAWordRunsToTheLineEnd) {
    EXPECT_EQ(tokens("alt.test 10 1 y\r\nnext line\n", false),
              (std::vector<Tok>{{"alt.test 10 1 y", 1, W}, {"next line", 2, W}}));
    EXPECT_EQ(tokens("42\r\n", false), (std::vector<Tok>{{"42", 1, N}}));
}

TEST(ParserTest, EndOfTextStaysPut) {
    TParser p("a", true);
    p.NextToken();
    EXPECT_EQ(p.TokenKind, TParser::tkEndOfText);
    EXPECT_EQ(p.TokenStart, 1u);
    p.NextToken();
    EXPECT_EQ(p.TokenKind, TParser::tkEndOfText);
    EXPECT_TRUE(p.Token.empty());
}

}  // namespace

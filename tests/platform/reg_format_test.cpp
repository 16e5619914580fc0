#include "platform/reg_format.h"

#include "reg_fixtures.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Key = MemorySettingsStore::Key;

// Whole-tree equality, names compared exactly so a lost letter case shows.
void expectSameTree(const Key& a, const Key& b, const std::string& path = "") {
    EXPECT_EQ(a.name, b.name) << path;
    ASSERT_EQ(a.values().size(), b.values().size()) << path;
    for (auto x = a.values().begin(), y = b.values().begin(); x != a.values().end(); ++x, ++y) {
        EXPECT_EQ(x->first, y->first) << path;
        EXPECT_EQ(x->second, y->second) << path << " " << x->first;
    }
    ASSERT_EQ(a.subkeys().size(), b.subkeys().size()) << path;
    for (auto x = a.subkeys().begin(), y = b.subkeys().begin(); x != a.subkeys().end(); ++x, ++y)
        expectSameTree(**x, **y, path + "\\" + (*x)->name);
}

std::unique_ptr<Key> parseTree(std::string_view bytes) {
    return buildTree(parseRegFile(bytes));
}

const std::string kRoot(kRegistryRoot);

}  // namespace

TEST(RegFormat, EveryValueTypeSurvivesWritingAndReading) {
    MemorySettingsStore s;
    const std::string binary300 = [] {
        std::string b;
        for (int i = 0; i < 300; ++i)
            b += static_cast<char>(i * 7);
        return b;
    }();
    struct Case {
        const char* name;
        RegValue value;
    } cases[] = {
        {"Plain", RegValue::string("Untitled")},
        {"Empty", RegValue::string("")},
        {"Escapes", RegValue::string("C:\\dir\\ \"quoted\"\r\nline\ttab")},
        {"Nul inside", RegValue::string(std::string("a\0b", 3))},
        {"Unicode", RegValue::string("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x99\x82")},
        {"Body", RegValue::string("first\r\n\xC2\xA0\r\nlast\r\n")},
        {"Expand", {RegType::ExpandString, "%HOME%\\x \xC3\xA9"}},
        {"Port Number", RegValue::dword(0x7b)},
        {"Negative", RegValue::dword(0xFFFFFFFFu)},
        {"Odd DWord", {RegType::DWord, std::string("\x01\x02\x03", 3)}},
        {"Flag", RegValue::binary(std::string("\x00", 1))},
        {"No bytes", RegValue::binary("")},
        {"Long", RegValue::binary(binary300)},
        {"Multi", {RegType::MultiString, utf16le("a") + std::string(2, '\0')}},
        {"Quad", {static_cast<RegType>(11), std::string("\x01\0\0\0\0\0\0\x80", 8)}},
        {"", RegValue::string("the default value")},
        {"Name \"with\" \\ quotes", RegValue::string("x")},
    };
    for (const auto& c : cases)
        s.setValue("Projects\\Last", c.name, c.value);
    s.writeString("", "At Root", "r");
    s.createKey("Empty Key\\Deep Empty");
    s.writeInteger("Servers\\News.Example.COM", "Port Number", 563);

    const std::string text = writeRegFile(s.root());
    EXPECT_TRUE(text.starts_with("Windows Registry Editor Version 5.00\n\n[" + kRoot + "]\n"));
    EXPECT_NE(text.find("\n\"Port Number\"=dword:0000007b\n"), std::string::npos);
    EXPECT_NE(text.find("\n[" + kRoot + "\\Empty Key\\Deep Empty]\n"), std::string::npos);
    // Long binary values wrap as regedit wraps them: no line past 80 columns, continued lines
    // end in a backslash.
    std::size_t start = 0, wrapped = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
        wrapped += text[end - 1] == '\\';
        start = end + 1;
    }
    EXPECT_GE(wrapped, 300u * 3 / 80);

    auto back = parseTree(text);
    expectSameTree(s.root(), *back);
    EXPECT_EQ(writeRegFile(*back), text);
}

TEST(RegFormat, ReadsWhatRegeditWrites) {
    // Version 5 exports are UTF-16LE with a byte order mark and CR LF; expand strings are stored
    // as UTF-16LE bytes. A text value holding a line break is written by regedit as it is.
    const std::string v5 = withRoot(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[ROOT]\r\n\r\n"
        "[ROOT\\Projects\\Last]\r\n"
        "\"Name\"=\"Untitled\"\r\n"
        "; a comment\r\n"
        "\"Body\"=\"line one\r\nline two\r\n\"\r\n"
        "\"Port Number\"=dword:00000077\r\n"
        "\"Log\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,\\\r\n"
        "  00,00\r\n"
        "\"Cut Here\"=hex:01\r\n"
        "@=\"default\"\r\n");
    std::string bytes = "\xFF\xFE" + utf16le(v5);

    // REGEDIT4 exports are 8-bit text in the Windows code page; expand strings are 8-bit too.
    const std::string v4 = withRoot(
        "REGEDIT4\r\n\r\n"
        "[ROOT\\Projects\\Last]\r\n"
        "\"Name\"=\"Caf\xE9 \x80\"\r\n"
        "\"Body\"=\"line one\r\nline two\r\n\"\r\n"
        "\"Port Number\"=dword:00000077\r\n"
        "\"Log\"=hex(2):25,54,45,4d,50,25,00\r\n"
        "\"Cut Here\"=hex:01\r\n"
        "@=\"default\"\r\n");

    for (const auto& [file, name] : {std::pair{bytes, std::string("Untitled")},
                                     std::pair{v4, std::string("Caf\xC3\xA9 \xE2\x82\xAC")}}) {
        SCOPED_TRACE(name);
        RegDocument doc = parseRegFile(file);
        MemorySettingsStore s;
        s.replaceRoot(buildTree(doc));
        EXPECT_EQ(s.readString("Projects\\Last", "Name"), name);
        EXPECT_EQ(s.readString("Projects\\Last", "Body"), "line one\r\nline two\r\n");
        EXPECT_EQ(s.readInteger("Projects\\Last", "Port Number"), 119);
        EXPECT_EQ(s.value("Projects\\Last", "Log"), (RegValue{RegType::ExpandString, "%TEMP%"}));
        EXPECT_EQ(s.readBinary("Projects\\Last", "Cut Here", 1), std::string("\x01"));
        EXPECT_EQ(s.readString("Projects\\Last", ""), "default");
    }
    EXPECT_EQ(parseRegFile(bytes).dialect, RegDialect::Regedit5);
    EXPECT_EQ(parseRegFile(v4).dialect, RegDialect::Regedit4);
}

TEST(RegFormat, MergesRepeatedKeysAndNamesWithoutRegardToCase) {
    const std::string lf = withRoot(
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\n"
        "[ROOT\\Servers\\News.Example.COM]\n"
        "\"User Name\"=\"first\"\n"
        "\"Port\"=dword:1\n"
        "[ROOT\\SERVERS\\news.example.com]\n"
        "\"user name\"=\"second\"\n"
        "\"Extra\"=\"e\"\n"
        "\"port\"=-\n");
    std::string crlf;
    for (char c : lf)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& text : {lf, crlf}) {
        auto root = parseTree(text);
        MemorySettingsStore s;
        s.replaceRoot(std::move(root));
        EXPECT_EQ(s.subkeyNames(""), std::vector<std::string>{"Servers"});
        EXPECT_EQ(s.subkeyNames("servers"), std::vector<std::string>{"News.Example.COM"});
        EXPECT_EQ(s.valueNames("Servers\\News.Example.COM"),
                  (std::vector<std::string>{"User Name", "Extra"}));
        EXPECT_EQ(s.readString("Servers\\news.example.com", "USER NAME"), "second");
    }
}

TEST(RegFormat, RejectsBrokenFilesNamingTheLine) {
    const std::string h = "Windows Registry Editor Version 5.00\n";
    const std::string k = "[" + kRoot + "]\n";
    struct Case {
        std::string text;
        std::size_t line;
    } cases[] = {
        {"", 1},
        {"\n\nREGEDIT5\n", 3},
        {std::string("\x7F"
                     "ELF\x02\x01\x01\0\0\0\0",
                     11),
         1},
        {"\xFE\xFF\0W", 1},
        {h + k + "\"A\"=\"no end\n\"B\"=dword:1\n", 3},
        {h + k + "\"A\"=hex:01,02,\\\n", 3},
        {h + k + "\"A\"=hex:01,zz\n", 3},
        {h + k + "\"A\"=hex:01 02\n", 3},
        {h + k + "\"A\"=dword:123456789\n", 3},
        {h + k + "\"A\"=dword:\n", 3},
        {h + k + "\"A\"=qword:1\n", 3},
        {h + k + "\"A\"=\"x\" junk\n", 3},
        {h + k + "\"A\" \"x\"\n", 3},
        {h + k + "\"A\"=\n", 3},
        {h + k + "\"A\"=hex(2:00\n", 3},
        {h + "\"A\"=\"before any key\"\n", 2},
        {h + "\n[" + kRoot + "\\Projects\n", 3},
        {h + "[]\n", 2},
        {h + k + "junk\n", 3},
        {h + "[HKEY_CURRENT_USER\\Software\\Other]\n", 2},
        {h + "[" + kRoot + "2\\Projects]\n", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 120));
        try {
            parseTree(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const RegParseError& e) {
            EXPECT_EQ(e.line(), c.line) << e.what();
        }
    }
}

TEST(RegFormat, CopesWithHugeAndHostileInput) {
    const std::string h = "Windows Registry Editor Version 5.00\n[" + kRoot + "]\n";
    // A text of megabytes on one line is just a long value.
    std::string big(4 << 20, 'x');
    auto root = parseTree(h + "\"Big\"=\"" + big + "\"\n");
    ASSERT_EQ(root->values().size(), 1u);
    EXPECT_EQ(root->findValue("Big")->data.size(), big.size());

    // Keys nested past the registry's limit would exhaust the stack of the tree code.
    std::string deep = h + "[" + kRoot;
    for (int i = 0; i < 100000; ++i)
        deep += "\\k";
    EXPECT_THROW(parseTree(deep + "]\n"), RegParseError);

    // Random bytes never crash the parser.
    std::string junk = "REGEDIT4\n";
    unsigned seed = 1;
    for (int i = 0; i < 200000; ++i) {
        seed = seed * 1103515245u + 12345u;
        junk += static_cast<char>(seed >> 16);
    }
    EXPECT_THROW(parseTree(junk), RegParseError);

    // Texts that are not UTF-8 are read as Windows-1252, and unpaired UTF-16 surrogates do
    // not stop the file from loading.
    auto latin = parseTree(h + "\"A\"=\"\xE9\"\n\"B\"=hex(1):00,d8,41,00,00,00\n");
    EXPECT_EQ(latin->findValue("A")->data, "\xC3\xA9");
    EXPECT_EQ(latin->findValue("B")->data,
              "\xEF\xBF\xBD"
              "A");
}

TEST(RegFormat, RelativePathsStayInsideTheProgramsTree) {
    EXPECT_EQ(relativeToRoot(kRoot), "");
    EXPECT_EQ(relativeToRoot("hkey_current_user\\SOFTWARE\\pellido software\\KAVRIN/32\\A\\b"),
              "A\\b");
    EXPECT_EQ(relativeToRoot(kRoot + "x"), std::nullopt);
    EXPECT_EQ(relativeToRoot("HKEY_CURRENT_USER\\Software\\Pellido Software"), std::nullopt);
    EXPECT_EQ(relativeToRoot("HKEY_LOCAL_MACHINE\\Software\\Pellido Software\\Kavrin/32"),
              std::nullopt);
}

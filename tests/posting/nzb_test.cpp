#include "posting/nzb.h"

#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using ::testing::ElementsAre;

CarriedFile carried(std::uint64_t message, std::size_t ordinal, const std::string& name,
                    std::uint32_t segment, std::uint32_t segments) {
    return {message, ordinal, "/files/" + name, name, segment, segments};
}

// Whether xmllint finds the document valid against the NZB 1.1 DTD kept with the tests.
bool validNzb(const std::string& xml) {
    TempDir dir;
    writeFile(dir / "t.nzb", xml);
    const std::string command = "xmllint --noout --nonet --dtdvalid '" KAVRIN32_NZB_DTD "' '" +
                                (dir / "t.nzb").string() + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace

// A file posted to two batches of newsgroups is listed once: as the posting the server took
// the most of, with that posting's groups and Message-IDs, segments in order.
TEST(NzbRecord, ListsEachFileOnceFromThePostingTheServerTookMostOf) {
    TNzbRecord record;
    const auto add = [&](CarriedFile f, const std::string& groups, const std::string& id,
                         bool accepted) {
        record.Add({f}, "Ann <ann@example.org>", groups, "S [" + std::to_string(f.segment) + "]",
                   "<" + id + "@host>", 1000 + f.segment, 1700000000 + f.segment, accepted);
    };
    // Message 1 (groups a,b): part 2 refused. Message 2 (group c): all taken, sent in another
    // order. Message 3: another file, refused whole.
    add(carried(1, 0, "x.bin", 1, 3), "a,b", "x1", true);
    add(carried(1, 0, "x.bin", 2, 3), "a,b", "x2", false);
    add(carried(1, 0, "x.bin", 3, 3), "a,b", "x3", true);
    add(carried(2, 0, "x.bin", 2, 3), "c", "y2", true);
    add(carried(2, 0, "x.bin", 1, 3), "c", "y1", true);
    add(carried(2, 0, "x.bin", 3, 3), "c", "y3", true);
    add(carried(3, 0, "z.bin", 1, 1), "c", "z1", false);
    record.Add({}, "Ann", "c", "text only", "<t@host>", 10, 1, true);

    const std::vector<NzbFile> files = record.Files();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "x.bin");
    EXPECT_TRUE(files[0].complete());
    EXPECT_THAT(files[0].groups, ElementsAre("c"));
    EXPECT_EQ(files[0].subject, "S [1]");
    EXPECT_EQ(files[0].date, 1700000002);  // its first accepted article
    std::vector<std::string> ids;
    for (const auto& s : files[0].segments)
        ids.push_back(std::to_string(s.number) + " " + s.messageId + " " + std::to_string(s.bytes));
    EXPECT_THAT(ids, ElementsAre("1 y1@host 1001", "2 y2@host 1002", "3 y3@host 1003"));
    EXPECT_EQ(files[1].name, "z.bin");
    EXPECT_FALSE(files[1].complete());
    EXPECT_TRUE(files[1].segments.empty());

    // The document lists only what can be fetched.
    const std::string xml = NzbXml(files);
    EXPECT_TRUE(validNzb(xml)) << xml;
    EXPECT_NE(xml.find("<segment bytes=\"1002\" number=\"2\">y2@host</segment>"),
              std::string::npos);
    EXPECT_EQ(xml.find("z.bin"), std::string::npos);
    EXPECT_EQ(xml.find("x1@host"), std::string::npos);
}

// Attribute and element text is escaped and valid UTF-8, whatever the headers held.
TEST(NzbRecord, TextIsEscapedAndValidUtf8) {
    TNzbRecord record;
    record.Add({carried(1, 0, "a.bin", 1, 1)}, "\"Bob\" & Co <bob@example.org>", "alt.<test>,alt.b",
               "Caf\xE9 <'quoted'> & more yEnc (1/1)", "<id&1@host>", 5, 7, true);
    const std::string xml = NzbXml(record.Files());
    EXPECT_TRUE(validNzb(xml)) << xml;
    EXPECT_NE(xml.find("poster=\"&quot;Bob&quot; &amp; Co &lt;bob@example.org&gt;\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("subject=\"Caf\xC3\xA9 &lt;&apos;quoted&apos;&gt; &amp; more yEnc (1/1)\""),
              std::string::npos)
        << xml;
    EXPECT_NE(xml.find("<group>alt.&lt;test&gt;</group>"), std::string::npos);
    EXPECT_NE(xml.find(">id&amp;1@host</segment>"), std::string::npos);
}

TEST(NzbPath, BesideTheProjectFileOrInTheDataFolder) {
    std::tm moment{};
    moment.tm_year = 2026 - 1900;
    moment.tm_mon = 0;
    moment.tm_mday = 5;
    moment.tm_hour = 13;
    moment.tm_min = 4;
    moment.tm_sec = 55;
    moment.tm_isdst = -1;
    const std::time_t now = std::mktime(&moment);
    const struct {
        const char* name;
        const char* nzb;
    } cases[] = {
        {"/home/ann/My Post.kv32", "/home/ann/My Post.nzb"},
        {"/home/ann/old.KV32", "/home/ann/old.nzb"},
        {"/home/ann/notes.txt", "/home/ann/notes.txt.nzb"},
        {"Untitled", "/data/Untitled-20260105-130455.nzb"},
        {"", "/data/Untitled-20260105-130455.nzb"},
        {"a b:c", "/data/a_b_c-20260105-130455.nzb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NzbPathForProject(c.name, "/data", now).string(), c.nzb) << c.name;
}

TEST(NzbPath, WritingReplacesTheFileOrSaysWhyNot) {
    TempDir dir;
    writeFile(dir / "p.nzb", "old");
    WriteNzbFile(dir / "p.nzb", "<nzb/>");
    EXPECT_EQ(readFile(dir / "p.nzb"), "<nzb/>");
    EXPECT_THROW(WriteNzbFile(dir / "no folder" / "p.nzb", "<nzb/>"), std::runtime_error);
}

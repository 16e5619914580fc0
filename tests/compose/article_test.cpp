#include "compose/article.h"
#include "platform/text.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <set>

namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct SentDocument {
    HeaderList headers;
    std::vector<std::string> lines;
    std::uint64_t size = 0;
    // The attached files the document carries, as "name k/n" (file k of n documents).
    std::vector<std::string> files;
    bool dotLines = true;  // whether a line may begin with "." (and must be dot-stuffed)

    std::string header(const std::string& name) const {
        for (const auto& [n, v] : headers)
            if (n == name)
                return v;
        return "<none>";
    }
    std::vector<std::string> names() const {
        std::vector<std::string> n;
        for (const auto& h : headers)
            n.push_back(h.first);
        return n;
    }
};

LocalMoment fixedMoment() {
    LocalMoment m;
    m.year = 2026;
    m.month = 12;
    m.day = 5;
    m.hour = 12;
    m.minute = 4;
    m.second = 44;
    m.millisecond = 500;
    m.utcOffsetMinutes = 60;
    return m;
}

class BuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetComposeRunState();
        mime = std::make_unique<TMIME>();
        project.FromName = "N";
        project.FromEmailAddress = "A@example.org";
        project.Subject = "S";
        project.XNoArchive = "No";
        project.SetNewsgroupsText("G1\r\nG2\r\n");
        project.Body = {"L1", "L2"};
        project.Crosspost = true;
        env.now = fixedMoment;
        env.hostName = "host.example";
        builder = std::make_unique<ArticleBuilder>(project, lists, *mime, env, prompts);
    }
    void TearDown() override { ResetComposeRunState(); }

    // Composes every batch and returns the documents as they were handed out.
    std::vector<SentDocument> post() {
        std::vector<SentDocument> docs;
        for (const auto& batch : BuildBatches(project))
            builder->ComposeBatch(batch, [&](OutgoingDocument& doc) {
                SentDocument d{doc.headers(), {}, doc.bodySize(), {}, doc.mayBeginLinesWithDot()};
                for (const auto& f : doc.carriedFiles())
                    d.files.push_back(f.name + " " + std::to_string(f.segment) + "/" +
                                      std::to_string(f.segments));
                std::string body;
                while (doc.readBody(body, 4096)) {
                }
                EXPECT_EQ(body.size(), doc.bodySize());
                EXPECT_TRUE(body.empty() || body.ends_with("\r\n"));
                d.lines = splitCrLf(body);
                EXPECT_EQ(doc.subject(), builder->SentSubject());
                EXPECT_EQ(doc.messageId(), builder->SentMessageId());
                docs.push_back(std::move(d));
            });
        return docs;
    }

    std::string file(const std::string& name, std::string_view bytes) {
        const auto path = (dir / name).string();
        writeFile(path, bytes);
        return path;
    }

    TempDir dir;
    RecordingPrompts prompts;
    TProject project;
    ValueLists lists;
    std::unique_ptr<TMIME> mime;
    ComposeEnvironment env;
    std::unique_ptr<ArticleBuilder> builder;
};

std::vector<std::size_t> batchSizes(const TProject& p) {
    std::vector<std::size_t> sizes;
    for (const auto& b : BuildBatches(p))
        sizes.push_back(b.size());
    return sizes;
}

TEST(BuildBatches, GroupsByCrosspostingMode) {
    const struct {
        bool crosspost;
        bool limit;
        int k;
        int groups;
        std::vector<std::size_t> sizes;
    } cases[] = {
        {true, true, 10, 25, {10, 10, 5}}, {true, true, 10, 20, {10, 10}},
        {true, true, 10, 21, {10, 10, 1}}, {true, false, 10, 25, {25}},
        {false, true, 10, 3, {1, 1, 1}},   {true, true, 0, 2, {1, 1}},
        {true, true, -3, 2, {1, 1}},       {true, true, 10, 0, {}},
        {false, false, 10, 0, {}},         {true, false, 10, 0, {0}},
    };
    for (const auto& c : cases) {
        TProject p;
        p.Crosspost = c.crosspost;
        p.LimitCrossposting = c.limit;
        p.CrosspostingLimit = c.k;
        std::string text;
        for (int i = 0; i < c.groups; ++i)
            text += "g" + std::to_string(i) + "\r\n";
        p.SetNewsgroupsText(text);
        EXPECT_EQ(batchSizes(p), c.sizes) << c.crosspost << c.limit << c.k << " " << c.groups;
    }
}

TEST(BuildBatches, SkipsEmptyLinesAndTrimsBlanks) {
    TProject p;
    p.Crosspost = true;
    p.SetNewsgroupsText(" alt.a \r\n\r\n\talt.b\r\n   \r\n");
    const auto batches = BuildBatches(p);
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_THAT(batches[0], ElementsAre("alt.a", "alt.b"));
}

TEST_F(BuilderTest, TextOnlyCrosspostIsOneDocument) {
    const auto docs = post();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_THAT(docs[0].headers,
                ElementsAre(std::pair<std::string, std::string>{"From", "N <A@example.org>"},
                            std::pair<std::string, std::string>{"Date", "05 Dec 26 12:04:44 +0100"},
                            std::pair<std::string, std::string>{"Newsgroups", "G1,G2"},
                            std::pair<std::string, std::string>{"Subject", "S"},
                            std::pair<std::string, std::string>{"Message-Id",
                                                                "<b519.a9dc.1f4@host.example>"}));
    EXPECT_THAT(docs[0].lines, ElementsAre("L1", "L2"));
    EXPECT_EQ(docs[0].size, 8u);
}

TEST_F(BuilderTest, ValidationFailuresCarryTheFixedTexts) {
    struct Case {
        std::function<void(TProject&)> change;
        const char* text;
    };
    const Case cases[] = {
        {[](TProject& p) { p.FromName.clear(), p.FromEmailAddress.clear(); }, kNeedNameOrAddress},
        {[](TProject& p) { p.Subject.clear(); }, kNeedSubject},
        {[](TProject& p) { p.SetNewsgroupsText(""); }, kNeedNewsgroup},
        {[](TProject& p) { p.SetNewsgroupsText("\r\n  \r\n"); }, kNeedNewsgroup},
    };
    for (const auto& c : cases) {
        SetUp();
        c.change(project);
        int sent = 0;
        try {
            for (const auto& batch : BuildBatches(project))
                builder->ComposeBatch(batch, [&](OutgoingDocument&) { ++sent; });
            ADD_FAILURE() << "no error for " << c.text;
        } catch (const ComposeError& e) {
            EXPECT_STREQ(e.what(), c.text);
        }
        EXPECT_EQ(sent, 0);
    }
    EXPECT_STREQ(kNeedSubject, "A subject is reqired to post a message");
}

TEST_F(BuilderTest, FromIsTheBareNameOrAddressWhenOnlyOneIsGiven) {
    project.FromEmailAddress.clear();
    EXPECT_EQ(post()[0].header("From"), "N");
    project.FromName.clear();
    project.FromEmailAddress = "A@example.org";
    EXPECT_EQ(post()[0].header("From"), "A@example.org");
}

TEST_F(BuilderTest, OptionalHeadersInTheirOrder) {
    project.ReplyToEmailAddress = "R@example.org";
    project.Organization = "O";
    project.FollowUpTo = "G2";
    project.XNoArchive = "Yes";
    auto docs = post();
    EXPECT_THAT(docs[0].names(),
                ElementsAre("From", "Date", "Newsgroups", "Subject", "Message-Id", "Reply-To",
                            "Organization", "Followup-To", "X-No-Archive"));
    EXPECT_EQ(docs[0].header("X-No-Archive"), "Yes");
    project.XNoArchive = "yes";
    EXPECT_EQ(post()[0].header("X-No-Archive"), "<none>");
}

TEST_F(BuilderTest, HeaderValuesCannotInjectHeaders) {
    project.Subject = "Hi\r\nControl: cancel\x01";
    project.FromName = "N\n";
    const auto doc = post()[0];
    EXPECT_EQ(doc.header("Subject"), "Hi  Control: cancel ");
    EXPECT_EQ(doc.header("From"), "N  <A@example.org>");
}

TEST_F(BuilderTest, RandomPicksFollowTheSeedAndWriteBackIntoTheProject) {
    lists.Names = {"n0", "n1", "n2"};
    lists.EmailAddresses = {"e0@x", "e1@x"};
    lists.Subjects = {"s0", "s1", "s2", "s3"};
    lists.Organizations = {"o0", "o1", "o2"};
    project.RandomizeFromName = project.RandomizeFromEmailAddress = true;
    project.RandomizeSubject = project.RandomizeReplyToEmailAddress = true;
    project.RandomizeOrganization = project.RandomizeFollowUpTo = true;
    // The draws continue the run's sequence after the boundary, in the fixed order: name,
    // address, subject, reply-to, organization, follow-up. A run from seed 0 picks these.
    const std::vector<std::size_t> expected = {2, 0, 1, 1, 1, 1};
    const auto doc = post()[0];
    EXPECT_EQ(project.FromName, lists.Names[expected[0]]);
    EXPECT_EQ(project.FromEmailAddress, lists.EmailAddresses[expected[1]]);
    EXPECT_EQ(doc.header("From"), project.FromName + " <" + project.FromEmailAddress + ">");
    EXPECT_EQ(doc.header("Subject"), lists.Subjects[expected[2]]);
    EXPECT_EQ(doc.header("Reply-To"), lists.EmailAddresses[expected[3]]);
    EXPECT_EQ(doc.header("Organization"), lists.Organizations[expected[4]]);
    EXPECT_EQ(doc.header("Followup-To"), project.Newsgroups[expected[5]]);
}

TEST_F(BuilderTest, EmptyPoolKeepsTheTypedValue) {
    project.RandomizeSubject = true;
    EXPECT_EQ(post()[0].header("Subject"), "S");
    project.Subject.clear();
    EXPECT_THROW(post(), ComposeError);
}

TEST_F(BuilderTest, SplittingAtTheThreshold) {
    project.SplitLargeMessages = true;
    project.SplitLines = 5;
    project.Body = {"1", "2", "3", "4"};  // s - 1 lines: whole
    auto docs = post();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs[0].header("Subject"), "S");
    project.Body.push_back("5");  // s lines: 4 + 1
    docs = post();
    ASSERT_EQ(docs.size(), 2u);
    EXPECT_THAT(docs[0].lines, ElementsAre("1", "2", "3", "4"));
    EXPECT_THAT(docs[1].lines, ElementsAre("5"));
    EXPECT_EQ(docs[1].header("Subject"), "S [2/2]");
    project.SplitLines = 1;  // the whole body is one part
    docs = post();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs[0].header("Subject"), "S [1/1]");
    EXPECT_EQ(docs[0].lines.size(), 5u);
}

// One message per file, Cut Here, split over 1000 lines, a file whose body comes to 2500 lines.
TEST_F(BuilderTest, UUEncodedFileSplitIntoThreeParts) {
    project.PostSeparateMessageForEachAttachedFile = true;
    project.CutHere = true;
    project.SplitLargeMessages = true;
    project.SplitLines = 1000;
    // 2 text lines, 2 cut lines, begin, 2493 data lines, "`" and "end".
    const auto path = file("cat.jpg", std::string(2493 * 45, '\x5a'));
    project.AttachmentsText = path + "\r\n";
    const auto docs = post();
    ASSERT_EQ(docs.size(), 3u);
    const std::size_t sizes[] = {999, 999, 502};
    std::set<std::string> ids;
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(docs[k].lines.size(), sizes[k]);
        EXPECT_EQ(docs[k].header("Subject"), "S - cat.jpg [" + std::to_string(k + 1) + "/3]");
        EXPECT_THAT(docs[k].names(),
                    ElementsAre("From", "Date", "Newsgroups", "Subject", "Message-Id"));
        EXPECT_EQ(docs[k].header("Date"), docs[0].header("Date"));
        ids.insert(docs[k].header("Message-Id"));
    }
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_THAT(docs[1].files, ElementsAre("cat.jpg 2/3"));
    EXPECT_THAT(std::vector<std::string>(docs[0].lines.begin(), docs[0].lines.begin() + 4),
                ElementsAre("L1", "L2", "BEGIN --- CUT HERE --- Cut Here --- cut here --- " + path,
                            "begin 644 cat.jpg"));
    EXPECT_EQ(docs[0].lines[4].size(), 61u);
    EXPECT_THAT(std::vector<std::string>(docs[2].lines.end() - 3, docs[2].lines.end()),
                ElementsAre("`", "end", "END --- CUT HERE --- Cut Here --- cut here --- " + path));
}

// The cut lines are body text and repeat the path as listed, a tab in the name included; only
// the "begin 644" line, which readers take the file name from, has it as a blank.
TEST_F(BuilderTest, CutHereLinesKeepThePathAsListed) {
    project.CutHere = true;
    const auto path = file("a\tb.bin", "abc");
    project.AttachmentsText = path + "\r\n";
    EXPECT_THAT(post()[0].lines,
                ElementsAre("L1", "L2", "BEGIN --- CUT HERE --- Cut Here --- cut here --- " + path,
                            "begin 644 a b.bin", "#86)C", "`", "end",
                            "END --- CUT HERE --- Cut Here --- cut here --- " + path));
}

// All files in one message, MIME, one attached file and a signature.
TEST_F(BuilderTest, MimeMessageWithFileAndSignature) {
    project.EncodingMethod = kEncodingBase64;
    project.CutHere = true;  // never used with MIME
    const auto path = file("cat.jpg", "abc");
    project.AttachmentsText = path + "\r\n";
    project.SignatureFile = file("sig.txt", "-- \r\nme\r\n");
    const auto docs = post();
    ASSERT_EQ(docs.size(), 1u);
    const std::string& b = mime->Boundary;
    EXPECT_THAT(docs[0].names(), ElementsAre("From", "Date", "Newsgroups", "Subject", "Message-Id",
                                             "Mime-Version", "Content-Type"));
    EXPECT_EQ(docs[0].header("Subject"), "S - cat.jpg");
    EXPECT_EQ(docs[0].header("Mime-Version"), "1.0");
    EXPECT_EQ(docs[0].header("Content-Type"), "multipart/mixed; boundary=\"" + b + "\"");
    EXPECT_THAT(docs[0].lines, ElementsAreArray(std::vector<std::string>{
                                   "This is a multi-part message in MIME format.",
                                   "--" + b,
                                   "Content-Type: text/plain; charset=us-ascii",
                                   "Content-Transfer-Encoding: 7bit",
                                   "",
                                   "L1",
                                   "L2",
                                   "",
                                   "--" + b,
                                   "Content-Type: image/jpeg; name=\"cat.jpg\"",
                                   "Content-Transfer-Encoding: base64",
                                   "Content-Disposition: inline; filename=\"cat.jpg\"",
                                   "",
                                   "YWJj",
                                   "--" + b,
                                   "Content-Type: text/plain; charset=us-ascii",
                                   "Content-Transfer-Encoding: 7bit",
                                   "",
                                   "-- ",
                                   "me",
                                   "",
                                   "--" + b + "--"}));
}

// A text line that begins with "--" and the run's boundary (a quoted earlier post, say) would end
// the multipart there: such a message takes the boundary with the first suffix no text line
// begins with, and no random draw is spent on it.
TEST_F(BuilderTest, TextHoldingTheBoundaryGivesTheMessageAnotherOne) {
    project.EncodingMethod = kEncodingBase64;
    const std::string b = mime->Boundary;
    project.AttachmentsText = file("a.bin", "abc") + "\r\n";
    const struct {
        std::vector<std::string> body;
        std::string signature;
        std::string boundary;
    } cases[] = {
        {{"L1", "-- " + b}, "me\r\n", b},
        {{"quoting:", "--" + b, "--" + b + "_1--"}, "", b + "_2"},
        {{"L1"}, "--" + b + " in the signature\r\n", b + "_1"},
    };
    std::optional<std::int32_t> nextDraw;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.boundary);
        ResetComposeRunState();
        mime = std::make_unique<TMIME>();
        project.Body = c.body;
        project.SignatureFile = c.signature.empty() ? "" : file("sig.txt", c.signature);
        builder = std::make_unique<ArticleBuilder>(project, lists, *mime, env, prompts);
        const auto docs = post();
        ASSERT_EQ(docs.size(), 1u);
        EXPECT_EQ(docs[0].header("Content-Type"),
                  "multipart/mixed; boundary=\"" + c.boundary + "\"");
        std::size_t delimiters = 0;
        for (const auto& line : docs[0].lines)
            delimiters += line == "--" + c.boundary;
        EXPECT_EQ(delimiters, c.signature.empty() ? 2u : 3u);
        EXPECT_EQ(docs[0].lines.back(), "--" + c.boundary + "--");
        const std::int32_t draw = RandomBelow(1 << 30);
        EXPECT_EQ(draw, nextDraw.value_or(draw));
        nextDraw = draw;
    }
}

// NNTP forbids NUL: in the message and the signature it becomes a blank.
TEST_F(BuilderTest, NulInTextBecomesABlank) {
    project.Body = {std::string("a\0b", 3)};
    project.SignatureFile = file("sig.txt", std::string("sig\0\r\n\0", 7));
    EXPECT_THAT(post()[0].lines, ElementsAre("a b", "sig ", " "));
}

TEST_F(BuilderTest, NonAsciiTextPartsDeclareUtf8) {
    project.EncodingMethod = kEncodingBase64;
    project.Body = {
        "Gr\xC3\xBC\xC3\x9F"
        "e"};
    project.SignatureFile = file("sig.txt", "plain\r\n");
    const auto lines = post()[0].lines;
    EXPECT_THAT(
        std::vector<std::string>(lines.begin() + 2, lines.begin() + 4),
        ElementsAre("Content-Type: text/plain; charset=utf-8", "Content-Transfer-Encoding: 8bit"));
    EXPECT_THAT(std::vector<std::string>(lines.begin() + 8, lines.begin() + 10),
                ElementsAre("Content-Type: text/plain; charset=us-ascii",
                            "Content-Transfer-Encoding: 7bit"));
}

TEST_F(BuilderTest, SplitMimeArticleHasNoMimeHeadersOrClosingDelimiter) {
    project.EncodingMethod = kEncodingBase64;
    project.SplitLargeMessages = true;
    project.SplitLines = 4;
    const auto docs = post();
    // Preamble (5) + L1 L2 + empty line = 8 lines: 3 + 3 + 2.
    ASSERT_EQ(docs.size(), 3u);
    for (const auto& d : docs)
        EXPECT_EQ(d.header("Content-Type"), "<none>");
    EXPECT_THAT(docs[2].lines, ElementsAre("L2", ""));
}

TEST_F(BuilderTest, MessageOrderPerGroupThenPerFile) {
    project.Crosspost = false;
    project.SetNewsgroupsText("G1\r\nG2\r\nG3\r\n");
    project.PostSeparateMessageForEachAttachedFile = true;
    project.AttachmentsText = file("one.txt", "1") + "\r\n" + file("two.txt", "2") + "\r\n";
    std::vector<std::string> order;
    for (const auto& d : post())
        order.push_back(d.header("Newsgroups") + " " + d.header("Subject"));
    EXPECT_THAT(order, ElementsAre("G1 S - one.txt", "G1 S - two.txt", "G2 S - one.txt",
                                   "G2 S - two.txt", "G3 S - one.txt", "G3 S - two.txt"));
}

TEST_F(BuilderTest, SubjectDecorationForOneOrSeveralFiles) {
    const auto a = file("a.txt", "1"), b = file("b.txt", "2");
    project.AttachmentsText = a + "\r\n";
    EXPECT_EQ(post()[0].header("Subject"), "S - a.txt");
    project.AttachmentsText = a + "\r\n" + b + "\r\n";
    const auto docs = post();
    ASSERT_EQ(docs.size(), 1u);
    EXPECT_EQ(docs[0].header("Subject"), "S - multiple attachments");
    EXPECT_EQ(std::count(docs[0].lines.begin(), docs[0].lines.end(), "end"), 2);
    EXPECT_THAT(docs[0].files, ElementsAre("a.txt 1/1", "b.txt 1/1"));
    project.PostSeparateMessageForEachAttachedFile = true;
    project.AttachmentsText.clear();
    EXPECT_EQ(post().size(), 1u);  // no file: one text message
}

// A document's lines with a yEnc part's data lines left out and "=yend" without its CRCs.
std::vector<std::string> frameOf(const std::vector<std::string>& lines) {
    std::vector<std::string> frame;
    bool inData = false;
    for (const auto& l : lines) {
        if (l.starts_with("=yend ")) {
            inData = false;
            frame.push_back(l.substr(0, std::min(l.find(" pcrc32="), l.find(" crc32="))));
        } else if (!inData) {
            frame.push_back(l);
            inData = l.starts_with("=ypart ") ||
                     (l.starts_with("=ybegin ") && l.find(" part=") == std::string::npos);
        }
    }
    return frame;
}

// One message per file, split: every part is a complete yEnc part in a document of its own,
// the message text before the first and the signature after the last. Neither "Cut Here" nor
// MIME applies.
TEST_F(BuilderTest, YEncFileInPartsOfItsOwn) {
    project.EncodingMethod = kEncodingYEnc;
    project.PostSeparateMessageForEachAttachedFile = true;
    project.CutHere = true;
    project.SplitLargeMessages = true;
    project.SplitLines = 4;  // parts of 3 lines of 128 bytes
    const auto path = file("d.bin", std::string(1000, 'x'));
    project.AttachmentsText = path + "\r\n";
    project.SignatureFile = file("sig.txt", "-- \r\nme\r\n");
    const auto docs = post();
    ASSERT_EQ(docs.size(), 3u);
    std::set<std::string> ids;
    for (std::size_t k = 0; k < 3; ++k) {
        const std::string n = std::to_string(k + 1);
        EXPECT_EQ(docs[k].header("Subject"), "S - d.bin [" + n + "/3] yEnc (" + n + "/3)");
        EXPECT_THAT(docs[k].names(),
                    ElementsAre("From", "Date", "Newsgroups", "Subject", "Message-Id"));
        EXPECT_EQ(docs[k].header("Date"), docs[0].header("Date"));
        EXPECT_THAT(docs[k].files, ElementsAre("d.bin " + n + "/3"));
        // Only the documents with text may hold a line that begins with ".".
        EXPECT_EQ(docs[k].dotLines, k != 1);
        ids.insert(docs[k].header("Message-Id"));
    }
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_THAT(frameOf(docs[0].lines),
                ElementsAre("L1", "L2", "=ybegin part=1 total=3 line=128 size=1000 name=d.bin",
                            "=ypart begin=1 end=384", "=yend size=384 part=1"));
    EXPECT_EQ(docs[0].lines.size(), 2u + 2 + 3 + 1);
    EXPECT_THAT(frameOf(docs[1].lines),
                ElementsAre("=ybegin part=2 total=3 line=128 size=1000 name=d.bin",
                            "=ypart begin=385 end=768", "=yend size=384 part=2"));
    EXPECT_THAT(frameOf(docs[2].lines),
                ElementsAre("=ybegin part=3 total=3 line=128 size=1000 name=d.bin",
                            "=ypart begin=769 end=1000", "=yend size=232 part=3", "-- ", "me"));
    EXPECT_THAT(docs[2].lines[docs[2].lines.size() - 3], ::testing::HasSubstr(" crc32="));
}

// A yEnc part that sizing kept encoded is handed out whole, as kept, for the caller to send
// without copying it; readBody gives the text around it and stops short of it. Read either way
// the body is the same.
TEST_F(BuilderTest, AKeptYEncPartIsHandedOutWholeBetweenTheText) {
    project.EncodingMethod = kEncodingYEnc;
    project.SplitLargeMessages = true;
    project.SplitLines = 4;
    project.AttachmentsText = file("d.bin", std::string(1000, 'x')) + "\r\n";
    project.SignatureFile = file("sig.txt", "-- \r\nme\r\n");
    int documents = 0;
    builder->ComposeBatch(BuildBatches(project).front(), [&](OutgoingDocument& doc) {
        SCOPED_TRACE(documents++);
        const std::uint64_t size = doc.bodySize();
        std::string mixed;
        std::vector<std::string_view> held;
        while (true) {
            const std::string_view piece = doc.heldBody();
            if (!piece.empty()) {
                held.push_back(piece);
                mixed += piece;
            } else if (!doc.readBody(mixed, std::size_t{1} << 20)) {
                break;
            }
        }
        ASSERT_EQ(held.size(), 1u);
        EXPECT_TRUE(held[0].starts_with("=ybegin ") && held[0].ends_with("\r\n"));
        EXPECT_NE(held[0].find("\r\n=yend "), std::string_view::npos);
        doc.restartBody();
        std::string plain;
        while (doc.readBody(plain, 100)) {
        }
        EXPECT_EQ(mixed.size(), size);
        EXPECT_TRUE(mixed == plain);
    });
    EXPECT_EQ(documents, 3);
}

// All files in one message: the files' parts follow each other in one numbered series, each
// in a document of its own; the "[k/n]" count runs over the series, "yEnc (k/n)" over the
// file. Without splitting every file is one part.
TEST_F(BuilderTest, YEncFilesInOneMessage) {
    project.EncodingMethod = kEncodingYEnc;
    const auto a = file("a.bin", std::string(300, 'a')), b = file("b.bin", std::string(100, 'b'));
    const auto gone = (dir / "gone.bin").string();
    project.AttachmentsText = a + "\r\n" + gone + "\r\n" + b + "\r\n";
    const struct {
        bool split;
        std::vector<std::string> subjects;
        std::vector<std::string> files;
    } cases[] = {
        {true,
         {"S - multiple attachments [1/4] yEnc (1/3)", "S - multiple attachments [2/4] yEnc (2/3)",
          "S - multiple attachments [3/4] yEnc (3/3)", "S - multiple attachments [4/4] yEnc (1/1)"},
         {"a.bin 1/3", "a.bin 2/3", "a.bin 3/3", "b.bin 1/1"}},
        {false,
         {"S - multiple attachments [1/2] yEnc (1/1)", "S - multiple attachments [2/2] yEnc (1/1)"},
         {"a.bin 1/1", "b.bin 1/1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.split);
        prompts.clear();
        project.SplitLargeMessages = c.split;
        project.SplitLines = 2;
        const auto docs = post();
        ASSERT_EQ(docs.size(), c.subjects.size());
        for (std::size_t k = 0; k < docs.size(); ++k) {
            EXPECT_EQ(docs[k].header("Subject"), c.subjects[k]);
            EXPECT_THAT(docs[k].files, ElementsAre(c.files[k]));
            EXPECT_EQ(docs[k].lines.front() == "L1", k == 0);
        }
        EXPECT_THAT(prompts.texts(), ElementsAre("Attachment " + gone + " not found"));
    }
    // One file, unsplit: one document with the message's own Message-ID.
    project.AttachmentsText = b + "\r\n";
    const auto one = post();
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].header("Subject"), "S - b.bin yEnc (1/1)");
    EXPECT_THAT(frameOf(one[0].lines),
                ElementsAre("L1", "L2", "=ybegin line=128 size=100 name=b.bin", "=yend size=100"));
}

TEST_F(BuilderTest, MissingFileWarnsOnceAndTheMessageGoesWithoutIt) {
    project.PostSeparateMessageForEachAttachedFile = true;
    project.CutHere = true;
    const auto gone = (dir / "gone.jpg").string();
    project.AttachmentsText = gone + "\r\n";
    // Neither a missing signature nor one that is not a regular file (which would never end)
    // adds anything or says anything.
    const auto fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const auto& signature : {(dir / "no-signature.txt").string(), fifo, dir.path().string()}) {
        prompts.clear();
        project.SignatureFile = signature;
        const auto docs = post();
        ASSERT_EQ(docs.size(), 1u);
        EXPECT_EQ(docs[0].header("Subject"), "S - gone.jpg");
        EXPECT_THAT(docs[0].lines, ElementsAre("L1", "L2"));
        EXPECT_THAT(prompts.texts(), ElementsAre("Attachment " + gone + " not found"));
    }
}

// A file that changes size between being attached and being sent stops the posting with the
// read error; the document's last line is never handed out.
TEST_F(BuilderTest, FileChangingBeforeItIsSentEndsThePostingWithoutTheDocumentEnd) {
    const auto path = file("grow.bin", std::string(10000, 'q'));
    project.AttachmentsText = path + "\r\n";
    std::string body;
    try {
        for (const auto& batch : BuildBatches(project))
            builder->ComposeBatch(batch, [&](OutgoingDocument& doc) {
                writeFile(path, std::string(10001, 'q'));
                while (doc.readBody(body, 512)) {
                }
            });
        FAIL() << "no error";
    } catch (const ComposeError& e) {
        EXPECT_STREQ(e.what(), ("Could not read attachment " + path).c_str());
    }
    EXPECT_FALSE(body.ends_with("end\r\n"));
}

}  // namespace

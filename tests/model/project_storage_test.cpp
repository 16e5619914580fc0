#include "model/project_storage.h"

#include "model/server_storage.h"
#include "platform/file_settings_store.h"
#include "support/file_size_limit.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "test_stores.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

namespace fs = std::filesystem;

namespace {

TProject sampleProject() {
    TProject p;
    p.Name = "Untitled";
    p.Server.HostName = "news.example.com";
    p.Server.Port = 8119;
    p.Server.UserName = "joe";
    p.Server.Password = "s3cret";
    p.Subject = "Holiday pictures";
    p.FromName = "Jo\xC3\xA9";
    p.FromEmailAddress = "joe@example.com";
    p.ReplyToEmailAddress = "reply@example.com";
    p.Organization = "Example Org";
    p.FollowUpTo = "alt.test.d";
    p.XNoArchive = "Yes";
    p.SetNewsgroupsText("alt.test\r\nmisc.test\r\n");
    p.Body = {"Hello,", "", "  indented", "-- ", "Joe"};
    p.SignatureFile = "/home/joe/sig.txt";
    // A file name may end with a blank.
    p.AttachmentsText = "/home/joe/a.jpg\r\n/home/joe/b c.jpg \r\n";
    p.RandomizeSubject = true;
    p.RandomizeFromName = false;
    p.RandomizeFromEmailAddress = true;
    p.RandomizeReplyToEmailAddress = false;
    p.RandomizeOrganization = true;
    p.RandomizeFollowUpTo = true;
    p.PostSeparateMessageForEachAttachedFile = false;
    p.Crosspost = true;
    p.LimitCrossposting = true;
    p.CrosspostingLimit = 3;
    p.EncodingMethod = kEncodingBase64;
    p.SplitLargeMessages = true;
    p.SplitLines = 5000;
    p.CutHere = true;
    return p;
}

void expectSameProject(const TProject& a, const TProject& b) {
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Server.HostName, b.Server.HostName);
    EXPECT_EQ(a.Server.Port, b.Server.Port);
    EXPECT_EQ(a.Server.UserName, b.Server.UserName);
    EXPECT_EQ(a.Server.Password, b.Server.Password);
    EXPECT_EQ(a.Subject, b.Subject);
    EXPECT_EQ(a.FromName, b.FromName);
    EXPECT_EQ(a.FromEmailAddress, b.FromEmailAddress);
    EXPECT_EQ(a.ReplyToEmailAddress, b.ReplyToEmailAddress);
    EXPECT_EQ(a.Organization, b.Organization);
    EXPECT_EQ(a.FollowUpTo, b.FollowUpTo);
    EXPECT_EQ(a.XNoArchive, b.XNoArchive);
    EXPECT_EQ(a.NewsgroupsText(), b.NewsgroupsText());
    EXPECT_EQ(a.Newsgroups, b.Newsgroups);
    EXPECT_EQ(a.Body, b.Body);
    EXPECT_EQ(a.SignatureFile, b.SignatureFile);
    EXPECT_EQ(a.AttachmentsText, b.AttachmentsText);
    EXPECT_EQ(a.RandomizeSubject, b.RandomizeSubject);
    EXPECT_EQ(a.RandomizeFromName, b.RandomizeFromName);
    EXPECT_EQ(a.RandomizeFromEmailAddress, b.RandomizeFromEmailAddress);
    EXPECT_EQ(a.RandomizeReplyToEmailAddress, b.RandomizeReplyToEmailAddress);
    EXPECT_EQ(a.RandomizeOrganization, b.RandomizeOrganization);
    EXPECT_EQ(a.RandomizeFollowUpTo, b.RandomizeFollowUpTo);
    EXPECT_EQ(a.PostSeparateMessageForEachAttachedFile, b.PostSeparateMessageForEachAttachedFile);
    EXPECT_EQ(a.Crosspost, b.Crosspost);
    EXPECT_EQ(a.LimitCrossposting, b.LimitCrossposting);
    EXPECT_EQ(a.CrosspostingLimit, b.CrosspostingLimit);
    EXPECT_EQ(a.EncodingMethod, b.EncodingMethod);
    EXPECT_EQ(a.SplitLargeMessages, b.SplitLargeMessages);
    EXPECT_EQ(a.SplitLines, b.SplitLines);
    EXPECT_EQ(a.CutHere, b.CutHere);
}

std::string le32(std::int32_t v) {
    std::string b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i));
    return b;
}

const std::string kLast = "Projects\\Last";

}  // namespace

// --- settings store -------------------------------------------------------------------------

TEST(ProjectRegistry, RoundTripsEveryFieldInTheStoredForm) {
    FaultyStore store;
    RecordingPrompts prompts;
    const TProject saved = sampleProject();
    ASSERT_TRUE(SaveProjectToRegistry(saved, "Last", store, prompts));
    EXPECT_EQ(store.writesLanded, 2);  // the project, then its server

    EXPECT_EQ(store.valueNames(kLast),
              (std::vector<std::string>{"Name",
                                        "Newsgroup Server",
                                        "Port Number",
                                        "Subject",
                                        "From Name",
                                        "From E-mail Address",
                                        "Reply To E-mail Address",
                                        "Organization",
                                        "Follow-Up To",
                                        "X-No-Archive",
                                        "Newsgroups",
                                        "Body",
                                        "Signature File",
                                        "Attachments",
                                        "Randomize Subject",
                                        "Randomize From Name",
                                        "Randomize From E-mail Address",
                                        "Randomize Reply To E-mail Address",
                                        "Randomize Organization",
                                        "Randomize Follow-Up To",
                                        "Post Seperate Message for Each Attached File",
                                        "Crosspost",
                                        "Limit Crossposting",
                                        "Crossposting Limit",
                                        "Encoding Method",
                                        "Split Large Messages",
                                        "Split Lines",
                                        "Cut Here"}));
    EXPECT_EQ(store.value(kLast, "Name"), RegValue::string("Untitled"));
    EXPECT_EQ(store.value(kLast, "Port Number"), RegValue::dword(8119));
    EXPECT_EQ(store.value(kLast, "Body"),
              RegValue::string("Hello,\r\n\r\n  indented\r\n-- \r\nJoe\r\n"));
    EXPECT_EQ(store.value(kLast, "Randomize Subject"), RegValue::binary("\x01"));
    EXPECT_EQ(store.value(kLast, "Randomize From Name"), RegValue::binary(std::string(1, '\0')));
    EXPECT_EQ(store.value(kLast, "Split Lines"), RegValue::binary(le32(5000)));
    EXPECT_EQ(store.value(kLast, "Encoding Method"), RegValue::binary(le32(1)));
    EXPECT_FALSE(store.value(kLast, "User Name"));  // the server's, kept in its own key
    EXPECT_EQ(store.readString("Servers\\news.example.com", "User Name"), "joe");

    TProject loaded;
    ASSERT_TRUE(LoadProjectFromRegistry(loaded, "last", store, prompts));
    expectSameProject(loaded, saved);  // the name stays "Untitled", not the key name
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectRegistry, RoundTripsThroughTheSettingsFile) {
    TempDir dir;
    RecordingPrompts prompts;
    const TProject saved = sampleProject();
    {
        FileSettingsStore store(dir / "settings.reg", &prompts);
        ASSERT_TRUE(SaveProjectToRegistry(saved, "Last", store, prompts));
    }
    const std::string text = readFile(dir / "settings.reg");
    EXPECT_NE(text.find("\"Split Lines\"=hex:88,13,00,00"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Cut Here\"=hex:01"), std::string::npos);
    EXPECT_EQ(text.find("s3cret"), std::string::npos);

    FileSettingsStore store(dir / "settings.reg", &prompts);
    TProject loaded;
    ASSERT_TRUE(LoadProjectFromRegistry(loaded, "Last", store, prompts));
    expectSameProject(loaded, saved);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectRegistry, MissingValuesTakeTheirDefaultsAndCreateNothing) {
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject p = sampleProject();
    p.Server.HostName.clear();
    ASSERT_TRUE(LoadProjectFromRegistry(p, "Nothing Here", store, prompts));
    EXPECT_FALSE(store.keyExists("Projects"));
    EXPECT_EQ(p.Name, "");
    EXPECT_EQ(p.Subject, "");
    EXPECT_TRUE(p.Newsgroups.empty());
    EXPECT_TRUE(p.Body.empty());
    EXPECT_EQ(p.Server.Port, 119);
    // Flags and counts keep what they held.
    EXPECT_TRUE(p.RandomizeSubject);
    EXPECT_TRUE(p.CutHere);
    EXPECT_EQ(p.SplitLines, 5000);
    EXPECT_EQ(p.CrosspostingLimit, 3);

    // A key without "Port Number" loads port 119 without a word.
    store.writeString(kLast, "Subject", "s");
    store.writeString(kLast, "Port Number", "not an integer");
    p.Server.Port = 1;
    ASSERT_TRUE(LoadProjectFromRegistry(p, "Last", store, prompts));
    EXPECT_EQ(p.Server.Port, 119);
    EXPECT_EQ(p.Subject, "s");
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectRegistry, ValuesOfTheWrongTypeOrSizeFailTheLoadAndFillNothingPartly) {
    struct Case {
        const char* what;
        const char* name;
        RegValue value;
    };
    const Case cases[] = {
        {"flag as text", "Cut Here", RegValue::string("1")},
        {"flag of no bytes", "Cut Here", RegValue::binary("")},
        {"flag of 2 bytes", "Cut Here", RegValue::binary("\x01\x01")},
        {"count of 5 bytes", "Split Lines", RegValue::binary(le32(1) + "x")},
        {"count of 2 bytes", "Split Lines", RegValue::binary(std::string("\x01\x00", 2))},
        {"count as integer", "Split Lines", RegValue::dword(7)},
        {"body as integer", "Body", RegValue::dword(7)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemorySettingsStore store;
        RecordingPrompts prompts;
        TProject saved = sampleProject();
        saved.Server.HostName.clear();
        ASSERT_TRUE(SaveProjectToRegistry(saved, "Last", store, prompts));
        store.setValue(kLast, c.name, c.value);

        TProject p;
        p.SplitLines = 0x7F7F;
        p.CutHere = false;
        EXPECT_FALSE(LoadProjectFromRegistry(p, "Last", store, prompts));
        EXPECT_EQ(prompts.texts(),
                  std::vector<std::string>{"Unable to load project from registry"});
        EXPECT_EQ(p.Subject, "Holiday pictures");  // read before the failure
        EXPECT_EQ(p.SplitLines, std::string(c.name) == "Cut Here" ? 5000 : 0x7F7F);
        EXPECT_FALSE(p.CutHere);
    }
}

TEST(ProjectRegistry, CountsAreClampedToTheirRanges) {
    struct Case {
        std::int32_t stored;
        std::int32_t limit;     // CrosspostingLimit and SplitLines
        std::int32_t encoding;  // EncodingMethod
    };
    const Case cases[] = {
        {0, 1, 0},         {-5, 1, 0},        {1, 1, 1},         {2, 2, 2},
        {32767, 32767, 2}, {40000, 32767, 2}, {INT32_MIN, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        MemorySettingsStore store;
        RecordingPrompts prompts;
        for (const char* name : {"Crossposting Limit", "Split Lines", "Encoding Method"})
            store.writeBinary(kLast, name, le32(c.stored));
        TProject p;
        ASSERT_TRUE(LoadProjectFromRegistry(p, "Last", store, prompts));
        EXPECT_EQ(p.CrosspostingLimit, c.limit);
        EXPECT_EQ(p.SplitLines, c.limit);
        EXPECT_EQ(p.EncodingMethod, c.encoding);
    }
}

TEST(ProjectRegistry, AProjectNamingADeletedServerDoesNotBringItBack) {
    MemorySettingsStore store;
    RecordingPrompts prompts;
    ASSERT_TRUE(SaveProjectToRegistry(sampleProject(), "Last", store, prompts));
    store.deleteKeyTree("Servers\\news.example.com");

    TProject p;
    EXPECT_TRUE(LoadProjectFromRegistry(p, "Last", store, prompts));
    EXPECT_EQ(p.Server.HostName, "news.example.com");
    EXPECT_EQ(p.Server.Port, 8119);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to load server from registry"});
    EXPECT_TRUE(store.subkeyNames("Servers").empty());
}

TEST(ProjectStorage, TheServerRecordIsLoadedAfterTheProjectAndItsPortWins) {
    TempDir dir;
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject saved = sampleProject();
    saved.Name = (dir / "p.kv32").string();
    ASSERT_TRUE(SaveProjectToRegistry(saved, "Last", store, prompts));
    ASSERT_TRUE(SaveProjectToFile(saved, store, prompts));
    // The server's own key changed since: another port and user.
    store.writeInteger("Servers\\news.example.com", "Port Number", 563);
    store.writeString("Servers\\news.example.com", "User Name", "ann");

    for (bool fromFile : {false, true}) {
        SCOPED_TRACE(fromFile ? "file" : "store");
        TProject p;
        p.Name = saved.Name;
        ASSERT_TRUE(fromFile ? LoadProjectFromFile(p, store, prompts)
                             : LoadProjectFromRegistry(p, "Last", store, prompts));
        EXPECT_EQ(p.Server.Port, 563);
        EXPECT_EQ(p.Server.UserName, "ann");
        EXPECT_EQ(p.Server.Password, "s3cret");
    }
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectRegistry, SaveFailuresAreReported) {
    {
        FaultyStore store;
        store.failWrites = true;
        RecordingPrompts prompts;
        EXPECT_FALSE(SaveProjectToRegistry(sampleProject(), "Last", store, prompts));
        // The server is not saved after its project failed.
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to save project to registry"});
    }
    {
        MemorySettingsStore store;
        RecordingPrompts prompts;
        EXPECT_FALSE(SaveProjectToRegistry(sampleProject(), "..\\..\\Advanced", store, prompts));
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to save project to registry"});
        EXPECT_FALSE(store.keyExists("Advanced"));
    }
    {
        // An empty key name does nothing.
        FaultyStore store;
        RecordingPrompts prompts;
        TProject p;
        EXPECT_TRUE(SaveProjectToRegistry(sampleProject(), "", store, prompts));
        EXPECT_TRUE(LoadProjectFromRegistry(p, "", store, prompts));
        EXPECT_EQ(store.writesLanded, 0);
        EXPECT_TRUE(prompts.shown().empty());
    }
}

// --- project files --------------------------------------------------------------------------

TEST(ProjectFile, IsWrittenInTheWindowsLayout) {
    TempDir dir;
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject p = TProject::FirstStartDefault();
    p.Name = (dir / "p.kv32").string();
    p.Subject = "Hi";
    p.XNoArchive = "No";
    p.SetNewsgroupsText("alt.test\r\n");
    p.Body = {"Hello", "", "-- "};
    ASSERT_TRUE(SaveProjectToFile(p, store, prompts));
    EXPECT_EQ(readFile(dir / "p.kv32"),
              "[Kavrin/32]\r\n"
              "Name=" +
                  p.Name +
                  "\r\n"
                  "Newsgroup Server=\r\n"
                  "Port Number=0\r\n"
                  "Subject=Hi\r\n"
                  "From Name=\r\n"
                  "From E-mail Address=\r\n"
                  "Reply To E-mail Address=\r\n"
                  "Organization=\r\n"
                  "Follow-Up To=\r\n"
                  "X-No-Archive=No\r\n"
                  "Signature File=\r\n"
                  "Randomize Subject=0\r\n"
                  "Randomize From Name=0\r\n"
                  "Randomize From E-mail Address=0\r\n"
                  "Randomize Reply To E-mail Address=0\r\n"
                  "Randomize Organization=0\r\n"
                  "Randomize Follow-Up To=0\r\n"
                  "Post Seperate Message for Each Attached File=1\r\n"
                  "Crosspost=1\r\n"
                  "Limit Crossposting=0\r\n"
                  "Crossposting Limit=10\r\n"
                  "Encoding Method=0\r\n"
                  "Split Large Messages=0\r\n"
                  "Split Lines=1000\r\n"
                  "Cut Here=0\r\n"
                  "[Newsgroups]\r\n"
                  "0=alt.test\r\n"
                  "[Body]\r\n"
                  "0=Hello\r\n"
                  "1=\xC2\xA0\r\n"
                  "2=-- \r\n");
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectFile, RoundTripsEveryFieldButKeepsCredentialsInTheStore) {
    TempDir dir;
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject saved = sampleProject();
    saved.Name = (dir / "holiday.kv32").string();
    ASSERT_TRUE(SaveProjectToFile(saved, store, prompts));
    const std::string text = readFile(saved.Name);
    EXPECT_EQ(text.find("joe\r\n"), std::string::npos);
    EXPECT_EQ(text.find("s3cret"), std::string::npos);
    EXPECT_EQ(store.readString("Servers\\news.example.com", "User Name"), "joe");

    TProject loaded;
    loaded.Name = saved.Name;
    ASSERT_TRUE(LoadProjectFromFile(loaded, store, prompts));
    expectSameProject(loaded, saved);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectFile, OnlyTheBareMarkerStandsForAnEmptyBodyLine) {
    TempDir dir;
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject saved;
    saved.Name = (dir / "b.kv32").string();
    saved.Body = {"", "\xC2\xA0indented by a no-break space", "a", "", ""};
    ASSERT_TRUE(SaveProjectToFile(saved, store, prompts));
    TProject loaded;
    loaded.Name = saved.Name;
    ASSERT_TRUE(LoadProjectFromFile(loaded, store, prompts));
    EXPECT_EQ(loaded.Body, saved.Body);
}

TEST(ProjectFile, ReadsFilesOfTheWindowsProgram) {
    // Windows-1252, CR LF, the empty-line marker as the single byte 0xA0, keys in other case,
    // a hexadecimal count, and the option keys missing.
    TempDir dir;
    writeFile(dir / "w.kv32",
              "[Kavrin/32]\r\n"
              "Name=C:\\Projects\\w.kv32\r\n"
              "subject=Caf\xE9 \x93quoted\x94\r\n"
              "X-No-Archive=Yes\r\n"
              "Split Lines=0x10\r\n"
              "[Newsgroups]\r\n"
              "0=alt.test\r\n"
              "1= misc.test \r\n"
              "[Body]\r\n"
              "0=Line\r\n"
              "1=\xA0\r\n"
              "2=\xA0kept\r\n"
              "3=\r\n"
              "[Attachments]\r\n"
              "0=C:\\a.jpg\r\n");
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject p;
    p.Name = (dir / "w.kv32").string();
    ASSERT_TRUE(LoadProjectFromFile(p, store, prompts));
    EXPECT_EQ(p.Name, (dir / "w.kv32").string());  // not taken from the file
    EXPECT_EQ(p.Subject, "Caf\xC3\xA9 \xE2\x80\x9Cquoted\xE2\x80\x9D");
    EXPECT_EQ(p.XNoArchive, "Yes");
    EXPECT_EQ(p.Newsgroups, (std::vector<std::string>{"alt.test", "misc.test"}));
    EXPECT_EQ(p.Body, (std::vector<std::string>{"Line", "", "\xC2\xA0kept", ""}));
    EXPECT_EQ(p.AttachmentsText, "C:\\a.jpg\r\n");
    EXPECT_EQ(p.SplitLines, 16);
    EXPECT_EQ(p.Server.Port, 119);
    EXPECT_TRUE(p.PostSeparateMessageForEachAttachedFile);
    EXPECT_TRUE(p.Crosspost);
    EXPECT_EQ(p.CrosspostingLimit, 10);
    EXPECT_EQ(p.EncodingMethod, 0);
    EXPECT_FALSE(p.CutHere);
    EXPECT_TRUE(prompts.shown().empty());
}

TEST(ProjectFile, BadInputLoadsWithDefaultsAndIsNeverWritten) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* subject;
        std::int32_t splitLines;
        std::int32_t encoding;
    };
    std::string junk;
    for (int i = 0; i < 3000; ++i)
        junk += static_cast<char>((i * 7919) % 256);
    const Case cases[] = {
        {"binary junk", junk, "", 1000, 0},
        {"junk then a section", junk + "\n[Kavrin/32]\nSubject=s\n", "s", 1000, 0},
        {"truncated", "[Kavrin/32]\r\nSubject=Hal", "Hal", 1000, 0},
        {"LF and a byte order mark", "\xEF\xBB\xBF[Kavrin/32]\nSubject=s\nSplit Lines=7\n", "s", 7,
         0},
        {"duplicate keys", "[Kavrin/32]\nSubject=first\nSUBJECT=second\n", "first", 1000, 0},
        {"not numbers", "[Kavrin/32]\nSplit Lines=many\nEncoding Method=MIME\n", "", 1000, 0},
        {"yEnc", "[Kavrin/32]\nEncoding Method=2\n", "", 1000, 2},
        {"counts out of range", "[Kavrin/32]\nSplit Lines=0\nEncoding Method=7\n", "", 1, 2},
        {"huge counts", "[Kavrin/32]\nSplit Lines=99999999999\nEncoding Method=-3\n", "", 1000, 0},
        {"huge line", "[Kavrin/32]\nSubject=" + std::string(2 << 20, 'x') + "\nSplit Lines=9\n",
         nullptr, 9, 0},
    };
    TempDir dir;
    MemorySettingsStore store;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(dir / "bad.kv32", c.bytes);
        RecordingPrompts prompts;
        TProject p;
        p.Name = (dir / "bad.kv32").string();
        EXPECT_TRUE(LoadProjectFromFile(p, store, prompts));
        if (c.subject) {
            EXPECT_EQ(p.Subject, c.subject);
        }
        EXPECT_EQ(p.SplitLines, c.splitLines);
        EXPECT_EQ(p.EncodingMethod, c.encoding);
        EXPECT_TRUE(prompts.shown().empty());
        EXPECT_EQ(readFile(dir / "bad.kv32"), c.bytes);
    }
    EXPECT_FALSE(store.keyExists("Servers"));

    // What cannot be read at all is reported.
    RecordingPrompts prompts;
    TProject p;
    p.Name = dir.path().string();
    EXPECT_FALSE(LoadProjectFromFile(p, store, prompts));
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to load project from file"});
}

TEST(ProjectFile, SavingReplacesStaleListsAndKeepsForeignContent) {
    TempDir dir;
    MemorySettingsStore store;
    RecordingPrompts prompts;
    TProject p;
    p.Name = (dir / "p.kv32").string();
    p.SetNewsgroupsText("a\r\nb\r\nc\r\nd\r\ne\r\n");
    p.Body = {"1", "2", "3"};
    ASSERT_TRUE(SaveProjectToFile(p, store, prompts));
    writeFile(dir / "p.kv32", readFile(dir / "p.kv32") + "[Mine]\r\n; my notes\r\nx=1\r\n");

    p.SetNewsgroupsText("f\r\ng\r\n");
    p.Body.clear();
    ASSERT_TRUE(SaveProjectToFile(p, store, prompts));
    const std::string text = readFile(dir / "p.kv32");
    EXPECT_NE(text.find("[Newsgroups]\r\n0=f\r\n1=g\r\n"), std::string::npos);
    EXPECT_EQ(text.find("2=c"), std::string::npos);
    EXPECT_EQ(text.find("[Body]"), std::string::npos);  // an empty list has no section
    EXPECT_NE(text.find("[Mine]\r\n; my notes\r\nx=1\r\n"), std::string::npos);

    TProject back;
    back.Name = p.Name;
    ASSERT_TRUE(LoadProjectFromFile(back, store, prompts));
    EXPECT_EQ(back.Newsgroups, (std::vector<std::string>{"f", "g"}));
    EXPECT_TRUE(back.Body.empty());
}

TEST(ProjectFile, AFailedSaveIsReportedAndLeavesTheOldFile) {
    // Tests run as root, whom a read-only folder does not stop: a full disk is made with a file
    // size limit, an unwritable place with a path through a regular file.
    struct Case {
        const char* what;
        const char* target;
        bool diskFull;
    };
    const Case cases[] = {
        {"disk full", "old.kv32", true},
        {"folder is a file", "old.kv32/new.kv32", false},
        {"target is a folder", "folder", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string old = "[Kavrin/32]\r\nSubject=old\r\n";
        writeFile(dir / "old.kv32", old);
        fs::create_directory(dir / "folder");
        FaultyStore store;
        RecordingPrompts prompts;
        TProject p = sampleProject();
        p.Name = (dir / c.target).string();
        p.Body.assign(2000, std::string(60, 'b'));
        {
            std::optional<FileSizeLimit> limit;
            if (c.diskFull)
                limit.emplace(4096);
            EXPECT_FALSE(SaveProjectToFile(p, store, prompts));
        }
        EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to save project to file"});
        EXPECT_EQ(readFile(dir / "old.kv32"), old);
        EXPECT_EQ(store.writesLanded, 0);  // no server saved for a project that was not
        std::size_t entries = 0;
        for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
            ++entries;
        EXPECT_EQ(entries, 2u) << "a temporary file was left behind";
    }
}

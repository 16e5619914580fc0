#include "gui/main_window_rules.h"

#include "support/gui_test.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TProject sampleProject() {
    TProject p = TProject::FirstStartDefault();
    p.Name = "/home/ann/holiday.kv32";
    p.Server.HostName = "news.example.com";
    p.Subject = "Holiday";
    p.FromName = "Ann";
    p.FromEmailAddress = "ann@example.com";
    p.FollowUpTo = "alt.test";
    p.XNoArchive = "No";
    p.SetNewsgroupsText("alt.test\r\nalt.pictures\r\n");
    p.Body = {"Line one", "", "Line three"};
    p.AttachmentsText = "/tmp/a.jpg\r\n/tmp/b.jpg\r\n";
    p.EncodingMethod = kEncodingBase64;
    return p;
}

}  // namespace

TEST(ProjectForm, ShowsAProjectAndGivesItBackUnchanged) {
    const TProject project = sampleProject();
    const ProjectForm form = formOfProject(project);
    EXPECT_EQ(form.Message,
              (QStringList{QStringLiteral("Line one"), QString(), QStringLiteral("Line three")}));
    EXPECT_EQ(form.Newsgroups,
              (QStringList{QStringLiteral("alt.test"), QStringLiteral("alt.pictures")}));
    EXPECT_EQ(form.FollowUpItems, form.Newsgroups);
    EXPECT_FALSE(projectChanged(form, project));

    TProject back;
    copyFormToProject(form, back);
    EXPECT_EQ(back.Body, project.Body);
    EXPECT_EQ(back.NewsgroupsText(), project.NewsgroupsText());
    EXPECT_EQ(back.AttachmentsText, project.AttachmentsText);
    EXPECT_EQ(back.XNoArchive, "No");
    EXPECT_EQ(back.EncodingMethod, kEncodingBase64);

    TProject empty;
    copyFormToProject(formOfProject(empty), back);
    EXPECT_TRUE(back.Body.empty());
    EXPECT_TRUE(back.Newsgroups.empty());
}

// Every field counts, and only a real difference does.
TEST(ProjectForm, ChangedExactlyWhenAFieldDiffers) {
    struct Case {
        const char* name;
        std::function<void(ProjectForm&, TProject&)> edit;
        bool changed;
    };
    const Case cases[] = {
        {"nothing", [](ProjectForm&, TProject&) {}, false},
        {"server", [](ProjectForm& f, TProject&) { f.NewsgroupServer.clear(); }, true},
        {"subject case", [](ProjectForm& f, TProject&) { f.Subject = QStringLiteral("holiday"); },
         true},
        {"from name", [](ProjectForm& f, TProject&) { f.FromName += QLatin1Char(' '); }, true},
        {"address", [](ProjectForm& f, TProject&) { f.FromEmailAddress.clear(); }, true},
        {"reply-to", [](ProjectForm& f, TProject&) { f.ReplyToEmailAddress = QStringLiteral("r"); },
         true},
        {"organization", [](ProjectForm& f, TProject&) { f.Organization = QStringLiteral("o"); },
         true},
        {"follow-up", [](ProjectForm& f, TProject&) { f.FollowUpTo.clear(); }, true},
        {"newsgroup removed", [](ProjectForm& f, TProject&) { f.Newsgroups.removeLast(); }, true},
        {"follow-up items", [](ProjectForm& f, TProject&) { f.FollowUpItems.clear(); }, true},
        {"groups stored without the last line break",
         [](ProjectForm&, TProject& p) { p.SetNewsgroupsText("alt.test\r\nalt.pictures"); }, false},
        {"message line", [](ProjectForm& f, TProject&) { f.Message.append(QString()); }, true},
        // The editor gives a final empty line back as its last line break.
        {"body ending in an empty line", [](ProjectForm&, TProject& p) { p.Body.push_back(""); },
         false},
        {"signature", [](ProjectForm& f, TProject&) { f.SignatureFile = QStringLiteral("s"); },
         true},
        {"attachment order", [](ProjectForm& f, TProject&) { f.Attachments.swapItemsAt(0, 1); },
         true},
        {"randomize follow-up", [](ProjectForm& f, TProject&) { f.RandomizeFollowUpTo = true; },
         true},
        {"randomize reply-to",
         [](ProjectForm& f, TProject&) { f.RandomizeReplyToEmailAddress = true; }, true},
        {"separate messages",
         [](ProjectForm& f, TProject&) { f.PostSeparateMessageForEachAttachedFile = false; }, true},
        {"crosspost", [](ProjectForm& f, TProject&) { f.Crosspost = false; }, true},
        {"limit", [](ProjectForm& f, TProject&) { f.LimitCrossposting = true; }, true},
        {"limit count", [](ProjectForm& f, TProject&) { f.CrosspostingLimit = 11; }, true},
        {"encoding", [](ProjectForm& f, TProject&) { f.EncodingMethod = 0; }, true},
        {"split", [](ProjectForm& f, TProject&) { f.SplitLargeMessages = true; }, true},
        {"split lines", [](ProjectForm& f, TProject&) { f.SplitLines = 999; }, true},
        {"cut here", [](ProjectForm& f, TProject&) { f.CutHere = true; }, true},
        {"archive ticked while No", [](ProjectForm& f, TProject&) { f.XNoArchive = true; }, true},
        {"archive unticked while Yes", [](ProjectForm&, TProject& p) { p.XNoArchive = "Yes"; },
         true},
        {"archive unticked while empty", [](ProjectForm&, TProject& p) { p.XNoArchive = ""; },
         false},
        {"archive unticked while yes", [](ProjectForm&, TProject& p) { p.XNoArchive = "yes"; },
         false},
        // Ticking the box on a project whose value was never set is a change the user makes
        // and must be asked about, not dropped.
        {"archive ticked while empty",
         [](ProjectForm& f, TProject& p) {
             p.XNoArchive = "";
             f.XNoArchive = true;
         },
         true},
    };
    for (const Case& c : cases) {
        TProject project = sampleProject();
        ProjectForm form = formOfProject(project);
        c.edit(form, project);
        EXPECT_EQ(projectChanged(form, project), c.changed) << c.name;
    }
}

TEST(PostIt, EnabledWhenEveryConditionHoldsElseTheHintSaysWhy) {
    const QString all = QStringLiteral(
        "Post It!\r"
        "\rA subject is reqired to post a message"
        "\rA name or e-mail address is reqired to post a message"
        "\rA newsgroup server is reqired to post a message"
        "\rA newsgroup is reqired to post a message");
    EXPECT_EQ(postItState(PostItInputs{}).Hint, all);
    EXPECT_FALSE(postItState(PostItInputs{}).Enabled);

    PostItInputs full;
    full.Subject = QStringLiteral("s");
    full.FromEmailAddress = QStringLiteral("a@b");
    full.NewsgroupServer = QStringLiteral("news");
    full.NewsgroupCount = 1;
    struct Case {
        const char* name;
        std::function<void(PostItInputs&)> edit;
        bool enabled;
        const char* hint;
    };
    const Case cases[] = {
        {"all met", [](PostItInputs&) {}, true, "Post It!"},
        {"subject from its list",
         [](PostItInputs& in) {
             in.Subject.clear();
             in.RandomizeSubject = true;
         },
         true, "Post It!"},
        {"name alone",
         [](PostItInputs& in) {
             in.FromEmailAddress.clear();
             in.FromName = QStringLiteral("Ann");
         },
         true, "Post It!"},
        {"names from their list",
         [](PostItInputs& in) {
             in.FromEmailAddress.clear();
             in.RandomizeFromName = true;
         },
         true, "Post It!"},
        {"address from its list",
         [](PostItInputs& in) {
             in.FromEmailAddress.clear();
             in.RandomizeFromEmailAddress = true;
         },
         true, "Post It!"},
        {"no subject", [](PostItInputs& in) { in.Subject.clear(); }, false,
         "Post It!\r\rA subject is reqired to post a message"},
        {"no sender", [](PostItInputs& in) { in.FromEmailAddress.clear(); }, false,
         "Post It!\r\rA name or e-mail address is reqired to post a message"},
        {"no server", [](PostItInputs& in) { in.NewsgroupServer.clear(); }, false,
         "Post It!\r\rA newsgroup server is reqired to post a message"},
        {"no newsgroup", [](PostItInputs& in) { in.NewsgroupCount = 0; }, false,
         "Post It!\r\rA newsgroup is reqired to post a message"},
    };
    for (const Case& c : cases) {
        PostItInputs in = full;
        c.edit(in);
        const PostItState state = postItState(in);
        EXPECT_EQ(state.Enabled, c.enabled) << c.name;
        EXPECT_EQ(state.Hint, QString::fromLatin1(c.hint)) << c.name;
    }
}

TEST(OptionStates, DependentControlsFollowTheirSwitches) {
    struct Case {
        bool crosspost, limit, split;
        int encoding, attachments;
        OptionStates expected;
    };
    const Case cases[] = {
        {true, false, false, kEncodingUUEncode, 0, {true, false, false, true, false}},
        {true, true, false, kEncodingUUEncode, 1, {true, true, false, true, false}},
        {false, true, false, kEncodingUUEncode, 2, {false, false, false, true, true}},
        {false, false, true, kEncodingBase64, 3, {false, false, true, false, true}},
    };
    for (const Case& c : cases) {
        const OptionStates s =
            optionStates(c.crosspost, c.limit, c.split, c.encoding, c.attachments);
        EXPECT_EQ(s.LimitCrossposting, c.expected.LimitCrossposting);
        EXPECT_EQ(s.CrosspostingLimit, c.expected.CrosspostingLimit);
        EXPECT_EQ(s.MessageSize, c.expected.MessageSize);
        EXPECT_EQ(s.CutHere, c.expected.CutHere);
        EXPECT_EQ(s.PostSeparateMessageForEachAttachedFile,
                  c.expected.PostSeparateMessageForEachAttachedFile);
    }
}

TEST(FileNames, SavedProjectsEndInKv32AndAreNamedInQuestionsAndTitles) {
    const std::pair<const char*, const char*> names[] = {
        {"/p/holiday.txt", "/p/holiday.txt.kv32"},   {"/p/holiday", "/p/holiday.kv32"},
        {"/p/holiday.kv32", "/p/holiday.kv32"},      {"/p/holiday.KV32", "/p/holiday.KV32.kv32"},
        {"/p.kv32/holiday", "/p.kv32/holiday.kv32"},
    };
    for (const auto& [chosen, saved] : names)
        EXPECT_EQ(projectFileName(QString::fromLatin1(chosen)), QString::fromLatin1(saved));

    EXPECT_EQ(saveQuestion(QStringLiteral("/home/ann/holiday.kv32")),
              QStringLiteral("Do you want to save holiday.kv32?"));
    EXPECT_EQ(windowTitleFor(QStringLiteral("/home/ann/holiday.kv32")),
              QStringLiteral("Kavrin/32 - /home/ann/holiday.kv32"));
}

TEST(StartProjectFile, OnlyAnExistingDotKv32FileIsOpenedAndAPassedOverOneIsNamed) {
    const auto exists = [](const QString& path) {
        return path.endsWith(QStringLiteral("here.kv32")) ||
               path.endsWith(QStringLiteral("here.KV32"));
    };
    EXPECT_TRUE(startProjectFile({}, exists).File.isEmpty());
    EXPECT_TRUE(startProjectFile({}, exists).Note.isEmpty());

    const StartProjectFile opened =
        startProjectFile({QStringLiteral("/p/here.kv32"), QStringLiteral("/p/x.kv32")}, exists);
    EXPECT_EQ(opened.File, QStringLiteral("/p/here.kv32"));
    EXPECT_TRUE(opened.Note.isEmpty());

    const StartProjectFile capitals = startProjectFile({QStringLiteral("/p/here.KV32")}, exists);
    EXPECT_TRUE(capitals.File.isEmpty());
    EXPECT_EQ(capitals.Note,
              QStringLiteral("Not opened: \"/p/here.KV32\" is not a project file (*.kv32)"));

    const StartProjectFile missing = startProjectFile({QStringLiteral("/p/gone.kv32")}, exists);
    EXPECT_TRUE(missing.File.isEmpty());
    EXPECT_EQ(missing.Note, QStringLiteral("Not opened: \"/p/gone.kv32\" does not exist"));
}

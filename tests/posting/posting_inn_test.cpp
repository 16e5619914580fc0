// "kavrin32 --post" against the loopback INN server: the articles are fetched back by their
// Message-IDs and decoded with uudeview and munpack.

#include "model/advanced_storage.h"
#include "model/project_storage.h"
#include "platform/file_settings_store.h"

#include "support/nntp_test_support.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct PostRun {
    int exitCode = -1;
    std::string out;
    std::string err;
    std::vector<std::string> messageIds;  // in posting order
    std::vector<std::string> subjects;
};

// Runs the program as a user would, with its own settings folder. onLine sees each memo line
// as it comes.
PostRun runPost(const fs::path& config, const fs::path& project, bool yes,
                const std::function<void(QProcess&, const std::string&)>& onLine = {},
                const QString& extraCaFile = {}, const QStringList& moreArgs = {}) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!extraCaFile.isEmpty())
        env.insert(QStringLiteral("KAVRIN32_EXTRA_CA_FILE"), extraCaFile);
    env.insert(QStringLiteral("KAVRIN32_CONFIG_DIR"), QString::fromStdString(config.string()));
    env.remove(QStringLiteral("XDG_CONFIG_HOME"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(QString::fromStdString(config.string()));
    QStringList args{QStringLiteral("--post"), QString::fromStdString(project.string())};
    if (yes)
        args << QStringLiteral("--yes");
    args << moreArgs;
    PostRun run;
    std::string pending;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, [&] {
        pending += process.readAllStandardOutput().toStdString();
        for (auto eol = pending.find('\n'); eol != std::string::npos; eol = pending.find('\n')) {
            const std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            run.out += line + "\n";
            const std::string idPrefix = "Initiating document transfer for Message ID ";
            if (line.starts_with(idPrefix))
                run.messageIds.push_back(line.substr(idPrefix.size()));
            if (line.starts_with("Subject: "))
                run.subjects.push_back(line.substr(9));
            if (onLine)
                onLine(process, line);
        }
    });
    process.start(QStringLiteral(KAVRIN32_PROGRAM), args);
    if (!process.waitForFinished(180000))
        process.kill();
    process.waitForFinished();
    run.err = process.readAllStandardError().toStdString();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

int runTool(const QString& program, const QStringList& args, const fs::path& dir) {
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(dir.string()));
    p.start(program, args);
    p.waitForFinished(60000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// A port nobody listens on now.
quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// nzbget, a download tool, takes the NZB file from its incoming folder and downloads the files
// from the server into downloads/NAME/; returns once it has moved them there (or given up),
// with its log.
std::string downloadWithNzbget(const fs::path& work, const fs::path& nzb,
                               const InnTestServer& inn) {
    fs::create_directories(work / "incoming");
    fs::copy_file(nzb, work / "incoming" / "posting.nzb");
    const auto dir = [&](const char* name) {
        return QString::fromStdString((work / name).string());
    };
    QStringList args{QStringLiteral("-n"), QStringLiteral("-s")};
    const QStringList options = {
        QStringLiteral("MainDir=") + dir("main"),
        QStringLiteral("DestDir=") + dir("downloads"),
        QStringLiteral("InterDir=") + dir("inter"),
        QStringLiteral("NzbDir=") + dir("incoming"),
        QStringLiteral("QueueDir=") + dir("queue"),
        QStringLiteral("TempDir=") + dir("tmp"),
        QStringLiteral("LockFile=") + dir("nzbget.lock"),
        QStringLiteral("LogFile=") + dir("nzbget.log"),
        QStringLiteral("WebDir="),
        QStringLiteral("ConfigTemplate="),
        QStringLiteral("ControlIP=127.0.0.1"),
        QStringLiteral("ControlPort=%1").arg(freePort()),
        QStringLiteral("Server1.Active=yes"),
        QStringLiteral("Server1.Host=") + inn.host,
        QStringLiteral("Server1.Port=%1").arg(inn.port),
        QStringLiteral("Server1.Connections=1"),
        QStringLiteral("NzbDirInterval=1"),
        QStringLiteral("NzbDirFileAge=1"),
        QStringLiteral("CrcCheck=yes"),
        QStringLiteral("ParCheck=manual"),
        QStringLiteral("Unpack=no"),
        QStringLiteral("AppendCategoryDir=no"),
        QStringLiteral("OutputMode=log"),
    };
    for (const QString& o : options)
        args << QStringLiteral("-o") << o;
    QProcess nzbget;
    nzbget.setProcessChannelMode(QProcess::MergedChannels);
    std::string log;
    QObject::connect(&nzbget, &QProcess::readyReadStandardOutput,
                     [&] { log += nzbget.readAllStandardOutput().toStdString(); });
    nzbget.start(QStringLiteral("nzbget"), args);
    if (!nzbget.waitForStarted(10000))
        return "nzbget did not start: " + nzbget.errorString().toStdString();
    const bool done = QTest::qWaitFor(
        [&] {
            return log.find("Collection posting added to history") != std::string::npos ||
                   nzbget.state() == QProcess::NotRunning;
        },
        60000);
    nzbget.terminate();
    if (!nzbget.waitForFinished(10000))
        nzbget.kill();
    nzbget.waitForFinished();
    return done ? log : log + "\n(nzbget took too long)";
}

class PostingInnTest : public ::testing::Test {
protected:
    void SetUp() override {
        ensureCoreApplication();
        inn = innTestServerOrStop();
        if (!inn)
            return;
        store = std::make_unique<FileSettingsStore>(dir / "settings.reg", &prompts);
        project = TProject::FirstStartDefault();
        project.Name = (dir / "test.kv32").string();
        project.Server.HostName = inn->host.toStdString();
        project.Server.Port = inn->port;
        project.FromName = "Kavrin Tester";
        project.FromEmailAddress = "tester@k32.test";
        project.Subject = "k32 " + uniqueMessageId("subject");
        project.Crosspost = true;
        project.LimitCrossposting = false;
        project.PostSeparateMessageForEachAttachedFile = false;
        project.SplitLargeMessages = false;
        project.SetNewsgroupsText(inn->groups[0].toStdString() + "\r\n");
        project.Body = {"Posted by the tests."};
    }

    void save() {
        ASSERT_TRUE(SaveProjectToFile(project, *store, prompts));
        ASSERT_TRUE(prompts.shown().empty()) << prompts.texts()[0];
    }

    std::string fetch(const std::string& id) {
        std::string error;
        auto article = fetchArticle(inn->host, inn->port, id, &error);
        EXPECT_TRUE(article) << id << ": " << error;
        return article.value_or("");
    }

    // Fetches every article of the run into files a decoder can read.
    std::vector<QString> fetchAll(const PostRun& run, const fs::path& into) {
        fs::create_directories(into);
        std::vector<QString> files;
        for (std::size_t i = 0; i < run.messageIds.size(); ++i) {
            const fs::path file = into / ("article" + std::to_string(i) + ".txt");
            writeFile(file, fetch(run.messageIds[i]));
            files.push_back(QString::fromStdString(file.string()));
        }
        return files;
    }

    std::optional<InnTestServer> inn;
    TempDir dir;
    RecordingPrompts prompts;
    std::unique_ptr<FileSettingsStore> store;
    TProject project;
};

}  // namespace

TEST_F(PostingInnTest, ATextArticleCrosspostedToTwoGroupsArrivesWhole) {
    project.SetNewsgroupsText(inn->groups[0].toStdString() + "\r\n" + inn->groups[1].toStdString() +
                              "\r\n");
    // Lines a server would take for commands or the article's end without dot-stuffing.
    project.Body = {"First line", ".", ".hidden", "..two", "", "last line"};
    save();
    const PostRun run = runPost(dir.path(), project.Name, false);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    ASSERT_EQ(run.messageIds.size(), 1u) << run.out;
    EXPECT_NE(run.out.find("\nMessage posted ("), std::string::npos);
    EXPECT_NE(run.out.find("Newsgroups: " + inn->groups[0].toStdString() + "," +
                           inn->groups[1].toStdString() + "\n"),
              std::string::npos);

    const std::string article = fetch(run.messageIds[0]);
    EXPECT_EQ(articleBody(article), "First line\r\n.\r\n.hidden\r\n..two\r\n\r\nlast line\r\n");
    EXPECT_EQ(articleHeader(article, "Subject"), project.Subject);
    EXPECT_EQ(articleHeader(article, "From"), "Kavrin Tester <tester@k32.test>");
    const std::string xref = articleHeader(article, "Xref");
    for (int g = 0; g < 2; ++g)
        EXPECT_NE(xref.find(inn->groups[g].toStdString() + ":"), std::string::npos) << xref;
}

TEST_F(PostingInnTest, AttachedFilesComeBackByteForByteFromUudeviewAndMunpack) {
    // Sizes that fill no last line; 45014 leaves 14 bytes for the last UUEncode line, whose
    // length character is then ".".
    const std::string first = randomBytes(70001, 1);
    const std::string second = randomBytes(45 * 1000 + 14, 2);
    writeFile(dir / "first.bin", first);
    writeFile(dir / "second.bin", second);
    project.AttachmentsText =
        (dir / "first.bin").string() + "\r\n" + (dir / "second.bin").string() + "\r\n";
    struct Case {
        const char* name;
        std::int32_t encoding;
        bool separate;
        bool split;
        std::vector<QString> decoders;
    } cases[] = {
        // One message per file, each in parts of 499 lines, with Cut Here lines.
        {"uuencode", kEncodingUUEncode, true, true, {QStringLiteral("uudeview")}},
        // All files in one message, in yEnc parts of 499 lines' worth.
        {"yenc", kEncodingYEnc, false, true, {QStringLiteral("uudeview")}},
        {"mime",
         kEncodingBase64,
         false,
         false,
         {QStringLiteral("munpack"), QStringLiteral("uudeview")}},
    };
    for (const auto& c : cases) {
        project.EncodingMethod = c.encoding;
        project.PostSeparateMessageForEachAttachedFile = c.separate;
        project.SplitLargeMessages = c.split;
        project.SplitLines = 500;
        project.CutHere = true;
        project.Subject = std::string("k32 ") + c.name + " " + uniqueMessageId("files");
        save();
        const PostRun run = runPost(dir.path(), project.Name, false);
        EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
        if (c.encoding == kEncodingYEnc) {
            EXPECT_EQ(run.subjects,
                      (std::vector<std::string>{
                          project.Subject + " - multiple attachments [1/3] yEnc (1/2)",
                          project.Subject + " - multiple attachments [2/3] yEnc (2/2)",
                          project.Subject + " - multiple attachments [3/3] yEnc (1/1)"}));
        } else if (c.split) {
            ASSERT_GT(run.messageIds.size(), 4u) << run.out;
            EXPECT_TRUE(run.subjects.front().starts_with(project.Subject + " - first.bin [1/"))
                << run.subjects.front();
        } else {
            ASSERT_EQ(run.messageIds.size(), 1u) << run.out;
        }

        const fs::path fetched = dir / c.name;
        const std::vector<QString> files = fetchAll(run, fetched);
        for (const QString& decoder : c.decoders) {
            const fs::path out = fetched / decoder.toStdString();
            fs::create_directories(out);
            const QString outDir = QString::fromStdString(out.string());
            if (decoder == QStringLiteral("munpack")) {
                for (const QString& file : files)
                    EXPECT_EQ(runTool(decoder,
                                      {QStringLiteral("-f"), QStringLiteral("-q"),
                                       QStringLiteral("-C"), outDir, file},
                                      out),
                              0);
            } else {
                QStringList args{QStringLiteral("-i"), QStringLiteral("-o"), QStringLiteral("-q"),
                                 QStringLiteral("-p"), outDir + QLatin1Char('/')};
                for (const QString& file : files)
                    args << file;
                EXPECT_EQ(runTool(decoder, args, out), 0);
            }
            EXPECT_TRUE(fs::exists(out / "first.bin") && readFile(out / "first.bin") == first)
                << c.name << " " << decoder.toStdString();
            EXPECT_TRUE(fs::exists(out / "second.bin") && readFile(out / "second.bin") == second)
                << c.name << " " << decoder.toStdString();
        }
    }
}

TEST_F(PostingInnTest, TheLoginPortPostsWithTheRightPasswordOnly) {
    TAdvanced advanced;
    advanced.SaveLogFile = true;
    advanced.UseProjectNameAsLogFile = false;
    advanced.LogFile = (dir / "post.log").string();
    advanced.UseComputerNameAsHostName = false;
    advanced.HostName = "k32.test";
    ASSERT_TRUE(SaveAdvanced(advanced, *store, prompts));
    project.Server.Port = inn->authPort;
    project.Server.UserName = inn->user.toStdString();
    const std::string right = inn->password.toStdString();
    const struct {
        std::string password;
        int exitCode;
        const char* memoLine;
    } cases[] = {
        {right, 0, "\nAuthenticated\n"},
        {"wrong-" + right, 1, "\nAuthentication failed\n"},
    };
    for (const auto& c : cases) {
        project.Server.Password = c.password;
        save();
        const PostRun run = runPost(dir.path(), project.Name, false);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        EXPECT_NE(run.out.find(c.memoLine), std::string::npos) << run.out;
        const std::string log = readFile(dir / "post.log");
        for (const std::string& text : {run.out, run.err, log})
            EXPECT_EQ(text.find(c.password), std::string::npos) << text;
        if (c.exitCode == 0) {
            ASSERT_EQ(run.messageIds.size(), 1u);
            EXPECT_NE(log.find("\r\nAuthenticated " + inn->user.toStdString() + "\r\n"),
                      std::string::npos);
            EXPECT_FALSE(fetchArticle(inn->host, inn->port, run.messageIds[0]) == std::nullopt);
        } else {
            EXPECT_TRUE(run.messageIds.empty()) << run.out;
        }
    }
}

TEST_F(PostingInnTest, InterruptingStopsTheTransferWithoutAskingAndTheServerKeepsNothingOfIt) {
    // A large file of zeros: quick to make, and its transfer lasts long enough to be stopped.
    {
        std::ofstream big(dir / "big.bin", std::ios::binary);
        big.seekp((128 << 20) - 1);
        big.put('\0');
    }
    project.AttachmentsText = (dir / "big.bin").string() + "\r\n";
    project.EncodingMethod = kEncodingBase64;
    save();
    bool interrupted = false;
    const PostRun run =
        runPost(dir.path(), project.Name, false, [&](QProcess& process, const std::string& line) {
            if (!interrupted && line.starts_with("Sending message:")) {
                interrupted = true;
                ::kill(static_cast<pid_t>(process.processId()), SIGINT);
            }
        });
    EXPECT_TRUE(interrupted);
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.out.find("\nUser cancelled posting...\n"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Message posted"), std::string::npos);
    EXPECT_EQ(run.out.find("before posting completed"), std::string::npos);
    // Ctrl+C is the user's answer; without --yes a question would have been answered No.
    EXPECT_EQ(run.err.find("Stop posting?"), std::string::npos) << run.err;
    ASSERT_EQ(run.messageIds.size(), 1u);
    EXPECT_EQ(fetchArticle(inn->host, inn->port, run.messageIds[0]), std::nullopt);
}

TEST_F(PostingInnTest, PostsOverTlsAsTheServerRecordSaysAndRefusesCertificatesItCannotTrust) {
    // The test authority comes from the server's own "CA File", or from the environment, which
    // wins over it.
    const struct {
        const char* what;
        std::int32_t security;
        int port;
        QString recordCa;
        QString environmentCa;
        int exitCode;
    } cases[] = {
        {"TLS, the record's authority", kSecurityTlsOnConnect, inn->tlsPort, inn->caFile, {}, 0},
        {"STARTTLS, the record's authority", kSecurityStartTls, inn->port, inn->caFile, {}, 0},
        {"TLS, the environment's authority over a record's missing file", kSecurityTlsOnConnect,
         inn->tlsPort, QStringLiteral("/nonexistent/ca.pem"), inn->caFile, 0},
        {"a certificate for another host",
         kSecurityTlsOnConnect,
         inn->wrongHostPort,
         inn->caFile,
         {},
         1},
        {"STARTTLS, no authority that trusts the server", kSecurityStartTls, inn->port, {}, {}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        project.Server.Port = c.port;
        project.Server.Security = c.security;
        project.Server.CaFile = c.recordCa.toStdString();
        save();
        const PostRun run = runPost(dir.path(), project.Name, false, {}, c.environmentCa);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
        if (c.exitCode == 0) {
            ASSERT_EQ(run.messageIds.size(), 1u) << run.out;
            EXPECT_TRUE(fetchArticle(inn->host, inn->port, run.messageIds[0]).has_value());
        } else {
            EXPECT_TRUE(run.messageIds.empty()) << run.out;
            // The reason is named: the certificate, not some connection failure.
            EXPECT_NE(run.err.find("kavrin32: error: Secure connection to"), std::string::npos)
                << run.err;
        }
    }
}

TEST_F(PostingInnTest, AProjectTheBuilderRefusesEndsWithItsTextAndAFailingStatus) {
    project.Subject.clear();
    save();
    const PostRun run = runPost(dir.path(), project.Name, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.messageIds.empty()) << run.out;
    EXPECT_NE(run.err.find("kavrin32: error: A subject is reqired to post a message.\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.out.find("Disconnected from NNTP server"), std::string::npos) << run.out;
}

// A posting with --nzb, then a real download tool fetching the files through that NZB file from
// the same server: nzbget joins the yEnc parts, checks their CRCs and names the files from them
// (all files in one message, so the subjects do not name them).
TEST_F(PostingInnTest, NzbgetRestoresTheFilesThroughTheNzbFileOfAPosting) {
    std::string everyByte;
    for (int round = 0; round < 40; ++round)
        for (int b = 0; b < 256; ++b)
            everyByte += static_cast<char>((b * 3 + round) & 0xFF);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"big.bin", randomBytes(700001, 5)}, {"every byte.bin", everyByte}, {"one.bin", "x"}};
    project.AttachmentsText.clear();
    for (const auto& [name, bytes] : files) {
        writeFile(dir / name, bytes);
        project.AttachmentsText += (dir / name).string() + "\r\n";
    }
    project.EncodingMethod = kEncodingYEnc;
    project.SplitLargeMessages = true;
    project.SplitLines = 1000;
    project.Subject = "k32 nzb " + uniqueMessageId("nzb");
    save();
    const fs::path nzb = dir / "posting.nzb";
    const PostRun run = runPost(dir.path(), project.Name, false, {}, {},
                                {QStringLiteral("--nzb"), QString::fromStdString(nzb.string())});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_EQ(run.messageIds.size(), 6u + 1 + 1) << run.out;
    EXPECT_NE(run.out.find("Saved NZB file \"" + nzb.string() + "\""), std::string::npos)
        << run.out;
    const std::string validate = "xmllint --noout --nonet --dtdvalid '" KAVRIN32_NZB_DTD "' '" +
                                 nzb.string() + "' 2>/dev/null";
    EXPECT_EQ(std::system(validate.c_str()), 0) << readFile(nzb);

    const std::string log = downloadWithNzbget(dir / "nzbget", nzb, *inn);
    for (const auto& [name, bytes] : files) {
        const fs::path got = dir / "nzbget" / "downloads" / "posting" / name;
        EXPECT_TRUE(fs::exists(got) && readFile(got) == bytes) << name << "\n" << log;
    }
    EXPECT_EQ(log.find("CRC"), std::string::npos) << log;
}

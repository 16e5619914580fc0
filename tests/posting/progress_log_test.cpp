#include "posting/progress_log.h"

#include "support/recording_prompts.h"
#include "support/temp_dir.h"

#include <QDir>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A log device that takes limit bytes and then fails every write, like a disk that fills up
// in the middle of a session.
class FailingDevice : public QIODevice {
public:
    explicit FailingDevice(qint64 limit) : m_limit(limit) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override {
        if (m_written + len > m_limit)
            return -1;
        m_written += len;
        return len;
    }

private:
    qint64 m_limit;
    qint64 m_written = 0;
};

class ProgressLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oldCurrent = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(m_dir.path().string()));
        advanced.SaveLogFile = true;
        advanced.UseProjectNameAsLogFile = false;
        advanced.LogFile = "session.log";
    }
    void TearDown() override { QDir::setCurrent(m_oldCurrent); }

    std::string logText(const std::string& name = "session.log") { return readFile(m_dir / name); }

    TempDir m_dir;
    QString m_oldCurrent;
    TAdvanced advanced;
    RecordingPrompts prompts;
    std::vector<QString> memo;
    TProgressLog log{advanced, prompts, [this](const QString& line) { memo.push_back(line); }};
};

// "Log started <date> <time>" CR LF and the separator line.
void expectHeading(const std::string& text, std::size_t& at) {
    ASSERT_EQ(text.compare(at, 12, "Log started "), 0) << text.substr(at);
    at = text.find("\r\n", at);
    ASSERT_NE(at, std::string::npos);
    at += 2;
    ASSERT_EQ(text.substr(at, 54), std::string(52, '-') + "\r\n");
    at += 54;
}

}  // namespace

TEST_F(ProgressLogTest, AppendsEachSessionAfterWhatTheFileHolds) {
    writeFile(m_dir / "session.log", "earlier run\r\n");
    for (const char* line : {"first", "second"}) {
        log.Start(QStringLiteral("Untitled"));
        EXPECT_TRUE(log.Active());
        log.ProgressLine(QString::fromUtf8(line));
        log.ProgressLine(QStringLiteral("Disconnected from NNTP server: h"),
                         QStringLiteral("Disconnected from NNTP server: h..."));
        log.LogLine(QStringLiteral("441 refused"));
        log.MemoLine(QStringLiteral("Authenticated"));
        log.ProgressLine(QStringLiteral("Subject: caf\u00e9"));
        log.End();
        EXPECT_FALSE(log.Active());
    }
    const std::string text = logText();
    std::size_t at = 0;
    ASSERT_EQ(text.compare(0, 13, "earlier run\r\n"), 0);
    at = 13;
    for (const char* line : {"first", "second"}) {
        expectHeading(text, at);
        const std::string body = std::string(line) +
                                 "\r\nDisconnected from NNTP server: h...\r\n441 refused\r\n"
                                 "Subject: caf\xc3\xa9\r\n\r\n\r\n";
        ASSERT_EQ(text.compare(at, body.size(), body), 0) << text.substr(at);
        at += body.size();
    }
    EXPECT_EQ(at, text.size());

    const std::vector<QString> session = {
        QStringLiteral("Opening log file \"session.log\""), QStringLiteral("first"),
        QStringLiteral("Disconnected from NNTP server: h"), QStringLiteral("Authenticated"),
        QStringLiteral("Subject: caf\u00e9")};
    ASSERT_EQ(memo.size(), 2 * session.size());
    EXPECT_TRUE(std::equal(session.begin(), session.end(), memo.begin()));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(ProgressLogTest, WithTheSwitchOffOnlyTheMemoGetsLines) {
    advanced.SaveLogFile = false;
    log.Start(QStringLiteral("Untitled"));
    log.ProgressLine(QStringLiteral("Host Resolved"));
    log.LogLine(QStringLiteral("error text"));
    log.End();
    EXPECT_EQ(memo, std::vector<QString>{QStringLiteral("Host Resolved")});
    EXPECT_FALSE(std::filesystem::exists(m_dir / "session.log"));
    EXPECT_TRUE(prompts.shown().empty());
}

TEST_F(ProgressLogTest, ProjectNameNamesTheLogForThatSessionOnly) {
    struct Case {
        const char* project;
        const char* file;
    } cases[] = {
        {"Untitled", "Untitled.txt"},
        {"/home/user/posts/cats.kv32", "cats.kv32.txt"},
        {"../../elsewhere/x", "x.txt"},
    };
    advanced.UseProjectNameAsLogFile = true;
    for (const auto& c : cases) {
        log.Start(QString::fromUtf8(c.project));
        EXPECT_EQ(log.FileName(), QString::fromUtf8(c.file));
        log.ProgressLine(QStringLiteral("line"));
        log.End();
        EXPECT_NE(logText(c.file).find("line\r\n"), std::string::npos) << c.file;
        EXPECT_EQ(advanced.LogFile, "session.log");
    }
}

TEST_F(ProgressLogTest, ALogThatCannotStartWarnsOnceAndIsOffForTheRun) {
    const std::string unusable[] = {"no-such-folder/x.log", "/dev/full"};
    for (const auto& name : unusable) {
        advanced.SaveLogFile = true;
        advanced.LogFile = name;
        memo.clear();
        prompts.clear();
        log.Start(QStringLiteral("Untitled"));
        log.ProgressLine(QStringLiteral("Connecting"));
        log.End();
        EXPECT_FALSE(advanced.SaveLogFile) << name;
        ASSERT_EQ(prompts.shown().size(), 1u) << name;
        EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
        EXPECT_EQ(prompts.shown()[0].text, "Unable to start progress log");
        // The memo still shows which file was tried, before anything else.
        EXPECT_EQ(memo, (std::vector<QString>{QStringLiteral("Opening log file \"") +
                                                  QString::fromStdString(name) + QLatin1Char('"'),
                                              QStringLiteral("Connecting")}));
        // The next session of the run does not try again.
        log.Start(QStringLiteral("Untitled"));
        EXPECT_FALSE(log.Active());
    }
}

TEST_F(ProgressLogTest, ALogThatFailsMidSessionWarnsOnceAndTheMemoGoesOn) {
    log.setFileOpener([](const QString&) { return std::make_unique<FailingDevice>(100); });
    log.Start(QStringLiteral("Untitled"));
    ASSERT_TRUE(log.Active());
    for (int i = 0; i < 10; ++i)
        log.ProgressLine(QStringLiteral("Sending message: %1 of 100 bytes").arg(i));
    log.End();
    EXPECT_FALSE(log.Active());
    EXPECT_FALSE(advanced.SaveLogFile);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>{"Unable to write progress log"});
    EXPECT_EQ(memo.size(), 11u);
    EXPECT_EQ(advanced.LogFile, "session.log");
}

// The heading shows the date and time as the user's locale writes them, without the time zone
// that Qt's long time format carries, wherever the locale puts it.
TEST(ProgressLogHeading, DateAndTimeInTheLocalesFormatsWithoutATimeZone) {
    const QDateTime at(QDate(2026, 12, 10), QTime(15, 4, 5));
    const struct {
        const char* locale;
        const char* heading;
    } cases[] = {
        {"en_US", "Log started 12/10/26 3:04:05 PM"},
        {"de_DE", "Log started 10.12.26 15:04:05"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TProgressLog::Heading(QLocale(QString::fromUtf8(c.locale)), at).toStdString(),
                  c.heading)
            << c.locale;

    // Locales that set the zone off in brackets, keep a quoted letter beside it, or put it
    // first. Their formats follow Qt's locale data, which changes between releases, so only the
    // rule is checked: the time is there, the zone and what set it off are not.
    const QString zone = at.timeZoneAbbreviation();
    ASSERT_FALSE(zone.isEmpty());
    const QRegularExpression time(QStringLiteral("(15|3)\\D04\\D05"));
    for (const char* name : {"ca_ES", "fr_CH", "nus_SS"}) {
        const QString heading = TProgressLog::Heading(QLocale(QString::fromLatin1(name)), at);
        SCOPED_TRACE(name + (": " + heading.toStdString()));
        EXPECT_TRUE(heading.startsWith(QStringLiteral("Log started ")));
        EXPECT_TRUE(heading.contains(time));
        EXPECT_FALSE(heading.contains(zone));
        for (const char* leftover : {"()", "[]", "  "})
            EXPECT_FALSE(heading.contains(QLatin1String(leftover))) << leftover;
        EXPECT_EQ(heading, heading.trimmed());
    }
}

#include "gui/desktop_integration.h"
#include "gui/help_window.h"

#include "support/temp_dir.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QSvgRenderer>

#include <gtest/gtest.h>

namespace {

QString q(const std::filesystem::path& p) {
    return QString::fromStdString(p.string());
}

// What `cmake --install` puts into a fresh prefix, one the build was not configured with and
// that holds characters a desktop entry must quote.
class InstalledFiles : public testing::Test {
protected:
    void SetUp() override {
        QProcess install;
        install.start(QStringLiteral(KAVRIN32_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(KAVRIN32_BUILD_DIR),
                       QStringLiteral("--prefix"), installed()});
        ASSERT_TRUE(install.waitForFinished(120000));
        ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    }
    QString installed() const { return q(prefix / "opt kavrin$32"); }
    QString share(const QString& file) const {
        return installed() + QStringLiteral("/share/") + file;
    }

    TempDir prefix;
};

}  // namespace

TEST_F(InstalledFiles, DesktopEntryPassesTheValidatorAndStartsTheInstalledProgram) {
    const QString entry = share(QStringLiteral("applications/kavrin32.desktop"));
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (desktop-file-utils) is missing";
    QProcess check;
    check.start(validator, {entry});
    ASSERT_TRUE(check.waitForFinished(30000));
    EXPECT_EQ(check.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardOutput().toStdString();

    // The entry names the program where this install put it, quoted as the program quotes the
    // entries it writes for its user.
    const QString program = installed() + QStringLiteral("/bin/kavrin32");
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(
        text.contains(QStringLiteral("\nExec=") + desktopExecLine(program) + QLatin1Char('\n')))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("MimeType=application/x-kavrin32-project;")));
    EXPECT_TRUE(QFileInfo(program).isExecutable());

    EXPECT_TRUE(
        QSvgRenderer(share(QStringLiteral("icons/hicolor/scalable/apps/kavrin32.svg"))).isValid());
    for (const QString& page : HelpPage::all()) {
        EXPECT_TRUE(QFileInfo::exists(
            share(QStringLiteral("doc/kavrin32/help/") + page + QStringLiteral(".html"))))
            << page.toStdString();
    }
}

// The file type is known by the name's ending and by the first line, as file managers find it.
TEST_F(InstalledFiles, FileTypeKnowsProjectsByTheirNameAndFirstLine) {
    // Only the installed prefix: the test must not pass on a type installed elsewhere.
    qputenv("XDG_DATA_DIRS", share(QString()).toUtf8());
    qputenv("XDG_DATA_HOME", q(prefix / "empty-home").toUtf8());
    struct Case {
        const char* name;
        QByteArray content;
        bool project;
    };
    const Case cases[] = {
        {"posting.kv32", "", true},
        {"posting.kv32", "Just some text\r\n", true},
        {"saved-without-extension", "[Kavrin/32]\r\nName=Untitled\r\n", true},
        {"POSTING.KV32", "[Kavrin/32]\r\nName=Untitled\r\n", true},
        {"notes.txt.bak", "\xef\xbb\xbf[Kavrin/32]\r\nName=Untitled\r\n", true},
        {"POSTING.KV32", "Just some text\r\n", false},
        {"notes.txt", "[Newsgroups]\r\n", false},
    };
    const QMimeDatabase types;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " " << c.content.constData());
        const QString path = q(prefix / c.name);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.content);
        file.close();
        const QMimeType type = types.mimeTypeForFile(path);
        EXPECT_EQ(type.name() == QStringLiteral("application/x-kavrin32-project"), c.project)
            << type.name().toStdString();
        if (c.project) {
            EXPECT_EQ(type.comment(), QStringLiteral("Kavrin/32 project"));
            EXPECT_TRUE(type.inherits(QStringLiteral("text/plain")));
        }
    }
}
